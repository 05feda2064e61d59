#pragma once
// The library's single-line edit bound to one field, and the base of its spin edit, combos and
// pickers. Over a line edit it adds the library's picture masks (from the dataset's PictureMasks
// list or from the edit), tested while typing and on exit and auto-filled; dates completed part
// by part with Space; navigation keys handed to the grid when the edit is a grid's cell editor;
// unbound use as a typed date, time or date-time edit; a drawn frame and its own painting
// while unfocused, for hidden carets and for the copies a grid paints into its cells.
//
// The edit paints its own border: BorderStyle single gives a sunken 3-D edge (a one-pixel
// frame without Ctl3D); the client area and the formatting rectangle lie inside it.

#include "gridlib/core/kqframe.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/data/DB.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

#include <QLineEdit>
#include <QPointer>
#include <array>
#include <functional>

class TkqCustomMaskEdit;
class TkqDBCustomEdit;

enum TkqEditDataType { kqDefault, kqEdtDate, kqEdtTime, kqEdtDateTime };
enum TkqEditAlignment { eaLeftAlignEditing, eaRightAlignEditing };
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// The picture settings of an edit. With PictureMaskFromDataSet on and a bound field whose
// dataset keeps a PictureMasks list, the mask and its auto-fill flag are the list's entry for
// the field, read and written there.
class TkqDBPicture : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool PictureMaskFromDataSet READ PictureMaskFromDataSet WRITE SetPictureMaskFromDataSet)
    Q_PROPERTY(QString PictureMask READ PictureMask WRITE SetPictureMask)
    Q_PROPERTY(bool AutoFill READ AutoFill WRITE SetAutoFill)
    Q_PROPERTY(bool AllowInvalidExit READ AllowInvalidExit WRITE SetAllowInvalidExit)

public:
    explicit TkqDBPicture(TkqCustomMaskEdit* owner);

    bool PictureMaskFromDataSet() const { return FFromDataSet; }
    void SetPictureMaskFromDataSet(bool value) { FFromDataSet = value; }
    QString PictureMask() const;
    void SetPictureMask(const QString& mask);
    bool AutoFill() const;
    void SetAutoFill(bool value);
    bool AllowInvalidExit() const;
    void SetAllowInvalidExit(bool value);
    // Copies the mask and the auto-fill flag (as the source reads them).
    void Assign(const TkqDBPicture& source);
    // The dataset whose list holds the mask, and the field; none when the edit's own values count.
    QObject* MaskDataSet(QString* fieldName = nullptr) const;

private:
    TkqCustomMaskEdit* FOwner;
    bool FFromDataSet = true;
    QString FMask;
    bool FAutoFill = true;
    bool FAllowInvalidExit = false;
};

class TkqCustomMaskEdit : public QLineEdit, public TkqFrameHost, public TkqCopyPaintable {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(TkqDBPicture* Picture READ Picture)
    Q_PROPERTY(TkqEditFrame* Frame READ Frame)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(bool UsePictureMask READ UsePictureMask WRITE SetUsePictureMask)
    Q_PROPERTY(bool WantReturns READ WantReturns WRITE SetWantReturns)
    Q_PROPERTY(bool ShowVertScrollBar READ ShowVertScrollBar WRITE SetShowVertScrollBar)
    Q_PROPERTY(bool MaskStoreLiteralTemplate MEMBER MaskStoreLiteralTemplate)
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool AutoSelect MEMBER AutoSelect)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(int CharCase READ CharCaseValue WRITE SetCharCaseValue)
    Q_PROPERTY(QString PasswordChar READ PasswordCharText WRITE SetPasswordCharText)

public:
    explicit TkqCustomMaskEdit(QWidget* parent = nullptr);
    ~TkqCustomMaskEdit() override;

    QString Text() const { return text(); }
    void SetText(const QString& value) { setText(value); }
    TkqDBPicture* Picture() const { return FPicture; }
    TkqEditFrame* Frame() const { return FFrame; }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    bool UsePictureMask() const { return FUsePictureMask; }
    void SetUsePictureMask(bool value) { FUsePictureMask = value; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool ShowVertScrollBar() const { return FShowVertScrollBar; }
    void SetShowVertScrollBar(bool value) { FShowVertScrollBar = value; }
    bool MaskStoreLiteralTemplate = false;
    // The platform's edit mask ("mask;store literals;blank"), as a field may carry one.
    QString EditMask() const { return FEditMask; }
    void SetEditMask(const QString& mask) { FEditMask = mask; }
    // 1 single, 0 none.
    int BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(int value);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool AutoSelect = true;
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor color);
    // 0: no limit.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    TEditCharCase CharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase value) { FCharCase = value; }
    QChar PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(QChar ch);

    // Element 0: retry a refused picture key after an inserted blank; 1: free for descendants
    // (the combo's close-up guard); 2: embedded buttons act on their click rather than on the
    // press; 3: keep Enter and Escape from the parent window in a multi-line edit.
    std::array<bool, 4> BehaviourFlags{false, false, false, false};

    // Set when the last exit failed the picture check.
    bool ExitFailed() const { return FExitFailed; }
    // The last key press changed the text through the picture.
    bool PictureChangedText() const { return FPictureChangedText; }

    // A picture is in use: UsePictureMask and a mask.
    bool PictureInUse() const;
    // True for an empty text or without a mask; else the text must be complete for the mask.
    // Fires DoCheckValue with the result.
    bool PassesPictureTest(const QString& text);
    // Runs the picture with its auto-fill on the text and puts the extended text back.
    void ApplyPictureAutoFill();
    // Without a picture, with a platform edit mask: the text without the mask's literals and
    // blanks is empty.
    bool IsMaskedTextEmpty() const;
    virtual bool IsOwnerDrawn() const { return false; }
    // Sets the formatting rectangle from the border, the frame and a grid parent.
    virtual void SetEditRect();
    virtual void DoCheckValue(bool passesPictureTest);
    // The frame paints transparently: Frame.Transparent with the frame in effect.
    bool PaintsTransparent() const;

    // Border width on each side (the part of the control that is not client area).
    int BorderWidth() const;
    int ClientWidth() const { return width() - 2 * BorderWidth(); }
    int ClientHeight() const { return height() - 2 * BorderWidth(); }
    // The formatting rectangle, in client coordinates.
    TRect FormattingRect() const override { return FEditRect; }
    void SetFormattingRect(const TRect& rect);
    bool HasOwnBorder() const override { return FBorderStyle != 0; }

    std::function<void(QObject*, bool passesPictureTest)> OnCheckValue;
    std::function<void(QObject*)> OnChange;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // The border, outside the client area (a frame replaces it).
    void PaintBorder(TCanvas& canvas) const;
    // The edit's colour inside the border, behind the line edit's text; nothing while it paints
    // transparently and unfocused.
    void FillBackground(TCanvas& canvas, bool focused) const;
    // The exit check of the picture: a modified text that fails it takes the focus back.
    void ExitValidation();
    // The picture's handling of a typed character; key becomes 0 when consumed.
    void PictureKeyPress(QChar& key);
    // The text set with the modified flag raised by the change.
    void SetTextMarkingModified(const QString& text);
    // Text changes: an unbound edit marks itself modified, then OnChange.
    virtual void Change();
    // Takes the window styles afresh.
    virtual void RecreateWnd();
    virtual void FontChanged();
    void ApplyAutoSize();

    bool FExitFailed = false;
    bool FPictureChangedText = false;
    bool FMarkModifiedOnChange = false;
    bool FLoading = false;

private:
    int CharCaseValue() const { return int(FCharCase); }
    void SetCharCaseValue(int v) { SetCharCase(TEditCharCase(v)); }
    QString PasswordCharText() const { return FPasswordChar.isNull() ? QString() : QString(FPasswordChar); }
    void SetPasswordCharText(const QString& s) { SetPasswordChar(s.isEmpty() ? QChar() : s[0]); }

    TkqDBPicture* FPicture;
    TkqEditFrame* FFrame;
    bool FWordWrap = false;
    bool FUsePictureMask = true;
    bool FWantReturns = false;
    bool FShowVertScrollBar = false;
    QString FEditMask;
    int FBorderStyle = 1;
    bool FCtl3D = true;
    bool FAutoSize = true;
    TColor FColor = clWindow;
    TColor FFontColor = clWindowText;
    int FMaxLength = 0;
    TEditCharCase FCharCase = ecNormal;
    QChar FPasswordChar;
    TRect FEditRect;
};

class TkqDBCustomEdit : public TkqCustomMaskEdit, public TkqCellTextMap {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(int UnboundDataType READ UnboundDataTypeValue WRITE SetUnboundDataTypeValue)
    Q_PROPERTY(int UnboundAlignment READ UnboundAlignmentValue WRITE SetUnboundAlignmentValue)
    Q_PROPERTY(int EditAlignment READ EditAlignmentValue WRITE SetEditAlignmentValue)
    Q_PROPERTY(bool AutoFillDate MEMBER AutoFillDate)

public:
    explicit TkqDBCustomEdit(QWidget* parent = nullptr);
    ~TkqDBCustomEdit() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name);
    TField* Field() const { return FDataLink.Field(); }
    TFieldDataLink& DataLink() { return FDataLink; }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool value);
    TkqEditDataType UnboundDataType() const { return FUnboundDataType; }
    void SetUnboundDataType(TkqEditDataType value) { FUnboundDataType = value; }
    TAlignment UnboundAlignment() const { return FUnboundAlignment; }
    void SetUnboundAlignment(TAlignment value);
    TkqEditAlignment EditAlignment() const { return FEditAlignment; }
    void SetEditAlignment(TkqEditAlignment value);
    bool AutoFillDate = true;
    // The pivot of two-digit years; 0 means 1950.
    int EpochYear = 0;
    // Has the focus (kept by the edit's focus tracking).
    bool Focused() const { return FFocused; }

    // Field kinds, bound or through UnboundDataType.
    bool IsDateField() const;
    bool IsTimeField() const;
    bool IsDateTimeField() const;
    bool IsMemoField() const;
    // The alignment the field (or the unbound setting) gives.
    TAlignment DisplayAlignment() const;

    virtual bool IsAutoEditOff() const;
    virtual bool IsCaretShown() const { return true; }
    // The client rectangle less a shown button.
    virtual TRect GetEditRect() const;
    virtual QString GetStoredText() const { return text(); }
    virtual void DrawEditText(TCanvas& canvas, const TRect& rect, const QString& text, int x, int y);
    virtual bool GetShowButton() const { return false; }
    virtual void SetShowButton(bool value) { Q_UNUSED(value); }
    // The frame for the focus state (over the whole control).
    virtual void DrawFrame(TCanvas& canvas, bool focused);
    virtual void DoValidationError(TField* field);
    virtual bool IsDroppedDown() const { return false; }
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    // A descendant may show another text for a stored value (the grid's cells too).
    virtual bool MapStoredToDisplay(const QString& value, QString& display) const
    {
        Q_UNUSED(value); Q_UNUSED(display);
        return false;
    }
    // The grid's view of the same map: the display text, or a null string.
    QString MapStoredToDisplay(const QString& stored) const override
    {
        QString display;
        return MapStoredToDisplay(stored, display) ? display : QString();
    }
    virtual void EnterEditState();
    virtual int GetButtonWidth() const { return 0; }
    virtual int GetButtonLeft() const { return ClientWidth() - 1; }

    void MarkModified(bool value);
    bool EditCanModify();
    // Shows the field again (or the text an unbound edit had on entry), all selected.
    void Reset();
    // Writes the edited text to the field; on failure selects all, takes the focus back, keeps
    // the modified flag, and raises again.
    void UpdateFieldFromEdit();
    // The text the field gets from the edit, as the data link's update writes it.
    void UpdateData();
    // The edit's whole painting of itself into the canvas (client coordinates).
    void PaintEdit(TCanvas& canvas);
    void PaintCopy(TCanvas& canvas) override;
    // The edit paints itself instead of the line edit.
    bool PaintsItself() const;
    // Date auto-fill on Space; true when it took the key.
    bool DateAutoFill();
    void SetEditRect() override;

    std::function<void(QObject*)> OnMouseEnter;
    std::function<void(QObject*)> OnMouseLeave;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;

    // The edit's own key handling, callable by descendants as the inherited handling.
    virtual void KeyDown(int& key, TShiftState shift);
    virtual void KeyPress(QChar& key);
    virtual void KeyUp(int& key, TShiftState shift);
    // Clipboard and undo with edit state and modified flag.
    void PasteFromClipboard();
    void CutToClipboard();
    void UndoEdit();

protected:
    virtual void DataChange();
    virtual void EditingChange();
    void Change() override;
    virtual void DoEnter();
    virtual void DoExit();
    // Becoming focused or unfocused.
    void SetFocused(bool value);
    void FontChanged() override;

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

    TFieldDataLink FDataLink;
    bool FMouseOver = false;

private:
    int UnboundDataTypeValue() const { return int(FUnboundDataType); }
    void SetUnboundDataTypeValue(int v) { SetUnboundDataType(TkqEditDataType(v)); }
    int UnboundAlignmentValue() const { return int(FUnboundAlignment); }
    void SetUnboundAlignmentValue(int v) { SetUnboundAlignment(TAlignment(v)); }
    int EditAlignmentValue() const { return int(FEditAlignment); }
    void SetEditAlignmentValue(int v) { SetEditAlignment(TkqEditAlignment(v)); }
    // Keys handed to the grid the edit sits in; true when the key went there.
    bool RouteKeyToGrid(int& key, TShiftState shift);
    // Tab and Enter before the line edit sees them; true when consumed.
    bool PreviewKey(int key, TShiftState shift);
    void UpdateLineEditAlignment();

    bool FFocused = false;
    TAlignment FAlignment = taLeftJustify;
    TAlignment FUnboundAlignment = taLeftJustify;
    TkqEditDataType FUnboundDataType = kqDefault;
    TkqEditAlignment FEditAlignment = eaLeftAlignEditing;
    QString FUnboundEnterText;
    bool FInExit = false;
};

class TkqDBEdit : public TkqDBCustomEdit {
    Q_OBJECT
public:
    using TkqDBCustomEdit::TkqDBCustomEdit;
};
