#pragma once

#include "ServerDatabase.h"
#include "ServerWorkers.h"

#include <QByteArray>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QStringList>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

Q_DECLARE_LOGGING_CATEGORY(lcAppServer)

struct MHD_Connection;
struct MHD_Daemon;

// The HTTP face of the application server: POST /FAS10000.rdmBCRInvoice carries one
// JSON-RPC call (or a batch), GET on the same path answers the module's name and methods (the
// client's handshake). The HTTP/1.1 layer is GNU libmicrohttpd, made for serving untrusted
// clients: a thread per connection up to a limit, an inactivity timeout, bounded header
// memory, TLS. The calls themselves run on the workers (ServerWorkers).
//
// Before a byte of a body is read, a request must name this server in its Host header, carry
// the bearer token when one is configured, declare its body once (one Content-Length, or
// chunks), and, for a call, be `application/json` within the body limit: so no web page the
// clerk opens can reach the server (a cross-origin form or text/plain POST, a rebound DNS
// name). One line per call goes to the log, with control characters escaped.
class AppServer
{
public:
    struct Options
    {
        qsizetype maxBodyBytes = 64 * 1024 * 1024; // a whole invoice packet fits many times
        unsigned connectionLimit = 256;
        unsigned idleTimeoutSeconds = 60;
        QByteArray token;   // empty: calls need no token (loopback only)
        QByteArray tlsCert; // PEM; with the key: HTTPS
        QByteArray tlsKey;
        QStringList hosts; // names clients may reach the server by, besides its address
        ServerWorkers::Options workers;
    };

    AppServer(const ServerDatabase& database, Options options);
    ~AppServer();
    AppServer(const AppServer&) = delete;
    AppServer& operator=(const AppServer&) = delete;

    // Starts serving; returns the port (the one chosen when `port` is 0), or 0 when the
    // address cannot be listened on.
    quint16 listen(const QHostAddress& address, quint16 port);

    // A text for the log: control characters (a forged line break) written as \xNN.
    static QString printable(const QString& text);

    struct Connection; // a connection's clock (AppServer.cpp)

private:
    friend struct AppServerCallbacks;
    struct Request;
    struct Reply
    {
        unsigned status = 200;
        QByteArray body;
        bool empty = false; // 204: nothing to answer (notifications)
    };

    // A request refused from its headers alone, or nothing.
    std::optional<Reply> admit(MHD_Connection* connection, const QByteArray& method) const;
    bool hostAllowed(const QByteArray& host) const;
    // The answer to a request whose headers (and, for a call, whole body) have arrived.
    Reply answer(const QByteArray& path, const QByteArray& method, const Request& request);
    Reply call(const QByteArray& body, const Caller& caller);

    // Closes the connections whose request is late: its headers not whole within the idle
    // timeout of the connection's start or its last answer (a sender trickling a byte at a
    // time never lets the idle timeout run out), its body not whole within five times that.
    void watchDeadlines();

    const Options options;
    QStringList allowedHosts; // lower case, without ports
    ServerWorkers workers;
    std::mutex connectionsMutex;
    std::set<Connection*> connections;
    std::condition_variable stopWatching;
    bool stopping = false;
    std::thread watchdog;
    MHD_Daemon* daemon = nullptr;
};
