// The picker's value, text, data link, focus, clipboard, drop-down calendar and painting. The
// parts of the format and the keys are in kqdbdatetimepicker_keys.cpp.

#include "gridlib/editors/kqdbdatetimepicker.h"

#include "gridlib/core/Kqintl.h"
#include "gridlib/core/kqcommon.h"
#include "gridlib/core/kqgridhost.h"
#include "platform/core/ScopeExit.h"
#include "platform/core/SysFormat.h"
#include "platform/vcl/Edges.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <cmath>

namespace {

double DayOf(TDateTime v) { return std::trunc(v); }
double TimeOf(TDateTime v) { return std::abs(v - std::trunc(v)); }

// Posted to the picker on exit: the calendar is freed when the focus has not come back.
QEvent::Type DestroyCalendarEvent()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

[[noreturn]] void RaiseDateError(const char* text, TDateTime bound)
{
    throw EDateTimeError(QString::fromLatin1(text).arg(DateToStr(bound)));
}

// The picker whose calendar is open: one application event filter serves it, as one mouse
// hook served every picker.
QPointer<TkqDBCustomDateTimePicker> GHookedPicker;

} // namespace

// --- Calendar settings, popup calendar, button

TkqCalendarOptions::TkqCalendarOptions(QWidget* picker)
    : QObject(picker), FColors(new TkqDateTimeColors(picker)), FPopupYearOptions(new TkqPopupYearOptions(this))
{
    FColors->setParent(this);
}

TkqPopupCalendar::TkqPopupCalendar(TkqDBCustomDateTimePicker* picker) : TkqMonthCalendar(picker), FPicker(picker)
{
    // A window of its own that never takes the focus: the keys stay with the picker.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    SetDrawFocused(true);
}

void TkqPopupCalendar::Change()
{
    TkqMonthCalendar::Change();
    FPicker->CalendarChange();
}

void TkqPopupCalendar::mouseReleaseEvent(QMouseEvent* event)
{
    TkqMonthCalendar::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) return;
    // A day (the greyed ones too) or the calendar's background closes it; the title, the days
    // of the week and the week numbers do not.
    const unsigned hit = HitTest(event->position().toPoint()).Hit;
    if ((hit & MCHT_CALENDAR) && (hit & 0x20002u) != 0x20002u) FPicker->CloseUp(true);
}

TkqDateComboButton::TkqDateComboButton(TkqDBCustomDateTimePicker* picker) : QWidget(picker), FPicker(picker)
{
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
}

void TkqDateComboButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    TCanvas canvas(painter);
    const TRect r(0, 0, width(), height());
    if (IsPaintingCopy(FPicker) && IsInGrid(FPicker)) return;
    DrawComboArrowButton(canvas, r, FDown ? bsDown : bsUp, isEnabled(), GetControlState(FPicker));
}

void TkqDateComboButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    FDown = true;
    update();
}

void TkqDateComboButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FDown) return;
    FDown = false;
    update();
    if (rect().contains(event->position().toPoint())) FPicker->ButtonClick();
}

void TkqDateComboButton::enterEvent(QEnterEvent*)
{
    FMouseOver = true;
    update();
}

void TkqDateComboButton::leaveEvent(QEvent*)
{
    FMouseOver = false;
    update();
}

// --- The picker

TkqDBCustomDateTimePicker::TkqDBCustomDateTimePicker(QWidget* parent)
    : TkqCustomMaskEdit(parent), FCalendarAttributes(new TkqCalendarOptions(this)), FInterval(new TkqDTInterval(this))
{
    SetUsePictureMask(false);
    SetControlState(this, GetControlState(this));
    FEpoch = KqIntl()->DefaultEpochYear;
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnUpdateData = [this](TFieldDataLink*) { UpdateData(); };
    FButton = new TkqDateComboButton(this);
    FButton->resize(std::max(GetSystemMetrics(SM_CXVSCROLL), 15), 17);
    setMouseTracking(true);
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
    PlaceButton();
}

TkqDBCustomDateTimePicker::~TkqDBCustomDateTimePicker()
{
    FDataLink.OnDataChange = nullptr;
    FDataLink.OnActiveChange = nullptr;
    FDataLink.OnUpdateData = nullptr;
    if (FHookInstalled) qApp->removeEventFilter(this);
    delete FCalendar;
}

void TkqDBCustomDateTimePicker::Beep()
{
    ++FBeeps;
    QApplication::beep();
}

void TkqDBCustomDateTimePicker::SetDataSource(TDataSource* source)
{
    FDataLink.SetDataSource(source);
    if (!source) FUnboundDataType = kqDTEdtDateTime;
    DataChange();
}

void TkqDBCustomDateTimePicker::SetDataField(const QString& name)
{
    FDataLink.SetFieldName(name);
    if (name.isEmpty()) FUnboundDataType = kqDTEdtDateTime;
    DataChange();
}

void TkqDBCustomDateTimePicker::SetUnboundDataType(TkqDTEditDataType value)
{
    if (value == FUnboundDataType) return;
    FUnboundDataType = value;
    RefreshText();
}

void TkqDBCustomDateTimePicker::SetDisplayFormat(const QString& value)
{
    if (value == FDisplayFormat) return;
    FDisplayFormat = value;
    RefreshText();
}

void TkqDBCustomDateTimePicker::SetDateFormat(TDTDateFormat value)
{
    if (value == FDateFormat) return;
    FDateFormat = value;
    RefreshText();
}

void TkqDBCustomDateTimePicker::SetMaxDate(TDateTime value)
{
    if (FMinDate != 0 && value != 0 && value < FMinDate) RaiseDateError("Date is less than minimum of %1", FMinDate);
    FMaxDate = value;
}

void TkqDBCustomDateTimePicker::SetMinDate(TDateTime value)
{
    if (FMaxDate != 0 && value > FMaxDate) RaiseDateError("Date exceeds maximum of %1", FMaxDate);
    FMinDate = value;
}

void TkqDBCustomDateTimePicker::SetReadOnly(bool value)
{
    FDataLink.SetReadOnly(value);
    setReadOnly(value);
}

void TkqDBCustomDateTimePicker::SetShowButton(bool value)
{
    FShowButton = value;
    FButton->setVisible(value && !IsTimeKind());
    SetEditRect();
    update();
}

void TkqDBCustomDateTimePicker::SetButtonWidth(int value)
{
    FButtonWidth = value;
    FButton->resize(value == 0 ? std::max(GetSystemMetrics(SM_CXVSCROLL), 15) : value, FButton->height());
    PlaceButton();
}

bool TkqDBCustomDateTimePicker::IsDangling() const
{
    return !FDataLink.Field() && (FDataLink.DataSource() || !FDataLink.FieldName().isEmpty());
}

TDateTime TkqDBCustomDateTimePicker::FieldValue() const
{
    const TField* f = FDataLink.Field();
    return f && !f->IsNull() ? f->AsDateTime() : 0;
}

bool TkqDBCustomDateTimePicker::FieldIsNull() const
{
    const TField* f = FDataLink.Field();
    return f && f->IsNull();
}

// --- Kinds and text

namespace {
bool IsDateTimeType(TFieldType t) { return t == ftDateTime || t == ftTimeStamp; }
} // namespace

bool TkqDBCustomDateTimePicker::IsDateKind() const
{
    const TField* f = FDataLink.Field();
    return f ? f->DataType() == ftDate : FUnboundDataType == kqDTEdtDate;
}

bool TkqDBCustomDateTimePicker::IsTimeKind() const
{
    const TField* f = FDataLink.Field();
    if (!f) return FUnboundDataType == kqDTEdtTime;
    if (f->DataType() == ftTime) return true;
    return IsDateTimeType(f->DataType()) && !FormatHasDatePart(ExpandDisplayFormat());
}

bool TkqDBCustomDateTimePicker::IsDateTimeKind() const
{
    const TField* f = FDataLink.Field();
    return f ? IsDateTimeType(f->DataType()) : FUnboundDataType == kqDTEdtDateTime;
}

bool TkqDBCustomDateTimePicker::EditsDateOnly() const
{
    const TField* f = FDataLink.Field();
    if (!f) return FUnboundDataType == kqDTEdtDate;
    if (f->DataType() == ftDate) return true;
    if (!IsDateTimeType(f->DataType())) return false;
    const QString format = ResolveDisplayFormat(true);
    for (QChar c : format)
        if (QStringLiteral("HNSTChnstc").contains(c)) return false;
    return true;
}

QString TkqDBCustomDateTimePicker::ResolveDisplayFormat(bool withDefaults) const
{
    if (!FDisplayFormat.isEmpty()) return FDisplayFormat;
    const TField* f = FDataLink.Field();
    if (const auto* dt = qobject_cast<const TDateTimeField*>(f); dt && !dt->DisplayFormat().isEmpty())
        return dt->DisplayFormat();
    if (!withDefaults) return QString();
    const TFormatSettings& fs = FormatSettings;
    const bool time = f ? f->DataType() == ftTime : FUnboundDataType == kqDTEdtTime;
    const bool date = f ? f->DataType() == ftDate : FUnboundDataType == kqDTEdtDate;
    if (time) return FDateFormat == dfShort ? fs.ShortTimeFormat : fs.LongTimeFormat;
    if (date) return FDateFormat == dfShort ? fs.ShortDateFormat : fs.LongDateFormat;
    return FDateFormat == dfShort ? QStringLiteral("c") : fs.LongDateFormat + QLatin1Char(' ') + fs.LongTimeFormat;
}

QString TkqDBCustomDateTimePicker::ReplaceAllInFormat(const QString& text, const QString& oldText, const QString& newText)
{
    if (oldText.isEmpty()) return text;
    QString out;
    int i = 0;
    while (i < text.size()) {
        if (text.mid(i, oldText.size()) == oldText) {
            out += newText;
            i += int(oldText.size());
        } else {
            out += text[i++];
        }
    }
    return out;
}

QString TkqDBCustomDateTimePicker::ExpandDisplayFormat() const
{
    const TFormatSettings& fs = FormatSettings;
    QString f = ResolveDisplayFormat(true);
    f = ReplaceAllInFormat(f, QStringLiteral("c"), fs.ShortDateFormat + QLatin1Char(' ') + fs.LongTimeFormat);
    f = ReplaceAllInFormat(f, QStringLiteral("dddddd"), fs.LongDateFormat);
    f = ReplaceAllInFormat(f, QStringLiteral("ddddd"), fs.ShortDateFormat);
    f = ReplaceAllInFormat(f, QStringLiteral("tt"), fs.LongTimeFormat);
    f = ReplaceAllInFormat(f, QStringLiteral("t"), fs.ShortTimeFormat);
    return f;
}

QString TkqDBCustomDateTimePicker::FormatValue(TDateTime value) const
{
    if (IsDangling()) return QString();
    if (DayOf(value) == 0 && !IsTimeKind()) return QString();
    if (!ResolveDisplayFormat(false).isEmpty() || FDateFormat != dfLong || TimeOf(value) != 0)
        return FormatDateTime(ResolveDisplayFormat(true), value);
    return FormatDateTime(FormatSettings.LongDateFormat, value);
}

QString TkqDBCustomDateTimePicker::DisplayText(TDateTime value) const
{
    if (IsDangling()) return QString();
    if (FieldIsNull() && !IsDroppedDown()) return QString();
    if (!FDataLink.Field() && value == 0 && FTextCleared) return QString();
    return FormatValue(value);
}

void TkqDBCustomDateTimePicker::RefreshText()
{
    if (isModified()) {
        setText(FormatValue(FValue));
        setModified(true);
    } else if (FDataLink.Field() || (FValue != 0 && FDataLink.FieldName().isEmpty() && !FDataLink.DataSource())) {
        setText(DisplayText(FValue));
    } else {
        setText(QString());
    }
    update();
}

// --- Value setters

TDateTime TkqDBCustomDateTimePicker::EffectiveMaxDate() const
{
    return DayOf(FMaxDate) == 0 ? EncodeDate(9999, 12, 31) : FMaxDate;
}

TDateTime TkqDBCustomDateTimePicker::EffectiveMinDate() const
{
    return DayOf(FMinDate) == 0 ? EncodeDate(1899, 12, 31) : FMinDate;
}

void TkqDBCustomDateTimePicker::SetDateTime(TDateTime value)
{
    const bool modified = isModified();
    const bool bound = FDataLink.Field() != nullptr;
    if (bound || value != 0) {
        if (value == FValue && FValue != 0) return;
    }
    if (!bound && value == 0) FTextCleared = false;
    if (value == 0) {
        FValue = 0;
        if (!IsTimeKind()) {
            if (!text().isEmpty()) setText(QString());
            setModified(modified);
            return;
        }
    }
    std::exception_ptr error;
    if (value != 0 && (DayOf(value) != 0 || !IsTimeKind()) && (!bound || !FieldIsNull())) {
        try {
            if (FMaxDate != 0 && DayOf(value) > DayOf(FMaxDate)) RaiseDateError("Date exceeds maximum of %1", FMaxDate);
            if (FMinDate != 0 && value < FMinDate) RaiseDateError("Date is less than minimum of %1", FMinDate);
        } catch (...) {
            error = std::current_exception();
        }
    }
    FValue = value;
    const QString t = FormatValue(FValue);
    if (text() != t) setText(t);
    SelectCurrentPart(FValue);
    setModified(modified);
    if (error) std::rethrow_exception(error);
}

void TkqDBCustomDateTimePicker::SetDate(TDateTime value)
{
    if (IsTimeKind()) return;
    if (FDataLink.Field() || value != 0) {
        if (DayOf(value) == DayOf(FValue)) return;
        const TDateTime h = DayOf(value) >= 0 ? DayOf(value) + TimeOf(FValue) : DayOf(value) - TimeOf(FValue);
        if (h == 0) {
            SetDateTime(0);
            update();
            return;
        }
        try {
            if (FMaxDate != 0 && DayOf(h) > DayOf(FMaxDate)) RaiseDateError("Date exceeds maximum of %1", FMaxDate);
            if (FMinDate != 0 && h < FMinDate) RaiseDateError("Date is less than minimum of %1", FMinDate);
        } catch (...) {
            const TDateTime old = FValue;
            FValue = old + 1;   // forces the old value to be shown again
            SetDateTime(old);
            throw;
        }
        SetDateTime(h);
        return;
    }
    FTextCleared = false;
    SetDateTime(0);
}

void TkqDBCustomDateTimePicker::SetTime(TDateTime value)
{
    if (IsDateKind()) return;
    if (FDataLink.Field() || value != 0) {
        if (TimeOf(value) == TimeOf(FValue)) return;
        const TDateTime v = DayOf(FValue) >= 0 ? DayOf(FValue) + TimeOf(value) : DayOf(FValue) - TimeOf(value);
        SetDateTime(v);
        if (v == 0) update();
        return;
    }
    FTextCleared = false;
    SetDateTime(0);
}

TDateTime TkqDBCustomDateTimePicker::Date() const
{
    const_cast<TkqDBCustomDateTimePicker*>(this)->CommitDigitEntry();
    return IsTimeKind() ? 0 : FValue;
}

TDateTime TkqDBCustomDateTimePicker::Time() const
{
    const_cast<TkqDBCustomDateTimePicker*>(this)->CommitDigitEntry();
    return IsDateKind() ? 0 : FValue;
}

// --- Edit permission and the data link

bool TkqDBCustomDateTimePicker::CanModify() const
{
    if (FDataLink.ReadOnly()) return false;
    const TField* f = FDataLink.Field();
    if (f) {
        if (f->ReadOnly() || !f->DataSet() || !f->DataSet()->CanModify()) return false;
    } else if (!FDataLink.DataSource()) {
        return true;
    }
    const TDataSource* source = FDataLink.DataSource();
    if (source && !source->AutoEdit()) {
        const TDataSet* ds = source->DataSet();
        return ds && (ds->State() == dsEdit || ds->State() == dsInsert);
    }
    return f != nullptr;
}

bool TkqDBCustomDateTimePicker::CanAcceptCalendarValue() const
{
    const TField* f = FDataLink.Field();
    if (!f) return true;
    const TDataSet* ds = f->DataSet();
    if (ds && (ds->State() == dsEdit || ds->State() == dsInsert)) return true;
    return !FDataLink.ReadOnly() && IsCalculatedOrLookup(f) && !f->ReadOnly() && ds && ds->CanModify();
}

void TkqDBCustomDateTimePicker::EnterEditState()
{
    if (FDataLink.Field()) FDataLink.Edit();
}

void TkqDBCustomDateTimePicker::SetModifiedState(bool flag)
{
    if (flag) {
        const TField* f = FDataLink.Field();
        if (f && f->ReadOnly()) return;
        FDataLink.Modified();
    }
    setModified(flag);
}

void TkqDBCustomDateTimePicker::DataChange()
{
    TField* f = FDataLink.Field();
    if (f) {
        if (f->Alignment() != FFieldAlignment) {
            setText(QString());
            FFieldAlignment = f->Alignment();
        }
        const TDataSetState state = FDataLink.DataSource() ? FDataLink.DataSource()->State() : dsInactive;
        if (f->IsNull()) {
            FValue = 0;
            setText(QString());
            if (state == dsBrowse || state == dsInsert) {
                FCurrentPart = 1;
                selectAll();
            }
        } else {
            FValue = f->AsDateTime();
            // The same text again keeps the selected part (the record went into edit).
            if (const QString t = DisplayText(FValue); t != text()) setText(t);
            if (state == dsBrowse) {
                FCurrentPart = 1;
                if (hasFocus()) SelectCurrentPart(FValue);
                else selectAll();
            }
        }
        update();
        return;
    }
    FFieldAlignment = taLeftJustify;
    if (IsDangling()) RefreshText();
}

void TkqDBCustomDateTimePicker::UpdateData()
{
    TField* f = FDataLink.Field();
    if (!f || isReadOnly() || !isModified()) return;
    if (!FDataLink.Editing() && !IsCalculatedOrLookup(f)) return;
    if (FPendingValue != 0) {
        FValue = FPendingValue;
        FPendingValue = 0;
    }
    if (EditsDateOnly()) {
        const TDateTime v = FValue;
        FValue = v + 1;   // the setter checks the bounds of the value itself
        SetDateTime(v);
        const TDateTime fieldTime = f->IsNull() ? 0 : TimeOf(f->AsDateTime());
        FValue = DayOf(FValue) == 0 ? 0 : DayOf(FValue) + fieldTime;
        if (FValue == 0) FTextCleared = true;
    } else if (IsTimeKind()) {
        const TDateTime fieldDay = f->IsNull() ? 0 : DayOf(f->AsDateTime());
        const TDateTime v = fieldDay + TimeOf(FValue);
        if (v == 0 && text().isEmpty()) f->Clear();
        else f->SetAsDateTime(v);
        return;
    }
    if (FValue != 0) f->SetAsDateTime(FValue);
    else if (FTextCleared || text().isEmpty()) f->Clear();
}

void TkqDBCustomDateTimePicker::UpdateRecordSafely()
{
    const bool modified = isModified();
    try {
        FDataLink.UpdateRecord();
    } catch (...) {
        SelectCurrentPart(FValue);
        TakeFocusBack(this);
        setModified(modified);
        throw;
    }
}

void TkqDBCustomDateTimePicker::TextChanged()
{
    if (FValueFromCalendar) setModified(true);
    if (OnChange) OnChange(this);
    if (FDataLink.Field() && isModified()) FDataLink.Modified();
    if (text().isEmpty()) FValue = IsTimeKind() ? DayOf(FValue) : TimeOf(FValue);
}

void TkqDBCustomDateTimePicker::RevertEdit()
{
    if (FDataLink.Field()) {
        FDataLink.Reset();
    } else {
        const TDateTime v = FValueAtEnter;
        FValue = v + 1;
        try {
            SetDateTime(v);
        } catch (const EDateTimeError&) {
        }
    }
    setModified(false);
    FCurrentPart = 1;
}

// --- Focus

void TkqDBCustomDateTimePicker::SetFocusedState(bool value)
{
    if (FFocused == value) return;
    FFocused = value;
    if (FFieldAlignment != taLeftJustify) update();
    if (FDataLink.Field()) FDataLink.Reset();
}

void TkqDBCustomDateTimePicker::focusInEvent(QFocusEvent* event)
{
    const bool windowSwitch = IsWindowSwitchFocus(event);
    QLineEdit::focusInEvent(event);
    if (windowSwitch && FFocused) return;
    SetEditRect();
    SetFocusedState(true);
    if (IsInGrid(this)) FCurrentPart = 1;
    if (FieldIsNull()) {
        setText(QString());
    } else {
        FValueAtEnter = FValue;
        setText(DisplayText(FValue));
        SelectCurrentPart(FValue);
    }
    if (OnEnter) OnEnter(this);
    if (FValue != 0 && !text().isEmpty()) {
        update();
        if (!FKeepSelectionOnEnter) selectAll();
    }
    if (!FDataLink.Field()) setModified(false);
    if (PaintsTransparent()) {
        Frame()->CreateTransparent = false;
        SetTransparentStyle(this, false);
    }
    update();
}

void TkqDBCustomDateTimePicker::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (IsWindowSwitchFocus(event) || FInExit) return;
    // A click into the open calendar keeps the focus here.
    if (FCalendar && FCalendar->isVisible() && QApplication::focusWidget() == nullptr) return;
    FInExit = true;
    TScopeExit clear([this] { FInExit = false; });
    CloseUp(true);
    CommitDigitEntry();
    if (isModified()) UpdateRecordSafely();
    DoExitPicker();
    SetFocusedState(false);
    if (PaintsTransparent()) {
        Frame()->CreateTransparent = true;
        RecreateWnd();
        InvalidateBehindControl(this);
    }
    update();
}

void TkqDBCustomDateTimePicker::DoExitPicker()
{
    if (OnExit) OnExit(this);
    QCoreApplication::postEvent(this, new QEvent(DestroyCalendarEvent()));
}

bool TkqDBCustomDateTimePicker::event(QEvent* event)
{
    if (event->type() == DestroyCalendarEvent()) {
        if (!hasFocus() && FCalendar && !FCalendar->isVisible()) delete FCalendar;
        return true;
    }
    return TkqCustomMaskEdit::event(event);
}

// --- Clipboard

void TkqDBCustomDateTimePicker::CutToClipboard()
{
    EnterEditState();
    QApplication::clipboard()->setText(hasSelectedText() ? selectedText() : text());
    if (!CanModify()) return;
    SetDateTime(0);
    setText(QString());
    repaint();
    FCurrentPart = 1;
    FTextCleared = true;
    SetModifiedState(true);
}

void TkqDBCustomDateTimePicker::PasteFromClipboard()
{
    if (!CanModify()) return;
    const QString old = text();
    EnterEditState();
    const QString pasted = QApplication::clipboard()->text().trimmed();
    try {
        TDateTime v = 0;
        if (IsTimeKind()) {
            if (TryStrToTime(pasted, v) && v != 0) SetDateTime(v);
            else setText(old);
        } else {
            if (!TryStrToDateTime(pasted, v) || DayOf(v) == 0) {
                v = 0;
                TryStrToDate(pasted, v);
            }
            if (DayOf(v) != 0) SetDateTime(v);
            else setText(old);
        }
    } catch (const Exception&) {
        setText(old);
    }
    RefreshText();
    SelectCurrentPart(FValue);
    SetModifiedState(true);
}

void TkqDBCustomDateTimePicker::contextMenuEvent(QContextMenuEvent* event)
{
    // The line edit's menu would cut and paste free text; the picker has none of its own.
    event->accept();
}

// --- Drop-down calendar

bool TkqDBCustomDateTimePicker::IsDroppedDown() const { return FCalendar && FCalendar->isVisible(); }

void TkqDBCustomDateTimePicker::DropDown()
{
    if (IsDroppedDown() || IsDangling() || IsTimeKind()) return;
    if (!CanModify()) {
        setReadOnly(true);
        return;
    }
    setReadOnly(false);
    FValueBeforeDropDown = FValue;
    CommitDigitEntry();
    FInDigitEntry = false;
    const QPoint corner = mapToGlobal(QPoint(0, 0));
    const int x = corner.x();
    const int y = corner.y();
    const int top = y + height() - 1;
    if (!FCalendar) {
        FCalendar = new TkqPopupCalendar(this);
        FCalendar->hide();
    }
    TkqPopupCalendar* cal = FCalendar;
    cal->SetBorderStyle(1);
    cal->CalColors()->Assign(FCalendarAttributes->Colors());
    cal->OnCalcBoldDay = OnCalcBoldDay;
    cal->SetOptions(FCalendarAttributes->Options);
    cal->SetMinDate(0);
    cal->SetMaxDate(EffectiveMaxDate());
    cal->SetMinDate(EffectiveMinDate());
    cal->setFont(FCalendarAttributes->FontSet ? FCalendarAttributes->Font : font());
    cal->SetPopupYearOptions(FCalendarAttributes->PopupYearOptions());
    cal->SetFirstDayOfWeek(FCalendarAttributes->FirstDayOfWeek);
    if (text().isEmpty() || FValue == 0) {
        EnterEditState();
        SetModifiedState(true);
        if (text().isEmpty()) {
            TDateTime today = ::Date();
            if (today > DayOf(EffectiveMaxDate()) || today < DayOf(EffectiveMinDate())) today = EffectiveMinDate();
            SetDateTime(today);
        }
    }
    setText(FormatValue(FValue));
    if (FValue != 0) SetModifiedState(isModified());
    cal->ApplyDate(FValue);
    deselect();
    if (OnDropDown) OnDropDown(this);
    const QSize size = cal->MinReqSize();
    cal->resize(size);
    const TRect work = GetDesktopWorkArea();
    int calTop = top;
    if (calTop + size.height() > work.Bottom && y - size.height() > 0) calTop = y - size.height();
    const int b = std::max(GetSystemMetrics(SM_CXVSCROLL), 15);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1024;
    const bool overflow = x + size.width() >= screenWidth;
    int left = x;
    switch (FCalendarAttributes->Alignment) {
    case kqdtaLeft: left = overflow ? x + width() - 1 - size.width() : x; break;
    case kqdtaRight: left = overflow ? x + width() - 1 - size.width() : x + width() - b - size.width() - 1; break;
    case kqdtaCenter: left = overflow ? x + width() - 1 - size.width() : x + (width() - size.width() - b - 1) / 2; break;
    }
    if (FCalendarAttributes->Alignment != kqdtaLeft && left < 0) left = 0;
    cal->move(left + 1, calTop);
    cal->show();
    cal->raise();
    if (!FHookInstalled) {
        if (GHookedPicker && GHookedPicker != this) GHookedPicker->CloseUp(true);
        qApp->installEventFilter(this);
        FHookInstalled = true;
        GHookedPicker = this;
    }
}

void TkqDBCustomDateTimePicker::CloseUp(bool accept)
{
    if (FInCloseUp) return;
    FInCloseUp = true;
    TScopeExit done([this] {
        FInCloseUp = false;
        if (FHookInstalled) {
            qApp->removeEventFilter(this);
            FHookInstalled = false;
            if (GHookedPicker == this) GHookedPicker = nullptr;
        }
    });
    if (!IsDroppedDown()) return;
    TkqPopupCalendar* cal = FCalendar;
    const TDateTime d = accept ? cal->Date() : 0;
    const QString t = accept ? DisplayText(cal->Date()) : QString();
    cal->hide();
    if (accept && FDataLink.Field()) {
        if (t != DisplayText(FieldValue()) && CanAcceptCalendarValue()) {
            if (!t.isEmpty()) SetDate(d);
            else setText(QString());
            SetModifiedState(true);
        }
    } else if (!accept) {
        const TDateTime v = FValueBeforeDropDown;
        FValue = v + 1;
        const bool modified = isModified();
        SetDateTime(v);
        setModified(modified);
    }
    if (OnCloseUp) OnCloseUp(this);
    update();
    SelectCurrentPart(FValue);
    selectAll();
}

void TkqDBCustomDateTimePicker::CalendarChange()
{
    if (!CanModify() || !FCalendar) return;
    EnterEditState();
    SetModifiedState(true);
    FValueFromCalendar = true;
    TScopeExit done([this] { FValueFromCalendar = false; });
    SetDate(FCalendar->Date());
}

bool TkqDBCustomDateTimePicker::eventFilter(QObject* watched, QEvent* event)
{
    // The drop-down's mouse hook: a press outside the picker and its calendar closes it,
    // keeping the calendar's date; not while the calendar's month or year menu is open.
    if (FHookInstalled && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::NonClientAreaMouseButtonPress)) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && IsDroppedDown() && !FCalendar->IsPopupMenuShowing()) {
            const QPoint g = me->globalPosition().toPoint();
            const QRect calRect(FCalendar->mapToGlobal(QPoint(0, 0)), FCalendar->size());
            const QRect ownRect(mapToGlobal(QPoint(0, 0)), size());
            if (!calRect.contains(g) && !ownRect.contains(g))
                QMetaObject::invokeMethod(this, [self = QPointer<TkqDBCustomDateTimePicker>(this)] {
                    if (self) self->CloseUp(true);
                }, Qt::QueuedConnection);
        }
    }
    return TkqCustomMaskEdit::eventFilter(watched, event);
}

void TkqDBCustomDateTimePicker::ButtonClick()
{
    if (IsDroppedDown()) {
        CloseUp(true);
        return;
    }
    FKeepSelectionOnEnter = true;
    TScopeExit done([this] { FKeepSelectionOnEnter = false; });
    if (isEnabled() && isVisible()) setFocus(Qt::MouseFocusReason);
    if (hasFocus() || QApplication::focusWidget() == this) DropDown();
}

// --- Button, edit rectangle and painting

int TkqDBCustomDateTimePicker::GetButtonWidth() const { return FButton->width(); }
int TkqDBCustomDateTimePicker::GetButtonLeft() const { return FButton->x() - BorderWidth() - 1; }

void TkqDBCustomDateTimePicker::PlaceButton()
{
    const int b = BorderWidth();
    const int w = FButtonWidth == 0 ? std::max(GetSystemMetrics(SM_CXVSCROLL), 15) : FButtonWidth;
    const int m = Frame()->IsInEffect() ? 2 : 0;
    FButton->setGeometry(width() - b - w - m, b + m, w, std::max(0, height() - 2 * b - 2 * m));
    FButton->setVisible(FShowButton && !IsTimeKind());
    SetEditRect();
}

void TkqDBCustomDateTimePicker::SetEditRect()
{
    int left = BorderStyle() != 0 ? 0 : 1;
    int top = left;
    if (IsInGrid(this) && BorderStyle() == 0) {
        left = top = 2;
        if (ParentIsNamed(this, "TkqDBGrid"))
            if (const TkqGridHost* host = ParentGridHost(this); host && !host->HasRowLines()) top = 1;
    } else if (Frame()->Enabled()) {
        int right = 0;
        Frame()->GetEditRectMargins(left, top, right);
    }
    const int right = FShowButton && !IsTimeKind() ? GetButtonLeft() : ClientWidth() - 2;
    SetFormattingRect(TRect(left, top, right, ClientHeight() + 1));
}

void TkqDBCustomDateTimePicker::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    PlaceButton();
}

void TkqDBCustomDateTimePicker::changeEvent(QEvent* event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) SetEditRect();
    if (event->type() == QEvent::EnabledChange) {
        FButton->setEnabled(isEnabled());
        update();
    }
}

void TkqDBCustomDateTimePicker::enterEvent(QEnterEvent* event)
{
    QLineEdit::enterEvent(event);
    FMouseOver = true;
    try {
        if (OnMouseEnter) OnMouseEnter(this);
    } catch (...) {
        return;
    }
    if (!FFocused && Frame()->IsInEffect() && Frame()->MouseEnterSameAsFocus) update();
}

void TkqDBCustomDateTimePicker::leaveEvent(QEvent* event)
{
    QLineEdit::leaveEvent(event);
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    FMouseOver = false;
    try {
        if (OnMouseLeave) OnMouseLeave(this);
    } catch (...) {
        return;
    }
    if (!FFocused && Frame()->IsInEffect() && Frame()->MouseEnterSameAsFocus) RecreateWnd();
}

bool TkqDBCustomDateTimePicker::PaintsItself() const
{
    if (IsPaintingCopy(this) || !FFocused) return true;
    // The focused cell of a grid that has the focus shows the grid's highlight.
    return FDataLink.Field() && ParentIsNamed(this, "TkqDBGrid") && ParentGrid(this) && ParentGrid(this)->hasFocus();
}

void TkqDBCustomDateTimePicker::paintEvent(QPaintEvent* event)
{
    if (IsTimeKind()) FButton->setVisible(false);
    else if (FButton->isVisible() != FShowButton) FButton->setVisible(FShowButton);
    const int b = BorderWidth();
    {
        QPainter painter(this);
        TCanvas canvas(painter);
        if (BorderStyle() != 0 && !Frame()->Enabled()) {
            TRect r(0, 0, width(), height());
            if (Ctl3D()) DrawEdge(canvas, r, EDGE_SUNKEN, BF_RECT);
            else {
                canvas.Brush.Color = clWindowFrame;
                canvas.FrameRect(r);
            }
        }
        if (PaintsItself()) {
            painter.translate(b, b);
            painter.setClipRect(QRect(0, 0, ClientWidth(), ClientHeight()));
            PaintPicker(canvas);
            return;
        }
        canvas.Brush.Color = Color();
        canvas.Brush.Style = bsSolid;
        canvas.FillRect(TRect(b, b, width() - b, height() - b));
    }
    QLineEdit::paintEvent(event);
    if (Frame()->IsInEffect()) {
        QPainter painter(this);
        TCanvas canvas(painter);
        Frame()->PaintFrame(canvas, true, false);
    }
}

void TkqDBCustomDateTimePicker::PaintCopy(TCanvas& canvas)
{
    PaintPicker(canvas);
}

void TkqDBCustomDateTimePicker::PaintPicker(TCanvas& canvas)
{
    const bool copy = IsPaintingCopy(this);
    const bool inGrid = IsInGrid(this);
    const bool copyInGrid = copy && inGrid;
    const bool transparentUnfocused = PaintsTransparent() && !FFocused;
    const TRect client(0, 0, ClientWidth(), ClientHeight());
    TField* f = FDataLink.Field();
    TkqGridHost* host = ParentGridHost(this);

    const TColor cellColor = canvas.Font.Color;
    canvas.Font = TFont(font(), FontColor());
    if (!isEnabled() && Color() != clGrayText) canvas.Font.Color = clGrayText;
    else if (copyInGrid) canvas.Font.Color = cellColor;
    else if (host) canvas.Font.Color = host->GridFontColor();

    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = Color();
    if (Frame()->Enabled() && !FFocused && Frame()->NonFocusColor != clNone) canvas.Brush.Color = Frame()->NonFocusColor;
    if (!transparentUnfocused && !copyInGrid) canvas.FillRect(client);

    QString shown;
    if (copy && f) shown = DisplayText(FieldValue());
    else if (!f || isModified()) shown = DisplayText(FValue);
    else shown = (f->IsNull() || FValue != 0) ? DisplayText(FieldValue()) : FormatValue(0);

    bool highlight = false;
    if (f && !copy && ParentIsNamed(this, "TkqDBGrid") && ParentGrid(this) && ParentGrid(this)->hasFocus()) {
        highlight = true;
        TColor background = clHighlight;
        canvas.Font.Color = clHighlightText;
        if (host) host->CalcCellColors(f, TGridDrawState{gdSelected, gdFocused}, true, canvas.Font, background);
        canvas.Brush.Color = background;
        canvas.FillRect(client);
    }

    int y = 1;
    int x = 1;
    if (inGrid) {
        x = 2;
        if (ParentIsNamed(this, "TkqDBGrid") && host && host->HasRowLines()) y = 2;
    } else if (Frame()->IsInEffect()) {
        Frame()->GetTextOffsets(x, y, FFocused);
    }
    const int textWidth = canvas.TextWidth(shown);
    int left = x;
    const bool button = FShowButton && !IsTimeKind() && !copy;
    if (FFieldAlignment == taRightJustify) {
        left = (button ? GetButtonLeft() : client.Right) - textWidth - y;
        if (Frame()->IsInEffect()) left -= Frame()->NonFocusTextOffsetX;
    } else if (FFieldAlignment == taCenter) {
        left = (client.Left + client.Right - textWidth - (button ? GetButtonWidth() : 0)) / 2;
    }
    if (!FFocused) {
        if (transparentUnfocused && Frame()->NonFocusTransparentFontColor != clNone)
            canvas.Font.Color = Frame()->NonFocusTransparentFontColor;
        else if (Frame()->Enabled() && Frame()->NonFocusFontColor != clNone)
            canvas.Font.Color = Frame()->NonFocusFontColor;
        if (highlight) canvas.Font.Color = clHighlightText;
    }
    canvas.Save();
    canvas.SetClipRect(button ? TRect(client.Left, client.Top, GetButtonLeft(), client.Bottom) : client);
    canvas.Brush.Style = bsClear;
    canvas.TextOut(left - 1 + ((copy && !inGrid) ? -1 : 0), y - 1, shown);
    canvas.Restore();
    if (highlight) {
        TRect r = client;
        if (BorderStyle() != 0) r = TRect(r.Left + 1, r.Top + 1, r.Right, r.Bottom - 1);
        DrawFocusRect(canvas, r);
    }
    if (Frame()->IsInEffect()) Frame()->PaintFrame(canvas, FFocused, false);
}

// --- Date routines

int TkqDBCustomDateTimePicker::DaysInMonth(int month, int year) { return TkqMonthCalendar::MonthLength(month, year); }

TDateTime TkqDBCustomDateTimePicker::AddMonths(int n, TDateTime value)
{
    int year = 0, month = 0, day = 0;
    DecodeDate(value, year, month, day);
    const int y0 = year, m0 = month, d0 = day;
    year += n / 12;
    month += n % 12;
    if (month < 1 || month > 12) {
        const int sign = n >= 0 ? 1 : -1;
        year += sign;
        month -= sign * 12;
    }
    if (year > 9999) {
        year = y0;
        month = m0;
        day = d0;
    }
    day = std::min(day, DaysInMonth(month, year));
    const TDateTime d = EncodeDate(year, month, day);   // raises below year 1
    return d >= 0 ? d + TimeOf(value) : d - TimeOf(value);
}

int TkqDBCustomDateTimePicker::ExpandTwoDigitYear(int yy, int epoch)
{
    int year = yy + (epoch / 100) * 100;
    if (yy < epoch % 100) year += 100;
    return year;
}

bool TkqDBCustomDateTimePicker::SameOrLaterDay(TDateTime a, TDateTime b) { return DayOf(a) >= DayOf(b); }

void RegisterDateTimePickerClass()
{
    RegisterControlClass(QStringLiteral("TkqDBDateTimePicker"), [](QWidget* owner) -> QWidget* {
        return new TkqDBDateTimePicker(owner);
    });
}
