// The filter dialog's controls as it starts, and the arguments of GetInvoice and GetItem as they
// come off the wire.

#include "FilterTest.h"

#include "Colors.h"

// ---- the controls as the dialog starts --------------------------------------------------------

void TestFilter::initialState()
{
    TfrmFiltroBCRInvoice& f = dialog();
    QCOMPARE(f.windowTitle(), QStringLiteral("Filtro Baixa C. Receber (INVOICE)"));
    QCOMPARE(f.lblCodTela->text(), QStringLiteral("FAS10001"));
    QVERIFY(f.rbtTCliente->isChecked());
    QVERIFY(!f.btpCliente->isEnabled());
    QVERIFY(!f.chbAberto->isChecked());
    QVERIFY(!f.chbPago->isChecked());
    QVERIFY(!f.grbNotaFiscal->isEnabled());
    for (TDateEditPlus* edit : dateEdits(f)) {
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(edit->Color(), clWindow);
    }
    QCOMPARE(f.btpCliente->Title, QStringLiteral("Cliente"));
    QCOMPARE(f.btpCliente->EmptyError, QStringLiteral("Não há Cliente cadastrado."));
    QCOMPARE(f.msgPadrao.Messages.size(), 16);
    QCOMPARE(f.msgPadrao.Msg(QStringLiteral("CambIni_Inf")),
             QStringLiteral("Data Inicial de Câmbio deve ser informada."));
}

// ---- the arguments on the wire ----------------------------------------------------------------

void TestFilter::situationAndFlags_data()
{
    QTest::addColumn<bool>("aberto");
    QTest::addColumn<bool>("pago");
    QTest::addColumn<bool>("nEmitida");
    QTest::addColumn<bool>("emitida");
    QTest::addColumn<QStringList>("dates"); // the eight edits, issue, due, receipt, exchange
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("flags"); // customers, issue, due, receipt, exchange
    QTest::addColumn<QStringList>("sent");  // the eight dates on the wire

    const QStringList none(8, QString());
    const QStringList open(8, emptyDate);
    const QStringList allOpen{"T", "T", "T", "T", "T"};
    QTest::newRow("nothing checked")
        << false << false << false << false << none << "A_N_E_" << allOpen << open;
    QTest::newRow("em aberto") << true << false << false << false << none << "A_" << allOpen
                               << open;
    QTest::newRow("pago, both notes")
        << false << true << true << true << none << "N_E_" << allOpen << open;
    QTest::newRow("aberto, pago, nao emitida")
        << true << true << true << false << none << "A_N_" << allOpen << open;
    QTest::newRow("aberto, pago, emitida")
        << true << true << false << true << none << "A_E_" << allOpen << open;
    QTest::newRow("pago, nao emitida")
        << false << true << true << false << none << "N_" << allOpen << open;
    QTest::newRow("pago, emitida")
        << false << true << false << true << none << "E_" << allOpen << open;
    QTest::newRow("everything") << true << true << true << true << none << "A_N_E_" << allOpen
                                << open;

    QStringList issue = none;
    issue[0] = "01/02/2025";
    issue[1] = "28/02/2025";
    QStringList issueSent = open;
    issueSent[0] = "2025-02-01T00:00:00";
    issueSent[1] = "2025-02-28T00:00:00";
    QTest::newRow("issue range only") << false << false << false << false << issue << "A_N_E_"
                                      << QStringList{"T", "", "T", "T", "T"} << issueSent;

    const QStringList all{"01/01/2025", "31/12/2025", "02/01/2025", "30/12/2025",
                          "03/01/2025", "29/12/2025", "04/01/2025", "28/12/2025"};
    const QStringList allSent{"2025-01-01T00:00:00", "2025-12-31T00:00:00", "2025-01-02T00:00:00",
                              "2025-12-30T00:00:00", "2025-01-03T00:00:00", "2025-12-29T00:00:00",
                              "2025-01-04T00:00:00", "2025-12-28T00:00:00"};
    QTest::newRow("every range, issue due receipt exchange")
        << false << false << false << false << all << "A_N_E_" << QStringList{"T", "", "", "", ""}
        << allSent;
}

void TestFilter::situationAndFlags()
{
    QFETCH(bool, aberto);
    QFETCH(bool, pago);
    QFETCH(bool, nEmitida);
    QFETCH(bool, emitida);
    QFETCH(QStringList, dates);
    QFETCH(QString, situation);
    QFETCH(QStringList, flags);
    QFETCH(QStringList, sent);

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    if (aberto)
        QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    if (pago) {
        QTest::mouseClick(f.chbPago, Qt::LeftButton);
        if (!nEmitida)
            QTest::mouseClick(f.chbNEmitida, Qt::LeftButton);
        if (!emitida)
            QTest::mouseClick(f.chbEmitida, Qt::LeftButton);
    }
    const QList<TDateEditPlus*> edits = dateEdits(f);
    for (int i = 0; i < 8; ++i) {
        if (!dates.at(i).isEmpty()) {
            typeInto(edits[i], QString(dates.at(i)).remove(u'/'));
        }
    }
    confirm();

    QVERIFY2(msgs().messages.isEmpty(), qPrintable(msgs().texts().join('\n')));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    for (const RecordingServer::Call& call : server->calls) {
        const QStringList values = paramValues(call);
        QCOMPARE(values.size(), 16);
        QCOMPARE(values.at(0), QStringLiteral("01"));
        QCOMPARE(values.at(1), situation);
        QCOMPARE(values.mid(2, 5), flags);
        QCOMPARE(values.at(7), QString());
        QCOMPARE(values.mid(8), sent);
        // The type codes: company by value, seven strings by reference, eight dates.
        for (int i = 0; i < 16; ++i) {
            const QJsonObject arg = call.params.at(i).toObject();
            QCOMPARE(arg.value("type").toString(), i < 8 ? QString("string") : QString("date"));
            QCOMPARE(arg.value("byref").toBool(false), i >= 1 && i <= 7);
        }
    }
    QVERIFY(!f.isVisible());
    QVERIFY(screen->cdsInvoice->Active());
    QVERIFY(screen->cdsItem->Active());
}

void TestFilter::customerListByReference()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    clickIndicator(f.rbtLCliente);
    QVERIFY(f.btpCliente->isEnabled());
    Cli_FAS10001::stCliente = QStringLiteral("C0001,C0002");
    // The server rewrites the customer list (the seventh by-reference argument) and the
    // situation code: GetItem receives what GetInvoice left, and the list stays in stCliente.
    server->writeBack[QStringLiteral("GetInvoice")] = {{6, QStringLiteral("C0002")},
                                                       {0, QStringLiteral("A_")}};
    confirm();

    QVERIFY2(msgs().messages.isEmpty(), qPrintable(msgs().texts().join('\n')));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QCOMPARE(param(server->calls[0], 2), QString());
    QCOMPARE(param(server->calls[0], 7), QStringLiteral("C0001,C0002"));
    QCOMPARE(param(server->calls[0], 1), QStringLiteral("A_N_E_"));
    QCOMPARE(param(server->calls[1], 7), QStringLiteral("C0002"));
    QCOMPARE(param(server->calls[1], 1), QStringLiteral("A_"));
    QCOMPARE(Cli_FAS10001::stCliente, QStringLiteral("C0002"));

    // "Todos" afterwards keeps the list and still sends it, with the all-customers flag.
    server->calls.clear();
    showDialog();
    QVERIFY(f.rbtLCliente->isChecked());
    clickIndicator(f.rbtTCliente);
    QVERIFY(f.rbtTCliente->isChecked());
    QVERIFY(!f.btpCliente->isEnabled());
    confirm();
    QCOMPARE(param(server->calls[0], 2), QStringLiteral("T"));
    QCOMPARE(param(server->calls[0], 7), QStringLiteral("C0002"));
}
