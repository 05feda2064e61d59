#pragma once
// What the library's controls need of the data grid they sit in as cell controls (and what the
// grid's paint options need of their grid). The grid implements TkqGridHost; the controls never
// name the grid's classes: they recognise it by class name and reach it through this interface.

#include "gridlib/core/kqcommon.h"
#include "platform/data/DB.h"
#include "platform/vcl/Canvas.h"
#include "platform/vcl/Controls.h"

class QWidget;
class TkqGridPaintOptions;

enum TGridDrawStateItem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateItem>;

class TkqGridHost {
public:
    virtual ~TkqGridHost() = default;

    // Height of grid row 0 (the title row) and the colour of the fixed cells.
    virtual int TitleRowHeight() const = 0;
    virtual TColor FixedColor() const = 0;
    virtual TkqGridPaintOptions* GridPaintOptions() const { return nullptr; }
    // The grid's font colour, as cell text is drawn in.
    virtual TColor GridFontColor() const { return clWindowText; }

    // Options the controls follow: dgRowLines, dgAlwaysShowEditor, dgRowSelect,
    // dgAlwaysShowSelection, goTabs.
    virtual bool HasRowLines() const { return true; }
    virtual bool AlwaysShowEditor() const { return false; }
    virtual bool RowSelect() const { return false; }
    virtual bool AlwaysShowSelection() const { return false; }
    virtual bool TabsMoveBetweenCells() const { return false; }

    // The grid's cell-colour event for a control painting the cell of a field.
    virtual void CalcCellColors(TField* field, TGridDrawState state, bool highlight, TFont& font, TColor& background)
    {
        Q_UNUSED(field); Q_UNUSED(state); Q_UNUSED(highlight); Q_UNUSED(font); Q_UNUSED(background);
    }
    // Keys a cell control hands back: the grid's own key handling, and its OnKeyDown handler.
    virtual void GridKeyDown(int& key, TShiftState shift) { Q_UNUSED(key); Q_UNUSED(shift); }
    virtual void GridKeyPress(QChar& key) { Q_UNUSED(key); }
    virtual bool HasOnKeyDown() const { return false; }
    virtual void FireOnKeyDown(int& key, TShiftState shift) { Q_UNUSED(key); Q_UNUSED(shift); }
};

// What the grid needs of a cell control that shows a field's stored values under other texts
// (a combo with a value map): the grid paints those cells with the display text.
class TkqCellTextMap {
public:
    virtual ~TkqCellTextMap() = default;
    // The display text of a stored value; a null string when the control has none for it.
    virtual QString MapStoredToDisplay(const QString& stored) const = 0;
};

// The parent, when it is a grid (its class or an ancestor named "TCustomGrid").
QWidget* ParentGrid(const QWidget* control);
// The parent grid's interface; none outside a grid (or for a grid that does not offer it).
TkqGridHost* ParentGridHost(const QWidget* control);
// The control paints an image of itself into a grid cell (its csPaintCopy state).
bool IsPaintingCopy(const QWidget* control);
void SetPaintingCopy(QWidget* control, bool value);

// A control the grid shows in a cell paints images of itself into the cells of other rows:
// the live control and the copy share one paint routine. The canvas' origin is the control's
// top-left, clipped to its size; its font colour is the cell's text colour.
class TkqCopyPaintable {
public:
    virtual ~TkqCopyPaintable() = default;
    virtual void PaintCopy(TCanvas& canvas) = 0;
};
// Paints the control as a copy into the canvas at (x, y): marks it csPaintCopy meanwhile and
// paints its visible children that can at their own positions. Nothing for a control that
// cannot paint a copy.
void PaintControlCopy(QWidget* control, TCanvas& canvas, int x, int y);

// Controls the grid makes for itself, by class name (its date-time picker): the library that
// holds the class registers it, and without it the grid does without.
using TkqControlCreator = std::function<QWidget*(QWidget* owner)>;
void RegisterControlClass(const QString& className, TkqControlCreator creator);
bool IsControlClassRegistered(const QString& className);
// A new control of the class owned by owner; none when the class is not registered.
QWidget* CreateRegisteredControl(const QString& className, QWidget* owner);
