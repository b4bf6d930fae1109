// The settlement screen's batch work over a whole list, against the real fas-appserver on the
// demo database: loading the invoices and items of one company (GetInvoice + GetItem into the
// screen's record sets), then marking and unmarking them all by a click on the mark column's
// title, with the item list following every move of the walk; and the receipt and exchange
// confirmations of 1,000 marked invoices, from the click on the confirm button to the stored
// result.
//
// The demo databases are cached under /tmp/fas-bench/ (shared with bench_appserver).
//
//   bench_settlement [--invoices N[,N...]] [--runs N] [--company CC]
#include "AppServerProcess.h"
#include "CheckResultServ.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "FasApplication.h"
#include "FormatFloat.h"
#include "MessageService.h"
#include "ReceiptShares.h"
#include "TfrmBCRInvoice.h"
#include "TfrmConfReceb.h"
#include "TfrmFiltroBCRInvoice.h"
#include "TfrmPrevCambDolar.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiArea>
#include <QProcess>
#include <QScopedValueRollback>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double timedMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

QString cachedDatabase(int invoices)
{
    const QString file = QStringLiteral("/tmp/fas-bench/appserver-%1.db").arg(invoices);
    if (QFile::exists(file))
        return file;
    QDir().mkpath(QStringLiteral("/tmp/fas-bench"));
    std::printf("creating %s (once; cached)...\n", qPrintable(file));
    std::fflush(stdout);
    const QString partial = file + QStringLiteral(".partial");
    QFile::remove(partial);
    const QString problem = AppServerProcess::createDemo(
        partial, {QStringLiteral("--invoices"), QString::number(invoices)});
    if (!problem.isEmpty() || !QFile::rename(partial, file))
        throw std::runtime_error(qPrintable(problem.isEmpty() ? file : problem));
    return file;
}

// The filter's retrieval, as the screen does it: both packets into the screen's record sets.
void retrieve(TfrmBCRInvoice& screen, const QString& company)
{
    QList<ServerArg> args = FilterArgs::everything(company).toArgs();
    screen.cdsInvoice->SetData(CheckResultServ(
        screen.netBCRInvoice->GetServer().call(RemoteMethods::GetInvoice, args), true, 0));
    args = FilterArgs::everything(company).toArgs();
    screen.cdsItem->SetData(CheckResultServ(
        screen.netBCRInvoice->GetServer().call(RemoteMethods::GetItem, args), true, 0));
}

// The server on a fresh copy of the cached database, in `copy`. With the previous run's journal
// files: a write-ahead log left by a server that was killed would be read into the fresh copy
// and damage it.
void serveCopy(AppServerProcess& server, const QString& copy, int invoices)
{
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(copy + QLatin1String(suffix));
    if (!QFile::copy(cachedDatabase(invoices), copy))
        throw std::runtime_error("cannot copy the demo database");
    const QString problem = server.serve(copy);
    if (!problem.isEmpty())
        throw std::runtime_error(qPrintable(problem));
}

// The resident and peak resident sizes of this process, in MB, as the system counts them.
std::pair<double, double> residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read /proc/self/status");
    double rss = 0, peak = 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto kb = [&](const char* key) {
            return line.startsWith(key) ? line.mid(qsizetype(std::strlen(key)))
                                                  .trimmed()
                                                  .split(' ')
                                                  .value(0)
                                                  .toDouble() /
                                              1024
                                        : 0.0;
        };
        rss += kb("VmRSS:");
        peak += kb("VmHWM:");
    }
    return {rss, peak};
}

// The memory of the screen with the company's list loaded through the filter's confirmation,
// in a process of its own so that the peak is this load's alone.
void measureMemory(int invoices, const QString& company)
{
    const QString copy = QStringLiteral("/tmp/fas-bench/settlement-memory.db");
    AppServerProcess server;
    serveCopy(server, copy, invoices);
    Cli_FAS10000::Initialization();
    Cli_FAS10000::CriaBCRInvoice();
    TfrmBCRInvoice& screen = *Cli_FAS10000::frmBCRInvoice;
    screen.findChild<QLineEdit*>("medCdEmpresa")->setText(company);
    screen.CdEmpresaAnterior = company;
    Cli_FAS10001::frmFiltroBCRInvoice = new TfrmFiltroBCRInvoice;
    Cli_FAS10001::boIdCriado = true;
    QCoreApplication::processEvents();
    const double before = residentMb().first;
    const double ms =
        timedMs([&] { Cli_FAS10001::frmFiltroBCRInvoice->sbtConfirmaClick(nullptr); });
    QCoreApplication::processEvents();
    const auto [rss, peak] = residentMb();
    std::printf("memory of the screen, company %s of the %d-invoice database: %d invoices and "
                "their items listed in %.0f ms\n",
                qPrintable(company), invoices, screen.cdsInvoice->RecordCount(), ms);
    std::printf("  resident %6.0f MB  (target at most 200 MB; %.0f MB before the load)\n", rss,
                before);
    std::printf("  peak     %6.0f MB  (target at most 240 MB)\n", peak);
    std::fflush(stdout);
    QFile::remove(copy);
}

int countMarked(TClientDataSet& invoices)
{
    int marked = 0;
    for (int row = 0; row < invoices.RecordCount(); ++row)
        marked += invoices.valueAt(row, invoices.FieldByName(QStringLiteral("IDCHECK")).Index())
                      .toString() == QLatin1String("S");
    return marked;
}

// Marks `count` invoices with no date in `openField` that are not marked yet, as the user's
// clicks do (pending, not saved); returns the sum of their totals.
double markOpenInvoices(TfrmBCRInvoice& screen, int count,
                        const QString& openField = QStringLiteral("DTRECINVOICE"))
{
    TClientDataSet& invoices = *screen.cdsInvoice;
    const QScopedValueRollback<TClientDataSet::Event> detached(invoices.AfterPost, {});
    double sum = 0;
    for (invoices.First(); !invoices.Eof() && count > 0; invoices.Next()) {
        if (!invoices.FieldByName(openField).IsNull() ||
            invoices.FieldByName(QStringLiteral("IDCHECK")).AsString() != QLatin1String("N"))
            continue;
        invoices.Edit();
        invoices.FieldByName(QStringLiteral("IDCHECK")).SetAsString(QStringLiteral("S"));
        invoices.Post();
        sum += invoices.FieldByName(QStringLiteral("TOTALINVOICE")).AsFloat();
        --count;
    }
    invoices.First();
    return sum;
}

// The receipt of a payment order for the marked invoices, from the click on the confirm
// button to the stored result.
double confirmReceipt(TfrmBCRInvoice& screen, double sum)
{
    screen.addUpMarked(false);
    TfrmConfReceb* dialog = FasApplication::CreateForm<TfrmConfReceb>();
    dialog->FormActivate(dialog);
    dialog->dbdReceb->SetDate(QDate(2027, 6, 30)); // after every issue date of the demo data
    // Whole reais (the field takes nine characters): at least the invoices' value.
    dialog->edtVrOrdPgto->setText(QString::number(qint64(std::ceil(sum))));
    const double ms = timedMs([&] { dialog->sbtConfirmaClick(dialog->sbtConfirma); });
    if (screen.cdsInvoice->GetChangeCount() != 0 || dialog->isVisible())
        throw std::runtime_error("the receipt was not stored");
    delete dialog;
    return ms;
}

// The exchange of the same invoices (still marked after their receipt).
double confirmExchange(TfrmBCRInvoice& screen)
{
    TfrmPrevCambDolar* dialog = FasApplication::CreateForm<TfrmPrevCambDolar>();
    dialog->FormActivate(dialog);
    dialog->nedVrDolarDia->SetNumber(5.123);
    dialog->nedTaxaCambio->SetNumber(5.1);
    dialog->dbdCambio->SetDate(QDate(2027, 6, 30));
    const double ms = timedMs([&] { dialog->sbtConfirmaClick(dialog->sbtConfirma); });
    if (screen.cdsInvoice->GetChangeCount() != 0 || dialog->isVisible())
        throw std::runtime_error("the exchange was not stored");
    delete dialog;
    return ms;
}

void measure(int invoices, int runs, const QString& company)
{
    // The confirmations write: the server works on a copy of the cached database.
    AppServerProcess server;
    serveCopy(server, QStringLiteral("/tmp/fas-bench/settlement-work.db"), invoices);

    Cli_FAS10000::Initialization();
    Cli_FAS10000::CriaBCRInvoice();
    TfrmBCRInvoice& screen = *Cli_FAS10000::frmBCRInvoice;
    QHeaderView& titles = *screen.findChild<TDBGrid*>("dbgPadrao")->horizontalHeader();

    QList<double> loads, marks, unmarks;
    int listed = 0, marked = 0;
    for (int run = 0; run < runs; ++run) {
        loads.append(timedMs([&] { retrieve(screen, company); }));
        listed = screen.cdsInvoice->RecordCount();
        // The click on the title, through the grid as the user makes it.
        marks.append(timedMs([&] { emit titles.sectionClicked(0); }));
        marked = countMarked(*screen.cdsInvoice);
        unmarks.append(timedMs([&] { emit titles.sectionClicked(0); }));
    }
    QList<double> receipts, exchanges;
    if (invoices <= 100000) {
        for (int run = 0; run < runs; ++run) {
            retrieve(screen, company); // marks of the earlier runs gone
            const double sum = markOpenInvoices(screen, 1000);
            receipts.append(confirmReceipt(screen, sum));
            exchanges.append(confirmExchange(screen));
        }
    }
    // The long receipt: as many invoices as a clerk marks in a large company, of those not
    // exchanged yet (a receipt after the exchange is refused).
    constexpr int longCount = 15365;
    QList<double> longReceipts;
    int longMarked = 0;
    if (invoices <= 100000) {
        for (int run = 0; run < runs; ++run) {
            retrieve(screen, company);
            const double sum =
                markOpenInvoices(screen, longCount, QStringLiteral("DTCAMBIOINVOICE"));
            longMarked = countMarked(*screen.cdsInvoice);
            if (longMarked < longCount)
                break;
            longReceipts.append(confirmReceipt(screen, sum));
        }
    }
    Cli_FAS10000::Finalization();
    FasApplication::DestroyAllForms();

    const double load = median(loads);
    std::printf("company %s of the %d-invoice database: %d invoices listed, %d marked\n",
                qPrintable(company), invoices, listed, marked);
    std::printf("  retrieval (GetInvoice + GetItem into the record sets) %8.0f ms\n", load);
    std::printf("  mark all by the title click                           %8.0f ms  (%.2f of "
                "the retrieval; target at most 500 ms)\n",
                median(marks), median(marks) / load);
    std::printf("  unmark all by the title click                         %8.0f ms\n",
                median(unmarks));
    if (!receipts.isEmpty())
        std::printf("  receipt of 1,000 marked invoices, confirm to stored   %8.0f ms  (%.2f of "
                    "the retrieval; target at most 0.5)\n",
                    median(receipts), median(receipts) / load);
    if (!longReceipts.isEmpty())
        std::printf("  receipt of %5d marked invoices, confirm to stored    %8.0f ms  (target at "
                    "most 1,000 ms)\n",
                    longMarked, median(longReceipts));
    if (!exchanges.isEmpty())
        std::printf("  exchange of the same invoices, confirm to stored      %8.0f ms  (%.2f of "
                    "the retrieval; target at most 0.5)\n",
                    median(exchanges), median(exchanges) / load);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    if (qEnvironmentVariableIsEmpty("FAS_BIN_DIR"))
        qputenv("FAS_BIN_DIR", QDir(QCoreApplication::applicationDirPath())
                                   .filePath(QStringLiteral("../bin"))
                                   .toLocal8Bit());
    QCommandLineParser parser;
    parser.addOptions(
        {{QStringLiteral("invoices"), QStringLiteral("demo sizes"), QStringLiteral("n,..."),
          QStringLiteral("100000,300000")},
         {QStringLiteral("runs"), QStringLiteral("runs per median"), QStringLiteral("n"),
          QStringLiteral("3")},
         {QStringLiteral("company"), QStringLiteral("company measured"), QStringLiteral("code"),
          QStringLiteral("01")},
         {QStringLiteral("memory"), QStringLiteral("demo size of the memory figure (0: none)"),
          QStringLiteral("n"), QStringLiteral("300000")},
         {QStringLiteral("memory-only"),
          QStringLiteral("the memory figure alone, in this process")}});
    parser.process(app);
    const QString company = parser.value(QStringLiteral("company"));
    const int memoryInvoices = parser.value(QStringLiteral("memory")).toInt();

    const ScopedScriptedMessages messages; // the success messages need no answer
    QMainWindow window;
    auto* area = new QMdiArea(&window);
    window.setCentralWidget(area);
    window.resize(1000, 700);
    FasApplication::SetMainForm(&window, area);
    window.show();
    try {
        if (parser.isSet(QStringLiteral("memory-only"))) {
            measureMemory(memoryInvoices, company);
            return 0;
        }
        if (memoryInvoices > 0) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--memory-only"), QStringLiteral("--memory"),
                         QString::number(memoryInvoices), QStringLiteral("--company"), company});
            if (!child.waitForFinished(-1) || child.exitCode() != 0)
                throw std::runtime_error("the memory figure failed");
        }
        for (const QString& size : parser.value(QStringLiteral("invoices")).split(QLatin1Char(',')))
            measure(size.toInt(), std::max(1, parser.value(QStringLiteral("runs")).toInt()),
                    company);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_settlement: %s %s\n", failure.what(),
                     qPrintable((*messages).texts().join(QLatin1Char('|'))));
        return 1;
    }
    FasApplication::SetMainForm(nullptr, nullptr);
    return 0;
}
