// The exchange dialog driven as the user drives it, over company 01's list on the settlement
// screen, against the real fas-appserver process and its demo database.
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10003.h"
#include "FasApplication.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "ScreenFixture.h"
#include "TfrmBCRInvoice.h"
#include "TfrmFiltroBCRInvoice.h"
#include "TfrmPrevCambDolar.h"
#include "WholeTextCheck.h"

#include <QMainWindow>

#include <QSqlQuery>
#include <QtTest>

namespace {

// Records, with each information, whether the exchange dialog was still showing.
struct Messages : ScriptedMessageService
{
    bool dialogShowing = false;
    void information(const QString& text) override
    {
        dialogShowing = Cli_FAS10003::frmPrevCambDolar->isVisible();
        ScriptedMessageService::information(text);
    }
};

QSqlQuery sql(const QString& statement, const QVariantList& values)
{
    QSqlQuery query;
    query.prepare(statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    query.exec();
    query.next();
    return query;
}

} // namespace

class TestExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void preview_data();
    void preview();
    void confirm_data();
    void confirm();

private:
    TfrmBCRInvoice& screen() const { return *Cli_FAS10000::frmBCRInvoice; }
    // Shows the dialog as the module does; `drive` acts on it, then it is closed if still open.
    // True when the dialog opened with the focus on the dollar value.
    bool runDialog(const std::function<void(TfrmPrevCambDolar&)>& drive);
    QString value(int row, const char* field) const;

    ScreenFixture fixture;
    Messages* shown = nullptr;
    QMainWindow* mainWindow = nullptr;
};

void TestExchange::initTestCase()
{
    auto messages = std::make_unique<Messages>();
    shown = messages.get();
    const QString problem = fixture.start(std::move(messages));
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    database.setDatabaseName(fixture.server().database);
    QVERIFY(database.open());
    fixture.makeMainWindow();
    mainWindow = fixture.mainWindow();
    QVERIFY(fixture.showMainWindow());
}

void TestExchange::init()
{
    shown->clear();
    Cli_FAS10003::Initialization();
    Cli_FAS10000::Initialization();
    QApplication::setActiveWindow(mainWindow);
    Cli_FAS10000::CriaBCRInvoice();
    QTRY_VERIFY(screen().netBCRInvoice->Connected());
}

void TestExchange::cleanup()
{
    FasApplication::DestroyAllForms();
}

bool TestExchange::runDialog(const std::function<void(TfrmPrevCambDolar&)>& drive)
{
    bool onDollar = false;
    ModalHelper::whenModal([&](QDialog& dialog) {
        auto& exchange = static_cast<TfrmPrevCambDolar&>(dialog);
        onDollar = QTest::qWaitFor([&] { return exchange.nedVrDolarDia->hasFocus(); });
        drive(exchange);
        if (exchange.isVisible())
            exchange.close();
    });
    Cli_FAS10003::CriaPrevCambDolar();
    return onDollar;
}

QString TestExchange::value(int row, const char* field) const
{
    const TClientDataSet& list = *screen().cdsInvoice;
    return list.valueAt(row, list.FieldByName(QLatin1String(field)).Index()).toString();
}

void TestExchange::preview_data()
{
    QTest::addColumn<double>("invoices");
    QTest::addColumn<QString>("dollar");
    QTest::addColumn<QStringList>("shown"); // invoices' value, preview, preview after a digit
    QTest::newRow("cents") << 1000.5 << "5,123" << QStringList{"1000,5", "5125,56", "0,00"};
    QTest::newRow("no thousands") << 1234567.25 << "2"
                                  << QStringList{"1234567,25", "2469134,50", "0,00"};
    QTest::newRow("no dollar") << 1000.5 << "" << QStringList{"1000,5", "", "0,00"};
    QTest::newRow("wider than the fields")
        << 802875392.76 << "5,5" << QStringList{"802875392,76", "4415814660,18", "0,00"};
}

// The preview on leaving the dollar value; typing in it again voids the preview.
void TestExchange::preview()
{
    QFETCH(double, invoices);
    QFETCH(QString, dollar);
    QFETCH(QStringList, shown);
    screen().VrInvoices = invoices;
    QStringList seen;
    QVERIFY(runDialog([&](TfrmPrevCambDolar& dialog) {
        QTest::keyClicks(dialog.nedVrDolarDia, dollar);
        QTest::keyClick(dialog.nedVrDolarDia, Qt::Key_Tab);
        seen << dialog.edtVrInvoices->text() << dialog.nedVrNF->text();
        QVERIFY(ShowsWholeText(*dialog.edtVrInvoices));
        QVERIFY(ShowsWholeText(*dialog.nedVrNF));
        dialog.nedVrDolarDia->setFocus();
        QTest::keyClick(dialog.nedVrDolarDia, Qt::Key_Home);
        QTest::keyClick(dialog.nedVrDolarDia, Qt::Key_1);
        seen << dialog.nedVrNF->text();
    }));
    QCOMPARE(seen, shown);
}

void TestExchange::confirm_data()
{
    QTest::addColumn<QStringList>("typed");      // dollar value, rate, exchange date
    QTest::addColumn<QList<int>>("receiptDays"); // of the three marked invoices, March 2026
    QTest::addColumn<bool>("otherUser");         // changes the third invoice meanwhile
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus"); // empty: the dialog closes
    QTest::addColumn<int>("current");   // marked invoice the list is on; -1: NrInvoiceAtual

    const QList<int> early{1, 2, 3};
    const QString date = QStringLiteral("08032026");
    QTest::newRow("no dollar") << QStringList{"", "5,200", date} << early << false
                               << "Valor do Dólar do Dia deve ser informado."
                               << "nedVrDolarDia" << -1;
    QTest::newRow("dollar no number") << QStringList{"-", "5,200", date} << early << false
                                      << "Valor do Dólar do Dia deve ser informado."
                                      << "nedVrDolarDia" << -1;
    QTest::newRow("no rate") << QStringList{"5,123", "", date} << early << false
                             << "Taxa de Câmbio deve ser informada."
                             << "nedTaxaCambio" << -1;
    QTest::newRow("no date") << QStringList{"5,123", "5,200", ""} << early << false
                             << "Data do Câmbio deve ser informada."
                             << "dbdCambio" << 0;
    QTest::newRow("half a date") << QStringList{"5,123", "5,200", "1203"} << early << false
                                 << "Data inválida: 12/03/"
                                 << "dbdCambio" << 0;
    QTest::newRow("before the second receipt")
        << QStringList{"5,123", "5,200", date} << QList<int>{1, 10, 5} << false
        << "Data de Câmbio deve ser maior ou igual à Data de Recebimento."
        << "dbdCambio" << 1;
    QTest::newRow("server refuses")
        << QStringList{"5,123", "5,200", date} << early << true << "foi alterada por outro usuário"
        << "dbdCambio" << -1;
    QTest::newRow("day of receipt, zero rate")
        << QStringList{"5,123", "0,000", date} << QList<int>{1, 8, 5} << false
        << "Câmbio cadastrado com sucesso!" << QString() << -1;
}

// All or nothing: every check of every marked invoice comes before the first change, and the
// changes are stored in one save; a refusal keeps the dialog open with what the user typed.
void TestExchange::confirm()
{
    QFETCH(QStringList, typed);
    QFETCH(QList<int>, receiptDays);
    QFETCH(bool, otherUser);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(int, current);

    const QString invoice =
        QStringLiteral("SELECT VRCAMBIOINVOICE || '|' || VRTXCAMBIOINVOI || '|' || "
                       "DTCAMBIOINVOICE FROM INVOICE WHERE CDEMPRESA = '01' AND NRINVOICE = ?");
    QStringList marked; // three invoices that may be marked, after the first
    QStringList before;
    screen().findChild<QLineEdit*>("medCdEmpresa")->setText(QStringLiteral("01"));
    Cli_FAS10001::frmFiltroBCRInvoice = FasApplication::CreateForm<TfrmFiltroBCRInvoice>();
    Cli_FAS10001::frmFiltroBCRInvoice->sbtConfirmaClick(nullptr);
    for (int row = 1; marked.size() < 3; ++row) {
        if (value(row, "IDCHECK") != QLatin1String("N"))
            continue;
        marked << value(row, "NRINVOICE");
        // Received in the afternoon: only the day counts.
        sql(QStringLiteral(
                "UPDATE INVOICE SET DTRECINVOICE = ? WHERE CDEMPRESA = '01' AND NRINVOICE = ?"),
            {QStringLiteral("2026-03-%1T15:45:00")
                 .arg(receiptDays.at(marked.size() - 1), 2, 10, QChar(u'0')),
             marked.last()});
        before << sql(invoice, {marked.last()}).value(0).toString();
    }
    Cli_FAS10001::frmFiltroBCRInvoice->sbtConfirmaClick(nullptr);
    auto* grid = screen().findChild<TDBGrid*>("dbgPadrao");
    grid->setFocus();
    for (const QString& number : marked) {
        screen().cdsInvoice->Locate(QStringLiteral("NRINVOICE"), number);
        QTest::keyClick(grid, Qt::Key_Space);
    }
    screen().NrInvoiceAtual = value(0, "NRINVOICE");
    screen().LocateNrInvoiceAtual();
    if (otherUser)
        sql(QStringLiteral("UPDATE INVOICE SET DSOBSPGTOINVOI = 'Outro' WHERE CDEMPRESA = '01' AND "
                           "NRINVOICE = ?"),
            {marked.last()});

    QStringList seen; // on a refusal: the focus, then the dollar value and rate once active again
    QVERIFY(runDialog([&](TfrmPrevCambDolar& dialog) {
        QTest::keyClicks(dialog.nedVrDolarDia, typed.at(0));
        QTest::keyClick(dialog.nedVrDolarDia, Qt::Key_Tab);
        QTest::keyClicks(dialog.nedTaxaCambio, typed.at(1));
        QTest::keyClick(dialog.nedTaxaCambio, Qt::Key_Tab);
        QTest::keyClicks(dialog.dbdCambio, typed.at(2));
        QTest::mouseClick(dialog.sbtConfirma, Qt::LeftButton);
        if (!dialog.isVisible())
            return;
        seen << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "");
        QApplication::setActiveWindow(mainWindow); // as a message box would
        QApplication::setActiveWindow(&dialog);
        seen << dialog.nedVrDolarDia->text() << dialog.nedTaxaCambio->text();
        if (otherUser) // the refused save took the marks back: nothing is left to record
            QTest::mouseClick(dialog.sbtConfirma, Qt::LeftButton);
    }));
    QCOMPARE(shown->texts().size(), otherUser ? 2 : 1);
    if (otherUser)
        QCOMPARE(shown->texts().last(),
                 "Invoice(s) deve(m) ser informado(s) para fazer a prévia do câmbio.");
    QVERIFY2(shown->texts().first().contains(message), qPrintable(shown->texts().first()));
    QCOMPARE(seen,
             focus.isEmpty() ? QStringList() : (QStringList{focus, typed.at(0), typed.at(1)}));
    QCOMPARE(screen().cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString(),
             current < 0 ? screen().NrInvoiceAtual : marked.at(current));
    QStringList after;
    for (const QString& number : marked)
        after << sql(invoice, {number}).value(0).toString();
    QCOMPARE(after, focus.isEmpty() ? QStringList(3, "5.123|0.0|2026-03-08T00:00:00") : before);
    if (!focus.isEmpty())
        return;
    QVERIFY(!shown->dialogShowing);
    // The next showing starts afresh but for the exchange date.
    QVERIFY(runDialog([&](TfrmPrevCambDolar& dialog) {
        seen << dialog.nedVrDolarDia->text() << dialog.nedTaxaCambio->text()
             << dialog.dbdCambio->text();
    }));
    QCOMPARE(seen, (QStringList{"", "", "08/03/2026"}));
}

QTEST_MAIN(TestExchange)
#include "tst_exchange.moc"
