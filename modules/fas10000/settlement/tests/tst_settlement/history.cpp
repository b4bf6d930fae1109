// The history of an invoice, the reversal of receipts and exchanges, and the preview of the
// fiscal notes in the note question.

#include "SettlementTest.h"

#include "DemoDay.h"
#include "FormatFloat.h"
#include "InvoiceHistoryDialog.h"
#include "ModalHelper.h"
#include "Money.h"
#include "TfrmConfReceb.h"
#include "TfrmPrevCambDolar.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>

// The history of the current invoice as the dialog lists it, one text per column; closed
// with Esc. Empty when no dialog opened.
QList<QStringList> TestSettlement::historyShown()
{
    QList<QStringList> rows;
    bool closedByEsc = false;
    const ModalHelper::Scoped dialog(
        [&](QDialog& opened) {
            const QTableWidget& table = *static_cast<InvoiceHistoryDialog&>(opened).table();
            for (int row = 0; row < table.rowCount(); ++row) {
                QStringList texts;
                for (int column = 0; column < table.columnCount(); ++column)
                    texts << table.item(row, column)->text();
                rows << texts;
            }
            QTest::keyClick(opened.focusWidget() ? opened.focusWidget() : &opened, Qt::Key_Escape);
            closedByEsc = !opened.isVisible();
            if (!closedByEsc)
                opened.reject();
        },
        "InvoiceHistoryDialog");
    QApplication::setActiveWindow(mainWindow); // as the window manager does after a dialog
    QTest::keyClick(screen()->ui->dbgPadrao, Qt::Key_H, Qt::ControlModifier);
    QApplication::setActiveWindow(mainWindow);
    if (!rows.isEmpty() && !closedByEsc)
        return {};
    return rows;
}

void TestSettlement::historyAndReversal_data()
{
    QTest::addColumn<bool>("exchange"); // the exchange registered and reversed, else the receipt
    QTest::addColumn<QStringList>("changed"); // "Campo|Novo valor" lines of the registration
    const QString day = demoDay().toString(QStringLiteral("dd/MM/yyyy"));
    QTest::newRow("receipt") << false << QStringList{"Dt. Recebimento|" + day, "Referência|OP 5"};
    QTest::newRow("exchange") << true
                              << QStringList{"Dt. Câmbio|" + day, "Vr. Câmbio (R$)|5,100",
                                             "Taxa de Câmbio (R$)|5,20"};
}

// A receipt or exchange registered on two invoices shows in their history, newest first;
// its reversal puts back every value the server held before and is itself recorded.
void TestSettlement::historyAndReversal()
{
    QFETCH(bool, exchange);
    QFETCH(QStringList, changed);
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    QList<int> rows;
    for (int row = 0; row < invoices.RecordCount() && rows.size() < 2; ++row) {
        const bool received = !invoiceValue(row, "DTRECINVOICE").isNull();
        if (mark(row) == QLatin1String("N") && invoiceValue(row, "DTCAMBIOINVOICE").isNull() &&
            received == exchange)
            rows << row;
    }
    QCOMPARE(rows.size(), 2);
    QStringList numbers;
    Money::Cents cents = 0;
    for (int row : rows) {
        clickMark(row);
        numbers << invoiceValue(row, "NRINVOICE").toString();
        cents += Money::cents(invoiceValue(row, "TOTALINVOICE").toDouble());
    }
    const DataPacket before = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));

    ModalHelper::whenModal([&](QDialog& dialog) {
        if (auto* receipt = qobject_cast<TfrmConfReceb*>(&dialog)) {
            receipt->dbdReceb->SetDate(demoDay());
            receipt->edtVrOrdPgto->setText(FloatToStr(Money::fromCents(cents)));
            receipt->edtReferencia->setText(QStringLiteral("OP 5"));
            receipt->sbtConfirma->click();
        } else {
            auto& rate = static_cast<TfrmPrevCambDolar&>(dialog);
            // Its activation empties the values first.
            if (!QTest::qWaitFor([&] { return rate.focusWidget() == rate.nedVrDolarDia; }))
                return dialog.reject();
            rate.nedVrDolarDia->setText(QStringLiteral("5,1"));
            rate.nedTaxaCambio->setText(QStringLiteral("5,2"));
            rate.dbdCambio->SetDate(demoDay());
            rate.sbtConfirma->click();
        }
        if (dialog.isVisible()) // refused: the test fails, it does not wait
            dialog.reject();
    });
    QTest::keyClick(screen(), exchange ? Qt::Key_P : Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(shown().messages.size(), 1);
    QCOMPARE(shown().messages.first().kind, MessageService::Kind::Information);

    // The registration's lines, the newest, name the operation and the new values.
    const QString operation = exchange ? QStringLiteral("Câmbio") : QStringLiteral("Recebimento");
    QVERIFY(invoices.Locate(QStringLiteral("NRINVOICE"), numbers.first()));
    const QList<QStringList> history = historyShown();
    QVERIFY(!history.isEmpty());
    QCOMPARE(history.first().at(3), operation);
    QStringList seen;
    for (const QStringList& line : history)
        if (line.at(3) == operation)
            seen << line.at(4) + QLatin1Char('|') + line.at(6);
    for (const QString& line : changed)
        QVERIFY2(seen.contains(line), qPrintable(line + " in " + seen.join("; ")));

    // Marked again (a save may have taken the marks), the second invoice current.
    for (int row = 0; row < invoices.RecordCount(); ++row)
        if (numbers.contains(invoiceValue(row, "NRINVOICE").toString()) &&
            mark(row) != QLatin1String("S"))
            clickMark(row);
    QVERIFY(invoices.Locate(QStringLiteral("NRINVOICE"), numbers.last()));
    shown().clear();
    shown().queueAnswer(MessageService::Answer::Yes);
    QTest::keyClick(screen()->ui->dbgPadrao, exchange ? Qt::Key_P : Qt::Key_R,
                    Qt::ControlModifier | Qt::ShiftModifier);

    const QString noun = exchange ? QStringLiteral("câmbio") : QStringLiteral("recebimento");
    QCOMPARE(shown().texts(),
             (QStringList{
                 QStringLiteral("Estornar o %1 de 2 invoice(s), no total de US$ %2?")
                     .arg(noun, FormatFloat(QStringLiteral("#,##0.00"), Money::fromCents(cents))),
                 QStringLiteral("Estorno de %1 concluído: 2 invoice(s).").arg(noun)}));
    QCOMPARE(invoices.FieldByName(QStringLiteral("NRINVOICE")).AsString(), numbers.last());
    QCOMPARE(invoices.GetChangeCount(), 0);
    const DataPacket after = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    const int markAt = after.indexOf(QStringLiteral("IDCHECK"));
    for (const QString& number : numbers) {
        Row was = serverInvoice(number, before);
        Row is = serverInvoice(number, after);
        QVERIFY(!is.isEmpty());
        was[markAt] = is[markAt] = QVariant();
        QCOMPARE(is, was);
    }
    QCOMPARE(historyShown().value(0).value(3), QStringLiteral("Estorno de %1").arg(noun));
}

void TestSettlement::reversalRefused_data()
{
    QTest::addColumn<bool>("exchange");     // Ctrl+Shift+P, else Ctrl+Shift+R
    QTest::addColumn<QList<int>>("marked"); // -1: the last invoice, see below
    QTest::addColumn<QList<int>>("received");
    QTest::addColumn<QList<int>>("exchanged");
    QTest::addColumn<QList<int>>("issued");
    QTest::addColumn<QString>("message"); // "%1": the number of the invoice current afterwards
    QTest::addColumn<int>("current");     // 0-based row current afterwards

    using L = QList<int>;
    QTest::newRow("none marked")
        << false << L{} << L{1} << L{} << L{}
        << "Invoice(s) deve(m) ser informado(s) para estornar o recebimento." << 7;
    QTest::newRow("receipt of an exchanged invoice")
        << false << L{2, 5} << L{2, 5} << L{5} << L{}
        << "A Invoice %1 já foi cambiada: estorne o câmbio primeiro." << 5;
    QTest::newRow("receipt never made") << false << L{1, 3} << L{1} << L{} << L{}
                                        << "A Invoice %1 não tem recebimento a estornar." << 3;
    QTest::newRow("exchange never made") << true << L{2, 4} << L{2, 4} << L{2} << L{}
                                         << "A Invoice %1 não tem câmbio a estornar." << 4;
    QTest::newRow("note issued")
        << true << L{6} << L{6} << L{6} << L{6}
        << "A Nota Fiscal da Invoice %1 já foi gerada: o câmbio não pode ser estornado." << 6;
    // The last invoice whose note the server holds issued, listed as only received:
    // the server refuses after the question (its message begins so), the list stays.
    QTest::newRow("refused by the server")
        << false << L{-1} << L{} << L{} << L{} << "A Invoice %1 já tem Nota Fiscal emitida" << 7;
}

// Refused before anything is asked or sent, the list on the invoice the message names; or,
// refused by the server, with the list, its marks and its current invoice as they were.
void TestSettlement::reversalRefused()
{
    QFETCH(bool, exchange);
    QFETCH(QList<int>, marked);
    QFETCH(QList<int>, received);
    QFETCH(QList<int>, exchanged);
    QFETCH(QList<int>, issued);
    QFETCH(QString, message);
    QFETCH(int, current);
    bool issuedOnServer = false;
    int last = 0; // the list's last invoice whose note the server holds issued
    listCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        const QDateTime day(demoDay(), QTime(0, 0));
        const auto set = [&](int row, const char* field, const QVariant& value) {
            packet.rows[row][packet.indexOf(QLatin1String(field))] = value;
        };
        for (Row& row : packet.rows)
            row[packet.indexOf(QStringLiteral("IDCHECK"))] = QStringLiteral("N");
        for (int row = 0; row < 8; ++row) {
            set(row, "DTRECINVOICE", received.contains(row) ? QVariant(day) : QVariant());
            set(row, "DTCAMBIOINVOICE", exchanged.contains(row) ? QVariant(day) : QVariant());
            set(row, "IDGERNFINVOI", issued.contains(row) ? "S" : "N");
            set(row, "IDCHECK", marked.contains(row) ? "S" : "N");
        }
        const int issuedAt = packet.indexOf(QStringLiteral("IDGERNFINVOI"));
        for (last = int(packet.rows.size()) - 1; last > 0; --last)
            if (packet.rows[last][issuedAt] == QStringLiteral("S"))
                break;
        if (marked.contains(-1)) {
            issuedOnServer = packet.rows[last][issuedAt] == QStringLiteral("S");
            set(last, "DTRECINVOICE", day);
            set(last, "DTCAMBIOINVOICE", QVariant());
            set(last, "IDGERNFINVOI", "N");
            set(last, "IDCHECK", "S");
        }
    });
    screen()->cdsInvoice->SetRecNo(8);
    shown().queueAnswer(MessageService::Answer::Yes);
    QTest::keyClick(screen()->ui->dbgPadrao, exchange ? Qt::Key_P : Qt::Key_R,
                    Qt::ControlModifier | Qt::ShiftModifier);
    shown().answers.clear();
    const bool byServer = marked.contains(-1);
    const QString number = invoiceValue(byServer ? last : current, "NRINVOICE").toString();
    if (message.contains(QLatin1String("%1")))
        message = message.arg(number);
    QStringList texts = shown().texts();
    QCOMPARE(shown().messages.last().kind, MessageService::Kind::Error);
    if (byServer) {
        QVERIFY(issuedOnServer);
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts.takeFirst().startsWith(QStringLiteral("Estornar o recebimento de 1 ")));
        QVERIFY2(texts.first().startsWith(message), qPrintable(texts.first()));
        QCOMPARE(mark(last), QStringLiteral("S"));
    } else {
        QCOMPARE(texts, QStringList{message});
    }
    QCOMPARE(screen()->cdsInvoice->RecNo(), current + 1);
    QCOMPARE(screen()->cdsInvoice->GetChangeCount(), 0);
    QVERIFY(!QApplication::overrideCursor());
}

void TestSettlement::notePreview_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("Sim") << int(MessageService::Answer::Yes);
    QTest::newRow("Não") << int(MessageService::Answer::No);
}

// What the question says each answer issues is what the answer issues: note by note, the
// branch, customer, invoices and value to the centavo.
void TestSettlement::notePreview()
{
    QFETCH(int, answer);
    chooseCompany(QStringLiteral("01"));
    storedNotes(); // opens the database for the check below
    // Two invoices of one customer and branch: one note or two.
    const QList<int> ready = readyForNotes();
    const auto customer = [&](int row) { return invoiceValue(row, "CDCLIENTE").toString(); };
    const auto noteKey = [&](int row) {
        return invoiceValue(row, "CDFILIAL").toString() + customer(row);
    };
    QList<int> chosen;
    for (int i = 0; i + 1 < ready.size() && chosen.isEmpty(); ++i)
        if (noteKey(ready.at(i)) == noteKey(ready.at(i + 1)))
            chosen = {ready.at(i), ready.at(i + 1)};
    QVERIFY(!chosen.isEmpty());
    QHash<QString, QString> names; // customer code -> name, as listed
    QStringList numbers;
    for (int row : chosen) {
        clickMark(row);
        numbers << invoiceValue(row, "NRINVOICE").toString();
        names.insert(customer(row), invoiceValue(row, "NMFANTCLIE").toString());
    }
    shown().queueAnswer(MessageService::Answer(answer));
    QTest::mouseClick(screen()->ui->sbtGerarNF, Qt::LeftButton);

    // The question as it stands; below it, one paragraph per answer.
    QCOMPARE(shown().messages.first().text, QStringLiteral("Gerar Nota(s) Fiscal(is) unificada(s) "
                                                           "para Invoice(s) de mesmo Cliente?"));
    const QStringList paragraphs = shown().messages.first().details.split(QStringLiteral("\n\n"));
    const bool unified = answer == int(MessageService::Answer::Yes);
    QStringList previewed = paragraphs.value(unified ? 0 : 1).split(QLatin1Char('\n'));
    QVERIFY(previewed.takeFirst().startsWith(unified ? "Sim" : "Não"));
    for (QString& line : previewed) {
        // "Filial F · Cliente · Invoice(s) a, b · R$ v", the invoices in number order.
        QStringList parts = line.trimmed().split(QStringLiteral(" · "));
        QCOMPARE(parts.size(), 4);
        QStringList listed = parts.at(2).section(QLatin1Char(' '), 1).split(QStringLiteral(", "));
        listed.sort();
        parts[2] = listed.join(QLatin1Char(','));
        line = parts.join(QLatin1Char('|'));
    }
    previewed.sort();

    // The notes the marked invoices got, from the database: every one of them in one.
    QSqlQuery query(QSqlDatabase::database(QStringLiteral("check")));
    QVERIFY(query.exec(
        QStringLiteral(
            "SELECT f.CDFILIAL, f.CDCLIENTE, f.VRNOTACENTAVOS, GROUP_CONCAT(i.NRINVOICE) FROM "
            "NOTAFISCALINVOICE i JOIN NOTAFISCAL f ON f.CDEMPRESA = i.CDEMPRESA AND f.CDFILIAL = "
            "i.CDFILIAL AND f.NRNOTAFISC = i.NRNOTAFISC WHERE i.CDEMPRESA = '01' AND i.NRINVOICE "
            "IN ('%1') GROUP BY f.CDFILIAL, f.NRNOTAFISC, f.CDCLIENTE, f.VRNOTACENTAVOS")
            .arg(numbers.join(QStringLiteral("','")))));
    QStringList issued;
    qsizetype covered = 0;
    while (query.next()) {
        QStringList listed = query.value(3).toString().split(QLatin1Char(','));
        listed.sort();
        covered += listed.size();
        issued << QStringList{QStringLiteral("Filial\u00A0") + query.value(0).toString(),
                              names.value(query.value(1).toString()), listed.join(','),
                              QStringLiteral("R$\u00A0") +
                                  FormatFloat(QStringLiteral("#,##0.00"),
                                              query.value(2).toLongLong() / 100.0)}
                      .join(QLatin1Char('|'));
    }
    QCOMPARE(covered, numbers.size());
    issued.sort();
    QCOMPARE(previewed, issued);
}
