// The data grid's painting: the paint sequence into the grid's bitmap, title, indicator and
// data cells, control-type cells (check boxes, bitmaps, image indexes, links), backgrounds,
// the pad area and the grid lines in their three styles.

#include "gridlib/grid/Kqdbigrd.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/Kqstr.h"
#include "gridlib/core/kqdbservices.h"
#include "platform/vcl/Edges.h"

#include <QFontMetrics>
#include <QIODevice>
#include <QPainter>
#include <QScopeGuard>
#include <cmath>

namespace {

// ---- Shared indicator images: built by the first grid, freed with the last.

struct TIndicatorImages {
    TImageList Glyphs{6, 11};
    TImageList DropMarkers{13, 14};
};
int IndicatorImagesRefs = 0;
TIndicatorImages* IndicatorImages = nullptr;

// Glyphs are drawn black on white; white is their mask colour.
TBitmap GlyphBitmap(int w, int h, const std::function<void(TBitmap&)>& draw)
{
    TBitmap b(w, h);
    b.Fill(clWhite);
    draw(b);
    return b;
}

void Plot(TBitmap& b, int x, int y)
{
    if (x >= 0 && y >= 0 && x < b.Width() && y < b.Height()) b.SetPixel(x, y, clBlack);
}

void BuildIndicatorImages(TIndicatorImages& images)
{
    // Current record: a solid triangle pointing right.
    const auto arrow = [](TBitmap& b) {
        for (int y = 1; y <= 9; ++y)
            for (int x = 0; x <= 4 - std::abs(y - 5); ++x) Plot(b, x, y);
    };
    images.Glyphs.AddMasked(GlyphBitmap(6, 11, arrow), clWhite);
    // Record being edited: a text cursor.
    images.Glyphs.AddMasked(GlyphBitmap(6, 11, [](TBitmap& b) {
                                for (int x = 0; x <= 4; ++x) {
                                    if (x == 2) continue;
                                    Plot(b, x, 1);
                                    Plot(b, x, 9);
                                }
                                for (int y = 2; y <= 8; ++y) Plot(b, 2, y);
                            }),
                            clWhite);
    // Record being inserted: an asterisk.
    images.Glyphs.AddMasked(GlyphBitmap(6, 11, [](TBitmap& b) {
                                for (int i = 0; i <= 4; ++i) {
                                    Plot(b, i, 5);
                                    Plot(b, 2, 3 + i);
                                }
                                for (int i = 0; i <= 2; ++i) {
                                    Plot(b, 1 + i, 4 + i);
                                    Plot(b, 3 - i, 4 + i);
                                }
                            }),
                            clWhite);
    // Multi-selected record: a dot.
    const auto dot = [](TBitmap& b) {
        for (int y = 4; y <= 6; ++y)
            for (int x = 1; x <= 3; ++x) Plot(b, x, y);
    };
    images.Glyphs.AddMasked(GlyphBitmap(6, 11, dot), clWhite);
    // Current record that is multi-selected: the triangle's outline around the dot.
    images.Glyphs.AddMasked(GlyphBitmap(6, 11, [](TBitmap& b) {
                                for (int y = 1; y <= 9; ++y) {
                                    const int end = 4 - std::abs(y - 5);
                                    Plot(b, 0, y);
                                    Plot(b, end, y);
                                }
                                Plot(b, 1, 5);
                                Plot(b, 2, 5);
                            }),
                            clWhite);
    // Drop markers of a column drag: arrows pointing right and left.
    const auto marker = [](bool right) {
        return GlyphBitmap(13, 14, [right](TBitmap& b) {
            for (int y = 4; y <= 9; ++y)
                for (int x = 0; x <= 5; ++x) Plot(b, right ? x : 12 - x, y);
            for (int y = 0; y <= 13; ++y) {
                const int len = 6 - std::abs(2 * y - 13) / 2;
                for (int x = 0; x <= len; ++x) Plot(b, right ? 6 + x : 6 - x, y);
            }
        });
    };
    images.DropMarkers.AddMasked(marker(true), clWhite);
    images.DropMarkers.AddMasked(marker(false), clWhite);
}

// A glyph with its black pixels in the given colour (white stays out).
QImage RecolouredGlyph(int index, TColor color)
{
    static QImage cache[5];
    static TColor cachedColor[5] = {clNone, clNone, clNone, clNone, clNone};
    if (cachedColor[index] != color || cache[index].isNull()) {
        QImage image = IndicatorImages->Glyphs.Image(index).convertToFormat(QImage::Format_ARGB32);
        const QRgb rgb = ColorToQColor(color).rgb();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(line[x]) != 0) line[x] = qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), 255);
        }
        cache[index] = image;
        cachedColor[index] = color;
    }
    return cache[index];
}

// Copies the part of a picture under a rectangle onto the canvas (the picture covers the grid).
void CopyFromPicture(TCanvas& canvas, const TRect& rect, const QImage& picture)
{
    if (rect.IsEmpty() || picture.isNull()) return;
    canvas.Painter().drawImage(rect.ToQRect(), picture, rect.ToQRect());
}

TRect Grown(const TRect& r, int left, int top, int right, int bottom)
{
    return {r.Left - left, r.Top - top, r.Right + right, r.Bottom + bottom};
}

// Raster operations of "Bitmap" cells by their parameter names.
QPainter::CompositionMode CopyModeOf(const QString& name)
{
    if (name == QLatin1String("Source Paint")) return QPainter::RasterOp_SourceOrDestination;
    if (name == QLatin1String("Source And")) return QPainter::RasterOp_SourceAndDestination;
    if (name == QLatin1String("Source Invert")) return QPainter::RasterOp_SourceXorDestination;
    if (name == QLatin1String("Source Erase")) return QPainter::RasterOp_SourceAndNotDestination;
    if (name == QLatin1String("Not Source Copy")) return QPainter::RasterOp_NotSource;
    if (name == QLatin1String("Not Source Erase")) return QPainter::RasterOp_NotSourceAndNotDestination;
    if (name == QLatin1String("Merge Paint")) return QPainter::RasterOp_NotSourceOrDestination;
    return QPainter::CompositionMode_Source;
}

QString ParamItem(const QString& params, int index)
{
    const QStringList items = params.split(QLatin1Char(';'));
    return index < items.size() ? items.at(index) : QString();
}

// Round as the platform does: halves to the even neighbour.
int RoundHalfEven(double value) { return int(std::nearbyint(value)); }

} // namespace

void AcquireIndicatorImages()
{
    if (IndicatorImagesRefs++ == 0) {
        IndicatorImages = new TIndicatorImages;
        BuildIndicatorImages(*IndicatorImages);
    }
}

void ReleaseIndicatorImages()
{
    if (IndicatorImagesRefs == 0) return;
    if (--IndicatorImagesRefs == 0) {
        delete IndicatorImages;
        IndicatorImages = nullptr;
    }
}

const TImageList* IndicatorGlyphs() { return IndicatorImages ? &IndicatorImages->Glyphs : nullptr; }
const TImageList* DropMarkerImages() { return IndicatorImages ? &IndicatorImages->DropMarkers : nullptr; }

// =============================================================================================
// Text

void TkqCustomDBGrid::DrawCellTextRect(TCanvas& canvas, const TRect& rect, int dx, unsigned options,
                                       TAlignment alignment, const QString& text, int dy)
{
    const int align = alignment == taRightJustify ? 1 : alignment == taCenter ? 2 : 0;
    // Centred text starts 2 pixels in from a margin of 3 on (the routine below counts from 4).
    const int margin = align == 2 && dx == 3 ? 4 : dx;
    QString shown = text;
    unsigned opts = 0;
    if (options & 1) opts |= datPrefix;
    if (options & 4) opts |= datWordBreak;
    if (options & 16) opts |= datNoFill;
    if (options & 2) {
        if (shown.contains(QLatin1Char('\n')) && !(options & 4)) {
            // Each line of a multi-line title is shortened on its own.
            const QFontMetrics fm(canvas.Font.Font);
            const int width = std::max(0, (align == 2 ? rect.Width() : rect.Width() - dx) - (align == 1 ? 2 : 0));
            QStringList lines = shown.split(QLatin1Char('\n'));
            for (QString& line : lines) line = fm.elidedText(line, Qt::ElideRight, width);
            shown = lines.join(QLatin1Char('\n'));
        } else {
            opts |= datEllipsis;
        }
    }
    canvas.Brush.Style = bsSolid;
    DrawAlignedText(canvas, rect, margin, opts, align, shown, dy);
}

// =============================================================================================
// Paint sequence

void TkqCustomDBGrid::Paint()
{
    TCanvas& window = *Canvas();
    UpdateRowSelectionFlags();
    const bool footer = FOptions.Contains(dgShowFooter);
    FPaintBitmap.SetSize(footer ? viewport()->width() : ClientWidth(), footer ? viewport()->height() : ClientHeight());
    if (FPaintOptions->InitBlendBitmapsFlag()) FPaintOptions->PrepareBackground(false);
    const TRect update = UpdateRect().Intersected({0, 0, FPaintBitmap.Width(), FPaintBitmap.Height()});
    {
        TCanvas canvas(FPaintBitmap);
        canvas.Font = Font();
        FCanvas = &canvas;
        auto restore = qScopeGuard([&] {
            FCanvas = &window;
            FPainting = false;
        });
        FPainting = true;
        CalcDrawInfo(FPaintInfo);
        const TGridDrawInfo& info = FPaintInfo;

        canvas.Brush.Color = FColor;
        if (FPaintOptions->FillsDataCells()) PaintDataCellBackground(update, -1, clNone);
        else canvas.FillRect(update);
        if (!FDataLink->Active()) {
            PaintFixedCellBackground({0, 0, ClientWidth(), ClientHeight()}, -1, FTitleColor);
            const TRect first = CellRect(LeftCol(), FTitleOffset);
            canvas.Brush.Color = FColor;
            canvas.FillRect({first.Left, first.Top, ClientWidth(), ClientHeight()});
        }
        if (OnBeforePaint) OnBeforePaint(this);

        DrawCells(0, 0, 0, 0, info.Horz.FixedBoundary, info.Vert.FixedBoundary, {gdFixed}, info);
        DrawCells(LeftCol(), 0, info.Horz.FixedBoundary, 0, info.Horz.GridBoundary, info.Vert.FixedBoundary, {gdFixed}, info);
        if (FDataLink->Active()) {
            DrawCells(0, TopRow(), 0, info.Vert.FixedBoundary, info.Horz.FixedBoundary, info.Vert.GridBoundary,
                      {gdFixed}, info);
            DrawCells(LeftCol(), TopRow(), info.Horz.FixedBoundary, info.Vert.FixedBoundary, info.Horz.GridBoundary,
                      info.Vert.GridBoundary, {}, info);
        }
        PaintPadColumn(info);
        DrawGridLines();
        DrawFocusFrame(info);
        if (footer) PaintFooter();
    }
    window.Painter().drawImage(update.ToQRect(), FPaintBitmap.Image(), update.ToQRect());
    if (FDragging) PaintDragOverlay(window);
}

void TkqCustomDBGrid::DrawCellOfArea(int col, int row, const TRect& rect, TGridDrawState state)
{
    if (row == 0 && FOptions.Contains(dgTitles)) {
        const TRect title = GetTitleCellRect(col, row);
        if (!GetColumn(DataColumn(col))->GroupHeaderName().isEmpty()) {
            int first = col, last = col;
            DrawCell(col, 0, GetGroupHeaderRect(col, 0, false, first, last), state);
        }
        DrawCell(col, row, title.IsEmpty() ? rect : title, state);
        return;
    }
    DrawCell(col, row, rect, state);
}

void TkqCustomDBGrid::DrawFocusFrame(const TGridDrawInfo& info)
{
    QWidget* control = CurrentCellControl();
    if (!IsActiveControl() || !FDataLink->Active() || (control && control->isVisible()) || !hasFocus() ||
        FOptions.Contains(dgAlwaysShowEditor) || FOptions.Contains(dgRowSelect))
        return;
    const int col = Col();
    const bool scrolled = col >= LeftCol() && col <= info.Horz.LastFullVisibleCell;
    const bool fixedData = FOptions.Contains(dgFixedEditable) && col < LeftCol() && col >= FIndicatorOffset;
    if (scrolled || fixedData) DrawCellFocusFrame(*Canvas(), GetCellRectDefaultHeight(col, Row()));
}

// =============================================================================================
// Footer: one sunken cell per column that has a text, on the footer colour.

void TkqCustomDBGrid::PaintFooter()
{
    TCanvas& c = *Canvas();
    TRect f = GetFooterRect();
    if (FPadColumnStyle == pcsPlain) {
        int right = f.Left;
        for (int col = LeftCol(); col < ColCount(); ++col) {
            const TRect r = GetCellRectDefaultHeight(col, 0);
            if (r.Width() <= 0) break;
            right = r.Right;
        }
        f.Right = right;
    }
    PaintFixedCellBackground(f, -1, FFooterColor);
    const TColor pen = c.Pen.Color;
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        c.Pen.Color = color;
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
    };
    line(clBtnHighlight, f.Left, f.Top - 1, f.Left, f.Bottom);
    if (FPadColumnStyle == pcsPlain || (FPadColumnStyle == pcsPadHeader && frameShape() != QFrame::NoFrame)) {
        c.Pen.Color = clBlack;
        c.MoveTo(f.Left, f.Top - 1);
        c.LineTo(f.Right, f.Top - 1);
        c.LineTo(f.Right, f.Bottom + 1);
        line(clBtnHighlight, f.Left, f.Top, f.Right, f.Top);
        line(clBtnHighlight, f.Left, f.Top, f.Left, f.Bottom);
        line(clBlack, f.Left, f.Bottom - 1, f.Right, f.Bottom - 1);
    }
    line(clBlack, f.Left, f.Bottom, f.Right, f.Bottom);
    c.Pen.Color = pen;
    if (!FDataLink->Active()) return;
    for (int col = FIndicatorOffset; col < TCustomGrid::FixedCols(); ++col) PaintFooterCell(col, f);
    for (int col = LeftCol(); col < ColCount(); ++col) PaintFooterCell(col, f);
}

void TkqCustomDBGrid::PaintFooterCell(int col, const TRect& f)
{
    TCanvas& c = *Canvas();
    TRect r = GetCellRectDefaultHeight(col, 0);
    if (r.Width() <= 0) return;
    const int dataCol = DataColumn(col);
    TkqColumn* column = GetColumn(dataCol);
    const QString text = column->FooterText();
    bool defaultDrawing = true;
    c.Brush.Color = FFooterCellColor;
    c.Brush.Style = bsSolid;
    c.Font = Font();
    r.Top = f.Top + 2;
    r.Bottom = f.Bottom - 2;
    TField* field = GetColumnField(dataCol);
    if (OnDrawFooterCell) {
        const TRect copy = r;
        OnDrawFooterCell(this, c, copy, field, text, defaultDrawing);
    }
    if (!defaultDrawing || text.isEmpty()) return;
    PaintFixedCellBackground(r, -1, clNone);
    r.Top = f.Top + 1;
    r.Bottom = f.Bottom - 1;
    r.Left -= 1;
    if (col == ColCount() - 1 && FPadColumnStyle != pcsPlain && r.Right < ClientWidth()) r.Right += 1;
    const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
    const TColor pen = c.Pen.Color;
    auto poly = [&](TColor color, std::initializer_list<QPoint> points) {
        c.Pen.Color = color;
        c.Polyline(points);
    };
    poly(clBtnShadow, {{L + 1, B - 2}, {L + 1, T + 1}, {R - 1, T + 1}});
    if (FOptions.Contains(dgFooter3DCells)) {
        poly(clBlack, {{L + 2, B - 2}, {L + 2, T + 2}, {R - 1, T + 2}});
        poly(clBtnHighlight, {{L + 2, B - 2}, {R - 1, B - 2}, {R - 1, T + 1}});
        poly(clBtnFace, {{L + 3, B - 3}, {R - 2, B - 3}, {R - 2, T + 1}});
    } else {
        poly(clBtnHighlight, {{L + 2, B - 2}, {R - 1, B - 2}, {R - 1, T + 1}});
    }
    c.Pen.Color = pen;
    TRect t = r;
    t.Top += (t.Height() - c.TextHeight(QStringLiteral("A"))) / 2;
    t.Left += 5;
    t.Right = t.Left + ColWidths(col) - 7;
    const TAlignment alignment = field ? field->Alignment() : taLeftJustify;
    unsigned flags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
    if (alignment == taRightJustify) flags |= DT_RIGHT;
    else if (alignment == taCenter) flags |= DT_CENTER;
    c.Brush.Style = bsClear;
    c.DrawText(text, t, flags);
    c.Brush.Style = bsSolid;
}

// =============================================================================================
// Cells

void TkqCustomDBGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state)
{
    if (FPainting) FCellInfo = FPaintInfo;
    else CalcDrawInfo(FCellInfo);
    const TGridDrawInfo& info = FCellInfo;
    const int dataRow = DataRow(row);
    const int dataCol = DataColumn(col);
    if (row > info.Vert.LastFullVisibleCell) return;
    if (IsDataSetActive() && FDataLink->RecordCount() > 0 && dataRow >= FDataLink->RecordCount() - FRowOffset) return;
    FDrawFocusFrame = false;
    FSkipLine = false;
    TRect cellRect = rect;
    cellRect.Right = std::min(cellRect.Right, 2 * width());
    TCanvas& c = *Canvas();
    const bool fixed = state.Contains(gdFixed);
    c.Font = fixed ? FTitleFont : Font();
    c.Brush.Color = fixed ? FTitleColor : FColor;
    c.Brush.Style = bsSolid;
    if (DrawControlTypeCell(col, row, dataCol, dataRow, cellRect, state)) return;
    if (dataRow < 0) DrawTitleCell(col, dataCol, cellRect, state);
    else if (dataCol < 0) DrawIndicatorCell(dataRow, cellRect);
    else if (FDataLink->Active()) DrawDataCell(col, row, dataCol, dataRow, cellRect, state);
}

void TkqCustomDBGrid::DrawTitleCell(int col, int dataCol, const TRect& cellRect, TGridDrawState state)
{
    Q_UNUSED(state);
    TCanvas& c = *Canvas();
    if (dataCol < 0 || (FUseTFields && dataCol >= GetFieldCount())) {
        PaintTitleBackground(cellRect);
        return;
    }
    TAlignment alignment = FTitleAlignment;
    if (dataCol == 0 && FOptions.Contains(dgIndicator) && FIndicatorButton && FIndicatorButton->isVisible())
        FIndicatorButton->update();
    TField* field = GetColumnField(dataCol);
    QString title = field ? field->DisplayLabel() : QString();
    QString name = field ? field->FieldName() : QString();
    if (!field && !FUseTFields && GetFieldCount() == 0 && dataCol < FSelected.size())
        name = SelectedPart(FSelected.at(dataCol), 0);
    if (!FUseTFields) {
        const int line = FindSelectedEntry(FSelected, name);
        if (line >= 0) title = SelectedPart(FSelected.at(line), 2);
    }
    TkqTitleImageAttributes image;
    const QString group = GetColumn(dataCol)->GroupHeaderName();
    const bool groupHeader = !group.isEmpty() && cellRect.Top == 0;
    if (groupHeader) {
        name = group;
        alignment = taCenter;
    }
    DoCalcTitleAttributes(name, c.Font, alignment, c.Brush.Color);

    TRect background = cellRect;
    const int fixedEdge = FCellInfo.Horz.FixedBoundary;
    if (!FPaintingDragImage && fixedEdge > background.Left && fixedEdge < background.Right) background.Left = fixedEdge;
    if (FChangedBrush) c.FillRect(background);
    else PaintTitleBackground(background);

    if (field) DoCalcTitleImage(field, image);
    int p = 0;
    if (FTitleButtons && !FPaintingDragImage && FTitlePress.Col >= 0) {
        const QString pressedGroup = GetColumn(DataColumn(FTitlePress.Col))->GroupHeaderName();
        if ((FTitlePress.Group && cellRect.Top == 0 && pressedGroup == group && !group.isEmpty()) ||
            (!FTitlePress.Group && FTitlePress.Col == col && (cellRect.Top > 0 || group.isEmpty())))
            p = 1;
    }
    TRect textRect = cellRect;
    if (image.ImageIndex >= 0 && FTitleImageList && FTitleImageList->ValidIndex(image.ImageIndex)) {
        const int iw = FTitleImageList->Width(), ih = FTitleImageList->Height();
        const int y = (cellRect.Top + cellRect.Bottom - ih) / 2 + p;
        int x;
        if (image.Placement == 0) {
            x = cellRect.Left + image.Margin + p;
            textRect.Left = std::min(cellRect.Left + iw + image.Margin, cellRect.Right);
        } else if (image.Placement == 1) {
            x = cellRect.Right - iw - image.Margin + p;
            textRect.Right = std::max(cellRect.Right - iw - image.Margin, cellRect.Left);
        } else {
            x = (cellRect.Left + cellRect.Right - iw) / 2 + p;
        }
        FTitleImageList->Draw(c, x, y, image.ImageIndex);
    }
    bool defaultDrawing = true;
    if (field) {
        if (cellRect.Top < 1 && !group.isEmpty()) DoDrawGroupHeaderCell(c, group, defaultDrawing, cellRect);
        else DoDrawTitleCell(c, field, defaultDrawing, cellRect);
    }
    if (!defaultDrawing || (image.ImageIndex >= 0 && image.Placement == 2)) return;
    QString text = title;
    if (!group.isEmpty() && cellRect.Top == 0 && !(FPaintingDragImage && FDragGroupMember)) text = group;
    const int lines = FTitleLines == 1 ? 1 : int(text.count(QLatin1Char('~'))) + 1;
    text.replace(QLatin1Char('~'), QLatin1Char('\n'));
    const int dy = RoundHalfEven(textRect.Height() / 2.0 - c.TextHeight(text) * lines * 0.5) + p;
    unsigned options = 2 | 16;
    if (!FUseTFields) options |= 1;
    const bool clip = textRect.Left < 0 && !FPaintingDragImage;
    if (clip) {
        c.Save();
        c.SetClipRect({fixedEdge, textRect.Top, textRect.Right, textRect.Bottom});
    }
    DrawCellTextRect(c, textRect, 2 + p, options, alignment, text, dy);
    if (clip) c.Restore();
}

void TkqCustomDBGrid::DrawIndicatorCell(int dataRow, const TRect& cellRect)
{
    TRect r(cellRect.Left - 1, cellRect.Top - 1, cellRect.Right, cellRect.Bottom + 1);
    if (FOptions.Contains(dgHideBottomDataLine)) --r.Bottom;
    PaintFixedCellBackground(r, -1, FTitleColor);
    if (!FDataLink->Active() || !IndicatorImages) return;
    int glyph = -1;
    TDataSet* ds = DataSet();
    const bool multi = FOptions.Contains(dgMultiSelect);
    if (!ds) {
        glyph = 0;
    } else if (FTopRecord + dataRow + FRowOffset == FDataLink->ActiveRecord()) {
        if (ds->State() == dsEdit) glyph = 1;
        else if (ds->State() == dsInsert) glyph = 2;
        else glyph = multi && IsRowSelected(dataRow) ? 4 : 0;
        FSelectedRow = dataRow + FTitleOffset;
    } else if (multi && IsRowSelected(dataRow)) {
        glyph = 3;
    }
    if (glyph < 0) return;
    const QImage image = RecolouredGlyph(glyph, FIndicatorIconColor);
    const int x = (cellRect.Right - image.width()) / 2 + 1;
    const int y = (2 * cellRect.Top + DefaultRowHeight() - image.height()) / 2;
    Canvas()->DrawImage(x, y, image);
}

void TkqCustomDBGrid::DrawDataCell(int col, int row, int dataCol, int dataRow, const TRect& cellRect, TGridDrawState state)
{
    TCanvas& c = *Canvas();
    const int saved = FDataLink->ActiveRecord();
    FDataLink->SetActiveRecord(FTopRecord + dataRow + FRowOffset);
    auto restore = qScopeGuard([&] { FDataLink->SetActiveRecord(saved); });
    FComputedDataCol = dataCol;
    FComputedDataRow = dataRow;
    FTextWasMapped = false;
    QString text;
    GetCellText(dataCol, text);
    const bool highlight = HighlightCell(dataCol, dataRow, state, text);
    TField* field = GetColumnField(dataCol);
    if (ColInfo(col).ControlKind == QLatin1String("URL-Link")) {
        c.Font.Font.setUnderline(true);
        c.Font.Color = FHotURLCell == TGridCoord{col, row} ? TColor(0x0000FF) : TColor(0xFF0000);
    }
    if (highlight) {
        const TColor active = FPaintOptions->ActiveRecordColor();
        c.Brush.Color = active != clNone ? active : clHighlight;
        if (!FOptions.Contains(dgRowSelect) && col == Col() && row == Row()) c.Brush.Color = clHighlight;
        c.Font.Color = clHighlightText;
    }
    CalcCellColorsOfCell(field, state, c, highlight);
    TAlignment alignment = field ? field->Alignment() : taLeftJustify;
    if (FTextWasMapped) alignment = taLeftJustify;
    if (dataCol < FixedCols() - FIndicatorOffset) {
        TRect r(cellRect.Left, cellRect.Top, cellRect.Right, cellRect.Bottom + 1);
        if (FOptions.Contains(dgHideBottomDataLine)) --r.Bottom;
        PaintFixedCellBackground(r, dataRow, clNone);
    } else if (FPaintOptions->FillsDataCells()) {
        PaintDataCellBackground(cellRect, dataRow, clNone);
    }
    if (FDBDefaultDrawing) DrawTextOfDataCell(cellRect, text, alignment, highlight || FChangedBrush);
    try {
        DoDrawDataCell(cellRect, field, state);
    } catch (...) {
        // A failing handler leaves the cell as drawn so far.
    }
    restore.dismiss();
    FDataLink->SetActiveRecord(saved);
    DrawCellLine(cellRect, col, state, row);
}

void TkqCustomDBGrid::DrawTextOfDataCell(const TRect& cellRect, const QString& text, TAlignment alignment, bool fill)
{
    TCanvas& c = *Canvas();
    unsigned options = fill ? 0 : 16;
    const int dy = HasRowLines() ? 2 : 1;
    if (FOptions.Contains(dgWordWrap)) {
        options |= 4;
        if (FOptions.Contains(dgTrailingEllipsis) &&
            FitsOneTextLine(c, cellRect, DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX))
            options |= 2;
    } else if (FOptions.Contains(dgTrailingEllipsis)) {
        options |= 2;
    }
    DrawCellTextRect(c, cellRect, 2, options, alignment, text, dy);
}

bool TkqCustomDBGrid::HighlightCell(int dataCol, int dataRow, TGridDrawState state, const QString& text)
{
    Q_UNUSED(dataCol);
    Q_UNUSED(text);
    bool h = state.Contains(gdSelected) ||
             (dataRow + FTitleOffset == Row() && FPaintOptions->ActiveRecordColor() != clNone);
    if (h && !FOptions.Contains(dgAlwaysShowSelection)) h = FGridFocused && !FocusInExpandedDetail();
    if (FOptions.Contains(dgMultiSelect) && !state.Contains(gdFixed)) return IsRowSelected(dataRow);
    return h;
}

bool TkqCustomDBGrid::CalcCellColorsOfCell(TField* field, TGridDrawState state, TCanvas& canvas, bool highlight)
{
    const TColor noted = canvas.Brush.Color;
    DoCalcCellColors(field, state, highlight, canvas.Font, canvas.Brush.Color);
    FWhiteBackground = ColorToRGB(canvas.Brush.Color) == 0xFFFFFF;
    FChangedBrush = canvas.Brush.Color != noted;
    return FChangedBrush;
}

void TkqCustomDBGrid::DoCalcTitleAttributes(const QString& name, TFont& font, TAlignment& alignment, TColor& brush)
{
    const TColor noted = brush;
    if (OnCalcTitleAttributes) OnCalcTitleAttributes(this, name, font, brush, alignment);
    FChangedBrush = brush != noted;
}

void TkqCustomDBGrid::DoCalcTitleImage(TField* field, TkqTitleImageAttributes& attributes)
{
    if (OnCalcTitleImage) OnCalcTitleImage(this, field, attributes);
}

void TkqCustomDBGrid::DoDrawTitleCell(TCanvas& canvas, TField* field, bool& defaultDrawing, const TRect& rect)
{
    const TRect copy = rect;
    if (OnDrawTitleCell) OnDrawTitleCell(this, canvas, field, copy, defaultDrawing);
}

void TkqCustomDBGrid::DoDrawGroupHeaderCell(TCanvas& canvas, const QString& name, bool& defaultDrawing, const TRect& rect)
{
    const TRect copy = rect;
    if (OnDrawGroupHeaderCell) OnDrawGroupHeaderCell(this, canvas, name, copy, defaultDrawing);
}

void TkqCustomDBGrid::DoDrawDataCell(const TRect& rect, TField* field, TGridDrawState state)
{
    if (OnDrawDataCell) OnDrawDataCell(this, rect, field, state);
}

// ---- Control-type cells

bool TkqCustomDBGrid::DrawControlTypeCell(int col, int row, int dataCol, int dataRow, TRect& cellRect, TGridDrawState state)
{
    if (!IsDataCell(col, row) || !GetColumnField(dataCol)) return false;
    TCanvas& c = *Canvas();
    if (dataCol < FixedCols() - FIndicatorOffset) {
        TRect r(cellRect.Left - 1, cellRect.Top, cellRect.Right, cellRect.Bottom);
        if (FOptions.Contains(dgRowLinesDisableFixed) && FOptions.Contains(dgRowLines)) --r.Top;
        PaintFixedCellBackground(r, dataRow, FTitleColor);
    } else {
        PaintDataCellBackground(cellRect, dataRow, clNone);
    }
    cellRect = GetCellRectDefaultHeight(col, row);
    const TkqCacheColInfoItem& info = ColInfo(col);
    const QString& kind = info.ControlKind;
    const bool bitmap = kind == QLatin1String("Bitmap");
    const bool imageIndex = kind == QLatin1String("ImageIndex");
    const bool checkBox = kind == QLatin1String("CheckBox");
    if (!bitmap && !imageIndex && !checkBox) {
        if (kind != QLatin1String("CustomEdit") && kind != QLatin1String("RichEdit")) return false;
        if (!DrawEmbeddedControlCell(col, dataCol, dataRow, cellRect, state)) return false;
        DrawCellLine(cellRect, col, state, row);
        return true;
    }

    const int saved = FDataLink->ActiveRecord();
    FDataLink->SetActiveRecord(FTopRecord + dataRow + FRowOffset);
    auto restore = qScopeGuard([&] { FDataLink->SetActiveRecord(saved); });
    TField* field = GetColumnField(dataCol);
    bool highlight = false;
    if (checkBox) {
        const QString checked = ParamItem(info.Params, 0);
        const QString unchecked = ParamItem(info.Params, 1);
        QString text;
        if (field->Calculated() && EqualIgnoringCase(field->FieldName(), QStringLiteral("selected")))
            text = IsCurrentRecordSelected() ? checked : unchecked;
        else
            GetCellText(dataCol, text);
        SetUpControlCellColors(field, dataCol, dataRow, state, text, cellRect, highlight);
        if (FChangedBrush) c.FillRect(cellRect);
        const TRect box = TRect::Bounds((cellRect.Left + cellRect.Right - 10) / 2, (cellRect.Top + cellRect.Bottom - 10) / 2, 10, 10);
        DrawCheckBox(box, col, EqualIgnoringCase(text, checked), row);
    } else if (imageIndex) {
        QString text;
        GetCellText(dataCol, text);
        SetUpControlCellColors(field, dataCol, dataRow, state, text, cellRect, highlight);
        if (FChangedBrush) c.FillRect(cellRect);
        DrawImageIndexCell(field, cellRect);
    } else {
        FComputedDataCol = dataCol;
        FComputedDataRow = dataRow;
        DrawBitmapCell(field, cellRect, state);
    }
    restore.dismiss();
    FDataLink->SetActiveRecord(saved);
    DrawCellLine(cellRect, col, state, row);
    Q_UNUSED(highlight);
    return true;
}

void TkqCustomDBGrid::SetUpControlCellColors(TField* field, int dataCol, int dataRow, TGridDrawState state,
                                              const QString& text, const TRect& cellRect, bool& highlight)
{
    TCanvas& c = *Canvas();
    const bool fixed = state.Contains(gdFixed);
    c.Brush.Color = fixed ? FTitleColor : FColor;
    FComputedDataCol = dataCol;
    FComputedDataRow = dataRow;
    highlight = HighlightCell(dataCol, dataRow, state, text);
    const TColor active = FPaintOptions->ActiveRecordColor();
    if (highlight) {
        c.Brush.Color = active != clNone ? active : clHighlight;
        if (!FOptions.Contains(dgRowSelect) && dataCol + FIndicatorOffset == Col() && dataRow + FTitleOffset == Row())
            c.Brush.Color = clHighlight;
        c.Font.Color = clHighlightText;
    }
    CalcCellColorsOfCell(field, state, c, highlight);
    if (highlight && (!FocusInExpandedDetail() || FOptions.Contains(dgRowSelect) || active != clNone)) c.FillRect(cellRect);
    if (highlight && IsActiveControl() && !FOptions.Contains(dgRowSelect)) FDrawFocusFrame = true;
}

void TkqCustomDBGrid::DrawBitmapCell(TField* field, const TRect& cellRect, TGridDrawState state)
{
    TCanvas& c = *Canvas();
    QImage picture;
    TDataSet* ds = DataSet();
    // Where the picture is stored: the field itself, or the result field of a lookup's record.
    // The record being inserted has nothing stored yet; calculated pictures come from the
    // table lookups of the table datasets, which are not here: they show no picture.
    TDataSet* source = nullptr;
    TField* stored = nullptr;
    try {
        if (field->Lookup()) {
            TDataSet* lookup = field->LookupDataSet();
            TField* key = ds ? ds->FindField(field->KeyFields().section(QLatin1Char(';'), 0, 0)) : nullptr;
            if (lookup && lookup->Active() && key &&
                MoveToFieldValue(lookup, key->AsString(), field->LookupKeyFields().section(QLatin1Char(';'), 0, 0), 0, false)) {
                source = lookup;
                stored = lookup->FindField(field->LookupResultField());
            }
        } else if (!field->Calculated() && ds && !(ds->State() == dsInsert && ds->GetBookmark().IsNull())) {
            source = ds;
            stored = field;
        }
        if (source && stored) {
            if (std::unique_ptr<QIODevice> stream = source->CreateBlobStream(stored, bmRead)) {
                QByteArray bytes = stream->readAll();
                if (bytes.size() > 7) {
                    const auto* d = reinterpret_cast<const uchar*>(bytes.constData());
                    const quint16 a = quint16(d[0] | d[1] << 8), b = quint16(d[2] | d[3] << 8);
                    const quint32 len = quint32(d[4] | d[5] << 8 | d[6] << 16 | quint32(d[7]) << 24);
                    if (a == 1 && b == 256 && len == quint32(bytes.size() - 8)) bytes.remove(0, 8);
                }
                picture.loadFromData(bytes, "BMP");
            }
        }
    } catch (...) {
        picture = QImage();
    }
    bool highlight = false;
    QString text;
    SetUpControlCellColors(field, FComputedDataCol, FComputedDataRow, state, text, cellRect, highlight);
    const int pw = picture.width(), ph = picture.height();
    if (pw >= 1 && ph >= 1) {
        const QString params = ColInfo(FComputedDataCol + FIndicatorOffset).Params;
        const QString sizeMode = ParamItem(params, 0);
        QPainter& painter = c.Painter();
        const QPainter::CompositionMode oldMode = painter.compositionMode();
        painter.setCompositionMode(CopyModeOf(ParamItem(params, 1)));
        const int w = cellRect.Width(), h = cellRect.Height();
        if (sizeMode == QLatin1String("Original Size")) {
            const int cw = std::min(pw, w - 1), ch = std::min(ph, h - 1);
            if (cw > 0 && ch > 0) painter.drawImage(QPoint(cellRect.Left + 1, cellRect.Top + 1), picture, QRect(0, 0, cw, ch));
        } else if (sizeMode == QLatin1String("Stretch To Fit")) {
            painter.drawImage(cellRect.ToQRect(), picture);
        } else if (sizeMode == QLatin1String("Fit Height") || sizeMode == QLatin1String("Fit Width")) {
            // Scaled to the cell along one axis; what would overrun the other axis is cut off.
            const bool byHeight = sizeMode == QLatin1String("Fit Height");
            const int along = byHeight ? pw : ph, across = byHeight ? ph : pw;
            const int room = byHeight ? w : h, fixed = byHeight ? h : w;
            int scaled = along * fixed / across;
            int used = along;
            if (scaled > room) {
                used = along * room / scaled;
                scaled = room;
            }
            if (scaled > 2 && fixed > 2) {
                const TRect target = byHeight ? TRect(cellRect.Left + 1, cellRect.Top, cellRect.Left + scaled, cellRect.Top + h - 1)
                                              : TRect(cellRect.Left + 1, cellRect.Top, cellRect.Left + w, cellRect.Top + scaled - 1);
                painter.drawImage(target.ToQRect(), picture, byHeight ? QRect(0, 0, used, ph) : QRect(0, 0, pw, used));
            }
        }
        painter.setCompositionMode(oldMode);
    }
    if (highlight) {
        c.Brush.Color = clHighlight;
        c.FrameRect(cellRect);
        FSkipLine = true;
    }
}

void TkqCustomDBGrid::DrawImageIndexCell(TField* field, const TRect& cellRect)
{
    TCanvas& c = *Canvas();
    const bool numeric = qobject_cast<TIntegerField*>(field) || qobject_cast<TFloatField*>(field);
    if (numeric && FImageList) {
        const int iw = FImageList->Width(), ih = FImageList->Height();
        TBitmap work(iw, ih);
        work.Fill(c.Brush.Color);
        if (!field->IsNull()) {
            const int index = qobject_cast<TFloatField*>(field) ? RoundHalfEven(field->AsFloat()) : field->AsInteger();
            if (index >= 0 && FImageList->ValidIndex(index)) {
                TCanvas wc(work);
                FImageList->Draw(wc, 0, 0, index);
            }
        }
        const int left = std::max(cellRect.Left, (cellRect.Left + cellRect.Right - iw) / 2);
        const int top = std::max(cellRect.Top, (cellRect.Top + cellRect.Bottom - ih) / 2);
        c.Save();
        c.SetClipRect(cellRect);
        if (ParamItem(ColInfo(FComputedDataCol + FIndicatorOffset).Params, 0) == QLatin1String("Shrink To Fit")) {
            c.StretchDraw(TRect(left, top, std::min(left + iw, cellRect.Right), std::min(top + ih, cellRect.Bottom)), work);
        } else {
            const int cw = std::min(iw, cellRect.Width() - 2), ch = std::min(ih, cellRect.Height() - 2);
            if (cw > 0 && ch > 0) c.CopyRect(TRect::Bounds(left, top, cw, ch), work, TRect(0, 0, cw, ch));
        }
        c.Restore();
    }
    if (FDrawFocusFrame) DrawCellFocusFrame(c, cellRect);
}

void TkqCustomDBGrid::DrawCheckBox(const TRect& rect, int col, bool checked, int row)
{
    Q_UNUSED(row);
    TCanvas& c = *Canvas();
    const bool readOnly = GetColumn(DataColumn(col))->ReadOnly();
    const TkqCheckBoxInGridStyle style = KqIntl()->CheckBoxInGridStyle();
    const TRect frame = Grown(rect, 1, 1, 2, 2);
    unsigned state = DFCS_BUTTONCHECK | (readOnly ? unsigned(DFCS_INACTIVE) : 0u);
    const bool mark = style == cbStyleCheckmark || style == cbStyleCheckmarkFlat || (style == cbStyleAuto && NewStyleControls());
    if (mark) {
        if (checked) state |= DFCS_CHECKED;
        if (style == cbStyleCheckmarkFlat) state |= DFCS_FLAT;
        DrawFrameControl(c, frame, DFC_BUTTON, state);
        return;
    }
    DrawFrameControl(c, frame, DFC_BUTTON, state);
    if (!checked) return;
    // An X three lines thick along both diagonals.
    const TColor pen = c.Pen.Color;
    c.Pen.Color = clBlack;
    c.Pen.Width = 1;
    const int l = frame.Left + 3, t = frame.Top + 3, r = frame.Right - 3, b = frame.Bottom - 3;
    for (int d = -1; d <= 1; ++d) {
        c.MoveTo(l + d, t);
        c.LineTo(r + d, b);
        c.MoveTo(l + d, b - 1);
        c.LineTo(r + d, t - 1);
    }
    c.Pen.Color = pen;
}

// ---- Backgrounds

void TkqCustomDBGrid::PaintTitleBackground(const TRect& rect)
{
    TCanvas& c = *Canvas();
    const TRect r = Grown(rect, 1, 0, 0, 0);
    if (const TkqBitmap* title = FPaintOptions->TitleRowCopy(); title && !title->Empty()) CopyFromPicture(c, r, title->Image());
    else c.FillRect(r);
}

void TkqCustomDBGrid::PaintFixedCellBackground(const TRect& rect, int dataRow, TColor color)
{
    TCanvas& c = *Canvas();
    const TkqGridPaintOptions& po = *FPaintOptions;
    if (po.AlternatingRowColor() != clNone && po.AlternatingRowRegions().Contains(arrFixedColumns) && dataRow >= 0 &&
        (dataRow & 1) != int(FAlternatingPhase)) {
        PaintAlternatingRowBackground(rect);
    } else if (const TkqBitmap* fixed = po.FixedColumnCopy(); fixed && !fixed->Empty()) {
        CopyFromPicture(c, rect, fixed->Image());
    } else {
        if (color != clNone) c.Brush.Color = color;
        c.FillRect(rect);
    }
}

void TkqCustomDBGrid::PaintDataCellBackground(const TRect& rect, int dataRow, TColor color)
{
    TCanvas& c = *Canvas();
    const TkqGridPaintOptions& po = *FPaintOptions;
    const bool down = !FOptions.Contains(dgRowLines) && !FOptions.Contains(dgHideBottomDataLine);
    if (po.AlternatingRowColor() != clNone && po.AlternatingRowRegions().Contains(arrDataColumns) && dataRow >= 0 &&
        (dataRow & 1) != int(FAlternatingPhase)) {
        PaintAlternatingRowBackground(Grown(rect, FOptions.Contains(dgColLinesDisableFixed) ? 0 : 1, 0, 0, down ? 1 : 0));
    } else if (po.FillsDataCells()) {
        CopyFromPicture(c, Grown(rect, 0, 0, 0, down ? 1 : 0), po.BackgroundCopy()->Image());
    } else if (!OnBeforePaint) {
        if (color != clNone) c.Brush.Color = color;
        c.FillRect(rect);
    }
}

void TkqCustomDBGrid::PaintAlternatingRowBackground(const TRect& rect)
{
    TCanvas& c = *Canvas();
    if (const TkqBitmap* copy = FPaintOptions->AlternatingRowCopy(); copy && !copy->Empty()) {
        CopyFromPicture(c, rect, copy->Image());
        return;
    }
    const TColor old = c.Brush.Color;
    c.Brush.Color = FPaintOptions->AlternatingRowColor();
    c.FillRect(rect);
    c.Brush.Color = old;
}

void TkqCustomDBGrid::PaintPadColumn(const TGridDrawInfo& info)
{
    if (ColCount() - 1 != info.Horz.LastFullVisibleCell) return;
    TCanvas& c = *Canvas();
    const TRect last = CellRect(ColCount() - 1, 0);
    if (last.IsEmpty()) return;
    const bool picture = FPaintOptions->FillsDataCells();
    TRect r(last.Right + (FOptions.Contains(dgColLines) ? 1 : 0), 0, ClientWidth(), ClientHeight());
    if (r.IsEmpty()) return;
    const int titleBottom = FOptions.Contains(dgTitles) ? RowHeights(0) : 0;
    if (FPadColumnStyle == pcsPadHeaderAndData || picture) {
        // the whole height
    } else if (FPadColumnStyle == pcsPadHeader) {
        if (!FOptions.Contains(dgTitles)) return;
        r.Bottom = titleBottom + (HasRowLines() ? 1 : 0);
    } else {
        return;
    }
    const int left = FHideAllLines ? r.Left - 1 : r.Left;
    if (FPadColumnStyle == pcsPadHeaderAndData) {
        PaintFixedCellBackground({left, r.Top, r.Right, r.Bottom}, -1, FTitleColor);
    } else if (FPadColumnStyle == pcsPadHeader) {
        const int bottom = FHideAllLines ? titleBottom : titleBottom + 1;
        PaintFixedCellBackground({left, r.Top, r.Right, bottom}, -1, FTitleColor);
        if (r.Bottom > bottom) PaintDataCellBackground({r.Left, bottom, r.Right, r.Bottom}, -1, FColor);
    } else {
        PaintDataCellBackground({r.Left, r.Top, r.Right, ClientHeight()}, -1, FColor);
    }
    if (FHideAllLines) return;
    c.Pen.Color = FLineColors->HighlightColor();
    if (FPadColumnStyle == pcsPadHeaderAndData) {
        c.MoveTo(r.Left, r.Top);
        c.LineTo(r.Left, r.Bottom);
    } else if (FOptions.Contains(dgColLines)) {
        c.MoveTo(r.Left, r.Top);
        c.LineTo(r.Left, info.Vert.GridBoundary + 1);
    }
}

// ---- Lines

void TkqCustomDBGrid::DrawCellLine(const TRect& rect, int col, TGridDrawState state, int row)
{
    TCanvas& c = *Canvas();
    TRect r = rect;
    r.Bottom = r.Top + RowHeights(row);
    const int dataRow = DataRow(row), dataCol = DataColumn(col);
    const bool fixedDataCell = state.Contains(gdFixed) && dataRow >= 0;
    if (FSkipLine) return;
    if (fixedDataCell ? FOptions.Contains(dgRowLinesDisableFixed) : !FOptions.Contains(dgRowLines)) return;
    FSkipLine = true;
    const TColor under = FLineStyle == glsDynamic ? c.Brush.Color : FColor;
    bool onWhite = ColorToRGB(under) == 0xFFFFFF;
    TkqCacheColInfoItem* info = col >= 0 && col < int(FColInfo.size()) ? &FColInfo[size_t(col)] : nullptr;
    if (dataRow == 0 && info) info->LineOnWhite = onWhite;
    if (FPaintOptions->FillsDataCells()) onWhite = true;
    if (dataRow < 0 || dataCol < 0) return;
    const TColor active = FPaintOptions->ActiveRecordColor();
    if (ColorToRGB(FColor) == 0xFFFFFF && HighlightCell(dataCol, dataRow, state, QString()) &&
        (c.Brush.Color == clHighlight || (active != clNone && c.Brush.Color == active))) {
        onWhite = true;
        if (info) info->LineOnWhite = true;
    }
    const TColor pen = c.Pen.Color;
    c.Pen.Width = 1;
    if (FOptions.Contains(dgRowLines)) {
        if (FLineStyle == glsSingle || (FLineStyle == glsDynamic && onWhite)) {
            c.Pen.Color = FLineColors->DataColor();
            c.MoveTo(r.Left, r.Bottom);
            c.LineTo(r.Right + 1, r.Bottom);
        } else {
            c.Pen.Color = FLineColors->ShadowColor();
            c.MoveTo(r.Left, r.Bottom);
            c.LineTo(r.Right + 1, r.Bottom);
            const bool currentRow = row == Row() && (FGridFocused || FOptions.Contains(dgAlwaysShowEditor));
            if (!(currentRow && (FOptions.Contains(dgRowSelect) || active != clNone))) {
                c.Pen.Color = FLineColors->HighlightColor();
                c.MoveTo(r.Left, r.Top);
                c.LineTo(r.Right + 1, r.Top);
            }
        }
    }
    c.Pen.Color = pen;
}

void TkqCustomDBGrid::DrawGridLines()
{
    TCanvas& c = *Canvas();
    const TGridDrawInfo& info = FPaintInfo;
    const TkqGridLineColors& lc = *FLineColors;
    const bool white = ColorToRGB(FColor) == 0xFFFFFF || FPaintOptions->FillsDataCells();
    const bool active = FDataLink->Active();
    const int visibleRows = VisibleRowCount();
    const int visibleCols = VisibleColCount();
    auto line = [&](TColor color, int x1, int y1, int x2, int y2) {
        c.Pen.Color = color;
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
    };
    const TRect title00 = CellRect(0, 0);
    const int titleBottom = title00.IsEmpty() ? info.Vert.FixedBoundary - 1 : title00.Bottom;
    const bool lastVisible = ColCount() - 1 == info.Horz.LastFullVisibleCell;
    int rightEdge = ClientWidth();
    if (FPadColumnStyle != pcsPadHeader && lastVisible) rightEdge = CellRect(ColCount() - 1, 0).Right;
    const TRect bottomCell = CellRect(0, visibleRows);
    const int dataBottom = bottomCell.IsEmpty() ? info.Vert.GridBoundary : bottomCell.Bottom;
    const bool colLines = FOptions.Contains(dgColLines);
    const bool rowLines = FOptions.Contains(dgRowLines);

    if (!FHideAllLines) {
        // 1. Lines between the scrolled data columns.
        if (colLines && active) {
            for (int col = LeftCol(); col <= LeftCol() + visibleCols && col < ColCount(); ++col) {
                const TRect r = CellRect(col, 0);
                const TRect t = FOptions.Contains(dgTitles) ? CellRect(col, 0) : TRect();
                const int x = r.IsEmpty() ? CellRect(col, FTitleOffset).Right : r.Right;
                const int y = FOptions.Contains(dgTitles) ? t.Bottom : 0;
                if (FLineStyle == glsSingle || (FLineStyle == glsDynamic && white)) {
                    line(lc.DataColor(), x, y, x, dataBottom + 1);
                } else {
                    line(lc.ShadowColor(), x, y, x, dataBottom + 1);
                    line(lc.HighlightColor(), x + 1, y, x + 1, dataBottom + 1);
                }
                if (x > ClientWidth()) break;
            }
        }
        // 2. The current cell's bottom.
        if (active && rowLines && !FOptions.Contains(dgRowSelect)) {
            const TRect r = CellRect(Col(), Row());
            if (!r.IsEmpty()) {
                const bool single = FLineStyle == glsSingle || (FLineStyle == glsDynamic && ColInfo(Col()).LineOnWhite);
                line(single ? lc.DataColor() : lc.ShadowColor(), r.Left, r.Bottom, r.Right, r.Bottom);
            }
        }
        // 3. The fixed data columns.
        if (active && FixedCols() > 0) {
            if (!FOptions.Contains(dgRowLinesDisableFixed) || FOptions.Contains(dgTitles)) {
                const int lastFixedRight = CellRect(FixedCols() - 1, 0).Right;
                for (int k = FOptions.Contains(dgRowLinesDisableFixed) ? visibleRows : 0; k <= visibleRows; ++k) {
                    const TRect cell = CellRect(0, k);
                    if (cell.IsEmpty()) continue;
                    const int y = cell.Bottom;
                    const int x2 = FOptions.Contains(dgRowLinesDisableFixed) ? rightEdge : lastFixedRight + 1;
                    if (k > 0 && !FOptions.Contains(dgHideBottomDataLine)) line(lc.FixedColor(), 0, y, x2, y);
                    if (k < visibleRows || FPadColumnStyle == pcsPadHeaderAndData) line(lc.HighlightColor(), 0, y + 1, x2, y + 1);
                }
            }
            if (!FOptions.Contains(dgColLinesDisableFixed)) {
                const int yEnd = RowBottom(info) - (rowLines ? 1 : 0);
                for (int i = 0; i < FixedCols(); ++i) {
                    const TRect cell = CellRect(i, 0);
                    const int x = cell.Right - (colLines ? 0 : 1);
                    line(lc.FixedColor(), x, 0, x, yEnd);
                    line(lc.HighlightColor(), x + 1, 0, x + 1, yEnd);
                    if (i == 0 && FOptions.Contains(dgIndicator)) line(lc.HighlightColor(), cell.Left, 0, cell.Left, yEnd);
                }
            }
        }
        // 4. Title cells.
        if (FOptions.Contains(dgTitles)) {
            const int yb = titleBottom - (HasRowLines() ? 0 : 1);
            const int lastCol = std::min(LeftCol() + visibleCols, ColCount() - 1);
            for (int i = 0; i <= lastCol; ++i) {
                if (i >= FixedCols() && i < LeftCol()) continue;
                const TRect cell = CellRect(i, 0);
                if (cell.IsEmpty() || (i > LeftCol() && cell.Left == 0)) continue;
                const int L = cell.Left, R = cell.Left + ColWidths(i);
                const int xr = R - (colLines ? 0 : 1);
                const QString group = DataColumn(i) >= 0 ? GetColumn(DataColumn(i))->GroupHeaderName() : QString();
                const auto groupOf = [&](int col) {
                    return col >= FIndicatorOffset && col < ColCount() ? GetColumn(DataColumn(col))->GroupHeaderName() : QString();
                };
                const int titleTop = GetTitleCellRectTop(i);
                line(lc.HighlightColor(), L, 0, R, 0);
                const bool leftShares = !group.isEmpty() && groupOf(i - 1) == group && titleTop > 0 && GetTitleCellRectTop(i - 1) > 0;
                int groupTop = leftShares ? titleTop : 0;
                line(lc.HighlightColor(), L, groupTop, L, yb);
                if (!group.isEmpty()) {
                    const int top = DataColumn(i) >= 0 ? titleTop : 0;
                    const int ext = groupOf(i + 1) == group ? 1 : 0;
                    line(lc.HighlightColor(), L, 0, R + ext, 0);
                    line(lc.HighlightColor(), L, top, R + ext, top);
                    line(lc.FixedColor(), L, top - 1, R + ext, top - 1);
                }
                const bool rightShares = !group.isEmpty() && groupOf(i + 1) == group && titleTop > 0 && GetTitleCellRectTop(i + 1) > 0;
                groupTop = rightShares ? titleTop : 0;
                line(lc.FixedColor(), xr, groupTop, xr, yb);
                if (i == ColCount() - 1) {
                    if (FPadColumnStyle != pcsPlain || FPaintOptions->FillsDataCells()) line(lc.HighlightColor(), xr, 0, ClientWidth(), 0);
                    if (FPadColumnStyle == pcsPadHeader) line(lc.FixedColor(), xr, yb, ClientWidth(), yb);
                }
                line(lc.FixedColor(), L - 1, yb, R, yb);
                if (FTitleButtons) {
                    const bool fully = i <= info.Horz.LastFullVisibleCell;
                    const bool inner = FTitlePress.Col < 0 ? fully : (FSkipTitleClick && FTitlePress.Col == i);
                    if (inner) line(lc.ShadowColor(), xr - 1, groupTop, xr - 1, yb);
                    line(lc.ShadowColor(), L - 1, yb - 1, R, yb - 1);
                }
            }
        }
        // 5. The right edge.
        if (active && lastVisible && !(rowLines && colLines)) {
            line(lc.FixedColor(), rightEdge, 0, rightEdge, titleBottom);
            if (FPadColumnStyle != pcsPlain) {
                const int y = titleBottom - (HasRowLines() ? 0 : 1);
                const TColor color = FPadColumnStyle == pcsPadHeaderAndData ? lc.FixedColor()
                                     : white                                ? lc.DataColor()
                                                                            : lc.ShadowColor();
                line(color, rightEdge, y + 1, rightEdge, dataBottom);
                line(lc.HighlightColor(), rightEdge + 1, 0, rightEdge + 1, dataBottom);
            }
        }
    }
    // 6. A pressed title.
    DrawPressedTitle();
    // 7. Below the last record.
    if (active && (FPadColumnStyle == pcsPadHeaderAndData || FPaintOptions->FillsDataCells())) {
        int y = RowBottom(info);
        const int records = FDataLink->RecordCount();
        if (IsDataSetActive() && records > 0 && records - 1 + FTitleOffset < info.Vert.LastFullVisibleCell) {
            const TRect below = CellRect(LeftCol(), records + FTitleOffset);
            if (!below.IsEmpty()) y = below.Top;
        }
        if (!FHideAllLines) {
            const int dataLeft = CellRect(LeftCol(), 0).Left;
            line(lc.FixedColor(), 0, y - 1, dataLeft, y - 1);
            line(white ? lc.DataColor() : lc.ShadowColor(), dataLeft, y - 1, rightEdge, y - 1);
            line(lc.HighlightColor(), 0, y, 0, ClientHeight() - 1);
            line(lc.HighlightColor(), 0, y, rightEdge, y);
            ++y;
        }
        if (FPadColumnStyle == pcsPadHeaderAndData) PaintFixedCellBackground({1, y, ClientWidth(), ClientHeight()}, -1, FTitleColor);
    }
}

void TkqCustomDBGrid::DrawPressedTitle()
{
    if (FTitlePress.Col < 0 || !FTitleButtons || !FOptions.Contains(dgTitles) || FDragging) return;
    TCanvas& c = *Canvas();
    TRect r;
    if (FTitlePress.Group) {
        int first = 0, last = 0;
        r = GetGroupHeaderRect(FTitlePress.Col, 0, true, first, last);
        --r.Bottom;
    } else {
        r = GetTitleCellRect(FTitlePress.Col, 0);
    }
    if (r.IsEmpty()) return;
    const int b = r.Bottom - (HasRowLines() ? 0 : 2);
    c.Pen.Color = clBlack;
    c.MoveTo(r.Left, r.Top);
    c.LineTo(r.Left, b);
    c.MoveTo(r.Left, r.Top);
    c.LineTo(r.Right, r.Top);
    c.Pen.Color = 8421504;
    c.MoveTo(r.Left + 1, r.Top + 1);
    c.LineTo(r.Left + 1, b - 1);
    if (!FTitlePress.Group) {
        c.MoveTo(r.Left + 1, b - 1);
        c.LineTo(r.Right, b - 1);
    }
}

// =============================================================================================
// Geometry

TRect TkqCustomDBGrid::GetCellRectDefaultHeight(int col, int row) const
{
    TRect r = CellRect(col, row);
    if (r == TRect()) return r;
    r.Right = r.Left + ColWidths(col);
    if (DataRow(row) >= 0) r.Bottom = r.Top + DefaultRowHeight();
    return r;
}

int TkqCustomDBGrid::GetTitleCellRectTop(int col) const
{
    const TRect r = GetTitleCellRect(col, 0);
    return r.Top;
}

TRect TkqCustomDBGrid::GetTitleCellRect(int col, int row) const
{
    TRect r = GetCellRectDefaultHeight(col, row);
    if (r.IsEmpty()) return r;
    r.Right = r.Left + ColWidths(col);
    const int dc = DataColumn(col);
    if (GetColumnField(dc) && !GetColumn(dc)->GroupHeaderName().isEmpty()) r.Top += r.Height() / 2;
    return r;
}

TRect TkqCustomDBGrid::GetGroupHeaderRect(int col, int row, bool visibleOnly, int& firstCol, int& lastCol) const
{
    firstCol = lastCol = col;
    const QString group = DataColumn(col) >= 0 ? GetColumn(DataColumn(col))->GroupHeaderName() : QString();
    if (group.isEmpty()) return CellRect(col, row);
    const int lo = visibleOnly ? LeftCol() : FIndicatorOffset;
    const int hi = visibleOnly ? std::min(LeftCol() + VisibleColCount(), ColCount() - 1) : ColCount() - 1;
    const auto groupOf = [&](int c) { return GetColumn(DataColumn(c))->GroupHeaderName(); };
    while (firstCol - 1 >= lo && groupOf(firstCol - 1) == group) --firstCol;
    while (lastCol + 1 <= hi && groupOf(lastCol + 1) == group) ++lastCol;
    TGridDrawInfo info;
    CalcDrawInfo(info);
    const int lw = FOptions.Contains(dgColLines) ? info.Horz.EffectiveLineWidth : 0;
    int left;
    if (firstCol < FixedCols()) {
        left = 0;
        for (int c = 0; c < firstCol; ++c) left += ColWidths(c) + info.Horz.EffectiveLineWidth;
    } else if (firstCol >= LeftCol()) {
        left = info.Horz.FixedBoundary;
        for (int c = LeftCol(); c < firstCol; ++c) left += ColWidths(c) + info.Horz.EffectiveLineWidth;
    } else {
        // Columns scrolled out to the left are measured backwards from the first scrolled one.
        left = info.Horz.FixedBoundary;
        for (int c = firstCol; c < LeftCol(); ++c) left -= ColWidths(c) + lw;
    }
    int right = left;
    for (int c = firstCol; c <= lastCol; ++c) right += ColWidths(c) + (c < lastCol ? lw : 0);
    const int titleHeight = RowHeights(0);
    return {left, 0, right, titleHeight / 2};
}

TRect TkqCustomDBGrid::TitleHitTest(int col, const TRect& rect, int y) const
{
    Q_UNUSED(rect);
    if (!FOptions.Contains(dgTitles)) return {};
    const TRect title = GetTitleCellRect(col, 0);
    const int dc = DataColumn(col);
    if (dc < 0 || GetColumn(dc)->GroupHeaderName().isEmpty() || !GetColumnField(dc)) return title;
    if (y < title.Top) {
        int first = 0, last = 0;
        TRect header = GetGroupHeaderRect(col, 0, true, first, last);
        header.Bottom = title.Top;
        return header;
    }
    return title;
}

int TkqCustomDBGrid::RowBottom(const TGridDrawInfo& info) const
{
    return CellRect(LeftCol(), info.Vert.LastFullVisibleCell).Bottom + 1;
}

void TkqCustomDBGrid::InvalidateCurrentRow() { InvalidateRow(Row()); }

TColor TkqCustomDBGrid::ActiveRowColor() const
{
    const TColor active = FPaintOptions->ActiveRecordColor();
    return active != clNone ? active : clHighlight;
}

void TkqCustomDBGrid::SetRowOffset(int value)
{
    if ((value & 1) != (FRowOffset & 1)) FAlternatingPhase = !FAlternatingPhase;
    FRowOffset = value;
}

void TkqCustomDBGrid::TopLeftChanged()
{
    HideCellHint();
    if (CurrentControlIsExpandButton()) CollapseExpandButtons();
    TCustomGrid::TopLeftChanged();
    if (OnLeftColChanged) OnLeftColChanged(this, LeftCol());
    InvalidateRect({0, 0, ClientWidth(), RowHeights(0)});
    if (FOptions.Contains(dgShowFooter)) InvalidateRect(GetFooterRect().Inflated(0, 1));
    TGridDrawInfo info;
    CalcDrawInfo(info);
    InvalidateRect({info.Horz.GridExtent - 1, 0, info.Horz.GridExtent, ClientHeight()});
}

// =============================================================================================
// TkqIButton painting: a push button face.

void TkqIButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    unsigned state = DFCS_BUTTONPUSH;
    if (isDown()) state |= DFCS_PUSHED;
    if (!isEnabled()) state |= DFCS_INACTIVE;
    DrawFrameControl(canvas, {0, 0, width(), height()}, DFC_BUTTON, state);
    if (!text().isEmpty()) {
        TRect r(0, 0, width(), height());
        canvas.Font = TFont(font(), isEnabled() ? clBtnText : clGrayText);
        canvas.Brush.Style = bsClear;
        canvas.DrawText(text(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

// =============================================================================================
// TkqGridHintWindow

TkqGridHintWindow::TkqGridHintWindow(QWidget* parent) : QWidget(parent, Qt::ToolTip)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void TkqGridHintWindow::SetCaption(const QString& text)
{
    if (text == FCaption) return;
    FCaption = text;
    update();
}

void TkqGridHintWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    canvas.Brush.Color = clInfoBk;
    canvas.FillRect({0, 0, width(), height()});
    canvas.Brush.Color = clInfoText;
    canvas.FrameRect({0, 0, width(), height()});
    canvas.Font = TFont(font(), clInfoText);
    const int alignment = FAlignment == taRightJustify ? 1 : FAlignment == taCenter ? 2 : 0;
    canvas.Brush.Color = clInfoBk;
    DrawAlignedText(canvas, {1, 2, width(), height()}, 0, datNoFill | (FWordWrap ? datWordBreak : 0u), alignment,
                    FCaption, 0);
}
