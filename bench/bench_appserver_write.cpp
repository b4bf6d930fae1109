// Figures 2 and 3 of bench_appserver: SetInvoice's round trip and GeraNF.
#include "bench_appserver.h"

namespace {

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
        const HttpChannel::Answer answer =
            channel.exchange({QStringLiteral("127.0.0.1"), quint16(port), {}, false, {}, {}},
                             '/' + moduleName.toUtf8(), {}, 30000);
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

} // namespace

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
        QList<ServerArg> args{ServerArg::variant(cdsInvoice.GetDelta())};
        const QJsonObject data =
            dataOf(connection.GetServer().call(RemoteMethods::SetInvoice, args), "SetInvoice");
        setTimes.append(msSince(timer));
        if (data.value(QStringLiteral("alteradas")).toInt() != 1)
            fail(QStringLiteral("SetInvoice changed %1 invoices")
                     .arg(data.value(QStringLiteral("alteradas")).toInt()));
        timer.start();
        const QByteArray request = RemoteMethods::request(
            i, RemoteMethods::SetInvoice, {ServerArg::variant(cdsInvoice.GetDelta())});
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
        QList<ServerArg> args{ServerArg::variant(cdsInvoice.GetData()),
                              ServerArg::string(QStringLiteral("Separadas"))};
        const QJsonObject data =
            dataOf(connection.GetServer().call(RemoteMethods::GeraNF, args), "GeraNF");
        times.append(msSince(timer));
        notes = int(data.value(QStringLiteral("notas")).toArray().size());
        if (notes != wanted)
            fail(QStringLiteral("GeraNF issued %1 notes").arg(notes));
        // The client's own part, again on its own.
        timer.start();
        const QByteArray packet = cdsInvoice.GetData();
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
    std::printf("  of which: GetData %6.0f ms, request bytes %6.0f ms, the server's handling "
                "%6.0f ms\n",
                median(packetTimes), median(requestTimes),
                median(server.loggedMs(QStringLiteral("GeraNF"))));
}
