#include "platform/client/PacketError.h"

EPacketError::EPacketError(const QString& msg, qint64 offset)
    : Exception(msg), Offset(offset)
{
}

void PacketError(const QString& msg, qint64 offset)
{
    if (offset >= 0)
        throw EPacketError(QStringLiteral("%1 (at offset %2)").arg(msg).arg(offset), offset);
    throw EPacketError(msg, offset);
}
