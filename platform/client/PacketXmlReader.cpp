#include "platform/client/PacketXmlReader.h"

#include "platform/client/PacketError.h"
#include "platform/client/PacketXml.h"
#include "platform/client/PacketValues.h"
#include "platform/core/CodePages.h"

#include <QStringDecoder>
#include <array>
#include <climits>
#include <cstring>
#include <unordered_map>

using namespace PacketXml;

namespace {

constexpr int MaxElementDepth = 512;

struct TAttr {
    std::string_view Name;
    std::string_view Value;     // raw, entities not decoded
};

struct TTag {
    std::string_view Name;
    std::vector<TAttr> Attrs;
    bool SelfClosing = false;
    qint64 Start = 0;           // offset of '<'

    const TAttr* Find(std::string_view n) const
    {
        for (const TAttr& a : Attrs)
            if (a.Name == n) return &a;
        return nullptr;
    }
};

// XML names of a level's fields, parallel to the descriptors.
struct TXmlField {
    QByteArray Name;
    std::vector<TXmlField> Children;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool ValidUtf8(const char* s, qsizetype n, bool& high)
{
    high = false;
    qsizetype i = 0;
    while (i < n) {
        // ASCII runs, 32 bytes at a time.
        while (i + 32 <= n) {
            quint64 w[4];
            std::memcpy(w, s + i, 32);
            if ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull) break;
            i += 32;
        }
        if (i == n) break;   // the text ended on a whole run
        if (i + 8 <= n) {
            quint64 w;
            std::memcpy(&w, s + i, 8);
            if (!(w & 0x8080808080808080ull)) { i += 8; continue; }
        }
        const uchar c = uchar(s[i]);
        if (c < 0x80) { ++i; continue; }
        high = true;
        int len;
        quint32 cp;
        if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + len > n) return false;
        for (int k = 1; k < len; ++k) {
            const uchar cc = uchar(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

enum TTextForm : quint8 { tfBytes, tfAnsi, tfWide };

class TXmlReader {
public:
    TXmlReader(const char* data, qsizetype size);
    void Read(IPacketSink* sink);     // nullptr: metadata only
    TPacketMetadata Meta;

private:
    // -- tokens
    [[noreturn]] void Fail(const QString& msg, qint64 at = -1) const
    {
        PacketError(QStringLiteral("Damaged XML data packet: ") + msg, at < 0 ? P : at);
    }
    bool AtEnd() const { return P >= N; }
    void SkipSpace() { while (P < N && IsSpace(B[P])) ++P; }
    void SkipTo(std::string_view end, const char* what);
    void SkipMisc();
    void ReadStartTag(TTag& tag);
    void ReadEndTag(std::string_view name);
    // After the start tag of a non-empty element: skips to after its end tag; returns the
    // number of direct child elements.
    qint64 SkipContent(std::string_view name);
    // Text up to the next '<'.
    std::string_view ReadText();
    // Reads the next child element's start tag into tag; false at the parent's end tag, which is
    // consumed.
    bool NextChild(std::string_view parent, TTag& tag);
    void SkipElement(const TTag& tag) { if (!tag.SelfClosing) SkipContent(tag.Name); }

    // -- text
    void Entity(std::string_view raw, size_t& i, quint32& cp, qint64 at) const;
    void DecodeUtf16(std::string_view raw, std::u16string& out, qint64 at) const;
    // Text as 8-bit bytes of the packet's code page; may point into the document.
    std::string_view DecodeAnsi(std::string_view raw, std::string& scratch, qint64 at) const;
    QByteArray AnsiBytes(std::string_view raw, qint64 at) const
    {
        std::string s;
        const std::string_view v = DecodeAnsi(raw, s, at);
        return QByteArray(v.data(), qsizetype(v.size()));
    }
    // A name as stored bytes: the code page's in a raw document, else UTF-8.
    QByteArray NameBytes(std::string_view raw, qint64 at) const;

    // -- metadata
    void ReadMetadataElement();
    void ScanLcid(qint64 metadataStart);
    void ReadFields(std::vector<TPacketFieldDesc>& fields, std::vector<TXmlField>& names, int depth);
    void ReadField(const TTag& tag, TPacketFieldDesc& f, TXmlField& name, int depth);
    void ReadParamsElement(const TTag& tag, TPacketParams& params, bool fieldLevel);
    TPacketParam AttrParam(const TKnownAttr& a, std::string_view raw, qint64 at) const;
    TPacketParam ParamElement(const TTag& tag) const;
    void AddParam(TPacketParams& params, TPacketParam&& p, qint64 at) const
    {
        // Kept in order as stored, as the binary reader keeps them.
        if (params.Items.size() >= 0xFFFF) Fail(QStringLiteral("more than 65535 parameters"), at);
        params.Items.push_back(std::move(p));
    }
    void MapNames(const std::vector<TPacketFieldDesc>& fields, const std::vector<TXmlField>& names);

    // -- rows
    // What decoding a column's values needs from its descriptor, looked up once per packet.
    struct TColumnRead {
        TTextForm BlobText = tfBytes;   // a blob's SUBTYPE: base64 bytes, or text
        int Precision = 32;             // BCD: WIDTH and DECIMALS
        int Scale = 0;
    };
    struct TLevelRead {
        std::vector<std::string_view> Names;
        std::unordered_map<std::string_view, int> Index;
        std::vector<std::string_view> Values;
        std::vector<qint64> ValueAt;
        std::vector<qint64> ChildAt;
        std::vector<qint64> ChildCount;
        std::vector<quint32> Stamp;
        std::vector<quint8> IsElementText;
        std::vector<TColumnRead> Decode;
        quint32 Generation = 0;
    };
    void PrepareLevels();
    void ReadRowData(const TTag& rowData);
    void ReadRow(int level, TTag& tag, quint64 rowNo);
    int ColumnOf(TLevelRead& lr, std::string_view name, int& expect) const;
    void DecodeCell(const TPacketColumn& col, const TColumnRead& info, std::string_view raw, qint64 at, TPacketCell& cell,
                    quint64 rowNo, int level);

    const char* B;
    qint64 N;
    qint64 P = 0;
    std::string FConverted;     // a document in another declared encoding, as UTF-8
    // Text is UTF-8 (else the code page's); known once asked (see Utf8).
    bool Utf8() const
    {
        if (!FUtf8Known) {
            bool high = false;
            const bool valid = ValidUtf8(B, N, high);
            FUtf8 = valid && high;
            FUtf8Known = true;
        }
        return FUtf8;
    }
    mutable bool FUtf8 = false;
    mutable bool FUtf8Known = true;
    int FCodePage = 1252;
    bool FDelta = false;
    IPacketSink* FSink = nullptr;
    std::vector<TXmlField> FNames;
    std::unordered_map<const TPacketFieldDesc*, const TXmlField*> FNameOf;
    std::vector<TLevelRead> FLevels;
    std::string FScratch;
    std::u16string FWide;
    std::string FBytes;
    bool FBegun = false;
};

TXmlReader::TXmlReader(const char* data, qsizetype size) : B(data), N(size)
{
    // Encoding: a BOM says UTF-8; a declared encoding is honoured when known; else UTF-8 when the
    // bytes are valid UTF-8, else the packet's code page (raw bytes).
    if (N >= 3 && uchar(B[0]) == 0xEF && uchar(B[1]) == 0xBB && uchar(B[2]) == 0xBF) {
        FUtf8 = true;
        P = 3;
        return;
    }
    QByteArray declared;
    if (N >= 5 && std::memcmp(B, "<?xml", 5) == 0) {
        const char* end = static_cast<const char*>(std::memchr(B, '>', size_t(qMin<qint64>(N, 4096))));
        if (end) {
            const std::string_view decl(B, size_t(end - B));
            const size_t e = decl.find("encoding");
            if (e != std::string_view::npos) {
                size_t q = decl.find_first_of("\"'", e);
                if (q != std::string_view::npos) {
                    const size_t q2 = decl.find(decl[q], q + 1);
                    if (q2 != std::string_view::npos) declared = QByteArray(decl.data() + q + 1, qsizetype(q2 - q - 1));
                }
            }
        }
    }
    if (declared.isEmpty() || declared.compare("UTF-8", Qt::CaseInsensitive) == 0
        || declared.compare("UTF8", Qt::CaseInsensitive) == 0) {
        // Whether the bytes are UTF-8 matters only for text with bytes above 127, so the file
        // is looked through once such text comes (most files have none).
        FUtf8Known = false;
        return;
    }
    bool high = false;
    const bool valid = ValidUtf8(B, N, high);
    if (high) {
        QStringDecoder dec(declared.constData());
        if (dec.isValid()) {
            FConverted = QString(dec.decode(QByteArrayView(B, N))).toStdString();
            B = FConverted.data();
            N = qint64(FConverted.size());
            FUtf8 = true;
            return;
        }
    }
    FUtf8 = valid && high;
}

void TXmlReader::SkipTo(std::string_view end, const char* what)
{
    const qint64 start = P;
    const std::string_view rest(B + P, size_t(N - P));
    const size_t at = rest.find(end);
    if (at == std::string_view::npos) Fail(QStringLiteral("unterminated %1").arg(QLatin1String(what)), start);
    P += qint64(at + end.size());
}

void TXmlReader::SkipMisc()
{
    for (;;) {
        SkipSpace();
        if (P + 1 >= N || B[P] != '<') return;
        if (B[P + 1] == '?') { SkipTo("?>", "processing instruction"); continue; }
        if (B[P + 1] == '!') {
            if (N - P >= 4 && std::memcmp(B + P, "<!--", 4) == 0) { SkipTo("-->", "comment"); continue; }
            if (N - P >= 9 && std::memcmp(B + P, "<![CDATA[", 9) == 0) Fail(QStringLiteral("CDATA sections are not allowed in data packets"));
            SkipTo(">", "declaration");
            continue;
        }
        return;
    }
}

void TXmlReader::ReadStartTag(TTag& tag)
{
    tag.Start = P;
    tag.Attrs.clear();
    tag.SelfClosing = false;
    if (P >= N || B[P] != '<') Fail(QStringLiteral("an element was expected"));
    ++P;
    const qint64 nameStart = P;
    while (P < N && !IsSpace(B[P]) && B[P] != '>' && B[P] != '/' && B[P] != '=') ++P;
    if (P == nameStart || P >= N) Fail(QStringLiteral("an element has no name or is cut off"), tag.Start);
    tag.Name = std::string_view(B + nameStart, size_t(P - nameStart));
    for (;;) {
        SkipSpace();
        if (P >= N) Fail(QStringLiteral("the tag <%1> is cut off").arg(QLatin1String(tag.Name.data(), qsizetype(tag.Name.size()))), tag.Start);
        const char c = B[P];
        if (c == '>') { ++P; return; }
        if (c == '/') {
            if (P + 1 < N && B[P + 1] == '>') { P += 2; tag.SelfClosing = true; return; }
            Fail(QStringLiteral("stray '/' in a tag"));
        }
        const qint64 an = P;
        while (P < N && !IsSpace(B[P]) && B[P] != '=' && B[P] != '>' && B[P] != '/') ++P;
        if (P == an) Fail(QStringLiteral("an attribute has no name"));
        const std::string_view attrName(B + an, size_t(P - an));
        SkipSpace();
        if (P >= N || B[P] != '=') Fail(QStringLiteral("attribute '%1' has no value").arg(QLatin1String(attrName.data(), qsizetype(attrName.size()))));
        ++P;
        SkipSpace();
        if (P >= N || (B[P] != '"' && B[P] != '\'')) Fail(QStringLiteral("the value of attribute '%1' is not quoted").arg(QLatin1String(attrName.data(), qsizetype(attrName.size()))));
        const char q = B[P++];
        const void* end = std::memchr(B + P, q, size_t(N - P));
        if (!end) Fail(QStringLiteral("the value of attribute '%1' is not closed").arg(QLatin1String(attrName.data(), qsizetype(attrName.size()))), an);
        const qint64 e = static_cast<const char*>(end) - B;
        tag.Attrs.push_back({attrName, std::string_view(B + P, size_t(e - P))});
        P = e + 1;
    }
}

void TXmlReader::ReadEndTag(std::string_view name)
{
    const qint64 start = P;
    if (N - P < 3 || B[P] != '<' || B[P + 1] != '/') Fail(QStringLiteral("</%1> was expected").arg(QLatin1String(name.data(), qsizetype(name.size()))));
    P += 2;
    if (qint64(name.size()) > N - P || std::memcmp(B + P, name.data(), name.size()) != 0)
        Fail(QStringLiteral("</%1> was expected").arg(QLatin1String(name.data(), qsizetype(name.size()))), start);
    P += qint64(name.size());
    SkipSpace();
    if (P >= N || B[P] != '>') Fail(QStringLiteral("</%1> was expected").arg(QLatin1String(name.data(), qsizetype(name.size()))), start);
    ++P;
}

std::string_view TXmlReader::ReadText()
{
    const qint64 s = P;
    const void* lt = std::memchr(B + P, '<', size_t(N - P));
    P = lt ? static_cast<const char*>(lt) - B : N;
    return std::string_view(B + s, size_t(P - s));
}

qint64 TXmlReader::SkipContent(std::string_view name)
{
    // Iterative, with a stack of names so that every end tag is checked.
    std::vector<std::string_view> open{name};
    qint64 children = 0;
    TTag tag;
    while (!open.empty()) {
        ReadText();
        if (P >= N) Fail(QStringLiteral("the element <%1> is not closed").arg(QLatin1String(open.back().data(), qsizetype(open.back().size()))));
        if (P + 1 < N && B[P + 1] == '/') {
            ReadEndTag(open.back());
            open.pop_back();
            continue;
        }
        if (P + 1 < N && (B[P + 1] == '?' || B[P + 1] == '!')) {
            SkipMisc();
            continue;
        }
        ReadStartTag(tag);
        if (open.size() == 1) ++children;
        if (!tag.SelfClosing) {
            if (open.size() >= size_t(MaxElementDepth)) Fail(QStringLiteral("elements are nested too deeply"), tag.Start);
            open.push_back(tag.Name);
        }
    }
    return children;
}

bool TXmlReader::NextChild(std::string_view parent, TTag& tag)
{
    for (;;) {
        const std::string_view text = ReadText();
        for (char c : text)
            if (!IsSpace(c)) Fail(QStringLiteral("unexpected text inside <%1>").arg(QLatin1String(parent.data(), qsizetype(parent.size()))), P - qint64(text.size()));
        if (P >= N) Fail(QStringLiteral("the element <%1> is not closed").arg(QLatin1String(parent.data(), qsizetype(parent.size()))));
        if (P + 1 < N && B[P + 1] == '/') {
            ReadEndTag(parent);
            return false;
        }
        if (P + 1 < N && (B[P + 1] == '?' || B[P + 1] == '!')) {
            SkipMisc();
            continue;
        }
        ReadStartTag(tag);
        return true;
    }
}

// ---- text decoding ---------------------------------------------------------------------------

void TXmlReader::Entity(std::string_view raw, size_t& i, quint32& cp, qint64 at) const
{
    const size_t semi = raw.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12) Fail(QStringLiteral("an '&' starts no reference"), at + qint64(i));
    const std::string_view ent = raw.substr(i + 1, semi - i - 1);
    if (ent == "lt") cp = '<';
    else if (ent == "gt") cp = '>';
    else if (ent == "amp") cp = '&';
    else if (ent == "apos") cp = '\'';
    else if (ent == "quot") cp = '"';
    else if (ent.size() >= 2 && ent[0] == '#') {
        quint64 v = 0;
        const bool hex = ent[1] == 'x' || ent[1] == 'X';
        const std::string_view digits = ent.substr(hex ? 2 : 1);
        if (digits.empty()) Fail(QStringLiteral("an empty character reference"), at + qint64(i));
        for (char c : digits) {
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else Fail(QStringLiteral("a bad character reference"), at + qint64(i));
            v = v * (hex ? 16 : 10) + quint64(d);
            if (v > 0x10FFFF) Fail(QStringLiteral("a character reference beyond Unicode"), at + qint64(i));
        }
        cp = quint32(v);
    } else {
        Fail(QStringLiteral("unknown entity '&%1;'").arg(QLatin1String(ent.data(), qsizetype(ent.size()))), at + qint64(i));
    }
    i = semi + 1;
}

void TXmlReader::DecodeUtf16(std::string_view raw, std::u16string& out, qint64 at) const
{
    // Text between references is decoded a segment at a time, so that a multi-byte code page
    // sees whole characters ('&' is never part of one).
    out.clear();
    size_t i = 0;
    while (i < raw.size()) {
        if (raw[i] == '&') {
            quint32 cp;
            Entity(raw, i, cp, at);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out.push_back(char16_t(0xD800 + (cp >> 10)));
                out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
            } else {
                out.push_back(char16_t(cp));
            }
            continue;
        }
        size_t j = i;
        bool high = false;
        while (j < raw.size() && raw[j] != '&') high |= uchar(raw[j++]) >= 0x80;
        if (!high) {
            for (size_t k = i; k < j; ++k) out.push_back(char16_t(uchar(raw[k])));
        } else {
            const QByteArrayView run(raw.data() + i, qsizetype(j - i));
            const QString s = Utf8() ? QString::fromUtf8(run) : DecodeCodePage(run, FCodePage);
            out.append(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
        }
        i = j;
    }
}

std::string_view TXmlReader::DecodeAnsi(std::string_view raw, std::string& scratch, qint64 at) const
{
    bool amp = false, high = false;
    for (char c : raw) {
        if (c == '&') amp = true;
        else if (uchar(c) >= 0x80) high = true;
    }
    if (!amp && (!high || !Utf8())) return raw;
    scratch.clear();
    if (!Utf8()) {
        size_t i = 0;
        while (i < raw.size()) {
            if (raw[i] != '&') { scratch.push_back(raw[i++]); continue; }
            quint32 cp;
            Entity(raw, i, cp, at);
            if (cp < 0x80) {
                scratch.push_back(char(cp));
            } else {
                QString ch;
                if (cp >= 0x10000) ch = QString::fromUcs4(reinterpret_cast<const char32_t*>(&cp), 1);
                else ch = QChar(char16_t(cp));
                scratch += EncodeCodePage(ch, FCodePage).toStdString();
            }
        }
        return scratch;
    }
    std::u16string wide;
    DecodeUtf16(raw, wide, at);
    bool ascii = true;
    for (char16_t c : wide)
        if (c >= 0x80) { ascii = false; break; }
    if (ascii) {
        for (char16_t c : wide) scratch.push_back(char(c));
    } else {
        scratch = EncodeCodePage(QStringView(wide.data(), qsizetype(wide.size())), FCodePage).toStdString();
    }
    return scratch;
}

QByteArray TXmlReader::NameBytes(std::string_view raw, qint64 at) const
{
    bool plain = true;
    for (char c : raw) plain = plain && c != '&' && uchar(c) < 0x80;
    if (plain) return QByteArray(raw.data(), qsizetype(raw.size()));
    if (!Utf8()) return AnsiBytes(raw, at);
    std::u16string wide;
    DecodeUtf16(raw, wide, at);
    return QStringView(wide.data(), qsizetype(wide.size())).toUtf8();
}

// ---- metadata --------------------------------------------------------------------------------

TPacketParam TXmlReader::AttrParam(const TKnownAttr& a, std::string_view raw, qint64 at) const
{
    const QByteArray name(a.Name);
    std::string scratch;
    const std::string_view text = DecodeAnsi(raw, scratch, at);
    switch (a.Kind) {
    case akText:
        return TPacketParam::MakeText(name, QByteArray(text.data(), qsizetype(text.size())));
    case akBool: {
        bool b = false;
        if (!PacketParseBoolean(text, b)) Fail(QStringLiteral("'%1' is not a Boolean for %2").arg(QString::fromLatin1(text.data(), qsizetype(text.size())), name), at);
        return TPacketParam::MakeInt(name, a.TypeWord, b ? 1 : 0);
    }
    case akInt: {
        qint64 v = 0;
        if (!PacketParseInt(text, v)) Fail(QStringLiteral("'%1' is not an integer for %2").arg(QString::fromLatin1(text.data(), qsizetype(text.size())), name), at);
        quint32 type = a.TypeWord;
        if (type == PacketTypeWord::UInt16 && (v < 0 || v > 0xFFFF)) type = PacketTypeWord::Int32;
        if (type == PacketTypeWord::Int32 && (v < INT_MIN || v > INT_MAX)) type = PacketTypeWord::Int64;
        return TPacketParam::MakeInt(name, type, v);
    }
    case akList: {
        std::vector<qint64> values;
        size_t i = 0;
        qint64 lo = 0, hi = 0;
        while (i < text.size()) {
            while (i < text.size() && IsSpace(text[i])) ++i;
            size_t j = i;
            while (j < text.size() && !IsSpace(text[j])) ++j;
            if (j == i) break;
            qint64 v = 0;
            if (!PacketParseInt(text.substr(i, j - i), v)) Fail(QStringLiteral("'%1' is not a list of integers for %2").arg(QString::fromLatin1(text.data(), qsizetype(text.size())), name), at);
            values.push_back(v);
            lo = qMin(lo, v);
            hi = qMax(hi, v);
            i = j;
        }
        quint32 type = a.TypeWord;
        if (type == PacketTypeWord::UInt16 && (lo < 0 || hi > 0xFFFF)) type = PacketTypeWord::Int32;
        if (type == PacketTypeWord::Int16 && (lo < -32768 || hi > 32767)) type = PacketTypeWord::Int32;
        if (type == PacketTypeWord::UInt32 && (lo < 0 || hi > 0xFFFFFFFFll)) type = PacketTypeWord::Int64;
        return TPacketParam::MakeIntArray(name, type, values);
    }
    }
    return TPacketParam();
}

TPacketParam TXmlReader::ParamElement(const TTag& tag) const
{
    const TAttr* name = tag.Find("Name");
    const TAttr* value = tag.Find("Value");
    if (!name || name->Value.empty()) Fail(QStringLiteral("a PARAM has no Name"), tag.Start);
    TPacketParam p;
    p.Name = AnsiBytes(name->Value, tag.Start);
    const std::string_view raw = value ? value->Value : std::string_view();
    const TAttr* type = tag.Find("Type");
    const TAttr* roundtrip = tag.Find("Roundtrip");
    const quint32 inDelta = roundtrip && !roundtrip->Value.empty() && (roundtrip->Value[0] == 'T' || roundtrip->Value[0] == 't')
                              ? PacketTypeWord::InDelta : 0;
    const std::string_view t = type ? type->Value : std::string_view("string");
    if (EqualsNoCase(t, "string") || t.empty()) {
        TPacketParam q = TPacketParam::MakeText(p.Name, AnsiBytes(raw, tag.Start));
        q.TypeWord |= inDelta;
        return q;
    }
    if (EqualsNoCase(t, "bin.hex")) {
        std::string bytes;
        if (!PacketDecodeBase64(raw, bytes)) Fail(QStringLiteral("PARAM '%1' has a bad base64 value").arg(QString::fromLatin1(p.Name)), tag.Start);
        p.TypeWord = PacketTypeWord::Blob | inDelta;
        p.Value.resize(4);
        for (int i = 0; i < 4; ++i) p.Value[i] = char((bytes.size() >> (8 * i)) & 0xFF);
        p.Value.append(bytes.data(), qsizetype(bytes.size()));
        return p;
    }
    bool widthIsSize;
    const quint32 w = TypeWordOf(t, -1, false, widthIsSize);
    const int code = PacketTypeWord::Code(w);
    if (code == ptcInteger || code == ptcUnsigned || code == ptcBoolean) {
        // Numbers separated by spaces are an array parameter of that element type.
        std::string_view trimmed = raw;
        while (!trimmed.empty() && IsSpace(trimmed.front())) trimmed.remove_prefix(1);
        while (!trimmed.empty() && IsSpace(trimmed.back())) trimmed.remove_suffix(1);
        const bool list = trimmed.find(' ') != std::string_view::npos;
        const TKnownAttr kind{"", list ? akList : code == ptcBoolean ? akBool : akInt, w};
        const TPacketParam parsed = AttrParam(kind, trimmed, tag.Start);
        TPacketParam q = list ? TPacketParam::MakeIntArray(p.Name, w, parsed.AsIntArray().value_or(std::vector<qint64>()))
                              : TPacketParam::MakeInt(p.Name, w, parsed.AsInt().value_or(0));
        q.TypeWord |= inDelta;
        return q;
    }
    // Other types are kept as text.
    TPacketParam q = TPacketParam::MakeText(p.Name, AnsiBytes(raw, tag.Start));
    q.TypeWord |= inDelta;
    return q;
}

void TXmlReader::ReadParamsElement(const TTag& tag, TPacketParams& params, bool fieldLevel)
{
    for (const TAttr& a : tag.Attrs) {
        const TKnownAttr* k = fieldLevel ? FindFieldAttr(a.Name) : FindDataSetAttr(a.Name);
        if (k) params.Set(AttrParam(*k, a.Value, tag.Start));
        else params.Set(TPacketParam::MakeText(QByteArray(a.Name.data(), qsizetype(a.Name.size())), AnsiBytes(a.Value, tag.Start)));
    }
    if (tag.SelfClosing) return;
    TTag child;
    while (NextChild(tag.Name, child)) {
        if (child.Name == "PARAM") AddParam(params, ParamElement(child), child.Start);
        SkipElement(child);
    }
}

void TXmlReader::ReadField(const TTag& tag, TPacketFieldDesc& f, TXmlField& name, int depth)
{
    if (depth > PacketMaxDepth) Fail(QStringLiteral("nested fields are more than %1 levels deep").arg(PacketMaxDepth), tag.Start);
    const TAttr* attrName = tag.Find("attrname");
    if (!attrName) attrName = tag.Find("tagname");
    const TAttr* fieldName = tag.Find("fieldname");
    const TAttr* fieldType = tag.Find("fieldtype");
    if (!attrName || attrName->Value.empty()) Fail(QStringLiteral("a FIELD has no attrname"), tag.Start);
    if (!fieldType) Fail(QStringLiteral("FIELD '%1' has no fieldtype").arg(QString::fromUtf8(attrName->Value.data(), qsizetype(attrName->Value.size()))), tag.Start);
    name.Name = NameBytes(attrName->Value, tag.Start);
    f.Name = NameBytes(fieldName && !fieldName->Value.empty() ? fieldName->Value : attrName->Value, tag.Start);
    auto flag = [&](const char* n, quint16 bit) {
        const TAttr* a = tag.Find(n);
        if (a && !a->Value.empty() && (a->Value[0] == 't' || a->Value[0] == 'T')) f.Attributes |= bit;
    };
    flag("readonly", pfaReadOnly);
    flag("required", pfaRequired);
    flag("hidden", pfaHidden);
    flag("linkfield", pfaLink);
    for (const TAttr& a : tag.Attrs) {
        if (a.Name == "attrname" || a.Name == "tagname" || a.Name == "fieldname" || a.Name == "fieldtype"
            || a.Name == "readonly" || a.Name == "required" || a.Name == "hidden" || a.Name == "linkfield")
            continue;
        if (const TKnownAttr* k = FindFieldAttr(a.Name)) f.Params.Set(AttrParam(*k, a.Value, tag.Start));
        else f.Params.Set(TPacketParam::MakeText(QByteArray(a.Name.data(), qsizetype(a.Name.size())), AnsiBytes(a.Value, tag.Start)));
    }
    if (!tag.SelfClosing) {
        TTag child;
        while (NextChild(tag.Name, child)) {
            if (child.Name == "PARAM") {
                AddParam(f.Params, ParamElement(child), child.Start);
                SkipElement(child);
            } else if (child.Name == "FIELDS") {
                if (!child.SelfClosing) ReadFields(f.Children, name.Children, depth + 1);
            } else if (child.Name == "PARAMS") {
                ReadParamsElement(child, f.LevelParams, false);
            } else {
                SkipElement(child);
            }
        }
    }
    const std::string_view t = fieldType->Value;
    if (EqualsNoCase(t, "struct") || EqualsNoCase(t, "array"))
        Fail(QStringLiteral("FIELD '%1' is of type '%2', which XML packets cannot hold")
                 .arg(QString::fromUtf8(f.Name), QString::fromLatin1(t.data(), qsizetype(t.size()))), tag.Start);
    const qint64 width = f.Params.Width().value_or(-1);
    bool widthIsSize = false;
    f.TypeWord = TypeWordOf(t, width, f.Params.Find("SUBTYPE"), widthIsSize);
    if (f.TypeWord == 0)
        Fail(QStringLiteral("FIELD '%1' has the unknown fieldtype '%2'").arg(QString::fromUtf8(f.Name), QString::fromLatin1(t.data(), qsizetype(t.size()))), tag.Start);
    if (widthIsSize) f.Params.Remove("WIDTH");
    if (f.IsNestedTable()) {
        const int below = PacketDescendantCount(f);
        if (below > 0xFFFF) Fail(QStringLiteral("nested field '%1' has too many fields").arg(QString::fromUtf8(f.Name)), tag.Start);
        f.TypeWord |= quint32(below);
    } else if (!f.Children.empty()) {
        Fail(QStringLiteral("FIELD '%1' has fields but is not nested").arg(QString::fromUtf8(f.Name)), tag.Start);
    }
}

void TXmlReader::ReadFields(std::vector<TPacketFieldDesc>& fields, std::vector<TXmlField>& names, int depth)
{
    TTag child;
    while (NextChild("FIELDS", child)) {
        if (child.Name != "FIELD") {
            SkipElement(child);
            continue;
        }
        if (fields.size() >= size_t(PacketMaxColumns)) Fail(QStringLiteral("too many fields"), child.Start);
        fields.emplace_back();
        names.emplace_back();
        const TTag tag = child;     // ReadField reads children into its own tags
        ReadField(tag, fields.back(), names.back(), depth);
    }
}

void TXmlReader::ScanLcid(qint64 metadataStart)
{
    // Text parameters in a UTF-8 document are stored in the packet's code page, which the
    // dataset parameters at the end of the metadata name: look there first.
    const qint64 save = P;
    P = metadataStart;
    TTag tag, child;
    ReadStartTag(tag);
    if (!tag.SelfClosing) {
        while (NextChild(tag.Name, child)) {
            if (child.Name == "PARAMS") {
                if (const TAttr* a = child.Find("LCID")) {
                    qint64 lcid = 0;
                    if (PacketParseInt(a->Value, lcid)) FCodePage = CodePageFromLCID(quint32(lcid));
                }
            }
            SkipElement(child);
        }
    }
    P = save;
}

void TXmlReader::ReadMetadataElement()
{
    TTag tag;
    const qint64 start = P;
    ReadStartTag(tag);
    ScanLcid(start);
    if (tag.SelfClosing) return;
    TTag child;
    while (NextChild("METADATA", child)) {
        if (child.Name == "FIELDS") {
            if (!child.SelfClosing) ReadFields(Meta.Fields, FNames, 0);
        } else if (child.Name == "PARAMS") {
            ReadParamsElement(child, Meta.Params, false);
        } else {
            SkipElement(child);
        }
    }
}

void TXmlReader::MapNames(const std::vector<TPacketFieldDesc>& fields, const std::vector<TXmlField>& names)
{
    for (size_t i = 0; i < fields.size() && i < names.size(); ++i) {
        FNameOf[&fields[i]] = &names[i];
        MapNames(fields[i].Children, names[i].Children);
    }
}

void TXmlReader::PrepareLevels()
{
    MapNames(Meta.Fields, FNames);
    FLevels.assign(size_t(Meta.LevelCount()), TLevelRead());
    for (int l = 0; l < Meta.LevelCount(); ++l) {
        const TPacketLevel& lv = Meta.Level(l);
        TLevelRead& lr = FLevels[size_t(l)];
        const size_t n = lv.Columns.size();
        lr.Names.resize(n);
        lr.Values.resize(n);
        lr.ValueAt.resize(n);
        lr.ChildAt.resize(n);
        lr.ChildCount.resize(n);
        lr.Stamp.assign(n, 0);
        lr.IsElementText.assign(n, 0);
        lr.Decode.assign(n, TColumnRead());
        for (size_t c = 0; c < n; ++c) {
            const TPacketColumn& col = lv.Columns[c];
            const TXmlField* x = FNameOf[col.Field];
            lr.Names[c] = std::string_view(x->Name.constData(), size_t(x->Name.size()));
            lr.Index.emplace(lr.Names[c], int(c));
            TColumnRead& d = lr.Decode[c];
            if (col.Kind == pkBlob) {
                const QByteArray sub = col.Field->Params.SubType();
                if (sub.compare("Text", Qt::CaseInsensitive) == 0) d.BlobText = tfAnsi;
                else if (sub.compare("WideText", Qt::CaseInsensitive) == 0) d.BlobText = tfWide;
            } else if (col.Kind == pkBcd) {
                d.Precision = int(col.Field->Params.Width().value_or(32));
                d.Scale = int(col.Field->Params.Decimals().value_or(0));
            }
        }
    }
}

int TXmlReader::ColumnOf(TLevelRead& lr, std::string_view name, int& expect) const
{
    // Attributes come in column order: try the next column first.
    if (expect < int(lr.Names.size()) && lr.Names[size_t(expect)] == name) return expect++;
    auto it = lr.Index.find(name);
    if (it == lr.Index.end()) return -1;
    expect = it->second + 1;
    return it->second;
}

void TXmlReader::DecodeCell(const TPacketColumn& col, const TColumnRead& info, std::string_view raw, qint64 at, TPacketCell& cell,
                            quint64 rowNo, int level)
{
    auto bad = [&](const char* what) {
        const TPacketLevel& lv = Meta.Level(level);
        const QString where = lv.Owner ? QStringLiteral("row %1 of nested field '%2'").arg(rowNo).arg(lv.Owner->Text)
                                       : QStringLiteral("row %1").arg(rowNo);
        std::string shown(raw.substr(0, 40));
        Fail(QStringLiteral("%1, field '%2': '%3' is not a valid %4")
                 .arg(where, col.Field->Text, QString::fromUtf8(shown.data(), qsizetype(shown.size())), QLatin1String(what)),
             at);
    };
    cell.State = pcsValue;
    std::string_view text = raw;
    const bool numeric = col.Kind != pkAnsiString && col.Kind != pkWideString && col.Kind != pkBlob
                         && col.Kind != pkFixedBytes && col.Kind != pkVarBytes;
    if (numeric) {
        if (raw.find('&') != std::string_view::npos) text = DecodeAnsi(raw, FScratch, at);
        bool blank = true;
        for (char c : text)
            if (!IsSpace(c)) { blank = false; break; }
        if (blank) {   // an empty number reads as NULL
            cell.State = pcsNull;
            return;
        }
    }
    auto integer = [&](qint64 lo, qint64 hi) {
        qint64 v;
        if (!PacketParseInt(text, v) || v < lo || v > hi) bad("integer");
        cell.Int = v;
    };
    switch (col.Kind) {
    case pkInt8: integer(-128, 127); break;
    case pkInt16: integer(-32768, 32767); break;
    case pkInt32: integer(INT_MIN, INT_MAX); break;
    case pkInt64: integer(LLONG_MIN, LLONG_MAX); break;
    case pkUInt8: integer(0, 0xFF); break;
    case pkUInt16: integer(0, 0xFFFF); break;
    case pkUInt32: integer(0, 0xFFFFFFFFll); break;
    case pkUInt64: {
        quint64 v;
        if (!PacketParseUInt(text, v)) bad("integer");
        cell.Int = qint64(v);
        break;
    }
    case pkBoolean: {
        bool b;
        if (!PacketParseBoolean(text, b)) bad("Boolean");
        cell.Int = b ? 1 : 0;
        break;
    }
    case pkDouble:
        if (!PacketParseDouble(text, cell.Float)) bad("number");
        break;
    case pkSingle: {
        float f;
        if (!PacketParseSingle(text, f)) bad("number");
        cell.Float = f;
        break;
    }
    case pkExtended:
        FBytes.resize(10);
        if (!PacketParseExtended(text, FBytes.data())) bad("number");
        cell.Data = FBytes.data();
        cell.Size = 10;
        break;
    case pkBcd: {
        FBytes.resize(18);
        if (!PacketParseBcd(text, info.Precision, info.Scale, FBytes.data())) bad("decimal number");
        cell.Data = FBytes.data();
        cell.Size = 18;
        break;
    }
    case pkDate:
        if (!PacketParseXmlDate(text, cell.Int) || cell.Int < INT_MIN || cell.Int > INT_MAX) bad("date");
        break;
    case pkTime:
        if (!PacketParseXmlTime(text, cell.Int) || cell.Int < INT_MIN || cell.Int > INT_MAX) bad("time");
        break;
    case pkTimeStamp:
        if (!PacketParseXmlTimeStamp(text, cell.Float)) bad("date-time");
        break;
    case pkSqlTimeStamp:
    case pkSqlTimeStampOffset: {
        const bool off = col.Kind == pkSqlTimeStampOffset;
        FBytes.resize(off ? 20 : 16);
        if (!PacketParseXmlSqlTimeStamp(text, FBytes.data(), off)) bad("date-time");
        cell.Data = FBytes.data();
        cell.Size = off ? 20 : 16;
        break;
    }
    case pkAnsiString: {
        const std::string_view v = DecodeAnsi(raw, FScratch, at);
        cell.Data = v.data();
        cell.Size = qsizetype(v.size());
        break;
    }
    case pkWideString:
        DecodeUtf16(raw, FWide, at);
        cell.Data = reinterpret_cast<const char*>(FWide.data());
        cell.Size = qsizetype(FWide.size() * 2);
        break;
    case pkBlob: {
        if (info.BlobText == tfAnsi) {
            const std::string_view v = DecodeAnsi(raw, FScratch, at);
            cell.Data = v.data();
            cell.Size = qsizetype(v.size());
            break;
        }
        if (info.BlobText == tfWide) {
            DecodeUtf16(raw, FWide, at);
            cell.Data = reinterpret_cast<const char*>(FWide.data());
            cell.Size = qsizetype(FWide.size() * 2);
            break;
        }
        [[fallthrough]];
    }
    case pkFixedBytes:
    case pkVarBytes:
        FBytes.clear();
        if (!PacketDecodeBase64(raw, FBytes)) bad("base64 value");
        if (col.Kind == pkFixedBytes && qsizetype(FBytes.size()) > col.Size) bad("value of this size");
        cell.Data = FBytes.data();
        cell.Size = qsizetype(FBytes.size());
        break;
    default:
        bad("value of this type");
    }
}

void TXmlReader::ReadRow(int level, TTag& tag, quint64 rowNo)
{
    const TPacketLevel& lv = Meta.Level(level);
    TLevelRead& lr = FLevels[size_t(level)];
    const quint32 gen = ++lr.Generation;
    if (gen == 0) {     // wrapped: forget every stamp
        std::fill(lr.Stamp.begin(), lr.Stamp.end(), 0);
        lr.Generation = 1;
    }
    const quint32 g = lr.Generation;
    quint8 status = 0;
    int expect = 0;
    for (const TAttr& a : tag.Attrs) {
        const int c = ColumnOf(lr, a.Name, expect);
        if (c < 0) {
            if (a.Name == "RowState") {
                qint64 s;
                if (!PacketParseInt(a.Value, s) || s < 0 || s > 255) Fail(QStringLiteral("row %1: RowState '%2' is not a row status").arg(rowNo).arg(QString::fromLatin1(a.Value.data(), qsizetype(a.Value.size()))), tag.Start);
                status = quint8(s);
            }
            continue;
        }
        lr.Values[size_t(c)] = a.Value;
        lr.ValueAt[size_t(c)] = a.Value.data() - B;
        lr.Stamp[size_t(c)] = g;
        lr.IsElementText[size_t(c)] = 0;
    }
    qint64 end = P;
    if (!tag.SelfClosing) {
        // Child elements: nested tables, and fields written as elements. Their places are noted
        // first so that every value reaches the sink in column order.
        const std::string_view rowName = tag.Name;
        TTag child;
        while (NextChild(rowName, child)) {
            int e = 0;
            const int c = ColumnOf(lr, child.Name, e);
            if (c < 0) {
                SkipElement(child);
                continue;
            }
            if (lv.Columns[size_t(c)].Kind == pkNested) {
                lr.ChildAt[size_t(c)] = child.Start;
                lr.ChildCount[size_t(c)] = child.SelfClosing ? 0 : SkipContent(child.Name);
            } else if (child.SelfClosing) {
                lr.Values[size_t(c)] = std::string_view();
                lr.ValueAt[size_t(c)] = child.Start;
            } else {
                const std::string_view text = ReadText();
                lr.Values[size_t(c)] = text;
                lr.ValueAt[size_t(c)] = text.data() - B;
                ReadEndTag(child.Name);
            }
            lr.Stamp[size_t(c)] = g;
        }
        end = P;
    }
    FSink->BeginRow(level, status);
    const bool modified = status & prsModified;
    TPacketCell cell;
    for (int c = 0; c < int(lv.Columns.size()); ++c) {
        const TPacketColumn& col = lv.Columns[size_t(c)];
        cell = TPacketCell();
        cell.Kind = col.Kind;
        if (lr.Stamp[size_t(c)] != g) {
            // Absent: NULL, except what a modified row leaves as it was.
            cell.State = modified && (FDelta || col.Kind == pkBlob || col.Kind == pkNested) ? pcsNotChanged : pcsNull;
            FSink->Cell(c, cell);
            continue;
        }
        if (col.Kind == pkNested) {
            P = lr.ChildAt[size_t(c)];
            TTag container;
            ReadStartTag(container);
            cell.State = pcsValue;
            cell.Int = lr.ChildCount[size_t(c)];
            FSink->Cell(c, cell);
            if (!container.SelfClosing) {
                TTag nestedRow;
                quint64 n = 0;
                while (NextChild(container.Name, nestedRow)) ReadRow(col.NestedLevel, nestedRow, ++n);
            }
            FSink->EndNested(c);
            continue;
        }
        DecodeCell(col, lr.Decode[size_t(c)], lr.Values[size_t(c)], lr.ValueAt[size_t(c)], cell, rowNo, level);
        FSink->Cell(c, cell);
    }
    FSink->EndRow();
    P = end;
}

void TXmlReader::ReadRowData(const TTag& rowData)
{
    if (rowData.SelfClosing) return;
    TTag row;
    quint64 n = 0;
    while (NextChild(rowData.Name, row)) ReadRow(0, row, ++n);
}

void TXmlReader::Read(IPacketSink* sink)
{
    FSink = sink;
    SkipMisc();
    if (P >= N) Fail(QStringLiteral("the file holds no XML element"));
    TTag root;
    ReadStartTag(root);
    if (root.Name != "DATAPACKET") Fail(QStringLiteral("the document is not a data packet (its root is <%1>)").arg(QString::fromUtf8(root.Name.data(), qsizetype(root.Name.size()))), root.Start);
    if (root.SelfClosing) Fail(QStringLiteral("the data packet is empty"), root.Start);
    bool haveMeta = false;
    TTag child;
    while (NextChild("DATAPACKET", child)) {
        if (child.Name == "METADATA") {
            if (haveMeta) Fail(QStringLiteral("a second METADATA element"), child.Start);
            P = child.Start;
            ReadMetadataElement();
            haveMeta = true;
            try {
                Meta.Prepare();
            } catch (const EPacketError& e) {
                Fail(e.Message(), child.Start);
            }
            FCodePage = Meta.CodePage();
            FDelta = Meta.Params.IsDelta();
            if (!sink) return;
            PrepareLevels();
            sink->BeginPacket(Meta, -1);
            FBegun = true;
        } else if (child.Name == "ROWDATA") {
            if (!haveMeta) Fail(QStringLiteral("ROWDATA comes before METADATA"), child.Start);
            ReadRowData(child);
        } else {
            SkipElement(child);
        }
    }
    if (!haveMeta) Fail(QStringLiteral("the data packet has no METADATA"));
    SkipMisc();
    while (P < N && (B[P] == '\0' || IsSpace(B[P]))) ++P;
    if (P < N) Fail(QStringLiteral("content follows the end of the data packet"));
    if (sink) sink->EndPacket();
}

} // namespace

void ReadXmlPacket(const char* data, qsizetype size, IPacketSink& sink)
{
    TXmlReader reader(data, size);
    reader.Read(&sink);
}

TPacketMetadata ReadXmlPacketMetadata(const char* data, qsizetype size)
{
    TXmlReader reader(data, size);
    reader.Read(nullptr);
    return std::move(reader.Meta);
}
