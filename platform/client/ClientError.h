#pragma once
// The error the client dataset engine raises for refused operations and bad data.

#include <QString>

[[noreturn]] void ClientError(const QString& message);
