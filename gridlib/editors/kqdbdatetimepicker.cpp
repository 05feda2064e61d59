#include "gridlib/editors/kqdbdatetimepicker.h"

#include "platform/vcl/Forms.h"

#include <QScopedValueRollback>

namespace {
const QDateTime BlankValue(QDate(100, 1, 1), QTime(0, 0));
}

TkqDBCustomDateTimePicker::TkqDBCustomDateTimePicker(QWidget* parent) : QDateTimeEdit(parent)
{
    setCalendarPopup(true);
    setTimeSpec(Qt::UTC);
    setMinimumDateTime(BlankValue);
    setSpecialValueText(QStringLiteral(" "));
    setDateTime(BlankValue);
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& v) {
        if (!FShowing) TApplication::Guard([&] { UserChanged(v); });
    });
}

void TkqDBCustomDateTimePicker::SetReadOnly(bool readOnly)
{
    FDataLink.SetReadOnly(readOnly);
    setReadOnly(readOnly);
}

void TkqDBCustomDateTimePicker::DataChange()
{
    FShowing = true;
    TField* f = FDataLink.Field();
    if (f) {
        switch (f->DataType()) {
        case ftDate: setDisplayFormat(QStringLiteral("yyyy-MM-dd")); break;
        case ftTime: setDisplayFormat(QStringLiteral("HH:mm:ss")); break;
        default: setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss")); break;
        }
    }
    if (f && !f->IsNull()) {
        QDateTime dt = DateTimeToQDateTime(f->AsDateTime());
        dt.setTimeSpec(Qt::UTC);
        setDateTime(dt);
    } else {
        setDateTime(BlankValue);
    }
    FShowing = false;
}

void TkqDBCustomDateTimePicker::UserChanged(const QDateTime& value)
{
    TField* f = FDataLink.Field();
    if (!f || FDataLink.ReadOnly()) return;
    if (!FDataLink.Edit()) {
        DataChange();
        return;
    }
    const QScopedValueRollback showing(FShowing, true);
    if (value == BlankValue) f->Clear();
    else f->SetAsDateTime(QDateTimeToDateTime(value));
}
