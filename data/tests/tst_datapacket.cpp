#include "DataPacket.h"
#include "TClientDataSet.h"

#include <QtTest>

class TestDataPacket : public QObject
{
    Q_OBJECT

private:
    static QList<FieldDef> sampleFields()
    {
        return {{QStringLiteral("NRINVOICE"), FieldType::String, 10, false},
                {QStringLiteral("IDCHECK"), FieldType::String, 1, true},
                {QStringLiteral("DTRECINVOICE"), FieldType::DateTime, 0, false},
                {QStringLiteral("TOTALINVOICE"), FieldType::Float, 0, false}};
    }

private slots:
    void packetRoundTrip()
    {
        DataPacket packet;
        packet.fields = sampleFields();
        packet.rows = {
            {QStringLiteral("0001"), QStringLiteral("S"),
             QDateTime(QDate(2026, 3, 1), QTime(13, 45, 7)), 1234.5},
            {QStringLiteral(""), QVariant(), QVariant(), -0.125},
            {QStringLiteral("ção\"\\"), QStringLiteral("N"),
             QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0, 250)), QVariant()},
        };
        const DataPacket back = DataPacket::fromJson(packet.toJson());
        QCOMPARE(back.fields, packet.fields);
        QCOMPARE(back.rows.size(), packet.rows.size());
        for (qsizetype r = 0; r < packet.rows.size(); ++r)
            QCOMPARE(back.rows.at(r), packet.rows.at(r));
        // Null and the empty text stay apart.
        QVERIFY(!back.rows.at(1).at(1).isValid());
        QVERIFY(back.rows.at(1).at(0).isValid());
        QCOMPARE(back.rows.at(1).at(0).toString(), QString());
        QCOMPARE(back.indexOf(QStringLiteral("totalinvoice")), 3);
        QCOMPARE(back.indexOf(QStringLiteral("NOPE")), -1);

        // The rows may come before the fields, and the object form reads the same.
        const QJsonObject object = QJsonDocument::fromJson(packet.toJson()).object();
        QCOMPARE(object.value(QLatin1String("rows")).toArray().size(), packet.rows.size());
        const QByteArray rowsFirst = QByteArray(R"({"rows":)") +
                                     QJsonDocument(object.value(QLatin1String("rows")).toArray())
                                         .toJson(QJsonDocument::Compact) +
                                     R"(,"fields":)" +
                                     QJsonDocument(object.value(QLatin1String("fields")).toArray())
                                         .toJson(QJsonDocument::Compact) +
                                     '}';
        for (const DataPacket& other :
             {DataPacket::fromJson(rowsFirst), DataPacket::fromJsonObject(object)}) {
            QCOMPARE(other.fields, packet.fields);
            QCOMPARE(other.rows, packet.rows);
        }
    }

    // A delta as the record set writes it reads back as its changes.
    void deltaRoundTrip()
    {
        DeltaChange change;
        change.old = {QStringLiteral("0001"), QStringLiteral("N"), QVariant(), 10.0};
        change.set = {{QStringLiteral("IDCHECK"), QStringLiteral("S")},
                      {QStringLiteral("DTRECINVOICE"), QDateTime(QDate(2026, 1, 2), QTime(0, 0))},
                      {QStringLiteral("TOTALINVOICE"), QVariant()}};
        TClientDataSet cds;
        for (const FieldDef& field : sampleFields())
            cds.AddField(field);
        cds.SetData(DataPacket{sampleFields(), {change.old}});
        cds.Edit();
        for (const auto& [name, value] : change.set)
            cds.FieldByName(name).SetValue(value);
        cds.Post();
        const QByteArray json = cds.GetDelta();
        QVERIFY(json.contains("\"op\":\"modify\""));
        QVERIFY(json.contains("\"DTRECINVOICE\":\"2026-01-02T00:00:00\""));
        const Delta back = Delta::fromJson(json);
        QCOMPARE(back.fields, sampleFields());
        QCOMPARE(back.changes.size(), 1);
        QCOMPARE(back.changes.at(0).old, change.old);
        QCOMPARE(back.changes.at(0).set, change.set);
    }

    // The delta's members in any order, and a member that comes twice counting as its last,
    // read as the same change.
    void deltaMemberOrder_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray fields = R"("fields":[{"name":"A","type":"string","size":5},)"
                                  R"({"name":"F","type":"float"}])";
        const QByteArray change = R"({"op":"modify","old":["a",1],"set":{"F":2}})";
        QTest::newRow("as written") << QByteArray("{" + fields + R"(,"changes":[)" + change + "]}");
        QTest::newRow("fields last")
            << QByteArray(R"({"changes":[)" + change + "]," + fields + "}");
        QTest::newRow("members of the change reversed") << QByteArray(
            "{" + fields + R"(,"changes":[{"set":{"F":2},"old":["a",1],"op":"modify"}]})");
        QTest::newRow("repeated members") << QByteArray(
            R"({"changes":[],)" + fields + R"(,"x":{"y":[1]},"changes":[)" +
            R"({"op":"modify","set":{"A":"b"},"old":"c","old":["a",1],)" + R"("set":{"F":2}}]})");
    }

    void deltaMemberOrder()
    {
        QFETCH(QByteArray, json);
        const Delta delta = Delta::fromJson(json);
        QCOMPARE(delta.fields.size(), 2);
        QCOMPARE(delta.changes.size(), 1);
        QCOMPARE(delta.changes.at(0).old, Row({QStringLiteral("a"), 1.0}));
        const QList<QPair<QString, QVariant>> set{{QStringLiteral("F"), 2.0}};
        QCOMPARE(delta.changes.at(0).set, set);
    }

    void malformedPacket_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        const QByteArray fields = R"("fields":[{"name":"A","type":"string","size":5},)"
                                  R"({"name":"D","type":"datetime"},{"name":"F","type":"float"}])";
        QTest::newRow("malformed JSON") << QByteArray(R"({"fields":[)") << "JSON malformado";
        QTest::newRow("not an object") << QByteArray("[1,2]") << "não é um objeto JSON";
        QTest::newRow("missing fields") << QByteArray(R"({"rows":[]})") << "\"fields\"";
        QTest::newRow("missing rows") << QByteArray("{" + fields + "}") << "\"rows\"";
        QTest::newRow("unknown type")
            << QByteArray(R"({"fields":[{"name":"X","type":"blob"}],"rows":[]})")
            << "Tipo desconhecido \"blob\" no campo X";
        QTest::newRow("field without name")
            << QByteArray(R"({"fields":[{"type":"float"}],"rows":[]})") << "sem nome";
        QTest::newRow("repeated field")
            << QByteArray(R"({"fields":[{"name":"X","type":"float"},{"name":"x","type":"float"}],)"
                          R"("rows":[]})")
            << "Campo x repetido";
        QTest::newRow("row too short")
            << QByteArray("{" + fields + R"(,"rows":[["a",null]]})") << "Linha 1 tem 2 valores";
        QTest::newRow("row too long")
            << QByteArray("{" + fields + R"(,"rows":[["a",null,1,2]]})") << "Linha 1 tem 4 valores";
        QTest::newRow("rows twice: the last counts")
            << QByteArray("{" + fields + R"(,"rows":[["a",null,1]],"rows":[["a",null,"x"]]})")
            << "campo F, linha 1";
        QTest::newRow("cut inside a row")
            << QByteArray("{" + fields + R"(,"rows":[["a",null,1],["b")") << "JSON malformado";
        QTest::newRow("row not a list")
            << QByteArray("{" + fields + R"(,"rows":[{}]})") << "Linha 1 não é uma lista";
        QTest::newRow("number in text field")
            << QByteArray("{" + fields + R"(,"rows":[[1,null,1]]})") << "campo A, linha 1";
        QTest::newRow("text in float field")
            << QByteArray("{" + fields + R"(,"rows":[["a",null,"1,5"]]})")
            << "Valor do tipo texto onde se espera float (campo F, linha 1)";
        QTest::newRow("number in date field")
            << QByteArray("{" + fields + R"(,"rows":[["a",5,1]]})") << "campo D, linha 1";
        QTest::newRow("bad date text")
            << QByteArray("{" + fields + R"(,"rows":[["a",null,1],["b","2026-02-30T00:00:00",1]]})")
            << "Data inválida \"2026-02-30T00:00:00\" (campo D, linha 2)";
        QTest::newRow("date with zone")
            << QByteArray("{" + fields + R"(,"rows":[["a","2026-02-03T00:00:00Z",1]]})")
            << "Data inválida";
        QTest::newRow("date garbage")
            << QByteArray("{" + fields + R"(,"rows":[["a","ontem",1]]})") << "Data inválida";
    }

    void malformedPacket()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        try {
            DataPacket::fromJson(json);
            QFAIL("no error");
        } catch (const DataPacketError& error) {
            QVERIFY2(error.text().contains(expected), qPrintable(error.text()));
        }
    }

    void malformedDelta_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        const QByteArray fields = R"("fields":[{"name":"A","type":"string","size":5},)"
                                  R"({"name":"F","type":"float"}])";
        QTest::newRow("missing changes") << QByteArray("{" + fields + "}") << "\"changes\"";
        QTest::newRow("unknown op")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"delete","old":["a",1],"set":{}}]})")
            << "Operação desconhecida \"delete\"";
        QTest::newRow("set names unknown field")
            << QByteArray("{" + fields +
                          R"(,"changes":[{"op":"modify","old":["a",1],"set":{"B":"x"}}]})")
            << "Campo desconhecido B na alteração 1";
        QTest::newRow("old of wrong width")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"modify","old":["a"],"set":{}}]})")
            << "tem 1 valores";
        QTest::newRow("set value of wrong type")
            << QByteArray("{" + fields +
                          R"(,"changes":[{"op":"modify","old":["a",1],"set":{"F":"x"}}]})")
            << "campo F";
        QTest::newRow("missing set")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"modify","old":["a",1]}]})")
            << "\"set\"";
        QTest::newRow("changes not a list")
            << QByteArray("{" + fields + R"(,"changes":{}})") << "\"changes\"";
        QTest::newRow("change not an object")
            << QByteArray("{" + fields + R"(,"changes":[[]]})") << "Alteração 1 não é um objeto";
        QTest::newRow("old not a list")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"modify","old":{},"set":{}}]})")
            << "\"old\"";
        QTest::newRow("set not an object")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"modify","old":["a",1],"set":[]}]})")
            << "\"set\"";
        QTest::newRow("old value of wrong type")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"modify","old":[1,1],"set":{}}]})")
            << "campo A, linha 1";
        QTest::newRow("malformed inside a change")
            << QByteArray("{" + fields + R"(,"changes":[{"op":"modify","old":["a",01],"set":{}}]})")
            << "JSON malformado";
    }

    void malformedDelta()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        try {
            Delta::fromJson(json);
            QFAIL("no error");
        } catch (const DataPacketError& error) {
            QVERIFY2(error.text().contains(expected), qPrintable(error.text()));
        }
    }

    void encodingRejectsBadRows()
    {
        DataPacket packet;
        packet.fields = sampleFields();
        packet.rows = {{QStringLiteral("1")}};
        QVERIFY_THROWS_EXCEPTION(DataPacketError, packet.toJson());
        packet.rows = {{QStringLiteral("1"), QVariant(), QVariant(), qQNaN()}};
        QVERIFY_THROWS_EXCEPTION(DataPacketError, packet.toJson());
    }

    void dateText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("plain") << "2026-03-01T10:20:30"
                               << QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30));
        QTest::newRow("with ms") << "2026-03-01T10:20:30.500"
                                 << QDateTime(QDate(2026, 3, 1), QTime(10, 20, 30, 500));
        QTest::newRow("leap day") << "2024-02-29T00:00:00"
                                  << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
        QTest::newRow("no leap day") << "2023-02-29T00:00:00" << QDateTime();
        QTest::newRow("hour 24") << "2023-02-01T24:00:00" << QDateTime();
        QTest::newRow("offset") << "2023-02-01T10:00:00-03:00" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
    }

    void dateText()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const QDateTime value = dateTimeFromText(text);
        QCOMPARE(value.isValid(), expected.isValid());
        if (expected.isValid()) {
            QCOMPARE(value, expected);
            QCOMPARE(dateTimeToText(value), text);
        }
    }
};

QTEST_GUILESS_MAIN(TestDataPacket)
#include "tst_datapacket.moc"
