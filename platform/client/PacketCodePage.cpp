#include "platform/client/PacketCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString Decode1252(QByteArrayView bytes)
{
    QString s(bytes.size(), Qt::Uninitialized);
    QChar* d = s.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        d[i] = (b >= 0x80 && b < 0xA0) ? QChar(Cp1252High[b - 0x80]) : QChar(b);
    }
    return s;
}

QByteArray Encode1252(QStringView text)
{
    QByteArray out(text.size(), Qt::Uninitialized);
    char* d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            b = char(c);
        } else {
            for (int k = 0; k < 32; ++k)
                if (Cp1252High[k] == c) { b = char(0x80 + k); break; }
        }
        d[i] = b;
    }
    return out;
}

QByteArray CodecName(int codePage)
{
    return codePage == 932 ? QByteArray("Shift_JIS")
         : codePage == 936 ? QByteArray("GBK")
         : codePage == 949 ? QByteArray("windows-949")
         : codePage == 950 ? QByteArray("Big5")
         : codePage == 874 ? QByteArray("windows-874")
                           : "windows-" + QByteArray::number(codePage);
}

} // namespace

int PacketCodePageFromLCID(int lcid)
{
    const int primary = lcid & 0x3FF;
    switch (primary) {
    case 0x04: return (lcid == 0x0804 || lcid == 0x1004) ? 936 : 950;
    case 0x11: return 932;
    case 0x12: return 949;
    case 0x1E: return 874;
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x24: case 0x1C:
        return 1250;
    case 0x1A: return (lcid == 0x0C1A || lcid == 0x201A) ? 1251 : 1250;
    case 0x02: case 0x19: case 0x22: case 0x23: case 0x2F: case 0x3F: case 0x40: case 0x44: case 0x50:
        return 1251;
    case 0x08: return 1253;
    case 0x1F: return 1254;
    case 0x2C: return lcid == 0x082C ? 1251 : 1254;
    case 0x43: return lcid == 0x0843 ? 1251 : 1254;
    case 0x0D: return 1255;
    case 0x01: case 0x29: case 0x20: return 1256;
    case 0x25: case 0x26: case 0x27: return 1257;
    case 0x2A: return 1258;
    default: return 1252;
    }
}

bool PacketIsSingleByteCodePage(int codePage)
{
    return codePage != 932 && codePage != 936 && codePage != 949 && codePage != 950;
}

QString PacketDecodeAnsi(QByteArrayView bytes, int codePage)
{
    if (codePage != 1252) {
        QStringDecoder dec(CodecName(codePage).constData());
        if (dec.isValid()) return dec.decode(bytes);
    }
    return Decode1252(bytes);
}

QByteArray PacketEncodeAnsi(QStringView text, int codePage)
{
    if (codePage != 1252) {
        QStringEncoder enc(CodecName(codePage).constData());
        if (enc.isValid()) return enc.encode(text);
    }
    return Encode1252(text);
}
