// The listings: the filter (GetInvoice, GetItem) and the order of the list.
#include "AppServerSuite.h"

void AppServerSuite::filter_data()
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
    QTest::newRow("due range") << "01"
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

void AppServerSuite::filter()
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
            .arg(company.contains(QLatin1Char('\'')) ? QStringLiteral("?") : company, condition);
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
                 row.at(at("IDGERNFINVOI")).toString() == QLatin1String("S") ? QStringLiteral("D")
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
    const qint64 expectedItems =
        scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICEITEM IT WHERE EXISTS (SELECT 1 FROM "
                              "INVOICE I WHERE I.CDEMPRESA = IT.CDEMPRESA AND I.NRINVOICE = "
                              "IT.NRINVOICE AND I.CDEMPRESA = '%1' AND (%2))")
                   .arg(company.contains(QLatin1Char('\'')) ? QStringLiteral("?") : company,
                        QString(condition)
                            .replace(QStringLiteral("DT"), QStringLiteral("I.DT"))
                            .replace(QStringLiteral("IDGERNF"), QStringLiteral("I.IDGERNF"))
                            .replace(QStringLiteral("CDCLIENTE"), QStringLiteral("I.CDCLIENTE"))));
    QCOMPARE(items.rows.size(), expectedItems);
}

// Customers in reading order, accents and case aside, each one's invoices together.
void AppServerSuite::listOrder()
{
    QStringList names;
    for (const Row& row : invoices(QStringLiteral("01")).rows) {
        if (names.isEmpty() || names.last() != row.at(at("NMFANTCLIE")).toString())
            names.append(row.at(at("NMFANTCLIE")).toString());
    }
    QCOMPARE(QStringList(names).removeDuplicates(), 0);
    QList<qsizetype> positions;
    for (const char* name :
         {"Açaí Trading", "Auckland Brew", "Buenos Aires Grão", "Café Österreich",
          "Île-de-France Café", "Istanbul Kahve", "Zürich Handel"})
        positions.append(names.indexOf(QString::fromUtf8(name)));
    QVERIFY2(!positions.contains(-1) && std::is_sorted(positions.cbegin(), positions.cend()),
             qPrintable(names.join(QStringLiteral(" | "))));
}

// A database made before customers had their sort key gets it.
void AppServerSuite::upgradeAddsTheSortKey()
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
