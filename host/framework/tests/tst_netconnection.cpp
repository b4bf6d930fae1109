// The client connection against the real fas-appserver process on a free loopback port.
#include "CheckResultServ.h"
#include "DataPacket.h"
#include "EAbort.h"
#include "MessageService.h"
#include "TNetConnection.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString serverProgram()
{
    return QDir(qEnvironmentVariable("FAS_BIN_DIR")).filePath(QStringLiteral("fas-appserver"));
}

QList<ServerArg> filterArgs(const QString& company)
{
    QList<ServerArg> args{ServerArg::string(company), ServerArg::byRef(QStringLiteral("A_N_E_"))};
    for (int i = 0; i < 5; ++i)
        args.append(ServerArg::byRef(QStringLiteral("T")));
    args.append(ServerArg::byRef(QString()));
    for (int i = 0; i < 8; ++i)
        args.append(ServerArg::dateTime(QDateTime(QDate(1899, 12, 30), QTime(0, 0))));
    return args;
}

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
        QCOMPARE(
            QProcess::execute(serverProgram(),
                              {QStringLiteral("--db"), database(), QStringLiteral("--init-demo"),
                               QStringLiteral("--invoices"), QStringLiteral("90")}),
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
        const QJsonValue result = connection.GetServer().call(QStringLiteral("GetInvoice"), args);
        const DataPacket invoices =
            DataPacket::fromJsonObject(CheckResultServ(result, true, 0).toObject());
        QCOMPARE(invoices.rows.size(), 30);
        QCOMPARE(invoices.fields.size(), 29);
        QCOMPARE(args.at(1).text, QStringLiteral("A_N_E_"));
        QCOMPARE(args.at(7).text, QString());

        const QJsonValue items = connection.GetServer().call(QStringLiteral("GetItem"), args);
        QVERIFY(
            DataPacket::fromJsonObject(CheckResultServ(items, true, 0).toObject()).rows.size() >=
            30);
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
        QList<ServerArg> args{
            ServerArg::variant(QJsonObject{{QStringLiteral("fields"), QJsonArray()},
                                           {QStringLiteral("rows"), QJsonArray()}}),
            ServerArg::string(QStringLiteral("Todas"))};
        const QJsonValue result = connection.GetServer().call(QStringLiteral("GeraNF"), args);
        QVERIFY_THROWS_EXCEPTION(EAbort, CheckResultServ(result, true, 0));
        QCOMPARE(messages->messages.size(), 1);
        QCOMPARE(messages->messages.first().kind, MessageService::Kind::Error);
        QVERIFY2(messages->messages.first().text.contains(QStringLiteral("Modo de geração")),
                 qPrintable(messages->messages.first().text));

        // With ThrowException the call itself raises the server's message.
        connection.ThrowException = true;
        QVERIFY_THROWS_EXCEPTION(ENetConnection,
                                 connection.GetServer().call(QStringLiteral("GeraNF"), args));
    }

    void refusedCallsAreErrors_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("unknown method") << "Apaga" << 1 << "Método desconhecido";
        QTest::newRow("wrong argument count") << "GetInvoice" << 3 << "espera 16";
    }

    void refusedCallsAreErrors()
    {
        QFETCH(QString, method);
        QFETCH(int, count);
        QFETCH(QString, expected);
        TNetConnection connection;
        connectTo(connection, port);
        QList<ServerArg> args = filterArgs(QStringLiteral("01")).mid(0, count);
        try {
            connection.GetServer().call(method, args);
            QFAIL("the call should have failed");
        } catch (const ENetConnection& failure) {
            QVERIFY2(failure.text().contains(expected), qPrintable(failure.text()));
        }
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
