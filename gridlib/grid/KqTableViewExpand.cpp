#include "gridlib/grid/KqTableViewExpand.h"

#include "gridlib/grid/KqTableViewGrid.h"
#include "platform/vcl/Forms.h"

#include <QHeaderView>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>

TkqTableViewExpandButton::TkqTableViewExpandButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { update(); };
    connect(this, &QAbstractButton::clicked, this, [this] { TApplication::Guard([this] { Toggle(); }); });
}

void TkqTableViewExpandButton::SetGrid(TkqTableViewGrid* grid)
{
    if (grid == FGrid) return;
    if (FExpanded) ForceCollapse();
    FGrid = grid;
    FDetailHeight = 0;
    if (grid) grid->hide();
}

TkqTableViewGrid* TkqTableViewExpandButton::HostGrid() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* g = qobject_cast<TkqTableViewGrid*>(w)) return g;
    return nullptr;
}

int TkqTableViewExpandButton::Left() const
{
    TkqTableViewGrid* host = HostGrid();
    return host ? mapTo(host, QPoint(0, 0)).x() : x();
}

QSize TkqTableViewExpandButton::sizeHint() const { return QSize(16, 16); }

void TkqTableViewExpandButton::SetExpanded(bool value)
{
    if (value == FExpanded) return;
    Toggle();
}

void TkqTableViewExpandButton::Toggle()
{
    if (FToggling) return;
    const QScopedValueRollback toggling(FToggling, true);
    const bool was = FExpanded;
    try {
        if (was) {
            if (OnBeforeCollapse) OnBeforeCollapse(this);
        } else if (OnBeforeExpand) {
            OnBeforeExpand(this);
        }
    } catch (const EAbort&) {
        return;
    }
    FExpanded = !was;
    Place();
    update();
    if (FExpanded) {
        if (OnAfterExpand) OnAfterExpand(this);
    } else if (OnAfterCollapse) {
        OnAfterCollapse(this);
    }
}

int TkqTableViewExpandButton::DetailHeightFor() const
{
    int h = FDetailHeight;
    if (FAutoShrink && FGrid) {
        // Titles, the rows and the frame, but never more than the grid's first height.
        const int rows = FGrid->DataSet() && FGrid->DataSet()->Active() ? FGrid->DataSet()->RecordCount() : 0;
        const int titles = !FGrid->horizontalHeader()->isHidden() ? FGrid->horizontalHeader()->height() : 0;
        int needed = titles + qMax(1, rows) * FGrid->DefaultRowHeight() + 2 * FGrid->frameWidth() + 2;
        // A horizontal scroll bar comes with columns wider than the grid.
        int columns = !FGrid->verticalHeader()->isHidden() ? FGrid->verticalHeader()->width() : 0;
        for (int c = 0; c < FGrid->model()->columnCount(); ++c) columns += FGrid->columnWidth(c);
        if (columns > FGrid->width() - 2 * FGrid->frameWidth() &&
            FGrid->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
            needed += FGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        h = qMin(h, needed);
    }
    return qMax(h, 20);
}

void TkqTableViewExpandButton::Place()
{
    TkqTableViewGrid* host = HostGrid();
    if (!FGrid || !host) return;
    if (FExpanded) {
        if (FDetailHeight == 0) FDetailHeight = FGrid->height();
        if (FGrid->parentWidget() != host->viewport()) FGrid->setParent(host->viewport());
        const int h = DetailHeightFor();
        FGrid->setFixedHeight(h);
        host->SetExpandedRowHeight(host->CursorRow(), h);
        const QModelIndex cur = host->currentIndex();
        if (cur.isValid()) host->scrollTo(cur);
        QRect r = host->visualRect(cur);
        r.setHeight(host->DefaultRowHeight());
        PlaceDetail(r);
        FGrid->show();
        FGrid->raise();
        raise();
    } else {
        FGrid->hide();
        host->SetExpandedRowHeight(-1, 0);
    }
}

void TkqTableViewExpandButton::PlaceDetail(const QRect& buttonRect)
{
    if (!FGrid || !FExpanded) return;
    FGrid->move(buttonRect.left(), buttonRect.bottom() + 1);
    FGrid->raise();
}

void TkqTableViewExpandButton::ForceCollapse()
{
    if (!FExpanded) return;
    FExpanded = false;
    if (FGrid) FGrid->hide();
    if (TkqTableViewGrid* host = HostGrid()) host->SetExpandedRowHeight(-1, 0);
    update();
}

void TkqTableViewExpandButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const TkqTableViewGrid* host = HostGrid();
    p.fillRect(rect(), host ? ColorToQColor(host->Color()) : palette().color(QPalette::Base));
    const int side = qMin(11, qMin(width(), height()) - 2);
    const QRect box(2, (height() - side) / 2, side, side);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    const QPoint c = box.center();
    p.drawLine(c.x() - side / 2 + 2, c.y(), c.x() + side / 2 - 2, c.y());
    if (!FExpanded) p.drawLine(c.x(), c.y() - side / 2 + 2, c.x(), c.y() + side / 2 - 2);
}
