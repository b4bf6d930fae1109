#pragma once

// Test support: the real application server (RpcDispatcher over InvoiceService on a real
// database), in the test's process, that keeps every call it received as it came off the wire.
// A test may make one method report a failure to the user, and may change a by-reference value
// in an answer, as a server is free to do.

#include "RpcDispatcher.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>

class RecordingServer : public QAbstractHttpServer
{
public:
    struct Call
    {
        QString method;
        QJsonArray params;
    };

    explicit RecordingServer(const QSqlDatabase& db) : service(db), dispatcher(service) {}

    QList<Call> calls;
    // Methods that answer {"ok":false,"message":failureText}.
    QSet<QString> failing;
    QString failureText = QStringLiteral("Falha simulada do servidor.");
    // By-reference values (0-based among the by-reference arguments) the server writes back,
    // per method.
    QMap<QString, QMap<int, QString>> writeBack;

    QStringList methods() const
    {
        QStringList names;
        for (const Call& call : calls)
            names << call.method;
        return names;
    }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        static const QByteArray json = "application/json";
        if (request.method() == QHttpServerRequest::Method::Get) {
            responder.write(QJsonDocument(RpcDispatcher::describe()).toJson(), json);
            return true;
        }
        const QJsonObject call = QJsonDocument::fromJson(request.body()).object();
        const QString method = call.value(QStringLiteral("method")).toString();
        calls.append({method, call.value(QStringLiteral("params")).toArray()});
        if (failing.contains(method)) {
            const QJsonObject answer{
                {QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                {QStringLiteral("id"), call.value(QStringLiteral("id"))},
                {QStringLiteral("result"), QJsonObject{{QStringLiteral("ok"), false},
                                                       {QStringLiteral("message"), failureText}}}};
            responder.write(QJsonDocument(answer).toJson(), json);
            return true;
        }
        QByteArray body = dispatcher.handle(request.body()).body;
        if (writeBack.contains(method)) {
            QJsonObject answer = QJsonDocument::fromJson(body).object();
            QJsonObject result = answer.value(QStringLiteral("result")).toObject();
            QJsonArray byref = result.value(QStringLiteral("byref")).toArray();
            const QMap<int, QString>& values = writeBack.value(method);
            for (auto it = values.begin(); it != values.end(); ++it)
                byref[it.key()] = it.value();
            result.insert(QStringLiteral("byref"), byref);
            answer.insert(QStringLiteral("result"), result);
            body = QJsonDocument(answer).toJson();
        }
        responder.write(body, json);
        return true;
    }

    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
    }

private:
    InvoiceService service;
    RpcDispatcher dispatcher;
};
