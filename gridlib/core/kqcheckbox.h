#pragma once
// The library's owner-drawn check box in three layers: TkqCustomCheckBox draws the box (system
// glyph or images, caption, focus rectangle, frame, transparency), TkqDBCustomCheckBox maps a
// field's values to checked, unchecked and grayed and writes the state back, TkqCheckBox
// publishes it. As a grid's cell control it paints images of itself into the other rows.

#include "gridlib/core/kqwinbtn.h"
#include "platform/data/DB.h"

#include <QStringList>

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TkqCustomCheckBox : public TkqButtonControl {
    Q_OBJECT
    Q_PROPERTY(int State READ StateValue WRITE SetStateValue)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE SetAllowGrayed)
    Q_PROPERTY(QString ValueChecked READ ValueChecked WRITE SetValueChecked)
    Q_PROPERTY(QString ValueUnchecked READ ValueUnchecked WRITE SetValueUnchecked)
    Q_PROPERTY(QString DisplayValueChecked READ DisplayValueChecked WRITE SetDisplayValueChecked)
    Q_PROPERTY(QString DisplayValueUnchecked READ DisplayValueUnchecked WRITE SetDisplayValueUnchecked)
    Q_PROPERTY(bool DynamicCaption READ DynamicCaption WRITE SetDynamicCaption)
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(int NullAndBlankState READ NullAndBlankStateValue WRITE SetNullAndBlankStateValue)

public:
    explicit TkqCustomCheckBox(QWidget* parent = nullptr);

    TCheckBoxState State() const { return FState; }
    // A change repaints and clicks (unless clicks are disabled).
    void SetState(TCheckBoxState state);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool value) { FAllowGrayed = value; }
    QString ValueChecked() const { return FValueChecked; }
    void SetValueChecked(const QString& value);
    QString ValueUnchecked() const { return FValueUnchecked; }
    void SetValueUnchecked(const QString& value);
    // Read as ValueChecked / ValueUnchecked while empty.
    QString DisplayValueChecked() const { return FDisplayValueChecked.isEmpty() ? FValueChecked : FDisplayValueChecked; }
    void SetDisplayValueChecked(const QString& value);
    QString DisplayValueUnchecked() const { return FDisplayValueUnchecked.isEmpty() ? FValueUnchecked : FDisplayValueUnchecked; }
    void SetDisplayValueUnchecked(const QString& value);
    bool DynamicCaption() const { return FDynamicCaption; }
    void SetDynamicCaption(bool value);
    bool ShowText() const { return FShowText; }
    void SetShowText(bool value);
    TCheckBoxState NullAndBlankState() const { return FNullAndBlankState; }
    void SetNullAndBlankState(TCheckBoxState value);

    // A white box framed black round an image glyph (the expand button's look).
    bool BoxAroundGlyph = false;
    bool ShowAsButton = false;
    // The user changed the state since it was last read from the field.
    bool Modified = false;

    // Steps the state: unchecked to grayed (when allowed) or checked, checked to unchecked,
    // grayed to checked.
    virtual void Toggle();
    virtual QString GetDisplayCaption() const;
    virtual int GetGlyphIndent() const { return 0; }
    virtual bool FillsBackground() const { return true; }
    virtual TCheckBoxState GetDisplayState() const { return FState; }
    virtual void DataChange() {}
    virtual TImageList* GetImages() const { return Images(); }
    virtual bool HidesGlyph() const { return false; }
    virtual TField* GetField() const { return nullptr; }
    virtual TAlignment GetGlyphAlignment() const { return Alignment(); }
    TRect GetCheckRect() const override;
    // The caption rectangle, measured with the canvas' font.
    TRect GetCaptionRect(TCanvas& canvas) const;
    // The parent is a library data grid that has the focus, or the active-record rule holds.
    bool GridHighlight() const;
    bool ActiveRecordRule() const;
    bool GlyphPushed() const;

protected:
    void Paint(TCanvas& canvas) override;
    void CaptionChanged() override;
    void DoEnter() override;
    void DoExit() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void SpaceClick() override { Toggle(); }
    // Release of the left button at a point: toggles inside the control, or in a grid only near the box.
    virtual bool ToggleOnRelease(const QPoint& point) const;
    // A key the data-aware layer sees first; true when it consumed the key.
    virtual bool DataKeyPress(int key) { Q_UNUSED(key); return false; }

private:
    int StateValue() const { return int(FState); }
    void SetStateValue(int v) { SetState(TCheckBoxState(v)); }
    int NullAndBlankStateValue() const { return int(FNullAndBlankState); }
    void SetNullAndBlankStateValue(int v) { SetNullAndBlankState(TCheckBoxState(v)); }
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    QString FValueChecked = QStringLiteral("True");
    QString FValueUnchecked = QStringLiteral("False");
    QString FDisplayValueChecked;
    QString FDisplayValueUnchecked;
    bool FDynamicCaption = false;
    bool FShowText = true;
    TCheckBoxState FNullAndBlankState = cbUnchecked;
    bool FLeftDown = false;
};

// The items of a ";"-separated value list, blanks round each item ignored.
QStringList CheckBoxValueItems(const QString& list);

class TkqDBCustomCheckBox : public TkqCustomCheckBox {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    explicit TkqDBCustomCheckBox(QWidget* parent = nullptr);
    ~TkqDBCustomCheckBox() override;

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool value) { FDataLink.SetReadOnly(value); }
    TFieldDataLink& DataLink() { return FDataLink; }

    void Toggle() override;
    TCheckBoxState GetDisplayState() const override;
    void DataChange() override;
    TField* GetField() const override { return FDataLink.Field(); }
    // Writes the state to the field: grayed clears it, a Boolean field takes Checked, any other
    // the first item of ValueChecked or ValueUnchecked.
    void UpdateData();

protected:
    void DoEnter() override;
    void DoExit() override;
    bool DataKeyPress(int key) override;

private:
    TFieldDataLink FDataLink;
};

class TkqCheckBox : public TkqDBCustomCheckBox {
    Q_OBJECT
public:
    using TkqDBCustomCheckBox::TkqDBCustomCheckBox;
};
