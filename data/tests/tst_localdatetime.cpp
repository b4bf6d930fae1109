// The local date-time text of the packets, the record store's key and QDateTime, both ways.
#include "JsonWriter.h"
#include "LocalDateTime.h"
#include "TClientDataSet.h"

#include <QtTest>

class TstLocalDateTime : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void conversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("key");
        // 2000-01-01 is Julian day 2,451,545; day 0 began on 24 November 4714 BC.
        QTest::newRow("midnight") << "2000-01-01T00:00:00" << Q_INT64_C(211813488000000);
        QTest::newRow("last millisecond")
            << "2000-01-01T23:59:59.999" << Q_INT64_C(211813488000000) + 86399999;
        QTest::newRow("milliseconds") << "2000-01-02T00:00:00.050" << Q_INT64_C(211813574400050);
        QTest::newRow("the epoch") << "-4714-11-24T00:00:00" << Q_INT64_C(0);
        QTest::newRow("just before the epoch") << "-4714-11-23T23:59:59.500" << Q_INT64_C(-500);
        QTest::newRow("the day before the epoch, noon")
            << "-4714-11-23T12:00:00" << Q_INT64_C(-43200000);
    }

    void conversions()
    {
        QFETCH(QString, text);
        QFETCH(qint64, key);
        qint64 read = -1;
        QVERIFY(LocalDateTime::keyFromText(text.toLatin1(), read));
        QCOMPARE(read, key);
        QVERIFY(LocalDateTime::keyFromText(QStringView(text), read));
        QCOMPARE(read, key);
        QCOMPARE(LocalDateTime::text(key), text);

        const QDateTime value = LocalDateTime::toDateTime(key);
        QVERIFY(value.isValid());
        QCOMPARE(LocalDateTime::key(value), key);
        QCOMPARE(dateTimeToText(value), text);
        QCOMPARE(dateTimeFromText(text), value);
        const auto [day, ms] = LocalDateTime::split(key);
        QCOMPARE(value.date(), QDate::fromJulianDay(day));
        QCOMPARE(value.time().msecsSinceStartOfDay(), ms);

        // Through a record set: loaded, shown and written back unchanged.
        TClientDataSet cds;
        cds.AddField({QStringLiteral("D"), FieldType::DateTime, 0, false});
        const QByteArray json =
            "{\"fields\":[{\"name\":\"D\",\"type\":\"datetime\"}],\"rows\":[[\"" + text.toLatin1() +
            "\"]]}";
        cds.SetData(json);
        QCOMPARE(cds.GetData(), json);
        const QString shown = cds.displayTextAt(0, 0);
        QVERIFY2(shown.startsWith(value.date().toString(QStringLiteral("dd/MM/yyyy"))),
                 qPrintable(shown));
        QCOMPARE(shown.contains(u':'), ms != 0);
    }

    void refusedTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no such day") << "2026-02-30T00:00:00";
        QTest::newRow("hour 24") << "2026-02-03T24:00:00";
        QTest::newRow("minute 60") << "2026-02-03T10:60:00";
        QTest::newRow("zone") << "2026-02-03T00:00:00Z";
        QTest::newRow("offset") << "2026-02-03T00:00:00-03:00";
        QTest::newRow("year 0") << "0000-01-01T00:00:00";
        QTest::newRow("regional form") << "03/02/2026";
    }

    void refusedTexts()
    {
        QFETCH(QString, text);
        qint64 key = 0;
        QVERIFY(!LocalDateTime::keyFromText(text.toLatin1(), key));
        QVERIFY(!dateTimeFromText(text).isValid());
    }
};

QTEST_GUILESS_MAIN(TstLocalDateTime)
#include "tst_localdatetime.moc"
