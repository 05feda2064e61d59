// The record store and the binary stream, without the dataset on top.

#include "memtable/zohBinary.h"
#include "memtable/zohFieldData.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <random>

using namespace zohdata;

namespace {

TzohFieldDesc Def(const char* name, int type, int size = 0)
{
    TzohFieldDesc d;
    d.Name = QString::fromLatin1(name);
    d.DataType = type;
    d.Size = size;
    return d;
}

struct TStore {
    std::vector<TzohFieldDesc> Defs;
    TzohCommon Store{nullptr};
    std::vector<TzohStreamField> Fields;

    explicit TStore(std::vector<TzohFieldDesc> defs, TzohPerformance perf = mtpfFast) : Defs(std::move(defs))
    {
        Store.SetPerformance(perf);
        Store.Layout(Defs);
        for (int i = 0; i < Store.FieldCount(); ++i)
            Fields.push_back({i, Store.Slot(i).DataType, Store.Slot(i).Size});
    }
    int Slot(const char* name) const { return Store.SlotOfName(QString::fromLatin1(name)); }
    TzohStoredRecord* New() { return Store.AllocRecord(); }
    void Add(TzohStoredRecord* r) { Store.AddRecord(r); }

    QByteArray Save(bool defs = true, bool versions = false)
    {
        QByteArray out;
        QBuffer buf(&out);
        buf.open(QIODevice::WriteOnly);
        TValueWriter w(&buf);
        TzohBinaryWriter bw(w);
        bw.WriteHeader();
        bw.WriteFieldDefs(defs ? Defs : std::vector<TzohFieldDesc>(), false);
        bw.WriteIndexDefs({});
        bw.BeginRecords();
        for (int id = 0; id < Store.RecordCount(); ++id)
            if (TzohStoredRecord* r = Store.Record(id)) bw.WriteRecord(Store, r, Fields, versions);
        bw.EndRecords();
        w.FlushBuffer();
        return out;
    }
};

// Reads a stream into a store laid out from the stream's own definitions.
struct TLoaded {
    std::vector<TzohFieldDesc> Defs;
    std::vector<TzohIndexDesc> Indexes;
    std::unique_ptr<TStore> Table;
    int Version = 0;

    explicit TLoaded(const QByteArray& bytes, int limit = -1)
    {
        TValueReader r(bytes);
        TzohBinaryReader br(r);
        br.ReadHeader();
        Version = br.Version();
        br.ReadFieldDefs([&](const TzohFieldDesc& d, bool) { Defs.push_back(d); });
        br.ReadIndexDefs([&](const TzohIndexDesc& d, bool) { Indexes.push_back(d); });
        Table = std::make_unique<TStore>(Defs);
        br.BeginRecords();
        int n = 0;
        while (!br.AtRecordsEnd()) {
            if (limit > 0 && n == limit) return;
            Table->Store.AppendRecord(br.ReadRecord(Table->Store, Table->Fields));
            ++n;
        }
        br.EndRecords();
    }
    TzohCommon& S() { return Table->Store; }
    TzohStoredRecord* Rec(int i) { return Table->Store.Record(i); }
    int Slot(const char* n) { return Table->Slot(n); }
};

QByteArray Hex(const char* h) { return QByteArray::fromHex(h); }

QByteArray Stream(const std::function<void(TValueWriter&)>& fill)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    TValueWriter w(&buf);
    fill(w);
    w.FlushBuffer();
    return out;
}

std::vector<TzohFieldDesc> EveryKind()
{
    return {Def("S", zft::String, 20), Def("Sm", zft::Smallint), Def("I", zft::Integer), Def("W", zft::Word),
            Def("B", zft::Boolean), Def("F", zft::Float), Def("C", zft::Currency), Def("N", zft::BCD, 4),
            Def("D", zft::Date), Def("T", zft::Time), Def("DT", zft::DateTime), Def("By", zft::Bytes, 4),
            Def("VB", zft::VarBytes, 6), Def("A", zft::AutoInc), Def("Bl", zft::Blob), Def("M", zft::Memo),
            Def("G", zft::Graphic), Def("FM", zft::FmtMemo), Def("PO", zft::ParadoxOle), Def("DO", zft::DBaseOle),
            Def("TB", zft::TypedBinary), Def("FC", zft::FixedChar, 5), Def("L", zft::Largeint)};
}

void FillEveryKind(TStore& t, TzohStoredRecord* r, int k)
{
    TzohCommon& s = t.Store;
    SetBytes(s, r, t.Slot("S"), QByteArray("Caf\xe9 ") + QByteArray::number(k));
    SetInteger(s, r, t.Slot("Sm"), -32768 + k);
    SetInteger(s, r, t.Slot("I"), INT32_MIN + k);
    SetInteger(s, r, t.Slot("W"), 65535 - k);
    SetBoolean(s, r, t.Slot("B"), k % 2);
    SetFloat(s, r, t.Slot("F"), 0.1 * k - 1e300);
    SetCurrency(s, r, t.Slot("C"), 123456 + k);
    SetCurrency(s, r, t.Slot("N"), -9999999999 - k);
    SetDateTime(s, r, t.Slot("D"), 25569 + k);
    SetDateTime(s, r, t.Slot("T"), (3600 + k) / 86400.0);
    SetDateTime(s, r, t.Slot("DT"), 36526.5 + k);
    SetBytes(s, r, t.Slot("By"), QByteArray("\0\1\x80", 3));
    SetBytes(s, r, t.Slot("VB"), QByteArray("\xff\x00z", 3));
    SetInteger(s, r, t.Slot("A"), k + 1);
    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i) all[i] = char(i);
    SetBytes(s, r, t.Slot("Bl"), all);
    SetBytes(s, r, t.Slot("M"), QByteArray("line\r\nline \x80"));
    SetBytes(s, r, t.Slot("G"), QByteArray(300, 'g'));
    SetBytes(s, r, t.Slot("FC"), QByteArray("ab"));
    SetInteger(s, r, t.Slot("L"), (qint64(1) << 62) + 1 + k);
}

} // namespace

TEST(StoreLayout, SlotsOffsetsAndVariableLength)
{
    for (auto perf : {mtpfFast, mtpfBalanced, mtpfSmall}) {
        TStore t({Def("A", zft::String, 12), Def("B", zft::String, 13), Def("C", zft::Integer), Def("M", zft::Memo)}, perf);
        const TzohCommon& s = t.Store;
        EXPECT_FALSE(s.Slot(0).VarLength());
        EXPECT_EQ(s.Slot(1).VarLength(), perf != mtpfFast);
        EXPECT_TRUE(s.Slot(3).VarLength());
        EXPECT_EQ(bool(s.Slot(3).Flags & zffCompressed), perf == mtpfSmall);
        EXPECT_EQ(s.Slot(0).Offset, 0);
        EXPECT_EQ(s.Slot(1).Offset == 14, perf == mtpfFast);
    }
    TzohCommon s(nullptr);
    EXPECT_THROW(s.Layout({}), EMemTableError);
    try {
        s.Layout({Def("W", zft::WideString, 10)});
        FAIL();
    } catch (const EMemTableError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Fielddef W (W) Datatype 24 not supported.)"));
    }
    try {
        s.Layout({Def("Huge", zft::String, 65535), Def("Huge2", zft::Array, 65535)});
        std::vector<TzohFieldDesc> many(400, Def("X", zft::String, 65535));
        s.Layout(many);
        FAIL();
    } catch (const EMemTableError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Record size too large"));
    }
}

TEST(StoreRecords, SlotsAreReusedWithNewUniqueIDs)
{
    TStore t({Def("I", zft::Integer)});
    TzohCommon& s = t.Store;
    for (int i = 0; i < 3; ++i) s.AddRecord(s.AllocRecord());
    EXPECT_EQ(s.Record(1)->UniqueID, 1);
    s.DeleteRecord(1);
    EXPECT_EQ(s.Record(1), nullptr);
    TzohStoredRecord* r = s.AllocRecord();
    EXPECT_EQ(s.AddRecord(r), 1);
    EXPECT_EQ(r->UniqueID, 3);
    s.ClearRecords();
    r = s.AllocRecord();
    EXPECT_EQ(s.AddRecord(r), 0);
    EXPECT_EQ(r->UniqueID, 0);
}

TEST(StoreRecords, LocaleParts)
{
    TzohCommon s(nullptr);
    EXPECT_EQ(s.LocaleID(), 1024);
    s.SetLocaleID(1024);
    EXPECT_EQ(s.LanguageID(), 0);
    EXPECT_EQ(s.SubLanguageID(), 1);
    EXPECT_EQ(s.SortID(), 0);
    s.SetSortID(1);
    EXPECT_EQ(s.LocaleID(), 66560);
    s.SetLocaleID(1024);
    EXPECT_LT(s.CompareText("a", 1, "B", 1, false), 0);
    EXPECT_EQ(s.CompareText("abc", 3, "ABC", 3, true), 0);
    s.SetLocaleID(0x3FF);
    try {
        s.CompareText("a", 1, "b", 1, false);
        FAIL();
    } catch (const EMemTableError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid locale. 1023"));
    }
}

TEST(StoreRecords, CommitAndRollbackOfVersions)
{
    TStore t({Def("I", zft::Integer), Def("M", zft::Memo)});
    TzohCommon& s = t.Store;
    s.SetVersioningEnabled(true);
    s.SetVersioningMode(mtvmAllSinceCheckPoint);
    TzohStoredRecord* r = s.AllocRecord();
    SetInteger(s, r, 0, 1);
    s.AddRecord(r);
    r->TransactionLevel = 0;
    r->UpdateStatus = usUnmodified;
    auto edit = [&](int v) {
        TzohStoredRecord* cur = s.Record(0);
        TzohStoredRecord* older = s.DuplicateRecord(cur, true);
        older->StoredMark = 1;
        cur->PreviousVersion = older;
        cur->UpdateStatus = usModified;
        cur->TransactionLevel = s.TransactionLevel();
        SetInteger(s, cur, 0, v);
        s.SetVarValue(cur, 1, "memo", 4);
    };
    s.IncTransactionLevel();
    edit(2);
    edit(3);
    s.Rollback();
    EXPECT_EQ(GetInteger(s, s.Record(0), 0), 1);
    EXPECT_EQ(s.Record(0)->PreviousVersion, nullptr);
    EXPECT_FALSE(s.FieldHasValue(s.Record(0), 1));
    s.IncTransactionLevel();
    edit(4);
    edit(5);
    s.Commit();
    EXPECT_EQ(s.TransactionLevel(), 0);
    EXPECT_EQ(GetInteger(s, s.Record(0), 0), 5);
    ASSERT_NE(s.Record(0)->PreviousVersion, nullptr);
    EXPECT_EQ(GetInteger(s, s.Record(0)->PreviousVersion, 0), 1);
    EXPECT_EQ(s.Record(0)->PreviousVersion->PreviousVersion, nullptr);
}

TEST(BinaryStream, ByteExactFileOfTwoFields)
{
    TStore t({Def("Name", zft::String, 10), Def("Age", zft::Integer)});
    t.Defs[0].DisplayWidth = 10;
    TzohStoredRecord* r = t.New();
    SetBytes(t.Store, r, 0, QByteArray("Smith"));
    SetInteger(t.Store, r, 1, 1000);
    t.Add(r);
    t.Add(t.New());
    const QByteArray expected = QByteArray("TPF0") + Hex("03fb00") +
        Hex("01") +
        Hex("0604") + "Name" + Hex("0606") + "String" + Hex("020a") + Hex("0604") + "Name" + Hex("0600") +
        Hex("020a0808") + Hex("0604") + "Data" + Hex("0600") +
        Hex("0603") + "Age" + Hex("0607") + "Integer" + Hex("0200") + Hex("0603") + "Age" + Hex("0600") +
        Hex("02000808") + Hex("0604") + "Data" + Hex("0600") +
        Hex("00") + Hex("0100") +
        Hex("01") +
        Hex("010200") + Hex("08") + Hex("0605") + "Smith" + Hex("08") + Hex("03e803") + Hex("00") +
        Hex("010200") + Hex("0909") + Hex("00") +
        Hex("00");
    EXPECT_EQ(t.Save().toHex(), expected.toHex());
}

TEST(BinaryStream, EveryFieldKindRoundTripsByteExact)
{
    TStore t(EveryKind());
    for (int k = 0; k < 5; ++k) {
        TzohStoredRecord* r = t.New();
        if (k != 3) FillEveryKind(t, r, k);
        t.Add(r);
    }
    const QByteArray first = t.Save();
    TLoaded back(first);
    EXPECT_EQ(back.Version, 251);
    ASSERT_EQ(back.Defs.size(), t.Defs.size());
    for (size_t i = 0; i < t.Defs.size(); ++i) {
        EXPECT_EQ(back.Defs[i].Name, t.Defs[i].Name);
        EXPECT_EQ(back.Defs[i].DataType, t.Defs[i].DataType);
        EXPECT_EQ(back.Defs[i].Size, t.Defs[i].Size);
    }
    EXPECT_EQ(back.Table->Save(), first);
    EXPECT_EQ(GetBytes(back.S(), back.Rec(2), back.Slot("S")), QByteArray("Caf\xe9 2"));
    EXPECT_EQ(GetInteger(back.S(), back.Rec(2), back.Slot("L")), (qint64(1) << 62) + 3);
    EXPECT_EQ(GetCurrency(back.S(), back.Rec(2), back.Slot("N")), -10000000001);
    EXPECT_EQ(GetDateTime(back.S(), back.Rec(2), back.Slot("T")), 3602 / 86400.0);
    EXPECT_EQ(GetBytes(back.S(), back.Rec(2), back.Slot("By")), QByteArray("\0\1\x80\0", 4));
    EXPECT_EQ(GetBytes(back.S(), back.Rec(2), back.Slot("Bl")).size(), 256);
    for (int slot = 0; slot < back.S().FieldCount(); ++slot) EXPECT_FALSE(back.S().FieldHasValue(back.Rec(3), slot));
}

TEST(BinaryStream, ValueEncodingsOfFields)
{
    struct Case { int type; std::function<void(TzohCommon&, TzohStoredRecord*)> set; QByteArray value; } cases[] = {
        {zft::Integer, [](TzohCommon& s, TzohStoredRecord* r) { SetInteger(s, r, 0, 100); }, Hex("0264")},
        {zft::Integer, [](TzohCommon& s, TzohStoredRecord* r) { SetInteger(s, r, 0, 1000); }, Hex("03e803")},
        {zft::Integer, [](TzohCommon& s, TzohStoredRecord* r) { SetInteger(s, r, 0, 100000); }, Hex("04a0860100")},
        {zft::String, [](TzohCommon& s, TzohStoredRecord* r) { SetBytes(s, r, 0, QByteArray(255, 'x')); }, Hex("06ff") + QByteArray(255, 'x')},
        {zft::String, [](TzohCommon& s, TzohStoredRecord* r) { SetBytes(s, r, 0, QByteArray(256, 'x')); }, Hex("0c00010000") + QByteArray(256, 'x')},
        {zft::String, [](TzohCommon& s, TzohStoredRecord* r) { SetBytes(s, r, 0, QByteArray("\xe9")); }, Hex("1402000000c3a9")},
        {zft::Currency, [](TzohCommon& s, TzohStoredRecord* r) { SetCurrency(s, r, 0, 10000); }, Hex("050000000000000080ff3f")},
        {zft::Boolean, [](TzohCommon& s, TzohStoredRecord* r) { SetBoolean(s, r, 0, true); }, Hex("09")},
        {zft::Largeint, [](TzohCommon& s, TzohStoredRecord* r) { SetInteger(s, r, 0, (qint64(1) << 32) + 1); }, Hex("0500000080000000801f40")},
    };
    for (const Case& c : cases) {
        TStore t({Def("X", c.type, 300)});
        TzohStoredRecord* r = t.New();
        c.set(t.Store, r);
        t.Add(r);
        const QByteArray bytes = t.Save(false);
        // Header (11 bytes: signature, version, two empty lists), record list, entry, status, null flag.
        EXPECT_EQ(bytes.mid(4 + 3 + 2 + 2 + 1 + 1 + 2 + 1, c.value.size()).toHex(), c.value.toHex()) << c.type;
    }
}

TEST(BinaryStream, CurrencyAndDateRules)
{
    auto file = [](int version, int type, const std::function<void(TValueWriter&)>& value) {
        return Stream([&](TValueWriter& w) {
            w.WriteSignature();
            w.WriteInteger(version);
            w.WriteListBegin();
            w.WriteString("X"); w.WriteString(QLatin1String(kzohFieldTypeNames[type])); w.WriteInteger(0);
            w.WriteString("X"); w.WriteString(""); w.WriteInteger(0); w.WriteBoolean(false); w.WriteBoolean(false);
            if (version >= 250) w.WriteString("Data");
            if (version >= 251) w.WriteString("");
            w.WriteListEnd();
            w.WriteListBegin(); w.WriteListEnd();
            w.WriteListBegin();
            w.WriteListBegin();
            w.WriteInteger(0);
            if (version >= 249) w.WriteBoolean(false);
            value(w);
            w.WriteListEnd();
            w.WriteListEnd();
        });
    };
    TLoaded a(file(251, zft::Currency, [](TValueWriter& w) { w.WriteFloat(1.23456); }));
    EXPECT_EQ(GetCurrency(a.S(), a.Rec(0), 0), 12346);
    TLoaded b(file(251, zft::Currency, [](TValueWriter& w) { w.WriteInteger(7); }));
    EXPECT_EQ(GetCurrency(b.S(), b.Rec(0), 0), 70000);
    TLoaded c(file(251, zft::BCD, [](TValueWriter& w) { w.WriteFloat(12.3456); }));
    EXPECT_EQ(GetCurrency(c.S(), c.Rec(0), 0), 123456);
    // A zero date is a null only in files without null flags.
    TLoaded d230(file(230, zft::Date, [](TValueWriter& w) { w.WriteFloat(0); }));
    EXPECT_FALSE(d230.S().FieldHasValue(d230.Rec(0), 0));
    TLoaded d251(file(251, zft::DateTime, [](TValueWriter& w) { w.WriteFloat(0); }));
    ASSERT_TRUE(d251.S().FieldHasValue(d251.Rec(0), 0));
    EXPECT_EQ(GetDateTime(d251.S(), d251.Rec(0), 0), 0.0);
    TLoaded li(file(251, zft::Largeint, [](TValueWriter& w) { w.WriteExtended(TExtended80::FromInt64(INT64_MIN + 1)); }));
    EXPECT_EQ(GetInteger(li.S(), li.Rec(0), 0), INT64_MIN + 1);
    // Values that cannot go into the field are read errors, not wrapped numbers.
    for (const auto& bad : std::vector<std::pair<int, std::function<void(TValueWriter&)>>>{
             {zft::Smallint, [](TValueWriter& w) { w.WriteInteger(40000); }},
             {zft::Word, [](TValueWriter& w) { w.WriteInteger(-1); }},
             {zft::Integer, [](TValueWriter& w) { w.WriteInteger(qint64(1) << 40); }},
             {zft::Boolean, [](TValueWriter& w) { w.WriteInteger(1); }},
             {zft::Currency, [](TValueWriter& w) { w.WriteFloat(1e300); }},
             {zft::Largeint, [](TValueWriter& w) { w.WriteFloat(1e30); }},
             {zft::DateTime, [](TValueWriter& w) { w.WriteFloat(1e300); }},
             {zft::Integer, [](TValueWriter& w) { w.WriteString("12"); }}}) {
        try {
            TLoaded x(file(251, bad.first, bad.second));
            ADD_FAILURE() << bad.first;
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(SInvalidPropertyValue)) << bad.first;
        }
    }
}

TEST(BinaryStream, OlderVersionsFromHandBuiltStreams)
{
    // Version 100: list right after the signature, 8-value groups, flat records.
    const QByteArray v100 = Stream([](TValueWriter& w) {
        w.WriteSignature();
        w.WriteListBegin();
        for (const char* n : {"Name", "Born"}) {
            w.WriteString(n); w.WriteString(n[0] == 'N' ? "String" : "Date"); w.WriteInteger(n[0] == 'N' ? 8 : 0);
            w.WriteString(QString(n) + " label"); w.WriteString(""); w.WriteInteger(9); w.WriteBoolean(true); w.WriteBoolean(false);
        }
        w.WriteListEnd();
        w.WriteListBegin();
        w.WriteString("Ann"); w.WriteFloat(25569);
        w.WriteString("Bob"); w.WriteFloat(0);
        w.WriteListEnd();
    });
    TLoaded a(v100);
    EXPECT_EQ(a.Version, 100);
    ASSERT_EQ(a.Defs.size(), 2u);
    EXPECT_EQ(a.Defs[0].DisplayName, QStringLiteral("Name label"));
    EXPECT_TRUE(a.Defs[0].Required);
    EXPECT_EQ(a.S().LiveRecordCount(), 2);
    EXPECT_EQ(GetBytes(a.S(), a.Rec(1), 0), QByteArray("Bob"));
    EXPECT_EQ(GetDateTime(a.S(), a.Rec(0), 1), 25569.0);
    EXPECT_FALSE(a.S().FieldHasValue(a.Rec(1), 1));

    // Version 200: index list, still flat records. 230: versions with status. 249: null flags. 250: kind.
    for (int version : {200, 230, 249, 250}) {
        const QByteArray bytes = Stream([&](TValueWriter& w) {
            w.WriteSignature();
            w.WriteInteger(version);
            w.WriteListBegin();
            w.WriteString("Qty"); w.WriteString("Integer"); w.WriteInteger(0); w.WriteString("Qty"); w.WriteString("");
            w.WriteInteger(5); w.WriteBoolean(false); w.WriteBoolean(true);
            if (version >= 250) w.WriteString("Calculated");
            w.WriteListEnd();
            w.WriteListBegin();
            w.WriteString("ByQty"); w.WriteString("Qty"); w.WriteString("Shown"); w.WriteBoolean(true);
            w.WriteBoolean(false); w.WriteBoolean(false); w.WriteBoolean(true);
            w.WriteListEnd();
            w.WriteListBegin();
            for (int v : {7, 8}) {
                if (version >= 230) { w.WriteListBegin(); w.WriteInteger(v == 8 ? 1 : 0); }
                if (version >= 249) w.WriteBoolean(false);
                w.WriteInteger(v);
                if (version >= 230 && v == 8) {
                    w.WriteInteger(0);
                    if (version >= 249) w.WriteBoolean(true); else w.WriteInteger(6);
                }
                if (version >= 230) w.WriteListEnd();
            }
            w.WriteListEnd();
        });
        TLoaded b(bytes);
        EXPECT_EQ(b.Version, version);
        ASSERT_EQ(b.Indexes.size(), 1u);
        EXPECT_EQ(b.Indexes[0].DisplayName, QStringLiteral("Shown"));
        EXPECT_EQ(b.Indexes[0].Options, quint32(zixDescending | zixUnique));
        EXPECT_EQ(b.Defs[0].Kind, version >= 250 ? int(zfk::Calculated) : int(zfk::Data));
        EXPECT_TRUE(b.Defs[0].ReadOnly);
        EXPECT_EQ(GetInteger(b.S(), b.Rec(1), 0), 8);
        if (version >= 230) {
            EXPECT_EQ(b.Rec(1)->UpdateStatus, usModified);
            ASSERT_NE(b.Rec(1)->PreviousVersion, nullptr);
            EXPECT_EQ(b.S().FieldHasValue(b.Rec(1)->PreviousVersion, 0), version < 249);
        }
    }
}

TEST(BinaryStream, UnknownTypeNamesAndLoadLimit)
{
    for (const char* name : {"WideString", "Guid", "string", "Nonsense"}) {
        const QByteArray bytes = Stream([&](TValueWriter& w) {
            w.WriteSignature(); w.WriteInteger(251); w.WriteListBegin();
            w.WriteString("X"); w.WriteString(name); w.WriteInteger(1); w.WriteString("X"); w.WriteString("");
            w.WriteInteger(0); w.WriteBoolean(false); w.WriteBoolean(false); w.WriteString("Data"); w.WriteString("");
            w.WriteListEnd();
        });
        try {
            TLoaded x(bytes);
            ADD_FAILURE() << name;
        } catch (const EMemTableError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Unknown field type (%1)").arg(QLatin1String(name)));
        }
    }
    TStore t({Def("I", zft::Integer)});
    for (int i = 0; i < 25; ++i) {
        TzohStoredRecord* r = t.New();
        SetInteger(t.Store, r, 0, i);
        t.Add(r);
    }
    TLoaded limited(t.Save(), 10);
    EXPECT_EQ(limited.S().LiveRecordCount(), 10);
}

TEST(BinaryStream, DamagedStreamsEndInReadErrors)
{
    TStore t(EveryKind());
    for (int k = 0; k < 3; ++k) {
        TzohStoredRecord* r = t.New();
        FillEveryKind(t, r, k);
        t.Add(r);
    }
    const QByteArray good = t.Save();
    for (int cut = 0; cut < good.size(); cut += (cut < 400 ? 1 : 7)) {
        try {
            TLoaded x(good.left(cut));
            ADD_FAILURE() << "truncated at " << cut << " loaded";
        } catch (const Exception&) {
        }
    }
    std::mt19937 rng(12345);
    for (int i = 0; i < 3000; ++i) {
        QByteArray bad = good;
        const int at = int(rng() % bad.size());
        bad[at] = char(bad[at] ^ (1 << (rng() % 8)));
        try {
            TLoaded x(bad);
        } catch (const Exception&) {
        }
    }
}
