#pragma once

// What the server fault tests share (tst_serverfaults, tst_serverfaults_pg): the real
// fas-appserver process, a call over HTTP, the packets and deltas of the calls, SQL reads.
#include "RemoteMethods.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <future>
#include <sys/prctl.h>

namespace ServerFaults {

// The day the demo databases are made for: the same rows whatever day the tests run.
inline const QStringList demoDay{"--demo-day", "2026-06-30"};
inline const QString program = QDir(qEnvironmentVariable("FAS_BIN_DIR")).filePath("fas-appserver");

// A fas-appserver process on a free loopback port. Its log goes to a file, which no long run
// fills the way it fills a pipe nobody reads.
class Server
{
public:
    ~Server() { stop(); }

    // `fas-appserver args` run to its end (--init-demo): empty on success, else what it said.
    static QString runToEnd(const QStringList& args)
    {
        QProcess init;
        init.start(program, args);
        if (init.waitForFinished(120000) && init.exitStatus() == QProcess::NormalExit &&
            init.exitCode() == 0)
            return {};
        return QStringLiteral("fas-appserver ended with %1 (%2): ")
                   .arg(init.exitCode())
                   .arg(init.errorString()) +
               QString::fromLocal8Bit(init.readAllStandardError());
    }

    // Empty on success, else what went wrong.
    QString start(const QStringList& args, const QString& logFile)
    {
        // A test that dies on the way does not leave its server behind.
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process.setStandardErrorFile(logFile);
        process.start(program, args + QStringList{"--port", "0"});
        QByteArray output;
        while (!output.contains('\n') && process.waitForReadyRead(30000))
            output += process.readAllStandardOutput();
        port = output.mid(output.lastIndexOf(':') + 1).trimmed().toInt();
        if (output.contains("listening on") && port > 0)
            return {};
        QFile log(logFile);
        log.open(QIODevice::ReadOnly);
        return QString::fromUtf8("fas-appserver did not start: " + output + log.readAll());
    }

    void stop()
    {
        process.terminate(); // killed on destruction, should it not end by then
        process.waitForFinished(10000);
    }

    bool running() const { return process.state() == QProcess::Running; }

    int port = 0;

private:
    QProcess process;
};

// A JSON-RPC answer; {"transport": what went wrong} when none came.
struct Answer
{
    QJsonObject json;

    QJsonObject result() const { return json.value("result").toObject(); }
    bool ok() const { return result().value("ok").toBool(); }
    QString message() const { return result().value("message").toString(); }
    QJsonObject data() const { return result().value("data").toObject(); }
    // Done, or refused in the terms of its cause: no "Falha no banco de dados", no JSON-RPC
    // error for a well-formed call, no silence.
    bool clear() const
    {
        return ok() || (!message().isEmpty() && !message().contains("Falha no banco"));
    }
    // For a failure's text.
    QByteArray shown() const
    {
        return QJsonDocument(json).toJson(QJsonDocument::Compact).left(600);
    }
};

// One call over a connection of its own, waited for without an event loop (so from any
// thread); the server closes the connection after its answer.
inline Answer post(int port, const QByteArray& body, int timeoutMs = 30000)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    socket.write(
        "POST /FAS10000.rdmBCRInvoice HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
        "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
        QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QElapsedTimer timer;
    timer.start();
    QByteArray reply;
    while (socket.state() != QAbstractSocket::UnconnectedState && timer.elapsed() < timeoutMs) {
        socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - timer.elapsed())));
        reply += socket.readAll();
    }
    const qsizetype headerEnd = reply.indexOf("\r\n\r\n");
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(reply.mid(headerEnd + 4), &error).object();
    if (socket.state() == QAbstractSocket::UnconnectedState && headerEnd > 0 &&
        error.error == QJsonParseError::NoError)
        return {json};
    return {{{"transport", QStringLiteral("%1 ms, %2: %3")
                               .arg(timer.elapsed())
                               .arg(socket.errorString(), QString::fromUtf8(reply.left(300)))}}};
}

// The invoice packet of a GetInvoice answer, and the calls made from it.
struct Packet
{
    QJsonArray fields;
    QJsonArray rows;

    static QByteArray listing(const QString& company, const QString& situation)
    {
        FilterArgs filter = FilterArgs::everything(company);
        filter.situation = situation;
        return RemoteMethods::request(1, RemoteMethods::GetInvoice, filter.toArgs());
    }

    static Packet of(const Answer& answer)
    {
        return {answer.data().value("fields").toArray(), answer.data().value("rows").toArray()};
    }

    // Company's invoices in the situations given, as the server on `port` lists them.
    static Packet fetch(int port, const QString& company, const QString& situation)
    {
        return of(post(port, listing(company, situation)));
    }

    int at(const char* name) const
    {
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (fields.at(i)["name"] == QLatin1String(name))
                return int(i);
        }
        return -1;
    }

    QString text(const QJsonValue& row, const char* name) const { return row[at(name)].toString(); }

    // The invoices a note may be issued for: received, exchanged, without one.
    QStringList ready() const
    {
        QStringList numbers;
        for (const QJsonValue& row : rows) {
            if (text(row, "IDGERNFINVOI") != "S" && !row[at("DTRECINVOICE")].isNull() &&
                !row[at("DTCAMBIOINVOICE")].isNull())
                numbers.append(text(row, "NRINVOICE"));
        }
        return numbers;
    }

    // {"op":"modify","old":row,"set":set}: one change of a delta.
    static QJsonObject modify(const QJsonValue& old, const QJsonObject& set)
    {
        return {{"op", "modify"}, {"old", old}, {"set", set}};
    }

    QByteArray setInvoice(const QJsonArray& changes) const
    {
        const QJsonObject delta{{"fields", fields}, {"changes", changes}};
        return RemoteMethods::request(2, RemoteMethods::SetInvoice, {ServerArg::variant(delta)});
    }

    // GeraNF of the packet with the invoices `numbers` marked, as the screen sends it.
    QByteArray geraNF(const QStringList& numbers, const QString& mode) const
    {
        QJsonArray marked;
        for (const QJsonValue& row : rows) {
            QJsonArray values = row.toArray();
            if (numbers.contains(text(row, "NRINVOICE")))
                values[at("IDCHECK")] = "S";
            marked.append(values);
        }
        const QJsonObject packet{{"fields", fields}, {"rows", marked}};
        return RemoteMethods::request(3, RemoteMethods::GeraNF,
                                      {ServerArg::variant(packet), ServerArg::string(mode)});
    }
};

inline QList<QVariantList> select(const QSqlDatabase& db, const QString& sql,
                                  const QVariantList& values = {})
{
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    QList<QVariantList> rows;
    for (query.exec(); query.next();) {
        rows.append(QVariantList());
        for (int i = 0; i < query.record().count(); ++i)
            rows.last().append(query.value(i));
    }
    return rows;
}

// What a call may have written about an invoice of company 01: its row and the notes.
inline QString stored(const QSqlDatabase& db, const QString& number)
{
    const QString sql = "SELECT DSREFPGTOINVOI, IDGERNFINVOI, NRNOTAFISC, (SELECT COUNT(*) FROM "
                        "NOTAFISCAL), (SELECT SUM(NRULTNOTA) FROM SEQNOTAFISC) FROM INVOICE "
                        "WHERE CDEMPRESA = '01' AND NRINVOICE = ?";
    return QVariant(select(db, sql, {number}).value(0)).toStringList().join('|');
}

// A write of one invoice of company 01 that a lock will stop: a SetInvoice of an open invoice's
// reference, or a GeraNF of a ready invoice. `number` is empty when company 01 has none.
struct BlockedWrite
{
    QString number;
    QByteArray call;

    BlockedWrite(int port, const QString& method)
    {
        const bool change = method == "SetInvoice";
        const Packet packet = Packet::fetch(port, "01", change ? "A_" : "N_");
        if (change ? packet.rows.isEmpty() : packet.ready().isEmpty())
            return;
        number = change ? packet.text(packet.rows.first(), "NRINVOICE") : packet.ready().first();
        call = change ? packet.setInvoice(
                            {Packet::modify(packet.rows.first(), {{"DSREFPGTOINVOI", "x"}})})
                      : packet.geraNF({number}, "Separadas");
    }
};

} // namespace ServerFaults
