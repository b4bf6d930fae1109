// SetInvoice: a delta stored whole or not at all.
#include "AppServerSuite.h"

// A delta that changes the receipt of one open invoice of company 01.
Delta AppServerSuite::receiptDelta(const DataPacket& packet, int row) const
{
    Delta delta;
    delta.fields = packet.fields;
    DeltaChange change;
    change.old = packet.rows.at(row);
    change.set = {{QStringLiteral("DTRECINVOICE"), QDateTime(QDate(2026, 2, 3), QTime())},
                  {QStringLiteral("VRORDPGTOINVOI"), 1234.56},
                  {QStringLiteral("DSREFPGTOINVOI"), QStringLiteral("OP 'ção' \"x\"")},
                  {QStringLiteral("DSOBSPGTOINVOI"), QStringLiteral("Linha 1\nLinha 2 ação")},
                  {QStringLiteral("IDCHECK"), QStringLiteral("S")}};
    delta.changes.append(change);
    return delta;
}

void AppServerSuite::setInvoiceApplies()
{
    const DataPacket open = invoices(QStringLiteral("01"), QStringLiteral("A_"));
    QVERIFY(open.rows.size() > 2);
    Delta delta = receiptDelta(open, 0);
    DeltaChange second = delta.changes.first();
    second.old = open.rows.at(1);
    second.set = {{QStringLiteral("VRCAMBIOINVOICE"), 5.125},
                  {QStringLiteral("DTCAMBIOINVOICE"), QVariant()}};
    delta.changes.append(second);
    const QJsonObject answer =
        call(QStringLiteral("SetInvoice"), {arg("variant", asObject(delta))});
    QCOMPARE(message(answer), QStringLiteral("<ok>"));

    const QString first = open.rows.at(0).at(at("NRINVOICE")).toString();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT DTRECINVOICE, VRORDPGTOINVOI, DSREFPGTOINVOI, "
                                 "DSOBSPGTOINVOI FROM INVOICE WHERE CDEMPRESA = '01' AND "
                                 "NRINVOICE = ?"));
    query.addBindValue(first);
    QVERIFY(query.exec() && query.next());
    QCOMPARE(query.value(0).toString(), QStringLiteral("2026-02-03T00:00:00"));
    QCOMPARE(query.value(1).toDouble(), 1234.56);
    QCOMPARE(query.value(2).toString(), QStringLiteral("OP 'ção' \"x\""));
    QCOMPARE(query.value(3).toString(), QStringLiteral("Linha 1\nLinha 2 ação"));
    const QString other = open.rows.at(1).at(at("NRINVOICE")).toString();
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = '01' AND "
                                   "NRINVOICE = '%1' AND VRCAMBIOINVOICE = 5.125")
                        .arg(other)),
             1);
    // The invoice comes back as changed, and the change can be changed again from there.
    const DataPacket reloaded = invoices(QStringLiteral("01"), QStringLiteral("N_"));
    int row = -1;
    for (qsizetype i = 0; i < reloaded.rows.size(); ++i) {
        if (reloaded.rows.at(i).at(at("NRINVOICE")).toString() == first)
            row = int(i);
    }
    QVERIFY(row >= 0);
    const QJsonObject again =
        call(QStringLiteral("SetInvoice"), {arg("variant", asObject(receiptDelta(reloaded, row)))});
    QCOMPARE(message(again), QStringLiteral("<ok>"));
}

void AppServerSuite::setInvoiceRefused_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("expected"); // part of the message
    QTest::newRow("field the screen may not change") << "total"
                                                     << "TOTALINVOICE";
    QTest::newRow("invoice with its note") << "issued"
                                           << "Nota Fiscal emitida";
    QTest::newRow("two companies") << "companies"
                                   << "empresas";
    QTest::newRow("invoice of another company") << "foreign"
                                                << "não existe na empresa";
    QTest::newRow("changed by another user") << "conflict"
                                             << "outro usuário";
    QTest::newRow("field missing from the delta") << "missing"
                                                  << "falta o campo";
    QTest::newRow("extra field") << "extra"
                                 << "campo a mais";
    QTest::newRow("mistyped field") << "mistyped"
                                    << "TOTALINVOICE";
    QTest::newRow("text too long") << "long"
                                   << "2000";
    QTest::newRow("failure halfway") << "fault"
                                     << "Falha simulada";
}

void AppServerSuite::setInvoiceRefused()
{
    QFETCH(QString, problem);
    QFETCH(QString, expected);
    const DataPacket open = invoices(QStringLiteral("01"), QStringLiteral("A_"));
    Delta delta = receiptDelta(open, 2);
    DeltaChange second = receiptDelta(open, 3).changes.first();
    delta.changes.append(second);
    InvoiceService::Options options;
    if (problem == QLatin1String("total")) {
        delta.changes[1].set.append({QStringLiteral("TOTALINVOICE"), 1.0});
    } else if (problem == QLatin1String("issued")) {
        const DataPacket issued = invoices(QStringLiteral("01"), QStringLiteral("E_"));
        delta.changes[1].old = issued.rows.at(0);
    } else if (problem == QLatin1String("companies")) {
        delta.changes[1].old = invoices(QStringLiteral("02"), QStringLiteral("A_")).rows.at(0);
    } else if (problem == QLatin1String("foreign")) {
        delta.changes[1].old[at("NRINVOICE")] = QStringLiteral("9999999");
    } else if (problem == QLatin1String("conflict")) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("UPDATE INVOICE SET DSREFPGTOINVOI = 'outro' WHERE "
                                     "CDEMPRESA = '01' AND NRINVOICE = ?"));
        query.addBindValue(open.rows.at(3).at(at("NRINVOICE")));
        QVERIFY(query.exec());
    } else if (problem == QLatin1String("missing")) {
        delta.fields.removeLast();
        for (DeltaChange& change : delta.changes)
            change.old.removeLast();
    } else if (problem == QLatin1String("extra")) {
        delta.fields.append(FieldDef{QStringLiteral("EXTRA"), FieldType::String, 5, false});
        for (DeltaChange& change : delta.changes)
            change.old.append(QVariant());
    } else if (problem == QLatin1String("mistyped")) {
        delta.fields[at("TOTALINVOICE")].type = FieldType::String;
        for (DeltaChange& change : delta.changes)
            change.old[at("TOTALINVOICE")] = QStringLiteral("1");
    } else if (problem == QLatin1String("long")) {
        delta.changes[1].set.append(
            {QStringLiteral("DSOBSPGTOINVOI"), QString(2001, QLatin1Char('x'))});
    } else if (problem == QLatin1String("fault")) {
        options.failAfterWrites = 2;
    }
    const QStringList before = snapshot();
    const QJsonObject answer =
        call(QStringLiteral("SetInvoice"), {arg("variant", asObject(delta))}, options);
    QVERIFY2(message(answer).contains(expected), qPrintable(message(answer)));
    QCOMPARE(snapshot(), before);
}

// One service answers call after call with the statements it prepared for the first:
// a stale original row is still a conflict, a failure halfway still leaves nothing, and
// other sets of changed fields get their own statements.
void AppServerSuite::setInvoiceOnOneConnection()
{
    InvoiceService service(db);
    const auto send = [&](const Delta& delta, int failAfterWrites = -1) {
        service.setOptions({failAfterWrites, {}});
        return message(
            call(QStringLiteral("SetInvoice"), {arg("variant", asObject(delta))}, {}, &service));
    };
    const DataPacket open = invoices(QStringLiteral("01"), QStringLiteral("A_"));
    const Delta first = receiptDelta(open, 0);
    QCOMPARE(send(first), QStringLiteral("<ok>"));

    Delta stale = receiptDelta(open, 0); // the same shape, from the row before the change
    stale.changes[0].set[0].second = QDateTime(QDate(2026, 2, 4), QTime());
    QStringList before = snapshot();
    QVERIFY2(send(stale).contains(QStringLiteral("outro usuário")), qPrintable(send(stale)));
    QCOMPARE(snapshot(), before);

    Delta two = receiptDelta(open, 1);
    two.changes.append(receiptDelta(open, 2).changes.first());
    QVERIFY2(send(two, 2).contains(QStringLiteral("Falha simulada")), "no failure");
    QCOMPARE(snapshot(), before);
    QCOMPARE(send(two), QStringLiteral("<ok>"));

    Delta other = receiptDelta(open, 3);
    other.changes[0].set = {{QStringLiteral("VRTXCAMBIOINVOI"), 5.25},
                            {QStringLiteral("IDCHECK"), QStringLiteral("S")}};
    QCOMPARE(send(other), QStringLiteral("<ok>"));
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = '01' AND "
                                   "NRINVOICE = '%1' AND VRTXCAMBIOINVOI = 5.25")
                        .arg(open.rows.at(3).at(at("NRINVOICE")).toString())),
             1);
}
