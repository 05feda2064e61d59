#pragma once
// The editors' benchmark data: records of an integer Id and a 20-character Name, the names in a
// scrambled order so that neither the stored order nor an index on Name helps the other.

#include "platform/client/ClientDataSet.h"

#include <QString>

inline void FillScrambledNames(TClientDataSet& ds, int count)
{
    ds.FieldDefs().Add(QStringLiteral("Id"), ftInteger);
    ds.FieldDefs().Add(QStringLiteral("Name"), ftString, 20);
    ds.CreateDataSet();
    ds.SetLogChanges(false);
    TField* id = ds.FieldByName(QStringLiteral("Id"));
    TField* name = ds.FieldByName(QStringLiteral("Name"));
    for (int i = 0; i < count; ++i) {
        ds.Append();
        id->SetAsInteger(i);
        name->SetAsString(QStringLiteral("name%1").arg(qint64(i) * 7919 % count, 7, 10, QLatin1Char('0')));
        ds.Post();
    }
}
