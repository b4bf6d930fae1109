// Generating fiscal notes from the settlement screen.

#include "SettlementTest.h"

#include "BusyAnimation.h"

#include <QSqlDatabase>
#include <QSqlQuery>

void TestSettlement::notesRefused_data()
{
    QTest::addColumn<QList<int>>("marked");     // rows marked "S"
    QTest::addColumn<QList<int>>("noExchange"); // rows without exchange date
    QTest::addColumn<QList<int>>("noReceipt");  // rows without receipt date
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("current"); // 0-based row current afterwards

    QTest::newRow("none marked") << QList<int>{} << QList<int>{} << QList<int>{}
                                 << "Invoice(s) deve(m) ser informado(s) para gerar Nota(s) "
                                    "Fiscal(is)."
                                 << 0;
    QTest::newRow("second lacks exchange")
        << QList<int>{2, 5} << QList<int>{5} << QList<int>{}
        << "Data de Câmbio deve ser cadastrada pra gerar Nota Fiscal." << 5;
    QTest::newRow("receipt before exchange")
        << QList<int>{3} << QList<int>{3} << QList<int>{3}
        << "Data de Recebimento deve ser cadastrada pra gerar Nota Fiscal." << 3;
}

void TestSettlement::notesRefused()
{
    QFETCH(QList<int>, marked);
    QFETCH(QList<int>, noExchange);
    QFETCH(QList<int>, noReceipt);
    QFETCH(QString, message);
    QFETCH(int, current);
    listCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        const QDateTime day(QDate(2026, 3, 2), QTime(0, 0));
        for (Row& row : packet.rows)
            row[packet.indexOf(QStringLiteral("IDCHECK"))] = QStringLiteral("N");
        for (int row = 0; row < 8; ++row) {
            packet.rows[row][packet.indexOf(QStringLiteral("DTRECINVOICE"))] =
                noReceipt.contains(row) ? QVariant() : QVariant(day);
            packet.rows[row][packet.indexOf(QStringLiteral("DTCAMBIOINVOICE"))] =
                noExchange.contains(row) ? QVariant() : QVariant(day);
            if (marked.contains(row))
                packet.rows[row][packet.indexOf(QStringLiteral("IDCHECK"))] = QStringLiteral("S");
        }
    });
    const int notes = storedNotes();
    screen()->cdsInvoice->SetRecNo(7);
    QTest::keyClick(screen(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(shown().texts(), QStringList{message});
    QCOMPARE(screen()->cdsInvoice->RecNo(), current + 1);
    QVERIFY(!screen()->cdsInvoice->ControlsDisabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(storedNotes(), notes);
}

void TestSettlement::generateNotes_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("newNotes");
    QTest::addColumn<int>("issuedElsewhere"); // of the two, issued meanwhile by another user
    const int yes = int(MessageService::Answer::Yes);
    const int no = int(MessageService::Answer::No);
    QTest::newRow("Sim: one per customer") << yes << 1 << 0;
    QTest::newRow("Não: one per invoice") << no << 2 << 0;
    QTest::newRow("Cancelar: nothing sent") << int(MessageService::Answer::Cancel) << 0 << 0;
    QTest::newRow("Não: one issued meanwhile") << no << 1 << 1;
    QTest::newRow("Sim: both issued meanwhile") << yes << 0 << 2;
}

void TestSettlement::generateNotes()
{
    QFETCH(int, answer);
    QFETCH(int, newNotes);
    QFETCH(int, issuedElsewhere);
    chooseCompany(QStringLiteral("01"));
    TfrmBCRInvoice* frm = screen();
    TClientDataSet& invoices = *frm->cdsInvoice;
    // Two invoices of one customer that may get their note.
    QList<int> pair;
    const QList<int> ready = readyForNotes();
    const auto noteKey = [&](int row) -> QString {
        return invoiceValue(row, "CDFILIAL").toString() + QLatin1Char('/') +
               invoiceValue(row, "CDCLIENTE").toString();
    };
    for (int i = 0; i + 1 < ready.size() && pair.isEmpty(); ++i)
        if (noteKey(ready.at(i)) == noteKey(ready.at(i + 1)))
            pair = {ready.at(i), ready.at(i + 1)};
    QVERIFY(!pair.isEmpty());
    const QString first = invoiceValue(pair.at(0), "NRINVOICE").toString();
    const QString second = invoiceValue(pair.at(1), "NRINVOICE").toString();
    for (int row : pair)
        clickMark(row);
    const int notes = storedNotes();
    // Another screen, on a newer list, issued these notes after this list was read.
    const QStringList elsewhere = QStringList{first, second}.mid(0, issuedElsewhere);
    for (const QString& number : elsewhere)
        QVERIFY(QSqlQuery(QSqlDatabase::database(QStringLiteral("check")))
                    .exec(QStringLiteral("UPDATE INVOICE SET IDGERNFINVOI = 'S' WHERE "
                                         "CDEMPRESA = '01' AND NRINVOICE = '%1'")
                              .arg(number)));
    shown().queueAnswer(MessageService::Answer(answer));
    QTest::mouseClick(frm->ui->sbtGerarNF, Qt::LeftButton);

    QCOMPARE(storedNotes(), notes + newNotes);
    QStringList expected{
        QStringLiteral("Gerar Nota(s) Fiscal(is) unificada(s) para Invoice(s) de mesmo Cliente?")};
    if (issuedElsewhere == 2)
        expected << QStringLiteral("Nenhuma Nota Fiscal foi gerada: a(s) Invoice(s) %1, %2 já "
                                   "tinha(m) Nota Fiscal, gerada por outro usuário.")
                        .arg(first, second);
    else if (issuedElsewhere == 1)
        expected << QStringLiteral("Nota(s) Fiscal(is) gerada(s): %1. A(s) Invoice(s) %2 já "
                                   "tinha(m) Nota Fiscal, gerada por outro usuário, e não "
                                   "foi(ram) alterada(s).")
                        .arg(invoiceValue(pair.at(1), "NRNOTAFISC").toString(), first);
    else if (newNotes > 0)
        expected << QStringLiteral("Nota(s) Fiscal(is) gerada(s) com sucesso!");
    QCOMPARE(shown().texts(), expected);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(invoices.Locate(QStringLiteral("NRINVOICE"), first));
    // Issued: the reloaded list greys them out; cancelled: still marked and pending.
    const bool sent = answer != int(MessageService::Answer::Cancel);
    QCOMPARE(invoices.FieldByName(QStringLiteral("IDCHECK")).AsString(),
             sent ? QStringLiteral("D") : QStringLiteral("S"));
    QCOMPARE(invoices.GetChangeCount(), sent ? 0 : 2);
}

// The server re-checks the dates it holds, already for the question's preview: its refusal
// is shown without asking, and the list stays as it was.
void TestSettlement::notesFailureKeepsList()
{
    chooseCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    QVERIFY(invoices.Locate(QStringLiteral("DTRECINVOICE"), QVariant()));
    invoices.Edit();
    const QDateTime day(QDate(2026, 3, 2), QTime(0, 0));
    invoices.FieldByName(QStringLiteral("DTRECINVOICE")).SetAsDateTime(day);
    invoices.FieldByName(QStringLiteral("DTCAMBIOINVOICE")).SetAsDateTime(day);
    invoices.FieldByName(QStringLiteral("IDCHECK")).SetAsString(QStringLiteral("S"));
    {
        const QScopedValueRollback<TClientDataSet::Event> local(invoices.AfterPost, {});
        invoices.Post();
    }
    const int recNo = invoices.RecNo();
    const int notes = storedNotes();
    invoices.First();
    QTest::mouseClick(screen()->ui->sbtGerarNF, Qt::LeftButton);

    QCOMPARE(storedNotes(), notes);
    QCOMPARE(shown().messages.size(), 1);
    QVERIFY(shown().messages.last().text.contains(QStringLiteral("Data de Recebimento")));
    QCOMPARE(invoices.RecNo(), recNo);
    QCOMPARE(invoices.GetChangeCount(), 1);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(!QApplication::overrideCursor());
}
