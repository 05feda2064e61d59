#include "platform/client/PacketSink.h"

QString TPacketCell::WideText() const
{
    QString s(Size / 2, Qt::Uninitialized);
    QChar* d = s.data();
    for (qsizetype i = 0; i < Size / 2; ++i)
        d[i] = QChar(char16_t(uchar(Data[2 * i]) | (uchar(Data[2 * i + 1]) << 8)));
    return s;
}
