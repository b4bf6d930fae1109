// Money in cents: amounts, the value in reais of the invoices a fiscal note covers, sums.
#include "Money.h"

#include <QTest>
#include <limits>

class TstMoney : public QObject
{
    Q_OBJECT

private slots:
    void toCents_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<qint64>("cents"); // refused: the lowest qint64
        QTest::newRow("half a cent up") << 0.005 << qint64(1);
        QTest::newRow("half a cent, negative") << -0.005 << qint64(-1);
        QTest::newRow("1.005, 1.00499… in binary") << 1.005 << qint64(101);
        const qint64 refused = std::numeric_limits<qint64>::min();
        QTest::newRow("sixteenth digit not counted")
            << 90071992547409.91 << qint64(9007199254740990);
        QTest::newRow("first beyond a double's cents") << 90071992547410.0 << refused;
        QTest::newRow("far beyond") << 9e17 << refused;
        QTest::newRow("not a number") << qQNaN() << refused;
        QTest::newRow("infinite") << -qInf() << refused;
    }
    // Amounts to cents, and a clear refusal where cents cannot be counted exactly.
    void toCents()
    {
        QFETCH(double, amount);
        QFETCH(qint64, cents);
        QCOMPARE(Money::toCents(amount).value_or(std::numeric_limits<qint64>::min()), cents);
        if (cents == std::numeric_limits<qint64>::min())
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, Money::cents(amount));
    }

    void atRate_data()
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
    void atRate()
    {
        QFETCH(double, dollars);
        QFETCH(double, rate);
        QFETCH(bool, fits);
        QFETCH(qint64, cents);
        const std::optional<qint64> value = Money::atRate(dollars, rate);
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
        QTest::newRow("sum beyond 64 bits") << 2 << 9e13 << 1000.0 << false << qint64(0);
    }
    void sum()
    {
        QFETCH(int, count);
        QFETCH(double, dollars);
        QFETCH(double, rate);
        QFETCH(bool, fits);
        QFETCH(qint64, cents);
        const std::optional<qint64> each = Money::atRate(dollars, rate);
        QVERIFY(each);
        const std::optional<qint64> total = Money::sum(QList<qint64>(count, *each));
        QCOMPARE(total.has_value(), fits);
        if (fits)
            QCOMPARE(*total, cents);
    }
};

QTEST_APPLESS_MAIN(TstMoney)
#include "tst_money.moc"
