#pragma once
// The generated single-byte tables (CodePageTables.cpp).

struct TCodePageTable {
    int CodePage;
    const char16_t* Chars;   // 256 characters, indexed by byte
};

extern const TCodePageTable CodePageTables[];
extern const int CodePageTableCount;
