#pragma once
// The expand button: a data-aware check box that a data grid hosts as the cell control of a
// nested-dataset column. Checked means expanded: the button's detail grid opens inside the
// current row of the grid (the row grows by the detail grid's height, the grid scrolls so that
// the whole detail grid shows) and closes again when the button is unchecked.

#include "gridlib/core/kqcheckbox.h"
#include "gridlib/grid/Grids.h"
#include "platform/core/SysUtils.h"

#include <QPointer>

class EkqExpandError : public Exception {
public:
    using Exception::Exception;
};

class TkqExpandGridIndents : public QObject {
    Q_OBJECT
    Q_PROPERTY(int X MEMBER X)
    Q_PROPERTY(int Y MEMBER Y)
public:
    explicit TkqExpandGridIndents(QObject* owner) : QObject(owner) {}
    int X = 0;
    int Y = 0;
};

class TkqExpandButton : public TkqDBCustomCheckBox {
    Q_OBJECT
    Q_PROPERTY(bool AutoShrink READ AutoShrink WRITE SetAutoShrink)
    Q_PROPERTY(bool AutoHideExpand READ AutoHideExpand WRITE SetAutoHideExpand)
    Q_PROPERTY(int ButtonAlignment READ ButtonAlignmentValue WRITE SetButtonAlignmentValue)
    Q_PROPERTY(TkqExpandGridIndents* GridIndents READ GridIndents)

public:
    explicit TkqExpandButton(QWidget* parent = nullptr);
    ~TkqExpandButton() override;

    // The detail grid; assigning hides it.
    TCustomGrid* Grid() const { return FGrid; }
    void SetGrid(TCustomGrid* grid);
    bool AutoShrink() const { return FAutoShrink; }
    void SetAutoShrink(bool value) { FAutoShrink = value; }
    bool AutoHideExpand() const { return FAutoHideExpand; }
    void SetAutoHideExpand(bool value);
    TAlignment ButtonAlignment() const { return FButtonAlignment; }
    void SetButtonAlignment(TAlignment value);
    TkqExpandGridIndents* GridIndents() const { return FGridIndents; }

    bool Expanded() const { return Checked(); }
    // Expands or collapses with the before and after events; nothing when already so.
    void SetExpanded(bool value);
    static void SetExpanded(TkqExpandButton* button, bool value) { button->SetExpanded(value); }
    // The grid row at which the next expansion puts its record (-1: where it stands); used once.
    int DesiredRow = -1;
    // Set by the host grid while it paints the button's image into the current cell.
    bool PaintExpanded = false;
    // The grid row whose height grew.
    int ExpandedRow() const { return FExpandedRow; }
    int DetailHeight() const { return FDetailHeight; }
    bool Toggling() const { return FToggling; }
    // Left edge in the host grid's client coordinates.
    int Left() const { return x(); }

    std::function<void(QObject*)> OnBeforeExpand;
    std::function<void(QObject*)> OnBeforeCollapse;
    std::function<void(QObject*)> OnAfterExpand;
    std::function<void(QObject*)> OnAfterCollapse;

    // The registered event that expands a button that receives it.
    static int ExpandEventType();

    // --- The check box's operations, as the button does them
    void Toggle() override;
    void Click() override;
    QString GetDisplayCaption() const override;
    int GetGlyphIndent() const override { return 2; }
    bool FillsBackground() const override { return !Checked(); }
    TCheckBoxState GetDisplayState() const override;
    void DataChange() override;
    TImageList* GetImages() const override;
    bool HidesGlyph() const override;
    TAlignment GetGlyphAlignment() const override;

protected:
    virtual void DoBeforeExpand();
    virtual void DoBeforeCollapse();
    virtual void DoAfterExpand();
    virtual void DoAfterCollapse();
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int ButtonAlignmentValue() const { return int(FButtonAlignment); }
    void SetButtonAlignmentValue(int v) { SetButtonAlignment(TAlignment(v)); }
    void Place();
    void Expand(TCustomGrid* p);
    void Collapse(TCustomGrid* p);
    void ScrollTo(TCustomGrid* p, int row);

    QPointer<TCustomGrid> FGrid;
    std::unique_ptr<TImageList> FGlyphs;
    TkqExpandGridIndents* FGridIndents;
    bool FAutoShrink = true;
    bool FAutoHideExpand = false;
    TAlignment FButtonAlignment = taLeftJustify;
    bool FClickBusy = false;
    int FSavedParentHeight = 0;
    int FSavedOuterRowHeight = 0;
    int FDetailHeight = 0;
    int FExpandedRow = 0;
    bool FToggling = false;
};
