// The filter dialog's saved criteria: closing, reloading on the hidden dialog, and the failure
// paths of a load.

#include "FilterTest.h"

#include "BusyAnimation.h"
#include "Colors.h"
#include "EventDispatch.h"
#include "ModalHelper.h"

void TestFilter::closingRestoresConfirmedCriteria()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    clickIndicator(f.rbtLCliente);
    Cli_FAS10001::stCliente = QStringLiteral("C0001");
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    f.depEmissIni->setText(QStringLiteral("01/01/2025"));
    f.depEmissFin->setText(QStringLiteral("31/12/2025"));
    confirm();
    QVERIFY(!f.isVisible());
    QCOMPARE(server->calls.size(), 2);

    // Changes made and then dropped by closing without confirming.
    showDialog();
    clickIndicator(f.rbtTCliente);
    Cli_FAS10001::stCliente = QStringLiteral("C0009");
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    QTest::mouseClick(f.chbPago, Qt::LeftButton);
    f.depEmissIni->setText(QString());
    f.depEmissFin->setText(QString());
    f.depCambIni->setText(QStringLiteral("01/01/2025"));
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(server->calls.size(), 2); // closing does not load

    QVERIFY(f.rbtLCliente->isChecked());
    QVERIFY(f.btpCliente->isEnabled());
    QCOMPARE(Cli_FAS10001::stCliente, QStringLiteral("C0001"));
    QVERIFY(f.chbAberto->isChecked());
    QVERIFY(!f.chbPago->isChecked());
    QVERIFY(!f.grbNotaFiscal->isEnabled());
    QCOMPARE(f.depEmissIni->text(), QStringLiteral("01/01/2025"));
    QCOMPARE(f.depEmissFin->text(), QStringLiteral("31/12/2025"));
    QCOMPARE(f.depEmissIni->Color(), clInfoBk);
    QVERIFY(f.depCambIni->text().isEmpty());
    QCOMPARE(f.depCambIni->Color(), clWindow);
}

void TestFilter::firstOpeningCloseLoads()
{
    screen->CdEmpresaAnterior = QStringLiteral("  ");
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); });

    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QVERIFY(!dialog().isVisible());
    QVERIFY(screen->cdsInvoice->RecordCount() > 0);
    QVERIFY(screen->cdsItem->Active());

    // Closing while a check fails keeps the dialog open and loads nothing.
    server->calls.clear();
    ModalHelper::whenModal(
        [this](QDialog& shown) {
            dialog().depVencIni->setText(QStringLiteral("01/01/2025"));
            shown.close();
            QVERIFY(shown.isVisible());
            QCOMPARE(msgs().texts(), QStringList{"Data Final de Vencimento deve ser informada."});
            dialog().depVencIni->setText(QString());
            shown.close();
        },
        "TfrmFiltroBCRInvoice");
    Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); });
    QVERIFY(!dialog().isVisible());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
}

void TestFilter::hiddenReloadUsesSavedCriteria()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    confirm();
    const QString firstNumber = screen->cdsInvoice->FieldByName("NRINVOICE").AsString();
    server->calls.clear();

    // A second company while the remembered code is still blank (a new screen): one
    // confirmation, not a second from the close handler; the dialog never shows.
    screen->CdEmpresaAnterior.clear();
    screen->findChild<QLineEdit*>("medCdEmpresa")->setText(QStringLiteral("02"));
    QVERIFY(Dispatch([&] { f.sbtConfirmaClick(screen); }));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    for (const RecordingServer::Call& call : server->calls) {
        QCOMPARE(param(call, 0), QStringLiteral("02"));
        QCOMPARE(param(call, 1), QStringLiteral("A_"));
    }
    QVERIFY(!f.isVisible());
    QVERIFY(!f.Confirmando());
    QVERIFY(screen->cdsInvoice->FieldByName("NRINVOICE").AsString() != firstNumber);
    QVERIFY(f.chbAberto->isChecked());
}

void TestFilter::noMatchClosesItems()
{
    loadCompany(QStringLiteral("01"));
    QVERIFY(screen->cdsItem->Active());
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    f.depEmissIni->setText(QStringLiteral("01/01/2090"));
    f.depEmissFin->setText(QStringLiteral("02/01/2090"));
    confirm();
    QVERIFY(msgs().messages.isEmpty());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QVERIFY(screen->cdsInvoice->Active());
    QVERIFY(screen->cdsInvoice->IsEmpty());
    QVERIFY(!screen->cdsItem->Active());
    QVERIFY(!f.isVisible());
}

void TestFilter::getItemFailure()
{
    loadCompany(QStringLiteral("01"));
    QVERIFY(screen->cdsItem->RecordCount() > 0);

    TfrmFiltroBCRInvoice& f = dialog();
    screen->findChild<QLineEdit*>("medCdEmpresa")->setText(QStringLiteral("02"));
    showDialog();
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    server->failing.insert(QStringLiteral("GetItem"));
    confirm();

    QCOMPARE(msgs().texts(), QStringList{server->failureText});
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(f.isVisible());
    // The new invoices are there; no item of the previous company stays under them.
    QVERIFY(screen->cdsInvoice->RecordCount() > 0);
    QCOMPARE(screen->cdsInvoice->FieldByName("CDEMPRESA").AsString(), QStringLiteral("02"));
    QVERIFY(!screen->cdsItem->Active());
    // The snapshot was not taken: closing puts back the criteria of company 01's load.
    f.close();
    QVERIFY(!f.chbAberto->isChecked());

    // The next confirmation brings both lists back in line.
    server->failing.clear();
    server->calls.clear();
    msgs().clear();
    showDialog();
    confirm();
    QVERIFY(msgs().messages.isEmpty());
    QVERIFY(screen->cdsItem->Active());
    QVERIFY(screen->cdsItem->RecordCount() > 0);
}

// Company 01 listed, 02 typed and left, GetItem refused: 02's invoices are on the screen.
// Typing 01 back and leaving must reload, although 01 is the code last remembered.
void TestFilter::halfLoadedListReloadsOnExit()
{
    loadCompany(QStringLiteral("01"));
    screen->show();
    const auto leaveWith = [&](const QString& company) {
        // The code of the last whole list, whatever the focus did since.
        screen->CdEmpresaAnterior = QStringLiteral("01");
        screen->findChild<QLineEdit*>("medCdEmpresa")->setText(company);
        Dispatch([&] { screen->medCdEmpresaExit(screen->findChild<QLineEdit*>("medCdEmpresa")); });
    };
    server->failing.insert(QStringLiteral("GetItem"));
    leaveWith(QStringLiteral("02"));
    QCOMPARE(msgs().texts(), QStringList{server->failureText});
    QCOMPARE(screen->cdsInvoice->FieldByName("CDEMPRESA").AsString(), QStringLiteral("02"));

    server->failing.clear();
    server->calls.clear();
    msgs().clear();
    leaveWith(QStringLiteral("01"));
    QVERIFY(msgs().messages.isEmpty());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QCOMPARE(screen->cdsInvoice->FieldByName("CDEMPRESA").AsString(), QStringLiteral("01"));
    QVERIFY(screen->cdsItem->RecordCount() > 0);

    server->calls.clear();
    leaveWith(QStringLiteral("01")); // a whole list: the same code loads nothing
    QVERIFY(server->calls.isEmpty());
}

void TestFilter::firstOpeningCloseWithServerFailure_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("GetInvoice") << "GetInvoice";
    QTest::newRow("GetItem") << "GetItem";
}

// On the first opening, closing loads; when the server fails then, the failure is reported
// and the dialog still closes: the user is never shut in it.
void TestFilter::firstOpeningCloseWithServerFailure()
{
    QFETCH(QString, failing);
    screen->CdEmpresaAnterior = QStringLiteral("  ");
    server->failing.insert(failing);
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QVERIFY(Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); }));

    QVERIFY(!dialog().isVisible());
    QCOMPARE(msgs().texts(), QStringList{server->failureText});
    QCOMPARE(server->methods().constLast(), failing);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(!screen->cdsItem->Active());
    msgs().clear();

    // With the company taken as chosen, closing goes back to the criteria the dialog
    // started with, as none was confirmed: every customer, nothing loaded.
    screen->CdEmpresaAnterior = QStringLiteral("01");
    server->calls.clear();
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QVERIFY(Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); }));
    QVERIFY(dialog().rbtTCliente->isChecked());
    QVERIFY(!dialog().btpCliente->isEnabled());
    QVERIFY(server->calls.isEmpty());

    // The filter command tries again once the server is back.
    screen->CdEmpresaAnterior = QStringLiteral("  ");
    server->failing.clear();
    server->calls.clear();
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QVERIFY(Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); }));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QVERIFY(screen->cdsItem->Active());
    QVERIFY(msgs().messages.isEmpty());
}
