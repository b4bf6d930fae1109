// Figure 1 of bench_appserver: one company's invoices and items into two record sets,
// beside the sqlite3 program running the same queries, and where the time goes.
#include "bench_appserver.h"

namespace {

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

// A JSON tree as compact text.
QByteArray compact(const QJsonObject& tree)
{
    return QJsonDocument(tree).toJson(QJsonDocument::Compact);
}

} // namespace

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
        const QByteArray invoices =
            packetOf(connection.GetServer().call(RemoteMethods::GetInvoice, args), "GetInvoice");
        const double invoiceCall = msSince(step);
        step.start();
        invoiceSet.SetData(invoices);
        double setData = msSince(step);
        args = FilterArgs::everything(company).toArgs();
        step.start();
        const QByteArray items =
            packetOf(connection.GetServer().call(RemoteMethods::GetItem, args), "GetItem");
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
    // The earlier client: the whole answer parsed into a JSON tree, then the tree written
    // back to text for SetData.
    const auto loadTree = [&](TClientDataSet& invoiceSet, TClientDataSet& itemSet) {
        QList<ServerArg> args = FilterArgs::everything(company).toArgs();
        invoiceSet.SetData(compact(
            dataOf(connection.GetServer().call(RemoteMethods::GetInvoice, args), "GetInvoice")));
        args = FilterArgs::everything(company).toArgs();
        itemSet.SetData(
            compact(dataOf(connection.GetServer().call(RemoteMethods::GetItem, args), "GetItem")));
    };
    // The milliseconds of one load into two new record sets (freed after the timing).
    const auto intoEmptySets = [](const auto& load) {
        TClientDataSet invoiceSet;
        TClientDataSet itemSet;
        declare(invoiceSet, InvoiceLayout::invoiceFields());
        declare(itemSet, InvoiceLayout::itemFields());
        QElapsedTimer total;
        total.start();
        load(invoiceSet, itemSet);
        return msSince(total);
    };
    for (int run = 0; run < runs; ++run) {
        // Alternate, so that neither side always finds the file cache warmer.
        sqliteMs.append(sqliteRun(database, script));
        // Into empty record sets, as on the first confirmation of the filter.
        clientMs.append(intoEmptySets([&](TClientDataSet& invoiceSet, TClientDataSet& itemSet) {
            loadBytes(invoiceSet, itemSet, true);
        }));
        treeMs.append(intoEmptySets(loadTree));
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
    std::printf("  ratio                              %9.2f   (target: at most 1.3)\n",
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
            // The listing's statement through Qt SQL, every cell read and none converted.
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
            // What the server does: rows written straight from the statement.
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
            QJsonObject parsed;
            const double parseMs =
                medianMs(runs, [&] { parsed = QJsonDocument::fromJson(streamedBytes).object(); });
            TClientDataSet cds;
            declare(cds, itemsToo ? InvoiceLayout::itemFields() : InvoiceLayout::invoiceFields());
            const double fromObjectMs = medianMs(runs, [&] {
                cds.Close();
                cds.SetData(compact(parsed));
            });
            const double fromBytesMs = medianMs(runs, [&] {
                cds.Close();
                cds.SetData(streamedBytes);
            });
            std::printf("    %-10s same SQL through Qt, cells read but not converted %6.0f\n", name,
                        rawMs);
            std::printf("    %-10s SQL straight into the JSON answer (what the server does) "
                        "%6.0f (%.1f MB) | the same through Qt SQL %6.0f\n",
                        name, streamedMs, double(streamedBytes.size()) / 1e6, qtStreamedMs);
            std::printf("    %-10s client: parse to JSON tree %6.0f + SetData(tree) %6.0f | "
                        "SetData(bytes) %6.0f\n",
                        name, parseMs, fromObjectMs, fromBytesMs);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("split"));
    return client;
}
