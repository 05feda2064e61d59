#include "platform/core/Classes.h"

#include "platform/core/SysUtils.h"

#include <QtDebug>

namespace {
TExceptionHandler& ExceptionHandler()
{
    static TExceptionHandler handler;
    return handler;
}

TFocusControlHandler& FocusHandler()
{
    static TFocusControlHandler handler;
    return handler;
}

TConfirmHandler& ConfirmHandler()
{
    static TConfirmHandler handler;
    return handler;
}
} // namespace

void ApplicationShowException(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e)) return;
    if (ExceptionHandler()) {
        ExceptionHandler()(e);
        return;
    }
    const auto* ex = dynamic_cast<const Exception*>(&e);
    qWarning().noquote() << (ex ? ex->Message() : QString::fromUtf8(e.what()));
}

void SetApplicationExceptionHandler(TExceptionHandler handler) { ExceptionHandler() = std::move(handler); }

bool FocusControlObject(QObject* control) { return control && FocusHandler() && FocusHandler()(control); }

void SetFocusControlHandler(TFocusControlHandler handler) { FocusHandler() = std::move(handler); }

bool ApplicationConfirm(const QString& question) { return ConfirmHandler() && ConfirmHandler()(question); }

void SetApplicationConfirmHandler(TConfirmHandler handler) { ConfirmHandler() = std::move(handler); }
