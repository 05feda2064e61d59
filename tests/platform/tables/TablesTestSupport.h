#pragma once
// Helpers of the table reader tests.

#include "platform/tables/LocalTables.h"
#include "tests/common/TestSupport.h"

#include <QStringList>
#include <memory>

inline QString TablePath(const QString& relative)
{
    return SamplePath(QStringLiteral("tables/") + relative);
}

// An open table of the samples.
inline std::unique_ptr<TTable> OpenSample(const QString& relative, int codePage = 0)
{
    auto table = std::make_unique<TTable>();
    table->SetTableName(TablePath(relative));
    table->SetCodePage(codePage);
    table->Open();
    return table;
}

// "Name Type Size" of every field definition, joined by ", ".
inline QString DescribeFields(const TDataSet& dataSet)
{
    QStringList parts;
    for (int i = 0; i < dataSet.FieldDefs().Count(); ++i) {
        const TFieldDef* def = dataSet.FieldDefs()[i];
        parts << QStringLiteral("%1 %2 %3").arg(def->Name(), FieldTypeText(def->DataType())).arg(def->Size());
    }
    return parts.join(QStringLiteral(", "));
}

// The text of one field in every record, "<null>" for nulls.
inline QStringList ColumnText(TDataSet& dataSet, const QString& field)
{
    QStringList values;
    TField* f = dataSet.FieldByName(field);
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) values << (f->IsNull() ? QStringLiteral("<null>") : f->AsString());
    return values;
}

// The text of every field of the current record, "<null>" for nulls, joined by "|".
inline QString RowText(TDataSet& dataSet)
{
    QStringList values;
    for (TField* f : dataSet.Fields()) values << (f->IsNull() ? QStringLiteral("<null>") : f->AsString());
    return values.join(QLatin1Char('|'));
}

// "yyyy-mm-dd hh:nn:ss" of a date-time field, "<null>" for null.
inline QString DateText(const TField* field)
{
    if (field->IsNull()) return QStringLiteral("<null>");
    return FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss"), field->AsDateTime());
}
