// The client connection against the real fas-appserver process on a free loopback port.
#include "CheckResultServ.h"
#include "DataPacket.h"
#include "DemoDay.h"
#include "EAbort.h"
#include "MessageService.h"
#include "TClientDataSet.h"
#include "TNetConnection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QString serverProgram()
{
    return QDir(qEnvironmentVariable("FAS_BIN_DIR")).filePath(QStringLiteral("fas-appserver"));
}

QList<ServerArg> filterArgs(const QString& company)
{
    return FilterArgs::everything(company).toArgs();
}

// GeraNF over an empty packet in a generation mode the server does not know: a failure the
// server reports to the user.
QList<ServerArg> refusedGeraNFArgs()
{
    return {ServerArg::variant(QJsonObject{{QStringLiteral("fields"), QJsonArray()},
                                           {QStringLiteral("rows"), QJsonArray()}}),
            ServerArg::string(QStringLiteral("Todas"))};
}

// A server that answers the handshake like the real one and every call with one fixed
// HTTP answer: for answers the real server never gives (cut short, damaged, mistyped).
class CannedServer : public QTcpServer
{
public:
    explicit CannedServer(QByteArray callAnswer) : answer(std::move(callAnswer))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(*socket); });
            }
        });
    }

    // A whole HTTP answer with the body and a length that fits it.
    static QByteArray http(const QByteArray& body)
    {
        return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

private:
    void serve(QTcpSocket& socket)
    {
        QByteArray& pending = requests[&socket];
        pending += socket.readAll();
        const qsizetype headerEnd = pending.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        static const QRegularExpression lengthHeader(QStringLiteral("content-length: *(\\d+)"),
                                                     QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match =
            lengthHeader.match(QString::fromLatin1(pending.left(headerEnd)));
        const qsizetype bodyLength = match.hasMatch() ? match.captured(1).toLongLong() : 0;
        if (pending.size() < headerEnd + 4 + bodyLength)
            return;
        const bool handshake = pending.startsWith("GET ");
        if (!handshake)
            posts.append(pending.mid(headerEnd + 4, bodyLength));
        pending.clear();
        socket.write(handshake ? http(R"({"module":"FAS10000.rdmBCRInvoice","methods":[]})")
                               : answer);
        if (!handshake)
            socket.disconnectFromHost(); // an answer cut short ends with the connection
    }

public:
    QList<QByteArray> posts; // the bodies of the calls received
    int connections = 0;

private:
    QByteArray answer;
    QHash<QTcpSocket*, QByteArray> requests;
};

} // namespace

class TstNetConnection : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QProcess server;
    int port = 0;
    ScriptedMessageService* messages = nullptr;
    std::unique_ptr<MessageService> previous;

    QString database() const { return dir.filePath(QStringLiteral("fas.db")); }

    void connectTo(TNetConnection& connection, int toPort) const
    {
        connection.ServerName = QStringLiteral("FAS10000.rdmBCRInvoice");
        connection.BeforeConnect = [toPort](TNetConnection& c) {
            c.Host = QStringLiteral("127.0.0.1");
            c.Port = toPort;
        };
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(QFile::exists(serverProgram()), "FAS_BIN_DIR must hold fas-appserver");
        QCOMPARE(QProcess::execute(serverProgram(),
                                   QStringList{QStringLiteral("--db"), database(),
                                               QStringLiteral("--init-demo"),
                                               QStringLiteral("--invoices"), QStringLiteral("90")} +
                                       demoDayArgs()),
                 0);
        server.start(serverProgram(), {QStringLiteral("--db"), database(), QStringLiteral("--port"),
                                       QStringLiteral("0")});
        QVERIFY(server.waitForStarted());
        QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        QString output;
        while (!listening.match(output).hasMatch()) {
            QVERIFY2(server.waitForReadyRead(10000), "the server did not say where it listens");
            output += QString::fromUtf8(server.readAllStandardOutput());
        }
        port = listening.match(output).captured(1).toInt();
        QVERIFY(port > 0);
        auto scripted = std::make_unique<ScriptedMessageService>();
        messages = scripted.get();
        previous = MessageService::install(std::move(scripted));
    }

    void cleanupTestCase()
    {
        MessageService::install(std::move(previous));
        if (server.state() == QProcess::Running) {
            server.terminate();
            server.waitForFinished();
        }
    }

    void init() { messages->clear(); }

    void callsByNameWithByRefArguments()
    {
        TNetConnection connection;
        connectTo(connection, port);
        int connects = 0;
        const auto setEndpoint = connection.BeforeConnect;
        connection.BeforeConnect = [&](TNetConnection& c) {
            ++connects;
            setEndpoint(c);
        };
        QVERIFY(!connection.Connected());
        connection.SetConnected(true);
        QVERIFY(connection.Connected());
        connection.SetConnected(true); // already open: nothing happens
        QCOMPARE(connects, 1);

        QList<ServerArg> args = filterArgs(QStringLiteral("01"));
        const ServerResult result = connection.GetServer().call(RemoteMethods::GetInvoice, args);
        const DataPacket invoices = DataPacket::fromJson(CheckResultServ(result, true, 0));
        QCOMPARE(invoices.rows.size(), 30);
        QCOMPARE(invoices.fields.size(), 29);
        QCOMPARE(args.at(1).text, QStringLiteral("A_N_E_"));
        QCOMPARE(args.at(7).text, QString());

        const ServerResult items = connection.GetServer().call(RemoteMethods::GetItem, args);
        QVERIFY(DataPacket::fromJson(CheckResultServ(items, true, 0)).rows.size() >= 30);
        QVERIFY(messages->messages.isEmpty());

        // A closed connection runs BeforeConnect again when it opens.
        connection.SetConnected(false);
        QVERIFY(!connection.Connected());
        connection.GetServer();
        QCOMPARE(connects, 2);
    }

    void reportedFailureIsShownAndAborts()
    {
        TNetConnection connection;
        connectTo(connection, port);
        QList<ServerArg> args = refusedGeraNFArgs();
        const ServerResult result = connection.GetServer().call(RemoteMethods::GeraNF, args);
        QVERIFY_THROWS_EXCEPTION(EAbort, CheckResultServ(result, true, 0));
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().kind, MessageService::Kind::Error);
        QVERIFY2(messages->messages.first().text.contains(QStringLiteral("Modo de geração")),
                 qPrintable(messages->messages.first().text));
        QVERIFY(CheckResultServ(result, false, 0).isNull());
        QCOMPARE(messages->messages.size(), 2);

        // A refused call raises the server's error text.
        QList<ServerArg> few = filterArgs(QStringLiteral("01")).mid(0, 3);
        try {
            connection.GetServer().call(RemoteMethods::GetInvoice, few);
            QFAIL("the call should have failed");
        } catch (const ENetConnection& failure) {
            QVERIFY2(failure.text().contains(QStringLiteral("espera 16")),
                     qPrintable(failure.text()));
        }

        // With ThrowException the call itself raises the server's message.
        connection.ThrowException = true;
        QVERIFY_THROWS_EXCEPTION(ENetConnection,
                                 connection.GetServer().call(RemoteMethods::GeraNF, args));
    }

    // A call hands back the data as the server's text, apart from the envelope, with the
    // by-reference values; a record set loads it from the bytes.
    void callHandsBackTheDataText()
    {
        TNetConnection connection;
        connectTo(connection, port);
        QList<ServerArg> args = filterArgs(QStringLiteral("01"));
        args[1].text = QStringLiteral("A_N_");
        const ServerResult result = connection.GetServer().call(RemoteMethods::GetItem, args);
        QCOMPARE(args.at(1).text, QStringLiteral("A_N_"));
        QVERIFY(!result.result.contains(QStringLiteral("data")));
        QCOMPARE(result.result.value(QStringLiteral("byref")).toArray().size(), 7);
        const QByteArray data = CheckResultServ(result, true, 0);

        TClientDataSet cds;
        cds.SetData(data);
        QCOMPARE(cds.RecordCount(), int(DataPacket::fromJson(data).rows.size()));
        QVERIFY(cds.RecordCount() > 0);
        QVERIFY(messages->messages.isEmpty());
    }

    // Whatever comes back, the record set either loads the whole packet or keeps what it had,
    // and the user reads a Portuguese text.
    void damagedAnswersLeaveTheRecordSetAsItWas_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("expected");
        const QByteArray good =
            R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"data":{"fields":[{"name":"NRINVOICE",)"
            R"("type":"string","size":10,"fixed":false}],"rows":[["0009"],["0010"]]},"byref":[]}})";
        const auto http = &CannedServer::http;
        QTest::newRow("well-formed") << http(good) << QString();
        QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        for (qsizetype at = 0; at < good.size(); at += 50)
            chunked += QByteArray::number(qMin<qsizetype>(50, good.size() - at), 16) + "\r\n" +
                       good.mid(at, 50) + "\r\n";
        QTest::newRow("in chunks") << chunked + "0\r\n\r\n" << QString();
        QTest::newRow("no length, ended by the connection")
            << "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + good << QString();
        QTest::newRow("JSON cut short")
            << http(good.left(good.size() - 30)) << "resposta inválida a GetInvoice (HTTP 200)";
        QTest::newRow("connection closed mid-body")
            << "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(good.size()) +
                   "\r\n\r\n" + good.left(good.size() / 2)
            << "resposta inválida a GetInvoice";
        QTest::newRow("not JSON") << http("<html>erro</html>")
                                  << "resposta inválida a GetInvoice (HTTP 200)";
        QTest::newRow("result is no object")
            << http(R"({"jsonrpc":"2.0","id":1,"result":[true]})") << "resposta inválida";
        QTest::newRow("JSON-RPC error")
            << http(R"({"jsonrpc":"2.0","id":1,"error":{"code":-32601,"message":"Sumiu."}})")
            << "recusou a chamada de GetInvoice: Sumiu.";
        QTest::newRow("reported failure")
            << http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":false,"message":"Não pode."}})")
            << "Não pode.";
        QTest::newRow("ok as text")
            << http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":"true","data":{}}})")
            << "O servidor de aplicação devolveu uma resposta inválida.";
        QTest::newRow("success without data")
            << http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"byref":[]}})")
            << "O servidor de aplicação devolveu uma resposta inválida.";
        QTest::newRow("data no packet")
            << http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"data":[1,2]}})")
            << "não é um objeto JSON";
        QTest::newRow("row of the wrong width")
            << http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"data":{"fields":[{"name":)"
                    R"("NRINVOICE","type":"string"}],"rows":[["1"],["2","3"]]}}})")
            << "Linha 2 tem 2 valores; esperados 1.";
        QTest::newRow("number where text goes")
            << http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"data":{"fields":[{"name":)"
                    R"("NRINVOICE","type":"string"}],"rows":[["1"],[2]]}}})")
            << "onde se espera string";
    }

    void damagedAnswersLeaveTheRecordSetAsItWas()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, expected);
        CannedServer canned(answer);
        QVERIFY(canned.listen(QHostAddress::LocalHost));
        TNetConnection connection;
        connectTo(connection, canned.serverPort());
        TClientDataSet cds;
        cds.AddField({QStringLiteral("NRINVOICE"), FieldType::String, 10, false});
        cds.SetData(QByteArray(R"({"fields":[{"name":"NRINVOICE","type":"string","size":10}],)"
                               R"("rows":[["0001"]]})"));

        QString failure;
        try {
            QList<ServerArg> args = filterArgs(QStringLiteral("01"));
            cds.SetData(CheckResultServ(
                connection.GetServer().call(RemoteMethods::GetInvoice, args), true, 0));
        } catch (const ENetConnection& error) {
            failure = error.text();
        } catch (const EDatabaseError& error) {
            failure = error.text();
        } catch (const EAbort&) {
            QCOMPARE(messages->messages.size(), 1);
            failure = messages->messages.first().text;
        }
        if (expected.isEmpty()) {
            QCOMPARE(failure, QString());
            QCOMPARE(cds.RecordCount(), 2);
            return;
        }
        QVERIFY2(failure.contains(expected), qPrintable(failure));
        QCOMPARE(cds.RecordCount(), 1);
        cds.First();
        QCOMPARE(cds.FieldByName(QStringLiteral("NRINVOICE")).AsString(), QStringLiteral("0001"));
    }

    // A call that does not fit its method is refused before anything is sent, with the texts
    // the server gives for it.
    void refusedCallsAreErrors_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("expected");
        QTest::newRow("wrong argument count") << "GetInvoice"
                                              << "three"
                                              << "GetInvoice espera 16 argumento(s), recebeu 3.";
        QTest::newRow("by value where by reference")
            << "GetItem"
            << "situation by value"
            << "Argumento 2 de GetItem: recebido tipo \"string\"; esperado string por "
               "referência (0xC8).";
        QTest::newRow("date where text goes")
            << "GeraNF"
            << "date mode"
            << "Argumento 2 de GeraNF: recebido tipo \"date\"; esperado string";
        QTest::newRow("variant that is no packet") << "SetInvoice"
                                                   << "array"
                                                   << "o valor não é um pacote de dados";
    }

    void refusedCallsAreErrors()
    {
        QFETCH(QString, method);
        QFETCH(QString, problem);
        QFETCH(QString, expected);
        CannedServer canned(CannedServer::http(R"({"jsonrpc":"2.0","id":1,"result":{"ok":true}})"));
        QVERIFY(canned.listen(QHostAddress::LocalHost));
        TNetConnection connection;
        connectTo(connection, canned.serverPort());
        QList<ServerArg> args = filterArgs(QStringLiteral("01"));
        if (problem == QLatin1String("three"))
            args = args.mid(0, 3);
        else if (problem == QLatin1String("situation by value"))
            args[1] = ServerArg::string(QStringLiteral("A_"));
        else if (problem == QLatin1String("date mode"))
            args = {ServerArg::variant(QByteArray("{}")), ServerArg::dateTime({})};
        else if (problem == QLatin1String("array"))
            args = {ServerArg::variant(QByteArray(" [1]"))};
        try {
            connection.GetServer().call(*RemoteMethods::find(method), args);
            QFAIL("the call should have failed");
        } catch (const ENetConnection& failure) {
            QVERIFY2(failure.text().contains(expected), qPrintable(failure.text()));
        }
        QVERIFY(canned.posts.isEmpty());
    }

    // A variant's text goes into the request as it is; the by-reference values come back into
    // the arguments.
    void variantTextAndFilterByReference()
    {
        CannedServer canned(CannedServer::http(
            R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"data":{"alteradas":0},)"
            "\"byref\":[\"E_\",\"\",\"T\",\"T\",\"T\",\"T\",\"\\\"a,b\\\",c\"]}}"));
        QVERIFY(canned.listen(QHostAddress::LocalHost));
        TNetConnection connection;
        connectTo(connection, canned.serverPort());
        const QByteArray delta = " {\"fields\" : [], \"changes\":[ ]}\n";
        QList<ServerArg> args{ServerArg::variant(delta)};
        CheckResultServ(connection.GetServer().call(RemoteMethods::SetInvoice, args), true, 0);
        QCOMPARE(canned.posts.size(), 1);
        QVERIFY(canned.posts.first().contains(R"({"type":"variant","value": {"fields" : [])"));
        QCOMPARE(QJsonDocument::fromJson(canned.posts.first())["params"][0]["value"].toObject(),
                 QJsonDocument::fromJson(delta).object());

        QList<ServerArg> filterArgs = FilterArgs::everything(QStringLiteral("01")).toArgs();
        connection.GetServer().call(RemoteMethods::GetInvoice, filterArgs);
        const FilterArgs filter = FilterArgs::fromArgs(filterArgs);
        QCOMPARE(filter.situation, QStringLiteral("E_"));
        QCOMPARE(filter.allCustomers, QString());
        QCOMPARE(filter.customers, QStringLiteral("\"a,b\",c"));
        QCOMPARE(filter.company, QStringLiteral("01"));
        const QJsonArray sent = QJsonDocument::fromJson(canned.posts.last())["params"].toArray();
        QCOMPARE(sent.size(), 16);
        QCOMPARE(sent.at(8),
                 QJsonValue(QJsonObject{{"type", "date"}, {"value", QJsonValue::Null}}));
    }

    // Calls share one connection; one the server closed in between is opened again, and a
    // call made from an event handled during another's wait has a connection of its own.
    void keptConnection()
    {
        CannedServer canned(CannedServer::http(
            R"({"jsonrpc":"2.0","id":1,"result":{"ok":true,"data":{"alteradas":0},"byref":[]}})"));
        QVERIFY(canned.listen(QHostAddress::LocalHost));
        TNetConnection connection;
        connectTo(connection, canned.serverPort());
        connection.SetConnected(true);
        QCOMPARE(canned.connections, 1);
        QList<ServerArg> args{ServerArg::variant(QByteArray("{}"))};
        for (int call = 1; call <= 3; ++call) {
            // The canned server closes the connection after each call's answer.
            const ServerResult result =
                connection.GetServer().call(RemoteMethods::SetInvoice, args);
            QCOMPARE(QJsonDocument::fromJson(CheckResultServ(result, true, 0))["alteradas"].toInt(),
                     0);
            QCOMPARE(canned.connections, call);
        }

        TNetConnection real;
        connectTo(real, port);
        QList<ServerArg> inner = filterArgs(QStringLiteral("02"));
        ServerResult innerResult;
        QTimer::singleShot(
            0, [&] { innerResult = real.GetServer().call(RemoteMethods::GetItem, inner); });
        QList<ServerArg> outer = filterArgs(QStringLiteral("01"));
        const QByteArray invoices =
            CheckResultServ(real.GetServer().call(RemoteMethods::GetInvoice, outer), true, 0);
        QVERIFY(!innerResult.data.isNull());
        QCOMPARE(DataPacket::fromJson(invoices).rows.size(), 30);
        const DataPacket items = DataPacket::fromJson(CheckResultServ(innerResult, true, 0));
        QVERIFY(items.rows.size() >= 30);
        for (const Row& row : items.rows)
            QCOMPARE(row.at(0).toString(), QStringLiteral("02"));

        // Closed by an event handled during a call's wait: the call still gets its answer, and
        // the connection is closed after it.
        QTimer::singleShot(0, [&] { real.SetConnected(false); });
        outer = filterArgs(QStringLiteral("03"));
        const QByteArray third =
            CheckResultServ(real.GetServer().call(RemoteMethods::GetInvoice, outer), true, 0);
        QCOMPARE(DataPacket::fromJson(third).rows.size(), 30);
        QVERIFY(!real.Connected());
    }

    // The handshake answers the methods as the protocol publishes them.
    void handshakeListsTheMethods()
    {
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QNetworkReply* reply = manager.get(QNetworkRequest(
            QUrl(QStringLiteral("http://127.0.0.1:%1/FAS10000.rdmBCRInvoice").arg(port))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));
        const QByteArray filter = "[72,200,200,200,200,200,200,200,7,7,7,7,7,7,7,7]";
        QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object(),
                 QJsonDocument::fromJson(R"({"module":"FAS10000.rdmBCRInvoice","methods":[)"
                                         R"({"name":"GetInvoice","params":)" +
                                         filter +
                                         "},"
                                         R"({"name":"GetItem","params":)" +
                                         filter +
                                         "},"
                                         R"({"name":"SetInvoice","params":[12]},)"
                                         R"({"name":"GeraNF","params":[12,72]},)"
                                         R"({"name":"GetHistorico","params":[72,72]},)"
                                         R"({"name":"EstornaInvoice","params":[12,72]},)"
                                         R"({"name":"PreviaNF","params":[12]}]})")
                     .object());
        reply->deleteLater();
    }

    void unreachableServer_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nobody listens") << "closed"
                                        << "conexão recusada";
        QTest::newRow("no answer in time") << "silent"
                                           << "não respondeu em 0,3 s";
        QTest::newRow("another module") << "module"
                                        << "não publica o módulo";
    }

    void unreachableServer()
    {
        QFETCH(QString, situation);
        QFETCH(QString, expected);
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        int target = port;
        TNetConnection connection;
        if (situation == QLatin1String("closed")) {
            target = silent.serverPort();
            silent.close();
        } else if (situation == QLatin1String("silent")) {
            target = silent.serverPort();
            connection.TimeoutMs = 300;
        }
        connectTo(connection, target);
        if (situation == QLatin1String("module"))
            connection.ServerName = QStringLiteral("FAS99999.rdmOutro");
        try {
            connection.SetConnected(true);
            QFAIL("connecting should have failed");
        } catch (const ENetConnection& failure) {
            QVERIFY2(failure.text().contains(expected), qPrintable(failure.text()));
        }
        QVERIFY(!connection.Connected());
    }

    void portTakenRefusesToStart()
    {
        QProcess second;
        second.start(serverProgram(), {QStringLiteral("--db"), database(), QStringLiteral("--port"),
                                       QString::number(port)});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(
            QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("em uso")));
    }

    void missingDatabaseRefusesToStart()
    {
        QProcess other;
        other.start(serverProgram(),
                    {QStringLiteral("--db"), dir.filePath(QStringLiteral("nada.db")),
                     QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(other.waitForFinished(10000));
        QCOMPARE(other.exitCode(), 1);
        QVERIFY(
            QString::fromUtf8(other.readAllStandardError()).contains(QStringLiteral("não existe")));
    }

    // Runs last: the server ends cleanly on SIGTERM.
    void zzEndsOnTerminate()
    {
        server.terminate();
        QVERIFY(server.waitForFinished(10000));
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), 0);
    }
};

QTEST_MAIN(TstNetConnection)
#include "tst_netconnection.moc"
