// The record store under the client dataset: its id lists, and packets through it unchanged.

#include "platform/client/ClientIdList.h"
#include "platform/client/ClientPacket.h"
#include "platform/client/PacketBinary.h"
#include "platform/client/PacketXmlReader.h"
#include "platform/client/PacketXmlWriter.h"
#include "tests/common/TestSupport.h"
#include "tests/platform/client/PacketTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
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

TEST(ClientIdList, AgreesWithAPlainVectorUnderRandomEdits)
{
    std::mt19937 rng(7);
    TIdList list;
    std::vector<quint32> ref;
    quint32 nextId = 0;
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

// Every real file goes into the store and comes out as the codec's own document writes it:
// slots, statuses, "not changed" cells, the change log and the kept parameters all survive.
TEST(ClientStorePackets, RealFilesComeBackAsTheCodecWritesThem)
{
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
    }
}
