// Binary and delimited-text files of the memory table, the persistent file and blob streams.

#include "memtable/zohBinary.h"
#include "memtable/zohCSVText.h"
#include "memtable/zohFieldData.h"
#include "memtable/zohFileWriter.h"
#include "memtable/zohMemTable.h"
#include "platform/core/CodePages.h"
#include "platform/core/ScopeExit.h"
#include "platform/core/SysFormat.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <cmath>

using namespace zohdata;

namespace {

QByteArray Ansi(const QString& s) { return EncodeCodePage(s, DefaultCodePage()); }
QString FromAnsi(const QByteArray& b) { return DecodeCodePage(b, DefaultCodePage()); }

bool IsStringLike(TFieldType t) { return t == ftString || t == ftFixedChar || t == ftMemo || t == ftFmtMemo; }
bool IsBinaryType(TFieldType t)
{
    return t == ftBytes || t == ftVarBytes || t == ftBlob || t == ftGraphic || t == ftParadoxOle ||
           t == ftDBaseOle || t == ftTypedBinary;
}

// The fixed number and date settings of the delimited format.
TFormatSettings FixedSettings()
{
    TFormatSettings fs = FormatSettings;
    fs.DateSeparator = QLatin1Char('/');
    fs.TimeSeparator = QLatin1Char(':');
    fs.ThousandSeparator = QLatin1Char(',');
    fs.DecimalSeparator = QLatin1Char('.');
    fs.ShortDateFormat = QStringLiteral("dd/mm/yyyy");
    fs.LongTimeFormat = QStringLiteral("hh:nn:ss");
    fs.CurrencyString.clear();
    fs.CurrencyFormat = 0;
    fs.NegCurrFormat = 1;
    return fs;
}

[[noreturn]] void OpenError(const QString& name, const QFile& f)
{
    throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(name, f.errorString()));
}

} // namespace

// ---------------------------------------------------------------- shared steps

std::vector<TField*> TzohCustomMemTable::SelectFields(TzohMemTableSaveFlags o, bool skipRest) const
{
    std::vector<TField*> out;
    for (TField* f : Fields()) {
        bool sel;
        if (f->IsBlob() && !o.Has(mtfSaveBlobs)) {
            sel = false;
        } else {
            sel = f->IsBlob();
            switch (f->FieldKind()) {
            case fkData: sel = sel || o.Has(mtfSaveData) || o.Has(mtfSaveDeltas); break;
            case fkCalculated: sel = sel || o.Has(mtfSaveCalculated); break;
            case fkLookup: sel = sel || o.Has(mtfSaveLookup); break;
            default: sel = false; break;
            }
            if (!f->Visible() && !o.Has(mtfSaveNonVisible)) sel = false;
        }
        if (sel) out.push_back(f);
        else if (!skipRest) out.push_back(nullptr);
    }
    return out;
}

void TzohCustomMemTable::SyncTablesAfterLoad()
{
    for (TzohStoreClient* c : FStore->Tables()) {
        auto* t = dynamic_cast<TzohCustomMemTable*>(c);
        if (!t || !t->Active()) continue;
        t->StoreClientMarkIndexesOutOfDate();
        t->SyncIndexesWithDefs();
        t->MarkViewDirty();
    }
}

void TzohCustomMemTable::CloseForDefinitions()
{
    Close();
    FieldDefs().Clear();
    // Index definitions name the old fields; the file brings its own, or none.
    IndexDefs().Clear();
    FStore->CloseOtherTables(this);
    while (Fields().Count() > 0) delete Fields()[Fields().Count() - 1];
    FAutoIncFromCSV = false;
}

TField* TzohCustomMemTable::MakeField(const TzohFieldDesc& d)
{
    TFieldDef* def = FieldDefs().Add(d.Name, TFieldType(d.DataType), d.Size, d.Required);
    TField* f = def->CreateField(this, this);
    if (!f) return nullptr;
    if (f->DataSet() != this) f->SetDataSet(this);
    f->SetFieldKind(TFieldKind(d.Kind));
    f->SetDisplayLabel(d.DisplayName);
    f->SetEditMask(d.EditMask);
    f->SetReadOnly(d.ReadOnly);
    if (d.DisplayWidth > 0) f->SetDisplayWidth(d.DisplayWidth);
    f->SetDefaultExpression(d.DefaultExpression);
    f->SetVisible(d.Visible);
    f->SetRequired(d.Required);
    return f;
}

// ---------------------------------------------------------------- binary stream

void TzohCustomMemTable::SaveBinaryStream(QIODevice& stream, TzohMemTableSaveFlags options)
{
    CheckActive();
    CheckBrowseMode();
    QScopedValueRollback<bool> filterOff(FFilterSwitchedOff, FFilterSwitchedOff || options.Has(mtfSaveFiltered));
    QScopedValueRollback<bool> masterOff(FMasterDetailEnabled, FMasterDetailEnabled && !options.Has(mtfSaveIgnoreMasterDetail));
    MarkViewDirty();
    Progress(0, mtpcSave);
    TzohCommon::TLocker lock(FStore);
    DisableControls();
    TScopeExit cleanup([this] {
        MarkViewDirty();
        EnableControls();
        Progress(100, mtpcSave);
    });

    QByteArray plain;
    QBuffer memory(&plain);
    QIODevice* target = &stream;
    if (OnCompressSave) {
        memory.open(QIODevice::WriteOnly);
        target = &memory;
    }
    {
        TValueWriter w(target);
        TzohBinaryWriter bw(w);
        bw.WriteHeader();

        const std::vector<TField*> fields = SelectFields(options, true);
        std::vector<TzohFieldDesc> defs;
        std::vector<TzohStreamField> streamFields;
        for (TField* f : fields) {
            TzohFieldDesc d;
            d.Name = f->FieldName();
            d.DataType = f->DataType();
            d.Size = f->Size();
            d.DisplayName = f->DisplayName();
            d.EditMask = f->EditMask();
            d.DisplayWidth = f->DisplayWidth();
            d.Required = f->Required();
            d.ReadOnly = f->ReadOnly();
            d.Kind = f->FieldKind();
            d.DefaultExpression = f->DefaultExpression();
            defs.push_back(d);
            streamFields.push_back({SlotOf(f), int(f->DataType()), f->Size()});
        }
        bw.WriteFieldDefs(options.Has(mtfSaveDef) ? defs : std::vector<TzohFieldDesc>(), options.Has(mtfSaveFieldKind));
        std::vector<TzohIndexDesc> indexes;
        if (options.Has(mtfSaveIndexDef))
            for (int i = 0; i < IndexDefs().Count(); ++i) {
                const TIndexDef* d = IndexDefs()[i];
                indexes.push_back({d->Name(), d->Fields(), d->Name(), quint32(int(d->Options()))});
            }
        bw.WriteIndexDefs(indexes);

        bw.BeginRecords();
        const bool anyValues = options.Has(mtfSaveData) || options.Has(mtfSaveCalculated) || options.Has(mtfSaveLookup);
        const std::vector<TzohStoredRecord*> order = FCurrentIndex->Records();
        const int count = int(order.size());
        auto other = [&](int i, const TzohStoredRecord* rec) {
            TzohValue v;
            TField* f = fields[i];
            TVariant value;
            RunOnRecord(const_cast<TzohStoredRecord*>(rec), [&] { value = f->Value(); });
            if (value.IsNullOrEmpty()) return v;
            v.Null = false;
            switch (f->DataType()) {
            case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftBoolean: case ftLargeint:
                v.Int = value.AsInt64(); break;
            case ftCurrency: case ftBCD: v.Int = value.AsCurrency().Scaled(); break;
            case ftFloat: case ftDate: case ftTime: case ftDateTime: v.Float = value.AsDouble(); break;
            default: v.Bytes = value.Type() == varUString ? Ansi(value.AsString()) : value.AsBytes(); break;
            }
            return v;
        };
        for (int i = 0; i < count; ++i) {
            if (i % 100 == 0) Progress(int(std::trunc(double(i) / count * 100)), mtpcSave);
            TzohStoredRecord* rec = order[i];
            if (!AcceptRecord(rec, false)) continue;
            if (OnSaveRecord) {
                bool accept = true;
                RunOnRecord(rec, [&] { OnSaveRecord(this, accept); });
                if (!accept) continue;
            }
            if (!anyValues && rec->UpdateStatus == usUnmodified) continue;
            std::function<void(int)> onSaveField;
            if (OnSaveField)
                onSaveField = [&](int f) { RunOnRecord(rec, [&] { OnSaveField(this, f, fields[f]); }); };
            bw.WriteRecord(*FStore, rec, streamFields, options.Has(mtfSaveDeltas), other, onSaveField);
        }
        bw.EndRecords();
        w.FlushBuffer();
    }
    if (OnCompressSave) {
        memory.close();
        memory.open(QIODevice::ReadOnly);
        OnCompressSave(memory, stream);
    }
}

void TzohCustomMemTable::LoadBinaryStream(QIODevice& stream)
{
    Progress(0, mtpcLoad);
    QScopedValueRollback<bool> persistent(FPersistent, false);
    QScopedValueRollback<bool> indexes(FEnableIndexes, false);
    QScopedValueRollback<bool> loading(FLoading, true);
    DisableControls();
    TScopeExit cleanup([this] {
        EnableControls();
        Progress(100, mtpcLoad);
        if (Active()) {
            Refresh();
            First();
        }
    });
    // A load that stops early still leaves the indexes in line (quietly: its own error is
    // the one to report); a complete one does it below, where an error reaches the caller.
    bool synced = false;
    TScopeExit syncOnExit([this, &synced] {
        if (!synced) SyncTablesAfterLoad();
    });

    QByteArray plain;
    QBuffer memory(&plain);
    QIODevice* source = &stream;
    if (OnDecompressLoad) {
        memory.open(QIODevice::WriteOnly);
        OnDecompressLoad(stream, memory);
        memory.close();
        memory.open(QIODevice::ReadOnly);
        source = &memory;
    }
    if (source->size() - source->pos() == 0 && !source->isSequential()) return;

    TValueReader r(source);
    TzohBinaryReader br(r);
    br.ReadHeader();
    std::vector<TzohFieldDesc> defs;
    br.ReadFieldDefs([&](const TzohFieldDesc& d, bool first) {
        if (first) CloseForDefinitions();
        MakeField(d);
        defs.push_back(d);
    });
    bool indexDefsRead = false;
    try {
        br.ReadIndexDefs([&](const TzohIndexDesc& d, bool first) {
            if (first) {
                DropIndexes();
                IndexDefs().Clear();
            }
            TIndexDef* def = IndexDefs().Add(d.Name, d.Fields, TIndexOptions(int(d.Options)));
            def->SetName(d.DisplayName);
            indexDefsRead = true;
        });
    } catch (...) {
        if (!defs.empty()) Open();
        throw;
    }
    if (!defs.empty()) Open();
    CheckActive();
    LoadBinaryRecords(br, *source, defs);
    if (indexDefsRead) RebuildIndexesFromDefs(false);
    // Every index sorted once; a unique one over equal keys raises.
    synced = true;
    SyncTablesAfterLoad();
}

void TzohCustomMemTable::LoadBinaryRecords(TzohBinaryReader& br, QIODevice& source, const std::vector<TzohFieldDesc>& defs)
{
    TzohCommon& s = *FStore;
    // The fields each record carries: those the stream defined, else the table's, in order.
    std::vector<TzohStreamField> fields;
    std::vector<TField*> objects;
    if (!defs.empty()) {
        for (const TzohFieldDesc& d : defs) {
            TField* f = FindField(d.Name);
            fields.push_back({f ? SlotOf(f) : -1, d.DataType, d.Size});
            if (f) objects.push_back(f);
        }
    } else {
        for (TField* f : Fields()) {
            fields.push_back({SlotOf(f), int(f->DataType()), f->Size()});
            objects.push_back(f);
        }
    }
    ResetAutoInc();
    const qint64 size = source.isSequential() ? -1 : source.size();
    if (size > 0 && s.TotalDataSize() > 0) {
        // A record entry takes at least six bytes of stream, whatever its size in memory.
        const qint64 estimate = size / qMax(s.TotalDataSize(), 6);
        s.ReserveRecords(qsizetype(qMin<qint64>(s.RecordCount() + estimate / 50 + estimate, 1 << 26)));
    }
    int loaded = 0;
    FLoadedCompletely = true;
    TzohCommon::TLocker lock(FStore);
    const bool autoInc = AutoIncField() != nullptr;
    br.BeginRecords();
    int read = 0;
    while (!br.AtRecordsEnd()) {
        if (++read % 100 == 0 && size > 0) Progress(int(std::trunc(double(source.pos()) / size * 100)), mtpcLoad);
        if (FLoadLimit > 0 && loaded >= FLoadLimit) {
            FLoadedCompletely = false;
            return;
        }
        TzohStoredRecord* rec = br.ReadRecord(s, fields);
        s.AppendRecord(rec);
        if (OnLoadField || OnLoadRecord) {
            bool accept = true;
            try {
                RunOnRecord(rec, [&] {
                    if (OnLoadField)
                        for (int i = 0; i < int(objects.size()); ++i) OnLoadField(this, i, objects[i]);
                    if (OnLoadRecord) OnLoadRecord(this, accept);
                });
            } catch (...) {
                s.DropLastAppended();
                throw;
            }
            if (!accept) {
                s.DropLastAppended();
                continue;
            }
        }
        if (rec->UpdateStatus == usDeleted) s.IncDeletedCount();
        ++loaded;
    }
    if (autoInc && br.SawAutoInc() && br.MaxAutoInc() > s.LastAutoIncValue()) s.SetLastAutoIncValue(br.MaxAutoInc());
    br.EndRecords();
}

// ---------------------------------------------------------------- binary files

void TzohCustomMemTable::SaveBinaryFile(const QString& fileName, TzohMemTableSaveFlags options)
{
    TzohFileWriter file(fileName, options.Has(mtfSaveAppend));
    if (OnSave) OnSave(this, mtstBinaryFile, file.Device());
    SaveBinaryStream(file.Device(), options);
    file.Commit();
}

void TzohCustomMemTable::LoadBinaryFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) OpenError(fileName, file);
    if (OnLoad) OnLoad(this, mtstBinaryFile, file);
    LoadBinaryStream(file);
}

// ---------------------------------------------------------------- persistent file

void TzohCustomMemTable::LoadPersistent()
{
    if (!FPersistent || FPersistentFile.isEmpty() || !QFileInfo::exists(FPersistentFile)) return;
    if (FPersistentSaveFormat == mtsfCSV) LoadCSVFile(FPersistentFile);
    else LoadBinaryFile(FPersistentFile);
    First();
}

void TzohCustomMemTable::SavePersistent()
{
    if (!FPersistent || FPersistentFile.isEmpty() || FPersistentSaved || !Active()) return;
    FPersistentSaved = true;
    // The new file is complete on disk before the old one is touched; the last step is one
    // rename, so a failure anywhere leaves the old file (or its backup) in place.
    if (FPersistentBackup && QFileInfo::exists(FPersistentFile)) {
        QString ext = FPersistentBackupExt;
        if (!ext.isEmpty() && !ext.startsWith(QLatin1Char('.'))) ext.prepend(QLatin1Char('.'));
        const QString backup = ChangeFileExt(FPersistentFile, ext);
        QFile::remove(backup);
        if (!QFile::copy(FPersistentFile, backup))
            throw EFCreateError(QStringLiteral("Cannot create file \"%1\".").arg(backup));
    }
    if (FPersistentSaveFormat == mtsfCSV) SaveCSVFile(FPersistentFile, FPersistentSaveOptions);
    else SaveBinaryFile(FPersistentFile, FPersistentSaveOptions);
}

// ---------------------------------------------------------------- delimited text

void TzohCustomMemTable::SaveCSVStream(QIODevice& stream, TzohMemTableSaveFlags options)
{
    if (options.Has(mtfSaveDeltas)) throw EMemTableError(QStringLiteral("Saving deltas is supported only in binary format."));
    CheckActive();
    CheckBrowseMode();
    const TFormatSettings saved = FormatSettings;
    if (!options.Has(mtfSaveInLocalFormat)) FormatSettings = FixedSettings();
    TScopeExit restoreSettings([saved] { FormatSettings = saved; });
    QScopedValueRollback<bool> filterOff(FFilterSwitchedOff, FFilterSwitchedOff || options.Has(mtfSaveFiltered));
    QScopedValueRollback<bool> masterOff(FMasterDetailEnabled, FMasterDetailEnabled && !options.Has(mtfSaveIgnoreMasterDetail));
    MarkViewDirty();
    Progress(0, mtpcSave);
    TzohCommon::TLocker lock(FStore);
    DisableControls();
    TScopeExit cleanup([this] {
        MarkViewDirty();
        EnableControls();
        Progress(100, mtpcSave);
    });

    QByteArray out;
    const char q = FCSVQuote;
    const QByteArray crlf("\r\n");
    auto Q = [q](const QByteArray& b) { return zohQuote(b, q); };
    auto DQ = [](const QByteArray& b) { return zohQuote(b, '"'); };
    const QByteArray fd(1, FCSVFieldDelimiter);
    const QByteArray rd = FCSVRecordDelimiter ? QByteArray(1, FCSVRecordDelimiter) : QByteArray();
    const bool skipRest = options.Has(mtfSkipRest);
    const std::vector<TField*> selected = SelectFields(options, skipRest);
    // Columns: every field (unselected ones empty) or, with mtfSkipRest, the selected ones.
    std::vector<TField*> columns;
    std::vector<bool> written;
    {
        int k = 0;
        for (TField* f : Fields()) {
            if (skipRest) {
                if (k < int(selected.size()) && selected[k] == f) {
                    columns.push_back(f);
                    written.push_back(true);
                    ++k;
                }
            } else {
                columns.push_back(f);
                written.push_back(selected[k] != nullptr);
                ++k;
            }
        }
    }
    if (options.Has(mtfSaveDef)) {
        out += Q("@@FILE VERSION@@") + fd + Q("251") + crlf;
        out += Q("@@TABLEDEF START@@") + crlf;
        for (TField* f : columns) {
            QByteArray line = Ansi(f->FieldName()) + '=' + kzohFieldTypeNames[f->DataType()] + ',' +
                              QByteArray::number(f->Size()) + ',' + DQ(Ansi(f->DisplayName())) + ',' +
                              DQ(Ansi(f->EditMask())) + ',' + QByteArray::number(f->DisplayWidth());
            if (f->Required()) line += ",REQ";
            if (f->ReadOnly()) line += ",RO";
            line += QByteArray(",") + kzohFieldKindNames[options.Has(mtfSaveFieldKind) ? int(f->FieldKind()) : 0];
            line += ',' + DQ(Ansi(f->DefaultExpression()));
            out += Q(line) + crlf;
        }
        if (options.Has(mtfSaveIndexDef)) {
            out += Q("@@INDEXDEF START@@") + crlf;
            for (int i = 0; i < IndexDefs().Count(); ++i) {
                const TIndexDef* d = IndexDefs()[i];
                QByteArray line = Ansi(d->Name()) + '=' + Q(Ansi(d->Fields())) + ',' + Q(Ansi(d->Name()));
                if (d->Options().testFlag(ixDescending)) line += ",DESC";
                if (d->Options().testFlag(ixCaseInsensitive)) line += ",CASE";
                if (d->Options().testFlag(ixNonMaintained)) line += ",NONMT";
                if (d->Options().testFlag(ixUnique)) line += ",UNIQ";
                out += Q(line) + crlf;
            }
            out += Q("@@INDEXDEF END@@") + crlf;
        }
        out += Q("@@TABLEDEF END@@") + crlf;
    }
    if (!options.Has(mtfSaveNoHeader)) {
        TField* last = Fields().Count() ? Fields()[Fields().Count() - 1] : nullptr;
        for (TField* f : columns) {
            out += Q(Ansi(f->DisplayName()));
            if (f != last) out += fd;
        }
        out += rd + crlf;
    }

    const std::vector<TzohStoredRecord*> order = FCurrentIndex->Records();
    const int count = int(order.size());
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 0) Progress(int(std::trunc(double(i) / count * 100)), mtpcSave);
        TzohStoredRecord* rec = order[i];
        if (!AcceptRecord(rec, false)) continue;
        if (OnSaveRecord) {
            bool accept = true;
            RunOnRecord(rec, [&] { OnSaveRecord(this, accept); });
            if (!accept) continue;
        }
        for (size_t c = 0; c < columns.size(); ++c) {
            if (c) out += fd;
            if (!written[c]) continue;
            TField* f = columns[c];
            if (OnSaveField) RunOnRecord(rec, [&] { OnSaveField(this, f->Index(), f); });
            const int slot = SlotOf(f);
            TVariant v;
            if (slot >= 0) v = ReadValue(rec, slot);
            else RunOnRecord(rec, [&] { v = f->Value(); });
            if (v.IsNullOrEmpty()) continue;
            const TFieldType t = f->DataType();
            if (IsStringLike(t)) {
                out += Q(zohEscape(v.Type() == varUString ? Ansi(v.AsString()) : v.AsBytes()));
            } else if (IsBinaryType(t)) {
                out += Q(zohEncode6Bit(v.AsBytes()));
            } else if (t == ftBoolean) {
                out += Q(Ansi(v.AsBoolean() ? FCSVTrueString : FCSVFalseString));
            } else {
                QString text;
                switch (t) {
                case ftFloat: text = FloatToStr(v.AsDouble()); break;
                case ftCurrency: text = FloatToStr(v.AsCurrency().ToDouble()); break;
                case ftBCD: text = CurrToStr(v.AsCurrency()); break;
                case ftDate: text = DateToStr(v.AsDateTime()); break;
                case ftTime: text = TimeToStr(v.AsDateTime()); break;
                case ftDateTime: text = DateTimeToStr(v.AsDateTime()); break;
                default: text = v.AsString(); break;
                }
                out += Q(Ansi(text));
            }
        }
        out += rd + crlf;
        if (out.size() > (1 << 20)) {
            if (OnCompressSave) continue;
            if (stream.write(out) != out.size()) throw EWriteError(QString::fromLatin1(SWriteError));
            out.clear();
        }
    }
    if (OnCompressSave) {
        QBuffer memory(&out);
        memory.open(QIODevice::ReadOnly);
        OnCompressSave(memory, stream);
    } else if (!out.isEmpty() && stream.write(out) != out.size()) {
        throw EWriteError(QString::fromLatin1(SWriteError));
    }
}

void TzohCustomMemTable::LoadCSVStream(QIODevice& stream)
{
    QScopedValueRollback<bool> persistent(FPersistent, false);
    QScopedValueRollback<bool> indexes(FEnableIndexes, false);
    const TFormatSettings saved = FormatSettings;
    FormatSettings = FixedSettings();
    TScopeExit restoreSettings([saved] { FormatSettings = saved; });
    Progress(0, mtpcLoad);
    QScopedValueRollback<bool> loading(FLoading, true);
    DisableControls();
    TScopeExit cleanup([this] {
        EnableControls();
        Progress(100, mtpcLoad);
        if (Active()) Refresh();
    });
    // As for the binary load: quietly on the way out of a failure, else below.
    bool synced = false;
    TScopeExit syncOnExit([this, &synced] {
        if (State() == dsInsert || State() == dsEdit) Cancel();
        if (!synced) SyncTablesAfterLoad();
    });

    QByteArray plain;
    QBuffer memory(&plain);
    QIODevice* source = &stream;
    if (OnDecompressLoad) {
        memory.open(QIODevice::WriteOnly);
        OnDecompressLoad(stream, memory);
        memory.close();
        memory.open(QIODevice::ReadOnly);
        source = &memory;
    }
    if (!source->isSequential() && source->size() - source->pos() == 0) return;

    const qint64 size = source->isSequential() ? -1 : source->size();
    TzohLineReader lines(source);
    lines.OnBlock = [&] {
        if (lines.BlocksRead() % 100 == 0 && size > 0)
            Progress(int(std::trunc(double(source->pos()) / size * 100)), mtpcLoad);
    };
    const char q = FCSVQuote;
    auto firstColumn = [&](const QByteArray& line) {
        TzohColumnReader r(line, q, FCSVFieldDelimiter, FCSVRecordDelimiter);
        QByteArray c;
        r.Next(c);
        return c;
    };
    QByteArray line;
    bool haveLine = lines.ReadLine(line);
    enum { None, InFields, InIndexes } part = None;
    while (haveLine) {
        const QByteArray first = firstColumn(line);
        if (first == "@@FILE VERSION@@") {
        } else if (first == "@@TABLEDEF START@@") {
            CloseForDefinitions();
            part = InFields;
        } else if (first == "@@TABLEDEF END@@") {
            part = None;
            Open();
        } else if (first == "@@INDEXDEF START@@") {
            DropIndexes();
            IndexDefs().Clear();
            part = InIndexes;
        } else if (first == "@@INDEXDEF END@@") {
            part = InFields;
            if (Active()) RebuildIndexesFromDefs(false);
        } else if (part == InFields) {
            const QByteArray text = zohUnquote(line, q);
            const qsizetype eq = text.indexOf('=');
            const QByteArray name = eq < 0 ? text : text.left(eq);
            const QList<QByteArray> items = zohSplitCommaText(eq < 0 ? QByteArray() : text.mid(eq + 1));
            TzohFieldDesc d;
            d.Name = FromAnsi(name);
            const QString typeName = FromAnsi(items.value(0));
            d.DataType = zohFieldTypeFromName(typeName);
            if (d.DataType < 0 || !zohIsStoreType(d.DataType))
                throw EMemTableError(Format(QStringLiteral("Unknown field type (%s) in CSV file. (%s)"), {typeName, FromAnsi(first)}));
            d.Size = StrToInt(FromAnsi(items.value(1)));
            d.DisplayName = FromAnsi(items.value(2));
            d.EditMask = FromAnsi(items.value(3));
            d.DisplayWidth = items.size() > 4 ? StrToInt(FromAnsi(items.value(4))) : 0;
            int k = 5;
            // The markers are fields of their own after the display width.
            while (k < items.size() && (items[k] == "REQ" || items[k] == "RO" || items[k] == "INV")) {
                if (items[k] == "REQ") d.Required = true;
                else if (items[k] == "RO") d.ReadOnly = true;
                else d.Visible = false;
                ++k;
            }
            d.Kind = k < items.size() ? zohFieldKindFromName(FromAnsi(items[k])) : zfk::Data;
            d.DefaultExpression = k + 1 < items.size() ? FromAnsi(items[k + 1]) : QString();
            if (d.Size < 0 || d.Size > 65535) throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(d.Size));
            MakeField(d);
            if (d.DataType == zft::AutoInc) FAutoIncFromCSV = true;
        } else if (part == InIndexes) {
            const QByteArray text = zohUnquote(line, q);
            const qsizetype eq = text.indexOf('=');
            const QList<QByteArray> items = zohSplitCommaText(eq < 0 ? QByteArray() : text.mid(eq + 1));
            TIndexOptions o;
            for (int k = 2; k < items.size(); ++k) {
                if (items[k] == "DESC") o |= ixDescending;
                else if (items[k] == "CASE") o |= ixCaseInsensitive;
                else if (items[k] == "NONMT") o |= ixNonMaintained;
                else if (items[k] == "UNIQ") o |= ixUnique;
            }
            TIndexDef* def = IndexDefs().Add(FromAnsi(eq < 0 ? text : text.left(eq)), FromAnsi(items.value(0)), o);
            if (items.size() > 1) def->SetName(FromAnsi(items.value(1)));
        } else {
            break;
        }
        haveLine = lines.ReadLine(line);
    }
    CheckActive();

    // Header: maps columns to fields by display name (an empty title by position).
    std::vector<TField*> map;
    if (haveLine) {
        TzohColumnReader r(line, q, FCSVFieldDelimiter, FCSVRecordDelimiter);
        QByteArray title;
        int i = 0;
        while (r.Next(title)) {
            TField* f = nullptr;
            if (title.isEmpty()) {
                f = i < Fields().Count() ? Fields()[i] : nullptr;
            } else {
                const QString t = FromAnsi(title);
                for (TField* c : Fields())
                    if (c->DisplayName().compare(t, Qt::CaseInsensitive) == 0) {
                        f = c;
                        break;
                    }
            }
            map.push_back(f);
            ++i;
        }
    } else {
        for (TField* f : Fields()) map.push_back(f);
    }

    ResetAutoInc();
    int loaded = 0;
    FLoadedCompletely = true;
    // A load fills read-only fields too; the fields keep their setting afterwards.
    std::vector<TField*> readOnly;
    for (TField* f : Fields())
        if (f->ReadOnly()) {
            readOnly.push_back(f);
            f->SetReadOnly(false);
        }
    TScopeExit restoreReadOnly([&readOnly] {
        for (TField* f : readOnly) f->SetReadOnly(true);
    });
    while (lines.ReadLine(line)) {
        if (FLoadLimit > 0 && loaded >= FLoadLimit) {
            FLoadedCompletely = false;
            break;
        }
        Append();
        TzohColumnReader r(line, q, FCSVFieldDelimiter, FCSVRecordDelimiter);
        QByteArray col;
        for (size_t c = 0; c < map.size() && r.Next(col); ++c) {
            TField* f = map[c];
            if (!f) continue;
            const TFieldType t = f->DataType();
            // Two quotes are an empty text; only a column with nothing in it is null.
            if (col.isEmpty() && !(r.WasQuoted() && IsStringLike(t))) f->Clear();
            else if (IsStringLike(t)) f->SetAsBytes(zohUnescape(col));
            else if (IsBinaryType(t)) f->SetAsBytes(zohDecode6Bit(col));
            else if (t == ftBoolean) f->SetAsBoolean(FromAnsi(col) == FCSVTrueString);
            else f->SetAsString(FromAnsi(col));
            if (OnLoadField) OnLoadField(this, f->Index(), f);
        }
        bool accept = true;
        if (OnLoadRecord) OnLoadRecord(this, accept);
        if (accept) {
            Post();
            ++loaded;
        } else {
            Cancel();
        }
    }
    synced = true;
    SyncTablesAfterLoad();
}

void TzohCustomMemTable::SaveCSVFile(const QString& fileName, TzohMemTableSaveFlags options)
{
    TzohFileWriter file(fileName, options.Has(mtfSaveAppend) && QFileInfo::exists(fileName));
    if (OnSave) OnSave(this, mtstCSVFile, file.Device());
    SaveCSVStream(file.Device(), options);
    file.Commit();
}

void TzohCustomMemTable::LoadCSVFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) OpenError(fileName, file);
    if (OnLoad) OnLoad(this, mtstCSVFile, file);
    LoadCSVStream(file);
}

// ---------------------------------------------------------------- blob streams

class TzohBlobStream : public QBuffer {
public:
    TzohBlobStream(TzohCustomMemTable* table, TField* field, TBlobStreamMode mode)
        : FTable(table), FField(field), FMode(mode)
    {
        if (mode != bmRead) {
            if (field->ReadOnly() && !table->FLoading)
                DatabaseErrorFmt(QStringLiteral("Field %s is read only"), {field->DisplayName()}, table);
            if (table->State() != dsEdit && table->State() != dsInsert)
                DatabaseError(QStringLiteral("Dataset is not in edit mode."), table);
        }
        QByteArray content;
        if (mode == bmWrite) {
            FModified = true;
        } else if (!field->IsNull()) {
            const QByteArray raw = field->AsBytes();
            if (table->OnDecompressBlobStream) {
                QByteArray packed = raw;
                QBuffer in(&packed);
                in.open(QIODevice::ReadOnly);
                QBuffer outBuf(&content);
                outBuf.open(QIODevice::WriteOnly);
                table->OnDecompressBlobStream(in, outBuf);
            } else {
                content = raw;
            }
        }
        setData(content);
        open(mode == bmRead ? QIODevice::ReadOnly : QIODevice::ReadWrite);
        seek(0);
    }

    ~TzohBlobStream() override
    {
        try {
            Store();
        } catch (const std::exception& e) {
            ApplicationShowException(e);
        }
    }

    void close() override
    {
        Store();
        QBuffer::close();
    }

protected:
    qint64 writeData(const char* data, qint64 len) override
    {
        if (FMode != bmRead) FModified = true;
        return QBuffer::writeData(data, len);
    }

private:
    void Store()
    {
        if (!FModified || !FField) return;
        FModified = false;
        QByteArray bytes = data();
        if (FTable->OnCompressBlobStream && !bytes.isEmpty()) {
            QByteArray plainBytes = bytes;
            QBuffer in(&plainBytes);
            in.open(QIODevice::ReadOnly);
            QByteArray packed;
            QBuffer outBuf(&packed);
            outBuf.open(QIODevice::WriteOnly);
            FTable->OnCompressBlobStream(in, outBuf);
            bytes = packed;
        }
        if (bytes.isEmpty()) FField->Clear();
        else FField->SetAsBytes(bytes);
    }

    TzohCustomMemTable* FTable;
    QPointer<TField> FField;
    TBlobStreamMode FMode;
    bool FModified = false;
};

std::unique_ptr<QIODevice> TzohCustomMemTable::CreateBlobStream(TField* field, TBlobStreamMode mode)
{
    TzohCommon::TLocker lock(FStore);
    return std::make_unique<TzohBlobStream>(this, field, mode);
}
