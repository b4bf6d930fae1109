#include "CheckResultServ.h"

#include "EAbort.h"
#include "MessageService.h"

#include <QJsonObject>

QJsonValue CheckResultServ(const QJsonValue& result, bool abort, int /*helpContext*/)
{
    const QJsonObject object = result.toObject();
    if (result.isObject() && object.value(QStringLiteral("ok")).toBool(false))
        return object.value(QStringLiteral("data"));
    QString message = object.value(QStringLiteral("message")).toString();
    if (message.isEmpty())
        message = QStringLiteral("O servidor de aplicação devolveu uma resposta inválida.");
    MessageService::instance().error(message);
    if (abort)
        throw EAbort();
    return QJsonValue(QJsonValue::Undefined);
}
