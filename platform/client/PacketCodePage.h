#pragma once
// 8-bit text of data packets: the packet's LCID names the ANSI code page its strings are in.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows locale id -> ANSI code page; 0 or unknown -> 1252.
int PacketCodePageFromLCID(int lcid);
// Byte-exact for Windows-1252 (bytes it leaves undefined map to the C1 control of the same value);
// other code pages go through Qt's converters, falling back to 1252 when Qt has none.
QString PacketDecodeAnsi(QByteArrayView bytes, int codePage);
// Characters the code page cannot hold become '?'.
QByteArray PacketEncodeAnsi(QStringView text, int codePage);
// True when the code page maps each byte to one character (text of it can be split anywhere).
bool PacketIsSingleByteCodePage(int codePage);
