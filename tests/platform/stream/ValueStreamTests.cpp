#include "platform/stream/ValueStream.h"
#include "platform/stream/Win1252.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

QByteArray Written(const std::function<void(TValueWriter&)>& fill)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    {
        TValueWriter w(&buf);
        fill(w);
        w.FlushBuffer();
    }
    return out;
}

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// A device that hands out its bytes a few at a time and cannot tell its size.
class TTrickleDevice : public QIODevice {
public:
    explicit TTrickleDevice(QByteArray data) : FData(std::move(data)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return FData.size() - FAt + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxlen) override
    {
        const qint64 n = qMin<qint64>(qMin<qint64>(maxlen, 3), FData.size() - FAt);
        if (n <= 0) return -1;
        std::memcpy(data, FData.constData() + FAt, n);
        FAt += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray FData;
    qint64 FAt = 0;
};

} // namespace

TEST(ValueWriter, IntegersTakeTheSmallestType)
{
    struct Case { qint64 value; const char* hex; } cases[] = {
        {0, "0200"}, {100, "0264"}, {-128, "0280"}, {127, "027f"}, {128, "038000"},
        {1000, "03e803"}, {-32768, "030080"}, {32768, "0400800000"}, {100000, "04a0860100"},
        {INT32_MIN, "0400000080"}, {qint64(INT32_MAX) + 1, "130000008000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Written([&](TValueWriter& w) { w.WriteInteger(c.value); }), Hex(c.hex)) << c.value;
}

TEST(ValueWriter, FixedLayouts)
{
    EXPECT_EQ(Written([](TValueWriter& w) {
                  w.WriteSignature();
                  w.WriteInteger(251);
                  w.WriteListBegin();
                  w.WriteBoolean(true);
                  w.WriteBoolean(false);
                  w.WriteListEnd();
              }),
              QByteArray("TPF0") + Hex("03fb0001090800"));
    // 1.0 as extended: integer bit set, exponent bias 16383.
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteFloat(1.0); }), Hex("050000000000000080ff3f"));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteFloat(-2.5); }), Hex("0500000000000000a000c0"));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteIdent("Data"); w.WriteIdent("true"); }), Hex("07044461746109"));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteSet({"a", "bc"}); }), Hex("0b016102626300"));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteBinary("xy"); }), Hex("0a020000007879"));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteWideString(QStringLiteral("\u00e9")); }), Hex("1201000000e900"));
}

TEST(ValueWriter, StringTypesByLengthAndContent)
{
    const QByteArray a255(255, 'a'), a256(256, 'a');
    EXPECT_EQ(Written([&](TValueWriter& w) { w.WriteAnsiString(a255); }), Hex("06ff") + a255);
    EXPECT_EQ(Written([&](TValueWriter& w) { w.WriteAnsiString(a256); }), Hex("0c00010000") + a256);
    // One 8-bit character outside ASCII turns the whole string into UTF-8.
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteAnsiString(QByteArray("Caf\xe9 \x80")); }),
              Hex("1409000000436166c3a920e282ac"));
    EXPECT_EQ(Written([](TValueWriter& w) { w.WriteString(QStringLiteral("\u4e2d")); }), Hex("1403000000e4b8ad"));
}

TEST(ValueReader, RoundTripOfEveryKind)
{
    const QByteArray bytes = Written([](TValueWriter& w) {
        w.WriteSignature();
        for (qint64 v : {qint64(0), qint64(-1), qint64(200), qint64(-40000), qint64(INT32_MAX), qint64(INT32_MIN)}) w.WriteInteger(v);
        w.WriteInteger(INT64_MIN);
        w.WriteFloat(3.25);
        w.WriteSingle(1.5f);
        w.WriteDouble(-0.125);
        w.WriteCurrency(123456);
        w.WriteDate(36526.5);
        w.WriteAnsiString(QByteArray("\x81\x8d\x8f\x90\x9d\xff", 6));
        w.WriteString(QStringLiteral("\u4e2d\u6587"));
        w.WriteWideString(QStringLiteral("w\u00e9"));
        w.WriteIdent("fkData");
        w.WriteSet({"ixUnique", "ixDescending"});
        w.WriteBinary(QByteArray("\0\1\2", 3));
        w.WriteBoolean(true);
    });
    TValueReader r(bytes);
    r.ReadSignature();
    for (qint32 v : {0, -1, 200, -40000, INT32_MAX, INT32_MIN}) EXPECT_EQ(r.ReadInteger(), v);
    EXPECT_EQ(r.ReadInt64(), INT64_MIN);
    EXPECT_EQ(r.ReadFloat(), 3.25);
    EXPECT_EQ(r.ReadFloat(), 1.5);
    EXPECT_EQ(r.ReadFloat(), -0.125);
    EXPECT_EQ(r.ReadCurrency(), 123456);
    EXPECT_EQ(r.ReadDate(), 36526.5);
    // The five bytes Windows-1252 leaves undefined survive the trip through UTF-8.
    EXPECT_EQ(r.ReadAnsiString(), QByteArray("\x81\x8d\x8f\x90\x9d\xff", 6));
    EXPECT_EQ(r.ReadString(), QStringLiteral("\u4e2d\u6587"));
    EXPECT_EQ(r.ReadAnsiString(), QByteArray("w\xe9"));
    EXPECT_EQ(r.ReadIdent(), QByteArray("fkData"));
    EXPECT_EQ(r.ReadSet(), QStringList({"ixUnique", "ixDescending"}));
    EXPECT_EQ(r.ReadBinary(), QByteArray("\0\1\2", 3));
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_TRUE(r.AtEnd());
}

TEST(Extended80, DoublesAndInt64sExactly)
{
    for (double d : {0.0, 1.0, -1.0, 0.1, 12.3456, 1e308, -1e-308, 5e-324, 36526.999988425923,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity()}) {
        const TExtended80 e = TExtended80::FromDouble(d);
        EXPECT_EQ(e.ToDouble(), d) << d;
    }
    EXPECT_TRUE(std::isnan(TExtended80::FromDouble(std::nan("")).ToDouble()));
    // 64-bit integers beyond a double's 53 bits are carried exactly by the 64-bit mantissa.
    for (qint64 v : std::initializer_list<qint64>{0, 1, -1, (qint64(1) << 53) + 1, (qint64(1) << 32) + 1,
                     INT64_MAX, INT64_MIN, INT64_MAX - 1, -(qint64(1) << 62) - 3}) {
        qint64 back = 0;
        ASSERT_TRUE(TExtended80::FromInt64(v).ToInt64(back)) << v;
        EXPECT_EQ(back, v);
    }
    qint64 out;
    EXPECT_FALSE(TExtended80::FromDouble(0.5).ToInt64(out));
    EXPECT_FALSE(TExtended80::FromDouble(1e19).ToInt64(out));
    EXPECT_FALSE(TExtended80::FromDouble(-1e19).ToInt64(out));
    // Rounding to double goes to the nearest, ties to even.
    TExtended80 tie = TExtended80::FromInt64((qint64(1) << 53) + 1);
    EXPECT_EQ(tie.ToDouble(), 9007199254740992.0);
}

TEST(ValueReader, WrongTypesAndDamage)
{
    struct Case { const char* name; QByteArray bytes; std::function<void(TValueReader&)> read; const char* msg; } cases[] = {
        {"signature", "TPF1", [](TValueReader& r) { r.ReadSignature(); }, SInvalidImage},
        {"short signature", "TP", [](TValueReader& r) { r.ReadSignature(); }, SInvalidImage},
        {"string for integer", Hex("060161"), [](TValueReader& r) { r.ReadInteger(); }, SInvalidPropertyValue},
        {"int64 for integer", Hex("130100000000000000"), [](TValueReader& r) { r.ReadInteger(); }, SInvalidPropertyValue},
        {"integer byte for boolean", Hex("0201"), [](TValueReader& r) { r.ReadBoolean(); }, SInvalidPropertyValue},
        {"missing list end", Hex("01"), [](TValueReader& r) { r.ReadListBegin(); r.ReadListEnd(); }, SReadError},
        {"truncated integer", Hex("0401"), [](TValueReader& r) { r.ReadInteger(); }, SReadError},
        {"long string past the end", Hex("0cffffff7f41"), [](TValueReader& r) { r.ReadAnsiString(); }, SReadError},
        {"negative length", Hex("0cffffffff"), [](TValueReader& r) { r.ReadAnsiString(); }, SReadError},
        {"wide string past the end", Hex("12ffffff3f"), [](TValueReader& r) { r.ReadString(); }, SReadError},
        {"binary past the end", Hex("0a10000000"), [](TValueReader& r) { r.ReadBinary(); }, SReadError},
        {"unknown type", Hex("63"), [](TValueReader& r) { r.SkipValue(); }, SInvalidPropertyValue},
        {"deep nesting", QByteArray(100000, '\x01'), [](TValueReader& r) { r.SkipValue(); }, SInvalidPropertyValue},
    };
    for (const Case& c : cases) {
        for (int dev = 0; dev < 3; ++dev) {
            QBuffer buf;
            buf.setData(c.bytes);
            buf.open(QIODevice::ReadOnly);
            TTrickleDevice trickle(c.bytes);
            try {
                if (dev == 0) {
                    TValueReader r(c.bytes);
                    c.read(r);
                } else {
                    TValueReader r(dev == 1 ? static_cast<QIODevice*>(&buf) : &trickle, 64);
                    c.read(r);
                }
                ADD_FAILURE() << c.name << " did not raise";
            } catch (const EReadError& e) {
                EXPECT_EQ(e.Message(), QString::fromLatin1(c.msg)) << c.name << " device " << dev;
            }
        }
    }
}

TEST(ValueReader, DevicesAndSkippingAgreeWithMemory)
{
    const QByteArray big(70000, 'z');
    const QByteArray bytes = Written([&](TValueWriter& w) {
        w.WriteListBegin();
        w.WriteAnsiString(big);
        w.WriteCollectionBegin();
        w.WriteInteger(3);          // order value of the item
        w.WriteListBegin();
        w.Write("\x04Name", 5);
        w.WriteString(QStringLiteral("x"));
        w.WriteListEnd();
        w.WriteListEnd();
        w.WriteSet({"a"});
        w.WriteListEnd();
        w.WriteInteger(42);
    });
    for (int dev = 0; dev < 3; ++dev) {
        QBuffer buf;
        buf.setData(bytes);
        buf.open(QIODevice::ReadOnly);
        TTrickleDevice trickle(bytes);
        TValueReader mem(bytes);
        TValueReader onDev(dev == 1 ? static_cast<QIODevice*>(&buf) : &trickle, 100);
        TValueReader& r = dev == 0 ? mem : onDev;
        r.ReadListBegin();
        EXPECT_EQ(r.ReadAnsiString(), big);
        r.SkipValue();
        r.SkipValue();
        r.ReadListEnd();
        EXPECT_EQ(r.ReadInteger(), 42);
        EXPECT_TRUE(r.AtEnd());
    }
}

TEST(ValueReader, EveryTruncationRaisesAReadError)
{
    const QByteArray bytes = Written([](TValueWriter& w) {
        w.WriteSignature();
        w.WriteListBegin();
        w.WriteString(QStringLiteral("Name \u00e9"));
        w.WriteInteger(70000);
        w.WriteFloat(2.5);
        w.WriteWideString(QStringLiteral("ab"));
        w.WriteBinary("123");
        w.WriteListEnd();
    });
    for (int cut = 0; cut < bytes.size(); ++cut) {
        TValueReader r(bytes.left(cut));
        EXPECT_THROW({
            r.ReadSignature();
            r.ReadListBegin();
            r.ReadString();
            r.ReadInteger();
            r.ReadFloat();
            r.ReadString();
            r.ReadBinary();
            r.ReadListEnd();
        }, EReadError) << cut;
    }
}

TEST(Win1252, AllBytesRoundTripThroughUnicodeAndUtf8)
{
    QByteArray all(256, 0);
    for (int i = 0; i < 256; ++i) all[i] = char(i);
    EXPECT_EQ(StringToWin1252(Win1252ToString(all)), all);
    QByteArray back;
    EXPECT_TRUE(Utf8ToWin1252(Win1252ToUtf8(all.constData(), all.size()).constData(),
                              Win1252ToUtf8(all.constData(), all.size()).size(), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(Win1252ToString(QByteArray("\x80")), QStringLiteral("\u20ac"));
    EXPECT_EQ(StringToWin1252(QStringLiteral("\u4e2d\u20ac")), QByteArray("?\x80"));
    EXPECT_FALSE(Utf8ToWin1252("\xc3", 1, back));
    EXPECT_EQ(back, QByteArray("?"));
}
