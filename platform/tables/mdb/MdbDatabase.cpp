#include "platform/tables/mdb/MdbDatabase.h"

#include "platform/vcl/CodePages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstring>

// glib first: the library's header includes it inside its C linkage block.
#include <glib.h>
#include <mdbtools.h>

namespace {

// Column types of the file format.
enum : int {
    jtBool = 0x01, jtByte = 0x02, jtInt = 0x03, jtLong = 0x04, jtMoney = 0x05, jtFloat = 0x06,
    jtDouble = 0x07, jtDateTime = 0x08, jtBinary = 0x09, jtText = 0x0A, jtOle = 0x0B, jtMemo = 0x0C,
    jtGuid = 0x0F, jtNumeric = 0x10
};

using TUInt128 = unsigned __int128;

constexpr int RowOffsetMask = 0x1FFF;
constexpr int DeletedRow = 0x8000;
constexpr int OverflowRow = 0x4000;

QString Native(const QString& fileName) { return QDir::toNativeSeparators(fileName); }

[[noreturn]] void Damaged(const QString& fileName, const QString& detail)
{
    DatabaseError(QStringLiteral("Access database \"%1\" is damaged: %2").arg(Native(fileName), detail));
}

quint32 U32(const uchar* p) { return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24); }

// Jet 4 text is UTF-16; a leading FF FE marks the compressed form, where a zero byte switches
// between one byte per character and two.
QString DecodeJet4Text(const uchar* p, qsizetype n)
{
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        QString text;
        text.reserve(n);
        bool compressed = true;
        for (qsizetype i = 2; i < n;) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                text.append(QChar(p[i]));
                ++i;
            } else if (i + 1 < n) {
                text.append(QChar(char16_t(p[i] | (p[i + 1] << 8))));
                i += 2;
            } else {
                break;
            }
        }
        return text;
    }
    QString text(n / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < n / 2; ++i) text[i] = QChar(char16_t(p[2 * i] | (p[2 * i + 1] << 8)));
    return text;
}

class TMdbDatabase;

class TMdbTableReader : public TTableReader {
public:
    TMdbTableReader(std::shared_ptr<TMdbDatabase> database, MdbTableDef* table);
    ~TMdbTableReader() override;
    int RecordCount() const override { return int(FRows.size()); }
    bool ReadValue(int record, int field, TVariant& value) override;

private:
    struct TColumnInfo {
        int Type;
        int Scale;
    };
    struct TRawField {
        bool Null = true;
        QByteArray Bytes;
    };
    void LoadRow(int record);
    QByteArray ReadLongValue(const QByteArray& header, int record, const QString& column);

    std::shared_ptr<TMdbDatabase> FDatabase;
    MdbTableDef* FTable;
    std::vector<TColumnInfo> FColumns;
    std::vector<quint32> FRows;   // page << 8 | row of every record
    int FLoaded = -1;
    std::vector<TRawField> FRaw;
};

class TMdbDatabase : public TAccessDatabase, public std::enable_shared_from_this<TMdbDatabase> {
public:
    TMdbDatabase(const QString& fileName, int codePage);
    ~TMdbDatabase() override;

    QString FileName() const override { return FFileName; }
    int JetVersion() const override { return FJet3 ? 3 : 4; }
    int CodePage() const override { return FCodePage; }
    QStringList TableNames(bool systemTables) override;
    std::unique_ptr<TTableReader> OpenTable(const QString& name) override;

    MdbHandle* Handle() const { return FHandle; }
    bool Jet3() const { return FJet3; }
    qint64 PageCount() const { return FPageCount; }
    // Puts a page into the library's page buffer; false when it cannot be read.
    bool LoadPage(quint32 page);
    // Start and length of a row of the page in the buffer; false when the page has no such row.
    bool RowBounds(int row, int& start, int& length, int& flags);

private:
    QString FFileName;
    MdbHandle* FHandle = nullptr;
    bool FJet3 = false;
    int FCodePage = 1252;
    qint64 FPageCount = 0;
    qint64 FLoadedPage = -1;
};

TMdbDatabase::TMdbDatabase(const QString& fileName, int codePage) : FFileName(fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        DatabaseError(QStringLiteral("Cannot open file \"%1\": %2").arg(Native(fileName), file.errorString()));
    const QByteArray head = file.read(0x20);
    if (head.size() < 0x20 || (head.mid(4, 15) != "Standard Jet DB" && head.mid(4, 15) != "Standard ACE DB"))
        DatabaseError(QStringLiteral("\"%1\" is not an Access database").arg(Native(fileName)));
    FJet3 = head[0x14] == 0;
    const qint64 pageSize = FJet3 ? 2048 : 4096;
    FPageCount = file.size() / pageSize;
    if (FPageCount < 3) Damaged(fileName, QStringLiteral("it is too short"));
    file.close();

    // Jet 3 names are in the same code page as the text: tell the library before it opens.
    const QByteArray previous = qgetenv("MDB_JET3_CHARSET");
    const bool hadPrevious = qEnvironmentVariableIsSet("MDB_JET3_CHARSET");
    if (FJet3 && codePage > 0) qputenv("MDB_JET3_CHARSET", QByteArray("CP") + QByteArray::number(codePage));
    FHandle = mdb_open(QFile::encodeName(fileName).constData(), MDB_NOFLAGS);
    if (FJet3 && codePage > 0) {
        if (hadPrevious) qputenv("MDB_JET3_CHARSET", previous);
        else qunsetenv("MDB_JET3_CHARSET");
    }
    if (!FHandle) DatabaseError(QStringLiteral("\"%1\" is not an Access database or it is damaged").arg(Native(fileName)));
    if (FHandle->fmt->pg_size != pageSize) Damaged(fileName, QStringLiteral("its page size is unexpected"));
    if (!mdb_read_catalog(FHandle, MDB_TABLE)) {
        mdb_close(FHandle);
        FHandle = nullptr;
        Damaged(fileName, QStringLiteral("its table list cannot be read"));
    }
    if (codePage > 0) FCodePage = codePage;
    else if (FJet3 && IsCodePageSupported(FHandle->f->code_page)) FCodePage = FHandle->f->code_page;
}

TMdbDatabase::~TMdbDatabase()
{
    if (FHandle) mdb_close(FHandle);
}

QStringList TMdbDatabase::TableNames(bool systemTables)
{
    QStringList names;
    for (unsigned i = 0; i < FHandle->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(FHandle->catalog, i));
        if (!entry || entry->object_type != MDB_TABLE) continue;
        if (!systemTables && mdb_is_system_table(entry)) continue;
        names << QString::fromUtf8(entry->object_name);
    }
    return names;
}

std::unique_ptr<TTableReader> TMdbDatabase::OpenTable(const QString& name)
{
    for (unsigned i = 0; i < FHandle->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(FHandle->catalog, i));
        if (!entry || entry->object_type != MDB_TABLE) continue;
        if (QString::fromUtf8(entry->object_name).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (entry->table_pg == 0 || qint64(entry->table_pg) >= FPageCount)
            Damaged(FFileName, QStringLiteral("table \"%1\" lies beyond the end of the file").arg(name));
        MdbTableDef* table = mdb_read_table(entry);
        if (!table) Damaged(FFileName, QStringLiteral("table \"%1\" cannot be read").arg(name));
        FLoadedPage = -1;
        return std::make_unique<TMdbTableReader>(shared_from_this(), table);
    }
    DatabaseError(QStringLiteral("Table \"%1\" does not exist in \"%2\"").arg(name, Native(FFileName)));
}

bool TMdbDatabase::LoadPage(quint32 page)
{
    if (qint64(page) == FLoadedPage) return true;
    FLoadedPage = -1;
    if (page == 0 || qint64(page) >= FPageCount) return false;
    if (mdb_read_pg(FHandle, page) != FHandle->fmt->pg_size) return false;
    FLoadedPage = page;
    return true;
}

bool TMdbDatabase::RowBounds(int row, int& start, int& length, int& flags)
{
    const int pageSize = int(FHandle->fmt->pg_size);
    const int countOffset = FHandle->fmt->row_count_offset;
    const int rows = mdb_get_int16(FHandle->pg_buf, countOffset);
    if (row < 0 || row >= rows || countOffset + 2 + 2 * rows > pageSize) return false;
    const int raw = mdb_get_int16(FHandle->pg_buf, countOffset + 2 + 2 * row);
    flags = raw & (DeletedRow | OverflowRow);
    start = raw & RowOffsetMask;
    // A row ends where the one before it starts (rows fill the page from its end).
    const int end = row == 0 ? pageSize : (mdb_get_int16(FHandle->pg_buf, countOffset + 2 * row) & RowOffsetMask);
    length = end - start;
    return start >= countOffset + 2 + 2 * rows && length > 0 && end <= pageSize;
}

TMdbTableReader::TMdbTableReader(std::shared_ptr<TMdbDatabase> database, MdbTableDef* table)
    : TTableReader(database->FileName()), FDatabase(std::move(database)), FTable(table)
{
    const bool jet3 = FDatabase->Jet3();
    const QString tableName = QString::fromUtf8(FTable->name);
    if (!mdb_read_columns(FTable) || !FTable->columns)
        Damaged(FileName(), QStringLiteral("the columns of table \"%1\" cannot be read").arg(tableName));
    for (unsigned i = 0; i < FTable->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(FTable->columns, i));
        TTableFieldInfo info;
        info.Name = QString::fromUtf8(col->name);
        // The library reads precision and scale of decimals the other way round in some
        // versions; the larger is the precision.
        const int precision = qMax(col->col_prec, col->col_scale);
        const int scale = qMin(col->col_prec, col->col_scale);
        switch (col->col_type) {
        case jtBool: info.DataType = ftBoolean; break;
        case jtByte: info.DataType = ftWord; break;
        case jtInt: info.DataType = ftSmallint; break;
        case jtLong: info.DataType = col->is_long_auto ? ftAutoInc : ftInteger; break;
        case jtMoney: info.DataType = ftCurrency; break;
        case jtFloat: case jtDouble: info.DataType = ftFloat; break;
        case jtDateTime: info.DataType = ftDateTime; break;
        case jtBinary: info.DataType = ftVarBytes; info.Size = col->col_size; break;
        case jtText:
            if (jet3) {
                info.DataType = ftString;
                info.Size = col->col_size;
                info.CodePage = FDatabase->CodePage();
            } else {
                info.DataType = ftWideString;
                info.Size = col->col_size / 2;
            }
            break;
        case jtMemo:
            info.DataType = ftMemo;
            info.CodePage = jet3 ? FDatabase->CodePage() : TBlobField::WideTextCodePage;
            break;
        case jtOle: info.DataType = ftBlob; break;
        case jtGuid: info.DataType = ftGuid; info.Size = 38; break;
        case jtNumeric:
            // Decimals that fit the platform's BCD (a 64-bit count of ten-thousandths) stay
            // exact; wider ones are carried as doubles.
            if (scale <= 4 && precision - scale <= 14) {
                info.DataType = ftBCD;
                info.Size = scale;
                info.Precision = precision;
            } else {
                info.DataType = ftFMTBcd;
                info.Size = scale;
                info.Precision = precision;
            }
            break;
        default:
            info.DataType = ftVarBytes;
            info.Size = qMax(col->col_size, 1);
            break;
        }
        FFields.push_back(info);
        FColumns.push_back({col->col_type, scale});
    }

    // The rows of the table, page by page, deleted ones left out.
    mdb_rewind_table(FTable);
    MdbHandle* mdb = FDatabase->Handle();
    qint64 guard = FDatabase->PageCount() + 1;
    for (int page = mdb_read_next_dpg(FTable); page > 0; page = mdb_read_next_dpg(FTable)) {
        if (--guard < 0) Damaged(FileName(), QStringLiteral("the pages of table \"%1\" loop").arg(tableName));
        if (!FDatabase->LoadPage(quint32(page))) Damaged(FileName(), QStringLiteral("page %1 cannot be read").arg(page));
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        if (rows < 0 || rows > 1024) Damaged(FileName(), QStringLiteral("page %1 holds an impossible row count").arg(page));
        for (int r = 0; r < rows; ++r) {
            int start = 0, length = 0, flags = 0;
            if (!FDatabase->RowBounds(r, start, length, flags)) continue;
            if (flags & DeletedRow) continue;
            FRows.push_back((quint32(page) << 8) | quint32(r));
        }
    }
}

TMdbTableReader::~TMdbTableReader()
{
    mdb_free_tabledef(FTable);
}

void TMdbTableReader::LoadRow(int record)
{
    if (record == FLoaded) return;
    FLoaded = -1;
    if (record < 0 || record >= int(FRows.size())) DatabaseError(QStringLiteral("Record %1 is out of range").arg(record + 1));
    MdbHandle* mdb = FDatabase->Handle();
    quint32 page = FRows[size_t(record)] >> 8;
    int row = int(FRows[size_t(record)] & 0xFF);
    int start = 0, length = 0, flags = 0;
    auto damaged = [&] { Damaged(FileName(), QStringLiteral("record %1 cannot be read").arg(record + 1)); };
    if (!FDatabase->LoadPage(page) || !FDatabase->RowBounds(row, start, length, flags)) damaged();
    if (flags & OverflowRow) {
        // The row moved to another page; this one holds where.
        if (length < 4) damaged();
        const quint32 pointer = U32(mdb->pg_buf + start);
        page = pointer >> 8;
        row = int(pointer & 0xFF);
        if (!FDatabase->LoadPage(page) || !FDatabase->RowBounds(row, start, length, flags)) damaged();
    }
    std::vector<MdbField> fields(size_t(qMax<unsigned>(FTable->num_cols, 1)) + 256);
    const int count = mdb_crack_row(FTable, start, size_t(length), fields.data());
    if (count < 0 || count > int(FTable->num_cols)) damaged();
    FRaw.assign(FFields.size(), TRawField{});
    for (int i = 0; i < count; ++i) {
        const MdbField& f = fields[size_t(i)];
        if (f.colnum < 0 || f.colnum >= int(FRaw.size())) continue;
        TRawField& raw = FRaw[size_t(f.colnum)];
        if (FColumns[size_t(f.colnum)].Type == jtBool) {
            // Booleans live in the null mask: set means true.
            raw.Null = false;
            raw.Bytes = QByteArray(1, f.is_null ? '\0' : '\1');
            continue;
        }
        raw.Null = f.is_null;
        if (f.is_null) continue;
        const auto* value = static_cast<const uchar*>(f.value);
        if (f.siz < 0 || f.siz > length || (f.siz > 0 && (value < mdb->pg_buf || value + f.siz > mdb->pg_buf + mdb->fmt->pg_size)))
            damaged();
        raw.Bytes = QByteArray(reinterpret_cast<const char*>(value), f.siz);
    }
    FLoaded = record;
}

QByteArray TMdbTableReader::ReadLongValue(const QByteArray& header, int record, const QString& column)
{
    auto damaged = [&](const QString& what) {
        Damaged(FileName(), QStringLiteral("%1 of field \"%2\" in record %3").arg(what, column).arg(record + 1));
    };
    if (header.size() < 12) damaged(QStringLiteral("the long value"));
    const auto* h = reinterpret_cast<const uchar*>(header.constData());
    const quint32 word = U32(h);
    const quint32 length = word & 0x3FFFFFFF;
    const qint64 limit = FDatabase->PageCount() * FDatabase->Handle()->fmt->pg_size;
    if (qint64(length) > limit) damaged(QStringLiteral("the length"));
    if (word & 0x80000000u) {
        // Stored in the row itself.
        if (qint64(length) > header.size() - 12) damaged(QStringLiteral("the inline value"));
        return header.mid(12, qsizetype(length));
    }
    MdbHandle* mdb = FDatabase->Handle();
    QByteArray bytes;
    bytes.reserve(qsizetype(length));
    quint32 pointer = U32(h + 4);
    const bool single = word & 0x40000000u;
    // Pages of a long value are chained; the chain can never be longer than the file.
    for (qint64 guard = FDatabase->PageCount() * 256; pointer != 0 && bytes.size() < qsizetype(length); --guard) {
        if (guard <= 0) damaged(QStringLiteral("the page chain"));
        int start = 0, size = 0, flags = 0;
        if (!FDatabase->LoadPage(pointer >> 8) || !FDatabase->RowBounds(int(pointer & 0xFF), start, size, flags))
            damaged(QStringLiteral("a page"));
        const uchar* data = mdb->pg_buf + start;
        if (single) {
            bytes.append(reinterpret_cast<const char*>(data), qMin<qsizetype>(size, qsizetype(length)));
            break;
        }
        if (size < 4) damaged(QStringLiteral("a page"));
        pointer = U32(data);
        bytes.append(reinterpret_cast<const char*>(data + 4), qMin<qsizetype>(size - 4, qsizetype(length) - bytes.size()));
    }
    FLoaded = -1;   // the page buffer moved on
    if (bytes.size() != qsizetype(length)) damaged(QStringLiteral("the long value"));
    return bytes;
}

bool TMdbTableReader::ReadValue(int record, int field, TVariant& value)
{
    if (field < 0 || field >= int(FFields.size())) return false;
    LoadRow(record);
    const TRawField& raw = FRaw[size_t(field)];
    if (raw.Null) return false;
    const auto* p = reinterpret_cast<const uchar*>(raw.Bytes.constData());
    const qsizetype n = raw.Bytes.size();
    const int type = FColumns[size_t(field)].Type;
    auto need = [&](qsizetype size) {
        if (n < size) Damaged(FileName(), QStringLiteral("field \"%1\" in record %2 is too short").arg(FFields[size_t(field)].Name).arg(record + 1));
    };
    switch (type) {
    case jtBool:
        value = TVariant(p[0] != 0);
        return true;
    case jtByte:
        need(1);
        value = TVariant::FromWord(p[0]);
        return true;
    case jtInt:
        need(2);
        value = TVariant::FromSmallint(qint16(p[0] | (p[1] << 8)));
        return true;
    case jtLong:
        need(4);
        value = TVariant(int(qint32(U32(p))));
        return true;
    case jtMoney:
        need(8);
        value = TVariant(TCurrency::FromScaled(qint64(quint64(U32(p)) | (quint64(U32(p + 4)) << 32))));
        return true;
    case jtFloat: {
        need(4);
        float f;
        std::memcpy(&f, p, 4);
        if (!std::isfinite(f)) return false;
        value = TVariant(double(f));
        return true;
    }
    case jtDouble: case jtDateTime: {
        need(8);
        double d;
        std::memcpy(&d, p, 8);
        if (!std::isfinite(d)) return false;
        // Date-times are days since 1899-12-30, the platform's own measure.
        value = type == jtDateTime ? TVariant::FromDate(d) : TVariant(d);
        return true;
    }
    case jtText:
        if (FDatabase->Jet3()) value = TVariant::FromAnsiString(raw.Bytes, FDatabase->CodePage());
        else value = TVariant(DecodeJet4Text(p, n));
        return true;
    case jtMemo: case jtOle: {
        const QByteArray bytes = ReadLongValue(raw.Bytes, record, FFields[size_t(field)].Name);
        if (type == jtOle) value = TVariant::FromBytes(bytes);
        else if (FDatabase->Jet3()) value = TVariant::FromAnsiString(bytes, FDatabase->CodePage());
        else value = TVariant(DecodeJet4Text(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size()));
        return true;
    }
    case jtGuid: {
        need(16);
        const QString text = QStringLiteral("{%1-%2-%3-%4-%5}")
                                 .arg(U32(p), 8, 16, QLatin1Char('0'))
                                 .arg(p[4] | (p[5] << 8), 4, 16, QLatin1Char('0'))
                                 .arg(p[6] | (p[7] << 8), 4, 16, QLatin1Char('0'))
                                 .arg(QString::fromLatin1(raw.Bytes.mid(8, 2).toHex()))
                                 .arg(QString::fromLatin1(raw.Bytes.mid(10, 6).toHex()))
                                 .toUpper();
        value = TVariant::FromAnsiString(text.toLatin1(), 1252);
        return true;
    }
    case jtNumeric: {
        need(17);
        // A sign byte, then a 128-bit integer as four little-endian words, the most
        // significant first; the scale places the decimal point.
        const bool negative = p[0] & 0x80;
        const int scale = FColumns[size_t(field)].Scale;
        TUInt128 v = 0;
        for (int k = 0; k < 4; ++k) v = (v << 32) | U32(p + 1 + 4 * k);
        if (FFields[size_t(field)].DataType == ftBCD) {
            TUInt128 scaled = v;
            for (int s = scale; s < 4; ++s) scaled *= 10;
            if (scaled > TUInt128(std::numeric_limits<qint64>::max()))
                Damaged(FileName(), QStringLiteral("field \"%1\" in record %2 is out of range").arg(FFields[size_t(field)].Name).arg(record + 1));
            const qint64 s = qint64(scaled);
            value = TVariant(TCurrency::FromScaled(negative ? -s : s));
        } else {
            double d = double(v);
            for (int s = 0; s < scale; ++s) d /= 10.0;
            value = TVariant(negative ? -d : d);
        }
        return true;
    }
    default:
        value = TVariant::FromBytes(raw.Bytes);
        return true;
    }
}

} // namespace

std::shared_ptr<TAccessDatabase> OpenMdbDatabase(const QString& fileName, int codePage)
{
    return std::make_shared<TMdbDatabase>(fileName, codePage);
}
