#pragma once
// The numeric spin edit: Increment steps the value within MinValue..MaxValue (no limits when
// the two are equal); OnChange fires whenever the value changes.

#include <QDoubleSpinBox>
#include <functional>

enum TValueType { vtInteger, vtFloat };
enum TSpinButtonKind { bkDiagonal, bkStandard };

class TVzSpinEdit : public QDoubleSpinBox {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE SetValue)

public:
    explicit TVzSpinEdit(QWidget* parent = nullptr);

    double Value() const { return value(); }
    void SetValue(double value) { setValue(value); }
    int GetIntValue() const { return int(value()); }
    int AsInteger() const { return GetIntValue(); }
    // Sets the value and rewrites the text.
    void SetIntValue(int value);
    double MinValue() const { return FMin; }
    void SetMinValue(double value);
    double MaxValue() const { return FMax; }
    void SetMaxValue(double value);
    double Increment() const { return singleStep(); }
    void SetIncrement(double value) { setSingleStep(value); }
    TValueType ValueType() const { return FValueType; }
    void SetValueType(TValueType type);
    TSpinButtonKind ButtonKind = bkDiagonal;

    std::function<void(QObject*)> OnChange;

private:
    void ApplyRange();
    double FMin = 0;
    double FMax = 0;
    TValueType FValueType = vtInteger;
};
