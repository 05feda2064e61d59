#include "gridlib/core/kqcheckbox.h"

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqgridhost.h"
#include "gridlib/core/kqpaintopt.h"
#include "platform/vcl/Edges.h"

#include <QKeyEvent>
#include <QMouseEvent>

QStringList CheckBoxValueItems(const QString& list)
{
    QStringList items;
    for (const QString& item : list.split(QLatin1Char(';'))) items.append(item.trimmed());
    return items;
}

TkqCustomCheckBox::TkqCustomCheckBox(QWidget* parent) : TkqButtonControl(parent) {}

void TkqCustomCheckBox::SetState(TCheckBoxState state)
{
    if (state == FState) return;
    FState = state;
    if (FDynamicCaption) {
        SetCaption(state == cbChecked ? DisplayValueChecked() : state == cbUnchecked ? DisplayValueUnchecked() : QString());
    } else if (TransparentNow() && (!Focused() || AlwaysTransparent())) {
        if (QWidget* parent = parentWidget()) parent->update(GetCheckRect().ToQRect().translated(pos()));
    }
    update();
    Click();
}

void TkqCustomCheckBox::SetValueChecked(const QString& value)
{
    FValueChecked = value;
    DataChange();
    update();
}

void TkqCustomCheckBox::SetValueUnchecked(const QString& value)
{
    FValueUnchecked = value;
    DataChange();
    update();
}

void TkqCustomCheckBox::SetDisplayValueChecked(const QString& value)
{
    FDisplayValueChecked = value;
    update();
}

void TkqCustomCheckBox::SetDisplayValueUnchecked(const QString& value)
{
    FDisplayValueUnchecked = value;
    update();
}

void TkqCustomCheckBox::SetDynamicCaption(bool value)
{
    if (value == FDynamicCaption) return;
    FDynamicCaption = value;
    update();
}

void TkqCustomCheckBox::SetShowText(bool value)
{
    if (value == FShowText) return;
    FShowText = value;
    update();
}

void TkqCustomCheckBox::SetNullAndBlankState(TCheckBoxState value)
{
    if (value == FNullAndBlankState) return;
    FNullAndBlankState = value;
    DataChange();
}

void TkqCustomCheckBox::Toggle()
{
    switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
    }
}

QString TkqCustomCheckBox::GetDisplayCaption() const
{
    if (FDynamicCaption && IsPaintingCopy(this)) {
        switch (GetDisplayState()) {
        case cbChecked: return DisplayValueChecked();
        case cbUnchecked: return DisplayValueUnchecked();
        case cbGrayed: return QString();
        }
    }
    return Caption();
}

TRect TkqCustomCheckBox::GetCheckRect() const
{
    const TImageList* images = GetImages();
    const bool useImages = images && images->Count() > 0;
    const int w = useImages ? images->Width() : 13, h = useImages ? images->Height() : 13;
    const int hw = w / 2, hh = h / 2;
    int x0 = GetGlyphIndent() + Indents()->ButtonX() + 1;
    if (IsInGrid(this)) x0 += 1;
    if (Frame()->Enabled() && Frame()->FocusBorders().Contains(efLeftBorder)) x0 = std::max(x0, 3);
    int x;
    switch (GetGlyphAlignment()) {
    case taRightJustify: x = x0 + hw; break;
    case taLeftJustify: x = width() - x0 - hw - 2; break;
    default: x = (width() - hw) / 2; break;
    }
    const int y = height() / 2;
    const int by = Indents()->ButtonY();
    return TRect(x - hw, y - hh + by, x + hw + 1, y + hh + 1 + by);
}

TRect TkqCustomCheckBox::GetCaptionRect(TCanvas& canvas) const
{
    const TRect glyph = GetCheckRect();
    int tx = Indents()->TextX();
    if (Frame()->Enabled() && Frame()->FocusBorders().Contains(efLeftBorder)) tx = std::max(tx, 3);
    TRect r = GetGlyphAlignment() == taLeftJustify ? TRect(tx + 2, 0, glyph.Left, height())
                                                   : TRect(glyph.Right + tx + 4, 0, width(), height());
    QString measure = GetDisplayCaption();
    if (FDynamicCaption) {
        const QString on = DisplayValueChecked(), off = DisplayValueUnchecked();
        measure = off.size() > on.size() ? off : on;
    }
    canvas.DrawText(measure, r, DT_CALCRECT);
    const int textHeight = r.Height();
    r.Top = (height() - textHeight) / 2 + Indents()->TextY();
    r.Bottom = r.Top + textHeight;
    if (ParentIsNamed(this, "TkqDBGrid"))
        if (const TkqGridHost* host = ParentGridHost(this); host && host->HasRowLines()) r = r.Offset(0, 1);
    return r;
}

bool TkqCustomCheckBox::ActiveRecordRule() const
{
    if (!IsClassOrAncestorNamed(this, "TkqExpandButton") || !ParentIsNamed(this, "TkqCustomDBGrid")) return false;
    const TkqGridHost* host = ParentGridHost(this);
    if (!host) return false;
    const TkqGridPaintOptions* options = host->GridPaintOptions();
    const bool marked = host->RowSelect() || (options && options->ActiveRecordColor() != clNone);
    return marked && (host->AlwaysShowSelection() || Focused());
}

bool TkqCustomCheckBox::GridHighlight() const
{
    if (!ParentIsNamed(this, "TkqDBGrid")) return false;
    const QWidget* grid = ParentGrid(this);
    return (grid && grid->hasFocus()) || ActiveRecordRule();
}

bool TkqCustomCheckBox::GlyphPushed() const
{
    if (!Focused() || IsPaintingCopy(this)) return false;
    if (FLeftDown && IsMouseOverBox(IsInGrid(this))) return true;
    return SpaceKeyPressed;
}

void TkqCustomCheckBox::Paint(TCanvas& canvas)
{
    const bool copyInGrid = IsPaintCopyInGrid(this);
    const bool copy = IsPaintingCopy(this);
    const bool focused = Focused();
    const TkqEditFrame* frame = Frame();
    const TRect client(0, 0, width(), height());
    const bool highlight = GridHighlight();
    // 1. Background.
    if (!copyInGrid && (!frame->Enabled() || !frame->Transparent() || (focused && !AlwaysTransparent()))) {
        TColor brush = Color();
        if (!TransparentNow() && frame->Enabled() && !focused && frame->NonFocusColor != clNone) brush = frame->NonFocusColor;
        bool fill = FillsBackground();
        if (highlight) {
            brush = clHighlight;
            canvas.Font.Color = clHighlightText;
            if (ParentIsNamed(this, "TkqCustomDBGrid")) {
                if (TkqGridHost* host = ParentGridHost(this)) {
                    if (const TkqGridPaintOptions* o = host->GridPaintOptions(); o && o->ActiveRecordColor() != clNone)
                        brush = o->ActiveRecordColor();
                    if (TField* field = GetField()) host->CalcCellColors(field, {}, true, canvas.Font, brush);
                }
            }
            fill = true;
        }
        if (fill) {
            canvas.Brush.Color = brush;
            canvas.Brush.Style = bsSolid;
            canvas.FillRect(client);
        }
    }
    // 2. The glyph.
    if (!HidesGlyph()) {
        const TCheckBoxState state = GetDisplayState();
        unsigned draw = state == cbChecked ? DFCS_BUTTONCHECK : DFCS_BUTTON3STATE;
        if (state != cbUnchecked) draw |= DFCS_CHECKED;
        if (GlyphPushed()) draw |= DFCS_PUSHED;
        const TRect check = GetCheckRect();
        const TImageList* images = GetImages();
        const int index = state == cbChecked ? 1 : state == cbUnchecked ? 0 : 2;
        if (images && images->Count() > 0) {
            if (BoxAroundGlyph) {
                canvas.Brush.Style = bsSolid;
                canvas.Brush.Color = clWhite;
                canvas.FillRect(check.Inflated(1, 1));
                canvas.Brush.Color = clBlack;
                canvas.FrameRect(check.Inflated(1, 1));
            }
            if (ShowAsButton)
                DrawFrameControl(canvas, check.Inflated(2, 2), DFC_BUTTON,
                                 DFCS_BUTTONPUSH | (draw & DFCS_PUSHED) | (isEnabled() ? 0u : DFCS_INACTIVE));
        }
        if (images && images->Count() > index) {
            images->Draw(canvas, check.Left, check.Top, index, true);
        } else {
            canvas.Brush.Style = bsSolid;
            canvas.Brush.Color = clBtnFace;
            canvas.FillRect(check);
            if (!images) DrawFrameControl(canvas, check, DFC_BUTTON, draw | (isEnabled() ? 0u : DFCS_INACTIVE));
        }
    }
    // 3. The caption.
    if (FShowText) {
        TRect caption = GetCaptionRect(canvas);
        const QString text = GetDisplayCaption();
        if (focused && ShowFocusRect() && (FDynamicCaption || !Caption().isEmpty()) && !copy) {
            const int a = IsInGrid(this) ? 1 : 2;
            const int textWidth = canvas.TextWidth(StripAccelerators(text));
            DrawFocusRect(canvas, TRect(caption.Left - 2, caption.Top - a,
                                        std::min(caption.Right + 2, caption.Left + textWidth + 2), caption.Bottom + a));
        }
        caption.Bottom += 2;
        if (!highlight) {
            if (!focused && TransparentNow() && frame->NonFocusTransparentFontColor != clNone)
                canvas.Font.Color = frame->NonFocusTransparentFontColor;
            else if (!focused && frame->Enabled() && frame->NonFocusFontColor != clNone)
                canvas.Font.Color = frame->NonFocusFontColor;
        }
        DrawCaption(canvas, text, caption, 0, !isEnabled());
    }
    // 4. The grid's focus mark.
    if (highlight && !ActiveRecordRule() && !copy) {
        const QWidget* grid = ParentGrid(this);
        if (grid && grid->hasFocus()) {
            canvas.Brush.Color = clHighlight;
            canvas.Brush.Style = bsSolid;
            canvas.FrameRect(client);
            DrawFocusRect(canvas, client);
        }
    }
}

void TkqCustomCheckBox::CaptionChanged()
{
    if (TransparentNow() && (!Focused() || AlwaysTransparent())) Frame()->RefreshTransparentBackground(false, false);
    update();
}

void TkqCustomCheckBox::DoEnter()
{
    SpaceKeyPressed = false;
    if (TransparentNow() && !AlwaysTransparent()) SetTransparentStyle(this, false);
    else if (TransparentNow() && AlwaysTransparent()) InvalidateParentArea(this, true);
    TkqButtonControl::DoEnter();
}

void TkqCustomCheckBox::DoExit()
{
    if (TransparentNow()) {
        SetTransparentStyle(this, true);
        Frame()->RefreshTransparentBackground(true, true);
    }
    TkqButtonControl::DoExit();
}

bool TkqCustomCheckBox::ToggleOnRelease(const QPoint& point) const
{
    if (!IsInGrid(this)) return rect().contains(point);
    if (!GetCheckRect().Inflated(3, 3).Contains(point)) return false;
    if (IsClassOrAncestorNamed(this, "TkqExpandButton")) return Focused() || FState == cbUnchecked;
    return true;
}

void TkqCustomCheckBox::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    FLeftDown = true;
    SetControlState(this, GetControlState(this).With(csLButtonDown, true));
    if (focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
    update();
}

void TkqCustomCheckBox::mouseMoveEvent(QMouseEvent*)
{
    if (FLeftDown) update();
}

void TkqCustomCheckBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FLeftDown) return;
    FLeftDown = false;
    SetControlState(this, GetControlState(this).With(csLButtonDown, false));
    update();
    if (ToggleOnRelease(event->position().toPoint())) Toggle();
}

void TkqCustomCheckBox::keyPressEvent(QKeyEvent* event)
{
    const int key = KeyEventToVirtualKey(event);
    if (key == VK_ESCAPE && IsInGrid(this) && !Modified) {
        if (QWidget* grid = ParentGrid(this)) {
            grid->setFocus(Qt::OtherFocusReason);
            if (grid->hasFocus())
                if (TkqGridHost* host = ParentGridHost(this)) {
                    int k = VK_ESCAPE;
                    host->GridKeyDown(k, ShiftStateFromModifiers(event->modifiers()));
                }
        }
        return;
    }
    if ((key == VK_SPACE || key == VK_BACK || key == VK_ESCAPE) && DataKeyPress(key)) return;
    TkqButtonControl::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------

TkqDBCustomCheckBox::TkqDBCustomCheckBox(QWidget* parent) : TkqCustomCheckBox(parent)
{
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
}

TkqDBCustomCheckBox::~TkqDBCustomCheckBox()
{
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
}

void TkqDBCustomCheckBox::SetDataSource(TDataSource* source)
{
    FDataLink.SetDataSource(source);
}

TCheckBoxState TkqDBCustomCheckBox::GetDisplayState() const
{
    const TField* field = FDataLink.Field();
    if (!field) return State();
    if (field->IsNull()) return NullAndBlankState();
    if (field->DataType() == ftBoolean) return field->AsBoolean() ? cbChecked : cbUnchecked;
    const QString text = field->EditText();
    auto listed = [&text](const QString& list) {
        for (const QString& item : CheckBoxValueItems(list))
            if (QString::compare(item, text, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    if (listed(ValueChecked())) return cbChecked;
    if (listed(ValueUnchecked())) return cbUnchecked;
    return NullAndBlankState();
}

void TkqDBCustomCheckBox::DataChange()
{
    SetState(GetDisplayState());
    if (FDataLink.DataSource() && FDataLink.DataSource()->State() == dsBrowse) Modified = false;
}

void TkqDBCustomCheckBox::Toggle()
{
    if (FDataLink.DataSource() && !FDataLink.FieldName().isEmpty()) {
        if (!FDataLink.Edit()) return;
        TkqCustomCheckBox::Toggle();
        FDataLink.Modified();
        Modified = true;
        return;
    }
    if (!ReadOnly()) TkqCustomCheckBox::Toggle();
}

void TkqDBCustomCheckBox::UpdateData()
{
    TField* field = FDataLink.Field();
    if (!field) return;
    if (State() == cbGrayed) {
        field->Clear();
    } else if (field->DataType() == ftBoolean) {
        field->SetAsBoolean(Checked());
    } else {
        const QStringList items = CheckBoxValueItems(Checked() ? ValueChecked() : ValueUnchecked());
        field->SetText(items.value(0));
    }
}

void TkqDBCustomCheckBox::DoEnter()
{
    TkqCustomCheckBox::DoEnter();
    if (FDataLink.Field()) Modified = false;
}

void TkqDBCustomCheckBox::DoExit()
{
    try {
        FDataLink.UpdateRecord();
    } catch (...) {
        TakeFocusBack(this);
        throw;
    }
    TkqCustomCheckBox::DoExit();
}

bool TkqDBCustomCheckBox::DataKeyPress(int key)
{
    if (!DataLinkKeyPress(FDataLink, key)) return false;
    Modified = false;
    return true;
}
