#pragma once
// The data-aware date-time edit with a drop-down calendar. A null field shows blank; a date
// field edits the date, a time field the time, a date-time field both.

#include "platform/data/DB.h"

#include <QDateTimeEdit>

class TkqDBCustomDateTimePicker : public QDateTimeEdit {
    Q_OBJECT
    Q_PROPERTY(TDataSource* DataSource READ DataSource WRITE SetDataSource)
    Q_PROPERTY(QString DataField READ DataField WRITE SetDataField)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)

public:
    explicit TkqDBCustomDateTimePicker(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return FDataLink.DataSource(); }
    void SetDataSource(TDataSource* source) { FDataLink.SetDataSource(source); }
    QString DataField() const { return FDataLink.FieldName(); }
    void SetDataField(const QString& name) { FDataLink.SetFieldName(name); }
    TField* Field() const { return FDataLink.Field(); }
    bool ReadOnly() const { return FDataLink.ReadOnly(); }
    // A read-only picker shows the value and refuses changes.
    void SetReadOnly(bool readOnly);
    // Blank while the field is null.
    bool IsBlank() const { return dateTime() == minimumDateTime(); }

private:
    void DataChange();
    void UserChanged(const QDateTime& value);

    TFieldDataLink FDataLink;
    bool FShowing = false;
};

class TkqDBDateTimePicker : public TkqDBCustomDateTimePicker {
    Q_OBJECT
public:
    explicit TkqDBDateTimePicker(QWidget* parent = nullptr) : TkqDBCustomDateTimePicker(parent) {}
};
