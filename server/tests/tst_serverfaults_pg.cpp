// fas-appserver on PostgreSQL through the real processes: two servers on one throwaway demo
// database, issuing notes while invoices change and issuing the same notes at once; their
// sessions terminated under them; a row another session keeps locked.
#include "ServerFaults.h"

#include "ServerDatabase.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

using namespace ServerFaults;

namespace {

// An invoice's value in reais, in cents: the dollars to the cent times the rate to the
// millionth, rounded half away from zero.
qint64 reaisCents(double dollars, double rate)
{
    const qint64 product = std::llround(dollars * 100) * std::llround(rate * 1000000);
    return product >= 0 ? (product + 500000) / 1000000 : -((-product + 500000) / 1000000);
}

QSet<QString> texts(const QJsonValue& list)
{
    QSet<QString> values;
    for (const QJsonValue& value : list.toArray())
        values.insert(value.toString());
    return values;
}

// The invoices of the notes a GeraNF answer reports.
QSet<QString> noted(const Answer& answer)
{
    QSet<QString> numbers;
    for (const QJsonValue& note : answer.data().value("notas").toArray())
        numbers += texts(note["invoices"]);
    return numbers;
}

} // namespace

class TstServerFaultsPg : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    ServerDatabase where; // the throwaway database, dropped at the end
    Server first, second; // two servers on it
    QSqlDatabase db;      // the test's own session

    QStringList databaseArgs() const
    {
        return {"--driver",  "QPSQL",    "--db",      where.name,
                "--db-host", where.host, "--db-port", QString::number(where.port),
                "--db-user", where.user};
    }

    bool admin(const QString& sql)
    {
        ServerDatabase server = where;
        server.name = "postgres";
        const bool ok = QSqlQuery(server.open("admin", true)).exec(sql);
        QSqlDatabase::removeDatabase("admin");
        return ok;
    }

    // Empty when the company's notes agree with its invoices as stored: an invoice is flagged
    // exactly when it is linked to the note it names, a link is worth its invoice's dollars
    // times its rate, a note the sum of its links (and has one at least).
    QString inconsistency(const QString& company) const
    {
        for (const QVariantList& row :
             select(db,
                    "SELECT I.IDGERNFINVOI, I.CDFILIAL || I.NRNOTAFISC, L.CDFILIAL || "
                    "L.NRNOTAFISC, I.TOTALINVOICE, I.VRCAMBIOINVOICE, L.VRREAISCENTAVOS, "
                    "I.NRINVOICE FROM INVOICE I LEFT JOIN NOTAFISCALINVOICE L ON L.CDEMPRESA "
                    "= I.CDEMPRESA AND L.NRINVOICE = I.NRINVOICE WHERE I.CDEMPRESA = ?",
                    {company})) {
            const bool linked = !row.at(2).isNull();
            if ((row.at(0) == "S") != linked ||
                (linked && (row.at(1) != row.at(2) ||
                            row.at(5).toLongLong() !=
                                reaisCents(row.at(3).toDouble(), row.at(4).toDouble()))))
                return "invoice " + QVariant(row).toStringList().join('|');
        }
        for (const QVariantList& row :
             select(db,
                    "SELECT N.VRNOTACENTAVOS, COALESCE(SUM(L.VRREAISCENTAVOS), -1), N.CDFILIAL, "
                    "N.NRNOTAFISC FROM NOTAFISCAL N LEFT JOIN NOTAFISCALINVOICE L ON L.CDEMPRESA "
                    "= N.CDEMPRESA AND L.CDFILIAL = N.CDFILIAL AND L.NRNOTAFISC = N.NRNOTAFISC "
                    "WHERE N.CDEMPRESA = ? GROUP BY N.CDFILIAL, N.NRNOTAFISC, N.VRNOTACENTAVOS",
                    {company})) {
            if (row.at(0).toLongLong() != row.at(1).toLongLong())
                return "note " + QVariant(row).toStringList().join('|');
        }
        return {};
    }

private slots:
    void initTestCase()
    {
        where.host = qEnvironmentVariable("FAS_TEST_PG_HOST");
        if (where.host.isEmpty())
            QSKIP("FAS_TEST_PG_HOST is not set: no PostgreSQL to test against");
        where.driver = "QPSQL";
        where.port = qEnvironmentVariableIntValue("FAS_TEST_PG_PORT");
        where.user = qEnvironmentVariable("FAS_TEST_PG_USER", "postgres");
        where.name = QStringLiteral("fas_faults_%1_%2")
                         .arg(QCoreApplication::applicationPid())
                         .arg(QRandomGenerator::global()->bounded(1000000));
        QVERIFY(admin("CREATE DATABASE " + where.name));
        const QString made =
            Server::runToEnd(databaseArgs() + QStringList{"--init-demo"} + demoDay);
        QVERIFY2(made.isEmpty(), qPrintable(made));
        QString started = first.start(databaseArgs(), dir.filePath("first.log"));
        if (started.isEmpty())
            started = second.start(databaseArgs(), dir.filePath("second.log"));
        QVERIFY2(started.isEmpty(), qPrintable(started));
        db = where.open("test", true);
    }

    void cleanupTestCase()
    {
        first.stop();
        second.stop();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("test");
        if (!where.host.isEmpty())
            admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(where.name));
    }

    // The servers' sessions terminated (a database restart, an administrator): the next calls
    // are served on new connections, on one worker or on several at once.
    void terminatedSessions_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("calls");
        QTest::newRow("GetInvoice") << "GetInvoice" << 1;
        QTest::newRow("SetInvoice") << "SetInvoice" << 1;
        QTest::newRow("GetInvoice on every worker") << "GetInvoice" << 8;
    }
    void terminatedSessions()
    {
        QFETCH(QString, method);
        QFETCH(int, calls);
        const Packet open = Packet::fetch(first.port, "01", "A_");
        QVERIFY(!open.rows.isEmpty());
        const bool change = method == "SetInvoice";
        const QByteArray call =
            change
                ? open.setInvoice({Packet::modify(open.rows.first(), {{"DSREFPGTOINVOI", "após"}})})
                : Packet::listing("01", "A_N_E_");
        const QString others =
            "FROM pg_stat_activity WHERE datname = ? AND pid <> pg_backend_pid()";
        QVERIFY(!select(db, "SELECT pg_terminate_backend(pid) " + others, {where.name}).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(select(db, "SELECT pid " + others, {where.name}).isEmpty(), 10000);

        std::vector<std::future<Answer>> answers;
        for (int i = 0; i < calls; ++i)
            answers.push_back(
                std::async(std::launch::async, [&] { return post(first.port, call); }));
        for (std::future<Answer>& answer : answers) {
            const Answer served = answer.get();
            QVERIFY2(served.ok() && (change || !Packet::of(served).rows.isEmpty()), served.shown());
        }
        if (change)
            QCOMPARE(stored(db, open.text(open.rows.first(), "NRINVOICE")).section('|', 0, 0),
                     "após");
    }

    // Another session holds an invoice's row: readings go on beside the write that waits for it,
    // and that write is refused after the bounded wait, nothing written.
    void heldLock_data()
    {
        QTest::addColumn<QString>("method");
        QTest::newRow("SetInvoice") << "SetInvoice";
        QTest::newRow("GeraNF") << "GeraNF";
    }
    void heldLock()
    {
        QFETCH(QString, method);
        const BlockedWrite write(first.port, method);
        QVERIFY(!write.number.isEmpty());
        const QString& number = write.number;
        const QByteArray& call = write.call;
        const QString before = stored(db, number);

        QSqlDatabase holder = where.open("holder", true);
        // Closing the session ends its transaction and its lock.
        const auto release = qScopeGuard([&holder] {
            holder = QSqlDatabase();
            QSqlDatabase::removeDatabase("holder");
        });
        // Should this test stop on the way, the lock ends after 20 s all the same.
        QVERIFY(QSqlQuery(holder).exec("SET idle_in_transaction_session_timeout = 20000"));
        QVERIFY(holder.transaction());
        const QString lock = "SELECT 1 FROM INVOICE WHERE CDEMPRESA = '01' AND NRINVOICE = ?";
        QCOMPARE(select(holder, lock + " FOR UPDATE", {number}).size(), 1);

        QElapsedTimer timer;
        timer.start();
        auto waiting = std::async(std::launch::async, [&] { return post(first.port, call); });
        const QString waits =
            "SELECT 1 FROM pg_stat_activity WHERE datname = ? AND wait_event_type = 'Lock'";
        QTRY_COMPARE_WITH_TIMEOUT(select(db, waits, {where.name}).size(), 1, 10000);
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer reading;
            reading.start();
            const Answer read = post(first.port, Packet::listing("01", "A_N_E_"));
            QVERIFY2(read.ok(), read.shown());
            QVERIFY2(reading.elapsed() < 3000, "a reading waited for the locked row");
        }
        // The readings were answered while the write was still waiting.
        QVERIFY(waiting.wait_for(std::chrono::seconds(0)) == std::future_status::timeout);
        const Answer refused = waiting.get();
        QVERIFY2(!refused.ok() && refused.message().contains("ocupado"), refused.shown());
        QVERIFY2(timer.elapsed() < 15000, "the write waited for the lock as long as it was held");
        qInfo("%s refused after %lld ms", qPrintable(method), timer.elapsed());
        holder.close();
        QCOMPARE(stored(db, number), before);
    }

    // Server A issues a note per invoice for every ready invoice of company 01 while a client of
    // server B changes the rate of every other one, two a call in the reverse of the issuer's
    // order. Each note is worth what its invoices hold once issued, and every answer is a
    // success or a refusal in clear terms.
    void notesWhileInvoicesChange()
    {
        const Packet packet = Packet::fetch(first.port, "01", "N_");
        const QStringList ready = packet.ready();
        QVERIFY(ready.size() >= 40);
        // The changing thread shares no JSON with this one: only these positions.
        const int rateAt = packet.at("VRCAMBIOINVOICE"), branchAt = packet.at("CDFILIAL"),
                  numberAt = packet.at("NRINVOICE");
        const auto key = [=](const QJsonArray& row) -> QString {
            return row[branchAt].toString() + row[numberAt].toString();
        };
        std::atomic<bool> stop{false};
        std::atomic<int> changes{0}, pauseMs{0};
        std::mutex mutex;
        QMap<QString, int> refusals; // by method and message, numbers left out
        const auto refused = [&](const char* method, const Answer& answer) {
            const std::lock_guard lock(mutex);
            ++refusals[method + (answer.clear() ? answer.message().remove(QRegularExpression("\\d"))
                                                : QString::fromUtf8(answer.shown()))];
        };
        std::thread changer([&] {
            for (int pass = 1; !stop; ++pass) {
                // The changed invoices as they are now: an invoice with a note has left.
                const Answer listing = post(second.port, Packet::listing("01", "N_"));
                if (!listing.ok())
                    refused("GetInvoice: ", listing);
                const Packet now = Packet::of(listing);
                QList<QJsonArray> rows;
                for (const QJsonValue& row : now.rows) {
                    if (ready.indexOf(row[numberAt].toString()) % 2 == 1)
                        rows.append(row.toArray());
                }
                std::sort(rows.begin(), rows.end(), [&](const QJsonArray& a, const QJsonArray& b) {
                    return key(a) > key(b);
                });
                if (rows.size() < 2)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                for (qsizetype i = 0; i + 1 < rows.size() && !stop; i += 2) {
                    QJsonArray changed;
                    for (qsizetype at = i; at < i + 2; ++at) {
                        const double rate =
                            (std::round(rows.at(at).at(rateAt).toDouble() * 10000) + pass) / 10000;
                        changed.append(Packet::modify(rows.at(at), {{"VRCAMBIOINVOICE", rate}}));
                        rows[at][rateAt] = rate;
                    }
                    const Answer answer = post(second.port, now.setInvoice(changed));
                    if (!answer.ok()) {
                        refused("SetInvoice: ", answer);
                        break; // read them again
                    }
                    ++changes;
                    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                }
            }
        });
        const auto joined = qScopeGuard([&] {
            stop = true;
            changer.join();
        });
        QTRY_VERIFY_WITH_TIMEOUT(changes > 0, 10000);

        // A call that lost its races to the changes is refused; they slow down after each
        // refusal until a call issues the notes while they go on.
        Answer answer;
        int changesMeanwhile = 0;
        for (int call = 1; !answer.ok(); ++call) {
            QVERIFY2(call <= 10, answer.shown());
            const int changesBefore = changes;
            answer = post(first.port, packet.geraNF(ready, "Separadas"), 60000);
            changesMeanwhile = changes - changesBefore;
            QVERIFY2(answer.clear(), answer.shown());
            if (!answer.ok()) {
                refused("GeraNF: ", answer);
                pauseMs = qMax(5, pauseMs * 2);
            }
        }
        QTest::qWait(100); // the changes on their way meet the notes
        stop = true;
        QCOMPARE(noted(answer), QSet<QString>(ready.cbegin(), ready.cend()));
        const std::lock_guard lock(mutex);
        for (auto refusal = refusals.cbegin(); refusal != refusals.cend(); ++refusal) {
            qInfo("%d x %s", refusal.value(), qPrintable(refusal.key()));
            QVERIFY2(!refusal.key().contains('{') && !refusal.key().startsWith("GetInvoice"),
                     qPrintable(refusal.key()));
        }
        qInfo("%d changes stored, %d during the call that issued the notes", int(changes),
              changesMeanwhile);
        QVERIFY2(inconsistency("01").isEmpty(), qPrintable(inconsistency("01")));
    }

    // Both servers issue the notes of the same marked invoices at once: each invoice gets one
    // note from one of them, and each server reports the others as issued already.
    void twoServersIssueTheSameNotes_data()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("mode");
        QTest::newRow("one note per invoice") << "02"
                                              << "Separadas";
        QTest::newRow("one note per customer") << "03"
                                               << "Unificada";
    }
    void twoServersIssueTheSameNotes()
    {
        QFETCH(QString, company);
        QFETCH(QString, mode);
        const Packet packet = Packet::fetch(first.port, company, "N_");
        const QStringList marked = packet.ready();
        const QSet<QString> ready(marked.cbegin(), marked.cend());
        QVERIFY(ready.size() >= 20);
        const QByteArray call = packet.geraNF(marked, mode);
        auto fromFirst = std::async(std::launch::async, [&] { return post(first.port, call); });
        auto fromSecond = std::async(std::launch::async, [&] { return post(second.port, call); });
        QSet<QString> issuedByBoth;
        for (const Answer& answer : {fromFirst.get(), fromSecond.get()}) {
            const QSet<QString> issued = noted(answer),
                                already = texts(answer.data()["jaEmitidas"]);
            QVERIFY2(answer.ok() && !issued.intersects(already) && issued + already == ready,
                     answer.shown());
            QVERIFY2(!issued.intersects(issuedByBoth), answer.shown());
            issuedByBoth += issued;
            qInfo("%lld issued, %lld issued already", issued.size(), already.size());
        }
        QCOMPARE(issuedByBoth, ready);
        QVERIFY2(inconsistency(company).isEmpty(), qPrintable(inconsistency(company)));
    }
};

QTEST_GUILESS_MAIN(TstServerFaultsPg)
#include "tst_serverfaults_pg.moc"
