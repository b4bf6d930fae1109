#include "AppServer.h"

#include "RpcDispatcher.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QNetworkInterface>
#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <microhttpd.h>
#include <optional>
#include <sys/socket.h>
#include <vector>

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
    Caller caller;
    QByteArray body;
    bool tooLarge = false;
};

// One connection's clock: when its current request began to be awaited, and whether its
// headers have arrived.
struct AppServer::Connection
{
    int socket = -1;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
    bool headersIn = false;
    bool serving = false; // the request is whole: no deadline while it is served
    bool closed = false;  // shut down by the watchdog
};

namespace {

// Moves a connection's clock on, under the server's lock.
void advance(std::mutex& mutex, MHD_Connection* connection, bool headersIn, bool serving)
{
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    auto* clock = info ? static_cast<AppServer::Connection*>(info->socket_context) : nullptr;
    if (!clock)
        return;
    const std::lock_guard lock(mutex);
    if (!clock->headersIn || !headersIn)
        clock->since = std::chrono::steady_clock::now();
    clock->headersIn = headersIn;
    clock->serving = serving;
}

} // namespace

// The library's callbacks, in its own types.
struct AppServerCallbacks
{
    static void onConnection(void* self, MHD_Connection* connection, void** context,
                             MHD_ConnectionNotificationCode code);
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
    {
        const std::lock_guard lock(connectionsMutex);
        stopping = true;
    }
    stopWatching.notify_all();
    if (watchdog.joinable())
        watchdog.join();
    if (daemon)
        MHD_stop_daemon(daemon);
}

void AppServer::watchDeadlines()
{
    using namespace std::chrono;
    const seconds headers(options.idleTimeoutSeconds);
    const seconds body = headers * 5;
    std::unique_lock lock(connectionsMutex);
    while (!stopWatching.wait_for(lock, milliseconds(500), [this] { return stopping; })) {
        const auto now = steady_clock::now();
        for (Connection* connection : connections) {
            if (connection->closed || connection->serving ||
                now - connection->since < (connection->headersIn ? body : headers))
                continue;
            qCWarning(lcAppServer) << "connection closed: request not whole in time";
            // The connection's own thread sees the end of the stream and closes it.
            ::shutdown(connection->socket, SHUT_RDWR);
            connection->closed = true;
        }
    }
}

void AppServerCallbacks::onConnection(void* self, MHD_Connection* connection, void** context,
                                      MHD_ConnectionNotificationCode code)
{
    auto& server = *static_cast<AppServer*>(self);
    const std::lock_guard lock(server.connectionsMutex);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto* clock = new AppServer::Connection;
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        clock->socket = info ? info->connect_fd : -1;
        server.connections.insert(clock);
        *context = clock;
    } else if (auto* clock = static_cast<AppServer::Connection*>(*context)) {
        server.connections.erase(clock);
        delete clock;
        *context = nullptr;
    }
}

quint16 AppServer::listen(const QHostAddress& address, quint16 port)
{
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    sockaddr* where = nullptr;
    unsigned flags = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        where = reinterpret_cast<sockaddr*>(&v6);
        flags |= MHD_USE_IPv6;
    } else {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        v4.sin_addr.s_addr = htonl(address.toIPv4Address());
        where = reinterpret_cast<sockaddr*>(&v4);
    }
    // The names a request may give in its Host header: the address listened on, the loopback
    // names on loopback, every address of this machine when listening on all of them, and
    // those configured.
    QList<QHostAddress> addresses{address};
    if (address.isLoopback())
        allowedHosts << QStringLiteral("localhost");
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 ||
        address == QHostAddress::Any)
        addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& one : addresses)
        allowedHosts << (one.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + one.toString() + QLatin1Char(']')
                             : one.toString());
    if (address.isLoopback())
        allowedHosts << QStringLiteral("127.0.0.1") << QStringLiteral("[::1]");
    for (const QString& host : options.hosts)
        allowedHosts << host.trimmed().toLower();

    // A thread per connection, so that a call waiting for a worker never holds another
    // connection's reading or writing; poll(), so that descriptor numbers have no ceiling.
    flags |= MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL |
             MHD_USE_ERROR_LOG;
    std::vector<MHD_OptionItem> items{
        {MHD_OPTION_EXTERNAL_LOGGER, reinterpret_cast<intptr_t>(&logLibraryMessage), nullptr},
        {MHD_OPTION_SOCK_ADDR, 0, where},
        {MHD_OPTION_CONNECTION_LIMIT, intptr_t(options.connectionLimit), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, intptr_t(options.idleTimeoutSeconds), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, 64 * 1024, nullptr},
        {MHD_OPTION_THREAD_STACK_SIZE, 1024 * 1024, nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&AppServerCallbacks::onCompleted),
         this},
        {MHD_OPTION_NOTIFY_CONNECTION,
         reinterpret_cast<intptr_t>(&AppServerCallbacks::onConnection), this},
    };
    // The library reads the PEM texts as C strings.
    const QByteArray key = options.tlsKey + '\0';
    const QByteArray cert = options.tlsCert + '\0';
    if (!options.tlsCert.isEmpty()) {
        flags |= MHD_USE_TLS;
        items.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(key.constData())});
        items.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(cert.constData())});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});
    daemon = MHD_start_daemon(flags, port, nullptr, nullptr, &AppServerCallbacks::onRequest, this,
                              MHD_OPTION_ARRAY, items.data(), MHD_OPTION_END);
    if (!daemon)
        return 0;
    watchdog = std::thread([this] { watchDeadlines(); });
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : port;
}

QString AppServer::printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

bool AppServer::hostAllowed(const QByteArray& host) const
{
    QString name = QString::fromLatin1(host).trimmed().toLower();
    // Without the port: after the last colon outside the brackets of an IPv6 address.
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon > name.lastIndexOf(QLatin1Char(']')))
        name.truncate(colon);
    return !name.isEmpty() && allowedHosts.contains(name);
}

std::optional<AppServer::Reply> AppServer::admit(MHD_Connection* connection,
                                                 const QByteArray& method) const
{
    const auto header = [connection](const char* name) {
        return QByteArray(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name));
    };
    const auto refusal = [](unsigned status, const QString& text) {
        return Reply{status, RpcDispatcher::errorBody(QJsonValue::Null,
                                                      RpcDispatcher::InvalidRequest, text)};
    };
    if (!hostAllowed(header(MHD_HTTP_HEADER_HOST))) {
        qCWarning(lcAppServer).noquote()
            << "request refused: foreign Host"
            << printable(QString::fromLatin1(header(MHD_HTTP_HEADER_HOST).left(200)));
        return refusal(MHD_HTTP_MISDIRECTED_REQUEST,
                       QStringLiteral("Endereço do servidor de aplicação não reconhecido no "
                                      "cabeçalho Host."));
    }
    if (!options.token.isEmpty()) {
        const QByteArray expected = "Bearer " + options.token;
        const QByteArray given = header(MHD_HTTP_HEADER_AUTHORIZATION);
        // In constant time: the comparison says nothing of how much of the token matched.
        unsigned char difference = given.size() == expected.size() ? 0 : 1;
        for (qsizetype i = 0; i < expected.size(); ++i)
            difference |= (i < given.size() ? given.at(i) : 0) ^ expected.at(i);
        if (difference != 0) {
            qCWarning(lcAppServer) << "request refused: no valid token";
            return refusal(MHD_HTTP_UNAUTHORIZED,
                           QStringLiteral("Acesso negado: a chamada não traz o token de acesso "
                                          "do servidor de aplicação."));
        }
    }
    // One framing of the body: two lengths, or a length and chunks, may be read differently
    // by a proxy in between.
    int lengths = 0;
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* count, MHD_ValueKind, const char* key, const char*) {
            if (qstricmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0)
                ++*static_cast<int*>(count);
            return MHD_YES;
        },
        &lengths);
    if (lengths > 1 || (lengths == 1 && !header(MHD_HTTP_HEADER_TRANSFER_ENCODING).isNull()))
        return refusal(MHD_HTTP_BAD_REQUEST,
                       QStringLiteral("Requisição ambígua: o tamanho do corpo foi declarado "
                                      "mais de uma vez."));
    if (method != MHD_HTTP_METHOD_POST)
        return std::nullopt;
    const QByteArray type = header(MHD_HTTP_HEADER_CONTENT_TYPE).split(';').first().trimmed();
    if (type.compare("application/json", Qt::CaseInsensitive) != 0)
        return refusal(MHD_HTTP_UNSUPPORTED_MEDIA_TYPE,
                       QStringLiteral("As chamadas devem ser enviadas como application/json."));
    if (const QByteArray length = header(MHD_HTTP_HEADER_CONTENT_LENGTH); !length.isNull()) {
        bool valid = false;
        const qlonglong declared = length.trimmed().toLongLong(&valid);
        if (!valid || declared < 0 || declared > options.maxBodyBytes) {
            qCWarning(lcAppServer)
                << "request refused: body over the limit of" << options.maxBodyBytes << "bytes";
            return refusal(MHD_HTTP_CONTENT_TOO_LARGE,
                           QStringLiteral("Requisição passa do limite de %1 bytes.")
                               .arg(options.maxBodyBytes));
        }
    }
    return std::nullopt;
}

MHD_Result AppServerCallbacks::onRequest(void* self, MHD_Connection* connection, const char* url,
                                         const char* method, const char*, const char* upload,
                                         size_t* uploadSize, void** state)
{
    auto& server = *static_cast<AppServer*>(self);
    auto* request = static_cast<AppServer::Request*>(*state);
    std::optional<AppServer::Reply> early;
    if (!request) {
        // The headers have arrived: a request refused by them is answered before any of its
        // body is read, and the connection is then closed.
        request = new AppServer::Request;
        *state = request;
        advance(server.connectionsMutex, connection, true, false);
        early = server.admit(connection, QByteArray(method));
        request->caller = {
            Caller::decode(MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                       Caller::UserHeader)),
            Caller::decode(MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                       Caller::HostHeader))};
        if (!early)
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
    if (request->tooLarge && !early) // a chunked body past the limit: dropped mid-way
        return MHD_NO;
    advance(server.connectionsMutex, connection, true, true);
    const AppServer::Reply reply =
        early ? *early : server.answer(QByteArray(url), QByteArray(method), *request);
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.empty ? 0 : size_t(reply.body.size()), const_cast<char*>(reply.body.constData()),
        MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    if (!reply.empty)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                                "application/json; charset=utf-8");
    if (reply.status == MHD_HTTP_UNAUTHORIZED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer");
    if (early)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return queued;
}

void AppServerCallbacks::onCompleted(void* self, MHD_Connection* connection, void** state,
                                     MHD_RequestTerminationCode)
{
    // The next request of a kept connection is awaited from now.
    advance(static_cast<AppServer*>(self)->connectionsMutex, connection, false, false);
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
        qCWarning(lcAppServer).noquote()
            << "unknown module" << printable(QString::fromUtf8(path.left(200)));
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
    return call(request.body, request.caller);
}

AppServer::Reply AppServer::call(const QByteArray& body, const Caller& caller)
{
    QElapsedTimer timer;
    timer.start();
    const RpcDispatcher::Answer answer = workers.call(body, caller);
    const QString ms = QString::number(double(timer.nsecsElapsed()) / 1e6, 'f', 2);
    const QString method = answer.method.isEmpty() ? QStringLiteral("-") : answer.method;
    if (answer.ok)
        qCInfo(lcAppServer).noquote()
            << QStringLiteral("%1 rows=%2 ms=%3").arg(method).arg(answer.rows).arg(ms);
    else
        qCWarning(lcAppServer).noquote() << printable(QStringLiteral("%1 failed ms=%2: %3")
                                                          .arg(method)
                                                          .arg(ms)
                                                          .arg(answer.failure.left(500)));
    if (answer.silent)
        return Reply{MHD_HTTP_NO_CONTENT, {}, true};
    return Reply{MHD_HTTP_OK, answer.body};
}
