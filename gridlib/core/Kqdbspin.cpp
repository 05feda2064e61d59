#include "gridlib/core/Kqdbspin.h"

#include "gridlib/core/kqSystem.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqdbservices.h"
#include "platform/core/SysFormat.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <cmath>

namespace {
QString DisplayFormatOf(const TField* field)
{
    const auto* numeric = qobject_cast<const TNumericField*>(field);
    return numeric ? numeric->DisplayFormat() : QString();
}
} // namespace

void TkqSpinButtonEffects::ApplyToControl()
{
    if (auto* spin = qobject_cast<TkqDBSpinEdit*>(Edit())) {
        spin->SpinButton()->SetFlat(Flat() || Transparent());
        spin->SpinButton()->UpButton()->SetTransparent(Transparent());
        spin->SpinButton()->DownButton()->SetTransparent(Transparent());
        spin->SpinButton()->update();
    }
}

TkqDBSpinEdit::TkqDBSpinEdit(QWidget* parent) : TkqDBCustomEdit(parent)
{
    FSpinButton = new TkqSpinButton(this);
    FSpinButton->resize(15, 17);
    FSpinButton->OnUpClick = [this](QObject*) { UpClick(); };
    FSpinButton->OnDownClick = [this](QObject*) { DownClick(); };
    FButtonEffects = new TkqSpinButtonEffects(this, FSpinButton);
    setText(QStringLiteral("0"));
    setModified(false);
    PlaceSpinButton();
}

void TkqDBSpinEdit::SetLimitEditRect(bool value)
{
    FLimitEditRect = value;
    SetEditRect();
}

double TkqDBSpinEdit::CheckValue(double value) const
{
    if (FMinValue == 0 && FMaxValue == 0) return value;
    if (value < FMinValue) return FMinValue;
    if (value > FMaxValue) return FMaxValue;
    return value;
}

double TkqDBSpinEdit::Value() const
{
    const QString t = text();
    const TField* field = const_cast<TkqDBSpinEdit*>(this)->Field();
    if (field && (IsIntegerFieldType(field->DataType()) || IsFloatFieldType(field->DataType()))) {
        if (t.isEmpty()) return FMinValue;
        double v = 0;
        return ParseDisplayedFloat(t, v, DisplayFormatOf(field)) ? v : FMinValue;
    }
    if (t.isEmpty()) return FMinValue;
    TDateTime v = 0;
    if (IsDateField()) return IsValidDateText(t) && TryStrToDate(t, v) ? v : FMinValue;
    if (IsTimeField()) return IsValidTimeText(t) && TryStrToTime(t, v) ? v : FMinValue;
    if (IsDateTimeField()) {
        if (IsValidDateText(t) && !IsValidDateTimeText(t) && TryStrToDate(t, v)) return v;
        if (IsValidDateTimeText(t)) return TextToDateTimeOrZero(t);
        if (ParseDateText(t, v)) return v;
        return FMinValue;
    }
    double d = 0;
    return IsValidFloatText(t) && TryStrToFloat(t, d) ? d : FMinValue;
}

void TkqDBSpinEdit::SetValue(double value)
{
    const double raw = value;
    value = CheckValue(value);
    const TField* field = Field();
    const QString format = DisplayFormatOf(field);
    const bool integer = field && IsIntegerFieldType(field->DataType());
    const bool floating = field && IsFloatFieldType(field->DataType());
    if ((integer || floating) && !format.isEmpty()) {
        setText(FormatFloat(format, value));
        selectAll();
    } else if (floating) {
        setText(FloatToStr(value));
    } else if (integer) {
        setText(QString::number(qint64(std::trunc(value))));
    } else if (IsDateField()) {
        setText(DateToStr(value));
    } else if (IsTimeField()) {
        setText(TimeToStr(value));
    } else if (IsDateTimeField()) {
        if (!field && raw == std::floor(raw)) setText(DateToStr(value) + QLatin1Char(' ') + TimeToStr(0));
        else setText(DateTimeToStr(value));
    } else {
        setText(FloatToStr(value));
    }
    if (!FLoading) MarkModified(true);
}

bool TkqDBSpinEdit::IsValidChar(QChar key) const
{
    if (!FEditorEnabled && (key == QChar(0x08) || key >= QLatin1Char(' '))) return false;
    if (IsDateField() || IsTimeField() || IsDateTimeField()) return true;
    return key == QLatin1Char('+') || key == QLatin1Char('-') || (key.isDigit() && key.unicode() < 128)
           || key == FormatSettings.DecimalSeparator || key < QLatin1Char(' ');
}

void TkqDBSpinEdit::KeyPress(QChar& key)
{
    if (!IsValidChar(key)) {
        QApplication::beep();
        key = QChar();
        return;
    }
    TkqDBCustomEdit::KeyPress(key);
}

void TkqDBSpinEdit::KeyDown(int& key, TShiftState shift)
{
    if (key == VK_UP || key == VK_DOWN) {
        const bool wholeSelected = !text().isEmpty() && selectedText().size() == text().size();
        if (!ParentGridHost(this) || !wholeSelected || shift.Contains(ssAlt)) {
            if (key == VK_UP) UpClick();
            else DownClick();
            key = 0;
            return;
        }
    }
    TkqDBCustomEdit::KeyDown(key, shift);
    if (key == VK_DELETE && !FEditorEnabled) {
        QApplication::beep();
        key = 0;
    }
}

void TkqDBSpinEdit::UpClick()
{
    Step(true);
}

void TkqDBSpinEdit::DownClick()
{
    Step(false);
}

void TkqDBSpinEdit::Step(bool up)
{
    if (focusPolicy() != Qt::NoFocus && !hasFocus()) setFocus(Qt::OtherFocusReason);
    if (up && BeforeUpClick) BeforeUpClick(this);
    if (!up && BeforeDownClick) BeforeDownClick(this);
    const TField* field = Field();
    if (!EditCanModify() || ReadOnly() || (field && field->ReadOnly())) {
        QApplication::beep();
        return;
    }
    if (IsDateField() || IsTimeField() || IsDateTimeField()) StepDateTime(up);
    else SetValue(Value() + (up ? FIncrement : -FIncrement));
    MarkModified(true);
    if (up && AfterUpClick) AfterUpClick(this);
    if (!up && AfterDownClick) AfterDownClick(this);
}

void TkqDBSpinEdit::StepDateTime(bool up)
{
    const bool timeOnly = IsTimeField();
    const double v = Value();
    int year, month, day, hour, minute, second, msec;
    DecodeDate(v, year, month, day);
    DecodeTime(v, hour, minute, second, msec);
    TDateTime date = 0;
    EncodeDateChecked(year, month, day, date);
    const double timePart = timeOnly ? v : v - date;
    const TkqDateTimePart part = DateTimePartAtCaret(cursorPosition(), text(), timeOnly);
    switch (part) {
    case dtpDay: day = up ? NextDayInMonth(year, month, day) : PrevDayInMonth(year, month, day); break;
    case dtpMonth: month = up ? month % 12 + 1 : (month + 10) % 12 + 1; break;
    case dtpYear: year += up ? 1 : -1; break;
    case dtpHour: hour = up ? (hour + 1) % 24 : (hour + 23) % 24; break;
    case dtpMinute: minute = up ? (minute + 1) % 60 : (minute + 59) % 60; break;
    case dtpSecond: second = up ? (second + 1) % 60 : (second + 59) % 60; break;
    case dtpAmPm: hour = hour < 12 ? hour + 12 : hour - 12; break;
    }
    if (part <= dtpYear) {
        TDateTime newDate = 0;
        // The last days of a month that the new month lacks give way to its last day.
        while (!EncodeDateChecked(year, month, day, newDate) && day > 28) --day;
        if (EncodeDateChecked(year, month, day, newDate)) SetValue(newDate + timePart);
    } else {
        TDateTime newTime = 0;
        if (EncodeTimeChecked(hour, minute, second, msec, newTime)) SetValue(timeOnly ? newTime : std::floor(v) + newTime);
    }
    SelectDateTimePart(part, this, timeOnly);
}

void TkqDBSpinEdit::SetEditRect()
{
    const int b = BorderWidth();
    const int edge = b ? 0 : 2;
    int right = ClientWidth() - GetButtonWidth() - 2;
    if (Frame()->IsInEffect()) right -= 1;
    SetFormattingRect(TRect(edge, edge, right, ClientHeight()));
}

void TkqDBSpinEdit::PlaceSpinButton()
{
    const int b = BorderWidth();
    const int bw = FSpinButton->width();
    int left, top, h;
    if (NewStyleControls() && BorderStyle() != 0 && Ctl3D()) {
        left = width() - bw - 4;
        top = 0;
        h = height() - 3;
    } else {
        const int a = IsInGrid(this) ? 0 : 1;
        if (Frame()->Enabled()) {
            left = width() - bw - a - 1;
            top = 1;
            h = ClientHeight() - 3;
        } else {
            left = width() - bw - a;
            top = a;
            h = ClientHeight() - 2 * a;
        }
    }
    // Client coordinates to the control's: the border is not client area (and clips).
    h = std::min(h, ClientHeight() - top);
    FSpinButton->setGeometry(b + left, b + top, bw, std::max(h, 0));
    SetEditRect();
}

void TkqDBSpinEdit::resizeEvent(QResizeEvent* event)
{
    TkqDBCustomEdit::resizeEvent(event);
    PlaceSpinButton();
}

void TkqDBSpinEdit::paintEvent(QPaintEvent* event)
{
    TkqDBCustomEdit::paintEvent(event);
    FSpinButton->update();
}

void TkqDBSpinEdit::RefreshBehindButtons()
{
    QWidget* parent = parentWidget();
    if (!parent) return;
    FRepaintingBehind = true;
    parent->update(FSpinButton->geometry().translated(pos()));
    FRepaintingBehind = false;
}

void TkqDBSpinEdit::DoEnter()
{
    TkqDBCustomEdit::DoEnter();
    if (FButtonEffects->Flat()) FSpinButton->update();
}

void TkqDBSpinEdit::DoExit()
{
    TkqDBCustomEdit::DoExit();
}

void TkqDBSpinEdit::focusOutEvent(QFocusEvent* event)
{
    if (!IsWindowSwitchFocus(event)) {
        const double v = Value();
        if (v != CheckValue(v)) SetValue(CheckValue(v));
    }
    TkqDBCustomEdit::focusOutEvent(event);
    if (IsWindowSwitchFocus(event)) return;
    FSpinButton->UpButton()->ResetState();
    FSpinButton->DownButton()->ResetState();
    if (FButtonEffects->Flat() || FButtonEffects->Transparent()) {
        FSpinButton->UpButton()->SetTransparent(true);
        FSpinButton->DownButton()->SetTransparent(true);
        update();
    }
    if (FButtonEffects->Flat()) FSpinButton->update();
}
