#pragma once
// The error every packet reader and writer raises for damaged or unwritable data.

#include "platform/core/SysUtils.h"

class EPacketError : public Exception {
public:
    // offset: byte position in the input where the damage was found, -1 when not tied to one.
    explicit EPacketError(const QString& msg, qint64 offset = -1);
    qint64 Offset;
};

// Raises EPacketError with "msg (at offset N)".
[[noreturn]] void PacketError(const QString& msg, qint64 offset = -1);
