#include "TNetConnection.h"

#include "FasConfig.h"
#include "HttpChannel.h"
#include "JsonScan.h"
#include "WebConfig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QUrl>

namespace {

// A call that does not fit the module's methods: never sent.
[[noreturn]] void refuse(const QString& misfit)
{
    throw ENetConnection(
        QStringLiteral("Chamada inválida ao servidor de aplicação: %1").arg(misfit));
}

} // namespace

TNetConnection::TNetConnection() = default;
TNetConnection::~TNetConnection() = default;

QString TNetConnection::endpoint() const
{
    return QStringLiteral("%1:%2").arg(Host).arg(Port);
}

void TNetConnection::SetConnected(bool value)
{
    if (!value) {
        connected = false;
        if (channel)
            channel->close();
        return;
    }
    if (connected)
        return;
    const FasConfig config = WebConfiguration();
    Token = config.webToken.toUtf8();
    Tls = config.tls();
    CaFile = config.webCaFile;
    if (BeforeConnect)
        BeforeConnect(*this);
    const Reply reply = exchange(QByteArray(), QStringLiteral("conectar"));
    if (reply.status == 401 || reply.status == 403)
        throw ENetConnection(QStringLiteral("O servidor de aplicação %1 recusou o acesso (HTTP "
                                            "%2): confira o token de acesso (FAS_TOKEN) e o "
                                            "endereço configurados.")
                                 .arg(endpoint())
                                 .arg(reply.status));
    const QJsonObject module = QJsonDocument::fromJson(reply.body).object();
    if (reply.status != 200 || module.value(QStringLiteral("module")).toString() != ServerName)
        throw ENetConnection(QStringLiteral("O servidor de aplicação %1 não publica o módulo %2.")
                                 .arg(endpoint(), ServerName));
    connected = true;
}

AppServerInterface TNetConnection::GetServer()
{
    SetConnected(true);
    return AppServerInterface(*this);
}

TNetConnection::Reply TNetConnection::exchange(const QByteArray& body, const QString& what)
{
    if (!channel)
        channel = std::make_unique<HttpChannel>();
    QUrl url;
    url.setScheme(Tls ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(Host);
    url.setPort(Port);
    url.setPath(QLatin1Char('/') + ServerName);
    if (!url.isValid() || Port <= 0)
        throw ENetConnection(
            QStringLiteral("Endereço inválido do servidor de aplicação: %1.").arg(endpoint()));

    HttpChannel::Answer answer =
        channel->exchange({url.host(),
                           quint16(Port),
                           Token,
                           Tls,
                           CaFile,
                           {{Caller::UserHeader, Caller::encode(caller.user)},
                            {Caller::HostHeader, Caller::encode(caller.host)}}},
                          url.path(QUrl::FullyEncoded).toUtf8(), body, TimeoutMs);
    if (answer.timedOut)
        throw ENetConnection(QStringLiteral("O servidor de aplicação %1 não respondeu em %2 s.")
                                 .arg(endpoint())
                                 .arg(QLocale().toString(TimeoutMs / 1000.0, 'g', 3)));
    if (answer.status == 0) {
        QString why;
        switch (answer.error) {
        case QAbstractSocket::ConnectionRefusedError:
            why = QStringLiteral("conexão recusada");
            break;
        case QAbstractSocket::HostNotFoundError:
            why = QStringLiteral("servidor não encontrado");
            break;
        case QAbstractSocket::RemoteHostClosedError:
            why = QStringLiteral("a conexão foi encerrada pelo servidor");
            break;
        case QAbstractSocket::SslHandshakeFailedError:
            why = QStringLiteral("o certificado do servidor não é confiável (%1)")
                      .arg(answer.errorText);
            break;
        default:
            why = answer.errorText;
        }
        throw ENetConnection(QStringLiteral("Não foi possível %1 ao servidor de aplicação %2: %3.")
                                 .arg(what == QLatin1String("conectar")
                                          ? QStringLiteral("conectar")
                                          : QStringLiteral("enviar %1").arg(what),
                                      endpoint(), why));
    }
    return {answer.status, std::move(answer.body)};
}

QByteArray AppServerInterface::send(const RemoteMethod& method, const QList<ServerArg>& args,
                                    int& status) const
{
    if (const QString misfit = RemoteMethods::check(method, args); !misfit.isEmpty())
        refuse(misfit);
    TNetConnection::Reply reply = connection->exchange(
        RemoteMethods::request(++connection->lastRequestId, method, args), method.nameText());
    status = reply.status;
    return std::move(reply.body);
}

void AppServerInterface::accept(const QString& method, int status, const QJsonValue& error,
                                const QJsonValue& result, QList<ServerArg>& args) const
{
    if (!error.isUndefined())
        throw ENetConnection(
            QStringLiteral("O servidor de aplicação recusou a chamada de %1: %2")
                .arg(method, error.toObject().value(QStringLiteral("message")).toString()));
    if (!result.isObject())
        throw ENetConnection(
            QStringLiteral("O servidor de aplicação deu uma resposta inválida a %1 (HTTP %2).")
                .arg(method)
                .arg(status));
    const QJsonObject object = result.toObject();
    if (object.value(QStringLiteral("ok")).toBool(false)) {
        const QJsonArray byref = object.value(QStringLiteral("byref")).toArray();
        qsizetype next = 0;
        for (ServerArg& arg : args) {
            if (arg.type != ServerArg::StringByRef)
                continue;
            if (next < byref.size() && byref.at(next).isString())
                arg.text = byref.at(next).toString();
            ++next;
        }
    } else if (connection->ThrowException) {
        throw ENetConnection(object.value(QStringLiteral("message")).toString());
    }
}

ServerResult AppServerInterface::call(const RemoteMethod& method, QList<ServerArg>& args) const
{
    int status = 0;
    QByteArray body = send(method, args, status);
    // Only the envelope is parsed into values, in one pass over the text; the data stays
    // text. An answer that is not well-formed JSON (cut short, damaged) is no answer at all.
    QList<JsonMember> resultMembers;
    QJsonValue error(QJsonValue::Undefined);
    QJsonValue result(QJsonValue::Undefined);
    try {
        const QList<JsonMember> members =
            JsonScan::objectMembers(body, QLatin1StringView("result"), resultMembers);
        if (const JsonMember* member = JsonScan::find(members, QLatin1StringView("error")))
            error = JsonScan::parseValue(member->value);
        if (const JsonMember* member = JsonScan::find(members, QLatin1StringView("result"));
            member && member->value.startsWith('{')) {
            QJsonObject object;
            for (const JsonMember& inner : std::as_const(resultMembers)) {
                if (inner.name != QLatin1String("data"))
                    object.insert(inner.name, JsonScan::parseValue(inner.value));
            }
            result = object;
        }
    } catch (const JsonScanError&) {
        resultMembers.clear();
        error = result = QJsonValue(QJsonValue::Undefined);
    }
    accept(method.nameText(), status, error, result, args);

    ServerResult answer;
    answer.result = result.toObject();
    if (const JsonMember* data = JsonScan::find(resultMembers, QLatin1StringView("data"))) {
        // The body's own buffer becomes the data's: cut to the member's text in place.
        const qsizetype begin = data->value.data() - body.constData();
        const qsizetype size = data->value.size();
        resultMembers.clear(); // the views point into body
        body.truncate(begin + size);
        body.remove(0, begin);
        answer.data = std::move(body);
    }
    return answer;
}
