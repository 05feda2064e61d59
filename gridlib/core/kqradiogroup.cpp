#include "gridlib/core/kqradiogroup.h"

#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqpaintopt.h"
#include "platform/vcl/Forms.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

TGroupButton::TGroupButton(TkqCustomRadioGroup* group) : TkqRadioButton(group), FGroup(group)
{
    setVisible(false);
    setEnabled(group->isEnabled());
    SetTabStop(false);
}

TGroupButton::~TGroupButton()
{
    if (FGroup) FGroup->ButtonFreed(this);
}

bool TGroupButton::ShowsText() const { return FGroup ? FGroup->ShowText() : true; }

TColor TGroupButton::GetTextColor() const { return FGroup ? FGroup->CopyTextColor() : clNone; }

TColor TGroupButton::GetBackgroundColor() const { return FGroup ? FGroup->ButtonBackground() : clNone; }

int TGroupButton::GetGlyphIndex() const { return FGroup ? FGroup->IndexOfButton(this) : 0; }

bool TGroupButton::GetDisplayChecked() const
{
    auto* group = qobject_cast<TkqRadioGroup*>(FGroup.data());
    if (group && (IsPaintingCopy(this) || IsPaintingCopy(group)) && group->DataLink().Active()) {
        if (const TField* field = group->Field()) return field->EditText() == group->GetButtonValue(GetGlyphIndex());
    }
    return Checked();
}

void TGroupButton::Click()
{
    if (FGroup) FGroup->ButtonClick(this);
}

void TGroupButton::NativeClick()
{
    if (FInClick || !FGroup) return;
    FInClick = true;
    try {
        if (FGroup->CanModify()) SetChecked(true);
    } catch (const std::exception& e) {
        FInClick = false;
        if (Application()) Application()->ShowException(e);
        return;
    }
    FInClick = false;
}

bool TGroupButton::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && FGroup) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && key->modifiers().testFlag(Qt::ShiftModifier)))
            FGroup->FTabbing = true;
    }
    return TkqRadioButton::event(event);
}

void TGroupButton::keyPressEvent(QKeyEvent* event)
{
    if (!FGroup) return TkqRadioButton::keyPressEvent(event);
    const int key = KeyEventToVirtualKey(event);
    if (FGroup->ButtonKeyDown(this, key, ShiftStateFromModifiers(event->modifiers()))) return;
    if ((key == VK_SPACE || key == VK_BACK) && !FGroup->CanModify()) return;
    if (FGroup->ButtonKeyPress(this, key)) return;
    TkqRadioButton::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------

void TkqRGWinButtonIndents::Refresh(QWidget* owner)
{
    if (auto* group = qobject_cast<TkqCustomRadioGroup*>(owner)) {
        group->UpdateButtons();
        if (QWidget* grid = ParentGrid(group)) grid->update();
    }
}

// ---------------------------------------------------------------------------------------------

TkqCustomRadioGroup::TkqCustomRadioGroup(QWidget* parent)
    : TkqCustomTransparentGroupBox(parent), FFrame(new TkqEditFrame(this)), FButtonFrame(new TkqRGEditFrame(this)),
      FIndents(new TkqRGWinButtonIndents(this))
{
    setFocusPolicy(Qt::StrongFocus);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        TApplication::Guard([&] { FocusChanged(old, now); });
    });
}

TkqCustomRadioGroup::~TkqCustomRadioGroup()
{
    disconnect(qApp, nullptr, this, nullptr);
    for (TGroupButton* b : FButtons) b->FGroup = nullptr;
}

void TkqCustomRadioGroup::ButtonFreed(TGroupButton* button)
{
    FButtons.removeAll(button);
}

void TkqCustomRadioGroup::SetItems(const QStringList& items)
{
    FItems = items;
    updateGeometry();
    if (FReading) return;
    if (FItemIndex >= FItems.size()) FItemIndex = int(FItems.size()) - 1;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetItemIndex(int index)
{
    if (FReading) {
        FItemIndex = index;
        return;
    }
    index = std::clamp(index, -1, ButtonCount() - 1);
    if (index == FItemIndex) return;
    if (FItemIndex >= 0 && FItemIndex < ButtonCount()) FButtons[FItemIndex]->SetChecked(false);
    FItemIndex = index;
    if (FItemIndex >= 0) FButtons[FItemIndex]->SetChecked(true);
}

void TkqCustomRadioGroup::SetColumns(int value)
{
    value = std::clamp(value, 1, 16);
    if (value == FColumns) return;
    FColumns = value;
    updateGeometry();
    ArrangeButtons();
    update();
}

void TkqCustomRadioGroup::SetShowBorder(bool value)
{
    if (value == FShowBorder) return;
    FShowBorder = value;
    ArrangeButtons();
    update();
}

void TkqCustomRadioGroup::SetShowGroupCaption(bool value)
{
    if (value == FShowGroupCaption) return;
    FShowGroupCaption = value;
    ArrangeButtons();
    update();
}

void TkqCustomRadioGroup::SetShowFocusRect(bool value)
{
    FShowFocusRect = value;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetTransparentActiveItem(bool value)
{
    FTransparentActiveItem = value;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetShowText(bool value)
{
    FShowText = value;
    for (TGroupButton* b : FButtons) b->update();
}

void TkqCustomRadioGroup::SetWordWrap(bool value)
{
    FWordWrap = value;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetAlignment(TAlignment value)
{
    FAlignment = value;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetNoSpacing(bool value)
{
    FNoSpacing = value;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetImages(TImageList* images)
{
    FImages = images;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetGlyphImages(TImageList* images)
{
    FGlyphImages = images;
    UpdateButtons();
}

void TkqCustomRadioGroup::SetTransparent(bool value)
{
    TkqCustomTransparentGroupBox::SetTransparent(value);
    UpdateButtons();
}

bool TkqCustomRadioGroup::IsTransparentNow() const
{
    return TkqCustomTransparentGroupBox::IsTransparentNow()
           || (!FFocused && FFrame->Enabled() && FFrame->Transparent());
}

bool TkqCustomRadioGroup::HasBorder() const
{
    return FShowBorder && !IsInGrid(this);
}

void TkqCustomRadioGroup::UpdateButtons()
{
    if (FReading) return;
    while (ButtonCount() < FItems.size()) FButtons.append(new TGroupButton(this));
    while (ButtonCount() > FItems.size()) delete FButtons.takeLast();
    for (int i = 0; i < ButtonCount(); ++i) FButtons[i]->SetCaption(FItems[i]);
    if (FItemIndex >= 0 && FItemIndex < ButtonCount()) {
        FUpdating = true;
        FButtons[FItemIndex]->SetChecked(true);
        FUpdating = false;
    }
    ArrangeButtons();
    update();
}

void TkqCustomRadioGroup::ArrangeButtons()
{
    if (FButtons.isEmpty() || FReading) return;
    const int count = ButtonCount();
    const int rows = (count + FColumns - 1) / FColumns;
    const bool border = HasBorder();
    int w = width();
    if (border) w -= 7;
    if (!FButtonFrame->Enabled()) w -= 4;
    int cw;
    if (FNoSpacing) cw = (w - (FFrame->Enabled() ? 2 : 0)) / FColumns;
    else cw = (w - 1) / FColumns - 1 - (FFrame->Enabled() ? 2 : 0);
    int ht, top;
    const int fontHeight = QFontMetrics(font()).height();
    if (border && FShowGroupCaption) {
        ht = height() - fontHeight - 5;
        top = (ht % rows) / 2 + fontHeight + 1;
    } else if (border) {
        ht = height() - 5;
        top = (ht % rows) / 2 + 2;
    } else {
        ht = (FNoSpacing ? height() : height() - 3) - (FFrame->Enabled() ? 2 : 0);
        top = 2;
    }
    const int rh = ht / rows;
    const bool inGrid = IsInGrid(this);
    const bool transparentNow = IsTransparentNow();
    for (int i = 0; i < count; ++i) {
        TGroupButton* b = FButtons[i];
        b->setLayoutDirection(layoutDirection());
        b->Frame()->Assign(*FButtonFrame, true);
        b->SetWordWrap(FWordWrap);
        b->SetAlignment(FAlignment);
        if (inGrid || transparentNow) {
            b->Frame()->SetEnabled(true);
            if (transparentNow) b->Frame()->SetTransparent(true);
        }
        if (FTransparentActiveItem && Transparent()) b->SetAlwaysTransparent(true);
        b->SetImages(FImages);
        b->SetShowFocusRect(FShowFocusRect);
        b->SetGlyphImages(FGlyphImages);
        b->Indents()->Assign(*FIndents);
        DoCreateRadioButton(b);
        int x = (i / rows) * cw + 9;
        if (!border && b->Frame()->Enabled()) x += 1;
        if (FButtonFrame->Enabled()) x -= 4;
        if (!border) x -= 4;
        if (layoutDirection() == Qt::RightToLeft) x = width() - x - cw;
        int bw = cw, bh = rh;
        if (FNoSpacing && i / rows == FColumns - 1) bw = w - (FColumns - 1) * cw;
        if (FNoSpacing && (i % rows == rows - 1 || i == count - 1)) bh = ht - (rows - 1) * rh;
        b->setGeometry(x, (i % rows) * rh + top, bw, bh);
        b->setVisible(true);
    }
}

QSize TkqCustomRadioGroup::sizeHint() const
{
    const QFontMetrics fm(font());
    const int count = std::max(1, int(FItems.size()));
    const int rows = (count + FColumns - 1) / FColumns;
    int item = 0;
    for (const QString& caption : FItems) item = std::max(item, fm.horizontalAdvance(StripAccelerators(caption)));
    const int columnWidth = item + 13 + 12;
    const int captionHeight = HasBorder() && FShowGroupCaption ? fm.height() : 4;
    return QSize(FColumns * columnWidth + 16, captionHeight + rows * (fm.height() + 6) + 8);
}

void TkqCustomRadioGroup::DoCreateRadioButton(TGroupButton* button)
{
    if (OnCreateRadioButton) OnCreateRadioButton(this, button);
}

void TkqCustomRadioGroup::Click()
{
    if (OnClick) OnClick(this);
}

void TkqCustomRadioGroup::ButtonClick(TGroupButton* button)
{
    if (FUpdating) return;
    FItemIndex = IndexOfButton(button);
    Click();
    if (Transparent()) update();
}

bool TkqCustomRadioGroup::ButtonKeyPress(TGroupButton*, int)
{
    return false;
}

bool TkqCustomRadioGroup::ButtonKeyDown(TGroupButton* button, int key, TShiftState shift)
{
    if (ParentIsNamed(this, "TkqDBGrid")) {
        const int index = IndexOfButton(button);
        const bool back = (key == VK_LEFT || key == VK_UP) && index == 0;
        const bool forward = (key == VK_RIGHT || key == VK_DOWN) && index == ButtonCount() - 1;
        if (back || forward) {
            if (QWidget* grid = ParentGrid(this)) {
                grid->setFocus(Qt::OtherFocusReason);
                if (grid->hasFocus())
                    if (TkqGridHost* host = ParentGridHost(this)) {
                        int k = key;
                        host->GridKeyDown(k, shift);
                    }
            }
            return true;
        }
    }
    if (key == VK_RETURN || (key == VK_F2 && ParentIsNamed(this, "TkqDBGrid"))) {
        if (QWidget* parent = parentWidget()) parent->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

void TkqCustomRadioGroup::FocusChanged(QWidget* old, QWidget* now)
{
    const bool wasIn = old && (old == this || isAncestorOf(old));
    const bool isIn = now && (now == this || isAncestorOf(now));
    if (wasIn == isIn) return;
    // A switch to another window or a popup is neither an entry nor an exit.
    if (!now || (now->window() != window() && !isIn)) return;
    if (isIn) DoEnter();
    else DoExit();
}

void TkqCustomRadioGroup::DoEnter()
{
    FFocused = true;
    if (FFrame->Enabled() && FFrame->Transparent() && !Transparent()) SetTransparentStyle(this, false);
    if (FFrame->Enabled()) update();
    if (OnEnter) OnEnter(this);
}

void TkqCustomRadioGroup::DoExit()
{
    FFocused = false;
    if (FFrame->Enabled() && FFrame->Transparent() && !Transparent()) UpdateTransparentStyle();
    if (FFrame->Enabled()) update();
    if (OnExit) OnExit(this);
}

void TkqCustomRadioGroup::focusInEvent(QFocusEvent* event)
{
    TkqCustomTransparentGroupBox::focusInEvent(event);
    if (FTabbing) {
        // Shift+Tab from a button reaches the group first: go on to the control before it.
        FTabbing = false;
        focusPreviousChild();
        return;
    }
    TGroupButton* target = FItemIndex >= 0 && FItemIndex < ButtonCount() ? FButtons[FItemIndex] : FButtons.value(0);
    if (target && target->isVisible() && target->isEnabled()) target->setFocus(event->reason());
}

void TkqCustomRadioGroup::keyPressEvent(QKeyEvent* event)
{
    const int key = KeyEventToVirtualKey(event);
    if (key == VK_RETURN || (key == VK_F2 && ParentIsNamed(this, "TkqDBGrid"))) {
        if (QWidget* parent = parentWidget()) parent->setFocus(Qt::OtherFocusReason);
        return;
    }
    TkqCustomTransparentGroupBox::keyPressEvent(event);
}

void TkqCustomRadioGroup::changeEvent(QEvent* event)
{
    TkqCustomTransparentGroupBox::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        for (TGroupButton* b : FButtons) b->setEnabled(isEnabled());
    if (event->type() == QEvent::FontChange || event->type() == QEvent::ParentChange) ArrangeButtons();
}

bool TkqCustomRadioGroup::event(QEvent* event)
{
    if (event->type() == RecreateWndEventType()) {
        UpdateTransparentStyle();
        ArrangeButtons();
        update();
        return true;
    }
    return TkqCustomTransparentGroupBox::event(event);
}

void TkqCustomRadioGroup::resizeEvent(QResizeEvent* event)
{
    TkqCustomTransparentGroupBox::resizeEvent(event);
    ArrangeButtons();
}

void TkqCustomRadioGroup::PaintGroup(TCanvas& canvas)
{
    const TRect client(0, 0, width(), height());
    if (FFrame->Enabled() && !FFrame->Transparent() && !FFocused && FFrame->NonFocusColor != clNone) {
        canvas.Brush.Color = FFrame->NonFocusColor;
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(client);
    }
    if (!HasBorder()) {
        if (FFrame->Enabled()) PaintFrameEdges(canvas, width(), height(), *FFrame, FFocused);
        return;
    }
    if (Caption().isEmpty()) return;
    canvas.Font = TFont(font(), isEnabled() ? FontColor() : clGrayText);
    if (FCopyTextColor != clNone && IsPaintCopyInGrid(this)) canvas.Font.Color = FCopyTextColor;
    const int ch = FShowGroupCaption ? canvas.TextHeight(QStringLiteral("0")) : 2;
    const QString shown = StripAccelerators(Caption());
    const int captionWidth = FShowGroupCaption ? canvas.TextWidth(shown) : 0;
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    int from = FShowGroupCaption ? 8 : 0, to = FShowGroupCaption ? 8 + captionWidth : 0;
    if (rtl && FShowGroupCaption) {
        from = width() - 8 - captionWidth;
        to = width() - 8;
    }
    const int top = ch / 2 - 1;
    const int right = width() - 2, bottom = height() - 2;
    auto border = [&](int dx, TColor color) {
        canvas.Pen.Color = color;
        canvas.Polyline({QPoint(from + dx, top + dx), QPoint(dx, top + dx), QPoint(dx, bottom + dx),
                         QPoint(right + dx, bottom + dx), QPoint(right + dx, top + dx), QPoint(to + dx, top + dx)});
    };
    if (Ctl3D()) {
        border(1, clBtnHighlight);
        border(0, clBtnShadow);
    } else {
        border(0, clWindowFrame);
    }
    if (FShowGroupCaption) {
        TRect text(from, 0, to, ch);
        const TBrushStyle style = canvas.Brush.Style;
        canvas.Brush.Style = bsClear;
        canvas.DrawText(Caption(), text, DT_SINGLELINE);
        canvas.Brush.Style = style;
    }
}

void TkqCustomRadioGroup::Paint(TCanvas& canvas)
{
    if (!IsTransparentNow() && !IsPaintCopyInGrid(this)) {
        canvas.Brush.Color = Color();
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(TRect(0, 0, width(), height()));
    }
    PaintInGrid(canvas);
    PaintGroup(canvas);
}

void TkqCustomRadioGroup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    Paint(canvas);
}

void TkqCustomRadioGroup::PaintCopy(TCanvas& canvas)
{
    // The buttons, painted after the group, take the cell's text colour from it.
    if (IsInGrid(this)) FCopyTextColor = canvas.Font.Color;
    Paint(canvas);
}

// ---------------------------------------------------------------------------------------------

TkqRadioGroup::TkqRadioGroup(QWidget* parent) : TkqCustomRadioGroup(parent)
{
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
}

TkqRadioGroup::~TkqRadioGroup()
{
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
}

QString TkqRadioGroup::GetButtonValue(int index) const
{
    if (index >= 0 && index < FValues.size() && !FValues[index].isEmpty()) return FValues[index];
    if (index >= 0 && index < Items().size()) return Items()[index];
    return QString();
}

QString TkqRadioGroup::GetCaptionForValue(const QString& text) const
{
    for (int i = 0; i < ButtonCount(); ++i)
        if (GetButtonValue(i) == text) return Buttons(i)->Caption();
    return QString();
}

void TkqRadioGroup::SetValues(const QStringList& values)
{
    FValues = values;
    if (FDataLink.Field()) ApplyValue(FDataLink.Field()->EditText(), true);
}

void TkqRadioGroup::ApplyValue(const QString& text, bool force)
{
    if (FValueRead && text == FValue && !force) return;
    const bool changed = !FValueRead || text != FValue;
    FUpdatingFromField = true;
    int index = -1;
    for (int i = 0; i < ButtonCount(); ++i)
        if (GetButtonValue(i) == text) {
            index = i;
            break;
        }
    try {
        SetItemIndex(index);
    } catch (...) {
        FUpdatingFromField = false;
        throw;
    }
    FUpdatingFromField = false;
    FValue = text;
    FValueRead = true;
    if (changed && OnChange) OnChange(this);
}

void TkqRadioGroup::DataChange()
{
    const TField* field = FDataLink.Field();
    ApplyValue(field ? field->EditText() : QString());
}

void TkqRadioGroup::UpdateData()
{
    if (TField* field = FDataLink.Field()) field->SetText(FValue);
}

bool TkqRadioGroup::CanModify()
{
    if (ReadOnly()) return false;
    if (FDataLink.DataSet()) return FDataLink.Edit();
    return true;
}

void TkqRadioGroup::Click()
{
    if (FUpdatingFromField) return;
    TkqCustomRadioGroup::Click();
    ApplyValue(GetButtonValue(ItemIndex()));
    if (FDataLink.Editing()) FDataLink.Modified();
}

bool TkqRadioGroup::ButtonKeyPress(TGroupButton*, int key)
{
    return DataLinkKeyPress(FDataLink, key);
}

void TkqRadioGroup::keyPressEvent(QKeyEvent* event)
{
    const int key = KeyEventToVirtualKey(event);
    if ((key == VK_BACK || key == VK_SPACE || key == VK_ESCAPE) && ButtonKeyPress(nullptr, key)) return;
    TkqCustomRadioGroup::keyPressEvent(event);
}

void TkqRadioGroup::DoExit()
{
    try {
        FDataLink.UpdateRecord();
    } catch (...) {
        TGroupButton* target = ItemIndex() >= 0 ? Buttons(ItemIndex()) : Buttons(0);
        TakeFocusBack(target ? static_cast<QWidget*>(target) : this);
        throw;
    }
    TkqCustomRadioGroup::DoExit();
}

void TkqRadioGroup::PaintInGrid(TCanvas& canvas)
{
    FButtonBackground = clNone;
    QWidget* grid = ParentGrid(this);
    if (!grid || IsPaintingCopy(this) || !grid->hasFocus()) return;
    const TRect client(0, 0, width(), height());
    TColor fill = Color();
    const bool highlight = ParentIsNamed(this, "TkqDBGrid");
    if (highlight) {
        fill = clHighlight;
        canvas.Font.Color = clHighlightText;
        if (ParentIsNamed(this, "TkqCustomDBGrid"))
            if (TkqGridHost* host = ParentGridHost(this); host && Field())
                host->CalcCellColors(Field(), {}, true, canvas.Font, fill);
    }
    canvas.Brush.Color = fill;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(client);
    FButtonBackground = fill;
    if (highlight) {
        canvas.Brush.Color = clHighlight;
        canvas.FrameRect(client);
        DrawFocusRect(canvas, client);
    }
}
