#include "HttpChannel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <utility>

namespace {

// One answer as it arrives: the head is read once it is whole, then the body by its
// length, by its chunks, or up to the end of the connection.
class AnswerReader
{
public:
    QByteArray data;

    // True when the whole answer has arrived.
    bool complete()
    {
        if (headEnd < 0 && !readHead())
            return false;
        if (chunked)
            return readChunks();
        if (length >= 0)
            return data.size() - bodyStart >= length;
        return false; // the body ends with the connection
    }

    int status = 0;
    bool keepAlive = true;

    // The body as it stands (what arrived, for an answer cut short); takes the data.
    QByteArray takeBody()
    {
        if (headEnd < 0)
            return {};
        if (chunked)
            return std::move(decoded);
        QByteArray text = std::move(data);
        text.remove(0, bodyStart);
        if (length >= 0 && text.size() > length)
            text.truncate(length);
        return text;
    }

private:
    bool readHead()
    {
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        headEnd = end;
        bodyStart = end + 4;
        const QList<QByteArray> lines = data.left(end).split('\n');
        const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
        status = statusLine.value(1).toInt();
        keepAlive = statusLine.value(0) != "HTTP/1.0";
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = lines.at(i).left(colon).trimmed().toLower();
            const QByteArray value = lines.at(i).mid(colon + 1).trimmed().toLower();
            if (name == "content-length")
                length = value.toLongLong();
            else if (name == "transfer-encoding")
                chunked = value.contains("chunked");
            else if (name == "connection")
                keepAlive = value != "close";
        }
        if (length < 0 && !chunked)
            keepAlive = false;
        if (length > 0)
            data.reserve(bodyStart + length); // a packet of many megabytes grows once
        chunkAt = bodyStart;
        return true;
    }

    // Decodes the chunks that have arrived whole; true after the last (empty) one.
    bool readChunks()
    {
        for (;;) {
            const qsizetype lineEnd = data.indexOf("\r\n", chunkAt);
            if (lineEnd < 0)
                return false;
            bool ok = false;
            const qsizetype size = data.mid(chunkAt, lineEnd - chunkAt)
                                       .split(';')
                                       .value(0)
                                       .trimmed()
                                       .toLongLong(&ok, 16);
            if (!ok || size < 0) {
                keepAlive = false; // damaged: the body ends here
                return true;
            }
            if (size == 0)
                return data.indexOf("\r\n", lineEnd + 2) >= 0;
            if (data.size() < lineEnd + 2 + size + 2)
                return false;
            decoded.append(data.constData() + lineEnd + 2, size);
            chunkAt = lineEnd + 2 + size + 2;
        }
    }

    qsizetype headEnd = -1;
    qsizetype bodyStart = 0;
    qint64 length = -1;
    bool chunked = false;
    qsizetype chunkAt = 0;
    QByteArray decoded;
};

// The host as the Host header names it: an IPv6 address in brackets.
QByteArray hostHeader(const QString& host)
{
    const QByteArray name = host.toUtf8();
    return name.contains(':') && !name.startsWith('[') ? '[' + name + ']' : name;
}

} // namespace

HttpChannel::HttpChannel() = default;
HttpChannel::~HttpChannel() = default;

void HttpChannel::close()
{
    // Not under a waiting exchange's feet: it closes the connection once it has its answer.
    if (busy)
        closing = true;
    else
        socket.reset();
}

void HttpChannel::open(const Endpoint& endpoint)
{
    socketEndpoint = endpoint;
    if (endpoint.tls) {
        auto tls = std::make_unique<QSslSocket>();
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        if (!endpoint.caFile.isEmpty())
            configuration.setCaCertificates(QSslCertificate::fromPath(endpoint.caFile));
        tls->setSslConfiguration(configuration);
        socket = std::move(tls);
    } else {
        socket = std::make_unique<QTcpSocket>();
    }
    socket->setProxy(QNetworkProxy::NoProxy);
    QTcpSocket* raw = socket.get();
    // Each request goes out as soon as it is written, not held back for an acknowledgement.
    QObject::connect(raw, &QTcpSocket::connected, raw,
                     [raw] { raw->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    if (auto* tls = qobject_cast<QSslSocket*>(raw))
        tls->connectToHostEncrypted(endpoint.host, endpoint.port);
    else
        socket->connectToHost(endpoint.host, endpoint.port);
}

HttpChannel::Answer HttpChannel::exchange(const Endpoint& endpoint, const QByteArray& path,
                                          const QByteArray& body, int timeoutMs)
{
    // A call made by an event handled while this channel waits for its own answer: the
    // kept connection is taken, so the inner call has a connection of its own.
    if (busy) {
        HttpChannel inner;
        return inner.exchange(endpoint, path, body, timeoutMs);
    }
    busy = true;
    const auto idle = qScopeGuard([this] {
        busy = false;
        if (std::exchange(closing, false))
            socket.reset();
    });

    QByteArray head = (body.isNull() ? QByteArrayLiteral("GET ") : QByteArrayLiteral("POST ")) +
                      path + " HTTP/1.1\r\nHost: " + hostHeader(endpoint.host) + ':' +
                      QByteArray::number(endpoint.port) + "\r\n";
    if (!endpoint.token.isEmpty())
        head += "Authorization: Bearer " + endpoint.token + "\r\n";
    for (const auto& [name, value] : endpoint.headers)
        head += name + ": " + value + "\r\n";
    if (!body.isNull())
        head += "Content-Type: application/json; charset=utf-8\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\n";
    head += "\r\n";

    if (socket && !(socketEndpoint == endpoint))
        socket.reset();
    // A kept connection may have been closed by the server while idle: that shows once its
    // pending events are read.
    if (socket && socket->state() == QAbstractSocket::ConnectedState)
        socket->waitForReadyRead(0);
    const bool reused = socket && socket->state() == QAbstractSocket::ConnectedState;
    if (reused)
        socket->readAll(); // nothing belongs to the coming answer
    else
        socket.reset();

    QElapsedTimer clock;
    clock.start();
    if (!socket)
        open(endpoint);
    Answer answer = once(head, body, timeoutMs);
    if (reused && answer.status == 0 && !answer.timedOut &&
        answer.error == QAbstractSocket::RemoteHostClosedError) {
        open(endpoint);
        answer = once(head, body, std::max(1, timeoutMs - int(clock.elapsed())));
    }
    return answer;
}

HttpChannel::Answer HttpChannel::once(const QByteArray& head, const QByteArray& body, int timeoutMs)
{
    Answer answer;
    AnswerReader reader;
    bool done = false;
    bool closed = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    {
        // The connections end with this scope: the socket outlives the call.
        QObject scope;
        const auto take = [&] {
            reader.data.append(socket->readAll());
            if (reader.complete()) {
                done = true;
                loop.quit();
            }
        };
        QObject::connect(socket.get(), &QTcpSocket::readyRead, &scope, take);
        QObject::connect(socket.get(), &QTcpSocket::disconnected, &scope, [&] {
            closed = true;
            loop.quit();
        });
        QObject::connect(socket.get(), &QTcpSocket::errorOccurred, &scope,
                         [&](QAbstractSocket::SocketError error) {
                             answer.error = error;
                             answer.errorText = socket->errorString();
                             if (error != QAbstractSocket::RemoteHostClosedError)
                                 closed = true;
                             loop.quit();
                         });
        QObject::connect(&timer, &QTimer::timeout, &scope, [&] {
            answer.timedOut = true;
            loop.quit();
        });
        if (body.size() < 65536) {
            socket->write(head + body);
        } else {
            socket->write(head);
            socket->write(body);
        }
        timer.start(timeoutMs);
        while (!done && !closed && !answer.timedOut &&
               socket->state() != QAbstractSocket::UnconnectedState)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        timer.stop();
        if (!done && !answer.timedOut && socket->bytesAvailable() > 0)
            take();
    }
    if (!done && !answer.timedOut && answer.error == QAbstractSocket::UnknownSocketError)
        answer.error = QAbstractSocket::RemoteHostClosedError;
    if (reader.complete() || reader.status > 0) {
        answer.status = reader.status;
        answer.body = reader.takeBody();
    }
    if (!done || !reader.keepAlive)
        socket.reset();
    return answer;
}
