#pragma once
// The library's query-by-example dataset: the per-field lists, lookup fields and record filter of
// its datasets over the database engine, with its QBE text and answer-table settings. The text is
// kept; running it raises "not supported".

#include "gridlib/core/kqbde.h"

#include <functional>

class TkqQBE;
using TkqQBEFilterEvent = std::function<void(TkqQBE* qbe, bool& accept)>;
using TkqQBEErrorEvent = std::function<void(TkqQBE* qbe, int errorCode)>;
Q_DECLARE_METATYPE(TkqQBEFilterEvent)
Q_DECLARE_METATYPE(TkqQBEErrorEvent)

class TkqQBE : public TkqBDEDataSetOf<TDBDataSet> {
    Q_OBJECT
    Q_PROPERTY(QStringList ControlType READ ControlType WRITE SetControlType)
    Q_PROPERTY(QStringList LookupFields READ LookupFields WRITE SetLookupFields)
    Q_PROPERTY(QStringList LookupLinks READ LookupLinks WRITE SetLookupLinks)
    Q_PROPERTY(QStringList QBE READ QBE WRITE SetQBE)
    Q_PROPERTY(QString AnswerTable READ AnswerTable WRITE SetAnswerTable)
    Q_PROPERTY(bool AuxiliaryTables READ AuxiliaryTables WRITE SetAuxiliaryTables)
    Q_PROPERTY(bool BlankAsZero READ BlankAsZero WRITE SetBlankAsZero)
    Q_PROPERTY(QStringList PictureMasks READ PictureMasks WRITE SetPictureMasks)
    Q_PROPERTY(QObject* UpdateObject READ UpdateObject WRITE SetUpdateObject)
    Q_PROPERTY(TkqQBEFilterEvent OnFilter READ OnFilter WRITE SetOnFilter)
    Q_PROPERTY(TDataSet::TDataSetNotifyEvent OnFilterEscape READ OnFilterEscape WRITE SetOnFilterEscape)
    Q_PROPERTY(TkqOnFilterOptions OnFilterOptions READ OnFilterOptions WRITE SetOnFilterOptions)
    Q_PROPERTY(TkqInvalidValueEvent OnInvalidValue READ OnInvalidValue WRITE SetOnInvalidValue)
    Q_PROPERTY(TkqQBEErrorEvent OnError READ OnError WRITE SetOnError)

public:
    explicit TkqQBE(QObject* owner = nullptr);
    ~TkqQBE() override;

    // The query-by-example lines; an open dataset is closed and opened again.
    QStringList QBE() const { return FQBE; }
    void SetQBE(const QStringList& lines);
    QString AnswerTable() const { return FAnswerTable; }
    void SetAnswerTable(const QString& name) { FAnswerTable = name; }
    bool AuxiliaryTables() const { return FAuxiliaryTables; }
    void SetAuxiliaryTables(bool on) { FAuxiliaryTables = on; }
    bool BlankAsZero() const { return FBlankAsZero; }
    void SetBlankAsZero(bool on) { FBlankAsZero = on; }
    QObject* UpdateObject() const { return FUpdateObject; }
    void SetUpdateObject(QObject* object) { FUpdateObject = object; }
    TkqQBEFilterEvent OnFilter() const { return FOnFilter; }
    void SetOnFilter(const TkqQBEFilterEvent& handler);
    TkqQBEErrorEvent OnError() const { return FOnError; }
    void SetOnError(const TkqQBEErrorEvent& handler) { FOnError = handler; }

    // The text the engine would run: each "~" and the run of letters, digits, "#" and "_" after it
    // become one blank; lines joined with CR LF.
    QString PreparedQBEText() const;
    // Runs the QBE text: raises "Running QBE queries is not supported".
    int ExecQBE();

protected:
    bool HasFilterHandler() const override { return bool(FOnFilter); }
    void CallFilterHandler(bool& accept) override { FOnFilter(this, accept); }
    QString StatementKind() const override;
    void InternalOpen() override;

private:
    QStringList FQBE;
    QString FAnswerTable;
    bool FAuxiliaryTables = true;
    bool FBlankAsZero = true;
    QObject* FUpdateObject = nullptr;
    TkqQBEFilterEvent FOnFilter;
    TkqQBEErrorEvent FOnError;
};
