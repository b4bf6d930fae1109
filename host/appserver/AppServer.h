#pragma once

#include "ServerDatabase.h"
#include "ServerWorkers.h"

#include <QByteArray>
#include <QHostAddress>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAppServer)

struct MHD_Connection;
struct MHD_Daemon;

// The HTTP face of the application server: POST /FAS10000.rdmBCRInvoice carries one
// JSON-RPC call, GET on the same path answers the module's name and methods (the client's
// handshake). The HTTP/1.1 layer is GNU libmicrohttpd, made for serving untrusted clients: a
// thread per connection up to a limit, an inactivity timeout, bounded header memory; the
// body is counted while it arrives. The calls themselves run on the workers (ServerWorkers).
// One line per call goes to the log: method, rows, milliseconds, and the failure.
class AppServer
{
public:
    struct Options
    {
        qsizetype maxBodyBytes = 64 * 1024 * 1024; // a whole invoice packet fits many times
        unsigned connectionLimit = 256;
        unsigned idleTimeoutSeconds = 60;
        ServerWorkers::Options workers;
    };

    AppServer(const ServerDatabase& database, Options options);
    ~AppServer();
    AppServer(const AppServer&) = delete;
    AppServer& operator=(const AppServer&) = delete;

    // Starts serving; returns the port (the one chosen when `port` is 0), or 0 when the
    // address cannot be listened on.
    quint16 listen(const QHostAddress& address, quint16 port);

private:
    friend struct AppServerCallbacks;
    struct Request;
    struct Reply
    {
        unsigned status = 200;
        QByteArray body;
    };

    // The answer to a request whose headers (and, for a call, whole body) have arrived.
    Reply answer(const QByteArray& path, const QByteArray& method, const Request& request);
    Reply call(const QByteArray& body);

    const Options options;
    ServerWorkers workers;
    MHD_Daemon* daemon = nullptr;
};
