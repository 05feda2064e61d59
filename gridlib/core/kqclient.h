#pragma once
// The dataset class of every data file the program opens: the platform's client dataset with
// the library's per-field lists published on it (found by property name, never by class),
// picture-mask validation before every post, the invalid-value event, and the field
// information the filter dialog reads.

#include "gridlib/core/kqcommon.h"
#include "platform/client/ClientDataSet.h"

#include <QStringList>

class TkqClientDataSet : public TClientDataSet {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(bool ValidateWithMask READ ValidateWithMask WRITE SetValidateWithMask)
    Q_PROPERTY(TFilterRecordEvent OnFilter READ OnFilter WRITE SetOnFilter)
    Q_PROPERTY(TkqInvalidValueEvent OnInvalidValue READ OnInvalidValue WRITE SetOnInvalidValue)
    Q_PROPERTY(QStringList FieldInfo READ FieldInfo)

public:
    explicit TkqClientDataSet(QObject* owner = nullptr);
    ~TkqClientDataSet() override;

    QStringList ControlType() const { return FControlType; }
    void SetControlType(const QStringList& lines) { FControlType = lines; }
    QStringList PictureMasks() const { return FPictureMasks; }
    void SetPictureMasks(const QStringList& lines) { FPictureMasks = lines; }
    // Check picture masks before each post (on when created).
    bool ValidateWithMask() const { return FValidateWithMask; }
    void SetValidateWithMask(bool on) { FValidateWithMask = on; }
    // The record filter; setting it sets OnFilterRecord too, an empty handler removes both.
    TFilterRecordEvent OnFilter() const { return FOnFilter; }
    void SetOnFilter(const TFilterRecordEvent& handler);
    // Called for the field whose value fails its mask, before the error is raised.
    TkqInvalidValueEvent OnInvalidValue() const { return FOnInvalidValue; }
    void SetOnInvalidValue(const TkqInvalidValueEvent& handler) { FOnInvalidValue = handler; }
    // Lines "SqlName;FieldName;Qualifier;DisplayLabel;FieldType;Size"; nothing fills them.
    QStringList FieldInfo() const;

    // Record numbers mean nothing while a record filter is assigned.
    bool IsSequenced() const override;

protected:
    void DoBeforePost() override;

private:
    QStringList FControlType;
    QStringList FPictureMasks;
    QStringList FFieldInfo;
    bool FValidateWithMask = true;
    TFilterRecordEvent FOnFilter;
    TkqInvalidValueEvent FOnInvalidValue;
};
