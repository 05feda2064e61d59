// Filter expressions and indexes over generated data, checked against brute force.

#include "memtable/zohFieldData.h"
#include "memtable/zohFilter.h"
#include "memtable/zohIndex.h"
#include "platform/core/SysFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace zohdata;
using V = TzohFilterValue;

namespace {

struct TPerson {
    QString Name;
    bool NameNull = false;
    qint64 Age = 0;
    double Born = 0;
    double Tm = 0;
    qint64 Big = 0;
};

const char* const kNames[] = {"Smith", "SMALL", "smith", "Sm%th", "Jones", "Abbot", "Abe", "Sm*", "", "Ab"};

std::vector<TPerson> People(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<TPerson> out;
    for (int i = 0; i < n; ++i) {
        TPerson p;
        p.Name = QString::fromLatin1(kNames[rng() % 10]);
        p.NameNull = rng() % 13 == 0;
        p.Age = rng() % 60;
        p.Born = EncodeDate(1960 + int(rng() % 20), 1 + int(rng() % 12), 1 + int(rng() % 28));
        p.Tm = EncodeTime(int(rng() % 3) + 8, (rng() % 2) * 30, 0, 0);
        p.Big = (qint64(rng() % 3) << 32) + 1;
        out.push_back(p);
    }
    return out;
}

TzohFilterField Resolve(const QString& name)
{
    static const struct { const char* n; int t; } fields[] = {
        {"Name", zft::String}, {"Age", zft::Integer}, {"Born", zft::Date}, {"Tm", zft::Time}, {"Big", zft::Largeint}};
    for (int i = 0; i < 5; ++i)
        if (name.compare(QLatin1String(fields[i].n), Qt::CaseInsensitive) == 0) return {i, fields[i].t};
    throw Exception(QStringLiteral("Field '%1' not found").arg(name));
}

TzohFilterFieldReader Reader(const TPerson& p)
{
    return [&p](int i) -> V {
        switch (i) {
        case 0: return p.NameNull ? V::Null() : V::Str(p.Name);
        case 1: return V::Int(p.Age);
        case 2: return V::Date(p.Born);
        case 3: return V::Date(p.Tm);
        default: return V::Int(p.Big);
        }
    };
}

int Year(double dt) { int y, m, d; DecodeDate(dt, y, m, d); return y; }

} // namespace

namespace {
// Dates in filter texts read in day/month/year for these tests.
class TDayMonthYear {
public:
    TDayMonthYear() : FSaved(FormatSettings)
    {
        FormatSettings = TFormatSettings::Standard();
        FormatSettings.ShortDateFormat = QStringLiteral("dd/mm/yyyy");
        FormatSettings.DateSeparator = QLatin1Char('/');
    }
    ~TDayMonthYear() { FormatSettings = FSaved; }
private:
    TFormatSettings FSaved;
};
} // namespace

TEST(FilterExpr, AgreesWithBruteForce)
{
    TDayMonthYear dates;
    const auto people = People(600, 7);
    struct Case { const char* text; int options; std::function<bool(const TPerson&)> expect; } cases[] = {
        {"Name = 'Smith'", 0, [](const TPerson& p) { return !p.NameNull && p.Name == "Smith"; }},
        {"Name = 'Smith'", zfoCaseInsensitive, [](const TPerson& p) { return p.Name.toUpper() == "SMITH" && !p.NameNull; }},
        {"Name = 'Sm*'", 0, [](const TPerson& p) { return !p.NameNull && p.Name.startsWith("Sm"); }},
        {"Name = 'Sm*'", zfoNoPartialCompare, [](const TPerson& p) { return !p.NameNull && p.Name == "Sm*"; }},
        {"Name <> 'Smith'", 0, [](const TPerson& p) { return p.NameNull || p.Name != "Smith"; }},
        {"[Name] != 'Smith' and \"Age\" > 30", 0, [](const TPerson& p) {
             return (p.NameNull || p.Name != "Smith") && p.Age > 30; }},
        {"Name LIKE 'Sm*'", 0, [](const TPerson& p) { return !p.NameNull && p.Name.toUpper().startsWith("SM"); }},
        {"Name LIKE 'Sm%*'", 0, [](const TPerson& p) { return !p.NameNull && p.Name.toUpper().startsWith("SM%"); }},
        {"Name like 'A?e' or Name like '[jz]*'", 0, [](const TPerson& p) {
             return !p.NameNull && (p.Name == "Abe" || p.Name.startsWith("J") || p.Name.startsWith("Z")); }},
        {"Age IN (20, 30)", 0, [](const TPerson& p) { return p.Age == 20 || p.Age == 30; }},
        {"Age in (1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,"
         "36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,58)", 0,
         [](const TPerson& p) { return p.Age >= 1 && p.Age <= 58; }},
        {"UPPER(Name) = 'SMITH'", 0, [](const TPerson& p) { return !p.NameNull && p.Name.toUpper() == "SMITH"; }},
        {"SUBSTRING(Name, 2, 3) = 'mit'", 0, [](const TPerson& p) { return !p.NameNull && p.Name.mid(1, 3) == "mit"; }},
        {"YEAR(Born) = 1970", 0, [](const TPerson& p) { return Year(p.Born) == 1970; }},
        {"Tm = '09:30:00'", 0, [](const TPerson& p) { return p.Tm == EncodeTime(9, 30, 0, 0); }},
        {"Born >= '01/06/1975' and not (Age < 10 or Age > 50)", 0, [](const TPerson& p) {
             return p.Born >= EncodeDate(1975, 6, 1) && !(p.Age < 10 || p.Age > 50); }},
        {"Age * 2 + 1 > 61 - Age / 2", 0, [](const TPerson& p) { return p.Age * 2 + 1 > 61 - p.Age / 2.0; }},
        {"Name IS NULL", 0, [](const TPerson& p) { return p.NameNull; }},
        {"Name is not null and TRIM(Name) = ''", 0, [](const TPerson& p) { return !p.NameNull && p.Name.isEmpty(); }},
        {"Big = 4294967297", 0, [](const TPerson& p) { return p.Big == (qint64(1) << 32) + 1; }},
        {"Big > '5000000000'", 0, [](const TPerson& p) { return p.Big > 5000000000LL; }},
        {"MONTH(Born) = DAY(Born) or HOUR(Tm) = 10", 0, [](const TPerson& p) {
             int y, m, d, h, n, s, ms;
             DecodeDate(p.Born, y, m, d);
             DecodeTime(p.Tm, h, n, s, ms);
             return m == d || h == 10; }},
    };
    for (const Case& c : cases) {
        TzohFilterExpr e(QString::fromLatin1(c.text), c.options, Resolve);
        int hits = 0;
        for (const TPerson& p : people) {
            const bool got = e.Accepts(Reader(p));
            ASSERT_EQ(got, c.expect(p)) << c.text << " on " << p.Name.toStdString() << " " << p.Age;
            hits += got;
        }
        EXPECT_GT(hits, 0) << c.text;
    }
}

TEST(FilterExpr, Errors)
{
    TDayMonthYear dates;
    TPerson p;
    p.Name = "x";
    struct Case { const char* text; const char* message; } cases[] = {
        {"Nope(Name) = 1", "Invalid function name NOPE"},
        {"DATE('x', 'dd/mm/yyyy') = 1", "Invalid or missing parameter for function DATE"},
        {"Name = 'a' and", "Invalid filter expression near 'end': Name = 'a' and"},
        // What the lexer cannot read is named as far as it got.
        {"Name = 'abc", "Invalid filter expression near 'end': Name = 'abc"},
        {"[Name = 'a'", "Invalid filter expression near '[': [Name = 'a'"},
        {"\"Name = 'a'", "Invalid filter expression near '\"': \"Name = 'a'"},
        {"Name # 'a'", "Invalid filter expression near '#': Name # 'a'"},
        {"Name || 'a' = 'b'", "Invalid filter expression near '|': Name || 'a' = 'b'"},
        {"(Name = 'a'", "Invalid filter expression near 'end': (Name = 'a'"},
        {"Name = 'a' 'b'", "Invalid filter expression near 'b': Name = 'a' 'b'"},
        {"Name != ", "Invalid filter expression near 'end': Name != "},
        {"Name != != 'a'", "Invalid filter expression near '<>': Name != != 'a'"},
        {"T.Name = 'a'", "Field 'T.Name' not found"},
        {"Missing = 1", "Field 'Missing' not found"},
        {"Age = 'abc'", "'abc' is not a valid integer value"},
        {"Name > 5", "'x' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        try {
            TzohFilterExpr e(QString::fromLatin1(c.text), 0, Resolve);
            e.Accepts(Reader(p));
            ADD_FAILURE() << c.text;
        } catch (const Exception& ex) {
            EXPECT_EQ(ex.Message(), QString::fromLatin1(c.message)) << c.text;
        }
    }
    TzohFilterExpr f(QStringLiteral("DATE('03/04/2001', 'mm/dd/yyyy') = DATE(Born)"), 0, Resolve);
    p.Born = EncodeDate(2001, 3, 4);
    EXPECT_TRUE(f.Accepts(Reader(p)));
    EXPECT_TRUE(zohMatchesMask("abc", "*"));
    EXPECT_FALSE(zohMatchesMask("abc", "[!a]*"));
}

namespace {

class THost : public TzohIndexHost {
public:
    TzohCommon Store{nullptr};
    std::function<bool(TzohStoredRecord*)> Filter;
    TzohCommon* IndexStore() const override { return const_cast<TzohCommon*>(&Store); }
    bool IndexHostActive() const override { return true; }
    bool IndexHostEnableIndexes() const override { return true; }
    bool IndexHostFilters() const override { return bool(Filter); }
    bool IndexHostAccepts(TzohStoredRecord* r) override { return !Filter || Filter(r); }
    bool IndexHostBelongs(TzohIndex*, TzohStoredRecord*) override { return true; }
    void IndexHostProgress(TzohProgressCode, int) override {}
    TzohResolvedField Resolve(const QString& n) const
    {
        const int s = Store.SlotOfName(n);
        if (s < 0) throw Exception(QStringLiteral("Field '%1' not found").arg(n));
        return {s, Store.Slot(s).DataType, Store.Slot(s).Kind, Store.Slot(s).Name};
    }
};

TzohFieldDesc Def(const char* name, int type, int size = 0)
{
    TzohFieldDesc d;
    d.Name = QString::fromLatin1(name);
    d.DataType = type;
    d.Size = size;
    return d;
}

} // namespace

TEST(Index, SortAndSearchAgreeWithBruteForce)
{
    THost h;
    h.Store.Layout({Def("I", zft::Integer), Def("S", zft::String, 8), Def("L", zft::Largeint), Def("M", zft::Memo)});
    std::mt19937 rng(3);
    for (int i = 0; i < 400; ++i) {
        TzohStoredRecord* r = h.Store.AllocRecord();
        if (rng() % 10) SetInteger(h.Store, r, 0, qint64(rng() % 20) - 10 + (rng() % 2 ? 2000000000 : -2000000000));
        const char* names[] = {"Ab", "Abc", "abd", "B", "a", "Zz"};
        SetBytes(h.Store, r, 1, QByteArray(names[rng() % 6]));
        SetInteger(h.Store, r, 2, rng() % 2 ? 1 : (qint64(1) << 32) + 1);
        h.Store.AddRecord(r);
    }
    auto resolve = [&](const QString& n) { return h.Resolve(n); };
    TzohIndex idx(&h, "ByIS", false, true, 0, "I;S:DL", resolve);
    idx.RebuildAndSort();
    ASSERT_EQ(idx.Count(), 400);
    std::vector<TzohStoredRecord*> expect = idx.Records();
    std::stable_sort(expect.begin(), expect.end(), [&](auto* a, auto* b) {
        const bool an = h.Store.FieldHasValue(a, 0), bn = h.Store.FieldHasValue(b, 0);
        if (an != bn) return !an;
        if (an && GetInteger(h.Store, a, 0) != GetInteger(h.Store, b, 0)) return GetInteger(h.Store, a, 0) < GetInteger(h.Store, b, 0);
        const QByteArray s = GetBytes(h.Store, a, 1), t = GetBytes(h.Store, b, 1);
        if (s != t) return s > t;
        return a->RecordID < b->RecordID;
    });
    EXPECT_EQ(idx.Records(), expect);

    // Every key is found at its first occurrence by the binary search.
    for (int i = 0; i < idx.Count(); i += 7) {
        int pos = -1;
        EXPECT_EQ(idx.Search(nullptr, idx.At(i), false, false, pos), 0);
        EXPECT_EQ(idx.CompareRecords(idx.Fields(), idx.At(pos), false, false, idx.At(i)), 0);
        if (pos > 0) {
            EXPECT_NE(idx.CompareRecords(idx.Fields(), idx.At(pos - 1), false, false, idx.At(i)), 0);
        }
        EXPECT_EQ(idx.PositionOf(idx.At(i)), i);
    }

    // Large integers that differ only above bit 31 are different keys.
    TzohIndex big(&h, "ByL", false, true, zixDescending, "L", resolve);
    big.RebuildAndSort();
    EXPECT_EQ(GetInteger(h.Store, big.At(0), 2), (qint64(1) << 32) + 1);
    EXPECT_EQ(GetInteger(h.Store, big.At(big.Count() - 1), 2), 1);
}

TEST(Index, PartialSearchLocaleOrderUniqueAndMaintenance)
{
    THost h;
    h.Store.Layout({Def("S", zft::String, 10), Def("K", zft::Integer)});
    auto resolve = [&](const QString& n) { return h.Resolve(n); };
    std::vector<QByteArray> words;
    for (int i = 0; i < 100; ++i) words.push_back(QByteArray(1, char('A' + i % 26)) + QByteArray(1, char('a' + (i / 26) % 26)) + QByteArray::number(i));
    for (int i = 0; i < 100; ++i) {
        TzohStoredRecord* r = h.Store.AllocRecord();
        SetBytes(h.Store, r, 0, words[i]);
        SetInteger(h.Store, r, 1, i);
        h.Store.AddRecord(r);
    }
    TzohIndex byS(&h, "ByS", false, true, 0, "S", resolve);
    byS.RebuildAndSort();
    // The sort by collation keys agrees with the pairwise compare, tie-break included.
    for (int i = 1; i < byS.Count(); ++i)
        ASSERT_LT(byS.CompareRecords(byS.Fields(), byS.At(i - 1), false, true, byS.At(i)), 0) << i;
    TzohIndex byKS(&h, "ByKS", false, true, zixDescending | zixCaseInsensitive, "S", resolve);
    byKS.RebuildAndSort();
    for (int i = 1; i < byKS.Count(); ++i)
        ASSERT_LT(byKS.CompareRecords(byKS.Fields(), byKS.At(i - 1), false, true, byKS.At(i)), 0) << i;
    TzohStoredRecord* key = h.Store.AllocRecord();
    SetBytes(h.Store, key, 0, QByteArray("Ab"));
    int pos = -1;
    EXPECT_EQ(byS.Search(nullptr, key, false, true, pos), 0);
    EXPECT_TRUE(GetBytes(h.Store, byS.At(pos), 0).startsWith("Ab"));
    EXPECT_FALSE(GetBytes(h.Store, byS.At(pos - 1), 0).startsWith("Ab"));

    // Character-code order puts "B" before "a"; the locale does not.
    TzohStoredRecord* a = h.Store.AllocRecord();
    TzohStoredRecord* b = h.Store.AllocRecord();
    SetBytes(h.Store, a, 0, QByteArray("a"));
    SetBytes(h.Store, b, 0, QByteArray("B"));
    TzohFieldList raw, local;
    BuildFieldList(raw, "S:L", resolve);
    BuildFieldList(local, "S", resolve);
    EXPECT_GT(zohCompareFields(h.Store, raw, 0, false, false, a, b), 0);
    EXPECT_LT(zohCompareFields(h.Store, local, 0, false, false, a, b), 0);

    // A unique index with equal keys refuses to sort.
    SetInteger(h.Store, h.Store.Record(5), 1, 6);
    TzohIndex uniq(&h, "U", false, true, zixUnique, "K", resolve);
    try {
        uniq.RebuildAndSort();
        FAIL();
    } catch (const EMemTableError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Duplicate index value. Operation aborted."));
    }

    // Maintenance keeps the order through inserts, changes and deletes.
    TzohStoredRecord* n = h.Store.AllocRecord();
    SetBytes(h.Store, n, 0, QByteArray("Ab5"));
    h.Store.AddRecord(n);
    byS.RecordInserted(n, -1, false, true);
    TzohStoredRecord* newValues = h.Store.DuplicateRecord(h.Store.Record(10), true);
    newValues->RecordNumber = 0;
    SetBytes(h.Store, newValues, 0, QByteArray("Zzz"));
    int newPos = -1;
    byS.RecordChanged(h.Store.Record(10), h.Store.Record(10), newValues, -1, false, newPos);
    h.Store.CopyRecord(newValues, h.Store.Record(10));
    byS.RecordDeleted(h.Store.Record(20));
    EXPECT_EQ(byS.Count(), 100);
    EXPECT_EQ(newPos, 100);
    for (int i = 1; i < byS.Count(); ++i)
        EXPECT_LE(zohCompareFields(h.Store, byS.Fields(), 0, false, false, byS.At(i - 1), byS.At(i)), 0) << i;
    try {
        BuildFieldList(raw, "M", [](const QString&) { return TzohResolvedField{0, zft::Memo, zfk::Data, "Memo field"}; });
        FAIL();
    } catch (const EMemTableError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Can't index on field Memo field"));
    }
}
