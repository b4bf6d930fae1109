#pragma once

#include "RemoteMethods.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>

class HttpChannel;
class TNetConnection;

// A failure to reach the application server or to understand its answer; the text is
// Portuguese and shown to the user as it is (what() is UTF-8).
class ENetConnection : public std::runtime_error
{
public:
    explicit ENetConnection(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromUtf8(what()); }
};

// The result of a call, read once from the answer: the envelope as values and the data left
// as the JSON text the server wrote, so that a record set loads a packet from the bytes
// (TClientDataSet::SetData) without a JSON tree in between.
struct ServerResult
{
    QJsonObject result; // the result object ({"ok":…,"message":…,"byref":…}) without "data"
    QByteArray data;    // the text of "data"; null when the result has none
};

// The dispatch interface of the remote data module: calls a method of RemoteMethods.
// Obtained from the connection immediately before each call.
class AppServerInterface
{
public:
    // Calls the method synchronously and returns its result (CheckResultServ reads it);
    // by-reference arguments receive the values the server sent back. The arguments are
    // checked against the method's description first: a call that does not fit is never sent.
    // The answer must be well-formed JSON, but only its envelope is parsed. Throws
    // ENetConnection for a call that does not fit, when the server cannot be reached, does not
    // answer in time or refuses the call, and, when the connection's ThrowException is set,
    // also when the result reports a failure.
    ServerResult call(const RemoteMethod& method, QList<ServerArg>& args) const;

private:
    // Checks the arguments, sends the request; returns the answer's status and body.
    QByteArray send(const RemoteMethod& method, const QList<ServerArg>& args, int& status) const;
    // What every answer must satisfy: no "error" member and a result object. By-reference
    // arguments take the values the server sent back when the result reports success;
    // otherwise, with ThrowException, its message is thrown.
    void accept(const QString& method, int status, const QJsonValue& error,
                const QJsonValue& result, QList<ServerArg>& args) const;

    friend class TNetConnection;
    explicit AppServerInterface(TNetConnection& owner) : connection(&owner) {}
    TNetConnection* connection;
};

// The connection to an application server over HTTP (JSON-RPC). Setting the connected state
// to true runs BeforeConnect and then the handshake (GET on the module's path); every call is
// a synchronous POST on one kept HTTP/1.1 connection (HttpChannel), waited for in a local
// event loop that excludes user input, with a timeout.
class TNetConnection
{
public:
    TNetConnection();
    ~TNetConnection();
    TNetConnection(const TNetConnection&) = delete;
    TNetConnection& operator=(const TNetConnection&) = delete;

    QString Host = QStringLiteral("127.0.0.1");
    int Port = 8211;
    QString ServerName;
    bool ThrowException = false;
    int TimeoutMs = 30000;
    // Read from the configuration at every connect (FAS_TOKEN, FAS_WEB_TLS, FAS_WEB_CA), before
    // BeforeConnect: the bearer token sent with every request, and TLS with the CA that signs
    // the server's certificate.
    QByteArray Token;
    bool Tls = false;
    QString CaFile;
    // Who the calls come from, sent with every request (the server's history records it).
    Caller caller = Caller::ofThisProcess();
    // Runs before every connect (typically sets Host and Port).
    std::function<void(TNetConnection&)> BeforeConnect;

    bool Connected() const { return connected; }
    // true: connects (nothing when already connected); false: disconnects.
    void SetConnected(bool value);

    // The application-server interface; connects first when the connection is closed.
    AppServerInterface GetServer();

private:
    friend class AppServerInterface;
    struct Reply
    {
        int status = 0;
        QByteArray body;
    };
    // One HTTP exchange on the module's path (GET when body is null).
    Reply exchange(const QByteArray& body, const QString& what);
    QString endpoint() const;

    std::unique_ptr<HttpChannel> channel;
    bool connected = false;
    int lastRequestId = 0;
};
