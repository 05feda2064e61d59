#include "PacketTestSupport.h"

#include "platform/client/PacketValues.h"

#include <cmath>
#include <cstring>

TPacketDocument LoadDocument(const QByteArray& bytes)
{
    TPacketDocument doc;
    ReadPacket(bytes, doc);
    return doc;
}

QByteArray SaveDocument(TPacketDocument& doc, TPacketFormat format)
{
    return WritePacket(doc, format);
}

QString CellText(const TPacketCell& c)
{
    switch (c.State) {
    case pcsNull: return QStringLiteral("NULL");
    case pcsNotChanged: return QStringLiteral("NOTCHANGED");
    case pcsNotFetched: return QStringLiteral("NOTFETCHED(%1)").arg(c.Int);
    case pcsValue: break;
    }
    TPacketBuffer b;
    switch (c.Kind) {
    case pkDouble: case pkSingle: case pkTimeStamp:
        return QString::number(c.Float, 'g', 17);
    case pkAnsiString: case pkFixedBytes: case pkVarBytes: case pkBlob: case pkRawFixed: case pkRawVarying:
    case pkExtended: case pkBcd: case pkSqlTimeStamp: case pkSqlTimeStampOffset:
        return QStringLiteral("x") + QString::fromLatin1(QByteArray(c.Data, c.Size).toHex());
    case pkWideString:
        return QStringLiteral("w") + c.WideText();
    case pkNested:
        return QStringLiteral("nested");
    default:
        return QString::number(c.Int);
    }
}

namespace {

bool SameFloat(double a, double b, double tol)
{
    if (a == b || (std::isnan(a) && std::isnan(b))) return true;
    return std::fabs(a - b) <= tol * std::max(std::fabs(a), std::fabs(b));
}

QString CompareFields(const std::vector<TPacketFieldDesc>& a, const std::vector<TPacketFieldDesc>& b, const TCompareOptions& o, const QString& where)
{
    if (a.size() != b.size()) return QStringLiteral("%1: %2 fields vs %3").arg(where).arg(a.size()).arg(b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const TPacketFieldDesc& x = a[i];
        const TPacketFieldDesc& y = b[i];
        const QString w = where + QStringLiteral("/") + x.Text;
        if (x.Text != y.Text) return QStringLiteral("%1: name '%2' vs '%3'").arg(w, x.Text, y.Text);
        if (o.CompareTypeWords && x.TypeWord != y.TypeWord)
            return QStringLiteral("%1: type 0x%2 vs 0x%3").arg(w).arg(x.TypeWord, 0, 16).arg(y.TypeWord, 0, 16);
        if (x.Attributes != y.Attributes) return QStringLiteral("%1: attributes %2 vs %3").arg(w).arg(x.Attributes).arg(y.Attributes);
        if (o.CompareParams) {
            if (x.Params.Count() != y.Params.Count()) return QStringLiteral("%1: %2 parameters vs %3").arg(w).arg(x.Params.Count()).arg(y.Params.Count());
            for (int k = 0; k < x.Params.Count(); ++k) {
                const TPacketParam& p = x.Params.Items[size_t(k)];
                const TPacketParam& q = y.Params.Items[size_t(k)];
                if (p.Name != q.Name || p.TypeWord != q.TypeWord || p.Value != q.Value)
                    return QStringLiteral("%1: parameter %2 differs").arg(w, QString::fromLatin1(p.Name));
            }
        }
        const QString sub = CompareFields(x.Children, y.Children, o, w);
        if (!sub.isEmpty()) return sub;
    }
    return QString();
}

QString CompareRows(const TPacketDocument& a, const TPacketDocument& b, int level, qint64 ra, qint64 rb, qint64 count,
                    const TCompareOptions& o, const QString& where)
{
    const TPacketLevel& lv = a.Metadata().Level(level);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 x = ra + i, y = rb + i;
        const QString w = QStringLiteral("%1 row %2").arg(where).arg(i + 1);
        if (a.Status(level, x) != b.Status(level, y))
            return QStringLiteral("%1: status %2 vs %3").arg(w).arg(a.Status(level, x)).arg(b.Status(level, y));
        for (int c = 0; c < int(lv.Columns.size()); ++c) {
            const TPacketCell p = o.Resolved ? a.ResolvedCell(level, x, c) : a.Cell(level, x, c);
            const TPacketCell q = o.Resolved ? b.ResolvedCell(level, y, c) : b.Cell(level, y, c);
            const QString wc = w + QStringLiteral(" field '%1'").arg(lv.Columns[size_t(c)].Field->Text);
            if (p.State != q.State) return QStringLiteral("%1: %2 vs %3").arg(wc, CellText(p), CellText(q));
            if (p.State != pcsValue) continue;
            if (p.Kind == pkNested) {
                const qint64 rx = o.Resolved ? a.ResolveRow(level, x, c) : x;
                const qint64 ry = o.Resolved ? b.ResolveRow(level, y, c) : y;
                const qint64 n = a.NestedCount(level, rx, c);
                if (n != b.NestedCount(level, ry, c)) return QStringLiteral("%1: %2 nested rows vs %3").arg(wc).arg(n).arg(b.NestedCount(level, ry, c));
                const QString sub = CompareRows(a, b, lv.Columns[size_t(c)].NestedLevel, a.NestedFirst(level, rx, c), b.NestedFirst(level, ry, c), n, o, wc);
                if (!sub.isEmpty()) return sub;
                continue;
            }
            if (p.Kind == pkDouble || p.Kind == pkSingle || p.Kind == pkTimeStamp) {
                if (!SameFloat(p.Float, q.Float, o.RelTolerance)) return QStringLiteral("%1: %2 vs %3").arg(wc, CellText(p), CellText(q));
                continue;
            }
            if (CellText(p) != CellText(q)) return QStringLiteral("%1: %2 vs %3").arg(wc, CellText(p), CellText(q));
        }
    }
    return QString();
}

} // namespace

QString CompareDocuments(const TPacketDocument& a, const TPacketDocument& b, const TCompareOptions& o)
{
    QString d = CompareFields(a.Metadata().Fields, b.Metadata().Fields, o, QString());
    if (!d.isEmpty()) return d;
    if (o.CompareParams) {
        const TPacketParams& x = a.Metadata().Params;
        const TPacketParams& y = b.Metadata().Params;
        if (x.Count() != y.Count()) return QStringLiteral("%1 dataset parameters vs %2").arg(x.Count()).arg(y.Count());
        for (int k = 0; k < x.Count(); ++k) {
            const TPacketParam& p = x.Items[size_t(k)];
            const TPacketParam& q = y.Items[size_t(k)];
            if (p.Name != q.Name || p.TypeWord != q.TypeWord || p.Value != q.Value)
                return QStringLiteral("dataset parameter %1 differs").arg(QString::fromLatin1(p.Name));
        }
    }
    if (a.RowCount(0) != b.RowCount(0)) return QStringLiteral("%1 rows vs %2").arg(a.RowCount(0)).arg(b.RowCount(0));
    return CompareRows(a, b, 0, 0, 0, a.RowCount(0), o, QString());
}

// ---- builder -------------------------------------------------------------------------------

TDocBuilder::TDocBuilder(TPacketMetadata meta) : FMeta(std::move(meta))
{
    FMeta.Prepare();
    FDoc.BeginPacket(FMeta, -1);
    FTables.push_back(0);
}

void TDocBuilder::CloseRow()
{
    if (FRows.size() == FTables.size()) {
        FDoc.EndRow();
        FRows.pop_back();
    }
}

TDocBuilder& TDocBuilder::Row(quint8 status)
{
    CloseRow();
    FDoc.BeginRow(FTables.back(), status);
    FRows.push_back({FTables.back(), 0});
    return *this;
}

void TDocBuilder::Put(TPacketCell cell)
{
    TOpenRow& r = FRows.back();
    cell.Kind = FMeta.Level(r.Level).Columns[size_t(r.Next)].Kind;
    FDoc.Cell(r.Next++, cell);
}

TDocBuilder& TDocBuilder::Null() { Put(TPacketCell::Null()); return *this; }
TDocBuilder& TDocBuilder::NotChanged() { Put(TPacketCell::NotChanged()); return *this; }
TDocBuilder& TDocBuilder::Int(qint64 v) { Put(TPacketCell::OfInt(pkNone, v)); return *this; }
TDocBuilder& TDocBuilder::Float(double v) { Put(TPacketCell::OfFloat(pkNone, v)); return *this; }
TDocBuilder& TDocBuilder::Bytes(const QByteArray& v) { Put(TPacketCell::OfBytes(pkNone, v.constData(), v.size())); return *this; }

TDocBuilder& TDocBuilder::Wide(const QString& v)
{
    Put(TPacketCell::OfBytes(pkNone, reinterpret_cast<const char*>(v.utf16()), v.size() * 2));
    return *this;
}

TDocBuilder& TDocBuilder::Nested()
{
    const TOpenRow& r = FRows.back();
    const int level = FMeta.Level(r.Level).Columns[size_t(r.Next)].NestedLevel;
    Put(TPacketCell::OfInt(pkNested, -1));
    FTables.push_back(level);
    return *this;
}

TDocBuilder& TDocBuilder::EndNested()
{
    CloseRow();
    FTables.pop_back();
    FDoc.EndNested(FRows.back().Next - 1);
    return *this;
}

TPacketDocument& TDocBuilder::Done()
{
    CloseRow();
    FDoc.EndPacket();
    return FDoc;
}

TPacketFieldDesc Field(const QByteArray& name, quint32 typeWord, quint16 attributes)
{
    TPacketFieldDesc f;
    f.Name = name;
    f.TypeWord = typeWord;
    f.Attributes = attributes;
    return f;
}

TPacketFieldDesc WithParam(TPacketFieldDesc f, const TPacketParam& p)
{
    f.Params.Set(p);
    return f;
}
