#include "CheckResultServ.h"

#include "EAbort.h"
#include "MessageService.h"
#include "TNetConnection.h"

#include <QJsonObject>

namespace {

bool succeeded(const QJsonObject& result)
{
    return result.value(QStringLiteral("ok")).toBool(false);
}

// Shows the result's message (or, when it has none, that the answer is invalid).
void reportFailure(const QJsonObject& result, bool abort)
{
    QString message = result.value(QStringLiteral("message")).toString();
    if (message.isEmpty())
        message = QStringLiteral("O servidor de aplicação devolveu uma resposta inválida.");
    MessageService::instance().error(message);
    if (abort)
        throw EAbort();
}

} // namespace

QByteArray CheckResultServ(const ServerResult& result, bool abort, int /*helpContext*/)
{
    if (succeeded(result.result) && !result.data.isNull())
        return result.data;
    // A success that carries no data has no message of its own: it is an invalid answer.
    reportFailure(succeeded(result.result) ? QJsonObject() : result.result, abort);
    return QByteArray();
}
