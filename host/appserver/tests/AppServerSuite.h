#pragma once

// The application server's behaviour, checked against a demo database. The same checks run
// on SQLite (tst_appserver) and on PostgreSQL (tst_appserver_pg); each test file only says
// which database to use.

#include "DataPacket.h"
#include "DemoData.h"
#include "InvoiceLayout.h"
#include "RpcDispatcher.h"
#include "Schema.h"
#include "SortKey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <cmath>
#include <functional>

class AppServerSuite
{
public:
    QSqlDatabase db;

    void fill()
    {
        Schema::create(db);
        DemoData().fill(db);
    }

    // ---- helpers -------------------------------------------------------------------------

    // Every table of the schema, in the order it is created (a table after those it refers to).
    static QStringList tables()
    {
        static const QRegularExpression create(QStringLiteral("^CREATE TABLE (\\w+)"));
        QStringList names;
        for (const QString& sql : Schema::statements()) {
            const QRegularExpressionMatch match = create.match(sql);
            if (match.hasMatch())
                names.append(match.captured(1));
        }
        return names;
    }

    qint64 scalar(const QString& sql) const
    {
        QSqlQuery query(db);
        if (!query.exec(sql) || !query.next())
            qFatal("query failed: %s", qPrintable(sql));
        return query.value(0).toLongLong();
    }

    // Every row of the tables a call may write, as text: equal before and after means
    // nothing was written.
    QStringList snapshot() const
    {
        QStringList rows;
        for (const char* sql : {"SELECT * FROM INVOICE ORDER BY CDEMPRESA, NRINVOICE",
                                "SELECT * FROM NOTAFISCAL ORDER BY CDEMPRESA, CDFILIAL, NRNOTAFISC",
                                "SELECT * FROM NOTAFISCALINVOICE ORDER BY CDEMPRESA, NRINVOICE",
                                "SELECT * FROM SEQNOTAFISC ORDER BY CDEMPRESA, CDFILIAL"}) {
            QSqlQuery query(db);
            query.exec(QString::fromLatin1(sql));
            while (query.next()) {
                QStringList values;
                for (int i = 0; i < query.record().count(); ++i)
                    values.append(query.value(i).isNull() ? QStringLiteral("<null>")
                                                          : query.value(i).toString());
                rows.append(values.join(QLatin1Char('|')));
            }
        }
        return rows;
    }

    static QJsonObject arg(const char* type, const QJsonValue& value, bool byref = false)
    {
        QJsonObject object{{QStringLiteral("type"), QString::fromLatin1(type)},
                           {QStringLiteral("value"), value}};
        if (byref)
            object.insert(QStringLiteral("byref"), true);
        return object;
    }

    // The sixteen arguments on the wire for a company, situation, customer list (null: all
    // customers) and date ranges (issue, due, receipt, exchange: "from|to"; empty: open).
    static QJsonArray filterParams(const QString& company, const QString& situation,
                                   const QString& customers, const QStringList& ranges)
    {
        FilterArgs filter;
        filter.company = company;
        filter.situation = situation;
        filter.allCustomers = customers.isNull() ? QStringLiteral("T") : QString();
        filter.customers = customers.isNull() ? QString() : customers;
        QString* const flags[] = {&filter.allIssue, &filter.allDue, &filter.allReceipt,
                                  &filter.allExchange};
        for (int r = 0; r < 4; ++r) {
            const QString range = ranges.value(r);
            *flags[r] = range.isEmpty() ? QStringLiteral("T") : QString();
            const QStringList bounds = range.split(QLatin1Char('|'));
            for (int b = 0; b < 2; ++b)
                filter.dates[size_t(2 * r + b)] =
                    QDateTime(range.isEmpty() ? QDate(1899, 12, 30)
                                              : QDate::fromString(bounds.value(b), Qt::ISODate),
                              QTime(0, 0));
        }
        return QJsonDocument::fromJson(
                   RemoteMethods::request(7, RemoteMethods::GetInvoice, filter.toArgs()))
            .object()
            .value(QStringLiteral("params"))
            .toArray();
    }

    static QByteArray request(const QString& method, const QJsonArray& params)
    {
        const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                                  {QStringLiteral("id"), 7},
                                  {QStringLiteral("method"), method},
                                  {QStringLiteral("params"), params}};
        return QJsonDocument(request).toJson();
    }

    // One call through a service of its own, or through `service` (which keeps its prepared
    // statements from call to call, as the running server's does).
    QJsonObject call(const QString& method, const QJsonArray& params,
                     InvoiceService::Options options = {}, InvoiceService* service = nullptr) const
    {
        InvoiceService own(db, options);
        RpcDispatcher dispatcher(service ? *service : own);
        return QJsonDocument::fromJson(dispatcher.handle(request(method, params)).body).object();
    }

    DataPacket invoices(const QString& company, const QString& situation = "A_N_E_") const
    {
        const QJsonObject answer =
            call(QStringLiteral("GetInvoice"), filterParams(company, situation, {}, {}));
        return DataPacket::fromJsonObject(answer.value(QStringLiteral("result"))
                                              .toObject()
                                              .value(QStringLiteral("data"))
                                              .toObject());
    }

    static QString message(const QJsonObject& answer)
    {
        const QJsonObject result = answer.value(QStringLiteral("result")).toObject();
        return result.value(QStringLiteral("ok")).toBool()
                   ? QStringLiteral("<ok>")
                   : result.value(QStringLiteral("message")).toString();
    }

    static int at(const char* field)
    {
        for (qsizetype i = 0; i < InvoiceLayout::invoiceFields().size(); ++i) {
            if (InvoiceLayout::invoiceFields().at(i).name == QLatin1String(field))
                return int(i);
        }
        return -1;
    }

    // ---- the filter ----------------------------------------------------------------------

    static void filterData()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("customers");  // null: all customers
        QTest::addColumn<QStringList>("ranges"); // issue, due, receipt, exchange: "from|to"
        QTest::addColumn<QString>("condition");  // the same meaning in plain SQL

        const QString all;
        QTest::newRow("everything") << "01"
                                    << "A_N_E_" << all << QStringList() << "1 = 1";
        QTest::newRow("open") << "01"
                              << "A_" << all << QStringList() << "DTRECINVOICE IS NULL";
        QTest::newRow("paid, no note")
            << "01"
            << "N_" << all << QStringList() << "DTRECINVOICE IS NOT NULL AND IDGERNFINVOI = 'N'";
        QTest::newRow("note issued") << "02"
                                     << "E_" << all << QStringList() << "IDGERNFINVOI = 'S'";
        QTest::newRow("open or paid") << "02"
                                      << "A_N_" << all << QStringList() << "IDGERNFINVOI = 'N'";
        QTest::newRow("open or issued")
            << "03"
            << "A_E_" << all << QStringList() << "(DTRECINVOICE IS NULL OR IDGERNFINVOI = 'S')";
        QTest::newRow("paid") << "03"
                              << "N_E_" << all << QStringList() << "DTRECINVOICE IS NOT NULL";
        QTest::newRow("customer list")
            << "01"
            << "A_N_E_"
            << "EX0001,EX0019" << QStringList() << "CDCLIENTE IN ('EX0001', 'EX0019')";
        QTest::newRow("quoted keys and blanks") << "01"
                                                << "A_N_E_"
                                                << "\"EX0002\", EX0003 ,\"EX0004\"" << QStringList()
                                                << "CDCLIENTE IN ('EX0002', 'EX0003', 'EX0004')";
        QTest::newRow("SQL text in the list")
            << "01"
            << "A_N_E_"
            << "\"EX0001' OR '1'='1\",\"x\"\");DROP TABLE INVOICE;--\"" << QStringList() << "1 = 0";
        QTest::newRow("SQL text in the company") << "01' OR '1'='1"
                                                 << "A_N_E_" << all << QStringList() << "1 = 0";
        QTest::newRow("issue range")
            << "01"
            << "A_N_E_" << all << QStringList{"2025-03-01|2025-03-31"}
            << "DTEMISINVOICE >= '2025-03-01' AND DTEMISINVOICE < '2025-04-01'";
        QTest::newRow("one-day issue range")
            << "02"
            << "A_N_E_" << all << QStringList{"2025-06-25|2025-06-25"}
            << "DTEMISINVOICE >= '2025-06-25' AND DTEMISINVOICE < '2025-06-26'";
        QTest::newRow("due range")
            << "01"
            << "A_N_E_" << all << QStringList{"", "2026-01-01|2026-06-30"}
            << "DTVENINVOICE >= '2026-01-01' AND DTVENINVOICE < '2026-07-01'";
        QTest::newRow("receipt range")
            << "01"
            << "A_N_E_" << all << QStringList{"", "", "2025-05-01|2025-12-31"}
            << "DTRECINVOICE >= '2025-05-01' AND DTRECINVOICE < '2026-01-01'";
        QTest::newRow("exchange range")
            << "03"
            << "A_N_E_" << all << QStringList{"", "", "", "2025-01-01|2025-12-31"}
            << "DTCAMBIOINVOICE >= '2025-01-01' AND DTCAMBIOINVOICE < '2026-01-01'";
        QTest::newRow("combination")
            << "01"
            << "N_"
            << "EX0001,EX0002,EX0003,EX0004,EX0005,BR0035"
            << QStringList{"2025-01-01|2026-06-30", "", "2025-02-01|2026-12-31"}
            << "DTRECINVOICE IS NOT NULL AND IDGERNFINVOI = 'N' AND CDCLIENTE IN ('EX0001', "
               "'EX0002', 'EX0003', 'EX0004', 'EX0005', 'BR0035') AND DTEMISINVOICE >= "
               "'2025-01-01' AND DTEMISINVOICE < '2026-07-01' AND DTRECINVOICE >= '2025-02-01' "
               "AND DTRECINVOICE < '2027-01-01'";
        QTest::newRow("open invoices have no receipt in range")
            << "01"
            << "A_" << all << QStringList{"", "", "2025-01-01|2026-12-31"} << "1 = 0";
    }

    void filter() const
    {
        QFETCH(QString, company);
        QFETCH(QString, situation);
        QFETCH(QString, customers);
        QFETCH(QStringList, ranges);
        QFETCH(QString, condition);

        const QJsonArray params = filterParams(company, situation, customers, ranges);
        const QJsonObject invoiceAnswer = call(QStringLiteral("GetInvoice"), params);
        QCOMPARE(message(invoiceAnswer), QStringLiteral("<ok>"));
        const QJsonObject result = invoiceAnswer.value(QStringLiteral("result")).toObject();
        const DataPacket packet =
            DataPacket::fromJsonObject(result.value(QStringLiteral("data")).toObject());
        QCOMPARE(packet.fields, InvoiceLayout::invoiceFields());

        const QString where =
            QStringLiteral(" WHERE CDEMPRESA = '%1' AND (%2)")
                .arg(company.contains(QLatin1Char('\'')) ? QStringLiteral("?") : company,
                     condition);
        const qint64 expected = scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE") + where);
        QCOMPARE(packet.rows.size(), expected);
        if (condition != QLatin1String("1 = 0"))
            QVERIFY(expected > 0); // the case would prove nothing on an empty result

        // The by-reference arguments come back unchanged.
        const QJsonArray byref = result.value(QStringLiteral("byref")).toArray();
        QCOMPARE(byref.size(), 7);
        QCOMPARE(byref.at(0).toString(), situation);
        QCOMPARE(byref.at(6).toString(), customers.isNull() ? QString() : customers);

        // Stable order and the marks.
        for (qsizetype i = 1; i < packet.rows.size(); ++i) {
            const Row& a = packet.rows.at(i - 1);
            const Row& b = packet.rows.at(i);
            const auto key = [](const Row& r) {
                return std::make_pair(r.at(0).toString(), r.at(1).toString());
            };
            QVERIFY2(key(a) < key(b), qPrintable(b.at(at("NRINVOICE")).toString()));
        }
        for (const Row& row : packet.rows)
            QCOMPARE(row.at(at("IDCHECK")).toString(),
                     row.at(at("IDGERNFINVOI")).toString() == QLatin1String("S")
                         ? QStringLiteral("D")
                         : QStringLiteral("N"));

        // GetItem: the items of exactly those invoices.
        const QJsonObject itemAnswer = call(QStringLiteral("GetItem"), params);
        QCOMPARE(message(itemAnswer), QStringLiteral("<ok>"));
        const DataPacket items = DataPacket::fromJsonObject(
            itemAnswer.value("result").toObject().value(QStringLiteral("data")).toObject());
        QCOMPARE(items.fields, InvoiceLayout::itemFields());
        QSet<QString> numbers;
        for (const Row& row : packet.rows)
            numbers.insert(row.at(at("NRINVOICE")).toString());
        for (const Row& row : items.rows)
            QVERIFY(numbers.contains(row.at(2).toString()));
        const qint64 expectedItems = scalar(
            QStringLiteral("SELECT COUNT(*) FROM INVOICEITEM IT WHERE EXISTS (SELECT 1 FROM "
                           "INVOICE I WHERE I.CDEMPRESA = IT.CDEMPRESA AND I.NRINVOICE = "
                           "IT.NRINVOICE AND I.CDEMPRESA = '%1' AND (%2))")
                .arg(company.contains(QLatin1Char('\'')) ? QStringLiteral("?") : company,
                     QString(condition)
                         .replace(QStringLiteral("DT"), QStringLiteral("I.DT"))
                         .replace(QStringLiteral("IDGERNF"), QStringLiteral("I.IDGERNF"))
                         .replace(QStringLiteral("CDCLIENTE"), QStringLiteral("I.CDCLIENTE"))));
        QCOMPARE(items.rows.size(), expectedItems);
    }

    // ---- SetInvoice ----------------------------------------------------------------------

    // A delta that changes the receipt of one open invoice of company 01.
    Delta receiptDelta(const DataPacket& packet, int row) const
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

    void setInvoiceApplies() const
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
            call(QStringLiteral("SetInvoice"), {arg("variant", delta.toJsonObject())});
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
            call(QStringLiteral("SetInvoice"),
                 {arg("variant", receiptDelta(reloaded, row).toJsonObject())});
        QCOMPARE(message(again), QStringLiteral("<ok>"));
    }

    static void setInvoiceRefusedData()
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

    void setInvoiceRefused()
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
            call(QStringLiteral("SetInvoice"), {arg("variant", delta.toJsonObject())}, options);
        QVERIFY2(message(answer).contains(expected), qPrintable(message(answer)));
        QCOMPARE(snapshot(), before);
    }

    // One service answers call after call with the statements it prepared for the first:
    // a stale original row is still a conflict, a failure halfway still leaves nothing, and
    // other sets of changed fields get their own statements.
    void setInvoiceOnOneConnection()
    {
        InvoiceService service(db);
        const auto send = [&](const Delta& delta, int failAfterWrites = -1) {
            service.setOptions({failAfterWrites});
            return message(call(QStringLiteral("SetInvoice"),
                                {arg("variant", delta.toJsonObject())}, {}, &service));
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

    // ---- GeraNF --------------------------------------------------------------------------

    // Marks the ready invoices (received, exchanged, no note) of the first customers.
    struct Marked
    {
        DataPacket packet;
        QStringList numbers;
        QSet<QString> customers;
    };

    Marked markReady(const QString& company, int wanted) const
    {
        Marked marked{invoices(company, QStringLiteral("N_")), {}, {}};
        for (Row& row : marked.packet.rows) {
            if (marked.numbers.size() < wanted && !row.at(at("DTCAMBIOINVOICE")).isNull()) {
                row[at("IDCHECK")] = QStringLiteral("S");
                marked.numbers.append(row.at(at("NRINVOICE")).toString());
                marked.customers.insert(row.at(at("CDCLIENTE")).toString());
            }
        }
        return marked;
    }

    static void geraNFData()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("mode");
        QTest::newRow("one note per invoice") << "02"
                                              << "Separadas";
        QTest::newRow("one note per customer") << "03"
                                               << "Unificada";
    }

    void geraNF() const
    {
        QFETCH(QString, company);
        QFETCH(QString, mode);
        const Marked marked = markReady(company, 12);
        QCOMPARE(marked.numbers.size(), 12);
        const qint64 notesBefore = scalar(
            QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA = '%1'").arg(company));
        const qint64 lastBefore =
            scalar(QStringLiteral("SELECT SUM(NRULTNOTA) FROM SEQNOTAFISC WHERE CDEMPRESA = '%1'")
                       .arg(company));

        const QJsonArray params{arg("variant", marked.packet.toJsonObject()), arg("string", mode)};
        const QJsonObject answer = call(QStringLiteral("GeraNF"), params);
        QCOMPARE(message(answer), QStringLiteral("<ok>"));
        const QJsonArray notes = answer.value("result")
                                     .toObject()
                                     .value("data")
                                     .toObject()
                                     .value(QStringLiteral("notas"))
                                     .toArray();
        QSet<QString> noteCustomers;
        // Unified: one note per customer (and branch); separate: one per invoice.
        qint64 expectedNotes = 0;
        if (mode == QLatin1String("Separadas")) {
            expectedNotes = marked.numbers.size();
        } else {
            QSet<QString> pairs;
            for (const Row& row : marked.packet.rows) {
                if (row.at(at("IDCHECK")).toString() == QLatin1String("S"))
                    pairs.insert(row.at(at("CDFILIAL")).toString() + QLatin1Char('/') +
                                 row.at(at("CDCLIENTE")).toString());
            }
            expectedNotes = pairs.size();
            QVERIFY(expectedNotes < marked.numbers.size()); // some customer has two
        }
        QCOMPARE(notes.size(), expectedNotes);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA = '%1'")
                            .arg(company)),
                 notesBefore + expectedNotes);
        // Numbers continue each branch's sequence without gaps.
        QCOMPARE(scalar(QStringLiteral("SELECT SUM(NRULTNOTA) FROM SEQNOTAFISC WHERE CDEMPRESA = "
                                       "'%1'")
                            .arg(company)),
                 lastBefore + expectedNotes);

        // Each note's value: the invoices' dollars times rate, rounded to cents per invoice.
        for (const QJsonValue& value : notes) {
            const QJsonObject note = value.toObject();
            qint64 cents = 0;
            for (const QJsonValue& number : note.value(QStringLiteral("invoices")).toArray()) {
                QSqlQuery query(db);
                query.prepare(QStringLiteral("SELECT TOTALINVOICE, VRCAMBIOINVOICE, NRNOTAFISC, "
                                             "IDGERNFINVOI FROM INVOICE WHERE CDEMPRESA = ? AND "
                                             "NRINVOICE = ?"));
                query.addBindValue(company);
                query.addBindValue(number.toString());
                QVERIFY(query.exec() && query.next());
                cents += std::llround(query.value(0).toDouble() * query.value(1).toDouble() * 100);
                QCOMPARE(query.value(2).toString(), note.value("NRNOTAFISC").toString());
                QCOMPARE(query.value(3).toString(), QStringLiteral("S"));
            }
            QCOMPARE(qint64(note.value(QStringLiteral("VRNOTACENTAVOS")).toDouble()), cents);
            QCOMPARE(scalar(QStringLiteral("SELECT VRNOTACENTAVOS FROM NOTAFISCAL WHERE "
                                           "CDEMPRESA = '%1' AND CDFILIAL = '%2' AND NRNOTAFISC "
                                           "= '%3'")
                                .arg(company, note.value("CDFILIAL").toString(),
                                     note.value("NRNOTAFISC").toString())),
                     cents);
        }

        // The next list shows them as "D".
        const DataPacket after = invoices(company);
        int marks = 0;
        for (const Row& row : after.rows) {
            if (marked.numbers.contains(row.at(at("NRINVOICE")).toString())) {
                QCOMPARE(row.at(at("IDCHECK")).toString(), QStringLiteral("D"));
                ++marks;
            }
        }
        QCOMPARE(marks, marked.numbers.size());

        // A retry of the same call issues nothing twice.
        const QStringList before = snapshot();
        const QJsonObject retry = call(QStringLiteral("GeraNF"), params);
        QCOMPARE(message(retry), QStringLiteral("<ok>"));
        QCOMPARE(retry.value("result")
                     .toObject()
                     .value("data")
                     .toObject()
                     .value(QStringLiteral("jaEmitidas"))
                     .toArray()
                     .size(),
                 marked.numbers.size());
        QCOMPARE(snapshot(), before);
    }

    static void geraNFRefusedData()
    {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no receipt date") << "receipt"
                                         << "Data de Recebimento";
        QTest::newRow("no exchange date") << "exchange"
                                          << "Data de Câmbio";
        QTest::newRow("nothing marked") << "none"
                                        << "deve(m) ser informado(s)";
        QTest::newRow("unknown mode") << "mode"
                                      << "Modo de geração inválido";
        QTest::newRow("failure halfway") << "fault"
                                         << "Falha simulada";
        QTest::newRow("packet without a field") << "missing"
                                                << "DTRECINVOICE";
    }

    void geraNFRefused() const
    {
        QFETCH(QString, problem);
        QFETCH(QString, expected);
        Marked marked = markReady(QStringLiteral("01"), 3);
        QString mode = QStringLiteral("Separadas");
        InvoiceService::Options options;
        if (problem == QLatin1String("receipt") || problem == QLatin1String("exchange")) {
            const QString situation =
                problem == QLatin1String("receipt") ? QStringLiteral("A_") : QStringLiteral("N_");
            const DataPacket other = invoices(QStringLiteral("01"), situation);
            for (const Row& row : other.rows) {
                if (row.at(at("DTCAMBIOINVOICE")).isNull()) {
                    Row marking = row;
                    marking[at("IDCHECK")] = QStringLiteral("S");
                    marked.packet.rows.append(marking);
                    break;
                }
            }
        } else if (problem == QLatin1String("none")) {
            for (Row& row : marked.packet.rows)
                row[at("IDCHECK")] = QStringLiteral("N");
        } else if (problem == QLatin1String("mode")) {
            mode = QStringLiteral("unificada");
        } else if (problem == QLatin1String("fault")) {
            options.failAfterWrites = 5;
        } else if (problem == QLatin1String("missing")) {
            marked.packet.fields.removeAt(at("DTRECINVOICE"));
            for (Row& row : marked.packet.rows)
                row.removeAt(at("DTRECINVOICE"));
        }
        const QStringList before = snapshot();
        const QJsonObject answer =
            call(QStringLiteral("GeraNF"),
                 {arg("variant", marked.packet.toJsonObject()), arg("string", mode)}, options);
        QVERIFY2(message(answer).contains(expected), qPrintable(message(answer)));
        QCOMPARE(snapshot(), before);
    }

    // The marks read from a packet's text by the scan, against the same packet read whole:
    // the same invoices, or the same refusal.
    static void markedFromTextData()
    {
        QTest::addColumn<QString>("change");  // what is done to the packet's text
        QTest::addColumn<QString>("refusal"); // part of both messages; empty: accepted
        QTest::newRow("plain") << ""
                               << "";
        QTest::newRow("mark written with an escape") << "escaped mark"
                                                     << "";
        QTest::newRow("marks that are not S") << "other marks"
                                              << "";
        QTest::newRow("keys written with escapes") << "escaped keys"
                                                   << "";
        QTest::newRow("rows before fields") << "rows first"
                                            << "";
        QTest::newRow("repeated rows: the last counts") << "rows twice"
                                                        << "";
        QTest::newRow("space everywhere") << "space"
                                          << "";
        QTest::newRow("marked row without company") << "null company"
                                                    << "";
        QTest::newRow("nothing marked") << "none"
                                        << "deve(m) ser informado(s)";
        QTest::newRow("two companies") << "two companies"
                                       << "empresas";
        QTest::newRow("row too short") << "short row"
                                       << "Linha 2 tem 28 valores";
        QTest::newRow("row no list") << "row object"
                                     << "Linha 2 não é uma lista";
        QTest::newRow("number as key") << "number key"
                                       << "Valor do tipo número";
        QTest::newRow("field missing") << "missing field"
                                       << "DTRECINVOICE";
        QTest::newRow("no rows") << "no rows"
                                 << "sem a lista \"rows\"";
        QTest::newRow("not JSON") << "cut"
                                  << "JSON malformado";
    }

    void markedFromText() const
    {
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        // Four invoices that may get a note, two of them marked.
        DataPacket packet = invoices(QStringLiteral("01"), QStringLiteral("N_"));
        packet.rows.removeIf([](const Row& row) { return row.at(at("DTCAMBIOINVOICE")).isNull(); });
        QVERIFY(packet.rows.size() >= 4);
        packet.rows.resize(4);
        const int mark = at("IDCHECK");
        const int number = at("NRINVOICE");
        const int company = at("CDEMPRESA");
        packet.rows[1][mark] = QStringLiteral("S");
        packet.rows[3][mark] = QStringLiteral("S");
        if (change == QLatin1String("other marks")) {
            packet.rows[0][mark] = QStringLiteral("s");
            packet.rows[2][mark] = QStringLiteral("S ");
            packet.rows[3][mark] = QVariant();
        } else if (change == QLatin1String("none")) {
            packet.rows[1][mark] = packet.rows[3][mark] = QStringLiteral("N");
        } else if (change == QLatin1String("two companies")) {
            packet.rows[3][company] = QStringLiteral("02");
        } else if (change == QLatin1String("null company")) {
            packet.rows[1][company] = QVariant();
        } else if (change == QLatin1String("missing field")) {
            packet.fields.removeAt(at("DTRECINVOICE"));
            for (Row& row : packet.rows)
                row.removeAt(at("DTRECINVOICE"));
        }
        QByteArray text = packet.toJson();
        const QByteArray firstKey = '"' + packet.rows[1][number].toString().toUtf8() + '"';
        const QByteArray rows = text.mid(text.indexOf("\"rows\":"));
        const QByteArray fields = text.left(text.indexOf(",\"rows\":")).mid(1);
        if (change == QLatin1String("escaped mark")) {
            text.replace("\"S\"", "\"\\u0053\"");
        } else if (change == QLatin1String("escaped keys")) {
            QByteArray escaped = "\"";
            for (char c : firstKey.mid(1, firstKey.size() - 2))
                escaped += "\\u00" + QByteArray::number(uchar(c), 16);
            escaped += '"';
            text.replace(firstKey, escaped);
        } else if (change == QLatin1String("rows first")) {
            text = '{' + rows.chopped(1) + ',' + fields + '}';
        } else if (change == QLatin1String("rows twice")) {
            text = "{\"rows\":[[1]]," + text.mid(1);
        } else if (change == QLatin1String("space")) {
            text.replace("],[", "] ,\n\t[").replace("\":", "\" : ").replace("[[", "[ [");
        } else if (change == QLatin1String("short row")) {
            const qsizetype end = text.indexOf("],[", text.indexOf("],[") + 2);
            const qsizetype lastCell = text.lastIndexOf(',', end);
            text.remove(lastCell, end - lastCell);
        } else if (change == QLatin1String("row object")) {
            const qsizetype second = text.indexOf("],[") + 2;
            text = text.left(second) + "{}" + text.mid(text.indexOf("],[", second) + 1);
        } else if (change == QLatin1String("number key")) {
            // NRINVOICE, not ORDENA2 before it, which holds the same number.
            text.replace(text.indexOf(firstKey, text.indexOf(firstKey) + 1), firstKey.size(), "12");
        } else if (change == QLatin1String("no rows")) {
            text = '{' + fields + '}';
        } else if (change == QLatin1String("cut")) {
            text.chop(3);
        }

        const auto outcome = [](const std::function<MarkedInvoices()>& read) {
            try {
                const MarkedInvoices marked = read();
                return std::make_pair(marked, QString());
            } catch (const DataPacketError& failure) {
                return std::make_pair(MarkedInvoices(), failure.text());
            } catch (const ServiceFailure& failure) {
                return std::make_pair(MarkedInvoices(), failure.message());
            }
        };
        const auto whole =
            outcome([&] { return InvoiceService::markedInvoices(DataPacket::fromJson(text)); });
        const auto scanned = outcome([&] { return InvoiceService::markedInvoices(text); });
        QVERIFY2(scanned.second.contains(refusal), qPrintable(scanned.second));
        QVERIFY2(whole.second.contains(refusal), qPrintable(whole.second));
        if (change != QLatin1String("cut"))
            QCOMPARE(scanned.second, whole.second);
        QCOMPARE(scanned.first, whole.first);
        if (refusal.isEmpty())
            QVERIFY(!scanned.first.numbers.empty());

        // Through the wire: the same notes, or the same message, and nothing written then.
        const QStringList before = snapshot();
        const QByteArray body =
            R"({"jsonrpc":"2.0","id":3,"method":"GeraNF","params":[{"type":"variant","value":)" +
            text + R"(},{"type":"string","value":"Separadas"}]})";
        InvoiceService service(db);
        const QJsonObject answer =
            QJsonDocument::fromJson(RpcDispatcher(service).handle(body).body).object();
        if (change == QLatin1String("cut")) {
            QCOMPARE(answer.value("error").toObject().value("code").toInt(), -32700);
            QCOMPARE(snapshot(), before);
            return;
        }
        QVERIFY2(message(answer).contains(refusal), qPrintable(message(answer)));
        if (!refusal.isEmpty()) {
            QCOMPARE(snapshot(), before);
            return;
        }
        QStringList issued;
        for (const QString& invoice : scanned.first.numbers) {
            if (scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = '01' AND "
                                      "NRINVOICE = '%1' AND IDGERNFINVOI = 'S'")
                           .arg(invoice)) == 1)
                issued.append(invoice);
        }
        QCOMPARE(issued.size(), qsizetype(scanned.first.numbers.size()));
    }

    // The request as any JSON writer may put it: the answer is the one of the plain request.
    // (How the request is read does not depend on the database: SQLite alone runs it.)
    static void requestShapesData()
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

    void requestShapes() const
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

    // ---- requests that do not fit --------------------------------------------------------

    static void badRequestData()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");
        const QByteArray head = R"({"jsonrpc":"2.0","id":1,)";
        QTest::newRow("malformed JSON") << QByteArray("{\"jsonrpc\":") << -32700 << "JSON";
        QTest::newRow("not an object") << QByteArray("[1,2]") << -32600 << "objeto";
        QTest::newRow("no version")
            << QByteArray(R"({"id":1,"method":"GetItem","params":[]})") << -32600 << "2.0";
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
            << head + R"("method":"SetInvoice","params":[{"type":"variant","value":"x"}]})"
            << -32602 << "pacote";
        QTest::newRow("text where a date goes")
            << head + R"("method":"GeraNF","params":[{"type":"variant","value":{}},)"
                      R"({"type":"date","value":null}]})"
            << -32602
            << "Argumento 2 de GeraNF: recebido tipo \"date\"; esperado string por valor (0x48).";
        QTest::newRow("too few arguments")
            << head + R"("method":"GetItem","params":[{"type":"string","value":"01"},)"
                      R"({"type":"string","value":"A_"}]})"
            << -32602 << "GetItem espera 16 argumento(s), recebeu 2.";
        QTest::newRow("params no list") << head + R"("method":"GetItem","params":{"a":1}})"
                                        << -32602 << "GetItem: \"params\" deve ser uma lista";
        QTest::newRow("unknown key")
            << head + R"("method":"SetInvoice","params":[{"type":"variant","value":{},"x":1}]})"
            << -32602 << "chave desconhecida \"x\"";
        QTest::newRow("byref no boolean")
            << head + R"("method":"SetInvoice","params":[{"type":"variant","byref":1,)"
                      R"("value":{}}]})"
            << -32602 << "\"byref\" não é booliano";
        QTest::newRow("no value") << head +
                                         R"("method":"SetInvoice","params":[{"type":"variant"}]})"
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

    static QJsonArray filterParamsWithBadDate()
    {
        QJsonArray params = filterParams(QStringLiteral("01"), QStringLiteral("A_"), {}, {});
        params[8] = arg("date", QStringLiteral("31/12/2025"));
        return params;
    }

    void badRequest() const
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

    // ---- the order of the list -----------------------------------------------------------

    // Customers in reading order, accents and case aside, each one's invoices together.
    void listOrder() const
    {
        QStringList names;
        for (const Row& row : invoices(QStringLiteral("01")).rows) {
            if (names.isEmpty() || names.last() != row.at(at("NMFANTCLIE")).toString())
                names.append(row.at(at("NMFANTCLIE")).toString());
        }
        QCOMPARE(QStringList(names).removeDuplicates(), 0);
        QList<qsizetype> positions;
        for (const char* name : {"Açaí Trading", "Auckland Brew", "Café do Cerrado",
                                 "Café Österreich", "Île-de-France Café", "Zürich Handel"})
            positions.append(names.indexOf(QString::fromUtf8(name)));
        QVERIFY2(!positions.contains(-1) && std::is_sorted(positions.cbegin(), positions.cend()),
                 qPrintable(names.join(QStringLiteral(" | "))));
    }

    // A database made before customers had their sort key gets it.
    void upgradeAddsTheSortKey()
    {
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("ALTER TABLE CLIENTE DROP COLUMN NMFANTORDCLIE")));
        Schema::upgrade(db);
        Schema::upgrade(db); // once there, nothing to do
        QVERIFY(query.exec(QStringLiteral("SELECT NMFANTCLIE, NMFANTORDCLIE FROM CLIENTE")));
        int customers = 0;
        for (; query.next(); ++customers)
            QCOMPARE(query.value(1).toString(), SortKey::of(query.value(0).toString()));
        QCOMPARE(customers, 40);
        listOrder();
    }
};
