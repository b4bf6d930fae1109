#include "FormatFloat.h"

#include <QtTest>

class TestFormatFloat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void formatFloat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        const QString three = QStringLiteral("#,##0.000;1; ");
        const QString two = QStringLiteral("#,##0.00;1; ");
        const QString plain = QStringLiteral("#,##0.00");
        QTest::newRow("3 positive") << three << 5.1234 << "5,123";
        QTest::newRow("3 thousands") << three << 1234567.8915 << "1.234.567,892";
        QTest::newRow("3 negative") << three << -5.0 << "1";
        QTest::newRow("3 zero") << three << 0.0 << " ";
        QTest::newRow("3 rounds to zero") << three << 0.0004 << " ";
        QTest::newRow("3 tie rounds up") << three << 2.0005 << "2,001";
        QTest::newRow("2 positive") << two << 0.5 << "0,50";
        QTest::newRow("2 thousands") << two << 1000.0 << "1.000,00";
        QTest::newRow("2 negative") << two << -1234.56 << "1";
        QTest::newRow("2 zero") << two << 0.0 << " ";
        QTest::newRow("2 tie") << two << 0.125 << "0,13";
        QTest::newRow("2 carry") << two << 999.995 << "1.000,00";
        QTest::newRow("2 binary tie") << two << 1.005 << "1,01";
        QTest::newRow("plain positive") << plain << 1234.5 << "1.234,50";
        QTest::newRow("plain zero") << plain << 0.0 << "0,00";
        QTest::newRow("plain negative") << plain << -1234.5 << "-1.234,50";
        QTest::newRow("plain negative rounds to zero") << plain << -0.001 << "0,00";
        QTest::newRow("plain millions") << plain << 12345678.9 << "12.345.678,90";
        QTest::newRow("plain small thousands") << plain << 999.0 << "999,00";
        QTest::newRow("no grouping") << "0.0" << 1234.56 << "1234,6";
        QTest::newRow("optional decimals") << "#,##0.##" << 1234.5 << "1.234,5";
        QTest::newRow("literal suffix") << "0.00' U$'" << 3.0 << "3,00 U$";
    }

    void formatFloat()
    {
        QFETCH(QString, format);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FormatFloat(format, value), expected);
    }

    void generalText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("integer") << 1234.0 << "1234";
        QTest::newRow("decimal") << 1234.57 << "1234,57";
        QTest::newRow("one decimal") << 1234.5 << "1234,5";
        QTest::newRow("negative") << -0.25 << "-0,25";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("15 digits") << 0.1 + 0.2 << "0,3";
        QTest::newRow("large") << 123456789012345.0 << "123456789012345";
        QTest::newRow("small") << 0.0001 << "0,0001";
        QTest::newRow("exponent") << 1.5e20 << "1,5E20";
    }

    void generalText()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FloatToStr(value), expected);
        double back = 0;
        QVERIFY(TryStrToFloat(FloatToStr(value), back));
        QCOMPARE(back, value == 0.1 + 0.2 ? 0.3 : value);
    }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("expected");
        QTest::newRow("comma") << "1234,56" << true << 1234.56;
        QTest::newRow("grouped") << "1.234,56" << true << 1234.56;
        QTest::newRow("blanks") << " 12 " << true << 12.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, expected);
        double value = 0;
        QCOMPARE(TryStrToFloat(text, value), ok);
        if (ok)
            QCOMPARE(value, expected);
        else
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, StrToFloat(text));
    }
};

QTEST_GUILESS_MAIN(TestFormatFloat)
#include "tst_formatfloat.moc"
