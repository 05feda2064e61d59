// What the data grid does outside its cells and while the mouse moves over it: the footer's
// geometry and settings, the cell hint that shows a text too long for its cell, the hand
// cursor and hot look of link cells, and the mouse wheel.

#include "gridlib/grid/Kqdbigrd.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScopeGuard>
#include <QScreen>
#include <QWheelEvent>

int TkqCustomDBGrid::HintHidePause = 2500;

// =============================================================================================
// Footer

void TkqCustomDBGrid::SetFooterColor(TColor color)
{
    if (color == FFooterColor) return;
    FFooterColor = color;
    LayoutChanged();
}

void TkqCustomDBGrid::SetFooterCellColor(TColor color)
{
    if (color == FFooterCellColor) return;
    FFooterCellColor = color;
    LayoutChanged();
}

void TkqCustomDBGrid::SetFooterHeight(int height)
{
    height = std::max(height, 0);
    if (height == FFooterHeight) return;
    FFooterHeight = height;
    LayoutChanged();
}

TRect TkqCustomDBGrid::GetClientRect() const
{
    TRect r = TCustomGrid::GetClientRect();
    if (!FOptions.Contains(dgShowFooter)) return r;
    const int th = QFontMetrics(font()).height();
    r.Bottom -= FFooterHeight > 0 ? FFooterHeight : th + 6;
    if (FOptions.Contains(dgFooter3DCells)) r.Bottom -= 2;
    r.Bottom = std::max(r.Bottom, r.Top);
    return r;
}

TRect TkqCustomDBGrid::GetFooterRect() const
{
    const TRect client = GetClientRect();
    const int top = FOptions.Contains(dgShowFooter) ? client.Bottom : client.Height() + 3;
    int bottom = FFooterHeight > 0 ? top + FFooterHeight - 1 : top + QFontMetrics(font()).height() + 6;
    if (FOptions.Contains(dgFooter3DCells)) bottom += 2;
    return {0, top, client.Width(), bottom};
}

int TkqCustomDBGrid::FooterTotalHeight() const
{
    if (!FOptions.Contains(dgShowFooter)) return 0;
    int h = FFooterHeight > 0 ? FFooterHeight + 1 : QFontMetrics(font()).height() + 8;
    if (FOptions.Contains(dgFooter3DCells)) h += 2;
    return h;
}

// =============================================================================================
// Mouse tracking: link cells, then hints

void TkqCustomDBGrid::TrackURLCell(int x, int y)
{
    const TGridCoord cell = MouseCoord(x, y);
    const bool link = cell.Y >= FTitleOffset && cell.X >= FIndicatorOffset && IsDataCell(cell.X, cell.Y) &&
                      ColInfo(cell.X).ControlKind == QLatin1String("URL-Link");
    if (link) {
        if (FHotURLCell == cell) return;
        viewport()->setCursor(Qt::PointingHandCursor);
        FURLHot = true;
        if (FHotURLCell.Y > 0) InvalidateCell(FHotURLCell.X, FHotURLCell.Y);
        FHotURLCell = cell;
        InvalidateCell(cell.X, cell.Y);
        return;
    }
    if (FURLHot && viewport()->cursor().shape() == Qt::PointingHandCursor) {
        viewport()->unsetCursor();
        FURLHot = false;
        if (FHotURLCell.Y > 0) InvalidateCell(FHotURLCell.X, FHotURLCell.Y);
        FHotURLCell = {-1, -1};
    }
}

void TkqCustomDBGrid::leaveEvent(QEvent* event)
{
    if (FURLHot || FHotURLCell.X >= 0) {
        viewport()->unsetCursor();
        FURLHot = false;
        if (FHotURLCell.Y >= FTitleOffset && FHotURLCell.Y > 0) InvalidateCell(FHotURLCell.X, FHotURLCell.Y);
        FHotURLCell = {-1, -1};
    }
    TCustomGrid::leaveEvent(event);
}

void TkqCustomDBGrid::ShowCellHint(int x, int y)
{
    if (!FOptions.Contains(dgShowCellHint) || !FDataLink->Active()) return;
    const TGridCoord p = MouseCoord(x, y);
    if (p == FLastHintCell) return;
    FLastHintCell = p;
    HideCellHint();
    FHintTimer.reset();
    if (p == TGridCoord{Col(), Row()}) {
        if (TInplaceEdit* editor = InplaceEditor(); editor && editor->isVisible()) return;
        if (QWidget* control = CurrentCellControl(); control && control->isVisible()) return;
    }
    if (p.Y < FTitleOffset || p.X < FIndicatorOffset || !IsDataCell(p.X, p.Y)) return;
    const int dataCol = DataColumn(p.X), dataRow = DataRow(p.Y);
    TField* field = GetColumnField(dataCol);
    if (!field) return;
    QString text;
    {
        const int saved = FDataLink->ActiveRecord();
        FDataLink->SetActiveRecord(FTopRecord + dataRow + FRowOffset);
        auto restore = qScopeGuard([&] { FDataLink->SetActiveRecord(saved); });
        FTextWasMapped = false;
        const bool textBlob = field->DataType() == ftMemo || field->DataType() == ftOraBlob;
        if (!field->IsBlob() || textBlob) GetCellText(dataCol, text);
    }
    if (text.isEmpty()) return;

    const TRect cell = CellRect(p.X, p.Y);
    TFont font = Font();
    TColor brush = FColor;
    DoCalcCellColors(field, TGridDrawState(), false, font, brush);
    int flags = Qt::TextExpandTabs;
    if (FOptions.Contains(dgWordWrap)) flags |= Qt::TextWordWrap;
    const QFontMetrics fm(font.Font);
    const QRect measured = fm.boundingRect(QRect(0, 0, std::max(cell.Width() - 4, 1), 100000), flags, text);
    if (measured.height() <= cell.Height() && measured.width() < cell.Width() - 1) return;

    TkqGridHintWindow* hint = CreateHintWindow(field);
    FHintWindow = hint;
    hint->setFont(font.Font);
    FHintTimer = std::make_unique<QTimer>();
    FHintTimer->setInterval(250);
    connect(FHintTimer.get(), &QTimer::timeout, this, [this] { HintTimerTick(); });
    FHintTimer->start();
    hint->SetAlignment(FTextWasMapped ? taLeftJustify : field->Alignment());
    bool wordWrap = true, doDefault = true;
    int maxHeight = cell.Height() - 2;
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    int maxWidth = screen ? screen->geometry().width() : 1024;
    const int originalMaxHeight = maxHeight;
    hint->SetCaption(text);
    DoCreateHintWindow(hint, field, cell, wordWrap, maxWidth, maxHeight, doDefault);
    hint->SetWordWrap(wordWrap);
    maxWidth = std::max(maxWidth, cell.Width() - 4);
    if (!doDefault) return;

    TRect r = cell;
    r.Bottom -= 2;
    int hintFlags = Qt::TextExpandTabs;
    if (wordWrap) hintFlags |= Qt::TextWordWrap;
    const QFontMetrics hfm(hint->font());
    QRect t = hfm.boundingRect(QRect(0, 0, maxWidth, std::max(maxHeight, 1)), hintFlags, text);
    const int w = t.width();
    int tRight = std::min(t.right() + 1, maxWidth);
    const int tBottom = std::min(t.bottom() + 1, maxHeight);
    if (maxHeight != originalMaxHeight) r.Bottom = std::max(r.Top + tBottom, r.Bottom);
    if (hint->Alignment() == taLeftJustify) {
        const int e = r.Left + tRight + 8;
        if (e <= maxWidth) {
            r.Right = e;
        } else if (maxWidth != 0) {
            const QPoint global = viewport()->mapToGlobal(QPoint(r.Left, 0));
            const int screenWidth = screen ? screen->geometry().right() + 1 : 1024;
            if (global.x() + e - r.Left > screenWidth) r.Left = r.Right - tRight - 8;
            else r.Right = r.Left + w + 8;
        }
    } else {
        r.Left = r.Right - tRight - 8;
    }
    const QPoint origin = viewport()->mapToGlobal(QPoint(r.Left, r.Top - 1));
    FLastHintRect = cell;
    hint->setGeometry(origin.x(), origin.y(), std::max(r.Width(), 1), std::max(r.Height(), 1));
    hint->show();
}

TkqGridHintWindow* TkqCustomDBGrid::CreateHintWindow(TField* field)
{
    auto* hint = new TkqGridHintWindow(this);
    hint->SetField(field);
    return hint;
}

void TkqCustomDBGrid::DoCreateHintWindow(TkqGridHintWindow* hint, TField* field, const TRect& rect, bool& wordWrap,
                                         int& maxWidth, int& maxHeight, bool& doDefault)
{
    const TRect copy = rect;
    if (OnCreateHintWindow) OnCreateHintWindow(this, hint, field, copy, wordWrap, maxWidth, maxHeight, doDefault);
}

void TkqCustomDBGrid::HintTimerTick()
{
    if (!FHintWindow) return;
    const QPoint mouse = viewport()->mapFromGlobal(QCursor::pos());
    const TRect grown = FLastHintRect.Inflated(1, 1);
    if (!grown.Contains(mouse.x(), mouse.y()) || !GetClientRect().Contains(mouse.x(), mouse.y())) {
        HideCellHint();
        FLastHintCell = {0, 0};
        return;
    }
    ++FHintTicks;
    if (FHintTicks > std::max(HintHidePause / 250, 16)) HideCellHint();
}

void TkqCustomDBGrid::HideCellHint()
{
    FHintTicks = 0;
    if (FHintWindow) delete FHintWindow.data();
    FHintWindow = nullptr;
    if (FHintTimer) FHintTimer->stop();
}

// =============================================================================================
// Wheel: one record per step, never a scroll of the view.

void TkqCustomDBGrid::wheelEvent(QWheelEvent* event)
{
    event->accept();
    TDataSet* ds = DataSet();
    if (!DataSource() || !ds || !FDataLink->Active()) return;
    const int steps = event->angleDelta().y() / 120;
    for (int i = 0; i < std::abs(steps); ++i) {
        if (steps < 0) ds->Next();
        else ds->Prior();
    }
}
