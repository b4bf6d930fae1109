// The value in reais of the invoices a fiscal note covers, in cents.
#include "ReaisCents.h"

#include <QTest>
#include <limits>

class TstReaisCents : public QObject
{
    Q_OBJECT

private slots:
    void ofInvoice_data()
    {
        QTest::addColumn<double>("dollars");
        QTest::addColumn<double>("rate");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<qint64>("cents");
        const double inf = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("rate of six places") << 1234.56 << 5.123456 << true << qint64(632521);
        QTest::newRow("half cent rounds up") << 0.50 << 0.01 << true << qint64(1);
        QTest::newRow("below half a cent") << 0.49 << 0.01 << true << qint64(0);
        QTest::newRow("half cent, negative") << -0.50 << 0.01 << true << qint64(-1);
        QTest::newRow("negative amount") << -1234.56 << 5.123456 << true << qint64(-632521);
        // 10 × 1.0005 is 10.004999… in binary floating point: the half cent is still there.
        QTest::newRow("half cent lost in binary") << 10.0 << 1.0005 << true << qint64(1001);
        QTest::newRow("amount below its cent in binary") << 1.15 << 1.0 << true << qint64(115);
        QTest::newRow("zero amount") << 0.0 << 5.4321 << true << qint64(0);
        QTest::newRow("zero rate") << 1234.56 << 0.0 << true << qint64(0);
        // Cents times millionths passes 64 bits before it is divided back.
        QTest::newRow("fifty billion dollars") << 50e9 << 5.4321 << true << qint64(27160500000000);
        QTest::newRow("value beyond 64 bits") << 9e16 << 2.0 << false << qint64(0);
        QTest::newRow("amount beyond 64 bits") << 1e300 << 1.0 << false << qint64(0);
        QTest::newRow("infinite rate") << 1.0 << inf << false << qint64(0);
        QTest::newRow("amount not a number") << nan << 1.0 << false << qint64(0);
    }
    void ofInvoice()
    {
        QFETCH(double, dollars);
        QFETCH(double, rate);
        QFETCH(bool, fits);
        QFETCH(qint64, cents);
        const std::optional<qint64> value = ReaisCents::ofInvoice(dollars, rate);
        QCOMPARE(value.has_value(), fits);
        if (fits)
            QCOMPARE(*value, cents);
    }

    // Each invoice is rounded on its own; the sum of many is exact to the cent.
    void sum_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("dollars");
        QTest::addColumn<double>("rate");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<qint64>("cents");
        QTest::newRow("rounded per invoice") << 1000 << 0.10 << 5.4321 << true << qint64(54000);
        QTest::newRow("many small invoices")
            << 100000 << 33.33 << 3.0003 << true << qint64(1000000000);
        QTest::newRow("negative invoices") << 2 << -0.50 << 0.01 << true << qint64(-2);
        QTest::newRow("sum beyond 64 bits") << 25 << 92233720368547.0 << 50.0 << false << qint64(0);
    }
    void sum()
    {
        QFETCH(int, count);
        QFETCH(double, dollars);
        QFETCH(double, rate);
        QFETCH(bool, fits);
        QFETCH(qint64, cents);
        const std::optional<qint64> each = ReaisCents::ofInvoice(dollars, rate);
        QVERIFY(each);
        const std::optional<qint64> total = ReaisCents::sum(QList<qint64>(count, *each));
        QCOMPARE(total.has_value(), fits);
        if (fits)
            QCOMPARE(*total, cents);
    }
};

QTEST_APPLESS_MAIN(TstReaisCents)
#include "tst_reaiscents.moc"
