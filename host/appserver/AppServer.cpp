#include "AppServer.h"

#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>

Q_LOGGING_CATEGORY(lcAppServer, "fas.appserver")

namespace {

const QByteArray jsonType = QByteArrayLiteral("application/json; charset=utf-8");

QString modulePath()
{
    return QLatin1Char('/') + QString::fromLatin1(RpcDispatcher::ModuleName);
}

} // namespace

AppServer::AppServer(const QSqlDatabase& db, Options serverOptions, QObject* parent)
    : QAbstractHttpServer(parent), options(serverOptions), service(db, serverOptions.service),
      dispatcher(service)
{}

bool AppServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    if (request.url().path() != modulePath()) {
        qCWarning(lcAppServer) << "unknown module" << request.url().path();
        responder.write(RpcDispatcher::errorBody(
                            QJsonValue::Null, RpcDispatcher::MethodNotFound,
                            QStringLiteral("Módulo desconhecido: \"%1\"; este servidor publica "
                                           "%2.")
                                .arg(request.url().path().mid(1),
                                     QString::fromLatin1(RpcDispatcher::ModuleName))),
                        jsonType, QHttpServerResponder::StatusCode::NotFound);
        return true;
    }
    if (request.method() == QHttpServerRequest::Method::Get) {
        responder.write(QJsonDocument(RpcDispatcher::describe()).toJson(QJsonDocument::Compact),
                        jsonType);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Post) {
        responder.write(RpcDispatcher::errorBody(QJsonValue::Null, RpcDispatcher::InvalidRequest,
                                                 QStringLiteral("Use POST para chamar um "
                                                                "método.")),
                        jsonType, QHttpServerResponder::StatusCode::MethodNotAllowed);
        return true;
    }
    const QByteArray body = request.body();
    if (body.size() > options.maxBodyBytes) {
        qCWarning(lcAppServer) << "request refused:" << body.size() << "bytes, limit"
                               << options.maxBodyBytes;
        responder.write(RpcDispatcher::errorBody(
                            QJsonValue::Null, RpcDispatcher::InvalidRequest,
                            QStringLiteral("Requisição de %1 bytes passa do limite de %2 bytes.")
                                .arg(body.size())
                                .arg(options.maxBodyBytes)),
                        jsonType, QHttpServerResponder::StatusCode::PayloadTooLarge);
        return true;
    }
    QElapsedTimer timer;
    timer.start();
    const RpcDispatcher::Answer answer = dispatcher.handle(body);
    const QString ms = QString::number(double(timer.nsecsElapsed()) / 1e6, 'f', 2);
    const QString method = answer.method.isEmpty() ? QStringLiteral("-") : answer.method;
    if (answer.ok)
        qCInfo(lcAppServer).noquote()
            << QStringLiteral("%1 rows=%2 ms=%3").arg(method).arg(answer.rows).arg(ms);
    else
        qCWarning(lcAppServer).noquote()
            << QStringLiteral("%1 failed ms=%2: %3").arg(method).arg(ms).arg(answer.failure);
    responder.write(answer.body, jsonType);
    return true;
}

void AppServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
