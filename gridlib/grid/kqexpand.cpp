#include "gridlib/grid/kqexpand.h"

#include "gridlib/grid/Kqdbgrid.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>

namespace {

// The two glyphs: a plus while collapsed, a minus while expanded, black on white.
TBitmap Glyph(bool expanded)
{
    TBitmap b(9, 9);
    b.Fill(clWhite);
    for (int x = 2; x <= 6; ++x) b.SetPixel(x, 4, clBlack);
    if (!expanded)
        for (int y = 2; y <= 6; ++y) b.SetPixel(4, y, clBlack);
    return b;
}

void SetCtl3D(QObject* control, bool value)
{
    if (const QMetaProperty p = FindPublishedProperty(control, "Ctl3D"); p.isValid()) p.write(control, value);
}

TCustomGrid* GridOf(const QWidget* control)
{
    return qobject_cast<TCustomGrid*>(ParentGrid(control));
}

} // namespace

int TkqExpandButton::ExpandEventType()
{
    // Registered once, under the name other code knows the request by.
    static const int type = QEvent::registerEventType();
    return type;
}

TkqExpandButton::TkqExpandButton(QWidget* parent) : TkqDBCustomCheckBox(parent)
{
    SetShowText(false);
    BoxAroundGlyph = true;
    FGridIndents = new TkqExpandGridIndents(this);
    FGlyphs = std::make_unique<TImageList>(9, 9);
    FGlyphs->AddMasked(Glyph(false), clWhite);
    FGlyphs->AddMasked(Glyph(true), clWhite);
    setFocusPolicy(Qt::StrongFocus);
}

TkqExpandButton::~TkqExpandButton()
{
    OnBeforeExpand = nullptr;
    OnBeforeCollapse = nullptr;
    OnAfterExpand = nullptr;
    OnAfterCollapse = nullptr;
}

void TkqExpandButton::SetGrid(TCustomGrid* grid)
{
    FGrid = grid;
    if (!grid) return;
    grid->hide();
    if (IsClassOrAncestorNamed(grid, "TkqDBGrid")) {
        SetCtl3D(grid, false);
        grid->setFrameShape(QFrame::Box);
    }
}

void TkqExpandButton::SetAutoHideExpand(bool value)
{
    if (value == FAutoHideExpand) return;
    FAutoHideExpand = value;
    update();
}

void TkqExpandButton::SetButtonAlignment(TAlignment value)
{
    if (value == FButtonAlignment) return;
    FButtonAlignment = value;
    update();
}

TImageList* TkqExpandButton::GetImages() const { return Images() ? Images() : FGlyphs.get(); }

TAlignment TkqExpandButton::GetGlyphAlignment() const
{
    // The check box's terms: taRightJustify puts the glyph left of the caption.
    switch (FButtonAlignment) {
    case taLeftJustify: return taRightJustify;
    case taRightJustify: return taLeftJustify;
    default: return taCenter;
    }
}

QString TkqExpandButton::GetDisplayCaption() const
{
    TField* field = GetField();
    return field && field->DataSet() && field->DataSet()->Active() ? field->DisplayText() : QString();
}

TCheckBoxState TkqExpandButton::GetDisplayState() const
{
    if (IsPaintingCopy(this)) {
        const bool open = GridOf(this) && FGrid && FGrid->isVisible() && PaintExpanded;
        return open ? cbChecked : cbUnchecked;
    }
    return State();
}

bool TkqExpandButton::HidesGlyph() const
{
    if (!FAutoHideExpand) return false;
    TField* field = GetField();
    if (field && field->DataSet() && field->DataSet()->Active() && !field->IsNull() &&
        field->AsString() != QLatin1String("0"))
        return false;
    if (IsPaintingCopy(this)) return true;
    return FGrid && !FGrid->isVisible();
}

void TkqExpandButton::DataChange()
{
    // The field is only read (caption, hiding); a record change closes an open detail.
    TDataSource* source = DataSource();
    if (source && source->State() == dsBrowse && !FClickBusy && State() != cbUnchecked && !FToggling) Toggle();
    update();
}

void TkqExpandButton::SetExpanded(bool value)
{
    if (value == Checked()) return;
    if (value && IsClassOrAncestorNamed(ParentGrid(this), "TkqDBGrid"))
        if (auto* grid = qobject_cast<TkqDBGrid*>(ParentGrid(this))) grid->PlaceCurrentCellControl();
    Toggle();
}

void TkqExpandButton::Toggle()
{
    if (FToggling) return;
    const bool was = Checked();
    FToggling = true;
    auto* host = qobject_cast<TkqCustomDBGrid*>(ParentGrid(this));
    const bool skipWas = host ? host->SkipDataChange() : false;
    if (host && IsClassOrAncestorNamed(host, "TkqDBGrid")) host->SetSkipDataChange(true);
    auto done = qScopeGuard([&] {
        FToggling = false;
        if (host) host->SetSkipDataChange(skipWas);
    });
    try {
        if (was) DoBeforeCollapse();
        else DoBeforeExpand();
    } catch (const EAbort&) {
        return;
    }
    if (Checked() == was) {
        if (State() == cbUnchecked && host && host->RowHeightPercent() != host->MinRowHeightPercent()) {
            host->SetRowHeightPercent(host->MinRowHeightPercent());
            host->LayoutChanged();
            host->Update();
        }
        switch (State()) {
        case cbUnchecked: SetState(AllowGrayed() ? cbGrayed : cbChecked); break;
        case cbChecked: SetState(cbUnchecked); break;
        case cbGrayed: SetState(cbChecked); break;
        }
    }
    if (Checked()) DoAfterExpand();
    else DoAfterCollapse();
}

void TkqExpandButton::DoBeforeExpand() { if (OnBeforeExpand) OnBeforeExpand(this); }
void TkqExpandButton::DoBeforeCollapse() { if (OnBeforeCollapse) OnBeforeCollapse(this); }
void TkqExpandButton::DoAfterExpand() { if (OnAfterExpand) OnAfterExpand(this); }
void TkqExpandButton::DoAfterCollapse() { if (OnAfterCollapse) OnAfterCollapse(this); }

void TkqExpandButton::Click()
{
    if (FClickBusy || !FGrid) return;
    TkqDBCustomCheckBox::Click();
    if (!GridOf(this) || !FGrid) return;
    Place();
}

void TkqExpandButton::Place()
{
    TCustomGrid* p = GridOf(this);
    FClickBusy = true;
    auto done = qScopeGuard([this] {
        FClickBusy = false;
        DesiredRow = -1;
    });
    if (Checked()) Expand(p);
    else Collapse(p);
}

void TkqExpandButton::ScrollTo(TCustomGrid* p, int row)
{
    const int left = x();
    if (FGrid && !IsClassOrAncestorNamed(FGrid, "TkqDBGrid")) FGrid->repaint();
    p->BeginRedrawLock();
    if (row >= 0 && row < p->RowCount()) p->SetRow(row);
    if (p->LeftCol() < p->FixedCols()) p->SetLeftCol(p->FixedCols());
    p->EndRedrawLock(false);
    p->InvalidateGrid();
    move(left, y());
}

void TkqExpandButton::Expand(TCustomGrid* p)
{
    auto* db = qobject_cast<TkqCustomDBGrid*>(p);
    auto* detail = qobject_cast<TkqCustomDBGrid*>(FGrid.data());
    const int h = p->DefaultRowHeight();
    const int origDesiredRow = DesiredRow;
    bool placed = false;
    bool flat = true;
    for (TkqExpandButton* child : FGrid->findChildren<TkqExpandButton*>())
        if (child != this) flat = false;

    FSavedParentHeight = 0;
    if (FDetailHeight == 0) FDetailHeight = FGrid->height();
    FGrid->setParent(p->viewport());
    if (detail && FAutoShrink) {
        FGrid->resize(FGrid->width(), FDetailHeight);
        detail->UpdateRowCount();
        const TRect last = detail->GetCellRectDefaultHeight(0, std::max(detail->RowCount() - 1, 0));
        int needed = last.Top + detail->DefaultRowHeight() + 2;
        if (detail->horizontalScrollBar()->isVisible()) needed += detail->horizontalScrollBar()->height();
        needed += detail->FooterTotalHeight() + 2 * detail->frameWidth();
        if (needed < FGrid->height()) FGrid->resize(FGrid->width(), needed);
    }
    const TRect r = db ? db->GetCellRectDefaultHeight(0, p->Row()) : p->CellRect(0, p->Row());
    const int overflow = (flat ? FGrid->height() : FDetailHeight) - 1 - (p->ClientHeight() - r.Bottom);
    const bool rowLines = db ? db->HasRowLines() : true;
    int shift = 0;
    if (overflow >= 1) shift = rowLines ? overflow / (h + 1) + 1 : overflow / h + 1;
    if (db && db->Options().Contains(dgTitles) && FAutoShrink && !flat) {
        const int fit = (p->ClientHeight() - FDetailHeight - height() - 1 - (p->RowHeights(0) + 2)) / std::max(h, 1) + 1;
        DesiredRow = DesiredRow == -1 ? std::min(fit, p->Row() - shift) : std::min(DesiredRow, fit);
    }
    if (DesiredRow >= 0 && shift > 0) DesiredRow = std::min(DesiredRow, p->Row() - shift);
    if (DesiredRow < 0) {
        const int dataRow = p->Row() - (db ? db->TitleOffset() : 0);
        shift = std::min(shift, dataRow);
    } else if (db && db->DataSet()) {
        shift = 0;
        TDataLink* link = db->DataLink();
        TDataSet* ds = db->DataSet();
        const int k = link->BufferCount() - DesiredRow;
        if (k != 0) {
            const int a = link->ActiveRecord();
            const int moved = ds->MoveBy(k);
            if (moved < k) {
                ds->MoveBy(-moved);
                shift = (link->ActiveRecord() + 1) - DesiredRow;
                if (shift < 0) {
                    const QString cr(QLatin1Char('\r'));
                    throw EkqExpandError(QStringLiteral("Shift Amount: %1").arg(shift) + cr +
                                         QStringLiteral("True Scroll Amount: %1").arg(moved) + cr +
                                         QStringLiteral("OrigActiveRecord: %1").arg(a) + cr +
                                         QStringLiteral("DesiredRow: %1").arg(DesiredRow) + cr +
                                         QStringLiteral("OrigDesiredRow: %1").arg(origDesiredRow) + cr);
                }
            } else {
                ds->MoveBy(-moved);
            }
        }
        ScrollTo(p, DesiredRow);
        FExpandedRow = DesiredRow;
        const TRect cell = db->GetCellRectDefaultHeight(p->Col(), p->Row());
        move(x(), cell.Top);
        show();
        placed = true;
    }
    if (!placed) move(x(), y() - shift * (rowLines ? h + 1 : h));
    if (IsClassOrAncestorNamed(FGrid, "TkqDBGrid")) SetCtl3D(FGrid, false);
    FGrid->setParent(parentWidget());
    FGrid->move(x() + 11 + FGridIndents->X, y() + height() + FGridIndents->Y);
    FGrid->show();
    FGrid->raise();
    FGrid->setFocus(Qt::OtherFocusReason);

    // A second level: the outer grid's row grows with this one.
    if (auto* outer = qobject_cast<TkqDBGrid*>(ParentGrid(p))) {
        if (auto* outerButton = qobject_cast<TkqExpandButton*>(outer->CurrentCellControl()); outerButton && outerButton->AutoShrink()) {
            const int newHeight = std::min(outerButton->DetailHeight(), p->height() + FGrid->height());
            FSavedParentHeight = p->height();
            FSavedOuterRowHeight = outer->RowHeights(outer->Row());
            p->resize(p->width(), newHeight);
            outer->SetRowHeights(outer->Row(), newHeight + outer->DefaultRowHeight() - 1);
        }
    }
    if (db) db->SetRowOffset(shift);
    if (!placed && db) FExpandedRow = db->DataLink()->ActiveRecord() + db->TitleOffset() - db->RowOffset();
    if (FExpandedRow >= 0 && FExpandedRow < p->RowCount())
        p->SetRowHeights(FExpandedRow, p->RowHeights(FExpandedRow) + FGrid->height() - 1);
    ScrollTo(p, FExpandedRow);
}

void TkqExpandButton::Collapse(TCustomGrid* p)
{
    auto* db = qobject_cast<TkqCustomDBGrid*>(p);
    for (TkqExpandButton* child : FGrid->findChildren<TkqExpandButton*>())
        if (child != this && child->Checked()) child->SetExpanded(false);
    FGrid->hide();
    if (p->CanFocus()) p->setFocus(Qt::OtherFocusReason);
    if (FExpandedRow < p->RowCount()) p->SetRowHeights(FExpandedRow, p->DefaultRowHeight());
    if (db) {
        ScrollTo(p, db->DataLink()->ActiveRecord() + db->TitleOffset());
        db->SetRowOffset(0);
    }
    if (auto* outer = qobject_cast<TCustomGrid*>(ParentGrid(p))) {
        outer->viewport()->update(p->geometry());
        if (FSavedParentHeight != 0) {
            p->resize(p->width(), FSavedParentHeight);
            outer->SetRowHeights(outer->Row(), FSavedOuterRowHeight);
        }
    }
    FSavedParentHeight = 0;
}

bool TkqExpandButton::event(QEvent* event)
{
    if (event->type() == ExpandEventType()) {
        SetExpanded(true);
        return true;
    }
    return TkqDBCustomCheckBox::event(event);
}

void TkqExpandButton::focusOutEvent(QFocusEvent* event)
{
    if (QWidget* grid = ParentGrid(this)) {
        // Inside a grid only the picture changes.
        grid->update();
        update();
        return;
    }
    TkqDBCustomCheckBox::focusOutEvent(event);
}

void TkqExpandButton::paintEvent(QPaintEvent* event)
{
    TkqDBCustomCheckBox::paintEvent(event);
}
