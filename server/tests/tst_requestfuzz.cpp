// Requests however formed, against the dispatcher on a demo database: every one is answered
// with a well-formed JSON-RPC 2.0 answer (a notification with none), and one that is refused
// writes nothing. A call that never returns is ended by Qt Test's watchdog.
#include "AppServerFixture.h"
#include "ServerDatabase.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

class TstRequestFuzz : public QObject, public AppServerFixture
{
    Q_OBJECT

    // What a corpus request gets when it is no JSON-RPC error code.
    enum Outcome { Refused = 0, DeliveredNothing = 1, Unanswered = 2 };

    QTemporaryDir dir;
    QSqlDatabase watch; // a second connection: sees what the service's connection commits

    // Changes whenever another connection commits (not when it rolls back).
    qint64 dataVersion() const
    {
        QSqlQuery query(watch);
        return query.exec("PRAGMA data_version") && query.next() ? query.value(0).toLongLong() : -1;
    }

    // Empty when `answer` is one well-formed answer; otherwise what is wrong with it.
    static QString malformed(const QJsonObject& answer)
    {
        const bool isError = answer.contains("error");
        const QJsonObject inner = answer.value(isError ? "error" : "result").toObject();
        const QJsonValue code = inner.value("code"), ok = inner.value("ok");
        if (answer.value("jsonrpc") != QJsonValue("2.0") || !answer.contains("id") ||
            answer.size() != 3 || inner.isEmpty())
            return "no jsonrpc 2.0 object with an id and exactly one of result or error";
        if (isError && code.toInt() == RpcDispatcher::InternalError)
            return "escaped the call's own handling";
        if (isError && (!code.isDouble() || code.toDouble() != code.toInt() ||
                        inner.value("message").toString().isEmpty()))
            return "error without an integer code and a message";
        if (!isError &&
            (!ok.isBool() || (ok.toBool() ? !inner.value("byref").isArray()
                                          : inner.value("message").toString().isEmpty())))
            return "result without ok and byref, or a failure without a message";
        return {};
    }

    // The same for the answer to a request, a batch or a notification.
    static QString malformed(const QByteArray& request, const RpcDispatcher::Answer& answer)
    {
        if (answer.body.isEmpty())
            return answer.silent && !request.contains("\"id\"") ? "" : "a call went unanswered";
        const QJsonDocument document = QJsonDocument::fromJson(answer.body);
        if (document.isObject()) {
            const QString wrong = malformed(document.object());
            const bool ok = document.object().value("result").toObject().value("ok").toBool();
            return wrong.isEmpty() && ok != answer.ok ? "counted other than answered" : wrong;
        }
        if (document.array().isEmpty())
            return "no JSON object, nor a batch of them";
        for (const QJsonValue& one : document.array()) {
            if (const QString wrong = malformed(one.toObject()); !wrong.isEmpty())
                return wrong;
        }
        return {};
    }

    // The bytes as a C string literal, ready to go into the corpus.
    static QByteArray literal(const QByteArray& body)
    {
        QByteArray out("\"");
        for (const char c : body) {
            if (c == '\\' || c == '"')
                out.append('\\').append(c);
            else if (c >= 0x20 && c < 0x7f)
                out.append(c);
            else
                out.append('\\').append(QByteArray::number(uchar(c), 8).rightJustified(3, '0'));
        }
        return out.append('"');
    }

    static QByteArray compact(const QJsonArray& array)
    {
        return QJsonDocument(array).toJson(QJsonDocument::Compact);
    }

    // moc loses its way in raw strings holding an odd number of quotes: the bodies with such
    // strings follow the class.
    static QByteArray call(const char* method, const QByteArray& params);
    // GeraNF with an invoice packet whose rows are `rows`.
    static QByteArray geraNF(const QByteArray& rows, const char* mode = "Separadas");

    RpcDispatcher::Answer send(const QByteArray& body) const
    {
        InvoiceService service(db);
        return RpcDispatcher(service).handle(body);
    }

    // One to three of: a bit flipped, JSON punctuation inserted, the end cut off, a slice
    // repeated elsewhere, a number beyond a double's range.
    static QByteArray mutant(QByteArray body, QRandomGenerator& random)
    {
        static const QByteArray punctuation = "{}[]:,\"\\-.0e \t";
        static const QRegularExpression number(
            QStringLiteral("[:,\\[]\\s*(-?\\d[\\d.eE+-]*)\\s*[,\\]}]"));
        for (int step = 1 + random.bounded(3); step > 0 && !body.isEmpty(); --step) {
            const int at = random.bounded(int(body.size())), kind = random.bounded(11);
            if (kind < 3) {
                body[at] = char(body.at(at) ^ (1 << random.bounded(8)));
            } else if (kind < 6) {
                body.insert(at, punctuation.at(random.bounded(int(punctuation.size()))));
            } else if (kind < 7) {
                body.truncate(at);
            } else if (kind < 9) {
                body.insert(random.bounded(int(body.size()) + 1),
                            body.mid(at, 1 + random.bounded(qMin(200, int(body.size()) - at))));
            } else {
                QList<QRegularExpressionMatch> numbers;
                for (auto it = number.globalMatch(QString::fromLatin1(body)); it.hasNext();)
                    numbers.append(it.next());
                if (!numbers.isEmpty()) {
                    const auto& chosen = numbers.at(random.bounded(int(numbers.size())));
                    body.replace(chosen.capturedStart(1), chosen.capturedLength(1), "1e309");
                }
            }
        }
        return body;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        ServerDatabase settings;
        settings.name = dir.filePath(QStringLiteral("demo.db"));
        db = settings.open(QStringLiteral("fuzz"), false);
        fill();
        // A throwaway database: the mutants' commits need not wait for the disk.
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = OFF")));
        watch = settings.open(QStringLiteral("watch"), true);
    }

    void hostile_data();

    void hostile()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, outcome);
        const qint64 version = dataVersion();
        const RpcDispatcher::Answer answer = send(body);
        const QString wrong = malformed(body, answer);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        const QJsonDocument document = QJsonDocument::fromJson(answer.body);
        const QJsonObject first =
            document.isArray() ? document.array().first().toObject() : document.object();
        QCOMPARE(answer.silent, outcome == Unanswered);
        if (outcome < 0)
            QCOMPARE(first.value("error").toObject().value("code").toInt(), outcome);
        else if (outcome != Unanswered)
            QCOMPARE(answer.ok, outcome == DeliveredNothing);
        if (outcome == DeliveredNothing)
            QCOMPARE(answer.rows, 0);
        QCOMPARE(dataVersion(), version);
    }

    // Served requests, each the seed of its mutants: a listing of company 01, a change to an
    // open invoice's payment order (to what it is, so that it can be made again and again) and
    // the notes of the ready invoices among a listing's first rows.
    void mutants_data()
    {
        QTest::addColumn<QByteArray>("seed");
        QTest::addColumn<bool>("writes");
        QTest::newRow("GetInvoice")
            << call("GetInvoice", compact(filterParams("01", "A_N_E_", {}, {}))) << false;
        const Row open = invoices(QStringLiteral("01"), QStringLiteral("A_")).rows.at(0);
        Delta delta{InvoiceLayout::invoiceFields(), {{QStringLiteral("modify"), open, {}}}};
        for (const char* field : {"DSREFPGTOINVOI", "VRORDPGTOINVOI", "DSOBSPGTOINVOI"})
            delta.changes[0].set.append({QString::fromLatin1(field), open.at(at(field))});
        QTest::newRow("SetInvoice")
            << call("SetInvoice", compact({arg("variant", asObject(delta))})) << false;
        DataPacket ready = invoices(QStringLiteral("01"), QStringLiteral("N_"));
        ready.rows = ready.rows.mid(0, 6);
        for (Row& row : ready.rows) {
            if (!row.at(at("DTCAMBIOINVOICE")).isNull())
                row[at("IDCHECK")] = QStringLiteral("S");
        }
        QTest::newRow("GeraNF") << call("GeraNF", compact({arg("variant", asObject(ready)),
                                                           arg("string", "Separadas")}))
                                << true;
    }

    void mutants()
    {
        QFETCH(QByteArray, seed);
        QFETCH(bool, writes);
        const qint64 version = dataVersion();
        QVERIFY2(send(seed).ok, "the seed is refused: its mutants would not get far");
        if (writes)
            QVERIFY2(dataVersion() != version, "the watch connection does not see commits");

        QRandomGenerator random(0x5eed + quint32(seed.size()));
        for (int n = 0; n < 6000; ++n) {
            const QByteArray body = mutant(seed, random);
            const qint64 before = dataVersion();
            const RpcDispatcher::Answer answer = send(body);
            QString wrong = malformed(body, answer);
            // (A batch is refused as a whole when one of its requests is.)
            if (wrong.isEmpty() && !answer.ok && !answer.body.startsWith('[') &&
                dataVersion() != before)
                wrong = QStringLiteral("refused, yet something was written");
            if (!wrong.isEmpty()) {
                qWarning().noquote() << "mutant" << n << literal(body);
                QFAIL(qPrintable(wrong));
            }
        }
    }
};

QByteArray TstRequestFuzz::call(const char* method, const QByteArray& params)
{
    return R"({"jsonrpc":"2.0","id":1,"method":")" + QByteArray(method) + R"(","params":)" +
           params + '}';
}

QByteArray TstRequestFuzz::geraNF(const QByteArray& rows, const char* mode)
{
    const QByteArray empty = DataPacket{InvoiceLayout::invoiceFields(), {}}.toJson();
    return call("GeraNF",
                R"([{"type":"variant","value":)" +
                    QByteArray(empty).replace(R"("rows":[])", QByteArray("\"rows\":" + rows)) +
                    R"(},{"type":"string","value":")" + mode + "\"}]");
}

void TstRequestFuzz::hostile_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("outcome"); // a JSON-RPC error code (of the first answer), or Outcome
    const auto row = [](const char* name, const QByteArray& body, int outcome) {
        QTest::newRow(name) << body << outcome;
    };
    const QByteArray head = R"({"jsonrpc":"2.0","id":1,)";
    const QByteArray getItem = R"("method":"GetItem","params":[]})";
    const QByteArray variant = R"({"type":"variant",)";
    const QByteArray filter = compact(filterParams("01", "A_N_E_", {}, {}));
    for (const char* id : {"1e309", "-1e309", "1e-400", "{\"a\":1}", "[1]", "true"})
        QTest::addRow("id %s", id)
            << R"({"jsonrpc":"2.0","id":)" + QByteArray(id) + ',' + getItem << -32600;
    row("id of 310 digits", R"({"jsonrpc":"2.0","id":1)" + QByteArray(309, '0') + ',' + getItem,
        -32600);
    row("method with a line break", head + R"("method":"Get\nItem","params":[]})", -32601);
    row("raw line break in a text", head + "\"method\":\"Get\nItem\",\"params\":[]}", -32700);
    row("method no text", head + R"("method":["GetItem"],"params":[]})", -32600);
    row("no jsonrpc", R"({"id":1,)" + getItem, -32600);
    row("jsonrpc a number", R"({"jsonrpc":2.0,"id":1,)" + getItem, -32600);
    row("notification", R"({"jsonrpc":"2.0","method":"SetInvoice","params":[{}]})", Unanswered);
    row("params no list", head + R"("method":"GetItem","params":"01"})", -32602);
    row("too many params",
        call("GetInvoice", filter.chopped(1) + R"(,{"type":"string","value":""}])"), -32602);
    row("too few params", call("GetInvoice", filter.first(filter.lastIndexOf(",{")) + ']'), -32602);
    row("wrong type", call("SetInvoice", R"([{"type":"date","value":{}}])"), -32602);
    row("byref a text", call("SetInvoice", "[" + variant + R"("byref":"false","value":{}}])"),
        -32602);
    row("unknown key", call("SetInvoice", "[" + variant + R"("value":{},"Value":{}}])"), -32602);
    row("no value", call("SetInvoice", R"([{"type":"variant"}])"), -32602);
    row("variant a list", call("SetInvoice", "[" + variant + R"("value":[{}]}])"), -32602);
    row("packet malformed",
        call("GeraNF", "[" + variant + R"("value":{"fields":7}},)" +
                           R"({"type":"string","value":"Separadas"}])"),
        Refused);
    row("row too short", geraNF(R"([["01"]])"), Refused);
    row("row too long", geraNF("[[" + QByteArray("null,").repeated(29) + "null]]"), Refused);
    row("rows nested deep",
        geraNF("[[" + QByteArray(500, '[') + QByteArray(500, ']') +
               QByteArray(",null").repeated(28) + "]]"),
        Refused);
    row("rows no lists", geraNF(R"([7,"S",{}])"), Refused);
    row("date not ISO",
        call("GetInvoice", QByteArray(filter).replace("1899-12-30T00:00:00", "30/12/1899")),
        -32602);
    row("100000 [", QByteArray(100000, '['), -32700);
    row("deep value in a member",
        head + R"("x":)" + QByteArray(600, '[') + QByteArray(600, ']') + ',' + getItem, -32700);
    row("long text",
        call("GetInvoice", QByteArray(filter).replace(
                               R"("01")", QByteArray('"' + QByteArray(1 << 22, 'x') + '"'))),
        DeliveredNothing);
    row("invalid UTF-8",
        call("GetInvoice", QByteArray(filter).replace(R"("01")", "\"0\xff\xc0\x80\"")), -32700);
    row("lone surrogate", head + R"("method":"Get\ud800Item","params":[]})", -32700);
    static const char nul[] = "\"method\":\"Get\0Item\",\"params\":[]}";
    row("NUL in a text", head + QByteArray(nul, sizeof nul - 1), -32700);
    row("NUL after the object", head + getItem + QByteArray(1, '\0'), -32700);
    row("empty", QByteArray(), -32700);
    row("white space", " \r\n\t ", -32700);
    row("truncated", call("GetInvoice", filter).chopped(9), -32700);
    row("batch", "[" + head + getItem + ",42]", -32602);
    row("empty batch", "[]", -32600);
    row("bare number", "42", -32600);
    row("duplicate members", call("GetInvoice", filter).chopped(1) + R"(,"params":[]})", -32602);
    row("SQL in the texts",
        call("GetInvoice", compact(filterParams("01' OR '1'='1", "A_N_E_",
                                                "x') OR 1=1;DROP TABLE INVOICE;--,'", {}))),
        DeliveredNothing);
    const Delta nullOld{
        InvoiceLayout::invoiceFields(),
        {{"modify", Row(InvoiceLayout::invoiceFields().size()), {{"DSREFPGTOINVOI", "x"}}}}};
    row("old row all null", call("SetInvoice", compact({arg("variant", asObject(nullOld))})),
        Refused);
    row("unknown mode", geraNF("[]", "Todas"), Refused);
}

QTEST_GUILESS_MAIN(TstRequestFuzz)
#include "tst_requestfuzz.moc"
