// The settlement screen driven as a user drives it (keys, tab, clicks) inside a real main
// window, against the real fas-appserver process on a free port and its demo database.
// This file holds the set-up and the helpers that every topic shares (the server starts once
// for all of them); the tests themselves are in tst_settlement/, by topic.

#include "SettlementTest.h"

#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10002.h"
#include "Cli_FAS10003.h"
#include "FasApplication.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSqlQuery>

void TestSettlement::initTestCase()
{
    const QString problem = fixture.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    demoDb = fixture.server().database;
    serverPort = fixture.server().port;

    area = &fixture.makeMainWindow(QSize(1200, 700));
    mainWindow = fixture.mainWindow();
    otherWindow = area->addSubWindow(new QWidget);
    QVERIFY(fixture.showMainWindow());
}

void TestSettlement::cleanupTestCase()
{
    FasApplication::DestroyAllForms();
}

void TestSettlement::init()
{
    shown().clear();
    Cli_FAS10001::Initialization();
    Cli_FAS10002::Initialization();
    Cli_FAS10003::Initialization();
    Cli_FAS10000::Initialization();
    // The offscreen platform does not give the activation back after a modal dialog.
    QApplication::setActiveWindow(mainWindow);
    Cli_FAS10000::CriaBCRInvoice();
    QVERIFY(screen());
    QTRY_COMPARE(QApplication::focusWidget(), screen()->ui->medCdEmpresa);
    QTRY_VERIFY(screen()->netBCRInvoice->Connected());
}

void TestSettlement::cleanup()
{
    Cli_FAS10000::Finalization();
    Cli_FAS10003::Finalization();
    Cli_FAS10002::Finalization();
    Cli_FAS10001::Finalization();
    FasApplication::DestroyAllForms();
    QVERIFY(!screen());
    QCOMPARE(BusyAnimationDepth(), 0);
}

CountingFilter* TestSettlement::installFilter()
{
    auto* filter = FasApplication::CreateForm<CountingFilter>();
    Cli_FAS10001::frmFiltroBCRInvoice = filter;
    Cli_FAS10001::boIdCriado = true;
    return filter;
}

// A company chosen by typing its code and tabbing out, with the filter dialog in existence.
CountingFilter* TestSettlement::chooseCompany(const QString& company)
{
    CountingFilter* filter = installFilter();
    typeIntoCompany(company);
    leaveCompany();
    return filter;
}

// The invoices or items of a company, every situation and date, straight from the server
// over the screen's own connection.
DataPacket TestSettlement::fetch(const QString& method, const QString& company)
{
    QList<ServerArg> args = FilterArgs::everything(company).toArgs();
    const ServerResult result = screen()->netBCRInvoice->GetServer().call(
        method == QLatin1String("GetItem") ? RemoteMethods::GetItem : RemoteMethods::GetInvoice,
        args);
    return DataPacket::fromJson(CheckResultServ(result, true, 0));
}

// Loads a company's invoices, then its items, as the filter's confirmation does; the packets
// may be changed on the way.
void TestSettlement::loadCompany(const QString& company,
                                 const std::function<void(DataPacket&)>& invoices,
                                 const std::function<void(DataPacket&)>& items)
{
    DataPacket invoicePacket = fetch(QStringLiteral("GetInvoice"), company);
    DataPacket itemPacket = fetch(QStringLiteral("GetItem"), company);
    if (invoices)
        invoices(invoicePacket);
    if (items)
        items(itemPacket);
    screen()->cdsInvoice->SetData(invoicePacket);
    screen()->cdsItem->SetData(itemPacket);
}

QString TestSettlement::cell(TDBGrid* grid, int row, int column) const
{
    return grid->model()->index(row, column).data().toString();
}

void TestSettlement::typeIntoCompany(const QString& text)
{
    QLineEdit* field = screen()->ui->medCdEmpresa;
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void TestSettlement::leaveCompany()
{
    QTest::keyClick(screen()->ui->medCdEmpresa, Qt::Key_Tab);
}

void TestSettlement::enterCompany()
{
    QTest::mouseClick(screen()->ui->medCdEmpresa, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), screen()->ui->medCdEmpresa);
}

// Activates another window of the main window, then the screen: a real activation.
void TestSettlement::activateScreen()
{
    area->setActiveSubWindow(otherWindow);
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(screen()->parentWidget()));
}

// A company listed as if chosen in the field: leaving the field afterwards reloads nothing.
void TestSettlement::listCompany(const QString& company,
                                 const std::function<void(DataPacket&)>& invoices)
{
    installFilter();
    screen()->ui->medCdEmpresa->setText(company);
    screen()->CdEmpresaAnterior = company;
    loadCompany(company, invoices);
}

QVariant TestSettlement::invoiceValue(int row, const char* field) const
{
    TClientDataSet& invoices = *screen()->cdsInvoice;
    return invoices.valueAt(row, invoices.FieldByName(QLatin1String(field)).Index());
}

QString TestSettlement::mark(int row) const
{
    return invoiceValue(row, "IDCHECK").toString();
}

void TestSettlement::clickMark(int row)
{
    TDBGrid* grid = screen()->ui->dbgPadrao;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(row, 0)).center());
}

QList<int> TestSettlement::readyForNotes() const
{
    QList<int> rows;
    for (int row = 0; row < screen()->cdsInvoice->RecordCount(); ++row)
        if (!invoiceValue(row, "DTRECINVOICE").isNull() &&
            !invoiceValue(row, "DTCAMBIOINVOICE").isNull() &&
            invoiceValue(row, "IDGERNFINVOI").toString() == QLatin1String("N"))
            rows << row;
    return rows;
}

int TestSettlement::storedNotes() const
{
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("check"), false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(demoDb);
    }
    db.open();
    QSqlQuery query(QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL"), db);
    return query.next() ? query.value(0).toInt() : -1;
}

QList<int> TestSettlement::openInvoices() const
{
    QList<int> rows;
    for (int row = 0; row < screen()->cdsInvoice->RecordCount(); ++row)
        if (invoiceValue(row, "DTRECINVOICE").isNull() && mark(row) == QLatin1String("N"))
            rows << row;
    return rows;
}

Row TestSettlement::serverInvoice(const QString& number, const DataPacket& packet) const
{
    for (const Row& row : packet.rows)
        if (row.at(packet.indexOf(QStringLiteral("NRINVOICE"))).toString() == number)
            return row;
    return {};
}

QTEST_MAIN(TestSettlement)
