// The settlement screen's registration commands and the receipt dialog.

#include "SettlementTest.h"

#include "DemoDay.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "ModalHelper.h"
#include "TfrmConfReceb.h"

void TestSettlement::registrationPass_data()
{
    QTest::addColumn<int>("key");    // Ctrl+R receipt, Ctrl+P exchange
    QTest::addColumn<int>("marked"); // of the open invoices, marked; -1 with a receipt date
    QTest::addColumn<QString>("message");
    QTest::newRow("receipt, none marked") << int(Qt::Key_R) << 0
                                          << "Invoice(s) deve(m) ser informado(s) para "
                                             "confirmar o recebimento.";
    QTest::newRow("exchange, none marked") << int(Qt::Key_P) << 0
                                           << "Invoice(s) deve(m) ser informado(s) para fazer "
                                              "a prévia do câmbio.";
    QTest::newRow("exchange before receipt") << int(Qt::Key_P) << 2
                                             << "Câmbio não pode ser cadastrado antes do "
                                                "Recebimento do Invoice.";
    QTest::newRow("receipt opens with the sum") << int(Qt::Key_R) << 2 << "";
}

void TestSettlement::registrationPass()
{
    QFETCH(int, key);
    QFETCH(int, marked);
    QFETCH(QString, message);
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    const QList<int> open = openInvoices();
    double sum = 0;
    for (int i = 0; i < marked; ++i) {
        clickMark(open.at(1 + i));
        sum += invoiceValue(open.at(1 + i), "TOTALINVOICE").toDouble();
    }
    invoices.SetRecNo(open.at(0) + 1); // an unmarked invoice is current
    QString shownSum;
    const ModalHelper::Scoped dialog([&](QDialog& opened) {
        shownSum = opened.findChild<QLineEdit*>(QStringLiteral("edtValorInvoices"))->text();
        opened.reject();
    });
    QTest::keyClick(screen(), Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(shown().texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(shownSum.isEmpty(), !message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(screen()->VrInvoices, sum);
        QCOMPARE(shownSum, FloatToStr(sum));
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
    QTest::addColumn<QString>("why");
    QTest::newRow("date before the second issue") << "date";
    QTest::newRow("payment not a number") << "payment";
}

// A refused confirmation stores nothing, not even the invoices before the refused one, and
// the dialog stays open.
void TestSettlement::receiptRefusedStoresNothing()
{
    QFETCH(QString, why);
    listCompany(QStringLiteral("01"));
    QList<int> open = openInvoices();
    // Two open invoices, the second issued after the first.
    const auto issued = [&](int row) { return invoiceValue(row, "DTEMISINVOICE").toDate(); };
    int second = 1;
    while (issued(open.at(second)) <= issued(open.at(0)))
        ++second;
    const QList<int> marked{open.at(0), open.at(second)};
    for (int row : marked)
        clickMark(row);
    const QStringList numbers{invoiceValue(marked.at(0), "NRINVOICE").toString(),
                              invoiceValue(marked.at(1), "NRINVOICE").toString()};

    bool stillOpen = false;
    ModalHelper::whenModal([&](QDialog& dialog) {
        auto& receipt = static_cast<TfrmConfReceb&>(dialog);
        receipt.dbdReceb->SetDate(why == QLatin1String("date") ? issued(marked.at(1)).addDays(-1)
                                                               : demoDay());
        receipt.edtVrOrdPgto->setText(why == QLatin1String("payment") ? QStringLiteral(",")
                                                                      : QStringLiteral("999999"));
        receipt.sbtConfirma->click();
        stillOpen = receipt.isVisible();
        dialog.reject();
    });
    QTest::keyClick(screen(), Qt::Key_R, Qt::ControlModifier);

    QVERIFY(stillOpen);
    QCOMPARE(shown().messages.size(), 1);
    QCOMPARE(shown().messages.first().kind, MessageService::Kind::Error);
    if (why == QLatin1String("date"))
        QCOMPARE(screen()->cdsInvoice->RecNo(), marked.at(1) + 1);
    const DataPacket server = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    for (const QString& number : numbers)
        QVERIFY(serverInvoice(number, server)
                    .at(server.indexOf(QStringLiteral("DTRECINVOICE")))
                    .isNull());
}
