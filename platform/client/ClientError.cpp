#include "platform/client/ClientError.h"

#include "platform/vcl/SysUtils.h"

void ClientError(const QString& message)
{
    throw Exception(message);
}
