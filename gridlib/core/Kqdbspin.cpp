#include "gridlib/core/Kqdbspin.h"

#include "platform/vcl/Forms.h"

#include <QLineEdit>
#include <QScopedValueRollback>

TkqDBSpinEdit::TkqDBSpinEdit(QWidget* parent) : QSpinBox(parent)
{
    setRange(0, 32767);
    FDataLink.SetControl(this);
    FDataLink.OnDataChange = [this](TFieldDataLink*) { DataChange(); };
    FDataLink.OnActiveChange = [this](TFieldDataLink*) { DataChange(); };
    connect(this, &QSpinBox::valueChanged, this, [this](int v) {
        if (FShowing) return;
        TApplication::Guard([&] { UserChanged(v); });
    });
}

void TkqDBSpinEdit::SetReadOnly(bool readOnly)
{
    FDataLink.SetReadOnly(readOnly);
    setReadOnly(readOnly);
}

QString TkqDBSpinEdit::Text() const { return lineEdit()->text(); }

void TkqDBSpinEdit::SetText(const QString& text)
{
    int v = 0;
    if (TryStrToInt(text.trimmed(), v)) setValue(v);
    else lineEdit()->clear();
}

void TkqDBSpinEdit::DataChange()
{
    FShowing = true;
    TField* f = FDataLink.Field();
    int v = 0;
    if (f && !f->IsNull() && TryStrToInt(f->Text().trimmed(), v)) {
        setValue(v);
        lineEdit()->setText(textFromValue(value()));
    } else {
        setValue(minimum());
        lineEdit()->clear();
    }
    FShowing = false;
}

void TkqDBSpinEdit::UserChanged(int value)
{
    TField* f = FDataLink.Field();
    if (f && !FDataLink.ReadOnly()) {
        if (!FDataLink.Edit()) {
            DataChange();
            return;
        }
        const QScopedValueRollback showing(FShowing, true);
        f->SetText(QString::number(value));
    }
    if (OnChange) OnChange(this);
}
