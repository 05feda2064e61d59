// quarrow-mdb: reads an Access database through the mdbtools library on behalf of the program.
// It runs as a process of its own because the library can crash or loop on damaged files;
// the program watches it and turns any such end into a clear error.
//
//   quarrow-mdb <file> tables          the tables of the database
//   quarrow-mdb <file> table <name>    the columns and rows of one table
//
// Output on stdout, little-endian, as tagged items:
//   'H' u8 jet version (3 or 4), u16 code page of the header
//   'T' string name, u8 system table                               (tables)
//   'N' u8 found; 'C' string name, u8 type, u32 size, u8 precision, u8 scale,
//       u8 long autonumber, u8 GUID autonumber; then per row 'R' and per column
//       u8 0 (null) or u8 1, u32 length, bytes (long values resolved)  (table)
//   'E' string message (the file cannot be read); 'Z' the end
// A string is a u32 length and UTF-8 bytes.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <string>
#include <vector>

// glib first: the library's header includes it inside its C linkage block.
#include <glib.h>
#include <mdbtools.h>

namespace {

enum : int { jtBool = 0x01, jtOle = 0x0B, jtMemo = 0x0C };
constexpr int RowOffsetMask = 0x1FFF;
constexpr int DeletedRow = 0x8000;
constexpr int OverflowRow = 0x4000;

std::vector<unsigned char> Out;
// The results go to a stream of their own: the library prints its warnings on stdout.
FILE* Results = nullptr;

void Flush()
{
    if (!Out.empty()) fwrite(Out.data(), 1, Out.size(), Results);
    Out.clear();
}
void Put(const void* data, size_t n)
{
    const auto* p = static_cast<const unsigned char*>(data);
    Out.insert(Out.end(), p, p + n);
    if (Out.size() >= (1u << 16)) Flush();
}
void PutU8(unsigned v) { const unsigned char b = static_cast<unsigned char>(v); Put(&b, 1); }
void PutU16(unsigned v) { PutU8(v & 0xFF); PutU8((v >> 8) & 0xFF); }
void PutU32(uint32_t v) { for (int i = 0; i < 4; ++i) PutU8((v >> (8 * i)) & 0xFF); }
void PutString(const std::string& s) { PutU32(uint32_t(s.size())); Put(s.data(), s.size()); }

[[noreturn]] void Fail(const std::string& message)
{
    PutU8('E');
    PutString(message);
    PutU8('Z');
    Flush();
    fflush(Results);
    _exit(3);
}

uint32_t U32(const unsigned char* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

struct TDatabase {
    MdbHandle* Handle = nullptr;
    long PageCount = 0;
    long Loaded = -1;

    bool LoadPage(uint32_t page)
    {
        if (long(page) == Loaded) return true;
        Loaded = -1;
        if (page == 0 || long(page) >= PageCount) return false;
        if (mdb_read_pg(Handle, page) != Handle->fmt->pg_size) return false;
        Loaded = long(page);
        return true;
    }
    // Start, length and flags of a row of the page in the buffer.
    bool RowBounds(int row, int& start, int& length, int& flags)
    {
        const int pageSize = int(Handle->fmt->pg_size);
        const int countOffset = Handle->fmt->row_count_offset;
        const int rows = mdb_get_int16(Handle->pg_buf, countOffset);
        if (row < 0 || row >= rows || countOffset + 2 + 2 * rows > pageSize) return false;
        const int raw = mdb_get_int16(Handle->pg_buf, countOffset + 2 + 2 * row);
        flags = raw & (DeletedRow | OverflowRow);
        start = raw & RowOffsetMask;
        // Rows fill the page from its end: a row ends where the one before it starts.
        const int end = row == 0 ? pageSize : (mdb_get_int16(Handle->pg_buf, countOffset + 2 * row) & RowOffsetMask);
        length = end - start;
        return start >= countOffset + 2 + 2 * rows && length > 0 && end <= pageSize;
    }
};

// A memo or OLE value: in the row, on one page, or on a chain of pages.
std::vector<unsigned char> LongValue(TDatabase& db, const std::vector<unsigned char>& header)
{
    if (header.size() < 12) Fail("a long value is damaged");
    const uint32_t word = U32(header.data());
    const uint32_t length = word & 0x3FFFFFFF;
    if (long(length) / db.Handle->fmt->pg_size > db.PageCount) Fail("a long value is longer than the file");
    if (word & 0x80000000u) {
        if (length > header.size() - 12) Fail("a long value is damaged");
        return {header.begin() + 12, header.begin() + 12 + length};
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(length);
    uint32_t pointer = U32(header.data() + 4);
    const bool single = word & 0x40000000u;
    for (long guard = db.PageCount * 256; pointer != 0 && bytes.size() < length; --guard) {
        if (guard <= 0) Fail("the pages of a long value loop");
        int start = 0, size = 0, flags = 0;
        if (!db.LoadPage(pointer >> 8) || !db.RowBounds(int(pointer & 0xFF), start, size, flags)) Fail("a page of a long value cannot be read");
        const unsigned char* data = db.Handle->pg_buf + start;
        if (single) {
            bytes.insert(bytes.end(), data, data + std::min<size_t>(size_t(size), length));
            break;
        }
        if (size < 4) Fail("a page of a long value is damaged");
        pointer = U32(data);
        bytes.insert(bytes.end(), data + 4, data + 4 + std::min<size_t>(size_t(size - 4), length - bytes.size()));
    }
    if (bytes.size() != length) Fail("a long value is incomplete");
    return bytes;
}

void WriteTable(TDatabase& db, MdbCatalogEntry* entry)
{
    if (entry->table_pg == 0 || long(entry->table_pg) >= db.PageCount) Fail("the table lies beyond the end of the file");
    MdbTableDef* table = mdb_read_table(entry);
    if (!table) Fail("the table cannot be read");
    if (!mdb_read_columns(table) || !table->columns || table->num_cols > 4096) Fail("the columns of the table cannot be read");
    PutU8('N');
    PutU8(1);
    std::vector<int> types;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        PutU8('C');
        PutString(col->name);
        PutU8(unsigned(col->col_type) & 0xFF);
        PutU32(uint32_t(col->col_size));
        PutU8(unsigned(col->col_prec) & 0xFF);
        PutU8(unsigned(col->col_scale) & 0xFF);
        PutU8(col->is_long_auto ? 1 : 0);
        PutU8(col->is_uuid_auto ? 1 : 0);
        types.push_back(col->col_type);
    }
    // Row addresses first (the long values move the page buffer), then the rows.
    std::vector<uint32_t> rows;
    mdb_rewind_table(table);
    long guard = db.PageCount + 1;
    for (int page = mdb_read_next_dpg(table); page > 0; page = mdb_read_next_dpg(table)) {
        if (--guard < 0) Fail("the pages of the table loop");
        if (!db.LoadPage(uint32_t(page))) Fail("a page of the table cannot be read");
        const int count = mdb_get_int16(db.Handle->pg_buf, db.Handle->fmt->row_count_offset);
        if (count < 0 || count > 1024) Fail("a page of the table holds an impossible row count");
        for (int r = 0; r < count; ++r) {
            int start = 0, length = 0, flags = 0;
            if (!db.RowBounds(r, start, length, flags) || (flags & DeletedRow)) continue;
            rows.push_back((uint32_t(page) << 8) | uint32_t(r));
        }
    }
    std::vector<MdbField> fields(table->num_cols + 256);
    std::vector<std::vector<unsigned char>> raw(table->num_cols);
    std::vector<char> isNull(table->num_cols);
    for (uint32_t address : rows) {
        uint32_t page = address >> 8;
        int row = int(address & 0xFF);
        int start = 0, length = 0, flags = 0;
        if (!db.LoadPage(page) || !db.RowBounds(row, start, length, flags)) Fail("a row cannot be read");
        if (flags & OverflowRow) {
            // The row moved to another page; this one holds where.
            if (length < 4) Fail("a row cannot be read");
            const uint32_t pointer = U32(db.Handle->pg_buf + start);
            page = pointer >> 8;
            row = int(pointer & 0xFF);
            if (!db.LoadPage(page) || !db.RowBounds(row, start, length, flags)) Fail("a row cannot be read");
        }
        const int count = mdb_crack_row(table, start, size_t(length), fields.data());
        if (count < 0 || count > int(table->num_cols)) Fail("a row is damaged");
        for (unsigned i = 0; i < table->num_cols; ++i) {
            isNull[i] = 1;
            raw[i].clear();
        }
        const unsigned char* pageStart = db.Handle->pg_buf;
        const unsigned char* pageEnd = pageStart + db.Handle->fmt->pg_size;
        for (int i = 0; i < count; ++i) {
            const MdbField& f = fields[size_t(i)];
            if (f.colnum < 0 || f.colnum >= int(table->num_cols)) continue;
            if (types[size_t(f.colnum)] == jtBool) {
                // Booleans live in the null mask: set means true.
                isNull[size_t(f.colnum)] = 0;
                raw[size_t(f.colnum)].assign(1, f.is_null ? 0 : 1);
                continue;
            }
            if (f.is_null) continue;
            const auto* value = static_cast<const unsigned char*>(f.value);
            if (f.siz < 0 || f.siz > length || (f.siz > 0 && (value < pageStart || value + f.siz > pageEnd))) Fail("a row is damaged");
            isNull[size_t(f.colnum)] = 0;
            raw[size_t(f.colnum)].assign(value, value + f.siz);
        }
        PutU8('R');
        for (unsigned i = 0; i < table->num_cols; ++i) {
            if (isNull[i]) {
                PutU8(0);
                continue;
            }
            if (types[i] == jtMemo || types[i] == jtOle) raw[i] = LongValue(db, raw[i]);
            PutU8(1);
            PutU32(uint32_t(raw[i].size()));
            Put(raw[i].data(), raw[i].size());
        }
    }
    mdb_free_tabledef(table);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: quarrow-mdb <file> tables | table <name>\n");
        return 1;
    }
    const int results = dup(1);
    dup2(2, 1);
    Results = fdopen(results, "wb");
    if (!Results) return 1;
    const std::string command = argv[2];
    if (command != "tables" && !(command == "table" && argc >= 4)) return 1;
    FILE* probe = fopen(argv[1], "rb");
    if (!probe) Fail("the file cannot be opened");
    fseek(probe, 0, SEEK_END);
    const long size = ftell(probe);
    fclose(probe);

    TDatabase db;
    db.Handle = mdb_open(argv[1], MDB_NOFLAGS);
    if (!db.Handle) Fail("it is not an Access database or it is damaged");
    db.PageCount = size / db.Handle->fmt->pg_size;
    PutU8('H');
    PutU8(db.Handle->f->jet_version == MDB_VER_JET3 ? 3 : 4);
    PutU16(db.Handle->f->code_page);
    if (!mdb_read_catalog(db.Handle, MDB_TABLE)) Fail("its table list cannot be read");
    bool found = false;
    for (unsigned i = 0; i < db.Handle->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(db.Handle->catalog, i));
        if (!entry || entry->object_type != MDB_TABLE) continue;
        if (command == "tables") {
            PutU8('T');
            PutString(entry->object_name);
            PutU8(mdb_is_system_table(entry) ? 1 : 0);
        } else if (!found && g_ascii_strcasecmp(entry->object_name, argv[3]) == 0) {
            found = true;
            db.Loaded = -1;
            WriteTable(db, entry);
        }
    }
    if (command == "table" && !found) {
        PutU8('N');
        PutU8(0);
    }
    PutU8('Z');
    Flush();
    fflush(Results);
    mdb_close(db.Handle);
    return 0;
}
