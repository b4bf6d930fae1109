// The settlement screen's registration commands and the receipt dialog.

#include "SettlementTest.h"

#include "DemoDay.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "ModalHelper.h"
#include "TfrmConfReceb.h"
#include "WholeTextCheck.h"

void TestSettlement::registrationPass_data()
{
    QTest::addColumn<int>("key");    // Ctrl+R receipt, Ctrl+P exchange
    QTest::addColumn<int>("marked"); // of the open invoices, marked; -1 with a receipt date
    QTest::addColumn<QString>("message");
    QTest::addColumn<double>("total"); // given to each marked invoice; 0: as listed
    QTest::newRow("receipt, none marked") << int(Qt::Key_R) << 0
                                          << "Invoice(s) deve(m) ser informado(s) para "
                                             "confirmar o recebimento."
                                          << 0.0;
    QTest::newRow("exchange, none marked") << int(Qt::Key_P) << 0
                                           << "Invoice(s) deve(m) ser informado(s) para fazer "
                                              "a prévia do câmbio."
                                           << 0.0;
    QTest::newRow("exchange before receipt") << int(Qt::Key_P) << 2
                                             << "Câmbio não pode ser cadastrado antes do "
                                                "Recebimento do Invoice."
                                             << 0.0;
    QTest::newRow("receipt opens with the sum") << int(Qt::Key_R) << 2 << "" << 0.0;
    QTest::newRow("a sum wider than its field") << int(Qt::Key_R) << 2 << "" << 401437696.38;
}

void TestSettlement::registrationPass()
{
    QFETCH(int, key);
    QFETCH(int, marked);
    QFETCH(QString, message);
    QFETCH(double, total);
    listCompany(QStringLiteral("01"), [total](DataPacket& packet) {
        if (total > 0)
            for (Row& row : packet.rows)
                row[packet.indexOf(QStringLiteral("TOTALINVOICE"))] = total;
    });
    TClientDataSet& invoices = *screen()->cdsInvoice;
    const QList<int> open = openInvoices();
    double sum = 0;
    for (int i = 0; i < marked; ++i) {
        clickMark(open.at(1 + i));
        sum += invoiceValue(open.at(1 + i), "TOTALINVOICE").toDouble();
    }
    invoices.SetRecNo(open.at(0) + 1); // an unmarked invoice is current
    QString shownSum;
    bool whole = false;
    const ModalHelper::Scoped dialog([&](QDialog& opened) {
        const auto& edit = *opened.findChild<QLineEdit*>(QStringLiteral("edtValorInvoices"));
        shownSum = edit.text();
        whole = ShowsWholeText(edit);
        opened.reject();
    });
    QTest::keyClick(screen(), Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(shown().texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(shownSum.isEmpty(), !message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(screen()->VrInvoices, sum);
        QCOMPARE(shownSum, FloatToStr(sum));
        QVERIFY(whole);
    }
    // Back on the invoice that was current; "Camb_Not" stays on the first without receipt.
    QCOMPARE(invoices.RecNo(), (key == Qt::Key_P && marked > 0 ? open.at(1) : open.at(0)) + 1);
    QVERIFY(screen()->window()->updatesEnabled());
}

void TestSettlement::receiptStoresShares()
{
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    const QList<int> open = openInvoices();
    const QList<int> marked{open.at(1), open.at(2)};
    for (int row : marked)
        clickMark(row);
    const QString current = invoiceValue(open.at(0), "NRINVOICE").toString();
    invoices.SetRecNo(open.at(0) + 1);
    const double first = invoiceValue(marked.at(0), "TOTALINVOICE").toDouble();
    const double second = invoiceValue(marked.at(1), "TOTALINVOICE").toDouble();
    const QString payment = FloatToStr(RoundDec(first + second - 10, 2));
    const QDate received = demoDay();

    QString keptPayment;
    ModalHelper::whenModal([&](QDialog& dialog) {
        auto& receipt = static_cast<TfrmConfReceb&>(dialog);
        receipt.dbdReceb->SetDate(received);
        receipt.edtVrOrdPgto->setText(payment);
        receipt.edtReferencia->setText(QStringLiteral("OP 77"));
        receipt.sbtConfirma->click(); // less than the invoices: an observation is demanded
        keptPayment = receipt.edtVrOrdPgto->text();
        receipt.memObservacao->setPlainText(QStringLiteral("Tarifa\nbancária"));
        receipt.sbtConfirma->click();
    });
    QTest::keyClick(screen(), Qt::Key_R, Qt::ControlModifier);

    QCOMPARE(shown().texts(),
             (QStringList{QStringLiteral("ATENÇÃO!!!! Valor da ordem de pagamento não coincide "
                                         "com o valor dos invoices selecionados. O campo "
                                         "Observação deve ser informado."),
                          QStringLiteral("Recebimento cadastrado com sucesso!")}));
    QCOMPARE(keptPayment, payment);
    QCOMPARE(invoices.FieldByName(QStringLiteral("NRINVOICE")).AsString(), current);
    QCOMPARE(invoices.GetChangeCount(), 0);
    const DataPacket server = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    const QList<double> shares{first, RoundDec(second - 10, 2)};
    for (int i = 0; i < 2; ++i) {
        const Row row = serverInvoice(invoiceValue(marked.at(i), "NRINVOICE").toString(), server);
        QCOMPARE(row.at(server.indexOf(QStringLiteral("DTRECINVOICE"))).toDateTime().date(),
                 received);
        QCOMPARE(row.at(server.indexOf(QStringLiteral("VRORDPGTOINVOI"))).toDouble(), shares.at(i));
        QCOMPARE(row.at(server.indexOf(QStringLiteral("DSREFPGTOINVOI"))).toString(),
                 QStringLiteral("OP 77"));
        QCOMPARE(row.at(server.indexOf(QStringLiteral("DSOBSPGTOINVOI"))).toString(),
                 QStringLiteral("Tarifa\r\nbancária\r\n"));
    }
}

void TestSettlement::receiptRefusedStoresNothing_data()
{
    QTest::addColumn<bool>("exchanged"); // marks one exchanged invoice instead of two open ones
    QTest::addColumn<QString>("date");   // "issue-1", "exchange+1", "day" or typed digits
    QTest::addColumn<QString>("payment");
    QTest::addColumn<QString>("observation");
    QTest::addColumn<QString>("message"); // "%1": the marked invoice's number
    QTest::addColumn<QString>("focus");

    const QString notANumber = QStringLiteral(
        "\"%1\" não é um valor válido para a Ordem de Pagamento. Informe o valor com vírgula "
        "decimal, por exemplo 1234,56.");
    const QString observation = QStringLiteral("ATENÇÃO!!!! Valor da ordem de pagamento não "
                                               "coincide com o valor dos invoices selecionados. "
                                               "O campo Observação deve ser informado.");
    const auto row = [](const char* name, bool exchanged, const char* date, const char* payment,
                        const char* remark, const QString& message, const char* focus) {
        QTest::newRow(name) << exchanged << date << payment << remark << message << focus;
    };
    row("date before the second issue", false, "issue-1", "999999", "",
        "Data de Recebimento deve ser maior ou igual à Data de Emissão.", "dbdReceb");
    row("lone comma", false, "day", ",", "", notANumber.arg(","), "edtVrOrdPgto");
    row("pasted negative", false, "day", "-5", "", notANumber.arg("-5"), "edtVrOrdPgto");
    row("pasted exponent", false, "day", "9e17", "", notANumber.arg("9e17"), "edtVrOrdPgto");
    // The checks in their order: payment, observation, then the date.
    row("no payment before a half date", false, "1203", "", "",
        "Valor da Ordem de Pagamento deve ser informado.", "edtVrOrdPgto");
    row("observation before a half date", false, "1203", "1", "", observation, "memObservacao");
    row("half date", false, "1203", "999999", "", "Data inválida: 12/03/.", "dbdReceb");
    row("received after the exchange", true, "exchange+1", "999999", "",
        "Data de Recebimento deve ser menor ou igual à Data de Câmbio da Invoice %1, já "
        "cambiada.",
        "dbdReceb");
}

// A refused confirmation stores nothing, not even the invoices before the refused one; the
// dialog stays open with the focus on the field the message names, and keeps what was typed
// when it comes back to the foreground.
void TestSettlement::receiptRefusedStoresNothing()
{
    QFETCH(bool, exchanged);
    QFETCH(QString, date);
    QFETCH(QString, payment);
    QFETCH(QString, observation);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    listCompany(QStringLiteral("01"));
    const auto day = [&](int row, const char* field) { return invoiceValue(row, field).toDate(); };
    QList<int> marked;
    if (exchanged) {
        marked = {readyForNotes().first()};
    } else {
        // Two open invoices, the second issued after the first.
        const QList<int> open = openInvoices();
        int second = 1;
        while (day(open.at(second), "DTEMISINVOICE") <= day(open.at(0), "DTEMISINVOICE"))
            ++second;
        marked = {open.at(0), open.at(second)};
    }
    QStringList numbers;
    for (int row : marked) {
        clickMark(row);
        numbers << invoiceValue(row, "NRINVOICE").toString();
    }
    const DataPacket before = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));

    QStringList seen; // the focus, then what the dialog shows once active again
    ModalHelper::whenModal([&](QDialog& dialog) {
        auto& receipt = static_cast<TfrmConfReceb&>(dialog);
        receipt.dbdReceb->clear();
        if (date == QLatin1String("issue-1"))
            receipt.dbdReceb->SetDate(day(marked.last(), "DTEMISINVOICE").addDays(-1));
        else if (date == QLatin1String("exchange+1"))
            receipt.dbdReceb->SetDate(day(marked.last(), "DTCAMBIOINVOICE").addDays(1));
        else if (date == QLatin1String("day"))
            receipt.dbdReceb->SetDate(demoDay());
        else
            QTest::keyClicks(receipt.dbdReceb, date);
        receipt.edtVrOrdPgto->setText(payment); // as a paste: the key filter does not see it
        receipt.memObservacao->setPlainText(observation);
        const QString typedDate = receipt.dbdReceb->text();
        receipt.sbtConfirma->click();
        if (!receipt.isVisible())
            return;
        seen << (receipt.focusWidget() ? receipt.focusWidget()->objectName() : "");
        QApplication::setActiveWindow(mainWindow); // as a message box would
        QApplication::setActiveWindow(&dialog);
        seen << (receipt.dbdReceb->text() == typedDate ? "date kept" : "date lost")
             << receipt.edtVrOrdPgto->text() << receipt.memObservacao->toPlainText();
        dialog.reject();
    });
    QTest::keyClick(screen(), Qt::Key_R, Qt::ControlModifier);

    QCOMPARE(shown().texts(), QStringList{message.arg(numbers.last())});
    QCOMPARE(shown().messages.first().kind, MessageService::Kind::Error);
    QCOMPARE(seen, (QStringList{focus, "date kept", payment, observation}));
    if (date == QLatin1String("issue-1"))
        QCOMPARE(screen()->cdsInvoice->RecNo(), marked.at(1) + 1);
    const DataPacket after = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    for (const QString& number : numbers)
        QCOMPARE(serverInvoice(number, after), serverInvoice(number, before));
}

// A clerk's receipt and exchange by keyboard alone: the company, the marks in the list, both
// dialogs filled and confirmed with Tab, Enter and Ctrl+Enter, the values stored.
void TestSettlement::keyboardDay()
{
    listCompany(QStringLiteral("02"));
    typeIntoCompany(QStringLiteral("01"));
    leaveCompany();
    TDBGrid* grid = screen()->ui->dbgPadrao;
    QTRY_COMPARE(QApplication::focusWidget(), grid); // the loaded list has the focus
    const QList<int> open = openInvoices();
    QStringList numbers;
    double sum = 0;
    int row = 0;
    for (int target : {open.at(0), open.at(1)}) {
        for (; row < target; ++row)
            QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Space);
        numbers << invoiceValue(target, "NRINVOICE").toString();
        sum += invoiceValue(target, "TOTALINVOICE").toDouble();
    }
    const QString day = demoDay().toString(QStringLiteral("ddMMyyyy"));
    // The dialog's activation handler puts the focus on its first field first.
    const auto ready = [](QDialog& dialog, const char* first) {
        return QTest::qWaitFor(
            [&] { return dialog.focusWidget() && dialog.focusWidget()->objectName() == first; });
    };
    const auto type = [](QDialog& dialog, const QString& text) {
        QTest::keyClicks(dialog.focusWidget(), text);
    };
    // One Tab goes to the next field as laid out, and after the last one to the confirmation.
    const auto tabTo = [](QDialog& dialog, const char* name) {
        QTest::keyClick(dialog.focusWidget(), Qt::Key_Tab);
        return dialog.focusWidget()->objectName() == QLatin1String(name);
    };
    QStringList reached;
    ModalHelper::whenModal([&](QDialog& receipt) {
        reached << QString::number(ready(receipt, "dbdReceb"));
        type(receipt, day);
        reached << QString::number(tabTo(receipt, "edtVrOrdPgto"));
        type(receipt, FloatToStr(sum));
        reached << QString::number(tabTo(receipt, "edtReferencia"));
        type(receipt, QStringLiteral("OP 9"));
        reached << QString::number(tabTo(receipt, "memObservacao"));
        reached << QString::number(tabTo(receipt, "sbtConfirma"));
        QTest::keyClick(receipt.focusWidget(), Qt::Key_Return);
        if (receipt.isVisible()) // refused: the test fails, it does not wait
            receipt.reject();
    });
    QTest::keyClick(grid, Qt::Key_R, Qt::ControlModifier);
    QApplication::setActiveWindow(mainWindow); // as the window manager does once it closed
    QTRY_COMPARE(QApplication::focusWidget(), grid);
    ModalHelper::whenModal([&](QDialog& exchange) {
        reached << QString::number(ready(exchange, "nedVrDolarDia"));
        type(exchange, QStringLiteral("5,1"));
        reached << QString::number(tabTo(exchange, "nedTaxaCambio"));
        type(exchange, QStringLiteral("5,2"));
        reached << QString::number(tabTo(exchange, "dbdCambio"));
        type(exchange, day);
        QTest::keyClick(exchange.focusWidget(), Qt::Key_Return, Qt::ControlModifier);
        if (exchange.isVisible())
            exchange.reject();
    });
    QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier);

    QCOMPARE(shown().texts(), (QStringList{QStringLiteral("Recebimento cadastrado com sucesso!"),
                                           QStringLiteral("Câmbio cadastrado com sucesso!")}));
    QCOMPARE(reached, QStringList(8, QStringLiteral("1")));
    const DataPacket stored = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    for (const QString& number : numbers) {
        const Row invoice = serverInvoice(number, stored);
        const auto value = [&](const char* field) {
            return invoice.at(stored.indexOf(QLatin1String(field)));
        };
        QCOMPARE(value("DTRECINVOICE").toDateTime().date(), demoDay());
        QCOMPARE(value("DSREFPGTOINVOI").toString(), QStringLiteral("OP 9"));
        QCOMPARE(value("DTCAMBIOINVOICE").toDateTime().date(), demoDay());
        QCOMPARE(value("VRCAMBIOINVOICE").toDouble(), 5.1);
        QCOMPARE(value("VRTXCAMBIOINVOI").toDouble(), 5.2);
    }
}
