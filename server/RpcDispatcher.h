#pragma once

#include "InvoiceService.h"
#include "RemoteMethods.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The remote data module "FAS10000.rdmBCRInvoice" on the wire: reads one JSON-RPC 2.0
// request in one pass over its text (a data packet inside it stays text), checks the method
// and every argument's type code against RemoteMethods, calls the service and writes the
// answer. A request that cannot be understood gets a
// JSON-RPC error; a failure the user must see gets {"ok":false,"message":…}.
class RpcDispatcher
{
public:
    static constexpr const char* ModuleName = RemoteMethods::ModuleName;

    struct Answer
    {
        QByteArray body;
        QString method;      // empty when the request named none that exists
        qsizetype rows = -1; // rows delivered (GetInvoice, GetItem)
        bool ok = false;     // false for JSON-RPC errors and reported failures
        QString failure;     // what went wrong, for the log
        // A notification (a request without an id) or a batch of them: run, and answered with
        // nothing (HTTP 204; the body, if any, is not sent).
        bool silent = false;
    };

    // JSON-RPC error codes.
    enum ErrorCode {
        ParseError = -32700,
        InvalidRequest = -32600,
        MethodNotFound = -32601,
        InvalidParams = -32602,
        InternalError = -32603,
    };

    explicit RpcDispatcher(InvoiceService& service) : service(service) {}

    // One request, or a batch (a JSON array of requests) answered with the array of the
    // answers to its requests that have an id; `caller` is who the history records.
    Answer handle(const QByteArray& body, const Caller& caller = {});

    // A failure the user must see ({"ok":false,"message":…}) as the answer to a request that
    // was not run (no database, no free worker): the request's id and method are read from
    // it where it has them.
    static Answer refuse(const QByteArray& body, const QString& message);

    // The handshake (RemoteMethods::describe).
    static QJsonObject describe();
    static QByteArray errorBody(const QJsonValue& id, int code, const QString& message);

private:
    Answer dispatch(const QByteArray& body);
    Answer batch(const QByteArray& body);
    static Answer internalError(const QString& detail);

    InvoiceService& service;
};
