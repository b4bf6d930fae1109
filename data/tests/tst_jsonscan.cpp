// The JSON scanner: it accepts exactly JSON's grammar (where Qt's reader is more lenient, the
// scanner still refuses), and the members it finds hold the values Qt reads.
#include "JsonScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QtTest>

namespace {

const QByteArray answer =
    R"({"jsonrpc":"2.0","id":7,"result":{"ok":true,"data":{"fields":[{"name":"NRINVOICE",)"
    R"("type":"string","size":10,"fixed":false}],"rows":[["0001"],[null],[)"
    "\"a\\\"b\\\\c\\u00e7\"]]},"
    R"("byref":["A_N_E_","T",""]}})";

// The value of the text, read through JsonReader alone: descends into every object and
// array and takes the leaves from the reader's own text of them.
QJsonValue walk(JsonReader& reader)
{
    switch (reader.peek()) {
    case '{': {
        QJsonObject object;
        reader.enterObject();
        QString name;
        while (reader.nextMember(name))
            object.insert(name, walk(reader));
        return object;
    }
    case '[': {
        QJsonArray array;
        reader.enterArray();
        while (reader.nextElement())
            array.append(walk(reader));
        return array;
    }
    default:
        return JsonScan::parseValue(reader.skip());
    }
}

QJsonValue walkAll(const QByteArray& text)
{
    JsonReader reader(text);
    const QJsonValue value = walk(reader);
    reader.end();
    return value;
}

} // namespace

class TstJsonScan : public QObject
{
    Q_OBJECT

private slots:
    void acceptsExactlyJson_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("json");
        QTest::newRow("answer") << answer << true;
        QTest::newRow("empty object") << QByteArray(" { } ") << true;
        QTest::newRow("white space everywhere")
            << QByteArray("\r\n\t{ \"a\" : [ 1 , -0.5e+3 , true , false , null ] }\n") << true;
        QTest::newRow("escaped name")
            << QByteArray("{\"\\u006fk\":true,\"a\\/b\":\"\\ud83d\\ude00\"}") << true;
        QTest::newRow("numbers") << QByteArray(R"({"a":[0,-0,1.25,1E5,2e-3,123456789012]})")
                                 << true;
        QTest::newRow("long texts")
            << QByteArray("{\"a\":\"" + QByteArray(61, 'x') + "\\\"" + QByteArray(13, 'y') +
                          "\xc3\xa7\",\"b\":\"" + QByteArray(40, '~') + "\"}")
            << true;
        QTest::newRow("control character deep in a long text")
            << QByteArray("{\"a\":\"" + QByteArray(21, 'x') + '\x7f' + QByteArray(10, 'x') +
                          '\x1f' + QByteArray(9, 'x') + "\"}")
            << false;
        QTest::newRow("accented text") << QByteArray("{\"a\":\"a\xc3\xa7\xc3\xa3o \xe2\x82\xac "
                                                     "\xf0\x9f\x98\x80\"}")
                                       << true;
        // Not JSON. Qt's reader would take three of them ("1.", the escape \x, a raw line
        // break inside a text); the scanner keeps to the grammar.
        QTest::newRow("empty text") << QByteArray() << false;
        QTest::newRow("only space") << QByteArray("  ") << false;
        QTest::newRow("array at top") << QByteArray("[1,2]") << false;
        QTest::newRow("string at top") << QByteArray(R"("ok")") << false;
        QTest::newRow("trailing comma") << QByteArray(R"({"a":1,})") << false;
        QTest::newRow("trailing comma in list") << QByteArray(R"({"a":[1,]})") << false;
        QTest::newRow("missing colon") << QByteArray(R"({"a" 1})") << false;
        QTest::newRow("name not a string") << QByteArray(R"({a:1})") << false;
        QTest::newRow("leading zero") << QByteArray(R"({"a":01})") << false;
        QTest::newRow("bare minus") << QByteArray(R"({"a":-})") << false;
        QTest::newRow("dot without digits") << QByteArray(R"({"a":1.})") << false;
        QTest::newRow("exponent without digits") << QByteArray(R"({"a":1e})") << false;
        QTest::newRow("plus sign") << QByteArray(R"({"a":+1})") << false;
        QTest::newRow("misspelt word") << QByteArray(R"({"a":tru})") << false;
        QTest::newRow("word too long") << QByteArray(R"({"a":nulll})") << false;
        QTest::newRow("bad escape") << QByteArray("{\"a\":\"\\x\"}") << false;
        QTest::newRow("short unicode escape") << QByteArray("{\"a\":\"\\u12\"}") << false;
        QTest::newRow("raw control character") << QByteArray("{\"a\":\"x\ny\"}") << false;
        QTest::newRow("UTF-8 cut inside a character") << QByteArray("{\"a\":\"a\xc3\"}") << false;
        QTest::newRow("UTF-8 overlong") << QByteArray("{\"a\":\"\xc0\xaf\"}") << false;
        QTest::newRow("UTF-8 surrogate") << QByteArray("{\"a\":\"\xed\xa0\x80\"}") << false;
        QTest::newRow("escaped lone high surrogate") << QByteArray("{\"a\":\"\\ud800x\"}") << false;
        QTest::newRow("escaped high surrogate at the end")
            << QByteArray("{\"a\":\"\\ud800\"}") << false;
        QTest::newRow("escaped lone low surrogate") << QByteArray("{\"a\":\"\\ude00\"}") << false;
        QTest::newRow("escaped high surrogates in a row")
            << QByteArray("{\"a\":\"\\ud83d\\ud83d\"}") << false;
        QTest::newRow("Latin-1 byte") << QByteArray("{\"a\":\"a\xe7\"}") << false;
        QTest::newRow("unterminated string") << QByteArray("{\"a\":\"abc}") << false;
        QTest::newRow("text after the object") << QByteArray(R"({"a":1} x)") << false;
        QTest::newRow("two objects") << QByteArray(R"({}{})") << false;
        QTest::newRow("unbalanced") << QByteArray(R"({"a":[1})") << false;
    }

    void acceptsExactlyJson()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, json);
        bool accepted = true;
        try {
            const QList<JsonMember> members = JsonScan::objectMembers(text);
            const QJsonObject object = QJsonDocument::fromJson(text).object();
            QCOMPARE(members.size(), object.size());
            for (const JsonMember& member : members)
                QCOMPARE(JsonScan::parseValue(member.value), object.value(member.name));
        } catch (const JsonScanError& error) {
            accepted = false;
            QVERIFY2(error.text().startsWith(QStringLiteral("JSON malformado na posição")),
                     qPrintable(error.text()));
            QVERIFY(error.offset() >= 0 && error.offset() <= text.size());
        }
        QCOMPARE(accepted, json);

        // The reader takes any JSON value at the top, an object or not, and finds the same.
        const QByteArray tag = QTest::currentDataTag();
        const bool anyValue = json || tag == "array at top" || tag == "string at top";
        try {
            const QJsonValue value = walkAll(text);
            QVERIFY(anyValue);
            QCOMPARE(value, QJsonDocument::fromJson("[" + text + "]").array().at(0));
        } catch (const JsonScanError& error) {
            QVERIFY2(!anyValue, qPrintable(error.text()));
            QVERIFY(error.offset() >= 0 && error.offset() <= text.size());
        }
    }

    // An answer cut short anywhere is refused, never read past its end.
    void everyTruncationIsRefused()
    {
        for (qsizetype size = 0; size < answer.size(); ++size) {
            // A copy of exactly `size` bytes, so that a read past the end is a real fault
            // under the address sanitizer, not a read of the rest of the answer.
            const QByteArray cut(answer.constData(), size);
            QVERIFY_THROWS_EXCEPTION(JsonScanError, JsonScan::objectMembers(cut));
            QVERIFY_THROWS_EXCEPTION(JsonScanError, walkAll(cut));
        }
    }

    void deepNestingIsRefusedWithoutExhaustingTheStack()
    {
        const QByteArray deep = "{\"a\":" + QByteArray(100000, '[') + QByteArray(100000, ']') + '}';
        try {
            JsonScan::objectMembers(deep);
            QFAIL("nesting this deep should be refused");
        } catch (const JsonScanError& error) {
            QVERIFY2(error.text().contains(QStringLiteral("profundo")), qPrintable(error.text()));
        }
        QVERIFY_THROWS_EXCEPTION(JsonScanError, walkAll(deep));
    }

    void innerObjectMembersInOnePass_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("inner");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("answer") << answer << QStringList{"ok", "data", "byref"}
                                << answer.mid(answer.indexOf("{\"fields\""),
                                              answer.indexOf(",\"byref\"") -
                                                  answer.indexOf("{\"fields\""));
        QTest::newRow("result is no object")
            << QByteArray(R"({"result":[{"data":1}]})") << QStringList() << QByteArray();
        QTest::newRow("no result")
            << QByteArray(R"({"error":{"data":1}})") << QStringList() << QByteArray();
        QTest::newRow("repeated result: the last counts")
            << QByteArray(R"({"result":{"data":1,"x":2},"result":{"data":[3]}})")
            << QStringList{"data"} << QByteArray("[3]");
        QTest::newRow("data with space around it")
            << QByteArray("{\"result\":{\"data\" :\n {\"rows\":[]} \t}}") << QStringList{"data"}
            << QByteArray(R"({"rows":[]})");
    }

    void innerObjectMembersInOnePass()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, inner);
        QFETCH(QByteArray, data);
        QList<JsonMember> innerMembers{{QStringLiteral("stale"), {}}};
        JsonScan::objectMembers(text, QLatin1StringView("result"), innerMembers);
        QStringList names;
        for (const JsonMember& member : innerMembers)
            names.append(member.name);
        QCOMPARE(names, inner);
        const JsonMember* found = JsonScan::find(innerMembers, QLatin1StringView("data"));
        QCOMPARE(found ? found->value.toByteArray() : QByteArray(), data);
    }
};

QTEST_GUILESS_MAIN(TstJsonScan)
#include "tst_jsonscan.moc"
