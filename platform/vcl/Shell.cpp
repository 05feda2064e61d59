#include "platform/vcl/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
std::function<bool(const QString&)> GHandler;
} // namespace

bool ShellOpen(const QString& target)
{
    if (GHandler) return GHandler(target);
    if (target.trimmed().isEmpty()) return false;
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target.trimmed());
    return url.isValid() && QDesktopServices::openUrl(url);
}

void SetShellOpenHandler(std::function<bool(const QString&)> handler) { GHandler = std::move(handler); }
