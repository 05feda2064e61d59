#include "utilities/VzMenus.h"

#include "platform/vcl/Edges.h"
#include "utilities/ClipIcon.h"
#include "utilities/VCLUtils.h"
#include "utilities/VZConst.h"
#include "utilities/vzStrUtils.h"

#include <QPainter>
#include <QWidget>
#include <cmath>

TVzPopupMenu::TVzPopupMenu(QObject* owner) : TPopupMenu(owner) {}

TVzPopupMenu::~TVzPopupMenu()
{
    SetImages(nullptr);
    FStyle = msStandard;
    FOwnerDraw = false;
}

int TVzPopupMenu::CheckOffset() { return int(std::nearbyint(GetSystemMetrics(SM_CXMENUCHECK) * 0.3)); }

bool TVzPopupMenu::WantsOwnerDraw() const { return FStyle != msStandard || (FImages && FImages->Count() > 0); }

void TVzPopupMenu::SetOwnerDrawState(bool value) { FOwnerDraw = value; }

void TVzPopupMenu::SetStyle(TVzMenuStyle value)
{
    FStyle = value;
    SetOwnerDrawState(WantsOwnerDraw());
}

void TVzPopupMenu::SetImages(TImageList* images)
{
    if (images == FImages) return;
    if (FImages) {
        FImages->RemoveChangeListener(FImagesChangeKey);
        FImages->RemoveFreeListener(FImagesFreeKey);
    }
    const bool was = WantsOwnerDraw();
    FImages = images;
    if (FImages) {
        FImagesChangeKey = FImages->AddChangeListener([this] { ImagesChanged(); });
        FImagesFreeKey = FImages->AddFreeListener([this] {
            FImages = nullptr;
            SetOwnerDrawState(WantsOwnerDraw());
        });
    }
    if (WantsOwnerDraw() != was) SetOwnerDrawState(WantsOwnerDraw());
}

void TVzPopupMenu::ImagesChanged() { SetOwnerDrawState(WantsOwnerDraw()); }

void TVzPopupMenu::DoPopup()
{
    TPopupMenu::DoPopup();
    if (WantsOwnerDraw()) SetOwnerDrawState(true);
}

void TVzPopupMenu::GetImageIndex(TMenuItem* item, TOwnerDrawState state, int& imageIndex)
{
    if (FImages && !item->IsLine() && OnGetImageIndex) OnGetImageIndex(this, item, state, imageIndex);
}

void TVzPopupMenu::GetItemParams(TMenuItem* item, TOwnerDrawState state, TFont& font, TColor& color,
                                 const TGraphic*& graphic, int& numGlyphs)
{
    if (OnGetItemParams) OnGetItemParams(this, item, state, font, color, graphic, numGlyphs);
    if (item->IsLine()) graphic = nullptr;
}

void TVzPopupMenu::DoMeasureItem(TMenuItem* item, int& width, int& height)
{
    if (OnMeasureItem) OnMeasureItem(this, item, width, height);
}

void TVzPopupMenu::ItemSelected(TMenuItem* item, bool byMouse, QWidget* window)
{
    TPopupMenu::ItemSelected(item, byMouse, window);
    if (item && window && Cursor != 0) window->setCursor(byMouse ? VzCursor(Cursor) : QCursor(Qt::ArrowCursor));
}

namespace {
QString PlainCaption(const TMenuItem* item) { return DeleteChar(item->Caption, QLatin1Char('&')); }

// The size a graphic takes in an item: a bitmap of 2 to 5 cells one cell, an icon its real size.
QSize GraphicSize(const TGraphic* graphic, int numGlyphs)
{
    if (const auto* icon = dynamic_cast<const TIcon*>(graphic)) return GetIconPixelSize(MakeRealSizeIcon(*icon));
    const int w = dynamic_cast<const TBitmap*>(graphic) && numGlyphs >= 2 && numGlyphs <= 5 ? graphic->Width() / numGlyphs
                                                                                            : graphic->Width();
    return QSize(w, graphic->Height());
}
} // namespace

QSize TVzPopupMenu::MeasureItem(TMenuItem* item)
{
    if (!FOwnerDraw) return TPopupMenu::MeasureItem(item);
    TBitmap scratch(1, 1);
    TCanvas canvas(scratch);
    canvas.Font = TFont(ItemFont(item), clMenuText);
    const TGraphic* graphic = nullptr;
    TColor color = clMenu;
    int numGlyphs = 1;
    GetItemParams(item, {}, canvas.Font, color, graphic, numGlyphs);
    int imageIndex = item->ImageIndex;
    GetImageIndex(item, {}, imageIndex);

    const int checkOffset = CheckOffset();
    int minOffset = int(MinTextOffset);
    int height = GetSystemMetrics(SM_CYMENU) - (NewStyleControls() ? 2 : 0);
    int width = 2 * checkOffset;
    if (FImages) minOffset = std::max(minOffset, FImages->Width() + 2);
    // The caption with room for two tabs, then the shortcut and a blank; with a shortcut the
    // widest of the siblings, so that the shortcuts line up.
    auto captionWidth = [&](const TMenuItem* i) { return canvas.TextWidth(PlainCaption(i) + QStringLiteral("\t\t")); };
    auto shortcutWidth = [&](const TMenuItem* i) {
        return canvas.TextWidth(i->ShortCut.isEmpty() ? QStringLiteral(" ") : i->ShortCutText() + QLatin1Char(' '));
    };
    int a = captionWidth(item), b = shortcutWidth(item);
    if (!item->ShortCut.isEmpty() && item->Parent())
        for (int i = 0; i < item->Parent()->Count(); ++i) {
            a = std::max(a, captionWidth(item->Parent()->Items(i)));
            b = std::max(b, shortcutWidth(item->Parent()->Items(i)));
        }
    width += a + b;
    if (item->Count() > 0) width += canvas.TextWidth(QStringLiteral("\t\t"));
    if (ShowCheckMarks) width += GetSystemMetrics(SM_CXMENUCHECK);
    if (item->IsLine()) {
        height = std::max(canvas.TextHeight(QStringLiteral("-")) / 2, 9);
    } else {
        height = std::max(height, canvas.TextHeight(item->Caption));
        if (FImages) {
            width += std::max(FImages->Width() + 2, minOffset);
            if (FImages->ValidIndex(imageIndex)) height = std::max(height, FImages->Height() + 4);
        } else if (graphic && !graphic->Empty()) {
            const QSize g = GraphicSize(graphic, numGlyphs);
            width += std::max(g.width() + 2, minOffset);
            height = std::max(height, g.height() + 4);
        } else if (minOffset != 0) {
            width += minOffset;
        }
    }
    DoMeasureItem(item, width, height);
    if (IsTopLevel(item)) width += int(LeftMargin) + 1;
    return QSize(width, height);
}

void TVzPopupMenu::DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TOwnerDrawState state)
{
    if (!FOwnerDraw) {
        TPopupMenu::DrawItem(canvas, item, rect, state);
        return;
    }
    FCanvas = &canvas;
    struct TEnd {
        TVzPopupMenu* M;
        TCanvas& C;
        ~TEnd()
        {
            C.Restore();
            M->FCanvas = nullptr;
        }
    } end{this, canvas};
    canvas.Save();
    if (IsTopLevel(item) && LeftMargin > 0) {
        const TRect clip = canvas.ClipRect();
        PaintLeftMargin({0, clip.Top, int(LeftMargin), clip.Bottom});
    }
    canvas.Font = TFont(ItemFont(item), clMenuText);
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = clMenu;
    if (state.Contains(odSelected) && ButtonStyleCode() == 0) {
        canvas.Brush.Color = clHighlight;
        canvas.Font.Color = clHighlightText;
    }
    TRect r = rect;
    if (IsTopLevel(item)) r.Left += int(LeftMargin) + 1;
    canvas.Painter().setClipRect(r.ToQRect(), Qt::IntersectClip);

    const TGraphic* graphic = nullptr;
    TColor color = canvas.Brush.Color;
    int numGlyphs = 1;
    GetItemParams(item, state, canvas.Font, color, graphic, numGlyphs);
    if (color != clNone) {
        canvas.Brush.Color = color;
        canvas.FillRect(r);
    }
    if (OnDrawItem) {
        OnDrawItem(this, item, r, state);
        return;
    }
    int imageIndex = item->ImageIndex;
    GetImageIndex(item, state, imageIndex);
    DrawContent(canvas, item, r, state, imageIndex, numGlyphs, graphic);
}

namespace {
struct TItemColors {
    bool Relief;
    TColor Disabled;
};

// A bitmap in an item: disabled ones embossed, coloured ones (and any inside a sunken box)
// with their transparent colour left out, monochrome ones in the text and brush colours.
void DrawMenuBitmap(TCanvas& canvas, const TBitmap& bitmap, int x, int y, bool disabled, bool selected, bool inBox)
{
    if (disabled) {
        const TColor shade = selected ? clGrayText : clBtnShadow;
        const bool relief = NewStyleControls() && (!selected || ColorToRGB(clGrayText) == ColorToRGB(clHighlight));
        if (bitmap.Monochrome()) {
            const QImage stencil = StencilOfColor(bitmap.Image(), clBlack);
            if (relief) PaintThroughStencil(canvas, x + 1, y + 1, stencil, clBtnHighlight);
            PaintThroughStencil(canvas, x, y, stencil, shade);
        } else {
            const auto d = MakeDisabledBitmapEx(bitmap, clBlack, clMenu, clBtnHighlight, shade, relief);
            DrawBitmapMasked(canvas, x, y, *d, ColorToRGB(clMenu));
        }
        return;
    }
    if (!bitmap.Monochrome() || inBox) DrawBitmapMasked(canvas, x, y, bitmap, bitmap.TransparentColor() & ~0x02000000);
    else canvas.Draw(x, y, bitmap);
}
} // namespace

void TVzPopupMenu::DrawContent(TCanvas& canvas, TMenuItem* item, TRect r, TOwnerDrawState state, int imageIndex,
                               int numGlyphs, const TGraphic* graphic)
{
    const bool selected = state.Contains(odSelected);
    const bool disabled = state.Contains(odDisabled) || state.Contains(odGrayed);
    const bool checked = item->Checked();
    const int btn = ButtonStyleCode();
    const int checkOffset = CheckOffset();
    int minOffset = int(MinTextOffset);
    // 1. Sunken box, relief and disabled colour.
    const bool sunken = checked && !ShowCheckMarks && btn == 0;
    const bool relief = NewStyleControls() && !(selected && btn == 0 && ColorToRGB(clGrayText) != ColorToRGB(clHighlight));
    const TColor disabledColor = selected && btn == 0 ? clGrayText : clBtnShadow;
    const TColor fontColor = canvas.Font.Color;
    const TColor brushColor = canvas.Brush.Color;
    // 2. The check column.
    const QSize checkSize = ShowCheckMarks ? QSize(GetSystemMetrics(SM_CXMENUCHECK), GetSystemMetrics(SM_CYMENUCHECK)) : QSize(2, 0);
    int offset = 2 * checkOffset + checkSize.width();
    // 3. A selected item as a button.
    if (selected && btn == 1) Frame3D(canvas, r, clBtnShadow, clBtnHighlight);
    else if (selected && btn == 2) Frame3D(canvas, r, clBtnHighlight, clBtnShadow);
    const TBitmap checkMark = MenuGlyphBitmap(GetSystemMetrics(SM_CXMENUCHECK), GetSystemMetrics(SM_CYMENUCHECK),
                                              item->RadioItem ? DFCS_MENUBULLET : DFCS_MENUCHECK);
    // 4. The check mark.
    if (checked && ShowCheckMarks)
        DrawMenuBitmap(canvas, checkMark, r.Left + (offset - checkSize.width()) / 2, (r.Bottom + r.Top - checkSize.height()) / 2,
                       disabled, selected, false);
    // 5.
    if (FImages) minOffset = std::max(minOffset, FImages->Width() + 2);
    if (!ShowCheckMarks && (graphic || minOffset > 0)) offset = checkOffset;
    auto sunkenBox = [&](const TRect& box) {
        if (!sunken) return;
        canvas.Brush.Style = selected ? bsSolid : bsPattern;
        canvas.Brush.Color = clMenu;
        canvas.Brush.PatternBack = clBtnHighlight;
        canvas.FillRect({box.Left, box.Top + 1, box.Right, box.Bottom - 1});
        canvas.Brush.Style = bsSolid;
        canvas.Brush.Color = brushColor;
        TRect frame = box;
        Frame3D(canvas, frame, disabledColor, clBtnHighlight);
    };
    // 6. The picture.
    if (FImages && FImages->ValidIndex(imageIndex)) {
        const int w = std::max(FImages->Width() + 2, minOffset);
        sunkenBox(TRect::Bounds(r.Left + offset - 1, r.Top, w + 2, r.Height()));
        const int x = r.Left + offset + (w - FImages->Width()) / 2;
        const int y = (r.Bottom + r.Top - FImages->Height()) / 2;
        if (disabled) DrawImageDisabled(*FImages, canvas, x, y, imageIndex, clBtnHighlight, disabledColor, relief);
        else FImages->Draw(canvas, x, y, imageIndex);
        offset += checkOffset + w;
    } else if (graphic && !graphic->Empty() && !item->IsLine()) {
        const QSize g = GraphicSize(graphic, numGlyphs);
        const int w = std::max(g.width() + 2, minOffset);
        sunkenBox(TRect::Bounds(r.Left + offset - 1, r.Top, w + 2, r.Height()));
        const int x = r.Left + offset + (w - g.width()) / 2;
        const int y = (r.Bottom + r.Top - g.height()) / 2;
        if (const auto* bitmap = dynamic_cast<const TBitmap*>(graphic)) {
            if (numGlyphs >= 2 && numGlyphs <= 5) {
                int cell = disabled ? 1 : checked ? 3 : selected ? 2 : 0;
                if (cell > numGlyphs - 1) cell = 0;
                TBitmap part;
                ExtractGlyphCell(bitmap, &part, numGlyphs, 1, cell);
                DrawMenuBitmap(canvas, part, x, y, false, selected, sunken);
            } else {
                DrawMenuBitmap(canvas, *bitmap, x, y, disabled, selected, sunken);
            }
        } else if (const auto* icon = dynamic_cast<const TIcon*>(graphic)) {
            canvas.DrawImage(x, y, MakeRealSizeIcon(*icon));
        } else {
            canvas.Draw(x, y, *graphic);
        }
        offset += checkOffset + w;
    } else if (minOffset > 0) {
        const TRect box = TRect::Bounds(r.Left + offset - 1, r.Top, minOffset + 2, r.Height());
        if (sunken) {
            sunkenBox(box);
            DrawMenuBitmap(canvas, checkMark, box.Left + (minOffset - checkMark.Width()) / 2 + 2,
                           (r.Bottom + r.Top - checkMark.Height()) / 2 + 1, disabled, selected, true);
        }
        offset += checkOffset + minOffset;
    }
    canvas.Font.Color = fontColor;
    canvas.Brush.Color = brushColor;
    // 8. A separator.
    if (item->IsLine()) {
        const int y = (r.Top + r.Bottom) / 2 - 1;
        canvas.Pen.Color = clBtnShadow;
        canvas.MoveTo(r.Left, y);
        canvas.LineTo(r.Right, y);
        canvas.Pen.Color = clBtnHighlight;
        canvas.MoveTo(r.Left, y + 1);
        canvas.LineTo(r.Right, y + 1);
        return;
    }
    // 7. Caption and shortcut.
    int tabWidth = canvas.TextWidth(PlainCaption(item) + QStringLiteral("\t\t"));
    if (item->Parent() && !item->ShortCut.isEmpty())
        for (int i = 0; i < item->Parent()->Count(); ++i)
            tabWidth = std::max(tabWidth, canvas.TextWidth(PlainCaption(item->Parent()->Items(i)) + QStringLiteral("\t\t")));
    canvas.Brush.Style = bsClear;
    const int y = (r.Bottom + r.Top - canvas.TextHeight(QStringLiteral("Ay"))) / 2;
    auto text = [&](TColor color, int d) {
        canvas.Font.Color = color;
        TRect tr{r.Left + offset + d, y + d, r.Right + d, r.Bottom + d};
        canvas.DrawText(item->Caption, tr, DT_SINGLELINE | DT_EXPANDTABS | DT_LEFT);
        if (item->Count() == 0 && !item->ShortCut.isEmpty()) {
            TRect sr{r.Left + offset + tabWidth + d, y + d, r.Right + d, r.Bottom + d};
            canvas.DrawText(item->ShortCutText(), sr, DT_SINGLELINE | DT_EXPANDTABS | DT_LEFT | DT_NOPREFIX);
        }
    };
    if (disabled) {
        if (relief) text(clBtnHighlight, 1);
        text(disabledColor, 0);
    } else {
        text(fontColor, 0);
    }
}

void TVzPopupMenu::PaintLeftMargin(const TRect& rect)
{
    if (OnDrawMargin) {
        OnDrawMargin(this, rect);
        return;
    }
    if (!FCanvas) return;
    TRect r = rect;
    if (NewStyleControls()) r.Right -= 3;
    const TColor start = RGBToColor(0, 0, 255);
    FillGradientRect(*FCanvas, r, start, RGBToColor(0, 0, 255 >> 2), 0, 32);
    if (NewStyleControls()) {
        FCanvas->Pen.Color = clBtnShadow;
        FCanvas->MoveTo(rect.Right - 2, rect.Top);
        FCanvas->LineTo(rect.Right - 2, rect.Bottom);
        FCanvas->Pen.Color = clBtnHighlight;
        FCanvas->MoveTo(rect.Right - 1, rect.Top);
        FCanvas->LineTo(rect.Right - 1, rect.Bottom);
    }
}
