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
#include "bench_appserver.h"

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
    const QString file = QStringLiteral("%1/appserver-%2-%3.db")
                             .arg(dir)
                             .arg(invoices)
                             .arg(demoDay().toString(Qt::ISODate));
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
    init.start(server, QStringList{QStringLiteral("--db"), partial, QStringLiteral("--init-demo"),
                                   QStringLiteral("--invoices"), QString::number(invoices)} +
                           demoDayArgs());
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

QJsonObject dataOf(const ServerResult& result, const char* method)
{
    return QJsonDocument::fromJson(packetOf(result, method)).object();
}

QByteArray packetOf(const ServerResult& result, const char* method)
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
