#pragma once
// The radio group: a group box that makes one radio button per line of Items, lays them out in
// columns, draws its own border and caption (or a frame without a border) and can let its
// parent show through. TkqRadioGroup binds it to a field: each button stands for a stored
// value (its Values line, else its caption); the field's text selects the button and choosing
// a button writes its value.

#include "gridlib/core/kqframe.h"
#include "gridlib/core/kqgridhost.h"
#include "gridlib/core/kqgroupbox.h"
#include "gridlib/core/kqradio.h"
#include "platform/data/DB.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <functional>

class TkqCustomRadioGroup;

// A button of a radio group: its look follows the group.
class TGroupButton : public TkqRadioButton {
    Q_OBJECT
    friend class TkqCustomRadioGroup;

public:
    explicit TGroupButton(TkqCustomRadioGroup* group);
    ~TGroupButton() override;

    TkqCustomRadioGroup* Group() const { return FGroup; }
    bool ShowsText() const override;
    TColor GetTextColor() const override;
    TColor GetBackgroundColor() const override;
    int GetGlyphIndex() const override;
    bool GetDisplayChecked() const override;
    void Click() override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The user's click checks the button only when the group may change (re-entry guarded).
    void NativeClick() override;

private:
    QPointer<TkqCustomRadioGroup> FGroup;
    bool FInClick = false;
};

// The group's indents: a change rebuilds the group's buttons.
class TkqRGWinButtonIndents : public TkqWinButtonIndents {
    Q_OBJECT
public:
    using TkqWinButtonIndents::TkqWinButtonIndents;
    void Refresh(QWidget* owner) override;
};

class TkqCustomRadioGroup : public TkqCustomTransparentGroupBox, public TkqCopyPaintable {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(TkqEditFrame* Frame READ Frame)
    Q_PROPERTY(TkqEditFrame* ButtonFrame READ ButtonFrame)
    Q_PROPERTY(TkqWinButtonIndents* Indents READ Indents)
    Q_PROPERTY(bool ShowBorder READ ShowBorder WRITE SetShowBorder)
    Q_PROPERTY(bool ShowGroupCaption READ ShowGroupCaption WRITE SetShowGroupCaption)
    Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE SetShowFocusRect)
    Q_PROPERTY(bool TransparentActiveItem READ TransparentActiveItem WRITE SetTransparentActiveItem)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
    Q_PROPERTY(int Alignment READ AlignmentValue WRITE SetAlignmentValue)
    Q_PROPERTY(bool NoSpacing READ NoSpacing WRITE SetNoSpacing)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

public:
    explicit TkqCustomRadioGroup(QWidget* parent = nullptr);
    ~TkqCustomRadioGroup() override;

    QStringList Items() const { return FItems; }
    // The list's change: the index is clamped to the last line and the buttons rebuilt.
    void SetItems(const QStringList& items);
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int index);
    int Columns() const { return FColumns; }
    // 1 to 16.
    void SetColumns(int value);
    TkqEditFrame* Frame() const { return FFrame; }
    TkqEditFrame* ButtonFrame() const { return FButtonFrame; }
    TkqWinButtonIndents* Indents() const { return FIndents; }
    bool ShowBorder() const { return FShowBorder; }
    void SetShowBorder(bool value);
    bool ShowGroupCaption() const { return FShowGroupCaption; }
    void SetShowGroupCaption(bool value);
    bool ShowFocusRect() const { return FShowFocusRect; }
    void SetShowFocusRect(bool value);
    bool TransparentActiveItem() const { return FTransparentActiveItem; }
    void SetTransparentActiveItem(bool value);
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool NoSpacing() const { return FNoSpacing; }
    void SetNoSpacing(bool value);
    bool TabStop() const { return focusPolicy() != Qt::NoFocus && focusPolicy() != Qt::ClickFocus; }
    void SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus); }
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* images);
    TImageList* GlyphImages() const { return FGlyphImages; }
    void SetGlyphImages(TImageList* images);

    void SetTransparent(bool value) override;
    bool IsTransparentNow() const override;
    // The group, or one of its buttons, holds the focus.
    bool GroupFocused() const { return FFocused; }
    // Text colour while the group paints as a copy; background it painted for its buttons.
    TColor CopyTextColor() const { return FCopyTextColor; }
    TColor ButtonBackground() const { return FButtonBackground; }

    int ButtonCount() const { return int(FButtons.size()); }
    TGroupButton* Buttons(int index) const { return FButtons.value(index); }
    int IndexOfButton(const TGroupButton* button) const { return int(FButtons.indexOf(const_cast<TGroupButton*>(button))); }
    // The buttons' geometry for the current size.
    void ArrangeButtons();
    // Creates or frees buttons to match the lines, captions, checks the selected one, lays out.
    void UpdateButtons();

    virtual bool IsItemIndexStored() const { return true; }
    virtual void DoCreateRadioButton(TGroupButton* button);
    // Whether the user may choose another button now.
    virtual bool CanModify() { return true; }
    // The border and caption are drawn (never inside a grid).
    virtual bool HasBorder() const;
    // The group's click: fires OnClick.
    virtual void Click();
    // A button's click routed to the group.
    void ButtonClick(TGroupButton* button);
    // What a button tells its group about a key; true when the group consumed it.
    virtual bool ButtonKeyPress(TGroupButton* button, int key);
    bool ButtonKeyDown(TGroupButton* button, int key, TShiftState shift);

    void PaintCopy(TCanvas& canvas) override;
    // Room for every caption in its column, the rows and the border.
    QSize sizeHint() const override;

    std::function<void(TkqCustomRadioGroup*, TGroupButton*)> OnCreateRadioButton;
    std::function<void(QObject*)> OnClick;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;

protected:
    void Paint(TCanvas& canvas) override;
    // The group's own look: background, border and caption, or the frame.
    void PaintGroup(TCanvas& canvas);
    virtual void DoEnter();
    virtual void DoExit();
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    // The grid's paint of this group as its current cell: may set the button background.
    virtual void PaintInGrid(TCanvas& canvas) { Q_UNUSED(canvas); }
    bool FReading = false;
    bool FUpdating = false;
    TColor FCopyTextColor = clNone;
    TColor FButtonBackground = clNone;

private:
    friend class TGroupButton;
    int AlignmentValue() const { return int(FAlignment); }
    void SetAlignmentValue(int v) { SetAlignment(TAlignment(v)); }
    void FocusChanged(QWidget* old, QWidget* now);
    void ButtonFreed(TGroupButton* button);
    QStringList FItems;
    int FItemIndex = -1;
    int FColumns = 1;
    TkqEditFrame* FFrame;
    TkqRGEditFrame* FButtonFrame;
    TkqRGWinButtonIndents* FIndents;
    bool FShowBorder = true;
    bool FShowGroupCaption = true;
    bool FShowFocusRect = true;
    bool FTransparentActiveItem = false;
    bool FShowText = true;
    bool FWordWrap = false;
    TAlignment FAlignment = taRightJustify;
    bool FNoSpacing = false;
    bool FFocused = false;
    bool FTabbing = false;
    TImageList* FImages = nullptr;
    TImageList* FGlyphImages = nullptr;
    QList<TGroupButton*> FButtons;
};

class TkqRadioGroup : public TkqCustomRadioGroup {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QStringList Values READ Values WRITE SetValues)

public:
    explicit TkqRadioGroup(QWidget* parent = nullptr);
    ~TkqRadioGroup() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool value) { FDataLink.SetReadOnly(value); }
    TField* Field() const { return FDataLink.Field(); }
    TFieldDataLink& DataLink() { return FDataLink; }
    QStringList Values() const { return FValues; }
    void SetValues(const QStringList& values);
    // The value the group stands at (what the field gets).
    QString Value() const { return FValue; }

    // Values[Index] when there and not empty, else Items[Index], else empty.
    QString GetButtonValue(int index) const;
    // The caption of the first button whose value equals the text (case-sensitive).
    QString GetCaptionForValue(const QString& text) const;

    bool IsItemIndexStored() const override { return DataSource() != nullptr; }
    bool CanModify() override;
    void Click() override;
    bool ButtonKeyPress(TGroupButton* button, int key) override;

    std::function<void(QObject*)> OnChange;

protected:
    void DoExit() override;
    void PaintInGrid(TCanvas& canvas) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void DataChange();
    void UpdateData();
    // Selects the button standing for the text and fires OnChange; nothing for the same text
    // unless forced (the lists changed).
    void ApplyValue(const QString& text, bool force = false);
    TFieldDataLink FDataLink;
    QStringList FValues;
    QString FValue;
    bool FValueRead = false;
    bool FUpdatingFromField = false;
};
