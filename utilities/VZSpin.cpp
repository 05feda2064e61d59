#include "utilities/VZSpin.h"

#include "platform/vcl/Forms.h"

#include <QLineEdit>

TVzSpinEdit::TVzSpinEdit(QWidget* parent) : QDoubleSpinBox(parent)
{
    setDecimals(0);
    ApplyRange();
    connect(this, &QDoubleSpinBox::valueChanged, this, [this] {
        if (OnChange) TApplication::Guard([this] { OnChange(this); });
    });
}

void TVzSpinEdit::ApplyRange()
{
    if (FMin == FMax) setRange(-2147483647.0, 2147483647.0);
    else setRange(qMin(FMin, FMax), qMax(FMin, FMax));
}

void TVzSpinEdit::SetMinValue(double value)
{
    FMin = value;
    ApplyRange();
}

void TVzSpinEdit::SetMaxValue(double value)
{
    FMax = value;
    ApplyRange();
}

void TVzSpinEdit::SetIntValue(int value)
{
    setValue(value);
    lineEdit()->setText(textFromValue(this->value()));
}

void TVzSpinEdit::SetValueType(TValueType type)
{
    FValueType = type;
    setDecimals(type == vtFloat ? 2 : 0);
}
