// The four units' create procedures and close handlers, linked in directly so that tests can
// reach the forms' members: single instances, what closing leaves, the filter's guard.
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10002.h"
#include "Cli_FAS10003.h"
#include "FasApplication.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "ScreenFixture.h"
#include "TfrmBCRInvoice.h"
#include "TfrmConfReceb.h"
#include "TfrmFiltroBCRInvoice.h"
#include "TfrmPrevCambDolar.h"

#include <QtTest>
#include <functional>
#include <memory>

namespace {

// Counts the confirmations, and those started while another one runs.
class CountingFilter : public TfrmFiltroBCRInvoice
{
public:
    int entries = 0;
    int nested = 0;

    void sbtConfirmaClick(QObject* sender) override
    {
        ++entries;
        if (Confirmando())
            ++nested;
        TfrmFiltroBCRInvoice::sbtConfirmaClick(sender);
    }
};

void loadOneInvoice(TClientDataSet& cds)
{
    DataPacket packet;
    packet.fields = cds.FieldDefs();
    Row row;
    for (const FieldDef& def : std::as_const(packet.fields)) {
        switch (def.type) {
        case FieldType::String:
            row << QVariant(def.name == QLatin1String("NRINVOICE") ? QStringLiteral("1234")
                                                                   : QStringLiteral("A"));
            break;
        case FieldType::DateTime:
            row << QVariant(QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
            break;
        case FieldType::Float:
            row << QVariant(10.0);
            break;
        }
    }
    packet.rows << row;
    cds.SetData(packet);
}

} // namespace

class TestUnits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void screenIsOneInstanceUntilClosed();
    void filterCloseHandler_data();
    void filterCloseHandler();
    void confirmationOnHiddenDialogDoesNotReenter_data();
    void confirmationOnHiddenDialogDoesNotReenter();
    void dialogCloseDropsUnpostedEdit_data();
    void dialogCloseDropsUnpostedEdit();
    void formDestroyedWithoutClosingComesBackNew_data();
    void formDestroyedWithoutClosingComesBackNew();

private:
    CountingFilter* installCountingFilter();

    ScreenFixture fixture;
};

void TestUnits::initTestCase()
{
    const QString problem = fixture.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestUnits::init()
{
    Cli_FAS10001::Initialization();
    Cli_FAS10002::Initialization();
    Cli_FAS10003::Initialization();
    Cli_FAS10000::Initialization();
    Cli_FAS10000::CriaBCRInvoice();
    QVERIFY(Cli_FAS10000::frmBCRInvoice);
}

void TestUnits::cleanup()
{
    Cli_FAS10000::Finalization();
    Cli_FAS10003::Finalization();
    Cli_FAS10002::Finalization();
    Cli_FAS10001::Finalization();
    FasApplication::DestroyAllForms();
    QVERIFY(!Cli_FAS10000::frmBCRInvoice);
    QVERIFY2(fixture.messages().messages.isEmpty(),
             qPrintable(fixture.messages().texts().join('\n')));
}

CountingFilter* TestUnits::installCountingFilter()
{
    auto* filter = FasApplication::CreateForm<CountingFilter>();
    Cli_FAS10001::frmFiltroBCRInvoice = filter;
    Cli_FAS10001::boIdCriado = true;
    return filter;
}

void TestUnits::screenIsOneInstanceUntilClosed()
{
    QPointer<TfrmBCRInvoice> first = Cli_FAS10000::frmBCRInvoice;
    QVERIFY(Cli_FAS10000::boIdCriado);
    first->showMinimized();
    Cli_FAS10000::CriaBCRInvoice();
    QCOMPARE(Cli_FAS10000::frmBCRInvoice, first.data());
    QVERIFY(!first->isMinimized());

    QVERIFY(first->close());
    QVERIFY(!Cli_FAS10000::boIdCriado);
    QTRY_VERIFY(first.isNull());
    QVERIFY2(!Cli_FAS10000::frmBCRInvoice, "no pointer to a destroyed screen");

    Cli_FAS10000::CriaBCRInvoice();
    QVERIFY(Cli_FAS10000::frmBCRInvoice);
    QVERIFY(Cli_FAS10000::boIdCriado);
    QVERIFY(!Cli_FAS10000::frmBCRInvoice->cdsInvoice->Active());
    QVERIFY(Cli_FAS10000::frmBCRInvoice->CdEmpresaAnterior.isEmpty());
}

void TestUnits::filterCloseHandler_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("confirmations");

    // No company loaded yet: closing the dialog loads with the criteria as they stand.
    QTest::newRow("first opening, close button") << "  " << false << 1;
    QTest::newRow("first opening, Esc") << "" << true << 1;
    // Afterwards closing drops the edits and restores the last confirmed criteria.
    QTest::newRow("company chosen, close button") << "01" << false << 0;
    QTest::newRow("company chosen, Esc") << "01" << true << 0;
}

void TestUnits::filterCloseHandler()
{
    QFETCH(QString, company);
    QFETCH(bool, escape);
    QFETCH(int, confirmations);

    CountingFilter* filter = installCountingFilter();
    Cli_FAS10000::frmBCRInvoice->CdEmpresaAnterior = company;

    // An edit to the criteria, then closed without the confirm button.
    ModalHelper::whenModal([&](QDialog& dialog) {
        filter->chbAberto->setChecked(true);
        filter->depEmissIni->setText(QStringLiteral("01/03/2024"));
        filter->depEmissFin->setText(QStringLiteral("31/03/2024"));
        if (escape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
    });
    Cli_FAS10001::CriaFiltroBCRInvoice();

    QCOMPARE(filter->entries, confirmations);
    QCOMPARE(filter->nested, 0);
    QVERIFY(!filter->isVisible());
    QVERIFY(Cli_FAS10001::boIdCriado);
    const bool kept = confirmations > 0;
    QCOMPARE(filter->chbAberto->isChecked(), kept);
    QCOMPARE(filter->depEmissIni->text(), kept ? QStringLiteral("01/03/2024") : QString());
    QCOMPARE(filter->depEmissFin->text(), kept ? QStringLiteral("31/03/2024") : QString());

    // The next opening is the same dialog with the same criteria.
    bool aberto = !kept;
    ModalHelper::whenModal([&](QDialog& dialog) {
        aberto = filter->chbAberto->isChecked();
        Cli_FAS10000::frmBCRInvoice->CdEmpresaAnterior = QStringLiteral("01");
        dialog.close();
    });
    Cli_FAS10001::CriaFiltroBCRInvoice();
    QCOMPARE(Cli_FAS10001::frmFiltroBCRInvoice, filter);
    QCOMPARE(aberto, kept);
}

void TestUnits::confirmationOnHiddenDialogDoesNotReenter_data()
{
    QTest::addColumn<QString>("company");
    QTest::newRow("no company loaded yet") << "  ";
    QTest::newRow("company loaded") << "01";
}

void TestUnits::confirmationOnHiddenDialogDoesNotReenter()
{
    QFETCH(QString, company);

    // A change of company or the refresh command confirms on the hidden dialog; its close at
    // the end runs the close handler, which must not confirm again.
    CountingFilter* filter = installCountingFilter();
    Cli_FAS10000::frmBCRInvoice->CdEmpresaAnterior = company;
    filter->chbPago->setChecked(true);
    filter->sbtConfirmaClick(Cli_FAS10000::frmBCRInvoice);

    QCOMPARE(filter->entries, 1);
    QCOMPARE(filter->nested, 0);
    QVERIFY(!filter->Confirmando());
    QVERIFY(!filter->isVisible());
    QVERIFY2(filter->chbPago->isChecked(), "the confirmed criteria are the saved filter");
}

void TestUnits::dialogCloseDropsUnpostedEdit_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("escape");
    QTest::newRow("receipt, close button") << "receipt" << false;
    QTest::newRow("receipt, Esc") << "receipt" << true;
    QTest::newRow("exchange, close button") << "exchange" << false;
    QTest::newRow("exchange, Esc") << "exchange" << true;
}

void TestUnits::dialogCloseDropsUnpostedEdit()
{
    QFETCH(QString, dialog);
    QFETCH(bool, escape);

    const bool receipt = dialog == QLatin1String("receipt");
    const std::function<void()> cria =
        receipt ? Cli_FAS10002::CriaConfReceb : Cli_FAS10003::CriaPrevCambDolar;
    auto instance = [receipt]() -> QDialog* {
        if (receipt)
            return Cli_FAS10002::frmConfReceb;
        return Cli_FAS10003::frmPrevCambDolar;
    };

    TClientDataSet& cds = *Cli_FAS10000::frmBCRInvoice->cdsInvoice;
    loadOneInvoice(cds);
    cds.Edit();
    cds.FieldByName(QStringLiteral("DSREFPGTOINVOI")).SetAsString(QStringLiteral("alterado"));

    auto closeIt = [escape](QDialog& shown) {
        if (escape)
            QTest::keyClick(&shown, Qt::Key_Escape);
        else
            shown.close();
    };
    ModalHelper::whenModal(closeIt);
    cria();

    QCOMPARE(cds.State(), TDataSetState::Browse);
    QCOMPARE(cds.FieldByName(QStringLiteral("DSREFPGTOINVOI")).AsString(), QStringLiteral("A"));
    QCOMPARE(cds.GetChangeCount(), 0);
    QPointer<QDialog> first = instance();
    QVERIFY(first);
    QVERIFY(!first->isVisible());

    // Reused on the next request; closing with the record in browse state changes nothing.
    ModalHelper::whenModal(closeIt);
    cria();
    QCOMPARE(instance(), first.data());
    QCOMPARE(cds.State(), TDataSetState::Browse);
}

void TestUnits::formDestroyedWithoutClosingComesBackNew_data()
{
    QTest::addColumn<QString>("unit");
    for (const char* unit : {"Cli_FAS10000", "Cli_FAS10001", "Cli_FAS10002", "Cli_FAS10003"})
        QTest::newRow(unit) << QString::fromLatin1(unit);
}

void TestUnits::formDestroyedWithoutClosingComesBackNew()
{
    QFETCH(QString, unit);

    // Each unit's create procedure and its variable; a dialog is closed as soon as it shows.
    struct Entry
    {
        std::function<void()> cria;
        std::function<QWidget*()> instance;
        bool dialog;
    };
    const QHash<QString, Entry> units{
        {"Cli_FAS10000",
         {Cli_FAS10000::CriaBCRInvoice, [] { return Cli_FAS10000::frmBCRInvoice.data(); }, false}},
        {"Cli_FAS10001",
         {Cli_FAS10001::CriaFiltroBCRInvoice,
          [] { return Cli_FAS10001::frmFiltroBCRInvoice.data(); }, true}},
        {"Cli_FAS10002",
         {Cli_FAS10002::CriaConfReceb, [] { return Cli_FAS10002::frmConfReceb.data(); }, true}},
        {"Cli_FAS10003",
         {Cli_FAS10003::CriaPrevCambDolar, [] { return Cli_FAS10003::frmPrevCambDolar.data(); },
          true}},
    };
    const Entry& entry = units.value(unit);
    // A company is loaded: closing the filter dialog loads nothing.
    Cli_FAS10000::frmBCRInvoice->CdEmpresaAnterior = QStringLiteral("01");
    auto cria = [&entry] {
        if (entry.dialog)
            ModalHelper::closeWhenModal();
        entry.cria();
    };

    cria();
    QPointer<QWidget> first = entry.instance();
    QVERIFY(first);
    // Destroyed without its close handler, as the forms of an unloaded module are.
    delete first.data();
    QVERIFY2(!entry.instance(), "the unit's variable clears itself");

    cria();
    QVERIFY2(entry.instance(), "the next request makes the form again");
    if (entry.dialog)
        QVERIFY(!entry.instance()->isVisible());
    else
        QVERIFY(entry.instance()->isVisible());
}

QTEST_MAIN(TestUnits)
#include "tst_units.moc"
