// fas-appserver's answers to faults, through the real process on a demo SQLite file: request
// ids that no number holds, a database file another process keeps locked, a change whose
// original row carries no key.
#include "ServerFaults.h"

using namespace ServerFaults;

class TstServerFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Server server;
    QSqlDatabase other; // this process's connection to the server's file: another process to it

private slots:
    void initTestCase()
    {
        const QString file = dir.filePath("faults.db");
        const QString made = Server::runToEnd(QStringList{"--db", file, "--init-demo"} + demoDay);
        QVERIFY2(made.isEmpty(), qPrintable(made));
        const QString started = server.start({"--db", file}, dir.filePath("server.log"));
        QVERIFY2(started.isEmpty(), qPrintable(started));
        other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(file);
        QVERIFY(other.open());
    }

    void cleanupTestCase()
    {
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
        server.stop();
    }

    // An id that is well-formed JSON but beyond what a double holds is refused as an invalid
    // request, and the server goes on serving.
    void idBeyondADouble_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::newRow("1e309") << QByteArray("1e309");
        QTest::newRow("-1e309") << QByteArray("-1e309");
        QTest::newRow("1e-400") << QByteArray("1e-400");
        QTest::newRow("310 digits") << "1" + QByteArray(309, '0');
    }
    void idBeyondADouble()
    {
        QFETCH(QByteArray, id);
        const Answer answer = post(server.port, R"({"jsonrpc":"2.0","id":)" + id +
                                                    R"(,"method":"GetInvoice","params":[]})");
        QVERIFY2(answer.json["error"]["code"] == -32600 &&
                     !answer.json["error"]["message"].toString().isEmpty(),
                 answer.shown());
        QVERIFY(server.running());
        const Answer next = post(server.port, Packet::listing("01", "A_N_E_"));
        QVERIFY2(next.ok() && !Packet::of(next).rows.isEmpty(), next.shown());
    }

    // Another process holds the file's write lock: reading goes on (WAL); a write waits the
    // bounded lock wait, is refused as such with nothing written, and succeeds once it is gone.
    void lockedByAnotherProcess_data()
    {
        QTest::addColumn<QString>("method");
        QTest::newRow("SetInvoice") << "SetInvoice";
        QTest::newRow("GeraNF") << "GeraNF";
    }
    void lockedByAnotherProcess()
    {
        QFETCH(QString, method);
        const bool change = method == "SetInvoice";
        const BlockedWrite write(server.port, method);
        QVERIFY(!write.number.isEmpty());
        const QString& number = write.number;
        const QByteArray& call = write.call;
        const QString before = stored(other, number);

        const auto release = qScopeGuard([this] { QSqlQuery(other).exec("ROLLBACK"); });
        QSqlQuery hold(other);
        QVERIFY(hold.exec("BEGIN IMMEDIATE"));
        QVERIFY(hold.exec("UPDATE INVOICE SET DSOBSPGTOINVOI = 'ocupando' WHERE CDEMPRESA = '02'"));
        QElapsedTimer timer;
        timer.start();
        const Answer read = post(server.port, Packet::listing("01", "A_N_E_"));
        QVERIFY2(read.ok(), read.shown());
        QVERIFY2(timer.elapsed() < 3000, "a reading waited for the writer's lock");
        // Answered while the lock is still held: the wait for it is bounded.
        const Answer refused = post(server.port, call);
        QVERIFY2(!refused.ok() && refused.message().contains("em uso por outro processo"),
                 refused.shown());
        qInfo("%s refused after %lld ms", qPrintable(method), timer.elapsed());
        QVERIFY(hold.exec("ROLLBACK"));
        QCOMPARE(stored(other, number), before);

        const Answer done = post(server.port, call);
        QVERIFY2(done.ok(), done.shown());
        // The reference stored, or the invoice flagged with its note.
        QCOMPARE(stored(other, number).section('|', change ? 0 : 1, change ? 0 : 1),
                 QString(change ? "x" : "S"));
    }

    // A change whose original row does not name its invoice is refused, nothing written.
    void changeWithoutKey_data()
    {
        QTest::addColumn<QStringList>("cleared");
        QTest::addColumn<QJsonValue>("value"); // what the cleared cells hold
        QTest::newRow("every value null") << QStringList{"*"} << QJsonValue();
        QTest::newRow("company null") << QStringList{"CDEMPRESA"} << QJsonValue();
        QTest::newRow("number null") << QStringList{"NRINVOICE"} << QJsonValue();
        QTest::newRow("company and number empty")
            << QStringList{"CDEMPRESA", "NRINVOICE"} << QJsonValue("");
    }
    void changeWithoutKey()
    {
        QFETCH(QStringList, cleared);
        QFETCH(QJsonValue, value);
        const Packet open = Packet::fetch(server.port, "01", "A_");
        QVERIFY(!open.rows.isEmpty());
        QJsonArray old = open.rows.first().toArray();
        for (qsizetype i = 0; i < old.size(); ++i) {
            if (cleared.contains("*") || cleared.contains(open.fields.at(i)["name"].toString()))
                old[i] = value;
        }
        const Answer answer = post(
            server.port, open.setInvoice({Packet::modify(old, {{"DSREFPGTOINVOI", "sem chave"}})}));
        QVERIFY2(!answer.ok() && answer.message().contains(
                                     "a linha original não traz a empresa e o número da Invoice"),
                 answer.shown());
        QCOMPARE(select(other, "SELECT COUNT(*) FROM INVOICE WHERE DSREFPGTOINVOI = 'sem chave'")
                     .value(0)
                     .value(0)
                     .toInt(),
                 0);
    }
};

QTEST_GUILESS_MAIN(TstServerFaults)
#include "tst_serverfaults.moc"
