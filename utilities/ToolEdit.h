#pragma once
// The combo edit: a single-line edit that paints its own sunken frame and carries a small
// button inside its right edge, and two descendants that fill the edit from a dialog:
// TFilenameEdit runs a file open or save dialog, TDirectoryEdit a folder dialog. Both also
// take files dropped from the file manager. Setting the text, by the program or by browsing,
// fires OnChange.

#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/core/SysUtils.h"
#include "utilities/VZCtrls.h"

#include "utilities/VzEdit.h"
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class EComboEditError : public Exception { public: using Exception::Exception; };

enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
enum TPopupAlign { epaRight, epaLeft };
enum TFileDialogKind { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
enum TDirDialogKind { dkVCL, dkWin32 };

// Keyboard shortcuts as the library stores them: a virtual key plus these bits.
enum : int { scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000 };
int ShortCut(int key, TShiftState shift);

// The button inside the edit. A press that closes the edit's open popup swallows the click
// that follows it.
class TEditButton : public TVzSpeedButton {
    Q_OBJECT
public:
    explicit TEditButton(QWidget* parent = nullptr);
    bool NoAction = false;
    void Click() override;

protected:
    void PaintButton(TCanvas& canvas) override;
    void mousePressEvent(QMouseEvent* event) override;
};

class TCustomComboEdit : public TVzFramedEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TCustomComboEdit(QWidget* parent = nullptr);
    ~TCustomComboEdit() override;

    QString Text() const { return text(); }
    void SetText(const QString& value) { setText(value); }

    TEditButton* Button() const { return FButton; }
    QWidget* ButtonHost() const { return FBtnControl; }
    int ButtonWidth() const { return FButton->width(); }
    void SetButtonWidth(int value);
    // Whether ButtonWidth differs from what its glyph kind gives (and so is stored).
    bool ButtonWidthStored() const;
    QString ButtonHint() const { return FButton->toolTip(); }
    void SetButtonHint(const QString& value) { FButton->setToolTip(value); }
    int ClickKey = int(scAlt) | int(VK_DOWN);
    bool DirectInput() const { return FDirectInput; }
    void SetDirectInput(bool value);
    virtual bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    TGlyphKind GlyphKind() const { return FGlyphKind; }
    void SetGlyphKind(TGlyphKind value);
    const TBitmap& Glyph() const { return FButton->GetGlyph(); }
    // Switches the kind to gkCustom.
    void SetGlyph(const TBitmap& value);
    int NumGlyphs() const { return FButton->NumGlyphs(); }
    void SetNumGlyphs(int value);
    // The height the font needs: the smaller of the system's and the edit's text height,
    // + 4 border heights + 1.
    int MinimumHeight() const override;
    // The text area inside the frame, left of the button.
    QRect EditRect() const override;

    // The popup of a descendant that owns one.
    QWidget* Popup() const { return FPopup; }
    bool PopupVisible() const { return FPopupVisible; }
    TPopupAlign PopupAlign = epaRight;
    virtual void DropDownPopup(bool disableEdit);
    void PopupCloseUp(bool accept);

    // The button's action: ButtonClick unless the edit is read-only.
    void EditButtonClick();
    virtual void ButtonClick();

    std::function<void(QObject*)> OnButtonClick;
    std::function<void(QObject*)> OnChange;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;

    QSize minimumSizeHint() const override;

protected:
    // The glyph of gkDefault; none here. destroyNeeded tells whether the caller owns it.
    virtual const TBitmap* DefaultGlyphBitmap(bool& destroyNeeded);
    virtual void ShowPopupAt(const QPoint& origin);
    virtual void HidePopupWindow();
    virtual bool CanAcceptPopupValue(const QVariant& value);
    virtual void ApplyPopupValue(const QVariant& value);
    virtual void PassValueToPopup(const QVariant& value);
    virtual QVariant ReadPopupValue();
    virtual void PopupValueChanged();
    void SetPopup(QWidget* popup) { FPopup = popup; }
    // Marks the component as being built: glyph kind and button width act at once.
    bool FCreating = true;
    // What a press-drag-release gesture needs to know of the button.
    friend class TEditButton;

    void PlaceParts() override { PlaceButton(); }
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceButton();
    // adjustWidth: the glyph kind may widen the button (not when the width itself was set).
    void RecreateGlyph(bool adjustWidth = true);
    void UpdateReadOnly();
    void TextChanged();
    QWidget* FBtnControl;
    TEditButton* FButton;
    bool FDirectInput = true;
    bool FReadOnly = false;
    TGlyphKind FGlyphKind = gkCustom;
    int FDefNumGlyphs = 1;
    QPointer<QWidget> FPopup;
    bool FPopupVisible = false;
};

// What the file and folder edits share: the dialog hooks and dropped files.
class TFileDirEdit : public TCustomComboEdit {
    Q_OBJECT
public:
    explicit TFileDirEdit(QWidget* parent = nullptr);
    bool AcceptFiles() const { return FAcceptFiles; }
    void SetAcceptFiles(bool value);
    QString InitialDir() const { return GetInitialDir(); }
    void SetInitialDir(const QString& folder) { PutInitialDir(folder); }

    std::function<void(QObject*, QString& name, bool& action)> OnBeforeDialog;
    std::function<void(QObject*, QString& name, bool& action)> OnAfterDialog;
    std::function<void(QObject*)> OnDropFiles;

    virtual QString GetLongFileName() = 0;
    virtual QString GetShortFileName() = 0;
    // Takes the names dropped on the edit, as the drop hands them over.
    void DropNames(const QStringList& names);

protected:
    virtual void AcceptDroppedName(const QString& name) = 0;
    virtual void ClearFileList() {}
    virtual void DoBeforeDialog(QString& name, bool& action);
    virtual void DoAfterDialog(QString& name, bool& action);
    virtual QString GetInitialDir() const = 0;
    virtual void PutInitialDir(const QString& folder) = 0;
    const TBitmap* DefaultGlyphBitmap(bool& destroyNeeded) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool FMultipleNames = false;

private:
    bool FAcceptFiles = false;
};

// The bitmap of the file and folder edits' button: an open folder on fuchsia, 14 x 12.
const TBitmap& FileEditBitmap();

class TFilenameEdit : public TFileDirEdit {
    Q_OBJECT
public:
    explicit TFilenameEdit(QWidget* parent = nullptr);

    TFileDialogKind DialogKind() const { return FDialogKind; }
    void SetDialogKind(TFileDialogKind value);
    TOpenDialog& Dialog() const { return *FDialog; }
    QString DefaultExt() const { return FDialog->DefaultExt; }
    void SetDefaultExt(const QString& value) { FDialog->DefaultExt = value; }
    TFileEditStyle FileEditStyle() const { return FDialog->FileEditStyle; }
    void SetFileEditStyle(TFileEditStyle value) { FDialog->FileEditStyle = value; }
    QString Filter() const { return FDialog->Filter; }
    void SetFilter(const QString& value) { FDialog->Filter = value; }
    bool FilterStored() const { return FDialog->Filter != DefaultFilter(); }
    int FilterIndex() const { return FDialog->FilterIndex; }
    void SetFilterIndex(int value) { FDialog->FilterIndex = value; }
    QStringList& HistoryList() { return FDialog->HistoryList; }
    TOpenOptions DialogOptions() const { return FDialog->Options; }
    void SetDialogOptions(TOpenOptions value);
    QString DialogTitle() const { return FDialog->Title; }
    void SetDialogTitle(const QString& value) { FDialog->Title = value; }
    bool DialogTitleStored() const { return FDialog->Title != DefaultTitle(); }
    // The names dropped or chosen at once when several may be.
    const QStringList& Files() const { return FDialog->Files; }

    // The text when it names an existing file; otherwise the first token of the text read
    // as a command line (quotes removed, what follows dropped).
    QString FileName() const;
    QString GetFileName() const { return FileName(); }
    // Raises EComboEditError "Invalid file name - %s" for a name whose first token is no
    // valid file name; a name with a blank is put in quotes.
    void SetFileName(const QString& value);

    QString GetLongFileName() override;
    QString GetShortFileName() override;
    void ButtonClick() override;

    static QString DefaultFilter() { return QStringLiteral("All files (*.*)|*.*"); }
    static QString DefaultTitle() { return QStringLiteral("Browse"); }

protected:
    void AcceptDroppedName(const QString& name) override;
    void ClearFileList() override { FDialog->Files.clear(); }
    QString GetInitialDir() const override { return FDialog->InitialDir; }
    void PutInitialDir(const QString& folder) override { FDialog->InitialDir = folder; }

private:
    std::unique_ptr<TOpenDialog> FDialog;
    TFileDialogKind FDialogKind = dkOpen;
};

class TDirectoryEdit : public TFileDirEdit {
    Q_OBJECT
public:
    explicit TDirectoryEdit(QWidget* parent = nullptr);

    TDirDialogKind DialogKind = dkVCL;
    QString DialogText;
    TSelectDirOpts DialogOptions;
    bool MultipleDirs() const { return FMultipleNames; }
    void SetMultipleDirs(bool value) { FMultipleNames = value; }

    QString GetLongFileName() override;
    QString GetShortFileName() override;
    void ButtonClick() override;

protected:
    void AcceptDroppedName(const QString& name) override;
    QString GetInitialDir() const override { return FInitialDir; }
    void PutInitialDir(const QString& folder) override { FInitialDir = folder; }

private:
    QString ConvertNames(QString (*convert)(const QString&)) const;
    QString FInitialDir;
};
