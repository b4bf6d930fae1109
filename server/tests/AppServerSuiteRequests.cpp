// Requests in every shape a JSON writer may give them, and requests that do not fit.
#include "AppServerSuite.h"

// The request as any JSON writer may put it: the answer is the one of the plain request.
// (How the request is read does not depend on the database: SQLite alone runs it.)
void AppServerSuite::requestShapesData()
{
    QTest::addColumn<QByteArray>("body");
    const QByteArray params =
        QJsonDocument(filterParams(QStringLiteral("01"), QStringLiteral("A_"), {}, {}))
            .toJson(QJsonDocument::Compact);
    QTest::newRow("plain") << R"({"jsonrpc":"2.0","id":7,"method":"GetInvoice","params":)" +
                                  params + '}';
    QTest::newRow("members in another order")
        << R"({"params":)" + params + R"(,"method":"GetInvoice","id":7,"jsonrpc":"2.0"})";
    QTest::newRow("space around everything")
        << "\n{ \"jsonrpc\" : \"2.0\" ,\t\"id\" : 7 , \"method\" : \"GetInvoice\" , "
           "\"params\" : " +
               QJsonDocument(filterParams(QStringLiteral("01"), QStringLiteral("A_"), {}, {}))
                   .toJson(QJsonDocument::Indented) +
               " }\r\n";
    QTest::newRow("escapes in names and texts")
        << R"({"json\u0072pc":"2.0","id":7,"method":"Get\u0049nvoice","\u0070arams":)" +
               QByteArray(params).replace(R"("A_")", R"("A\u005f")") + '}';
    QTest::newRow("repeated members: the last counts")
        << R"({"jsonrpc":"1.0","method":"GetItem","params":[],"id":7,"jsonrpc":"2.0",)"
           R"("method":"GetInvoice","params":)" +
               params + '}';
    QTest::newRow("other members") << R"({"jsonrpc":"2.0","x":{"y":[1,{}]},"id":7,)"
                                      R"("method":"GetInvoice","params":)" +
                                          params + '}';
}

void AppServerSuite::checkRequestShapes() const
{
    QFETCH(QByteArray, body);
    InvoiceService service(db);
    RpcDispatcher dispatcher(service);
    const QByteArray plain =
        dispatcher
            .handle(request(QStringLiteral("GetInvoice"),
                            filterParams(QStringLiteral("01"), QStringLiteral("A_"), {}, {})))
            .body;
    const RpcDispatcher::Answer answer = dispatcher.handle(body);
    QVERIFY2(answer.ok, qPrintable(answer.failure));
    QCOMPARE(answer.body, plain);
}

void AppServerSuite::badRequest_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");
    const QByteArray head = R"({"jsonrpc":"2.0","id":1,)";
    QTest::newRow("malformed JSON") << QByteArray("{\"jsonrpc\":") << -32700 << "JSON";
    QTest::newRow("not an object") << QByteArray("42") << -32600 << "objeto";
    QTest::newRow("batch of 101") << "[" + QByteArray("1,").repeated(100) + "1]" << -32600
                                  << "no máximo 100";
    QTest::newRow("no version") << QByteArray(R"({"id":1,"method":"GetItem","params":[]})")
                                << -32600 << "2.0";
    QTest::newRow("unknown method")
        << head + R"("method":"DropAll","params":[]})" << -32601 << "DropAll";
    QTest::newRow("wrong count")
        << head + R"("method":"GeraNF","params":[{"type":"variant","value":{}}]})" << -32602
        << "espera 2";
    QTest::newRow("wrong type")
        << head + R"("method":"GeraNF","params":[{"type":"variant","value":{}},)"
                  R"({"type":"date","value":"2026-01-01T00:00:00"}]})"
        << -32602 << "Argumento 2";
    QTest::newRow("variant by reference")
        << head + R"("method":"SetInvoice","params":[{"type":"variant","byref":true,)"
                  R"("value":{}}]})"
        << -32602 << "variant";
    QTest::newRow("variant that is no packet")
        << head + R"("method":"SetInvoice","params":[{"type":"variant","value":"x"}]})" << -32602
        << "pacote";
    QTest::newRow("text where a date goes")
        << head + R"("method":"GeraNF","params":[{"type":"variant","value":{}},)"
                  R"({"type":"date","value":null}]})"
        << -32602
        << "Argumento 2 de GeraNF: recebido tipo \"date\"; esperado string por valor (0x48).";
    QTest::newRow("too few arguments")
        << head + R"("method":"GetItem","params":[{"type":"string","value":"01"},)"
                  R"({"type":"string","value":"A_"}]})"
        << -32602 << "GetItem espera 16 argumento(s), recebeu 2.";
    QTest::newRow("params no list") << head + R"("method":"GetItem","params":{"a":1}})" << -32602
                                    << "GetItem: \"params\" deve ser uma lista";
    QTest::newRow("unknown key")
        << head + R"("method":"SetInvoice","params":[{"type":"variant","value":{},"x":1}]})"
        << -32602 << "chave desconhecida \"x\"";
    QTest::newRow("byref no boolean")
        << head + R"("method":"SetInvoice","params":[{"type":"variant","byref":1,)"
                  R"("value":{}}]})"
        << -32602 << "\"byref\" não é booliano";
    QTest::newRow("no value") << head + R"("method":"SetInvoice","params":[{"type":"variant"}]})"
                              << -32602 << "falta \"value\"";
    QTest::newRow("id an object")
        << QByteArray(R"({"jsonrpc":"2.0","id":{},"method":"GetItem","params":[]})") << -32600
        << "\"id\"";
    QTest::newRow("bad date")
        << QJsonDocument(QJsonObject{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                                     {QStringLiteral("id"), 1},
                                     {QStringLiteral("method"), QStringLiteral("GetItem")},
                                     {QStringLiteral("params"), filterParamsWithBadDate()}})
               .toJson()
        << -32602 << "Argumento 9";
}

QJsonArray AppServerSuite::filterParamsWithBadDate()
{
    QJsonArray params = filterParams(QStringLiteral("01"), QStringLiteral("A_"), {}, {});
    params[8] = arg("date", QStringLiteral("31/12/2025"));
    return params;
}

void AppServerSuite::badRequest()
{
    QFETCH(QByteArray, body);
    QFETCH(int, code);
    QFETCH(QString, expected);
    InvoiceService service(db);
    RpcDispatcher dispatcher(service);
    const QStringList before = snapshot();
    const QJsonObject answer = QJsonDocument::fromJson(dispatcher.handle(body).body).object();
    const QJsonObject error = answer.value(QStringLiteral("error")).toObject();
    QCOMPARE(error.value(QStringLiteral("code")).toInt(), code);
    QVERIFY2(error.value(QStringLiteral("message")).toString().contains(expected),
             qPrintable(error.value(QStringLiteral("message")).toString()));
    QCOMPARE(snapshot(), before);
    // The same dispatcher goes on serving.
    QVERIFY(invoices(QStringLiteral("01")).rows.size() > 0);
}
