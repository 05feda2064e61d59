#pragma once
// The data-aware spin edit: a number field (or a text field holding a number) stepped with
// the arrows within MinValue..MaxValue. A user's change goes into the field at once, so a
// grid that posts the row finds it there.

#include "platform/data/DB.h"

#include <QSpinBox>
#include <functional>

class TkqDBSpinEdit : public QSpinBox {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(QString Text READ Text WRITE SetText)

public:
    explicit TkqDBSpinEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    TField* Field() const { return FDataLink.Field(); }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    void SetReadOnly(bool readOnly);

    int MinValue() const { return minimum(); }
    void SetMinValue(int value) { setMinimum(value); }
    int MaxValue() const { return maximum(); }
    void SetMaxValue(int value) { setMaximum(value); }
    int Increment() const { return singleStep(); }
    void SetIncrement(int value) { setSingleStep(value); }
    // The text shown; empty while the field is null.
    QString Text() const;
    void SetText(const QString& text);

    std::function<void(QObject*)> OnChange;

private:
    void DataChange();
    void UserChanged(int value);

    TFieldDataLink FDataLink;
    bool FShowing = false;
};
