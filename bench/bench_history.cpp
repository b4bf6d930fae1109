// What the invoices' history costs, and the note preview against GeraNF, measured in the
// server's service itself (no HTTP in between), on a SQLite demo database:
//  1. SetInvoice of one invoice's receipt, with and without the history (medians, interleaved);
//  2. SetInvoice of a receipt of 1,000 invoices in one delta, with and without;
//  3. PreviaNF and GeraNF ("Separadas") of the same 1,000 marked invoices, each run on a fresh
//     copy of the database.
// Usage: bench_history [--invoices N] [--repeats R]

#include "DataPacket.h"
#include "DemoData.h"
#include "InvoiceService.h"
#include "Schema.h"
#include "ServerDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "bench_history: %s\n", qPrintable(what));
    std::exit(1);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

double timedMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// Open invoices of company 01 that receive a payment, again and again: each run sets a new
// reference over what the previous run stored.
class Receipts
{
public:
    Receipts(const DataPacket& packet, int count) : fields(packet.fields)
    {
        const int received = packet.indexOf(QStringLiteral("DTRECINVOICE"));
        for (const Row& row : packet.rows) {
            if (rows.size() < count && row.at(received).isNull())
                rows.append(row);
        }
        if (rows.size() < count)
            fail(QStringLiteral("only %1 open invoices").arg(rows.size()));
    }
    // The next receipt's delta; the rows become what it stores.
    Delta next()
    {
        ++run;
        Delta delta{fields, {}};
        for (Row& row : rows) {
            const QList<std::pair<QString, QVariant>> set{
                {QStringLiteral("DTRECINVOICE"), QDateTime(QDate(2026, 6, 1), QTime())},
                {QStringLiteral("VRORDPGTOINVOI"), 1000.0 + run},
                {QStringLiteral("DSREFPGTOINVOI"), QStringLiteral("OP %1").arg(run)}};
            delta.changes.append(DeltaChange{QStringLiteral("modify"), row, set});
            for (const auto& [name, value] : set)
                row[findFieldDef(fields, name) - fields.constData()] = value;
        }
        return delta;
    }

private:
    QList<FieldDef> fields;
    QList<Row> rows;
    int run = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("invoices"), QStringLiteral("demo size"),
                        QStringLiteral("n"), QStringLiteral("20000")},
                       {QStringLiteral("repeats"), QStringLiteral("runs of each figure"),
                        QStringLiteral("r"), QStringLiteral("31")}});
    parser.process(app);
    const int invoices = parser.value(QStringLiteral("invoices")).toInt();
    const int repeats = std::max(3, parser.value(QStringLiteral("repeats")).toInt());

    QTemporaryDir dir;
    const QString pristine = dir.filePath(QStringLiteral("demo.db"));
    const auto open = [](const QString& file, const QString& name) {
        ServerDatabase where;
        where.name = file;
        return where.open(name, false);
    };
    {
        QSqlDatabase db = open(pristine, QStringLiteral("fill"));
        Schema::create(db);
        DemoData(invoices, QDate(2026, 6, 30)).fill(db);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));

    InvoiceService::Options without;
    without.history = false;
    {
        const QString work = dir.filePath(QStringLiteral("work.db"));
        QFile::copy(pristine, work);
        QSqlDatabase db = open(work, QStringLiteral("work"));
        InvoiceService with(db);
        InvoiceService bare(db, without);
        for (const int count : {1, 1000}) {
            Receipts receipts(DataPacket::fromJson(with.getInvoiceJson(
                                  FilterArgs::everything(QStringLiteral("01")))),
                              count);
            QList<double> on, off;
            const int runs = count == 1 ? repeats * 5 : repeats;
            for (int i = 0; i < runs; ++i) {
                for (InvoiceService* service : {&with, &bare}) {
                    const Delta delta = receipts.next();
                    (service == &with ? on : off).append(timedMs([&] {
                        if (service->setInvoice(delta).value(QStringLiteral("alteradas")).toInt() !=
                            count)
                            fail(QStringLiteral("SetInvoice stored another count"));
                    }));
                }
            }
            std::printf("SetInvoice, receipt of %d invoice(s), medians of %d interleaved:\n", count,
                        runs);
            std::printf("  with the history     %9.3f ms\n", median(on));
            std::printf("  without              %9.3f ms\n", median(off));
            std::printf("  ratio                %9.3f\n", median(on) / median(off));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("work"));

    QList<double> previews, issues;
    int marked = 0;
    for (int i = 0; i < std::max(3, repeats / 6); ++i) {
        const QString work = dir.filePath(QStringLiteral("notes%1.db").arg(i));
        QFile::copy(pristine, work);
        {
            QSqlDatabase db = open(work, QStringLiteral("notes"));
            InvoiceService service(db);
            DataPacket packet = DataPacket::fromJson(
                service.getInvoiceJson(FilterArgs::everything(QStringLiteral("01"))));
            const int mark = packet.indexOf(QStringLiteral("IDCHECK"));
            const int exchanged = packet.indexOf(QStringLiteral("DTCAMBIOINVOICE"));
            const int issued = packet.indexOf(QStringLiteral("IDGERNFINVOI"));
            marked = 0;
            for (Row& row : packet.rows) {
                const bool ready =
                    !row.at(exchanged).isNull() && row.at(issued).toString() != QLatin1String("S");
                row[mark] = ready && marked < 1000 ? QStringLiteral("S") : QStringLiteral("N");
                marked += ready && marked < 1000;
            }
            const QByteArray text = packet.toJson();
            previews.append(timedMs([&] { service.previaNF(text); }));
            issues.append(timedMs([&] { service.geraNF(text, QStringLiteral("Separadas")); }));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("notes"));
        QFile::remove(work);
    }
    std::printf("PreviaNF and GeraNF \"Separadas\" of %d marked invoices, medians of %lld:\n",
                marked, qlonglong(previews.size()));
    std::printf("  PreviaNF             %9.3f ms\n", median(previews));
    std::printf("  GeraNF               %9.3f ms\n", median(issues));
    std::printf("  ratio                %9.3f\n", median(previews) / median(issues));
    return 0;
}
