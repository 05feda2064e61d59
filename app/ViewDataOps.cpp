#include "app/ViewDataOps.h"

#include "app/UGeneral.h"
#include "platform/client/ClientDataSet.h"
#include "platform/core/SysUtils.h"

#include <vector>

namespace {
const QString DownIndex = QStringLiteral("DownIndex");
const QString UpIndex = QStringLiteral("UpIndex");

// Field pairs once, not per record.
struct TFieldPair {
    TField* From;
    TField* To;
};
} // namespace

bool CannotSort(TFieldType type)
{
    switch (type) {
    case ftBlob: case ftMemo: case ftGraphic: case ftFmtMemo: case ftTypedBinary: case ftReference: case ftDataSet:
        return true;
    default:
        return false;
    }
}

void DropSortIndexes(TClientDataSet* dataSet)
{
    for (const QString& name : {DownIndex, UpIndex})
        if (dataSet->IndexDefs().IndexOf(name) >= 0) dataSet->DeleteIndex(name);
}

void SortByField(TClientDataSet* dataSet, const TField* field, bool ascending)
{
    const QString& index = ascending ? DownIndex : UpIndex;
    DropSortIndexes(dataSet);
    try {
        dataSet->AddIndex(index, field->FieldName(), ascending ? TIndexOptions() : TIndexOptions(ixDescending));
        dataSet->SetIndexName(index);
    } catch (...) {
        try {
            DropSortIndexes(dataSet);
        } catch (...) {
        }
        throw;
    }
    dataSet->First();
}

QString CopyRecords(TDataSet* source, const QString& chosenColumn, const QList<TBookmark>& records,
                    TClientDataSet* clipboard)
{
    QList<const TFieldDef*> copied;
    const TFieldDefs& defs = source->FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) {
        const TFieldDef* def = defs.Items(i);
        if (def->DataType() == ftDataSet) continue;
        if (!chosenColumn.isEmpty() && def->Name() != chosenColumn) continue;
        copied.append(def);
    }
    try {
        clipboard->Close();
        clipboard->FieldDefs().Clear();
        for (const TFieldDef* def : copied) {
            TFieldDef* d = clipboard->FieldDefs().Add(def->Name(), def->DataType(), def->Size(), false);
            d->SetPrecision(def->Precision());
        }
        clipboard->SetLogChanges(false);
        clipboard->CreateDataSet();

        std::vector<TFieldPair> pairs;
        for (TField* f : source->Fields()) {
            if (f->DataType() == ftDataSet) continue;
            if (TField* to = clipboard->FindField(f->FieldName())) pairs.push_back({f, to});
        }
        QString text;
        auto copyRecord = [&] {
            clipboard->Append();
            for (const TFieldPair& p : pairs) {
                p.To->SetValue(p.From->Value());
                text += p.From->AsString();
                text += QLatin1Char('\t');
            }
            clipboard->Post();
            text += QLatin1String("\r\n");
        };
        ForSelectedRecords(source, records, copyRecord);
        return text;
    } catch (...) {
        if (IsEditing(clipboard)) clipboard->Cancel();
        throw;
    }
}

void AppendClipboardRecords(TClientDataSet* clipboard, TDataSet* target)
{
    std::vector<TFieldPair> pairs;
    for (TField* from : clipboard->Fields())
        if (TField* to = target->FindField(from->FieldName()); to && to->DataType() != ftDataSet)
            pairs.push_back({from, to});
    try {
        for (clipboard->First(); !clipboard->Eof(); clipboard->Next()) {
            target->Append();
            for (const TFieldPair& p : pairs) p.To->SetValue(p.From->Value());
            target->Post();
        }
    } catch (...) {
        if (IsEditing(target) && target->State() == dsInsert) target->Cancel();
        throw;
    }
}

QString ProposedSaveName(const QString& fileName, const QString& newExtension)
{
    const QString name = ExtractFileName(fileName);
    const QString ext = ExtractFileExt(name);
    if (ext.isEmpty()) return name;
    QString result = name;
    const qsizetype at = result.indexOf(ext, 0, Qt::CaseInsensitive);
    if (at >= 0) result.replace(at, ext.size(), newExtension);
    return result;
}
