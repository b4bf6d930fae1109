#include "EventDispatch.h"

#include "EAbort.h"
#include "MessageService.h"

#include <QLoggingCategory>
#include <exception>

Q_LOGGING_CATEGORY(lcDispatch, "fas.dispatch")

QString DispatchErrorText(const QString& detail)
{
    if (detail.trimmed().isEmpty())
        return QStringLiteral("Ocorreu um erro inesperado.");
    return detail;
}

namespace {

// Reporting must not throw either: a failure of the report itself is only logged.
void report(const QString& text) noexcept
{
    try {
        MessageService::instance().error(text);
    } catch (...) {
        qCWarning(lcDispatch) << "the error report itself failed";
    }
}

} // namespace

bool Dispatch(const std::function<void()>& handler)
{
    if (!handler)
        return true;
    try {
        handler();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const std::exception& e) {
        const QString detail = QString::fromUtf8(e.what());
        qCWarning(lcDispatch) << "handler failed:" << detail;
        report(DispatchErrorText(detail));
    } catch (...) {
        qCWarning(lcDispatch) << "handler failed with an unknown exception";
        report(DispatchErrorText(QString()));
    }
    return false;
}
