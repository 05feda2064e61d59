// How the data-aware edit paints itself: its border, and the whole control whenever the line
// edit's own painting would be wrong (unfocused with a non-left alignment or a frame, a hidden
// caret, copies painted into grid cells).

#include "gridlib/core/kqdbedit.h"

#include "gridlib/core/kqcommon.h"
#include "platform/vcl/Edges.h"

#include <QPainter>

void TkqCustomMaskEdit::PaintBorder(TCanvas& canvas) const
{
    if (BorderStyle() == 0 || Frame()->Enabled()) return;
    TRect r(0, 0, width(), height());
    if (Ctl3D()) {
        DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT);
    } else {
        canvas.Brush.Color = clWindowFrame;
        canvas.FrameRect(r);
    }
}

void TkqCustomMaskEdit::FillBackground(TCanvas& canvas, bool focused) const
{
    if (PaintsTransparent() && !focused) return;
    const int b = BorderWidth();
    canvas.Brush.Color = Color();
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(TRect(b, b, width() - b, height() - b));
}

bool TkqDBCustomEdit::PaintsItself() const
{
    if (IsPaintingCopy(this) || !IsCaretShown()) return true;
    return !FFocused && (DisplayAlignment() != taLeftJustify || Frame()->IsInEffect());
}

void TkqDBCustomEdit::DrawEditText(TCanvas& canvas, const TRect& rect, const QString& text, int x, int y)
{
    canvas.Save();
    canvas.SetClipRect(rect);
    const TBrushStyle style = canvas.Brush.Style;
    canvas.Brush.Style = bsClear;
    canvas.TextOut(rect.Left + x, rect.Top + y, text);
    canvas.Brush.Style = style;
    canvas.Restore();
}

void TkqDBCustomEdit::DrawFrame(TCanvas& canvas, bool focused)
{
    Frame()->PaintFrame(canvas, focused, false);
}

void TkqDBCustomEdit::paintEvent(QPaintEvent* event)
{
    const bool lookFocused = FFocused || (FMouseOver && Frame()->MouseEnterSameAsFocus);
    const int b = BorderWidth();
    {
        QPainter painter(this);
        TCanvas canvas(painter);
        PaintBorder(canvas);
        if (PaintsItself()) {
            painter.translate(b, b);
            painter.setClipRect(QRect(0, 0, ClientWidth(), ClientHeight()));
            PaintEdit(canvas);
            return;
        }
        FillBackground(canvas, FFocused);
    }
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    TCanvas canvas(painter);
    // The line edit's panel covers the whole control: the border goes on top again.
    if (Frame()->IsInEffect()) DrawFrame(canvas, lookFocused);
    else PaintBorder(canvas);
}

void TkqDBCustomEdit::PaintCopy(TCanvas& canvas)
{
    PaintEdit(canvas);
}

void TkqDBCustomEdit::PaintEdit(TCanvas& canvas)
{
    const bool copy = IsPaintingCopy(this);
    const bool inGrid = IsInGrid(this);
    const bool copyInGrid = copy && inGrid;
    const bool inInspector = IsInInspector(this);
    const bool transparentUnfocused = PaintsTransparent() && !FFocused;
    const TRect client(0, 0, ClientWidth(), ClientHeight());
    TField* field = FDataLink.Field();
    TkqGridHost* host = ParentGridHost(this);

    // Font and its colour.
    const TColor cellColor = canvas.Font.Color;
    canvas.Font = TFont(font(), FontColor());
    if (!isEnabled() && Color() != clGrayText) canvas.Font.Color = clGrayText;
    else if (copyInGrid) canvas.Font.Color = cellColor;
    else if (host) canvas.Font.Color = host->GridFontColor();

    // The platform would erase the background first.
    if (!copy && !transparentUnfocused) {
        canvas.Brush.Color = Color();
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(client);
    }
    // A single border drawn inside the client area where no 3-D edge shows.
    if (BorderStyle() != 0 && !copy && (ParentIsNamed(this, "TkqDBGrid") || !Ctl3D())) {
        canvas.Brush.Color = clBtnShadow;
        canvas.FrameRect(client);
    }
    canvas.Brush.Color = Color();
    canvas.Brush.Style = bsSolid;
    if (!FFocused && Frame()->Enabled() && Frame()->NonFocusColor != clNone) {
        canvas.Brush.Color = Frame()->NonFocusColor;
        canvas.FillRect(client);
    } else if (!transparentUnfocused && !copyInGrid) {
        canvas.FillRect(client.Inflated(-1, -1));
    }

    TRect textRect = GetShowButton() && !copyInGrid ? GetEditRect() : client;
    textRect = textRect.Inflated(-1, -1);

    QString shown;
    if (copy && field) {
        QString mapped;
        if (MapStoredToDisplay(field->AsString(), mapped)) shown = mapped;
        else if (IsMemoField()) shown = field->AsString();
        else shown = field->DisplayText();
    } else {
        shown = IsMemoField() && field ? field->AsString() : text();
    }
    if (!PasswordChar().isNull()) shown = QString(shown.size(), PasswordChar());

    const QWidget* grid = ParentGrid(this);
    const bool highlight = !copy && ((ParentIsNamed(this, "TkqDBGrid") && grid && grid->hasFocus())
                                     || (!IsCaretShown() && FFocused && !IsDroppedDown()));
    if (highlight) {
        canvas.Brush.Color = clHighlight;
        canvas.Font.Color = clHighlightText;
        if (ParentIsNamed(this, "TkqDBGrid") && grid && grid->hasFocus() && host && field)
            host->CalcCellColors(field, {gdSelected, gdFocused}, true, canvas.Font, canvas.Brush.Color);
    }

    // Text position.
    int y;
    if (inInspector) y = 1;
    else if (inGrid) y = ParentIsNamed(this, "TkqDBGrid") && host && host->HasRowLines() ? 2 : 1;
    else y = NewStyleControls() ? 1 : 2;
    int x = inGrid ? 2 : y + 1;
    if (Frame()->IsInEffect()) Frame()->GetTextOffsets(x, y, FFocused);
    const TAlignment alignment = DisplayAlignment();
    const int textWidth = canvas.TextWidth(shown);
    if (alignment == taRightJustify) {
        int right;
        if (copyInGrid) right = client.Right;
        else if (GetShowButton()) right = GetButtonLeft() - (Frame()->Transparent() ? 1 : 0);
        else right = textRect.Right;
        x = right - textWidth - y - 1;
        if (Frame()->IsInEffect()) x -= Frame()->NonFocusTextOffsetX;
    } else if (alignment == taCenter) {
        x = (textRect.Left + textRect.Right - textWidth) / 2;
    }
    if (copy) {
        if (!NewStyleControls() && field) y += 1;
        else if (!inGrid) x -= 1;
    }
    x -= 1;
    y -= 1;

    unsigned options = 0;
    if (WordWrap()) options |= datWordBreak;
    if (copyInGrid || transparentUnfocused) options |= datNoFill;

    if (!FFocused) {
        if (transparentUnfocused && Frame()->NonFocusTransparentFontColor != clNone)
            canvas.Font.Color = Frame()->NonFocusTransparentFontColor;
        else if (Frame()->Enabled() && Frame()->NonFocusFontColor != clNone)
            canvas.Font.Color = Frame()->NonFocusFontColor;
    }

    TRect drawRect = textRect;
    int dx = x, dy = y;
    if (Frame()->IsInEffect() && FFocused) {
        const int shrink = IsSingleLineFrameStyle(Frame()->FocusStyle()) ? 1 : 2;
        drawRect = drawRect.Inflated(-shrink, -shrink);
        dx = 1;
        dy = 0;
    }
    const int align = alignment == taRightJustify ? 1 : alignment == taCenter ? 2 : 0;
    if (IsOwnerDrawn()) DrawEditText(canvas, drawRect, shown, dx, dy);
    else DrawAlignedText(canvas, drawRect, dx, options, align, shown, dy);

    if (Frame()->IsInEffect() && !copy) {
        // The frame covers the whole control: step back out of the client origin.
        DrawFrame(canvas, FFocused || (FMouseOver && Frame()->MouseEnterSameAsFocus));
    }

    if (highlight) {
        TRect r = GetEditRect();
        if (BorderStyle() != 0) {
            r.Top += 1;
            r.Bottom -= 1;
            r.Left += 1;
        }
        if (!(Frame()->IsInEffect() && FFocused)) {
            if (inGrid) r = GetEditRect();
            else r.Right -= 1;
        }
        canvas.Brush.Color = clHighlight;
        canvas.Brush.Style = bsSolid;
        canvas.FrameRect(r);
        DrawFocusRect(canvas, r);
    }
}
