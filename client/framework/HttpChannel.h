#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <utility>

class QTcpSocket;

// One HTTP/1.1 connection to a server, kept open from request to request: a request is
// written whole and its answer read in a local event loop that excludes user input, so the
// calling thread goes on serving its timers and its other sockets (the busy animation, a
// server in the same process) while it waits. Everything happens on the caller's thread;
// nothing is copied between threads.
class HttpChannel
{
public:
    struct Answer
    {
        int status = 0;  // 0: no status line arrived
        QByteArray body; // what arrived of the body (all of it unless the server closed early)
        bool timedOut = false;
        // Set when no answer arrived: the connection could not be made or was closed first.
        QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
        QString errorText;
    };

    // Where the server is and how it is reached: with TLS the server's certificate must be
    // valid for `host` and signed by the CA in `caFile` (the system's CAs when empty); a token
    // goes with every request as "Authorization: Bearer".
    struct Endpoint
    {
        QString host;
        quint16 port = 0;
        QByteArray token;
        bool tls = false;
        QString caFile;
        // Sent as they are with every request ("Name: value").
        QList<std::pair<QByteArray, QByteArray>> headers;

        bool operator==(const Endpoint&) const = default;
    };

    HttpChannel();
    ~HttpChannel();
    HttpChannel(const HttpChannel&) = delete;
    HttpChannel& operator=(const HttpChannel&) = delete;

    // GET when body is null, otherwise POST of the body as JSON. A kept connection the server
    // closed while idle is opened again and the request sent once more, as long as nothing of
    // an answer had arrived. A call made while another waits (from an event handled in the
    // meantime) goes over a connection of its own.
    Answer exchange(const Endpoint& endpoint, const QByteArray& path, const QByteArray& body,
                    int timeoutMs);
    // Closes the connection (after the answer, when an exchange is waiting for one).
    void close();

private:
    void open(const Endpoint& endpoint);
    Answer once(const QByteArray& head, const QByteArray& body, int timeoutMs);

    std::unique_ptr<QTcpSocket> socket;
    Endpoint socketEndpoint;
    bool busy = false;    // an exchange waits for its answer
    bool closing = false; // close() came while it waited
};
