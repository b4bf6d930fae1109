#pragma once

#include "InvoiceService.h"
#include "RpcDispatcher.h"

#include <QAbstractHttpServer>
#include <QLoggingCategory>
#include <QSqlDatabase>

Q_DECLARE_LOGGING_CATEGORY(lcAppServer)

// The HTTP face of the application server: POST /FAS10000.rdmBCRInvoice carries one
// JSON-RPC call, GET on the same path answers the module's name and methods (the client's
// handshake). One line per call goes to the log: method, rows, milliseconds, and the failure.
class AppServer : public QAbstractHttpServer
{
public:
    struct Options
    {
        qsizetype maxBodyBytes = 64 * 1024 * 1024; // a whole invoice packet fits many times
        InvoiceService::Options service;
    };

    AppServer(const QSqlDatabase& db, Options options, QObject* parent = nullptr);
    explicit AppServer(const QSqlDatabase& db, QObject* parent = nullptr)
        : AppServer(db, Options{}, parent)
    {}

    // Tests: change the fault injection of the running server.
    void setServiceOptions(InvoiceService::Options options) { service.setOptions(options); }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Options options;
    InvoiceService service;
    RpcDispatcher dispatcher;
};
