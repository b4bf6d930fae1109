// The division of a payment order among the marked invoices, and the payment field's keys.
#include "ReceiptShares.h"
#include "TfrmConfReceb.h"

#include <QRandomGenerator>
#include <QtTest>

using Cents = QList<qint64>;

class TestReceipt : public QObject
{
    Q_OBJECT

private slots:
    void shares_data();
    void shares();
    void sharesAddUpToThePayment();
    void paymentKeys_data();
    void paymentKeys();
};

void TestReceipt::shares_data()
{
    QTest::addColumn<qint64>("payment");
    QTest::addColumn<Cents>("totals");
    QTest::addColumn<QList<bool>>("givesUp");
    QTest::addColumn<Cents>("expected");

    const auto row = [](const char* name, qint64 payment, Cents totals, QList<bool> givesUp,
                        Cents expected) {
        QTest::newRow(name) << payment * 100 << totals << givesUp << expected;
    };
    row("short: the last gets what is left", 100, {6000, 5000}, {false, false}, {6000, 4000});
    row("excess to the last", 150, {6000, 5000}, {false, false}, {6000, 9000});
    row("money runs out", 100, {4000, 3000, 5000}, {false, false, false}, {4000, 3000, 3000});
    row("after the money ran out", 50, {4000, 3000, 2000}, {false, false, false}, {4000, 1000, 0});
    row("giver covers the shortfall", 100, {8000, 5000}, {true, false}, {5000, 5000});
    row("giver gives all it has", 60, {3000, 7000}, {true, false}, {0, 6000});
    row("giver after the short invoice", 100, {12000, 3000}, {false, true}, {10000, 0});
    // Two short invoices after one giver: the second draws on what the first left it.
    row("two draw on one giver", 100, {8000, 5000, 3000}, {true, false, false}, {2000, 5000, 3000});
    row("giver drained, then nothing", 100, {8000, 5000, 6000}, {true, false, false},
        {0, 5000, 5000});
    row("short after a negative remainder", 50, {6000, 3000, 4000}, {true, false, false},
        {0, 3000, 2000});
}

void TestReceipt::shares()
{
    QFETCH(qint64, payment);
    QFETCH(Cents, totals);
    QFETCH(QList<bool>, givesUp);
    QFETCH(Cents, expected);
    QList<ReceiptInvoice> invoices;
    for (qsizetype i = 0; i < totals.size(); ++i)
        invoices.append({totals.at(i), givesUp.at(i)});
    QCOMPARE(ReceiptShares(payment, invoices), expected);
}

// Whatever the list: no share below zero, and the shares add up to the payment to the cent.
void TestReceipt::sharesAddUpToThePayment()
{
    QRandomGenerator random(20261208);
    for (int run = 0; run < 500; ++run) {
        QList<ReceiptInvoice> invoices;
        qint64 sum = 0;
        const int count = 1 + int(random.bounded(12));
        for (int i = 0; i < count; ++i) {
            invoices.append({qint64(random.bounded(1000000)), random.bounded(4) == 0});
            sum += invoices.last().totalCents;
        }
        const qint64 payment = qint64(random.bounded(qint64(sum * 3 / 2 + 1)));
        const QList<qint64> shares = ReceiptShares(payment, invoices);
        qint64 given = 0;
        for (qint64 share : shares) {
            QVERIFY2(share >= 0, qPrintable(QString::number(run)));
            given += share;
        }
        QCOMPARE(given, payment);
    }
}

void TestReceipt::paymentKeys_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("digits and one comma") << "1234,56"
                                          << "1234,56";
    QTest::newRow("second comma dropped") << "12,3,4"
                                          << "12,34";
    QTest::newRow("full stop, letters, minus dropped") << "-1.2a3"
                                                       << "123";
    QTest::newRow("comma again after deleting it") << "1,\b2,5"
                                                   << "12,5";
}

void TestReceipt::paymentKeys()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TfrmConfReceb dialog;
    QTest::keyClicks(dialog.edtVrOrdPgto, typed);
    QCOMPARE(dialog.edtVrOrdPgto->text(), shown);
}

QTEST_MAIN(TestReceipt)
#include "tst_receipt.moc"
