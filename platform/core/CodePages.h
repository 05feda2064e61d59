#pragma once
// 8-bit text in Windows code pages. The single-byte pages (874, 1250-1258) round-trip every
// byte: a byte the page leaves undefined stands for the character of the same value, so
// decoding and encoding again gives the bytes back. The multi-byte pages (932, 936, 949, 950)
// go through Qt's converters.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The code page of 8-bit text that carries none of its own (1252 unless changed).
int DefaultCodePage();
void SetDefaultCodePage(int codePage);

bool IsCodePageSupported(int codePage);
bool IsSingleByteCodePage(int codePage);
// The 256 characters of a single-byte page, or nullptr for any other page.
const char16_t* SingleByteCodePageTable(int codePage);

// An unsupported code page decodes and encodes as 1252.
QString DecodeCodePage(QByteArrayView bytes, int codePage);
// Bytes through a table of 256 characters indexed by byte (any single-byte page's table).
QString DecodeWithTable(QByteArrayView bytes, const char16_t* table);
// Characters the page cannot hold become '?'; lossless, when given, tells whether any did.
QByteArray EncodeCodePage(QStringView text, int codePage, bool* lossless = nullptr);

// The ANSI code page of a Windows locale id (the sort bits are ignored); 1252 when unknown or 0.
int CodePageFromLCID(quint32 lcid);
