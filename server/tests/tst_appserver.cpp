// The application server's methods on a SQLite demo database.
#include "AppServerSuite.h"

#include "InvoiceLayout.h"
#include "InvoiceService.h"
#include "ServerDatabase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QTemporaryDir>

class TstAppServer : public AppServerSuite
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString demoFile() const { return dir.filePath(QStringLiteral("demo-template.db")); }

    static QSqlDatabase open(const QString& file, const QString& connection)
    {
        ServerDatabase settings;
        settings.name = file;
        return settings.open(connection, false);
    }

    static void close(AppServerFixture& target, const QString& connection)
    {
        target.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }

    // Every test function starts from a copy of the demo database made once.
    void reset()
    {
        close(*this, QStringLiteral("suite"));
        const QString file = dir.filePath(QStringLiteral("demo.db"));
        QFile::remove(file);
        QVERIFY(QFile::copy(demoFile(), file));
        db = open(file, QStringLiteral("suite"));
    }

    static FilterArgs everything(const QString& company, const QString& situation)
    {
        FilterArgs query = FilterArgs::everything(company);
        query.situation = situation;
        return query;
    }

    // The listing of `query` read through SQLite's interface and through Qt SQL.
    std::pair<QByteArray, QByteArray> bothReadings(bool items, const FilterArgs& query) const
    {
        InvoiceService service(db);
        if (!service.readsThroughSqlite())
            return {};
        const auto read = [&] {
            return items ? service.getItemJson(query) : service.getInvoiceJson(query);
        };
        const QByteArray direct = read();
        service.setRowReader(InvoiceService::RowReader::QtSql);
        return {direct, read()};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        AppServerFixture maker;
        maker.db = open(demoFile(), QStringLiteral("maker"));
        maker.fill();
        close(maker, QStringLiteral("maker"));
    }
    void init() { reset(); }
    void cleanupTestCase() { close(*this, QStringLiteral("suite")); }

    // SQLite alone: how a request is read does not depend on the database.
    void requestShapes_data() { requestShapesData(); }
    void requestShapes() { checkRequestShapes(); }

    void sqliteReadingEqualsQtSql_data()
    {
        QTest::addColumn<bool>("items");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("situation");
        for (const char* company : {"01", "02", "03", "99"}) {
            for (const char* situation : {"A_N_E_", "A_", "N_", "E_"}) {
                for (const bool items : {false, true})
                    QTest::addRow("%s %s %s", items ? "GetItem" : "GetInvoice", company, situation)
                        << items << QString::fromLatin1(company) << QString::fromLatin1(situation);
            }
        }
    }

    void sqliteReadingEqualsQtSql()
    {
        QFETCH(bool, items);
        QFETCH(QString, company);
        QFETCH(QString, situation);
        const auto [direct, qt] = bothReadings(items, everything(company, situation));
        QVERIFY2(direct.startsWith("{\"fields\":"), "not read through SQLite");
        QCOMPARE(direct, qt);
    }

    // A stored value (an SQL expression) read into the answer: `expected` is the cell's JSON,
    // or empty where only the agreement of both readings is asked (stored values that no
    // field type describes, whose reading is what Qt SQL makes of them).
    void awkwardStoredValues_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QByteArray>("expected");
        const QString invoice = QStringLiteral("INVOICE");
        const QString item = QStringLiteral("INVOICEITEM");
        const auto row = [](const char* name, const QString& table, const char* column,
                            const char* stored, const char* expected) {
            QTest::newRow(name) << table << QString::fromLatin1(column) << QString::fromUtf8(stored)
                                << QByteArray(expected);
        };
        row("null text", invoice, "DSOBSPGTOINVOI", "NULL", "null");
        row("empty text", invoice, "DSOBSPGTOINVOI", "''", "\"\"");
        row("quotes and backslashes", invoice, "DSOBSPGTOINVOI", "'a \"b\" \\c\\\\ ''d'''",
            "\"a \\\"b\\\" \\\\c\\\\\\\\ 'd'\"");
        row("controls", invoice, "DSOBSPGTOINVOI", "'l1' || char(10) || 'l2' || char(9, 13, 1, 31)",
            "\"l1\\nl2\\t\\r\\u0001\\u001f\"");
        row("non-ASCII", invoice, "DSOBSPGTOINVOI", "'Ação ü € 日本 😀'", "\"Ação ü € 日本 😀\"");
        row("non-ASCII with escapes", item, "DSEMISSINVOI", "'São \"Paulo\"' || char(10) || '✓'",
            "\"São \\\"Paulo\\\"\\n✓\"");
        row("cut UTF-8", invoice, "DSREFPGTOINVOI", "CAST(X'41C3' AS TEXT)", "");
        row("Latin-1 byte", item, "DSEMISSINVOI", "CAST(X'4AE94B' AS TEXT)", "");
        row("noncharacter", invoice, "DSREFPGTOINVOI", "CAST(X'41EFBFBF42' AS TEXT)", "");
        row("encoded surrogate", invoice, "DSREFPGTOINVOI", "CAST(X'EDA080' AS TEXT)", "");
        row("blob in a text", invoice, "DSREFPGTOINVOI", "X'414243'", "");
        row("big number", invoice, "TOTALINVOICE", "1.5e300", "1.5e+300");
        row("negative number", invoice, "VRCAMBIOINVOICE", "-123456789.125", "-123456789.125");
        row("tenth", item, "VRTOTITEINVOI", "0.1", "0.1");
        row("whole number", item, "VRUNITEINVOI", "-42", "-42");
        row("beyond 2^53", item, "VRUNITEDESC", "9007199254740993", "9007199254740992");
        row("null number", invoice, "VRTXCAMBIOINVOI", "NULL", "null");
        row("text in a number", invoice, "VRORDPGTOINVOI", "'abc'", "");
        row("date", invoice, "DTRECINVOICE", "'2024-02-29T23:59:59'", "\"2024-02-29T23:59:59\"");
        row("damaged date", invoice, "DTRECINVOICE", "'2024-02-30T10:00:00'", "null");
        row("date with a space", invoice, "DTCAMBIOINVOICE", "'2024-01-01 10:00:00'", "null");
        row("date and more", invoice, "DTEMISINVOICE", "'2024-01-01T10:00:00.5'", "null");
        row("hour 24", invoice, "DTVENINVOICE", "'2024-01-01T24:00:00'", "null");
        row("number in a date", invoice, "DTAPURFATFAS", "20240101", "null");
        row("null date", invoice, "DTMESAPURADO", "NULL", "null");
    }

    void awkwardStoredValues()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, stored);
        QFETCH(QByteArray, expected);
        const bool items = table == QLatin1String("INVOICEITEM");
        const QString number = QString::number(scalar(QStringLiteral(
            "SELECT MIN(CAST(NRINVOICE AS INTEGER)) FROM INVOICE WHERE CDEMPRESA = '01'")));
        QSqlQuery update(db);
        QVERIFY2(update.exec(QStringLiteral("UPDATE %1 SET %2 = %3 WHERE CDEMPRESA = '01' AND "
                                            "CAST(NRINVOICE AS INTEGER) = %4")
                                 .arg(table, column, stored, number)),
                 qPrintable(update.lastError().text()));
        QVERIFY(update.numRowsAffected() > 0);

        const auto [direct, qt] =
            bothReadings(items, everything(QStringLiteral("01"), QStringLiteral("A_N_E_")));
        QVERIFY2(direct.startsWith("{\"fields\":"), "not read through SQLite");
        QCOMPARE(direct, qt);
        if (expected.isEmpty())
            return;
        const QList<FieldDef>& fields =
            items ? InvoiceLayout::itemFields() : InvoiceLayout::invoiceFields();
        qsizetype numberAt = -1, columnAt = -1;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (fields.at(i).name == QLatin1String("NRINVOICE") && numberAt < 0)
                numberAt = i;
            if (fields.at(i).name == column)
                columnAt = i;
        }
        QVERIFY(numberAt >= 0 && columnAt >= 0);
        const QJsonValue want = QJsonDocument::fromJson("[" + expected + "]").array().at(0);
        int seen = 0;
        const QJsonObject packet = QJsonDocument::fromJson(direct).object();
        for (const QJsonValue& row : packet.value(QLatin1String("rows")).toArray()) {
            const QJsonArray cells = row.toArray();
            if (cells.at(numberAt).toString().toInt() != number.toInt())
                continue;
            ++seen;
            QCOMPARE(cells.at(columnAt), want);
        }
        QVERIFY(seen > 0);
        // The cell's own text on the wire, not only its value.
        const QByteArray inside = ',' + expected + ',';
        const QByteArray last = ',' + expected + ']';
        QVERIFY(direct.contains(inside) || direct.contains(last));
    }

    void initRefusesExistingSchema()
    {
        QVERIFY(Schema::exists(db));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Schema::create(db));
    }

    void demoDataOfADay()
    {
        // Made on 15/09/2025: nothing happened after that day.
        AppServerFixture made;
        made.db = open(dir.filePath(QStringLiteral("day.db")), QStringLiteral("day"));
        Schema::create(made.db);
        DemoData(DemoData::DefaultInvoices, QDate(2025, 9, 15)).fill(made.db);
        const auto count = [&made](const char* sql) { return made.scalar(QString::fromUtf8(sql)); };
        QCOMPARE(count("SELECT COUNT(*) FROM INVOICE WHERE DTEMISINVOICE >= '2025-09-16' OR "
                       "DTRECINVOICE >= '2025-09-16' OR DTCAMBIOINVOICE >= '2025-09-16'"),
                 0);
        QCOMPARE(count("SELECT COUNT(*) FROM NOTAFISCAL WHERE DTEMISNOTA >= '2025-09-16'"), 0);
        QVERIFY(count("SELECT COUNT(*) FROM INVOICE WHERE DTRECINVOICE >= '2025-09-01'") > 0);
        QCOMPARE(count("SELECT COUNT(*) FROM INVOICEITEM WHERE DSEMISSINVOI LIKE '1 sacas %'"), 0);
        QVERIFY(count("SELECT COUNT(*) FROM INVOICEITEM WHERE DSEMISSINVOI LIKE '1 saca de %'") >
                0);
        close(made, QStringLiteral("day"));
    }

    void demoDataIsDeterministic()
    {
        // A second database made from nothing equals the one every test copies.
        {
            AppServerFixture again;
            again.db = open(dir.filePath(QStringLiteral("again.db")), QStringLiteral("again"));
            again.fill();
            QCOMPARE(again.snapshot(), snapshot());
            close(again, QStringLiteral("again"));
        }
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM EMPRESA")), 3);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM CLIENTE")), 40);
        // Customers listed by the screen's lookup: abroad, with a main address.
        QCOMPARE(
            scalar(QStringLiteral("SELECT COUNT(*) FROM CLIENTE C, ENDECLIE E WHERE C.CDCLIENTE = "
                                  "E.CDCLIENTE AND E.IDTPENDECLIE = 'P' AND E.CDPAIS <> '0055'")),
            34);
        for (const char* condition : {"IDTIPOINVOICE = 'M'", "IDTIPOINVOICE = 'A'",
                                      "IDAPURFATFAS = '6'", "DSOBSPGTOINVOI LIKE '%\n%'"})
            QVERIFY2(scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE ") +
                            QString::fromLatin1(condition)) > 0,
                     condition);
        // What a clerk opens is coherent with the screen: kinds it shows, customers its
        // lookup lists.
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE IDTIPOINVOICE NOT IN "
                                       "('M', 'A')")),
                 0);
        QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE I WHERE NOT EXISTS (SELECT 1 "
                                       "FROM ENDECLIE E WHERE E.CDCLIENTE = I.CDCLIENTE AND "
                                       "E.IDTPENDECLIE = 'P' AND E.CDPAIS <> '0055')")),
                 0);
    }
};

QTEST_GUILESS_MAIN(TstAppServer)
#include "tst_appserver.moc"
