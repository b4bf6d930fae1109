#include "JsonWriter.h"
#include "TClientDataSet.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>
#include <ctime>

namespace {

QList<FieldDef> mixedFields()
{
    return {{QStringLiteral("NRINVOICE"), FieldType::String, 10, false},
            {QStringLiteral("DSOBS"), FieldType::String, 2000, false},
            {QStringLiteral("IDCHECK"), FieldType::String, 1, true},
            {QStringLiteral("DTRECINVOICE"), FieldType::DateTime, 0, false},
            {QStringLiteral("DTCAMBIO"), FieldType::DateTime, 0, false},
            {QStringLiteral("TOTALINVOICE"), FieldType::Float, 0, false},
            {QStringLiteral("VRCAMBIO"), FieldType::Float, 0, false}};
}

QString awkwardText(QRandomGenerator& random)
{
    static const QList<QString> pieces = {
        QStringLiteral("\""),  QStringLiteral("\\"),      QStringLiteral("/"),
        QStringLiteral("ção"), QStringLiteral("ÁÉÍ"),     QStringLiteral("😀"),
        QStringLiteral("€"),   QStringLiteral("\n"),      QStringLiteral("\t"),
        QStringLiteral("\r"),  QString(QChar(0x01)),      QString(QChar(0x1f)),
        QString(QChar(0x7f)),  QString(QChar(0x2028)),    QStringLiteral("abc"),
        QStringLiteral(" "),   QStringLiteral("\\u0041"), QString(QChar(0x08)),
        QString(QChar(0x0c)),  QString(QChar(0xffff))};
    QString text;
    const int count = random.bounded(8);
    for (int i = 0; i < count; ++i)
        text += pieces.at(random.bounded(int(pieces.size())));
    return text;
}

double awkwardNumber(QRandomGenerator& random)
{
    switch (random.bounded(8)) {
    case 0:
        return -random.generateDouble() * 1e6;
    case 1:
        return std::ldexp(random.generateDouble(), 900); // huge
    case 2:
        return std::ldexp(random.generateDouble(), -1060); // tiny, subnormal
    case 3:
        return double(random.bounded(1000000)) / 100;
    case 4:
        return 0.1 + 0.2;
    case 5:
        return -0.0;
    case 6:
        return double(qint64(1) << 53) + 2;
    }
    return double(random.generate64()) * random.generateDouble();
}

QVariant awkwardDate(QRandomGenerator& random)
{
    const QDate day = QDate(1990, 1, 1).addDays(random.bounded(20000));
    switch (random.bounded(4)) {
    case 0:
        return QVariant();
    case 1:
        return QDateTime(day, QTime(0, 0));
    case 2:
        return QDateTime(day, QTime(random.bounded(24), random.bounded(60), random.bounded(60)));
    }
    return QDateTime(day, QTime::fromMSecsSinceStartOfDay(random.bounded(86400000)));
}

DataPacket randomPacket(quint32 seed, int rows)
{
    QRandomGenerator random(seed);
    DataPacket packet;
    packet.fields = mixedFields();
    for (int r = 0; r < rows; ++r) {
        Row row;
        row << QStringLiteral("%1").arg(r)
            << (random.bounded(5) ? QVariant(awkwardText(random)) : QVariant())
            << (random.bounded(2) ? QStringLiteral("S") : QString()) << awkwardDate(random)
            << awkwardDate(random)
            << (random.bounded(6) ? QVariant(awkwardNumber(random)) : QVariant())
            << QVariant(awkwardNumber(random));
        packet.rows.append(row);
    }
    return packet;
}

void compareRows(const Row& actual, const Row& expected, const QList<FieldDef>& fields)
{
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        const QVariant& a = actual.at(i);
        const QVariant& e = expected.at(i);
        QCOMPARE(a.isValid(), e.isValid());
        if (!e.isValid())
            continue;
        if (fields.at(i).type == FieldType::Float)
            QCOMPARE(a.toDouble(), e.toDouble()); // exact: both read the same bits back
        else if (fields.at(i).type == FieldType::DateTime)
            QCOMPARE(dateTimeToText(a.toDateTime()), dateTimeToText(e.toDateTime()));
        else
            QCOMPARE(a.toString(), e.toString());
    }
}

void comparePackets(const DataPacket& actual, const DataPacket& expected)
{
    QCOMPARE(actual.fields, expected.fields);
    QCOMPARE(actual.rows.size(), expected.rows.size());
    for (qsizetype r = 0; r < actual.rows.size(); ++r) {
        compareRows(actual.rows.at(r), expected.rows.at(r), expected.fields);
        if (QTest::currentTestFailed()) {
            qWarning("row %lld differs", qint64(r));
            return;
        }
    }
}

void validJson(const QByteArray& json)
{
    QJsonParseError error;
    QJsonDocument::fromJson(json, &error);
    QCOMPARE(error.errorString(), QJsonParseError().errorString());
}

} // namespace

class TestPacketJson : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void strings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain") << "abc" << QByteArray("\"abc\"");
        QTest::newRow("empty") << "" << QByteArray("\"\"");
        QTest::newRow("quote and backslash") << "a\"b\\c" << QByteArray("\"a\\\"b\\\\c\"");
        QTest::newRow("short escapes") << "\b\f\n\r\t" << QByteArray("\"\\b\\f\\n\\r\\t\"");
        QTest::newRow("other controls")
            << QString(QChar(0x01)) + QChar(0x1f) << QByteArray("\"\\u0001\\u001f\"");
        QTest::newRow("nul") << QString(QChar(0)) << QByteArray("\"\\u0000\"");
        QTest::newRow("accents") << "ção" << QByteArray("\"\xc3\xa7\xc3\xa3o\"");
        QTest::newRow("three bytes") << "€" << QByteArray("\"\xe2\x82\xac\"");
        QTest::newRow("emoji") << "😀" << QByteArray("\"\xf0\x9f\x98\x80\"");
        QTest::newRow("lone high surrogate")
            << QString(QChar(0xd83d)) + u'x' << QByteArray("\"\xef\xbf\xbdx\"");
        QTest::newRow("lone low surrogate")
            << QString(QChar(0xde00)) << QByteArray("\"\xef\xbf\xbd\"");
        QTest::newRow("high surrogate at the end")
            << u'a' + QString(QChar(0xd83d)) << QByteArray("\"a\xef\xbf\xbd\"");
    }

    void strings()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        JsonWriter out;
        out.string(text);
        QCOMPARE(out.take(), expected);
    }

    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative zero") << -0.0;
        QTest::newRow("integer") << 100000.0;
        QTest::newRow("cents") << 1234.56;
        QTest::newRow("0.1+0.2") << 0.1 + 0.2;
        QTest::newRow("negative") << -987654.321;
        QTest::newRow("huge") << 1.7976931348623157e308;
        QTest::newRow("tiny") << 4.9406564584124654e-324;
        QTest::newRow("small") << 1.5e-7;
        QTest::newRow("beyond 2^53") << 9007199254740993.0 * 3;
    }

    void numbers()
    {
        QFETCH(double, value);
        JsonWriter out;
        out.literal("[");
        out.number(value);
        out.literal("]");
        const QByteArray json = out.take();
        const QJsonDocument document = QJsonDocument::fromJson(json);
        QVERIFY2(document.isArray(), json.constData());
        const double back = document.array().at(0).toDouble();
        QCOMPARE(back, value);
    }

    void dateTimes_data()
    {
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("midnight") << QDateTime(QDate(2026, 3, 1), QTime(0, 0))
                                  << QByteArray("\"2026-03-01T00:00:00\"");
        QTest::newRow("time") << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 58))
                              << QByteArray("\"1999-12-31T23:59:58\"");
        QTest::newRow("milliseconds") << QDateTime(QDate(2024, 2, 29), QTime(7, 5, 3, 9))
                                      << QByteArray("\"2024-02-29T07:05:03.009\"");
        QTest::newRow("early year")
            << QDateTime(QDate(812, 6, 7), QTime(1, 2, 3)) << QByteArray("\"0812-06-07T01:02:03\"");
    }

    // The fast writers give the same date text as the packet codec's own.
    void dateTimes()
    {
        QFETCH(QDateTime, value);
        QFETCH(QByteArray, expected);
        QCOMPARE(u'"' + dateTimeToText(value) + u'"', QString::fromUtf8(expected));
        JsonWriter out;
        writeJsonValue(out, {QStringLiteral("D"), FieldType::DateTime, 0, false}, value, 0);
        QCOMPARE(out.take(), expected);

        TClientDataSet cds;
        cds.AddField({QStringLiteral("D"), FieldType::DateTime, 0, false});
        DataPacket packet;
        packet.fields = cds.FieldDefs();
        packet.rows = {{value}};
        cds.SetData(packet);
        QVERIFY(cds.GetData().contains(expected));
    }

    // On randomized records, the record set's packet reads back as the data loaded and its
    // delta as the changes made, both JSON that Qt's own reader accepts.
    void packetAndDeltaReadBack_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 6; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }

    void packetAndDeltaReadBack()
    {
        QFETCH(quint32, seed);
        const DataPacket original = randomPacket(seed, 400);
        TClientDataSet cds;
        for (const FieldDef& field : mixedFields())
            cds.AddField(field);
        cds.SetData(original);

        const QByteArray data = cds.GetData();
        validJson(data);
        comparePackets(DataPacket::fromJson(data), original);
        const QByteArray codec = original.toJson();
        validJson(codec);
        comparePackets(DataPacket::fromJson(codec), original);

        // The bytes load back into a record set unchanged.
        TClientDataSet copy;
        for (const FieldDef& field : mixedFields())
            copy.AddField(field);
        copy.SetData(data);
        QCOMPARE(copy.GetData(), data);

        // Changes of every kind, some changed back, then the delta.
        QRandomGenerator random(seed + 100);
        cds.First();
        while (!cds.Eof()) {
            if (random.bounded(3) == 0) {
                cds.Edit();
                cds.FieldByName(QStringLiteral("DSOBS")).SetValue(awkwardText(random));
                if (random.bounded(2))
                    cds.FieldByName(QStringLiteral("DTCAMBIO")).SetValue(awkwardDate(random));
                if (random.bounded(2))
                    cds.FieldByName(QStringLiteral("VRCAMBIO")).SetValue(awkwardNumber(random));
                if (random.bounded(4) == 0)
                    cds.FieldByName(QStringLiteral("TOTALINVOICE")).Clear();
                cds.Post();
            }
            cds.Next();
        }
        QVERIFY(cds.GetChangeCount() > 0);
        const QByteArray deltaJson = cds.GetDelta();
        validJson(deltaJson);
        const Delta delta = Delta::fromJson(deltaJson);
        QCOMPARE(delta.fields, original.fields);
        QCOMPARE(delta.changes.size(), cds.GetChangeCount());
        // Each change holds its row as loaded, and with its new values the row as it is now;
        // the rows it does not hold are as loaded.
        const DataPacket current = DataPacket::fromJson(cds.GetData());
        QList<bool> changed(original.rows.size());
        for (const DeltaChange& change : delta.changes) {
            const int row = change.old.at(0).toString().toInt(); // NRINVOICE: the row's number
            changed[row] = true;
            compareRows(change.old, original.rows.at(row), original.fields);
            QVERIFY(!change.set.isEmpty());
            Row now = change.old;
            for (const auto& [name, value] : change.set)
                now[original.indexOf(name)] = value;
            compareRows(now, current.rows.at(row), original.fields);
        }
        for (qsizetype r = 0; r < original.rows.size(); ++r) {
            if (!changed.at(r))
                compareRows(current.rows.at(r), original.rows.at(r), original.fields);
        }
    }

    void emptyRecordSet()
    {
        TClientDataSet cds;
        for (const FieldDef& field : mixedFields())
            cds.AddField(field);
        cds.Open();
        const DataPacket packet = DataPacket::fromJson(cds.GetData());
        QCOMPARE(packet.fields, cds.FieldDefs());
        QVERIFY(packet.rows.isEmpty());
        const Delta delta = Delta::fromJson(cds.GetDelta());
        QVERIFY(delta.changes.isEmpty());
    }

    // A float without a JSON form is refused, as the codec refuses it, not written as text
    // the other side cannot read.
    void nonFiniteNumbersRefused_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("nan") << qQNaN();
        QTest::newRow("inf") << qInf();
        QTest::newRow("-inf") << -qInf();
    }

    void nonFiniteNumbersRefused()
    {
        QFETCH(double, value);
        TClientDataSet cds;
        for (const FieldDef& field : mixedFields())
            cds.AddField(field);
        cds.SetData(randomPacket(1, 3));
        cds.Edit();
        cds.FieldByName(QStringLiteral("VRCAMBIO")).SetAsFloat(value);
        cds.Post();
        QVERIFY_THROWS_EXCEPTION(DataPacketError, cds.GetData());
        QVERIFY_THROWS_EXCEPTION(DataPacketError, cds.GetDelta());
    }

    // Local date-times stay as written whatever the machine's zone does with its clocks:
    // in a zone whose clocks once jumped from midnight to one o'clock, that midnight is
    // still a date the packets carry. Run in such a zone.
    void datesAcrossDaylightSaving_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("skipped midnight") << "2018-11-04T00:00:00";
        QTest::newRow("skipped half hour") << "2018-11-04T00:30:00";
        QTest::newRow("skipped, with ms") << "2017-10-15T00:00:00.250";
        QTest::newRow("before the jump") << "2018-11-03T23:59:59";
        QTest::newRow("after the jump") << "2018-11-04T01:00:00";
        QTest::newRow("repeated hour") << "2019-02-16T23:30:00";
        QTest::newRow("after the repeat") << "2019-02-17T00:00:00";
        QTest::newRow("no change that year") << "2024-11-03T00:00:00";
    }

    void datesAcrossDaylightSaving()
    {
        QFETCH(QString, text);
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/Sao_Paulo");
        tzset();
        const auto restore = qScopeGuard([&] {
            if (zone.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", zone);
            tzset();
        });
        if (QDateTime(QDate(2018, 11, 4), QTime(0, 0)).isValid())
            QSKIP("the local zone has no daylight-saving history here");

        const QByteArray json =
            "{\"fields\":[{\"name\":\"D\",\"type\":\"datetime\"}],\"rows\":[[\"" + text.toUtf8() +
            "\"]]}";
        const QDateTime value = dateTimeFromText(text);
        QVERIFY(value.isValid());
        QCOMPARE(dateTimeToText(value), text);

        // Every way in and out keeps the wall-clock text.
        TClientDataSet cds;
        cds.AddField({QStringLiteral("D"), FieldType::DateTime, 0, false});
        cds.SetData(json);
        QCOMPARE(cds.GetData(), json);
        QCOMPARE(DataPacket::fromJson(json).toJson(), json);
        cds.SetData(DataPacket::fromJson(json));
        QCOMPARE(cds.GetData(), json);
        TField& field = cds.FieldByName(QStringLiteral("D"));
        QCOMPARE(dateTimeToText(field.AsDateTime()), text);

        // Typed by the user in the regional format, it is the same day and time.
        if (!text.contains(u'.')) {
            cds.Edit();
            field.SetAsString(QStringLiteral("01/01/2000"));
            field.SetAsString(field.DisplayText().isEmpty()
                                  ? QString()
                                  : value.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
            cds.Post();
            QCOMPARE(cds.GetData(), json);
        }
    }
};

QTEST_GUILESS_MAIN(TestPacketJson)
#include "tst_packetjson.moc"
