#pragma once
// 8-bit text of stored files is Windows-1252 (the platform's table: the five bytes the code
// page leaves undefined stand for the C1 control of the same value, so every byte survives a
// round trip), with direct conversions to and from UTF-8 for the value streams.

#include <QByteArray>
#include <QString>

QString Win1252ToString(const char* data, qsizetype len);
inline QString Win1252ToString(const QByteArray& bytes) { return Win1252ToString(bytes.constData(), bytes.size()); }
// Characters the code page cannot hold become '?'.
QByteArray StringToWin1252(const QString& text);
// Direct conversions between the 8-bit form and UTF-8, without a QString in between.
QByteArray Win1252ToUtf8(const char* data, qsizetype len);
// False when the bytes are not valid UTF-8 (the result then holds what could be decoded).
bool Utf8ToWin1252(const char* data, qsizetype len, QByteArray& out);
bool IsAscii(const char* data, qsizetype len);
