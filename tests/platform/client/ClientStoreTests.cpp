// The record store under the client dataset: its id lists, and packets through it unchanged.

#include "platform/client/ClientIdList.h"
#include "platform/client/ClientPacket.h"
#include "platform/client/PacketBinary.h"
#include "platform/client/PacketXmlReader.h"
#include "platform/client/PacketXmlWriter.h"
#include "platform/data/DB.h"
#include "tests/common/TestSupport.h"
#include "tests/platform/client/PacketTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>

namespace {

std::shared_ptr<TRecordStore> LoadStore(const QByteArray& bytes)
{
    TStoreLoader loader;
    ReadPacket(bytes, loader);
    return loader.TakeStore();
}

QByteArray SaveStore(TRecordStore& store, TPacketFormat format)
{
    TStoreSource source(store);
    return WritePacket(source, format);
}

} // namespace

// From an empty list, and from a list of 0 .. n - 1 as a file's record order starts (kept
// without blocks until an edit breaks the sequence).
TEST(ClientIdList, AgreesWithAPlainVectorUnderRandomEdits)
{
    for (const int start : {0, 3000}) {
        SCOPED_TRACE(start);
        std::mt19937 rng(7);
        TIdList list;
        std::vector<quint32> ref;
        for (int i = 0; i < start; ++i) ref.push_back(quint32(i));
        list.Assign(ref);
        quint32 nextId = quint32(start);
        // The identity list grows at its end and shrinks from it without losing its form.
        list.Append(nextId);
        ref.push_back(nextId++);
        list.RemoveAt(list.Count() - 1);
        ref.pop_back();
        if (start > 0) {
            ASSERT_EQ(list.IndexOf(quint32(start) / 2), start / 2);
        }
        // Long enough to cross the map threshold both ways and to split and merge blocks.
        for (int step = 0; step < 60000; ++step) {
            const int op = int(rng() % 10);
            if (op < 6 || ref.empty()) {
                const int pos = int(rng() % (ref.size() + 1));
                list.Insert(pos, nextId);
                ref.insert(ref.begin() + pos, nextId);
                ++nextId;
            } else if (op < 9 || step > 40000) {
                const int pos = int(rng() % ref.size());
                if (op == 7) {
                    ASSERT_TRUE(list.Remove(ref[size_t(pos)]));
                } else {
                    list.RemoveAt(pos);
                }
                ref.erase(ref.begin() + pos);
            }
            if (step % 997 == 0 || step > 59900) {
                ASSERT_EQ(list.Count(), int(ref.size()));
                for (int i = 0; i < int(ref.size()); i += 1 + int(ref.size() / 50)) {
                    ASSERT_EQ(list.At(i), ref[size_t(i)]);
                    ASSERT_EQ(list.IndexOf(ref[size_t(i)]), i);
                }
                ASSERT_EQ(list.IndexOf(nextId + 5), -1);
            }
        }
        EXPECT_EQ(list.ToVector(), ref);
        TIdList copy = list;
        list.Assign({3, 1, 2});
        EXPECT_EQ(copy.ToVector(), ref);
        EXPECT_EQ(list.IndexOf(2), 2);
        EXPECT_EQ(list.LowerBound([](quint32 id) { return id != 2; }), 2);
    }
}

// Every real file goes into the store and comes out as the codec's own document writes it:
// slots, statuses, "not changed" cells, the change log and the kept parameters all survive.
TEST(ClientStorePackets, RealFilesComeBackAsTheCodecWritesThem)
{
    QUARROW_NEED_SAMPLES();
    const QStringList files = QDir(SamplesDir()).entryList({"*.cds", "*.xml"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = ReadWholeFile(SamplePath(name));
        const TPacketFormat format = name.endsWith(".xml") ? pfXml : pfBinary;
        TPacketDocument doc = LoadDocument(bytes);
        const QByteArray expected = SaveDocument(doc, format);
        std::shared_ptr<TRecordStore> store = LoadStore(bytes);
        EXPECT_EQ(SaveStore(*store, format), expected);
        // Read from the file, plain ones as they are needed.
        std::shared_ptr<TRecordStore> fromFile = LoadStoreFile(SamplePath(name));
        EXPECT_EQ(SaveStore(*fromFile, format), expected);
    }
}

// Long values of records decoded while a post holds a mark on the heap survive its rollback.
TEST(ClientStorePackets, RecordsDecodedDuringAPostOutliveItsRollback)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.cds");
    TPacketMetadata meta;
    TPacketFieldDesc note;
    note.Name = "Note";
    note.TypeWord = PacketTypeWord::Make(ptcString, 2, PacketTypeWord::Varying);
    note.Params.Set(TPacketParam::MakeInt("WIDTH", PacketTypeWord::UInt16, 200));
    meta.Fields = {note};
    meta.Prepare();
    {
        TPacketBinaryWriter writer;
        writer.BeginPacket(meta, 9000);
        for (int i = 0; i < 9000; ++i) {
            const QByteArray text = "a note long enough for the heap, number " + QByteArray::number(i);
            writer.BeginRow(0, 0);
            writer.Cell(0, TPacketCell::OfBytes(pkAnsiString, text.constData(), text.size()));
            writer.EndRow();
        }
        writer.EndPacket();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(writer.TakeBytes());
    }
    std::shared_ptr<TRecordStore> store = LoadStoreFile(path);
    const TStoreLevel& lv = store->Level(0);
    ASSERT_TRUE(lv.HasUndecoded());
    const TByteHeap::TMark mark = store->Heap().Mark();
    store->Heap().Append("scratch", 7);
    const char* block = lv.Block(8500);      // decoded now, inside the mark
    store->Heap().Rollback(mark);
    store->Heap().Append("another scratch value that reuses space", 39);
    EXPECT_EQ(store->Bytes(lv, block, 0), QByteArray("a note long enough for the heap, number 8499"));
}

// Decoding every record at once, on several threads, gives the records and long values that
// decoding them as they are needed does; a file cut short while open raises as a lookup would.
TEST(ClientStorePackets, DecodingEveryRecordAtOnceMatchesDecodingThemOneByOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.cds");
    TPacketMetadata meta;
    meta.Fields = {Field("ID", PacketTypeWord::Make(ptcInteger, 4)),
                   WithParam(Field("Note", PacketTypeWord::Make(ptcString, 2, PacketTypeWord::Varying)),
                             TPacketParam::MakeInt("WIDTH", PacketTypeWord::UInt16, 200)),
                   Field("Data", PacketTypeWord::Blob)};
    meta.Prepare();
    constexpr int Rows = 50000;     // a dozen chunks of records
    QByteArray file;
    {
        TPacketBinaryWriter writer;
        writer.BeginPacket(meta, Rows);
        const QByteArray large(300000, 'L');   // a value with a heap chunk of its own
        for (int i = 0; i < Rows; ++i) {
            writer.BeginRow(0, 0);
            writer.Cell(0, TPacketCell::OfInt(pkInt32, i));
            const QByteArray text = "a note long enough for the heap, number " + QByteArray::number(i);
            if (i % 9 == 0) writer.Cell(1, TPacketCell::Null());
            else writer.Cell(1, TPacketCell::OfBytes(pkAnsiString, text.constData(), text.size()));
            if (i % 20000 == 8) writer.Cell(2, TPacketCell::OfBytes(pkBlob, large.constData(), large.size()));
            else writer.Cell(2, TPacketCell::Null());
            writer.EndRow();
        }
        writer.EndPacket();
        file = writer.TakeBytes();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    std::shared_ptr<TRecordStore> oneByOne = LoadStoreFile(path);
    std::shared_ptr<TRecordStore> atOnce = LoadStoreFile(path);
    ASSERT_TRUE(atOnce->Level(0).HasUndecoded());
    atOnce->DecodeAll();
    EXPECT_FALSE(atOnce->Level(0).HasUndecoded());
    EXPECT_EQ(SaveStore(*atOnce, pfBinary), SaveStore(*oneByOne, pfBinary));
    EXPECT_EQ(atOnce->Heap().Used(), oneByOne->Heap().Used());
    const TStoreLevel& lv = atOnce->Level(0);
    EXPECT_EQ(atOnce->Bytes(lv, lv.Block(20009), 2), QByteArray(300000, 'L'));
    EXPECT_EQ(atOnce->Bytes(lv, lv.Block(49999), 1), QByteArray("a note long enough for the heap, number 49998"));
    EXPECT_EQ(lv.State(lv.Block(9 * 4000 + 1), 1), csNull);

    // Rows of the last chunks gone from the file after it was opened.
    std::shared_ptr<TRecordStore> cut = LoadStoreFile(path);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(file.size() / 2));
    }
    EXPECT_THROW(cut->DecodeAll(), EDatabaseError);
}

// A modified version keeps the values it marks "not changed" only when it was made from a whole
// record; a NULL it leaves unchanged, or a cell its caller already marked unchanged, still reads
// through the older version.
TEST(ClientStore, AVersionReadsAsTheRecordItStandsFor)
{
    TPacketMetadata meta;
    meta.Fields = {Field("A", PacketTypeWord::Make(ptcInteger, 4)), Field("B", PacketTypeWord::Make(ptcInteger, 4)),
                   WithParam(Field("C", PacketTypeWord::Make(ptcString, 1, PacketTypeWord::Varying)),
                             TPacketParam::MakeInt("WIDTH", PacketTypeWord::UInt16, 30))};
    meta.Prepare();
    TRecordStore store(meta);
    const TStoreLevel& lv = store.Level(0);
    using TBlock = std::vector<char>;
    const auto setInt = [&](TBlock& b, int col, qint32 v) {
        std::memcpy(b.data() + lv.Columns[size_t(col)].Offset, &v, 4);
        lv.SetState(b.data(), col, csValue);
    };
    const auto getInt = [&](const TBlock& b, int col) { return qint32(BlockInt(b.data() + lv.Columns[size_t(col)].Offset, 4, true)); };
    TBlock block(size_t(lv.SlotSize));
    lv.InitBlock(block.data());
    setInt(block, 0, 1);
    store.SetBytes(lv, block.data(), 2, "kept", 4);
    const TRecIndex rec = store.Insert(0, NoRec, block.data());
    store.MergeChangeLog();
    const auto current = [&] {
        TBlock b(size_t(lv.SlotSize));
        store.ReadResolved(lv, lv.Current(rec), b.data());
        return b;
    };
    const auto expectRecord = [&](qint32 a, const char* b, const char* step) {
        SCOPED_TRACE(step);
        const TBlock r = current();
        EXPECT_EQ(getInt(r, 0), a);
        if (b) EXPECT_EQ(QByteArray::number(getInt(r, 1)), QByteArray(b));
        else EXPECT_EQ(lv.State(r.data(), 1), csNull);
        EXPECT_EQ(store.Bytes(lv, r.data(), 2), QByteArray("kept"));
    };

    TBlock whole = current();   // B NULL and C marked unchanged
    setInt(whole, 0, 2);
    store.Modify(0, rec, whole.data());
    ASSERT_EQ(lv.State(lv.Block(lv.Current(rec)), 1), csNotChanged);
    expectRecord(2, nullptr, "a NULL left unchanged");

    TBlock partial = current();
    setInt(partial, 1, 7);
    lv.SetState(partial.data(), 2, csNotChanged);
    std::memset(partial.data() + lv.Columns[2].Offset, 'x', size_t(lv.Columns[2].Bytes));
    store.Modify(0, rec, partial.data());
    expectRecord(2, "7", "a cell the caller marked unchanged");

    TBlock again = current();   // B is left unchanged and holds a value now
    setInt(again, 0, 3);
    store.Modify(0, rec, again.data());
    ASSERT_EQ(lv.State(lv.Block(lv.Current(rec)), 1), csNotChanged);
    expectRecord(3, "7", "values left unchanged");
    store.UndoLast(0);
    expectRecord(2, "7", "undone");
}
