#include "utilities/VZCtrls.h"

#include "platform/core/ScopeExit.h"
#include "platform/vcl/Edges.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "utilities/VCLUtils.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QShortcutEvent>
#include <QTimer>

// ---- the shared image lists ----

namespace {
std::unique_ptr<TGlyphCache> GCache;

TGlyphCache& Cache()
{
    if (!GCache) GCache = std::make_unique<TGlyphCache>();
    return *GCache;
}
} // namespace

TGlyphCache* GlyphCache() { return GCache.get(); }

int TGlyphList::AddGlyph(const TBitmap& image, TColor maskColor)
{
    int index = 0;
    while (index < int(FUsed.size()) && FUsed[size_t(index)]) ++index;
    if (index >= int(FUsed.size())) {
        QImage blank(Width(), Height(), QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        AddImage(blank);
        FUsed.resize(size_t(Count()), false);
    }
    FUsed[size_t(index)] = true;
    ReplaceMasked(index, image, maskColor);
    ++FUsedCount;
    return index;
}

void TGlyphList::ReleaseGlyph(int index)
{
    if (index < 0 || index >= int(FUsed.size()) || !FUsed[size_t(index)]) return;
    FUsed[size_t(index)] = false;
    --FUsedCount;
}

TGlyphList* TGlyphCache::GetList(int width, int height)
{
    for (auto it = FLists.rbegin(); it != FLists.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height) return it->get();
    FLists.push_back(std::make_unique<TGlyphList>(width, height));
    return FLists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list)
{
    if (!list || list->UsedCount() > 0) return;
    for (auto it = FLists.begin(); it != FLists.end(); ++it)
        if (it->get() == list) {
            FLists.erase(it);
            return;
        }
}

// ---- TVzButtonGlyph ----

TVzButtonGlyph::TVzButtonGlyph()
{
    Cache();
    FOriginal.OnChange = [this] { GlyphChanged(); };
}

TVzButtonGlyph::~TVzButtonGlyph()
{
    FOriginal.OnChange = nullptr;
    Invalidate();
    // The cache goes when a glyph leaves it without lists.
    if (GCache && GCache->Empty()) GCache.reset();
}

void TVzButtonGlyph::Invalidate()
{
    for (int& index : FIndexes) {
        if (index >= 0 && FGlyphList) FGlyphList->ReleaseGlyph(index);
        index = -1;
    }
    if (FGlyphList && GCache) GCache->ReturnList(FGlyphList);
    FGlyphList = nullptr;
    FGreyImages.clear();
}

void TVzButtonGlyph::SetGlyph(const TBitmap& glyph)
{
    Invalidate();
    auto onChange = std::move(FOriginal.OnChange);
    FOriginal = glyph;
    FOriginal.OnChange = std::move(onChange);
    FOriginal.Changed();
}

void TVzButtonGlyph::GlyphChanged()
{
    Invalidate();
    if (FOriginal.Height() > 0) {
        FTransparentColor = FOriginal.TransparentColor() & ~0x02000000;
        if (FOriginal.Width() % FOriginal.Height() == 0) {
            const int count = FOriginal.Width() / FOriginal.Height();
            FNumGlyphs = count > 5 ? 1 : std::max(1, count);
        }
    }
    if (OnChange) OnChange();
}

void TVzButtonGlyph::SetNumGlyphs(int value)
{
    value = std::clamp(value, 0, 5);
    if (value == 0 || value == FNumGlyphs) return;
    Invalidate();
    FNumGlyphs = value;
    if (OnChange) OnChange();
}

TColor TVzButtonGlyph::GreyColor(TColor color, TColor transparent)
{
    const TColor rgb = ColorToRGB(color);
    if (rgb == (ColorToRGB(transparent) & 0xFFFFFF) || rgb == ColorToRGB(clBtnFace)) return color;
    const int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    const int grey = (r * 77 + g * 150 + b * 29) >> 8;
    return RGBToColor(grey, grey, grey);
}

int TVzButtonGlyph::CreateButtonGlyph(TButtonState state)
{
    if (state == bsDown && FNumGlyphs < 3) state = bsUp;
    if (FIndexes[state] != -1) return FIndexes[state];
    if (FOriginal.Empty()) return -1;
    const int w = FOriginal.Width() / FNumGlyphs, h = FOriginal.Height();
    if (w <= 0) return -1;
    if (!FGlyphList) FGlyphList = Cache().GetList(w, h);
    TBitmap image(w, h);
    image.Fill(clBtnFace);
    const int cell = int(state) >= FNumGlyphs ? 0 : int(state);
    auto copyCell = [&](int c) {
        TCanvas canvas(image);
        canvas.CopyRect({0, 0, w, h}, FOriginal, TRect::Bounds(c * w, 0, w, h));
    };
    int index = -1;
    switch (state) {
    case bsUp:
    case bsDown:
    case bsExclusive:
        copyCell(cell);
        index = FGlyphList->AddGlyph(image, FTransparentColor);
        break;
    case bsDisabled:
        if (FNumGlyphs > 1) {
            copyCell(cell);
            index = FGlyphList->AddGlyph(image, FTransparentColor);
        } else {
            const auto disabled = MakeDisabledBitmapEx(FOriginal, clBlack, clBtnFace, clBtnHighlight, clBtnShadow, true);
            index = FGlyphList->AddGlyph(*disabled, clBtnFace);
        }
        break;
    case bsInactive:
        if (FNumGlyphs == 5) {
            copyCell(4);
        } else {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) image.SetPixel(x, y, GreyColor(FOriginal.Pixel(x, y), FTransparentColor));
        }
        index = FGlyphList->AddGlyph(image, FTransparentColor);
        break;
    }
    FIndexes[state] = index;
    return index;
}

TVzButtonGlyph::TLayout TVzButtonGlyph::CalcButtonLayout(TCanvas& canvas, const TRect& client, const QString& caption,
                                                         TButtonLayout layout, int margin, int spacing,
                                                         bool dropDownMark, unsigned textFlags,
                                                         const TImageList* images, int imageIndex) const
{
    TLayout out;
    const int cw = client.Width(), ch = client.Height();
    int gw = 0, gh = 0;
    if (images && images->ValidIndex(imageIndex)) {
        gw = images->Width();
        gh = images->Height();
    } else if (!FOriginal.Empty()) {
        gw = FOriginal.Width() / FNumGlyphs;
        gh = FOriginal.Height();
    }
    out.GlyphSize = QSize(gw, gh);
    const bool vertical = layout == blGlyphTop || layout == blGlyphBottom;
    // 1. The room for the text.
    int roomW = cw, roomH = ch;
    int& along = vertical ? roomH : roomW;
    along -= vertical ? gh : gw;
    if (margin != -1) along -= margin;
    if (spacing != -1) along -= spacing;
    if (!vertical && dropDownMark) roomW -= 9;
    roomW = std::max(0, roomW);
    roomH = std::max(0, roomH);
    // 2. The caption fitted to the room.
    QString text = caption.left(255);
    if (!WordWrap) {
        QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
        for (QString& line : lines) line = ShortenTextToWidth(line, canvas, roomW);
        text = lines.join(QLatin1Char('\n'));
        while (!text.isEmpty() && (text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\n'))) text.chop(1);
    }
    out.Caption = text;
    // 3. Its size.
    int tw = 0, th = 0;
    if (!text.isEmpty()) {
        TRect r{0, 0, roomW, 0};
        canvas.DrawText(text, r, DT_CALCRECT | DT_CENTER | (WordWrap ? unsigned(DT_WORDBREAK) : 0u) | textFlags);
        th = std::clamp(r.Height(), 0, roomH);
        tw = std::clamp(r.Width(), 0, roomW);
    }
    // 4. The drop-down mark's room.
    if (dropDownMark) {
        if (gw == 0 || gh == 0 || layout == blGlyphLeft) {
            tw += 9;
            out.MarkAfterText = true;
        } else {
            gw += 6;
        }
    }
    // 5. Centred across the layout direction.
    QPoint glyph, textPos;
    if (vertical) {
        glyph.setX(cw / 2 - gw / 2);
        textPos.setX(cw / 2 - tw / 2);
    } else {
        glyph.setY(ch / 2 - gh / 2);
        textPos.setY(ch / 2 - th / 2);
    }
    // 6.-7. Margin and spacing along it.
    if (tw == 0 || gw == 0) spacing = 0;
    const int clientAlong = vertical ? ch : cw;
    const int glyphAlong = vertical ? gh : gw;
    const int textAlong = vertical ? th : tw;
    if (margin == -1 && spacing == -1) {
        margin = spacing = (clientAlong - (glyphAlong + textAlong)) / 3;
    } else if (margin == -1) {
        const int total = spacing + glyphAlong + textAlong;
        margin = clientAlong / 2 - total / 2;
    } else if (spacing == -1) {
        spacing = (clientAlong - margin - glyphAlong) / 2 - textAlong / 2;
    }
    // 8. Placed.
    switch (layout) {
    case blGlyphLeft:
        glyph.setX(margin);
        textPos.setX(margin + gw + spacing);
        break;
    case blGlyphRight:
        glyph.setX(cw - margin - gw);
        textPos.setX(glyph.x() - spacing - tw);
        break;
    case blGlyphTop:
        glyph.setY(margin);
        textPos.setY(margin + gh + spacing);
        break;
    case blGlyphBottom:
        glyph.setY(ch - margin - gh);
        textPos.setY(glyph.y() - spacing - th);
        break;
    }
    // 9. In the client rectangle.
    out.GlyphPos = glyph + client.TopLeft();
    out.TextBounds = TRect::Bounds(textPos.x() + client.Left, textPos.y() + client.Top, tw, th);
    return out;
}

namespace {
void DrawMark(TCanvas& canvas, int x, int y, TColor color)
{
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = color;
    canvas.FillRect(TRect(x, y - 1, x + 7, y));
    canvas.FillRect({x + 1, y, x + 6, y + 1});
    canvas.FillRect({x + 2, y + 1, x + 5, y + 2});
    canvas.FillRect({x + 3, y + 2, x + 4, y + 3});
}
} // namespace

TRect TVzButtonGlyph::Draw(TCanvas& canvas, const TRect& client, const QString& caption, TButtonLayout layout,
                           int margin, int spacing, bool dropDownMark, TButtonState state, unsigned textFlags,
                           const TImageList* images, int imageIndex)
{
    const TLayout l = CalcButtonLayout(canvas, client, caption, layout, margin, spacing, dropDownMark, textFlags, images, imageIndex);
    if (images && images->ValidIndex(imageIndex)) {
        if (state == bsDisabled) {
            DrawImageDisabled(*images, canvas, l.GlyphPos.x(), l.GlyphPos.y(), imageIndex, clBtnHighlight, clBtnShadow, true);
        } else if (state == bsInactive) {
            QImage& grey = FGreyImages[{images, imageIndex}];
            if (grey.isNull()) {
                QImage argb = images->Image(imageIndex);
                grey = argb;
                for (int y = 0; y < grey.height(); ++y)
                    for (int x = 0; x < grey.width(); ++x) {
                        const QRgb px = argb.pixel(x, y);
                        if (qAlpha(px) == 0) continue;
                        const TColor g = GreyColor(RGBToColor(qRed(px), qGreen(px), qBlue(px)), clNone);
                        grey.setPixel(x, y, qRgba(g & 0xFF, (g >> 8) & 0xFF, (g >> 16) & 0xFF, qAlpha(px)));
                    }
            }
            canvas.DrawImage(l.GlyphPos.x(), l.GlyphPos.y(), grey);
        } else {
            images->Draw(canvas, l.GlyphPos.x(), l.GlyphPos.y(), imageIndex);
        }
    } else {
        const int index = CreateButtonGlyph(state);
        if (index >= 0 && FGlyphList) FGlyphList->Draw(canvas, l.GlyphPos.x(), l.GlyphPos.y(), index);
    }
    TRect textRect = l.TextBounds;
    if (l.MarkAfterText) textRect.Right -= 9;
    if (!l.Caption.isEmpty()) {
        const unsigned flags = DT_VCENTER | textFlags | (WordWrap ? unsigned(DT_WORDBREAK) : 0u);
        canvas.Brush.Style = bsClear;
        const TColor fontColor = canvas.Font.Color;
        if (state == bsDisabled) {
            canvas.Font.Color = clBtnHighlight;
            TRect shifted = textRect.Offset(1, 1);
            canvas.DrawText(l.Caption, shifted, flags);
            canvas.Font.Color = clBtnShadow;
        }
        TRect r = textRect;
        canvas.DrawText(l.Caption, r, flags);
        canvas.Font.Color = fontColor;
    }
    if (dropDownMark) {
        int x, y;
        if (!l.MarkAfterText && l.GlyphSize.width() > 0 && l.GlyphSize.height() > 0) {
            x = l.GlyphPos.x() + l.GlyphSize.width() + 1;
            y = l.GlyphPos.y() + l.GlyphSize.height() / 2;
        } else {
            x = l.Caption.isEmpty() ? (client.Left + client.Right - 7) / 2 : textRect.Right + 3;
            y = l.TextBounds.Top + l.TextBounds.Height() / 2;
        }
        if (state == bsDisabled) {
            DrawMark(canvas, x + 1, y + 1, clBtnHighlight);
            DrawMark(canvas, x, y, clBtnShadow);
        } else {
            DrawMark(canvas, x, y, clBtnText);
        }
    }
    return textRect;
}

// ---- TVzSpeedButton ----

TVzSpeedButton::TVzSpeedButton(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    resize(25, 25);
    FGlyph.OnChange = [this] { update(); };
}

TVzSpeedButton::~TVzSpeedButton() { FGlyph.OnChange = nullptr; }

void TVzSpeedButton::SetCaption(const QString& caption)
{
    if (caption == FCaption) return;
    FCaption = caption;
    if (FShortcutId) releaseShortcut(FShortcutId);
    FShortcutId = 0;
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
    if (!mnemonic.isEmpty()) FShortcutId = grabShortcut(mnemonic, Qt::WindowShortcut);
    update();
}

void TVzSpeedButton::SetGlyph(const TBitmap& glyph) { FGlyph.SetGlyph(glyph); }

void TVzSpeedButton::SetNumGlyphs(int value)
{
    FGlyph.SetNumGlyphs(std::min(value, 5));
    update();
}

void TVzSpeedButton::SetLayout(TButtonLayout value)
{
    if (value == FLayout) return;
    FLayout = value;
    update();
}

void TVzSpeedButton::SetMargin(int value)
{
    if (value == FMargin || value < -1) return;
    FMargin = value;
    update();
}

void TVzSpeedButton::SetSpacing(int value)
{
    if (value == FSpacing) return;
    FSpacing = value;
    update();
}

void TVzSpeedButton::SetFlat(bool value)
{
    if (value == FFlat) return;
    FFlat = value;
    update();
}

void TVzSpeedButton::SetStyle(TButtonStyle value)
{
    if (value == FStyle) return;
    FStyle = value;
    update();
}

void TVzSpeedButton::SetTransparent(bool value)
{
    if (value == FTransparent) return;
    FTransparent = value;
    setAttribute(Qt::WA_OpaquePaintEvent, !value);
    update();
}

void TVzSpeedButton::SetMarkDropDown(bool value)
{
    if (value == FMarkDropDown) return;
    FMarkDropDown = value;
    update();
}

void TVzSpeedButton::SetGrayedInactive(bool value)
{
    if (value == FGrayedInactive) return;
    FGrayedInactive = value;
    update();
}

void TVzSpeedButton::SetAlignment(TAlignment value)
{
    if (value == FGlyph.Alignment) return;
    FGlyph.Alignment = value;
    update();
}

void TVzSpeedButton::SetWordWrap(bool value)
{
    if (value == FGlyph.WordWrap) return;
    FGlyph.WordWrap = value;
    update();
}

void TVzSpeedButton::SetDropDownMenu(TPopupMenu* menu)
{
    if (menu == FDropDownMenu) return;
    FDropDownMenu = menu;
    if (FMarkDropDown) update();
}

void TVzSpeedButton::SetAllowTimer(bool value)
{
    FAllowTimer = value;
    if (!value && FRepeatTimer) {
        delete FRepeatTimer;
        FRepeatTimer = nullptr;
    }
}

void TVzSpeedButton::SetDown(bool value)
{
    if (FGroupIndex == 0) value = false;
    if (value == FDown || (FDown && !FAllowAllUp)) return;
    FDown = value;
    if (value) {
        if (FState == bsUp) update();
        FState = bsExclusive;
    } else {
        FState = bsUp;
    }
    repaint();
    if (value) UpdateExclusive();
    update();
}

void TVzSpeedButton::SetGroupIndex(int value)
{
    if (value == FGroupIndex) return;
    FGroupIndex = value;
    UpdateExclusive();
}

void TVzSpeedButton::SetAllowAllUp(bool value)
{
    if (value == FAllowAllUp) return;
    FAllowAllUp = value;
    UpdateExclusive();
}

void TVzSpeedButton::UpdateExclusive()
{
    if (FGroupIndex == 0 || !parentWidget()) return;
    for (QObject* child : parentWidget()->children())
        if (auto* button = qobject_cast<TVzSpeedButton*>(child)) button->ButtonPressed(FGroupIndex, this);
}

void TVzSpeedButton::ButtonPressed(int groupIndex, TVzSpeedButton* sender)
{
    if (sender == this || groupIndex != FGroupIndex) return;
    if (sender->FDown && FDown) {
        FDown = false;
        FState = bsUp;
        update();
    }
    FAllowAllUp = sender->FAllowAllUp;
}

TButtonState TVzSpeedButton::DrawnState() const
{
    if (FFlat && !FMouseInControl) return bsInactive;
    return FState;
}

void TVzSpeedButton::PaintGlyph(TCanvas& canvas, const TRect& rect, TButtonState state, bool drawMark)
{
    unsigned flags = FGlyph.Alignment == taLeftJustify ? DT_LEFT : FGlyph.Alignment == taRightJustify ? DT_RIGHT : DT_CENTER;
    if (layoutDirection() == Qt::RightToLeft) {
        if (flags == DT_LEFT) flags = DT_RIGHT;
        else if (flags == DT_RIGHT) flags = DT_LEFT;
        flags |= DT_RTLREADING;
    }
    FGlyph.Draw(canvas, rect, FCaption, FLayout, FMargin, FSpacing, drawMark, state, flags);
}

void TVzSpeedButton::PaintButton(TCanvas& canvas)
{
    if (!isEnabled()) {
        FState = bsDisabled;
        FDragging = false;
    } else if (FState == bsDisabled) {
        FState = FDown && FGroupIndex != 0 ? bsExclusive : bsUp;
    }
    const TButtonState drawn = DrawnState();
    canvas.Font = TFont(font(), clBtnText);
    canvas.Brush.Color = clBtnFace;
    canvas.FillRect({0, 0, width(), height()});
    if (FTransparent) PaintParentBackground(this, canvas);

    TRect r{0, 0, width(), height()};
    const bool newLook = FStyle == bsNew || (FStyle == bsAutoDetect && NewStyleControls());
    if (drawn != bsInactive || FState == bsExclusive) {
        const bool downLook = FState == bsDown || FState == bsExclusive;
        if (!downLook) {
            if (newLook) {
                if (FFlat) Frame3D(canvas, r, clBtnHighlight, clBtnShadow);
                else {
                    Frame3D(canvas, r, clBtnHighlight, clWindowFrame);
                    Frame3D(canvas, r, clBtnFace, clBtnShadow);
                }
            } else if (FFlat) {
                Frame3D(canvas, r, clBtnHighlight, clWindowFrame);
            } else {
                Frame3D(canvas, r, clWindowFrame, clWindowFrame);
                Frame3D(canvas, r, clBtnHighlight, clBtnShadow);
            }
        } else if (newLook) {
            Frame3D(canvas, r, clWindowFrame, clBtnHighlight);
            if (!FFlat) Frame3D(canvas, r, clBtnShadow, clBtnFace);
        } else if (FFlat) {
            Frame3D(canvas, r, clWindowFrame, clBtnHighlight);
        } else {
            Frame3D(canvas, r, clWindowFrame, clWindowFrame);
            canvas.Pen.Color = clBtnShadow;
            canvas.Polyline({QPoint(r.Left, r.Bottom - 1), QPoint(r.Left, r.Top), QPoint(r.Right, r.Top)});
        }
        r = r.Inflated(-1, -1);
    } else {
        r = TRect(0, 0, width(), height()).Inflated(-2, -2);
    }
    if (FState == bsExclusive && !FTransparent && (!FFlat || drawn == bsInactive)) {
        canvas.Brush.Style = bsPattern;
        canvas.Brush.Color = clBtnFace;
        canvas.Brush.PatternBack = clBtnHighlight;
        canvas.FillRect(r.Inflated(1, 1));
        canvas.Brush.Style = bsSolid;
    }
    if (FState == bsDown || FState == bsExclusive) r = r.Offset(1, 1);
    const TButtonState glyphState = FState != bsDisabled && FGrayedInactive ? drawn : FState;
    PaintGlyph(canvas, r, glyphState, FMarkDropDown && FDropDownMenu);
}

void TVzSpeedButton::paintEvent(QPaintEvent*)
{
    // Through a picture of the whole button, so frame, pattern, glyph and caption appear at once.
    TBitmap picture(width(), height());
    {
        TCanvas canvas(picture);
        PaintButton(canvas);
    }
    QPainter p(this);
    p.drawImage(0, 0, picture.Image());
}

QPoint TVzSpeedButton::DropDownPoint() const
{
    if (!FDropDownMenu) return QPoint(0, 0);
    const TPopupAlignment a = FDropDownMenu->Alignment;
    if (MenuPosition == dmpBottom) {
        if (a == paLeft) return QPoint(-1, height());
        if (a == paRight) return QPoint(width() + 1, height());
        return QPoint(width() / 2, height());
    }
    if (a == paLeft) return QPoint(width(), -1);
    if (a == paRight) return QPoint(-1, -1);
    return QPoint(width() / 2, height());
}

void TVzSpeedButton::mousePressEvent(QMouseEvent* event)
{
    if (FMenuTracking) return;
    const QPoint pos = event->position().toPoint();
    const TMouseButton button = event->button() == Qt::RightButton ? mbRight : event->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
    if (OnMouseDown) OnMouseDown(this, button, ShiftStateFromModifiers(event->modifiers(), event->buttons()), pos.x(), pos.y());
    if (!FMouseInControl && isEnabled()) {
        FMouseInControl = true;
        repaint();
    }
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        if (event->button() == Qt::RightButton) UpdateTracking();
        return;
    }
    if (!FDown) {
        FState = bsDown;
        repaint();
    }
    FDragging = true;
    FPressed = true;
    FMenuTracking = true;
    TScopeExit endTracking([this] { FMenuTracking = false; });
    if (FDropDownMenu && FDropDownMenu->AutoPopup) {
        QPointer<TVzSpeedButton> alive(this);
        FDropDownMenu->PopupComponent = this;
        const QPoint at = mapToGlobal(DropDownPoint());
        FDropDownMenu->Popup(at.x(), at.y());
        if (!alive) return;
        DoMouseUp(Qt::LeftButton, pos);
    }
    if (FAllowTimer) {
        if (!FRepeatTimer) {
            FRepeatTimer = new QTimer(this);
            connect(FRepeatTimer, &QTimer::timeout, this, [this] { TApplication::Guard([this] { RepeatTimerTick(); }); });
        }
        FRepeatTimer->start(InitPause);
    }
}

void TVzSpeedButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!FDragging) return;
    const TButtonState state = FDown ? bsExclusive : Inside(event->position().toPoint()) ? bsDown : bsUp;
    if (state != FState) {
        FState = state;
        repaint();
    }
}

void TVzSpeedButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const TMouseButton button = event->button() == Qt::RightButton ? mbRight : event->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
    if (OnMouseUp) OnMouseUp(this, button, ShiftStateFromModifiers(event->modifiers(), event->buttons()), pos.x(), pos.y());
    DoMouseUp(event->button(), pos);
}

void TVzSpeedButton::DoMouseUp(Qt::MouseButton button, const QPoint& pos)
{
    const bool inside = Inside(pos);
    // Only a release that ends this button's own press can click it.
    const bool pressed = FPressed && button == Qt::LeftButton;
    if (FDragging && button == Qt::LeftButton) {
        FDragging = false;
        if (FGroupIndex == 0) {
            FState = bsUp;
            FMouseInControl = false;
            if (inside) repaint();
            else update();
        } else if (inside) {
            SetDown(!FDown);
            if (FDown) repaint();
        } else {
            if (FDown) FState = bsExclusive;
            repaint();
        }
    }
    if (button == Qt::LeftButton) FPressed = false;
    if (inside && pressed && !FMenuTracking) Click();
    UpdateTracking();
    if (FRepeatTimer) FRepeatTimer->stop();
}

void TVzSpeedButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (FMenuTracking) return;
    // The second press of a double click presses the button as any press does.
    mousePressEvent(event);
    if (FDown && OnDblClick) OnDblClick(this);
}

void TVzSpeedButton::RepeatTimerTick()
{
    if (!FRepeatTimer) return;
    FRepeatTimer->setInterval(RepeatInterval);
    if (FState == bsDown && FDragging) {
        try {
            Click();
        } catch (...) {
            FRepeatTimer->stop();
            throw;
        }
    }
}

void TVzSpeedButton::Click()
{
    if (ModalResult != 0)
        if (auto* dialog = qobject_cast<QDialog*>(window())) dialog->done(ModalResult);
    if (OnClick) OnClick(this);
    else if (FAction) FAction->trigger();
}

void TVzSpeedButton::SetMouseInControl(bool value)
{
    if (value == FMouseInControl) return;
    FMouseInControl = value;
    if (FFlat) update();
    if (value && OnMouseEnter) OnMouseEnter(this);
    if (!value && OnMouseLeave) OnMouseLeave(this);
}

void TVzSpeedButton::UpdateTracking()
{
    const bool over = isEnabled() && isVisible() && QApplication::widgetAt(QCursor::pos()) == this && IsOwnThreadWindowActive();
    SetMouseInControl(over);
}

void TVzSpeedButton::enterEvent(QEnterEvent*)
{
    if (!FMouseInControl && isEnabled() && IsOwnThreadWindowActive()) SetMouseInControl(true);
}

void TVzSpeedButton::leaveEvent(QEvent*)
{
    if (FMouseInControl && isEnabled() && !FDragging) SetMouseInControl(false);
}

void TVzSpeedButton::MakeStateImage()
{
    FGlyph.CreateButtonGlyph(!isEnabled() ? bsDisabled : FFlat ? bsInactive : bsUp);
}

void TVzSpeedButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        MakeStateImage();
        UpdateTracking();
        update();
    } else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        // The images were made in the old colours.
        FGlyph.Invalidate();
    }
    QWidget::changeEvent(event);
}

void TVzSpeedButton::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    UpdateTracking();
}

bool TVzSpeedButton::event(QEvent* event)
{
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(event)->shortcutId() == FShortcutId) {
        if (isEnabled()) TApplication::Guard([this] { Click(); });
        return true;
    }
    return QWidget::event(event);
}

void TVzSpeedButton::SetAction(QAction* action)
{
    if (FAction) disconnect(FAction, nullptr, this, nullptr);
    FAction = action;
    if (!action) return;
    connect(action, &QAction::changed, this, [this] { ActionChanged(); });
    ActionChanged();
}

void TVzSpeedButton::ActionChanged()
{
    if (!FAction) return;
    setEnabled(FAction->isEnabled());
    setVisible(FAction->isVisible());
    if (!FAction->toolTip().isEmpty()) setToolTip(FAction->toolTip());
    if (FGroupIndex != 0 && FAction->isChecked() != FDown) {
        const bool allowAllUp = FAllowAllUp;
        FAllowAllUp = true;
        SetDown(FAction->isChecked());
        FAllowAllUp = allowAllUp;
    }
    if (FGlyph.Glyph().Empty() && !FAction->icon().isNull()) {
        const QSize size = FAction->icon().availableSizes().value(0, QSize(16, 16));
        SetGlyph(GlyphFromImage(FAction->icon().pixmap(size).toImage()));
    }
}
