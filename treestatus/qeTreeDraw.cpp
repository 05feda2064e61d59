// The tree's drawing: every visible row painted into one off-screen bitmap (lines, button,
// background, check box or state image, image, text, focus rectangle), copied to the window
// once per paint.
#include "treestatus/qeTreeView.h"

#include "platform/core/ScopeExit.h"
#include "platform/vcl/Edges.h"
#include "treestatus/qeCommon.h"

#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
// The vertical centre always lies an even number of pixels below the top.
QPoint CenterPoint(const TRect& r)
{
    const int w = r.Width(), h = r.Height();
    return QPoint(r.Left + w / 2, (h / 2) % 2 ? r.Top + (h + 2) / 2 : r.Top + h / 2);
}

void DrawFocusRect(TCanvas& canvas, const TRect& r)
{
    QPainter& p = canvas.Painter();
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (int x = r.Left; x < r.Right; x += 2) {
        p.fillRect(QRect(x, r.Top, 1, 1), Qt::white);
        p.fillRect(QRect(x, r.Bottom - 1, 1, 1), Qt::white);
    }
    for (int y = r.Top; y < r.Bottom; y += 2) {
        p.fillRect(QRect(r.Left, y, 1, 1), Qt::white);
        p.fillRect(QRect(r.Right - 1, y, 1, 1), Qt::white);
    }
    p.restore();
}
} // namespace

TqeItemStates TqeCustomTreeView::StateOf(const TqeTreeNode* node) const
{
    TqeItemStates s;
    if (node == FSelected) s.Include(isSelected);
    if (node == FSelected && hasFocus()) s.Include(isFocused);
    if (node == FHot && FOptions.Contains(tvoHotTrack)) s.Include(isHot);
    return s;
}

TRect TqeCustomTreeView::NodeIndentRect(const TqeTreeNode* node) const
{
    const TRect t = node->GetDisplayRect(true);
    TRect r(t.Left - FIndent, t.Top, t.Left, t.Bottom);
    if (HasImage(node)) r = r.Offset(-(FImages->Width() + 2), 0);
    if (ShowsStateImage(node) || (node->FStateIndex > 0 && node->FStateIndex % 16 != 0)) r = r.Offset(-StateSlotWidth(), 0);
    if (HasImage(node)) r = r.Offset(1, 0);
    return r;
}

int TqeCustomTreeView::LineX(const TqeTreeNode* node) const
{
    const TRect r = NodeIndentRect(node);
    return r.Left + 1 + std::min(r.Height() / 4 + 2, 6);
}

void TqeCustomTreeView::paintEvent(QPaintEvent*)
{
    EnsureLayout();
    FPainting = true;
    BeginCustomDraw();
    const int rows = viewport()->height() / FItemHeight + 1;
    int maxRight = 0;
    TqeTreeNode* node = FTopNode;
    for (int i = 0; node && i < rows; ++i, node = node->GetNextVisible()) {
        ++FPaintedCount;
        FCanvas->Font = TFont(font(), FFontColor);
        FCanvas->Brush.Color = FColor;
        FCanvas->Brush.Style = bsSolid;
        const TqeItemStates state = StateOf(node);
        if (state.Contains(isSelected)) {
            FCanvas->Font.Color = clHighlightText;
            FCanvas->Brush.Color = clHighlight;
        }
        const TRect r = node->GetDisplayRect(true);
        maxRight = std::max(maxRight, r.Right + horizontalScrollBar()->value());
        BeforeDrawNode(node, r, state);
        DrawNode(node, r, state);
        AfterDrawNode(node, r, state);
    }
    if (maxRight > FMaxRight) {
        FMaxRight = maxRight;
        UpdateScrollBars();
    }
    EndCustomDraw();
    FPainting = false;
}

void TqeCustomTreeView::BeginCustomDraw()
{
    if (FStateImages && FStateImages->Count() == 1) {
        FStateImages->Clear();
        SetStateImages(nullptr);
    }
    const QSize size = viewport()->size();
    if (FBitmap.size() != size) FBitmap = QImage(size, QImage::Format_RGB32);
    FCanvas.reset();
    FCanvas = std::make_unique<TCanvas>(&FBitmap);
    FCanvas->Brush.Color = FColor;
    FCanvas->FillRect(TRect(0, 0, size.width(), size.height()));
    FCanvas->Font = TFont(font(), FFontColor);
    FPaintedCount = 0;
}

void TqeCustomTreeView::EndCustomDraw()
{
    if (FFirstRoot && FPaintedCount == 0) {
        TqeItemStates s{isSelected};
        if (hasFocus()) s.Include(isFocused);
        DrawNode(FFirstRoot, FFirstRoot->GetDisplayRect(true), s);
    }
    FCanvas.reset();
    QPainter painter(viewport());
    painter.drawImage(0, 0, FBitmap);
}

void TqeCustomTreeView::SetCanvasColors(TqeTreeNode* node, TqeItemStates state)
{
    TCanvas& c = *FCanvas;
    c.Font = TFont(font(), FFontColor);
    c.Brush.Color = FColor;
    c.Brush.Style = bsSolid;
    if (state.Contains(isSelected) && !FOptions.Contains(tvoHideSelection)) c.Brush.Color = clBtnFace;
    TqeTreeNode* dropTarget = DropHighlight();
    const bool marked = (state.Contains(isSelected) && (!dropTarget || node == dropTarget)) || node == FDropHilite;
    const bool focused = hasFocus() || (FEditor && FEditor->hasFocus());
    if (marked && !FMultiSelect->Enabled()) {
        if (focused) {
            c.Brush.Color = clHighlight;
            c.Font.Color = clHighlightText;
        } else if (!FOptions.Contains(tvoHideSelection)) {
            c.Brush.Color = FInactiveFocusColor == FColor ? RGBToColor(128, 128, 128) : FInactiveFocusColor;
            c.Font.Color = FFontColor;
        }
    } else if (FMultiSelect->Enabled()) {
        c.Brush.Color = node->FMultiSelected ? clHighlight : FColor;
        c.Font.Color = node->FMultiSelected ? clHighlightText : FFontColor;
    } else {
        c.Brush.Color = FColor;
        c.Font.Color = FFontColor;
    }
}

void TqeCustomTreeView::DrawNode(TqeTreeNode* node, TRect r, TqeItemStates state)
{
    TCanvas& c = *FCanvas;
    if (node->FItemStateImage != (node->FStateIndex > 0 ? node->FStateIndex : 0)) node->SetStateIndex(node->FStateIndex);
    DrawLinesAndButton(node);
    if (MultiSelectCheckboxApplies(node) && node->FStateIndex != 1) {
        node->FStateIndex = 1;
        node->FItemStateImage = 1;
    }
    SetCanvasColors(node, state);
    const bool focused = hasFocus();
    if (state.Contains(isHot) || (FOptions.Contains(tvoAutoURL) && !node->LinkText().isEmpty())) {
        if (!(state.Contains(isSelected) && focused)) c.Font.Color = RGBToColor(0, 0, 255);
        c.Font.Font.setBold(false);
        c.Font.Font.setItalic(false);
        c.Font.Font.setStrikeOut(false);
        c.Font.Font.setUnderline(true);
    }
    DoCalcNodeAttributes(node, state);
    SelectCanvasObjects(c);
    if (c.Font.Font.bold() || c.Font.Font.italic()) r.Right = r.Left + c.TextWidth(GetNodeText(node)) + 4;
    c.Pen.Color = FColor;
    TRect b = r;
    if (GetRowSelect()) {
        b.Right = viewport()->width() - 4;
        const bool image = HasImage(node), stateImage = ShowsStateImage(node);
        if (image) b.Left -= FImages->Width();
        if (stateImage) b.Left -= StateSlotWidth();
        if (image || stateImage) b.Left -= 4;
        if (!FMultiSelect->Enabled()) b.Bottom += 1;
    }
    const bool editing = IsEditing() && state.Contains(isSelected);
    if (!editing && c.Brush.Color != clNone && (!FMultiSelect->Enabled() || node->FMultiSelected)) {
        if (state.Contains(isFocused)) c.Rectangle(b);
        else c.FillRect(TRect(b.Left, b.Top, b.Right, b.Bottom - 1));
    }
    DrawNodeImages(node, state);
    r = TRect(r.Left + 2, r.Top + 1, r.Right - 1, r.Bottom - 1);
    const TBrushStyle savedStyle = c.Brush.Style;
    c.Brush.Style = bsClear;
    TScopeExit opaque([&c, savedStyle] { c.Brush.Style = savedStyle; });
    if (!editing) {
        bool defaultDrawing = true;
        DoDrawText(node, r, state, defaultDrawing);
        if (defaultDrawing) {
            TRect r2;
            DrawTextEffect(c, GetNodeText(node), r, r2, DT_NOPREFIX | DT_END_ELLIPSIS | DT_SINGLELINE | DT_VCENTER);
            if (state.Contains(isFocused) && focused && (!GetRowSelect() || FMultiSelect->Enabled())) DrawFocusRect(c, b);
        }
    }
}

void TqeCustomTreeView::DrawLinesAndButton(TqeTreeNode* node)
{
    TCanvas& c = *FCanvas;
    const TRect r = NodeIndentRect(node);
    const int h = r.Height();
    if (FOptions.Contains(tvoShowLines)) {
        c.Pen.Color = FLineColor;
        const TRect row = node->GetDisplayRect(false);
        for (TqeTreeNode* a = node; a; a = a->FParent) {
            if (!a->FParent && !FOptions.Contains(tvoShowRoot)) break;
            if (!(a->FNext || a == node)) continue;
            TRect ra = NodeIndentRect(a);
            ra.Top = row.Top;
            ra.Bottom = row.Bottom;
            const int x = LineX(a);
            int top = row.Top, bottom = row.Bottom;
            if (a == node) {
                if (!a->FParent && !a->FPrev) top = CenterPoint(ra).y();
                if (!a->FNext) bottom = row.Bottom - (h / 2 - 1);
            }
            if (bottom > top) DrawDottedLine(c, {x, top}, {x, bottom - 1});
        }
    }
    if (FOptions.Contains(tvoShowRoot) || node->FParent) {
        if (FOptions.Contains(tvoShowLines)) {
            c.Pen.Color = FLineColor;
            const int y = CenterPoint(r).y();
            int right = r.Right;
            if (HasCheckbox(node) && (ShowsStateImage(node) || FMultiSelect->Enabled())) right -= 2;
            if (right > LineX(node)) DrawDottedLine(c, {LineX(node), y}, {right - 1, y});
        }
        if (node->FHasChildrenFlag) DrawButton(node, QPoint(LineX(node), CenterPoint(r).y()), std::max(h / 2, 8));
    }
}

void TqeCustomTreeView::DrawButton(TqeTreeNode* node, QPoint p, int size)
{
    if (!FOptions.Contains(tvoShowButtons)) return;
    TCanvas& c = *FCanvas;
    const TColor savedBrush = c.Brush.Color;
    const int half = size / 2;
    TRect b(p.x() - half, p.y() - half, p.x() + half + 1, p.y() + half + 1);
    const bool pushed = FButtonPressed && FButtonNode == node;
    if (FOptions.Contains(tvoExpandButtons3D)) {
        c.Brush.Color = clBtnFace;
        c.FillRect(b);
        DrawFrameControl(c, TRect(b.Left, b.Top, b.Right + 1, b.Bottom + 1), DFC_BUTTON,
                         DFCS_BUTTONPUSH | (pushed ? unsigned(DFCS_PUSHED) : 0u));
        if (ColorToRGB(FColor) == 0xFFFFFF) {
            c.Pen.Color = clBtnFace;
            c.Polyline({QPoint(b.Left - 1, b.Bottom), QPoint(b.Left - 1, b.Top - 1), QPoint(b.Right + 1, b.Top - 1)});
        }
        if (pushed) {
            p += QPoint(1, 1);
            b = b.Offset(1, 1);
        }
    } else {
        c.Brush.Color = clWhite;
        c.FillRect(b);
        c.Brush.Color = clBtnShadow;
        c.FrameRect(b);
    }
    const int q = half / 2;
    c.Pen.Color = clBlack;
    c.MoveTo(b.Left + q, p.y());
    c.LineTo(b.Right - q, p.y());
    if (!node->FExpanded) {
        c.MoveTo(p.x(), b.Top + q);
        c.LineTo(p.x(), b.Bottom - q);
    }
    c.Brush.Color = savedBrush;
}

void TqeCustomTreeView::DrawNodeImages(TqeTreeNode* node, TqeItemStates state)
{
    TCanvas& c = *FCanvas;
    const TRect r = NodeIndentRect(node);
    const int h = r.Height();
    if (FImages && node->FImageIndex >= 0) DoGetImageIndex(node);
    if (state.Contains(isSelected)) DoGetSelectedIndex(node);
    if (FImages && node->FImageIndex >= 0 && node->FImageIndex < FImages->Count()) {
        int x = r.Right + (ShowsStateImage(node) ? StateSlotWidth() : 0);
        const int y = r.Top + (h - FImages->Height()) / 2;
        int index = node->FImageIndex;
        if (state.Contains(isSelected) && node->FSelectedIndex >= 0 && node->FSelectedIndex < FImages->Count())
            index = node->FSelectedIndex;
        FImages->Draw(c, x, y, index, true);
        // Our image lists have no blend colour: only a cut node is blended (half with white).
        if (node->FCut) {
            // Blended half with white: the image list's look of a cut item.
            QImage veil = FImages->Image(index);
            QPainter& p = c.Painter();
            p.save();
            p.setOpacity(0.5);
            QImage white(veil.size(), QImage::Format_ARGB32);
            white.fill(Qt::transparent);
            for (int yy = 0; yy < veil.height(); ++yy)
                for (int xx = 0; xx < veil.width(); ++xx)
                    if (qAlpha(veil.pixel(xx, yy))) white.setPixel(xx, yy, qRgba(255, 255, 255, 255));
            p.drawImage(x, y, white);
            p.restore();
        }
        if (node->FOverlayIndex >= 0) FImages->Draw(c, x, y, node->FOverlayIndex + 1, true);
    }
    if (!ShowsStateImage(node)) return;
    if (!HasCheckbox(node)) {
        if (FStateImages) FStateImages->Draw(c, r.Right, r.Top + (h - FStateImages->Height()) / 2, node->FStateIndex, true);
        return;
    }
    const int s = std::min(h / 4 + 2, 6);
    const QPoint centre = CenterPoint(r);
    const TRect box(r.Right + 1, centre.y() - s, r.Right + 2 * s + 2, centre.y() + s + 1);
    unsigned kind = node->FCheckboxType == cbtRadioButton ? unsigned(DFCS_BUTTONRADIO) : unsigned(DFCS_BUTTONCHECK);
    if (FOptions.Contains(tvoFlatCheckBoxes)) kind |= DFCS_FLAT;
    if (node->FGrayed) kind |= DFCS_INACTIVE;
    if (node->FChecked) kind |= DFCS_CHECKED;
    DrawFrameControl(c, box, DFC_BUTTON, kind);
}
