// Application server figures, end to end against the real fas-appserver process:
//
//  1. GetInvoice plus GetItem for all invoices of one company, through TNetConnection into two
//     record sets, beside the sqlite3 command-line program running the same two queries to
//     /dev/null; the ratio of the two, and where the time goes.
//  2. SetInvoice of one changed invoice as the screen sends it: median round trip, beside a
//     bare HTTP round trip (GET, on a kept connection, through the client's own HTTP) and a
//     durable one-row update on the same file.
//  3. GeraNF for 1,000 marked invoices in the company's packet, against figure 1.
//
// The demo database (made by fas-appserver --init-demo) is cached under /tmp/fas-bench/; every
// run works on a fresh copy of it, since SetInvoice and GeraNF write.
//
//   bench_appserver [--invoices N] [--runs N] [--company CC] [--server PATH]
#include "DataPacket.h"
#include "HttpChannel.h"
#include "InvoiceLayout.h"
#include "InvoiceService.h"
#include "Schema.h"
#include "ServerDatabase.h"
#include "TClientDataSet.h"
#include "TField.h"
#include "TNetConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

namespace {

const QString moduleName = QStringLiteral("FAS10000.rdmBCRInvoice");

[[noreturn]] void fail(const QString& text)
{
    throw std::runtime_error(text.toStdString());
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double percentile(QList<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(qsizetype(share * double(values.size() - 1)));
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs the function `runs` times and returns the median milliseconds.
double medianMs(int runs, const std::function<void()>& work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(msSince(timer));
    }
    return median(times);
}

// The cached demo database, made once by the real server program.
QString cachedDatabase(const QString& server, int invoices)
{
    const QString dir = QStringLiteral("/tmp/fas-bench");
    QDir().mkpath(dir);
    const QString file = QStringLiteral("%1/appserver-%2.db").arg(dir).arg(invoices);
    if (QFile::exists(file))
        return file;
    const QString partial =
        file + QStringLiteral(".partial-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(partial);
    std::printf("creating %s with %d invoices (once; cached)...\n", qPrintable(file), invoices);
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    QProcess init;
    init.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    init.start(server, {QStringLiteral("--db"), partial, QStringLiteral("--init-demo"),
                        QStringLiteral("--invoices"), QString::number(invoices)});
    if (!init.waitForFinished(-1) || init.exitStatus() != QProcess::NormalExit ||
        init.exitCode() != 0)
        fail(QStringLiteral("%1 --init-demo failed").arg(server));
    if (!QFile::rename(partial, file))
        fail(QStringLiteral("cannot move %1 into place").arg(partial));
    std::printf("  created in %.1f s\n", msSince(timer) / 1000);
    return file;
}

QString workingCopy(const QString& pristine)
{
    // One per bench process: two benches may run side by side on the same cache.
    const QString copy = QFileInfo(pristine).dir().filePath(
        QStringLiteral("work-%1.db").arg(QCoreApplication::applicationPid()));
    QFile::remove(copy);
    if (!QFile::copy(pristine, copy))
        fail(QStringLiteral("cannot copy %1").arg(pristine));
    return copy;
}

// The real fas-appserver on a free loopback port, stopped when this goes.
class ServerProcess
{
public:
    ServerProcess(const QString& program, const QString& database)
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program,
                      {QStringLiteral("--db"), database, QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QStringLiteral("0")});
        static const QRegularExpression listening(QStringLiteral("listening on [^:]+:(\\d+)"));
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            process.waitForReadyRead(1000);
            out += process.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(out));
            if (match.hasMatch()) {
                port = match.captured(1).toInt();
                return;
            }
            if (process.state() == QProcess::NotRunning)
                break;
        }
        fail(QStringLiteral("fas-appserver did not start: %1")
                 .arg(QString::fromUtf8(process.readAllStandardError())));
    }
    ~ServerProcess()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(5000);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // The milliseconds the server logged for each call of the method so far.
    QList<double> loggedMs(const QString& method)
    {
        log += QString::fromUtf8(process.readAllStandardError());
        QList<double> found;
        const QRegularExpression line(QRegularExpression::escape(method) +
                                      QStringLiteral(" rows=-?\\d+ ms=([\\d.]+)"));
        for (auto it = line.globalMatch(log); it.hasNext();)
            found.append(it.next().captured(1).toDouble());
        return found;
    }

    int port = 0;

private:
    QProcess process;
    QString log;
};

QJsonObject dataOf(const QJsonValue& result, const char* method)
{
    const QJsonObject object = result.toObject();
    if (!object.value(QStringLiteral("ok")).toBool())
        fail(QStringLiteral("%1 failed: %2")
                 .arg(QString::fromLatin1(method),
                      object.value(QStringLiteral("message")).toString()));
    return object.value(QStringLiteral("data")).toObject();
}

QByteArray packetOf(const ServerPacketResult& result, const char* method)
{
    if (!result.result.value(QStringLiteral("ok")).toBool() || result.data.isNull())
        fail(QStringLiteral("%1 failed: %2")
                 .arg(QString::fromLatin1(method),
                      result.result.value(QStringLiteral("message")).toString()));
    return result.data;
}

void declare(TClientDataSet& cds, const QList<FieldDef>& fields)
{
    for (const FieldDef& field : fields)
        cds.AddField(field);
}

// The server's two queries for every invoice of the company, with the bound values written
// as literals (the same text InvoiceService prepares, situation "A_N_E_", no other filter).
QByteArray sqliteScript(const QString& company)
{
    const QString where =
        QStringLiteral("I.CDEMPRESA = '%1' AND (I.DTRECINVOICE IS NULL OR (I.DTRECINVOICE IS NOT "
                       "NULL AND I.IDGERNFINVOI <> 'S') OR (I.DTRECINVOICE IS NOT NULL AND "
                       "I.IDGERNFINVOI = 'S'))")
            .arg(company);
    const QString invoices = QStringLiteral(
        "SELECT C.NMFANTCLIE, I.NRINVOICE, I.CDEMPRESA, EM.NMEMPRESA, I.CDFILIAL, I.NRINVOICE, "
        "I.CDCLIENTE, C.NMFANTCLIE, I.CDPRODUTO, I.DTEMISINVOICE, I.DTVENINVOICE, "
        "I.DTRECINVOICE, I.DTCAMBIOINVOICE, I.DTAPURFATFAS, I.DTMESAPURADO, I.NRLANCTONF, "
        "I.NRNOTAFISC, I.VRCAMBIOINVOICE, I.TOTALINVOICE, I.VRORDPGTOINVOI, I.VRTXCAMBIOINVOI, "
        "I.DSREFPGTOINVOI, I.DSOBSPGTOINVOI, I.DSEMISSINVOI, I.DSBOLEFATFAS, I.IDTIPOINVOICE, "
        "I.IDGERNFINVOI, CASE WHEN I.IDGERNFINVOI = 'S' THEN 'D' ELSE 'N' END, I.IDAPURFATFAS "
        "FROM INVOICE I JOIN EMPRESA EM ON EM.CDEMPRESA = I.CDEMPRESA JOIN CLIENTE C ON "
        "C.CDCLIENTE = I.CDCLIENTE WHERE ");
    const QString items = QStringLiteral(
        "SELECT IT.CDEMPRESA, IT.CDFILIAL, IT.NRINVOICE, IT.NRSEQITINVOI, IT.CDPRODUTO, "
        "P.NMPRODUTO, IT.DSEMISSINVOI, IT.VRUNITEINVOI, IT.VRUNITEDESC, IT.VRTOTITEINVOI FROM "
        "INVOICEITEM IT JOIN INVOICE I ON I.CDEMPRESA = IT.CDEMPRESA AND I.NRINVOICE = "
        "IT.NRINVOICE LEFT JOIN PRODUTO P ON P.CDPRODUTO = IT.CDPRODUTO WHERE ");
    return (invoices + where + QStringLiteral(" ORDER BY C.NMFANTCLIE, I.NRINVOICE;\n") + items +
            where + QStringLiteral(" ORDER BY IT.NRINVOICE, IT.NRSEQITINVOI;\n"))
        .toUtf8();
}

double sqliteRun(const QString& database, const QString& script)
{
    QProcess sqlite;
    sqlite.setStandardInputFile(script);
    sqlite.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    sqlite.start(QStringLiteral("sqlite3"), {database});
    if (!sqlite.waitForFinished(-1) || sqlite.exitCode() != 0)
        fail(QStringLiteral("sqlite3 failed: %1")
                 .arg(QString::fromUtf8(sqlite.readAllStandardError())));
    return msSince(timer);
}

// A bare GET on the module's path (the handshake's answer, no call), on a kept connection,
// through the client's own HTTP (HttpChannel) or through QNetworkAccessManager.
class BareGet
{
public:
    explicit BareGet(int port)
        : port(port), url(QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(moduleName))
    {
        manager.setProxy(QNetworkProxy::NoProxy);
    }
    void throughChannel()
    {
        const HttpChannel::Answer answer = channel.exchange(
            QStringLiteral("127.0.0.1"), quint16(port), '/' + moduleName.toUtf8(), {}, 30000);
        if (answer.status != 200)
            fail(QStringLiteral("HTTP failed: %1").arg(answer.errorText));
    }
    void throughManager()
    {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        QNetworkReply* reply = manager.get(request);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        reply->readAll();
        if (reply->error() != QNetworkReply::NoError)
            fail(QStringLiteral("HTTP failed: %1").arg(reply->errorString()));
        reply->deleteLater();
    }

private:
    int port;
    QUrl url;
    HttpChannel channel;
    QNetworkAccessManager manager;
};

struct Sizes
{
    qint64 invoices = 0;
    qint64 items = 0;
    qint64 allInvoices = 0;
    qint64 allItems = 0;
};

Sizes countRows(const QString& database, const QString& company)
{
    Sizes sizes;
    ServerDatabase settings;
    settings.name = database;
    {
        QSqlDatabase db = settings.open(QStringLiteral("count"), true);
        const auto scalar = [&db](const QString& sql, const QString& value = {}) {
            QSqlQuery query(db);
            query.prepare(sql);
            if (!value.isNull())
                query.addBindValue(value);
            if (!query.exec() || !query.next())
                fail(QStringLiteral("count failed: %1").arg(sql));
            return query.value(0).toLongLong();
        };
        sizes.invoices =
            scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = ?"), company);
        sizes.items =
            scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICEITEM WHERE CDEMPRESA = ?"), company);
        sizes.allInvoices = scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE"));
        sizes.allItems = scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICEITEM"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return sizes;
}

// Figure 1, and where its time goes. Returns the end-to-end median of the first load.
double loadCompany(ServerProcess& server, TNetConnection& connection, const QString& database,
                   const QString& company, int runs, TClientDataSet& cdsInvoice)
{
    const QString script = database + QStringLiteral(".queries.sql");
    {
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail(QStringLiteral("cannot write %1").arg(script));
        file.write(sqliteScript(company));
    }

    TClientDataSet cdsItem;
    declare(cdsItem, InvoiceLayout::itemFields());
    QList<double> clientMs;
    QList<double> treeMs;
    QList<double> reloadMs;
    QList<double> sqliteMs;
    QList<double> invoiceCallMs;
    QList<double> itemCallMs;
    QList<double> setDataMs;
    // What the filter dialog does: the packets' bytes straight into the record sets.
    const auto loadBytes = [&](TClientDataSet& invoiceSet, TClientDataSet& itemSet,
                               bool breakdown) {
        QList<ServerArg> args = FilterArgs::everything(company).toArgs();
        QElapsedTimer step;
        step.start();
        const QByteArray invoices = packetOf(
            connection.GetServer().callPacket(QStringLiteral("GetInvoice"), args), "GetInvoice");
        const double invoiceCall = msSince(step);
        step.start();
        invoiceSet.SetData(invoices);
        double setData = msSince(step);
        args = FilterArgs::everything(company).toArgs();
        step.start();
        const QByteArray items =
            packetOf(connection.GetServer().callPacket(QStringLiteral("GetItem"), args), "GetItem");
        const double itemCall = msSince(step);
        step.start();
        itemSet.SetData(items);
        setData += msSince(step);
        if (breakdown) {
            invoiceCallMs.append(invoiceCall);
            itemCallMs.append(itemCall);
            setDataMs.append(setData);
        }
    };
    // The earlier client: the whole answer parsed into a JSON tree, then SetData of the tree.
    const auto loadTree = [&](TClientDataSet& invoiceSet, TClientDataSet& itemSet) {
        QList<ServerArg> args = FilterArgs::everything(company).toArgs();
        invoiceSet.SetData(
            dataOf(connection.GetServer().call(QStringLiteral("GetInvoice"), args), "GetInvoice"));
        args = FilterArgs::everything(company).toArgs();
        itemSet.SetData(
            dataOf(connection.GetServer().call(QStringLiteral("GetItem"), args), "GetItem"));
    };
    for (int run = 0; run < runs; ++run) {
        // Alternate, so that neither side always finds the file cache warmer.
        sqliteMs.append(sqliteRun(database, script));
        {
            // Into empty record sets, as on the first confirmation of the filter.
            TClientDataSet invoiceSet;
            TClientDataSet itemSet;
            declare(invoiceSet, InvoiceLayout::invoiceFields());
            declare(itemSet, InvoiceLayout::itemFields());
            QElapsedTimer total;
            total.start();
            loadBytes(invoiceSet, itemSet, true);
            clientMs.append(msSince(total));
        }
        {
            TClientDataSet invoiceSet;
            TClientDataSet itemSet;
            declare(invoiceSet, InvoiceLayout::invoiceFields());
            declare(itemSet, InvoiceLayout::itemFields());
            QElapsedTimer total;
            total.start();
            loadTree(invoiceSet, itemSet);
            treeMs.append(msSince(total));
        }
        // Into the loaded sets again: the earlier rows are freed on the way.
        if (run == 0)
            loadBytes(cdsInvoice, cdsItem, false);
        QElapsedTimer total;
        total.start();
        loadBytes(cdsInvoice, cdsItem, false);
        reloadMs.append(msSince(total));
    }
    const double client = median(clientMs);
    const double sqlite = median(sqliteMs);
    std::printf("GetInvoice + GetItem, company %s: %d invoices, %d items\n", qPrintable(company),
                cdsInvoice.RecordCount(), cdsItem.RecordCount());
    std::printf("  end to end into the record sets   %9.0f ms (median of %d)\n", client, runs);
    std::printf("  sqlite3 of the same two queries   %9.0f ms\n", sqlite);
    std::printf("  ratio                              %9.2f   (target: at most 2)\n",
                client / sqlite);
    std::printf("  the same through a JSON tree      %9.0f ms, ratio %.2f (the earlier client)\n",
                median(treeMs), median(treeMs) / sqlite);
    std::printf("  again into the loaded record sets %9.0f ms, ratio %.2f\n", median(reloadMs),
                median(reloadMs) / sqlite);

    // Where the time goes: the server's own log, then each piece measured on its own.
    const QList<double> serverInvoice = server.loggedMs(QStringLiteral("GetInvoice"));
    const QList<double> serverItem = server.loggedMs(QStringLiteral("GetItem"));
    std::printf("  breakdown (medians, ms):\n");
    std::printf("    GetInvoice call %8.0f   of which the server's handling %8.0f\n",
                median(invoiceCallMs), median(serverInvoice));
    std::printf("    GetItem call    %8.0f   of which the server's handling %8.0f\n",
                median(itemCallMs), median(serverItem));
    std::printf("    SetData of both %8.0f\n", median(setDataMs));

    // The server's handling, split: query and rows, then the JSON answer, in this process.
    ServerDatabase settings;
    settings.name = database;
    {
        const QSqlDatabase db = settings.open(QStringLiteral("split"), true);
        const InvoiceService service(db);
        const FilterArgs query = FilterArgs::everything(company);
        for (const bool itemsToo : {false, true}) {
            const char* name = itemsToo ? "GetItem" : "GetInvoice";
            DataPacket packet;
            const double queryMs = medianMs(runs, [&] {
                packet = itemsToo ? service.getItem(query) : service.getInvoice(query);
            });
            // The same statement walked with every cell read, without making packet cells.
            const QStringList statements =
                QString::fromUtf8(sqliteScript(company)).split(QLatin1Char(';'));
            const double rawMs = medianMs(runs, [&] {
                QSqlQuery raw(db);
                raw.setForwardOnly(true);
                if (!raw.exec(statements.at(itemsToo ? 1 : 0).trimmed()))
                    fail(QStringLiteral("raw query failed"));
                const int columns = itemsToo ? 10 : 29;
                qint64 cells = 0;
                while (raw.next())
                    for (int c = 0; c < columns; ++c)
                        cells += raw.value(c).isNull() ? 0 : 1;
                if (cells == 0)
                    fail(QStringLiteral("raw query read nothing"));
            });
            QByteArray treeBytes;
            const double treeMs = medianMs(runs, [&] {
                treeBytes = QJsonDocument(packet.toJsonObject()).toJson(QJsonDocument::Compact);
            });
            QByteArray directBytes;
            const double directMs = medianMs(runs, [&] { directBytes = packet.toJson(); });
            // What the server now does: rows written straight from the statement.
            QByteArray streamedBytes;
            const double streamedMs = medianMs(runs, [&] {
                streamedBytes =
                    itemsToo ? service.getItemJson(query) : service.getInvoiceJson(query);
            });
            // The same through Qt SQL's values (the server's way on PostgreSQL).
            InvoiceService qtService(db);
            qtService.setRowReader(InvoiceService::RowReader::QtSql);
            QByteArray qtBytes;
            const double qtStreamedMs = medianMs(runs, [&] {
                qtBytes = itemsToo ? qtService.getItemJson(query) : qtService.getInvoiceJson(query);
            });
            if (qtBytes != streamedBytes)
                fail(QStringLiteral("%1: the SQLite reading differs from the Qt SQL reading")
                         .arg(QLatin1String(name)));
            if (QJsonDocument::fromJson(streamedBytes).object() !=
                QJsonDocument::fromJson(directBytes).object())
                fail(QStringLiteral("%1: the streamed answer differs from the packet's")
                         .arg(QLatin1String(name)));
            QJsonObject parsed;
            const double parseMs =
                medianMs(runs, [&] { parsed = QJsonDocument::fromJson(treeBytes).object(); });
            TClientDataSet cds;
            declare(cds, itemsToo ? InvoiceLayout::itemFields() : InvoiceLayout::invoiceFields());
            const double fromObjectMs = medianMs(runs, [&] {
                cds.Close();
                cds.SetData(parsed);
            });
            const double fromBytesMs = medianMs(runs, [&] {
                cds.Close();
                cds.SetData(directBytes);
            });
            std::printf("    %-10s same SQL through Qt, cells read but not converted %6.0f\n", name,
                        rawMs);
            std::printf("    %-10s SQL and rows %6.0f | answer as JSON tree %6.0f, written "
                        "directly %6.0f (%.1f MB)\n",
                        name, queryMs, treeMs, directMs, double(treeBytes.size()) / 1e6);
            std::printf("    %-10s SQL straight into the JSON answer (what the server does) "
                        "%6.0f | the same through Qt SQL %6.0f\n",
                        name, streamedMs, qtStreamedMs);
            std::printf("    %-10s client: parse to JSON tree %6.0f + SetData(tree) %6.0f | "
                        "SetData(bytes) %6.0f\n",
                        name, parseMs, fromObjectMs, fromBytesMs);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("split"));
    return client;
}

// What a durable write costs on its own: one single-row UPDATE in its own transaction on the
// same SQLite file, through a connection opened as the server opens its own (same journal
// mode, same synchronous setting), the statement prepared once. An invoice of another
// company, so that the server's rows stay as the client loaded them.
class DurableUpdate
{
public:
    explicit DurableUpdate(const QString& database, const QString& company)
    {
        ServerDatabase settings;
        settings.name = database;
        db = settings.open(QStringLiteral("durable"), true);
        QSqlQuery pick(db);
        pick.prepare(QStringLiteral("SELECT CDEMPRESA, NRINVOICE FROM INVOICE WHERE CDEMPRESA <> ? "
                                    "ORDER BY NRINVOICE LIMIT 1"));
        pick.addBindValue(company);
        if (!pick.exec() || !pick.next())
            fail(QStringLiteral("no invoice of another company"));
        key = {pick.value(0).toString(), pick.value(1).toString()};
        update = QSqlQuery(db);
        if (!update.prepare(QStringLiteral("UPDATE INVOICE SET DSOBSPGTOINVOI = ? WHERE "
                                           "CDEMPRESA = ? AND NRINVOICE = ?")))
            fail(QStringLiteral("cannot prepare the update"));
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode"));
        pragma.next();
        mode = pragma.value(0).toString();
        pragma.exec(QStringLiteral("PRAGMA synchronous"));
        pragma.next();
        mode += QStringLiteral(", synchronous=") + pragma.value(0).toString();
    }
    ~DurableUpdate()
    {
        update = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("durable"));
    }

    double once(int step)
    {
        QElapsedTimer timer;
        timer.start();
        if (!db.transaction())
            fail(QStringLiteral("cannot begin"));
        update.bindValue(0, QStringLiteral("Gravação avulsa %1").arg(step));
        update.bindValue(1, key.first);
        update.bindValue(2, key.second);
        if (!update.exec() || update.numRowsAffected() != 1 || !db.commit())
            fail(QStringLiteral("the durable update failed"));
        return msSince(timer);
    }

    QString mode;

private:
    QSqlDatabase db;
    QSqlQuery update;
    std::pair<QString, QString> key;
};

// Figure 2: one changed invoice, again and again, as the screen sends it (the delta's bytes),
// beside a bare GET on the same server and a durable single-row update, interleaved so that
// all three see the same load.
void setInvoiceRoundTrip(ServerProcess& server, TNetConnection& connection, const QString& database,
                         const QString& company, TClientDataSet& cdsInvoice)
{
    const int repeats = 200;
    if (!cdsInvoice.Locate(QStringLiteral("IDGERNFINVOI"), QStringLiteral("N")))
        fail(QStringLiteral("no invoice without a note to change"));
    BareGet bare(server.port);
    bare.throughChannel(); // the connections are open before the first timed call
    bare.throughManager();
    DurableUpdate durable(database, company);
    QList<double> setTimes;
    QList<double> buildTimes;
    QList<double> bareTimes;
    QList<double> managerTimes;
    QList<double> updateTimes;
    for (int i = 0; i < repeats; ++i) {
        cdsInvoice.Edit();
        cdsInvoice.FieldByName(QStringLiteral("DSOBSPGTOINVOI"))
            .SetAsString(QStringLiteral("Conferido no teste de desempenho, passo %1.").arg(i));
        cdsInvoice.Post();
        QElapsedTimer timer;
        timer.start();
        QList<ServerArg> args{ServerArg::variant(cdsInvoice.GetDeltaJson())};
        const QJsonObject data =
            dataOf(connection.GetServer().call(RemoteMethods::SetInvoice, args), "SetInvoice");
        setTimes.append(msSince(timer));
        if (data.value(QStringLiteral("alteradas")).toInt() != 1)
            fail(QStringLiteral("SetInvoice changed %1 invoices")
                     .arg(data.value(QStringLiteral("alteradas")).toInt()));
        timer.start();
        const QByteArray request = RemoteMethods::request(
            i, RemoteMethods::SetInvoice, {ServerArg::variant(cdsInvoice.GetDeltaJson())});
        buildTimes.append(msSince(timer));
        if (request.isEmpty())
            fail(QStringLiteral("no request"));
        cdsInvoice.MergeChangeLog();

        timer.start();
        bare.throughChannel();
        bareTimes.append(msSince(timer));
        timer.start();
        bare.throughManager();
        managerTimes.append(msSince(timer));
        updateTimes.append(durable.once(i));
    }
    const double set = median(setTimes);
    const double bareMs = median(bareTimes);
    const double update = median(updateTimes);
    std::printf("SetInvoice of one changed invoice (medians of %d, interleaved)\n", repeats);
    std::printf("  SetInvoice round trip              %9.3f ms\n", set);
    std::printf("  bare HTTP round trip (GET)         %9.3f ms (through QNetworkAccessManager "
                "%.3f ms)\n",
                bareMs, median(managerTimes));
    std::printf("  durable one-row UPDATE transaction %9.3f ms (%s)\n", update,
                qPrintable(durable.mode));
    std::printf("  ratio to bare + update             %9.2f   (target: at most 1.5)\n",
                set / (bareMs + update));
    std::printf("  of which: delta and request bytes  %9.3f ms; the server's handling %.3f ms\n",
                median(buildTimes), median(server.loggedMs(QStringLiteral("SetInvoice"))));
    std::printf("  tenth and ninetieth percentiles: SetInvoice %.3f / %.3f, bare %.3f / %.3f, "
                "update %.3f / %.3f ms\n",
                percentile(setTimes, 0.1), percentile(setTimes, 0.9), percentile(bareTimes, 0.1),
                percentile(bareTimes, 0.9), percentile(updateTimes, 0.1),
                percentile(updateTimes, 0.9));
}

// Figure 3: 1,000 invoices that may have a note marked "S" in the invoice record set, sent as
// the screen sends them (the packet's bytes), against the same run's retrieval of the list.
void geraNF(ServerProcess& server, TNetConnection& connection, TClientDataSet& cdsInvoice, int runs,
            double retrievalMs)
{
    const int wanted = 1000;
    QList<int> candidates; // record numbers
    TField& received = cdsInvoice.FieldByName(QStringLiteral("DTRECINVOICE"));
    TField& exchanged = cdsInvoice.FieldByName(QStringLiteral("DTCAMBIOINVOICE"));
    TField& rate = cdsInvoice.FieldByName(QStringLiteral("VRCAMBIOINVOICE"));
    TField& issued = cdsInvoice.FieldByName(QStringLiteral("IDGERNFINVOI"));
    TField& mark = cdsInvoice.FieldByName(QStringLiteral("IDCHECK"));
    for (cdsInvoice.First(); !cdsInvoice.Eof(); cdsInvoice.Next()) {
        if (!received.IsNull() && !exchanged.IsNull() && !rate.IsNull() &&
            issued.AsString() == QLatin1String("N"))
            candidates.append(cdsInvoice.RecNo());
    }
    const int possible = int(candidates.size() / wanted);
    if (possible == 0)
        fail(QStringLiteral("only %1 invoices can get a note").arg(candidates.size()));
    runs = std::min(runs, possible);

    QList<double> times;
    QList<double> packetTimes;
    QList<double> requestTimes;
    qsizetype packetBytes = 0;
    int notes = 0;
    for (int run = 0; run < runs; ++run) {
        for (int k = 0; k < wanted; ++k) {
            cdsInvoice.SetRecNo(candidates.at(run * wanted + k));
            cdsInvoice.Edit();
            mark.SetAsString(QStringLiteral("S"));
            cdsInvoice.Post();
        }
        QElapsedTimer timer;
        timer.start();
        QList<ServerArg> args{ServerArg::variant(cdsInvoice.GetDataJson()),
                              ServerArg::string(QStringLiteral("Separadas"))};
        const QJsonObject data =
            dataOf(connection.GetServer().call(RemoteMethods::GeraNF, args), "GeraNF");
        times.append(msSince(timer));
        notes = int(data.value(QStringLiteral("notas")).toArray().size());
        if (notes != wanted)
            fail(QStringLiteral("GeraNF issued %1 notes").arg(notes));
        // The client's own part, again on its own.
        timer.start();
        const QByteArray packet = cdsInvoice.GetDataJson();
        packetTimes.append(msSince(timer));
        packetBytes = packet.size();
        timer.start();
        const QByteArray request = RemoteMethods::request(
            run, RemoteMethods::GeraNF,
            {ServerArg::variant(packet), ServerArg::string(QStringLiteral("Separadas"))});
        requestTimes.append(msSince(timer));
        cdsInvoice.CancelUpdates();
    }
    const double round = median(times);
    std::printf("GeraNF \"Separadas\" for %d marked invoices in a packet of %d (%.1f MB)\n", wanted,
                cdsInvoice.RecordCount(), double(packetBytes) / 1e6);
    std::printf("  round trip                         %9.0f ms (median of %d; %d notes)\n", round,
                runs, notes);
    std::printf("  retrieval of the list (figure 1)   %9.0f ms\n", retrievalMs);
    std::printf("  ratio                              %9.2f   (target: at most 0.5)\n",
                round / retrievalMs);
    std::printf("  of which: GetDataJson %6.0f ms, request bytes %6.0f ms, the server's handling "
                "%6.0f ms\n",
                median(packetTimes), median(requestTimes),
                median(server.loggedMs(QStringLiteral("GeraNF"))));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("invoices"), QStringLiteral("demo size"),
                        QStringLiteral("n"), QStringLiteral("100000")},
                       {QStringLiteral("runs"), QStringLiteral("runs per median"),
                        QStringLiteral("n"), QStringLiteral("3")},
                       {QStringLiteral("company"), QStringLiteral("company measured"),
                        QStringLiteral("code"), QStringLiteral("01")},
                       {QStringLiteral("server"), QStringLiteral("fas-appserver program"),
                        QStringLiteral("path")}});
    parser.process(app);
    const int invoices = parser.value(QStringLiteral("invoices")).toInt();
    const int runs = std::max(1, parser.value(QStringLiteral("runs")).toInt());
    const QString company = parser.value(QStringLiteral("company"));
    const QString program = parser.isSet(QStringLiteral("server"))
                                ? parser.value(QStringLiteral("server"))
                                : QDir(QCoreApplication::applicationDirPath())
                                      .filePath(QStringLiteral("../bin/fas-appserver"));

    try {
        const QString database = workingCopy(cachedDatabase(program, invoices));
        // Removed after the server has ended (declared before it).
        const std::unique_ptr<const QString, void (*)(const QString*)> removeCopy(
            &database, [](const QString* file) {
                for (const char* suffix : {"", "-wal", "-shm", ".queries.sql"})
                    QFile::remove(*file + QLatin1String(suffix));
            });
        const Sizes sizes = countRows(database, company);
        std::printf("database: %lld invoices, %lld items; company %s has %lld invoices, %lld "
                    "items\n\n",
                    qlonglong(sizes.allInvoices), qlonglong(sizes.allItems), qPrintable(company),
                    qlonglong(sizes.invoices), qlonglong(sizes.items));

        ServerProcess server(program, database);
        TNetConnection connection;
        connection.Port = server.port;
        connection.ServerName = moduleName;
        connection.TimeoutMs = 600000;
        connection.SetConnected(true);

        TClientDataSet cdsInvoice;
        declare(cdsInvoice, InvoiceLayout::invoiceFields());
        const double retrieval =
            loadCompany(server, connection, database, company, runs, cdsInvoice);
        std::printf("\n");
        setInvoiceRoundTrip(server, connection, database, company, cdsInvoice);
        std::printf("\n");
        geraNF(server, connection, cdsInvoice, runs, retrieval);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_appserver: %s\n", failure.what());
        return 1;
    }
    return 0;
}
