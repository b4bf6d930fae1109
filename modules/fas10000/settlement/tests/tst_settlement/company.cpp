// The settlement screen's company field (typing, refusals, the filter dialog, the lookup,
// the refresh) and its connection to the server.

#include "SettlementTest.h"

#include "BusyAnimation.h"
#include "Cli_FAS10001.h"
#include "LookupListDialog.h"
#include "ModalHelper.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QTableWidget>
#include <QTcpServer>

// ---- the company field ----------------------------------------------------------------------

void TestSettlement::companyFieldTakesDigitsOnly_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QString>("text");

    const int none = Qt::NoModifier, keypad = Qt::KeypadModifier, shift = Qt::ShiftModifier;
    QTest::newRow("digits") << Keys{{Qt::Key_1, none}, {Qt::Key_2, none}} << "12";
    QTest::newRow("letter") << Keys{{Qt::Key_A, none}, {Qt::Key_3, none}} << "3";
    QTest::newRow("capital letter") << Keys{{Qt::Key_B, shift}, {Qt::Key_4, none}} << "4";
    QTest::newRow("plus sign") << Keys{{Qt::Key_Plus, shift}, {Qt::Key_5, none}} << "5";
    QTest::newRow("minus sign") << Keys{{Qt::Key_Minus, none}, {Qt::Key_6, none}} << "6";
    QTest::newRow("keypad plus") << Keys{{Qt::Key_Plus, keypad}, {Qt::Key_7, none}} << "7";
    QTest::newRow("keypad minus") << Keys{{Qt::Key_Minus, keypad}, {Qt::Key_8, none}} << "8";
    QTest::newRow("space") << Keys{{Qt::Key_Space, none}, {Qt::Key_9, none}} << "9";
    QTest::newRow("backspace") << Keys{{Qt::Key_1, none},
                                       {Qt::Key_Backspace, none},
                                       {Qt::Key_2, none}}
                               << "2";
    QTest::newRow("keypad digit") << Keys{{Qt::Key_3, keypad}} << "3";
}

void TestSettlement::companyFieldTakesDigitsOnly()
{
    QFETCH(Keys, keys);
    QFETCH(QString, text);
    typeIntoCompany(QString());
    QLineEdit* field = screen()->ui->medCdEmpresa;
    field->setCursorPosition(0);
    for (const auto& [key, modifiers] : keys)
        QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(field->text(), text);
}

void TestSettlement::companyRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank") << ""
                           << "Empresa deve ser informada.";
    QTest::newRow("unknown") << "99"
                             << "Empresa não cadastrada.";
    QTest::newRow("unknown single digit") << "9"
                                          << "Empresa não cadastrada.";
}

// A refused code shows the message, leaves the focus in the field, the commands disabled and
// the invoices loaded before on the screen.
void TestSettlement::companyRefused()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    CountingFilter* filter = installFilter();
    typeIntoCompany(QStringLiteral("1"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    loadCompany(QStringLiteral("01"));
    TfrmBCRInvoice* frm = screen();
    const int invoices = frm->cdsInvoice->RecordCount();
    QTRY_VERIFY(frm->ui->sbtGerarNF->isEnabled() || frm->ui->dbgPadrao->hasFocus());

    enterCompany();
    typeIntoCompany(typed);
    leaveCompany();
    QCOMPARE(shown().texts(), QStringList{message});
    shown().clear();
    QCOMPARE(QApplication::focusWidget(), frm->ui->medCdEmpresa);
    for (QWidget* command : std::initializer_list<QWidget*>{
             frm->ui->sbtFiltrar, frm->ui->sbtProcurar, frm->ui->sbtVerificar, frm->ui->sbtCadAuto,
             frm->ui->sbtGerarNF, frm->ui->sbtMais})
        QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
    for (QAction* command : {frm->ui->mnuFiltrar, frm->ui->mnuProcurar, frm->ui->mnuVerificar,
                             frm->ui->mnuGerarNF, frm->ui->mnuMais})
        QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
    QVERIFY(frm->ui->edtNmEmpresa->text().isEmpty());
    QCOMPARE(filter->confirmations, 1);
    QCOMPARE(frm->cdsInvoice->RecordCount(), invoices);
}

// The first company since the module was loaded: "1" is looked up as "01", stays so in the
// field, its name shows and the filter dialog opens.
void TestSettlement::firstCompanyOpensFilter()
{
    QVERIFY(!Cli_FAS10001::frmFiltroBCRInvoice);
    int dialogs = 0;
    QString nameWhileOpen;
    ModalHelper::whenModal(
        [&](QDialog& dialog) {
            ++dialogs;
            nameWhileOpen = screen()->ui->edtNmEmpresa->text();
            dialog.close();
        },
        "TfrmFiltroBCRInvoice");
    typeIntoCompany(QStringLiteral("1"));
    leaveCompany();
    QCOMPARE(dialogs, 1);
    TfrmBCRInvoice* frm = screen();
    QCOMPARE(frm->ui->medCdEmpresa->text(), QStringLiteral("01"));
    QCOMPARE(nameWhileOpen, QStringLiteral("Exportadora Café Brasil S.A."));
    QCOMPARE(frm->ui->edtNmEmpresa->text(), QStringLiteral("Exportadora Café Brasil S.A."));
    QCOMPARE(frm->CdEmpresaAnterior, QStringLiteral("01"));
    QVERIFY(frm->ui->sbtFiltrar->isEnabled());
    QVERIFY(frm->ui->mnuFiltrar->isEnabled());
    QVERIFY(!frm->cdsItem->ControlsDisabled());
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));

    // The filter command opens the same dialog again.
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QTest::mouseClick(frm->ui->sbtFiltrar, Qt::LeftButton);
    QVERIFY(Cli_FAS10001::frmFiltroBCRInvoice);
    QVERIFY(!Cli_FAS10001::frmFiltroBCRInvoice->isVisible());
}

// With the dialog in existence, a changed code reloads through the hidden dialog's
// confirmation; the same code reloads nothing and still gives the commands back.
void TestSettlement::companyChangeReloadsWithoutDialog()
{
    CountingFilter* filter = installFilter();
    TfrmBCRInvoice* frm = screen();
    typeIntoCompany(QStringLiteral("01"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    // The company of the list after a reload: closing the filter unconfirmed changes nothing.
    QCOMPARE(frm->CdEmpresaAnterior, QStringLiteral("01"));
    QVERIFY(frm->ui->sbtFiltrar->isEnabled());

    loadCompany(QStringLiteral("01"));
    enterCompany();
    QVERIFY(!frm->ui->sbtFiltrar->isEnabled());
    QVERIFY(!frm->ui->sbtGerarNF->isEnabled());
    QCOMPARE(frm->CdEmpresaAnterior, QStringLiteral("01"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    QVERIFY(frm->ui->sbtFiltrar->isEnabled());
    QVERIFY(frm->ui->sbtGerarNF->isEnabled());
    QVERIFY(frm->ui->mnuGerarNF->isEnabled());
    QVERIFY(frm->ui->sbtMais->isEnabled());
    QVERIFY(!frm->ui->sbtIncluir->isEnabled());

    enterCompany();
    typeIntoCompany(QStringLiteral("2"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 2);
    QCOMPARE(frm->ui->medCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(frm->ui->edtNmEmpresa->text(), QStringLiteral("Companhia Açucareira Paulista"));
    QCOMPARE(filter->shows, 0);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));
}

// A reload that fails leaves the focus in the field without entering it again, so that the
// next exit loads again instead of taking the old list for the new company.
void TestSettlement::failedReloadKeepsFieldAndRetries()
{
    CountingFilter* filter = installFilter();
    filter->failures = 1;
    TfrmBCRInvoice* frm = screen();
    typeIntoCompany(QStringLiteral("02"));
    leaveCompany();
    QCOMPARE(shown().texts(), QStringList{QStringLiteral("Servidor indisponível.")});
    shown().clear();
    QCOMPARE(QApplication::focusWidget(), frm->ui->medCdEmpresa);
    QVERIFY(!frm->ui->sbtFiltrar->isEnabled());
    QVERIFY(!frm->cdsItem->ControlsDisabled());

    leaveCompany();
    QCOMPARE(filter->confirmations, 2);
    QVERIFY(frm->ui->sbtFiltrar->isEnabled());
    QVERIFY(QApplication::focusWidget() != frm->ui->medCdEmpresa);
}

// The lookup lists every company by code; picking one fills the code and the name and leaves
// the focus in the field without loading anything: leaving the field loads.
void TestSettlement::companyLookup()
{
    CountingFilter* filter = installFilter();
    TfrmBCRInvoice* frm = screen();
    QString title;
    QStringList codes;
    QStringList headers;
    ModalHelper::whenModal(
        [&](QDialog& dialog) {
            auto* list = qobject_cast<LookupListDialog*>(&dialog);
            QVERIFY(list);
            title = list->windowTitle();
            QTableWidget* table = list->table();
            for (int column = 0; column < table->columnCount(); ++column)
                headers << table->horizontalHeaderItem(column)->text();
            for (int row = 0; row < table->rowCount(); ++row)
                codes << table->item(row, 0)->text();
            QTest::keyClicks(list->searchBox(), QStringLiteral("Paulista"));
            QTest::keyClick(list->searchBox(), Qt::Key_Return);
        },
        "LookupListDialog");
    QTest::mouseClick(frm->ui->btpEmpresa, Qt::LeftButton);

    QCOMPARE(title, QStringLiteral("Empresa"));
    QCOMPARE(headers, (QStringList{"Código", "Nome"}));
    QCOMPARE(codes, (QStringList{"01", "02", "03"}));
    QCOMPARE(frm->ui->medCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(frm->ui->edtNmEmpresa->text(), QStringLiteral("Companhia Açucareira Paulista"));
    QCOMPARE(filter->confirmations, 0);
    QVERIFY(!frm->ui->sbtFiltrar->isEnabled());
    QApplication::setActiveWindow(mainWindow); // the offscreen platform does not give it back
    QTRY_COMPARE(QApplication::focusWidget(), frm->ui->medCdEmpresa);

    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    QCOMPARE(frm->ui->edtNmEmpresa->text(), QStringLiteral("Companhia Açucareira Paulista"));
    QVERIFY(frm->ui->sbtFiltrar->isEnabled());
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));
}

void TestSettlement::refreshReloadsWithSavedCriteria_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("tool button") << false;
    QTest::newRow("menu") << true;
}

// The refresh command reloads the list on the hidden dialog with the criteria last confirmed,
// without showing it; the items follow the invoices again and the invoice grid has the focus.
void TestSettlement::refreshReloadsWithSavedCriteria()
{
    QFETCH(bool, fromMenu);
    CountingFilter* filter = chooseCompany(QStringLiteral("01"));
    TfrmBCRInvoice* frm = screen();
    const int all = frm->cdsInvoice->RecordCount();

    // Only the open invoices, confirmed in the dialog.
    ModalHelper::whenModal(
        [filter](QDialog&) {
            filter->chbAberto->setChecked(true);
            QTest::mouseClick(filter->sbtConfirma, Qt::LeftButton);
        },
        "TfrmFiltroBCRInvoice");
    QTest::mouseClick(frm->ui->sbtFiltrar, Qt::LeftButton);
    QCOMPARE(filter->shows, 1);
    const int open = frm->cdsInvoice->RecordCount();
    QVERIFY2(open > 0 && open < all, qPrintable(QStringLiteral("%1 of %2").arg(open).arg(all)));

    // The list on the screen cut to one invoice: the refresh brings the open invoices back.
    loadCompany(QStringLiteral("01"), [](DataPacket& invoices) { invoices.rows.resize(1); });
    QCOMPARE(frm->cdsInvoice->RecordCount(), 1);
    const int confirmations = filter->confirmations;
    // The offscreen platform does not give the activation back after the modal dialog.
    QApplication::setActiveWindow(mainWindow);
    QVERIFY(frm->ui->sbtVerificar->isEnabled());
    if (fromMenu)
        frm->ui->mnuVerificar->trigger();
    else
        QTest::mouseClick(frm->ui->sbtVerificar, Qt::LeftButton);

    QCOMPARE(filter->confirmations, confirmations + 1);
    QCOMPARE(filter->shows, 1);
    QCOMPARE(frm->cdsInvoice->RecordCount(), open);
    QVERIFY(filter->chbAberto->isChecked());
    QVERIFY(!frm->cdsItem->ControlsDisabled());
    QTRY_COMPARE(QApplication::focusWidget(), frm->ui->dbgPadrao);
    const QString invoice = frm->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    QVERIFY(frm->cdsItem->RecordCount() > 0);
    QCOMPARE(frm->cdsItem->FieldByName(QStringLiteral("NRINVOICE")).AsString(), invoice);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));
}

void TestSettlement::enteringHidesDetailPanel()
{
    CountingFilter* filter = installFilter();
    TfrmBCRInvoice* frm = screen();
    typeIntoCompany(QStringLiteral("03"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    loadCompany(QStringLiteral("03"));
    QVERIFY(frm->ui->sbtMais->isEnabled());
    QTest::mouseClick(frm->ui->sbtMais, Qt::LeftButton);
    QVERIFY(frm->ui->sbtMais->Down());
    QVERIFY(frm->ui->panTaxaCambio->isVisible());

    enterCompany();
    QVERIFY(!frm->ui->panTaxaCambio->isVisible());
    QVERIFY(frm->ui->sbtMais->Down());
    QVERIFY(!frm->ui->sbtMais->isEnabled());
    QVERIFY(!frm->ui->mnuMais->isEnabled());
    QCOMPARE(frm->ui->splInvoiceItem->sizes().value(1), 203);

    // Leaving enables "Mais" again; the panel comes back with the next click only.
    leaveCompany();
    QVERIFY(frm->ui->sbtMais->isEnabled());
    QVERIFY(!frm->ui->panTaxaCambio->isVisible());
    frm->ui->mnuMais->trigger();
    QVERIFY(!frm->ui->sbtMais->Down());
    QVERIFY(!frm->ui->panTaxaCambio->isVisible());
    frm->ui->mnuMais->trigger();
    QVERIFY(frm->ui->sbtMais->Down());
    QVERIFY(frm->ui->panTaxaCambio->isVisible());
}

// ---- connection -----------------------------------------------------------------------------

// Host and port are read at every connect; a server that is down is reported, the busy
// animation does not stay up, and the next activation connects.
void TestSettlement::activationConnectsWithEndpointReadEachTime()
{
    TfrmBCRInvoice* frm = screen();
    QCOMPARE(frm->netBCRInvoice->Port, serverPort);
    QCOMPARE(frm->netBCRInvoice->Host, QStringLiteral("127.0.0.1"));

    int deadPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        deadPort = probe.serverPort();
    }
    int busyDuringConnect = -1;
    frm->netBCRInvoice->BeforeConnect = [&](TNetConnection& connection) {
        busyDuringConnect = BusyAnimationDepth();
        frm->netBCRInvoiceBeforeConnect(connection);
    };

    frm->netBCRInvoice->SetConnected(false);
    qputenv("FAS_WEB_PORT", QByteArray::number(deadPort));
    activateScreen();
    QTRY_COMPARE(shown().messages.size(), 1);
    QCOMPARE(shown().messages.at(0).kind, MessageService::Kind::Error);
    QVERIFY(shown().messages.at(0).text.contains(QString::number(deadPort)));
    shown().clear();
    QCOMPARE(busyDuringConnect, 1);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(!frm->netBCRInvoice->Connected());
    QCOMPARE(frm->netBCRInvoice->Port, deadPort);

    qputenv("FAS_WEB_PORT", QByteArray::number(serverPort));
    busyDuringConnect = -1;
    activateScreen();
    QTRY_VERIFY(frm->netBCRInvoice->Connected());
    QCOMPARE(frm->netBCRInvoice->Port, serverPort);
    QCOMPARE(busyDuringConnect, 1);
    QCOMPARE(BusyAnimationDepth(), 0);

    // An open connection is not opened again.
    busyDuringConnect = -1;
    activateScreen();
    QCOMPARE(busyDuringConnect, -1);
    QVERIFY(shown().messages.isEmpty());
}
