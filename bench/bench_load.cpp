// The application server under concurrent load, one or more server programs side by side:
// N clients, each a thread with its own kept HTTP/1.1 connection (a blocking QTcpSocket), call
// for S seconds, in turns, GetInvoice of every invoice of company 01 and SetInvoice of one of
// the client's own invoices (a new DSREFPGTOINVOI each time, the delta built from the client's
// copy of the row). Each run has a new demo database made by the program measured; programs
// run alternately (A, B, A, B, ...); the medians of each are printed with their ratio to A.
// --lock-seconds L: then a direct connection holds a write lock on one invoice for L s while
// four clients read and one more writes that invoice. --pg: on PostgreSQL too, a throwaway
// database per run (FAS_TEST_PG_HOST, _PORT, _USER, _PASSWORD). A program's own folder comes
// first in its LD_LIBRARY_PATH, so that an older build kept beside its libraries runs as it is.
//
//   bench_load [--server PATH]... [--clients N] [--seconds S] [--rounds R] [--invoices N]
//              [--pg] [--lock-seconds L]
#include "DemoDay.h"
#include "JsonScan.h"
#include "RemoteMethods.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <latch>
#include <stdexcept>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int CallTimeoutMs = 30000;
constexpr int MaxCallsPerClient = 1000000;

[[noreturn]] void fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(QList<double> values, double share) // nearest rank
{
    std::sort(values.begin(), values.end());
    const auto rank = qsizetype(std::ceil(share * double(values.size())));
    return values.isEmpty() ? 0 : values.at(std::clamp<qsizetype>(rank - 1, 0, values.size() - 1));
}

// One kept HTTP/1.1 connection to the module, used from one thread. A call's every wait is
// bounded by its deadline; a failed call drops the connection and the next opens a new one.
class HttpClient
{
public:
    explicit HttpClient(quint16 port) : port(port) {}

    // Empty when the call succeeded (HTTP 200, no JSON-RPC error, "ok":true); otherwise what
    // went wrong. The answer's body goes to `answer`.
    QString call(const QByteArray& request, int timeoutMs, QByteArray& answer)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        const auto left = [&] {
            return int(std::max<qint64>(
                1, std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count()));
        };
        const auto failed = [&](const QString& why) {
            socket.abort();
            return why;
        };
        const auto readUntil = [&](const std::function<bool()>& enough) {
            while (!enough()) {
                if (Clock::now() >= deadline ||
                    (!socket.waitForReadyRead(left()) && socket.bytesAvailable() == 0))
                    return false;
                buffer += socket.readAll();
            }
            return true;
        };
        if (socket.state() != QAbstractSocket::ConnectedState) {
            reconnects += std::exchange(opened, true) ? 1 : 0;
            buffer.clear();
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (!socket.waitForConnected(left()))
                return failed(u"connect: "_s + socket.errorString());
            socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        }
        socket.write(
            "POST /FAS10000.rdmBCRInvoice HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
            "\r\nContent-Type: application/json\r\nContent-Length: " +
            QByteArray::number(request.size()) + "\r\n\r\n" + request);
        while (socket.bytesToWrite() > 0) {
            if (!socket.waitForBytesWritten(left()))
                return failed(u"write: "_s + socket.errorString());
        }
        if (!readUntil([&] { return buffer.contains("\r\n\r\n"); }))
            return failed(u"no answer: "_s + socket.errorString());
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        const QString head = QString::fromLatin1(buffer.left(end));
        buffer.remove(0, end + 4);
        static const QRegularExpression status(u"^HTTP/1\\.\\d (\\d+)"_s),
            length(u"\\ncontent-length:\\s*(\\d+)"_s, QRegularExpression::CaseInsensitiveOption),
            close(u"\\nconnection:\\s*close"_s, QRegularExpression::CaseInsensitiveOption);
        const auto size = length.match(head).captured(1).toLongLong();
        if (!length.match(head).hasMatch() || !readUntil([&] { return buffer.size() >= size; }))
            return failed(u"no whole answer with a Content-Length: "_s + head.left(200));
        answer = buffer.left(size);
        buffer.remove(0, size);
        if (close.match(head).hasMatch())
            socket.abort();
        if (const int code = status.match(head).captured(1).toInt(); code != 200)
            return failed(u"HTTP %1: %2"_s.arg(code).arg(QString::fromUtf8(answer.left(200))));
        try {
            QList<JsonMember> result;
            const auto members = JsonScan::objectMembers(answer, "result"_L1, result);
            if (const JsonMember* error = JsonScan::find(members, "error"_L1))
                return u"error "_s + QString::fromUtf8(error->value.toByteArray());
            const JsonMember* ok = JsonScan::find(result, "ok"_L1);
            const JsonMember* message = JsonScan::find(result, "message"_L1);
            if (!ok || ok->value.toByteArray() != "true")
                return u"ok:false "_s +
                       (message ? JsonScan::stringValue(message->value) : QString());
        } catch (const JsonScanError& error) {
            return failed(u"invalid JSON: "_s + error.text());
        }
        return {};
    }

    int reconnects = 0;

private:
    quint16 port;
    QTcpSocket socket;
    QByteArray buffer;
    bool opened = false;
};

QByteArray getInvoiceRequest(int id)
{
    static const QList<ServerArg> args = FilterArgs::everything(u"01"_s).toArgs();
    return RemoteMethods::request(id, RemoteMethods::GetInvoice, args);
}

// The invoices of company 01 without a note, as a GetInvoice packet gives them.
struct Packet
{
    QByteArray fields; // the "fields" array's text, which a delta repeats
    QList<QJsonArray> changeable;
    int reference = -1; // DSREFPGTOINVOI's column
    int number = -1;    // NRINVOICE's column

    static Packet read(quint16 port)
    {
        QByteArray answer;
        if (const QString failure =
                HttpClient(port).call(getInvoiceRequest(1), CallTimeoutMs, answer);
            !failure.isEmpty())
            fail(u"the first GetInvoice failed: "_s + failure);
        const QJsonObject data = QJsonDocument::fromJson(answer)["result"_L1]["data"_L1].toObject();
        Packet packet;
        const QJsonArray fields = data["fields"_L1].toArray();
        packet.fields = QJsonDocument(fields).toJson(QJsonDocument::Compact);
        int note = -1;
        for (int i = 0; i < fields.size(); ++i) {
            const QString name = fields.at(i)["name"_L1].toString();
            packet.reference = name == "DSREFPGTOINVOI"_L1 ? i : packet.reference;
            packet.number = name == "NRINVOICE"_L1 ? i : packet.number;
            note = name == "IDGERNFINVOI"_L1 ? i : note;
        }
        for (const QJsonValue row : data["rows"_L1].toArray()) {
            if (note >= 0 && row[note].toString() != "S"_L1)
                packet.changeable.append(row.toArray());
        }
        if (packet.reference < 0 || packet.number < 0 || packet.changeable.isEmpty())
            fail(u"GetInvoice gave no invoice of company 01 that may change"_s);
        return packet;
    }

    // SetInvoice of `row` as it stands, with a new reference (plain ASCII text).
    QByteArray setRequest(int id, const QJsonArray& row, const QString& text) const
    {
        const QByteArray delta = "{\"fields\":" + fields +
                                 ",\"changes\":[{\"op\":\"modify\",\"old\":" +
                                 QJsonDocument(row).toJson(QJsonDocument::Compact) +
                                 ",\"set\":{\"DSREFPGTOINVOI\":\"" + text.toLatin1() + "\"}}]}";
        return RemoteMethods::request(id, RemoteMethods::SetInvoice, {ServerArg::variant(delta)});
    }
};

// What one client did: each call's kind and span, and its failures.
struct ClientLog
{
    struct Call
    {
        bool set;
        Clock::time_point start, end;
    };
    QList<Call> calls;
    qint64 failures = 0;
    QString firstFailure;
    int reconnects = 0;
};

// A client: reads and writes in turns (only reads when it has no invoices of its own) until
// stopped, or at the latest `seconds` after every client is connected.
void runClient(quint16 port, const Packet& packet, QList<QJsonArray> invoices, int client,
               double seconds, std::stop_token stop, std::latch& ready, ClientLog& log)
{
    HttpClient http(port);
    QByteArray answer;
    http.call(getInvoiceRequest(0), CallTimeoutMs, answer); // connected before the clock runs
    ready.arrive_and_wait();
    const auto until = Clock::now() + std::chrono::milliseconds(qint64(seconds * 1000));
    for (int n = 0, next = 0;
         n < MaxCallsPerClient && !stop.stop_requested() && Clock::now() < until; ++n) {
        const bool set = !invoices.isEmpty() && (n + client) % 2 == 1;
        const qsizetype index = set ? next++ % invoices.size() : -1;
        const QString text = u"Carga c%1 n%2"_s.arg(client).arg(n);
        const auto start = Clock::now();
        const QString failure = http.call(set ? packet.setRequest(n + 1, invoices.at(index), text)
                                              : getInvoiceRequest(n + 1),
                                          CallTimeoutMs, answer);
        log.calls.append({set, start, Clock::now()});
        if (failure.isEmpty() && set)
            invoices[index][packet.reference] = text; // the row as it is stored now
        if (failure.isEmpty())
            continue;
        if (log.failures++ == 0)
            log.firstFailure = (set ? u"SetInvoice: "_s : u"GetInvoice: "_s) + failure;
        if (set) // its copy may be stale now: leave that invoice alone
            invoices.removeAt(index);
    }
    log.reconnects = http.reconnects;
}

// Runs `count` clients, each with its share of the changeable invoices (at most `perClient`),
// and `meanwhile` on this thread once all are connected; then stops them. When they started,
// and when the last ended.
std::pair<Clock::time_point, Clock::time_point>
runClients(quint16 port, const Packet& packet, int count, int perClient, double limitSeconds,
           QList<ClientLog>& logs, const std::function<void()>& meanwhile)
{
    std::latch ready(count + 1);
    logs = QList<ClientLog>(count);
    std::vector<std::jthread> threads; // stopped and joined on every way out
    for (int c = 0; c < count; ++c) {
        QList<QJsonArray> own;
        for (qsizetype i = c; i < packet.changeable.size() && own.size() < perClient; i += count)
            own.append(packet.changeable.at(i));
        // Each thread gets its own entry: the threads never touch the list itself.
        threads.emplace_back([&, c, own, log = &logs[c]](std::stop_token stop) {
            runClient(port, packet, own, c, limitSeconds, stop, ready, *log);
        });
    }
    ready.arrive_and_wait();
    const auto start = Clock::now();
    meanwhile();
    threads.clear();
    return {start, Clock::now()};
}

double medianOf(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (values.at((n - 1) / 2) + values.at(n / 2)) / 2;
}

QString pg(const char* what)
{
    return qEnvironmentVariable(QByteArray("FAS_TEST_PG_").append(what).constData(),
                                qstrcmp(what, "USER") == 0   ? u"postgres"_s
                                : qstrcmp(what, "PORT") == 0 ? u"5432"_s
                                                             : QString());
}

// A direct connection to the database, as another program beside the server has.
QSqlDatabase connectTo(bool postgres, const QString& database, const QString& connection)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? u"QPSQL"_s : u"QSQLITE"_s, connection);
    db.setDatabaseName(database);
    if (postgres) {
        db.setHostName(pg("HOST"));
        db.setPort(pg("PORT").toInt());
        db.setUserName(pg("USER"));
        db.setPassword(pg("PASSWORD"));
        db.setConnectOptions(u"connect_timeout=10"_s);
    }
    if (!db.open())
        fail(u"cannot open %1: %2"_s.arg(database, db.lastError().text()));
    return db;
}

// The database of one run with the demo data of the program measured, and that program on a
// free loopback port over it. The server ends, then the database goes, when this goes.
class Run
{
public:
    Run(bool postgres, const QString& folder, int run)
        : postgres(postgres),
          name(postgres ? u"fas_load_%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(run)
                        : u"%1/run-%2.db"_s.arg(folder).arg(run)),
          log(u"%1/server-%2.log"_s.arg(folder).arg(run))
    {}
    ~Run()
    {
        server.terminate();
        if (!server.waitForFinished(10000))
            server.kill();
        server.waitForFinished(5000);
        QSqlDatabase::removeDatabase(u"bench_load_lock"_s);
        for (const QString& file : postgres
                                       ? QStringList{log}
                                       : QStringList{log, name, name + u"-wal"_s, name + u"-shm"_s})
            QFile::remove(file);
        QSqlQuery drop(QSqlDatabase::database(u"bench_load_admin"_s, false));
        if (created && !drop.exec(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(name)))
            std::fprintf(stderr, "bench_load: cannot drop %s: %s\n", qPrintable(name),
                         qPrintable(drop.lastError().text()));
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void start(const QString& program, const QProcessEnvironment& env, int invoices)
    {
        QStringList args{u"--driver"_s, postgres ? u"QPSQL"_s : u"QSQLITE"_s, u"--db"_s, name};
        if (postgres) {
            args << u"--db-host"_s << pg("HOST") << u"--db-port"_s << pg("PORT") << u"--db-user"_s
                 << pg("USER");
            QSqlQuery create(QSqlDatabase::database(u"bench_load_admin"_s));
            if (!(created = create.exec(u"CREATE DATABASE "_s + name)))
                fail(u"CREATE DATABASE: "_s + create.lastError().text());
        }
        server.setProcessEnvironment(env);
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.setStandardOutputFile(log); // a line per call: into a file, never a full pipe
        const auto demoStart = Clock::now();
        server.start(program,
                     args +
                         QStringList{u"--init-demo"_s, u"--invoices"_s, QString::number(invoices)} +
                         demoDayArgs());
        if (!server.waitForFinished(600000) || server.exitStatus() != QProcess::NormalExit ||
            server.exitCode() != 0)
            fail(u"%1 --init-demo failed: %2"_s.arg(program, logText()));
        demoSeconds = std::chrono::duration<double>(Clock::now() - demoStart).count();
        server.start(program,
                     args + QStringList{u"--listen"_s, u"127.0.0.1"_s, u"--port"_s, u"0"_s});
        static const QRegularExpression listening(u"listening on [^:]+:(\\d+)"_s);
        for (const auto until = Clock::now() + 30s;
             !port && Clock::now() < until && server.state() != QProcess::NotRunning;) {
            server.waitForFinished(100);
            port = quint16(listening.match(logText()).captured(1).toUInt());
        }
        if (!port)
            fail(u"%1 did not start: %2"_s.arg(program, logText()));
    }

    const bool postgres;
    const QString name; // the SQLite file or the PostgreSQL database
    quint16 port = 0;
    double demoSeconds = 0; // the program's --init-demo

private:
    QString logText() const
    {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(4000)) : QString();
    }

    const QString log;
    bool created = false;
    QProcess server;
};

// The figures of a run: the first five of the load, the last two of a held lock.
const char* const figureNames[] = {"calls/s",
                                   "GetInvoice p50 ms",
                                   "GetInvoice p99 ms",
                                   "SetInvoice p50 ms",
                                   "SetInvoice p99 ms",
                                   "lock: longest GetInvoice ms",
                                   "lock: blocked SetInvoice ms"};
struct Figures
{
    std::array<double, 7> values{};
    qint64 gets = 0, sets = 0, failures = 0, lockGets = 0;
    int reconnects = 0;
    QString firstFailure, lockSetAnswer;
};

Figures measureLoad(quint16 port, int clients, double seconds)
{
    QList<ClientLog> logs;
    const auto [start, end] = runClients(port, Packet::read(port), clients, 8, seconds, logs, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(qint64(seconds * 1000)));
    });
    Figures figures;
    QList<double> gets, sets;
    for (const ClientLog& log : logs) {
        for (const ClientLog::Call& call : log.calls)
            (call.set ? sets : gets).append(msBetween(call.start, call.end));
        if (figures.firstFailure.isEmpty())
            figures.firstFailure = log.firstFailure;
        figures.failures += log.failures;
        figures.reconnects += log.reconnects;
    }
    figures.gets = gets.size();
    figures.sets = sets.size();
    figures.values = {double(gets.size() + sets.size()) / (msBetween(start, end) / 1000),
                      percentile(gets, 0.5), percentile(gets, 0.99), percentile(sets, 0.5),
                      percentile(sets, 0.99)};
    return figures;
}

// Four clients read while a direct connection holds a write lock on one invoice for
// `seconds`, and one more client, half a second into the lock, writes that invoice.
void measureLock(const Run& run, double seconds, Figures& figures)
{
    const Packet packet = Packet::read(run.port);
    const QJsonArray row = packet.changeable.first();
    QSqlDatabase db = connectTo(run.postgres, run.name, u"bench_load_lock"_s);
    QList<ClientLog> logs;
    Clock::time_point lockStart, lockEnd;
    runClients(run.port, packet, 4, 0, seconds + 60, logs, [&] {
        std::this_thread::sleep_for(1s);
        QSqlQuery query(db);
        const bool locked =
            query.exec(run.postgres ? u"BEGIN"_s : u"BEGIN IMMEDIATE"_s) &&
            query.prepare(run.postgres ? u"SELECT NRINVOICE FROM INVOICE WHERE CDEMPRESA = '01' "
                                         "AND NRINVOICE = ? FOR UPDATE"_s
                                       : u"UPDATE INVOICE SET DSREFPGTOINVOI = DSREFPGTOINVOI "
                                         "WHERE CDEMPRESA = '01' AND NRINVOICE = ?"_s);
        query.addBindValue(row[packet.number].toString());
        if (!locked || !query.exec())
            fail(u"cannot lock the invoice: "_s + query.lastError().text());
        lockStart = Clock::now();
        std::jthread writer([&] {
            std::this_thread::sleep_for(500ms);
            HttpClient http(run.port);
            QByteArray answer;
            const auto sent = Clock::now();
            figures.lockSetAnswer = http.call(packet.setRequest(1, row, u"Bloqueada"_s),
                                              int(seconds * 1000) + CallTimeoutMs, answer);
            figures.values[6] = msBetween(sent, Clock::now());
            if (figures.lockSetAnswer.isEmpty())
                figures.lockSetAnswer = QString::fromUtf8(answer.left(160));
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(qint64(seconds * 1000)));
        const bool committed = query.exec(u"COMMIT"_s);
        lockEnd = Clock::now();
        writer.join(); // its call is bounded
        if (!committed)
            fail(u"COMMIT: "_s + query.lastError().text());
        std::this_thread::sleep_for(1s);
    });
    for (const ClientLog& log : logs) {
        for (const ClientLog::Call& call : log.calls) {
            if (call.start < lockEnd && call.end > lockStart) {
                figures.values[5] = std::max(figures.values[5], msBetween(call.start, call.end));
                ++figures.lockGets;
            }
        }
    }
}

QString loadAverage()
{
    QFile file(u"/proc/loadavg"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()).section(u' ', 0, 2)
                                          : u"?"_s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions(
        {{u"server"_s, u"server program (repeatable)"_s, u"path"_s},
         {u"clients"_s, u"concurrent clients"_s, u"n"_s, u"16"_s},
         {u"seconds"_s, u"seconds of load per run"_s, u"s"_s, u"20"_s},
         {u"rounds"_s, u"runs per server, alternating"_s, u"r"_s, u"2"_s},
         {u"invoices"_s, u"demo size"_s, u"n"_s, u"1200"_s},
         {u"pg"_s, u"also on PostgreSQL (FAS_TEST_PG_HOST, _PORT, _USER)"_s},
         {u"lock-seconds"_s, u"hold a write lock this long (0: skip)"_s, u"s"_s, u"0"_s}});
    parser.process(app);
    const auto number = [&](const QString& name, double low, double high) {
        return std::clamp(parser.value(name).toDouble(), low, high);
    };
    const int clients = int(number(u"clients"_s, 1, 256));
    const double seconds = number(u"seconds"_s, 0.5, 3600);
    const int rounds = int(number(u"rounds"_s, 1, 100));
    const int invoices = int(number(u"invoices"_s, 30, 1e7));
    const double lockSeconds = number(u"lock-seconds"_s, 0, 600);
    QStringList programs = parser.values(u"server"_s);
    if (programs.isEmpty())
        programs << (qEnvironmentVariableIsSet("FAS_BIN_DIR")
                         ? qEnvironmentVariable("FAS_BIN_DIR")
                         : QCoreApplication::applicationDirPath() + u"/../bin"_s) +
                        u"/fas-appserver"_s;
    if (parser.isSet(u"pg"_s) && pg("HOST").isEmpty()) {
        std::fprintf(stderr, "bench_load: --pg needs FAS_TEST_PG_HOST (and _PORT, _USER)\n");
        return 2;
    }
    QList<QProcessEnvironment> envs;
    for (QString& program : programs) {
        program = QFileInfo(program).absoluteFilePath();
        if (!QFileInfo(program).isExecutable()) {
            std::fprintf(stderr, "bench_load: no server program %s\n", qPrintable(program));
            return 2;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString libs = env.value(u"LD_LIBRARY_PATH"_s);
        env.insert(u"LD_LIBRARY_PATH"_s,
                   QFileInfo(program).absolutePath() + (libs.isEmpty() ? QString() : u':' + libs));
        env.remove(u"FAS_TOKEN"_s);
        if (!pg("PASSWORD").isEmpty())
            env.insert(u"FAS_DB_PASSWORD"_s, pg("PASSWORD"));
        envs << env;
    }

    std::printf("fas-appserver under load: %d clients on kept connections, %.0f s per run, "
                "GetInvoice of company 01 (all invoices) and SetInvoice of the client's own "
                "invoices in turns; a new demo of %d invoices (day %s) per run; %d round(s), "
                "servers alternating; load average %s\n",
                clients, seconds, invoices, qPrintable(demoDay().toString(Qt::ISODate)), rounds,
                qPrintable(loadAverage()));
    if (lockSeconds > 0)
        std::printf("then a write lock on one invoice held %.0f s by a direct connection while 4 "
                    "clients read and one more writes that invoice\n",
                    lockSeconds);
    for (qsizetype s = 0; s < programs.size(); ++s)
        std::printf("  %c = %s\n", char('A' + s), qPrintable(programs.at(s)));
    try {
        const QTemporaryDir folder(QDir::tempPath() + u"/fas-load-XXXXXX"_s);
        int run = 0;
        for (const bool postgres : {false, true}) {
            if (postgres && !parser.isSet(u"pg"_s))
                break;
            if (postgres)
                connectTo(true, u"postgres"_s, u"bench_load_admin"_s);
            std::printf("\n%s\n", postgres ? "PostgreSQL" : "SQLite");
            QList<QList<Figures>> all(programs.size());
            QList<QList<double>> demos(programs.size());
            for (int round = 1; round <= rounds; ++round) {
                for (qsizetype s = 0; s < programs.size(); ++s) {
                    Run current(postgres, folder.path(), ++run);
                    current.start(programs.at(s), envs.at(s), invoices);
                    Figures f = measureLoad(current.port, clients, seconds);
                    if (lockSeconds > 0)
                        measureLock(current, lockSeconds, f);
                    demos[s] << current.demoSeconds;
                    std::printf("  %c round %d: demo %.1f s,", char('A' + s), round,
                                current.demoSeconds);
                    for (int i = 0; i < 5; ++i)
                        std::printf(" %s %.1f,", figureNames[i], f.values[i]);
                    std::printf(" %lld+%lld calls, %lld failed, %d reconnects; load %s\n",
                                qlonglong(f.gets), qlonglong(f.sets), qlonglong(f.failures),
                                f.reconnects, qPrintable(loadAverage()));
                    if (f.failures > 0)
                        std::printf("      first failure: %s\n",
                                    qPrintable(f.firstFailure.left(300)));
                    if (lockSeconds > 0)
                        std::printf("      lock: longest GetInvoice %.1f ms (%lld calls during "
                                    "it); blocked SetInvoice %.1f ms: %s\n",
                                    f.values[5], qlonglong(f.lockGets), f.values[6],
                                    qPrintable(f.lockSetAnswer.left(200)));
                    std::fflush(stdout);
                    all[s] << f;
                }
            }
            std::printf("  medians of %d round(s)%s\n", rounds,
                        programs.size() > 1 ? ", in brackets the ratio to A" : "");
            std::printf("    %-28s", "demo data created, s");
            for (qsizetype s = 0; s < programs.size(); ++s)
                std::printf("  %c %8.1f", char('A' + s), medianOf(demos.at(s)));
            std::printf(postgres ? "   (target for 100,000 invoices: at most 60 s)\n" : "\n");
            for (int i = 0; i < (lockSeconds > 0 ? 7 : 5); ++i) {
                std::printf("    %-28s", figureNames[i]);
                double first = 0;
                for (qsizetype s = 0; s < programs.size(); ++s) {
                    QList<double> values;
                    for (const Figures& f : all.at(s))
                        values << f.values[i];
                    const double median = medianOf(values);
                    first = s == 0 ? median : first;
                    std::printf("  %c %8.1f", char('A' + s), median);
                    if (s > 0)
                        std::printf(" (%.2f)", median / std::max(first, 1e-9));
                }
                std::printf("\n");
            }
        }
        QSqlDatabase::removeDatabase(u"bench_load_admin"_s);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_load: %s\n", failure.what());
        return 1;
    }
    return 0;
}
