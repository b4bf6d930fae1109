#include "AppServer.h"

#include "RpcDispatcher.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <arpa/inet.h>
#include <cstring>
#include <microhttpd.h>

Q_LOGGING_CATEGORY(lcAppServer, "fas.appserver")

namespace {

const QByteArray modulePath = QByteArrayLiteral("/") + RpcDispatcher::ModuleName;

void logLibraryMessage(void*, const char* format, va_list arguments)
{
    qCWarning(lcAppServer).noquote() << "http:" << QString::vasprintf(format, arguments).trimmed();
}

} // namespace

// What one request has brought so far.
struct AppServer::Request
{
    QByteArray body;
    bool tooLarge = false;
};

// The library's callbacks, in its own types.
struct AppServerCallbacks
{
    static MHD_Result onRequest(void* self, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* upload,
                                size_t* uploadSize, void** state);
    static void onCompleted(void* self, MHD_Connection* connection, void** state,
                            MHD_RequestTerminationCode why);
};

AppServer::AppServer(const ServerDatabase& database, Options serverOptions)
    : options(serverOptions), workers(database, serverOptions.workers)
{}

AppServer::~AppServer()
{
    if (daemon)
        MHD_stop_daemon(daemon);
}

quint16 AppServer::listen(const QHostAddress& address, quint16 port)
{
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    sockaddr* where = nullptr;
    unsigned family = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        where = reinterpret_cast<sockaddr*>(&v6);
        family = MHD_USE_IPv6;
    } else {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr.s_addr = htonl(address.toIPv4Address());
        where = reinterpret_cast<sockaddr*>(&v4);
    }
    // A thread per connection, so that a call waiting for a worker never holds another
    // connection's reading or writing; poll(), so that descriptor numbers have no ceiling.
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION |
                           MHD_USE_POLL | MHD_USE_ERROR_LOG | family;
    daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr, &AppServerCallbacks::onRequest, this,
        MHD_OPTION_EXTERNAL_LOGGER, &logLibraryMessage, nullptr, MHD_OPTION_SOCK_ADDR, where,
        MHD_OPTION_CONNECTION_LIMIT, options.connectionLimit, MHD_OPTION_CONNECTION_TIMEOUT,
        options.idleTimeoutSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(64 * 1024),
        MHD_OPTION_THREAD_STACK_SIZE, size_t(1024 * 1024), MHD_OPTION_NOTIFY_COMPLETED,
        &AppServerCallbacks::onCompleted, this, MHD_OPTION_END);
    if (!daemon)
        return 0;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : port;
}

MHD_Result AppServerCallbacks::onRequest(void* self, MHD_Connection* connection, const char* url,
                                         const char* method, const char*, const char* upload,
                                         size_t* uploadSize, void** state)
{
    auto& server = *static_cast<AppServer*>(self);
    auto* request = static_cast<AppServer::Request*>(*state);
    if (!request) {
        // The headers have arrived. A declared body over the limit is refused before any of it
        // is read.
        request = new AppServer::Request;
        *state = request;
        if (const char* length =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length")) {
            bool valid = false;
            const qlonglong declared = QByteArray(length).toLongLong(&valid);
            request->tooLarge = !valid || declared > server.options.maxBodyBytes;
        }
        if (!request->tooLarge)
            return MHD_YES;
    } else if (*uploadSize > 0) {
        // The body, counted while it arrives (chunks too).
        if (!request->tooLarge) {
            if (request->body.size() + qsizetype(*uploadSize) > server.options.maxBodyBytes) {
                request->tooLarge = true;
                request->body = QByteArray();
            } else {
                request->body.append(upload, qsizetype(*uploadSize));
            }
        }
        *uploadSize = 0;
        if (!request->tooLarge)
            return MHD_YES;
    }
    const AppServer::Reply reply = server.answer(QByteArray(url), QByteArray(method), *request);
    MHD_Response* response = MHD_create_response_from_buffer(
        size_t(reply.body.size()), const_cast<char*>(reply.body.constData()),
        MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                            "application/json; charset=utf-8");
    if (request->tooLarge)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return queued;
}

void AppServerCallbacks::onCompleted(void*, MHD_Connection*, void** state,
                                     MHD_RequestTerminationCode)
{
    delete static_cast<AppServer::Request*>(*state);
    *state = nullptr;
}

AppServer::Reply AppServer::answer(const QByteArray& path, const QByteArray& method,
                                   const Request& request)
{
    const auto refusal = [](unsigned status, int code, const QString& text) {
        return Reply{status, RpcDispatcher::errorBody(QJsonValue::Null, code, text)};
    };
    if (path != modulePath) {
        qCWarning(lcAppServer) << "unknown module" << path.left(200);
        return refusal(MHD_HTTP_NOT_FOUND, RpcDispatcher::MethodNotFound,
                       QStringLiteral("Módulo desconhecido: \"%1\"; este servidor publica %2.")
                           .arg(QString::fromUtf8(path.mid(1, 200)),
                                QString::fromLatin1(RpcDispatcher::ModuleName)));
    }
    if (method == MHD_HTTP_METHOD_GET)
        return Reply{MHD_HTTP_OK,
                     QJsonDocument(RpcDispatcher::describe()).toJson(QJsonDocument::Compact)};
    if (method != MHD_HTTP_METHOD_POST)
        return refusal(MHD_HTTP_METHOD_NOT_ALLOWED, RpcDispatcher::InvalidRequest,
                       QStringLiteral("Use POST para chamar um método."));
    if (request.tooLarge) {
        qCWarning(lcAppServer) << "request refused: over the limit of" << options.maxBodyBytes
                               << "bytes";
        return refusal(
            MHD_HTTP_CONTENT_TOO_LARGE, RpcDispatcher::InvalidRequest,
            QStringLiteral("Requisição passa do limite de %1 bytes.").arg(options.maxBodyBytes));
    }
    return call(request.body);
}

AppServer::Reply AppServer::call(const QByteArray& body)
{
    QElapsedTimer timer;
    timer.start();
    const RpcDispatcher::Answer answer = workers.call(body);
    const QString ms = QString::number(double(timer.nsecsElapsed()) / 1e6, 'f', 2);
    const QString method = answer.method.isEmpty() ? QStringLiteral("-") : answer.method;
    if (answer.ok)
        qCInfo(lcAppServer).noquote()
            << QStringLiteral("%1 rows=%2 ms=%3").arg(method).arg(answer.rows).arg(ms);
    else
        qCWarning(lcAppServer).noquote()
            << QStringLiteral("%1 failed ms=%2: %3").arg(method).arg(ms).arg(answer.failure);
    return Reply{MHD_HTTP_OK, answer.body};
}
