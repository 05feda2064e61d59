#include "app/URestructure.h"

#include "app/UGeneral.h"
#include "gridlib/core/kqclient.h"
#include "platform/client/ClientCopy.h"
#include "platform/client/ClientDataSet.h"
#include "platform/client/ClientFields.h"
#include "platform/client/PacketError.h"
#include "platform/client/PacketFile.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/SysFormat.h"
#include "platform/core/SysUtils.h"

#include <QBuffer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

QString TFieldDefRow::OldName() const
{
    return OrgName.trimmed().isEmpty() ? Name : OrgName;
}

namespace {
int SizeOf(const TFieldDefRow& row)
{
    const QString text = row.Size.trimmed();
    return text.isEmpty() ? 0 : StrToInt(text);
}

TFieldType TypeOf(const TFieldDefRow& row) { return TFieldType(FieldTypeFromName(row.Type)); }
} // namespace

void BuildFieldDefs(TFieldDefs& defs, const TFieldDefRows& rows)
{
    for (const TFieldDefRow& row : rows) {
        // Fields are found by name without regard to case: two of one name would share data.
        if (row.Name.trimmed().isEmpty()) DatabaseError(QStringLiteral("Field name missing"));
        if (defs.IndexOf(row.Name) >= 0) DatabaseErrorFmt(QStringLiteral("Duplicate field name '%s'"), {row.Name});
        TFieldDef* def = defs.Add(row.Name, TypeOf(row), SizeOf(row));
        if (def->DataType() != ftDataSet) continue;
        def->ChildDefs()->Clear();
        BuildFieldDefs(*def->ChildDefs(), row.Children);
    }
}

bool IsXmlFileName(const QString& path) { return ExtractFileExt(path).toUpper() == QLatin1String(".XML"); }

void WriteNewDataFile(const QString& path, const TFieldDefRows& rows)
{
    TkqClientDataSet ds;
    BuildFieldDefs(ds.FieldDefs(), rows);
    ds.CreateDataSet();
    ds.SaveToFile(path, IsXmlFileName(path) ? dfXML : dfBinary);
    ds.Close();
}

// ---------------------------------------------------------------------------------------------
// Restructure

namespace {
// One new field and where its value comes from.
struct TFieldCopy {
    const TField* From = nullptr;
    TField* To = nullptr;
    // A nested field: the old and new nested datasets and their own copies.
    TDataSet* FromNested = nullptr;
    TDataSet* ToNested = nullptr;
    std::vector<TFieldCopy> Children;
};

// The value of the old field into the new one; a value the new type cannot take becomes the
// empty text (null for most types), and the copy goes on.
void CopyValue(const TField* from, TField* to)
{
    if (from->IsNull()) return;
    try {
        to->SetValue(from->Value());
    } catch (const EAbort&) {
        throw;
    } catch (const Exception&) {
        try {
            to->SetAsString(QString());
        } catch (const EAbort&) {
            throw;
        } catch (const Exception&) {
            // A field that takes no text at all stays empty.
        }
    }
}

// Copies for the fields of a new dataset, in row order, from an old dataset by old names.
std::vector<TFieldCopy> PlanCopies(const TDataSet& from, TDataSet& to, const TFieldDefRows& rows)
{
    std::vector<TFieldCopy> plan;
    for (const TFieldDefRow& row : rows) {
        TField* target = to.FindField(row.Name);
        const TField* source = from.FindField(row.OldName());
        if (!target || !source) continue;
        // Values are written by the program here, also into fields the user cannot edit.
        target->SetReadOnly(false);
        TFieldCopy copy;
        copy.From = source;
        copy.To = target;
        auto* oldNested = qobject_cast<const TDataSetField*>(source);
        auto* newNested = qobject_cast<TDataSetField*>(target);
        if (oldNested && newNested && oldNested->NestedDataSet() && newNested->NestedDataSet()) {
            copy.FromNested = oldNested->NestedDataSet();
            copy.ToNested = newNested->NestedDataSet();
            if (!copy.FromNested->Active()) copy.FromNested->Open();
            if (!copy.ToNested->Active()) copy.ToNested->Open();
            copy.Children = PlanCopies(*copy.FromNested, *copy.ToNested, row.Children);
        }
        plan.push_back(std::move(copy));
    }
    return plan;
}

void CopyRecord(const std::vector<TFieldCopy>& plan)
{
    for (const TFieldCopy& c : plan) {
        if (!c.FromNested) {
            CopyValue(c.From, c.To);
            continue;
        }
        // Each nested record once, by its own copy (never also through the nested field's
        // whole value, which would bring every record a second time).
        for (c.FromNested->First(); !c.FromNested->Eof(); c.FromNested->Next()) {
            c.ToNested->Append();
            CopyRecord(c.Children);
            c.ToNested->Post();
        }
    }
}

// Counts the top-level rows and fields of a packet as it is read back.
class TPacketCheck : public IPacketSink {
public:
    qint64 Rows = 0;
    qint64 Fields = -1;
    void BeginPacket(const TPacketMetadata& meta, qint64) override
    {
        Fields = qint64(meta.Fields.size());
    }
    void BeginRow(int level, quint8) override
    {
        if (level == 0) ++Rows;
    }
    void Cell(int, const TPacketCell&) override {}
    void EndNested(int) override {}
    void EndRow() override {}
    void EndPacket() override {}
};

// Runs work; with a progress callback, on a thread of its own while this thread keeps calling
// progress, so that the caller's window stays responsive. The work touches nothing the
// caller's thread may reach meanwhile.
void RunBeside(const std::function<void()>& work, const std::function<void(qint64)>& progress, qint64 done)
{
    if (!progress) {
        work();
        return;
    }
    std::exception_ptr error;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    });
    try {
        while (!finished) {
            progress(done);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    } catch (...) {
        worker.join();
        throw;
    }
    worker.join();
    if (error) std::rethrow_exception(error);
}

bool FileContentIsXml(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return file.read(4) == QByteArrayLiteral("<?xm");
}
} // namespace

qint64 RestructureDataFile(const QString& path, const TFieldDefRows& rows, const std::function<void(qint64)>& progress)
{
    const bool xml = IsXmlFileName(path) || FileContentIsXml(path);

    // The old file, read only: closing it never writes it back. Reading a large file takes a
    // while, so it is read beside a responsive caller too and then handed to this thread.
    std::unique_ptr<TClientDataSet> reader;
    QThread* const here = QThread::currentThread();
    RunBeside(
        [&] {
            auto ds = std::make_unique<TkqClientDataSet>();
            ds->SetReadOnly(true);
            ds->SetFileName(path);
            ds->Open();
            ds->moveToThread(here);
            reader = std::move(ds);
        },
        progress, 0);
    TClientDataSet& old = *reader;

    TkqClientDataSet created;
    BuildFieldDefs(created.FieldDefs(), rows);
    created.CreateDataSet();
    // A fresh file: its records are its data, not changes waiting in a log.
    created.SetLogChanges(false);

    const std::vector<TFieldCopy> plan = PlanCopies(old, created, rows);
    bool flat = TRecordCopySource::Supports(created);
    for (const TFieldCopy& c : plan) flat = flat && !c.FromNested;
    if (flat) {
        // Straight from the old records into the new file, value by value.
        std::vector<TRecordCopySource::TPair> pairs;
        for (const TFieldCopy& c : plan) pairs.emplace_back(c.To, const_cast<TField*>(c.From));
        TRecordCopySource source(old, created, std::move(pairs));
        source.Assign = [](TField* to, TField* from) { CopyValue(from, to); };
        source.Progress = progress;
        try {
            SavePacketFile(source, path, xml ? pfXml : pfBinary);
        } catch (const EPacketError& e) {
            DatabaseError(Format(QStringLiteral("The restructured data of %s cannot be written: %s"), {path, e.Message()}));
        }
        old.Close();
        created.Close();
        return source.RowsProduced();
    }
    old.DisableControls();
    created.DisableControls();
    qint64 done = 0;
    for (old.First(); !old.Eof(); old.Next()) {
        created.Append();
        CopyRecord(plan);
        created.Post();
        if ((++done & 4095) == 0 && progress) progress(done);
    }
    if (progress) progress(done);
    old.Close();

    // The new contents are produced, read back whole and written beside the old file, which
    // they replace only when complete.
    RunBeside(
        [&] {
            QByteArray packet;
            if (xml) {
                QBuffer buffer(&packet);
                buffer.open(QIODevice::WriteOnly);
                created.SaveToStream(buffer, dfXML);
            } else {
                packet = created.Data();
            }
            TPacketCheck check;
            try {
                ReadPacket(packet, check);
            } catch (const EPacketError& e) {
                DatabaseError(Format(QStringLiteral("The restructured data of %s does not read back: %s"),
                                     {path, e.Message()}));
            }
            if (check.Rows != done || check.Fields != rows.size())
                DatabaseError(Format(QStringLiteral("The restructured data of %s does not read back: %d of %d records"),
                                     {path, check.Rows, done}));
            TAtomicFileWriter writer(path);
            writer.Write(packet);
            writer.Commit();
        },
        progress, done);
    created.Close();
    return done;
}
