// The customer list text shared by the lookup and the application server.
#include "KeyList.h"

#include <QtTest>

class TstKeyList : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("text"); // what write() gives for them

        QTest::newRow("no keys") << QStringList() << QString();
        QTest::newRow("one key") << QStringList{"EX0001"} << "EX0001";
        QTest::newRow("plain keys")
            << QStringList{"EX0001", "EX0019", "BR0035"} << "EX0001,EX0019,BR0035";
        QTest::newRow("comma") << QStringList{"Smith, Jones & Co", "EX0002"}
                               << "\"Smith, Jones & Co\",EX0002";
        QTest::newRow("quote inside")
            << QStringList{"O\"Brien", "EX0003"} << "\"O\"\"Brien\",EX0003";
        QTest::newRow("quotes at both ends") << QStringList{"\"cited\""} << "\"\"\"cited\"\"\"";
        QTest::newRow("only a quote") << QStringList{"\""} << "\"\"\"\"";
        QTest::newRow("blanks at the ends")
            << QStringList{" EX0004", "EX0005 ", "  "} << "\" EX0004\",\"EX0005 \",\"  \"";
        QTest::newRow("blank inside stays unquoted")
            << QStringList{"São Paulo Foods", "Café Österreich"}
            << "São Paulo Foods,Café Österreich";
        QTest::newRow("accents and comma") << QStringList{"Açaí, Ltda", "İstanbul Kahve A.Ş."}
                                           << "\"Açaí, Ltda\",İstanbul Kahve A.Ş.";
        QTest::newRow("empty key") << QStringList{"EX0001", "", "EX0002"} << "EX0001,\"\",EX0002";
        QTest::newRow("SQL text") << QStringList{"EX0001' OR '1'='1", "x\");DROP TABLE INVOICE;--"}
                                  << "EX0001' OR '1'='1,\"x\"\");DROP TABLE INVOICE;--\"";
        QTest::newRow("line break inside") << QStringList{"linha 1\nlinha 2"} << "linha 1\nlinha 2";
    }

    void roundTrip()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, text);
        QCOMPARE(KeyList::write(keys), text);
        const std::optional<QStringList> parsed = KeyList::parse(text);
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, keys);
    }

    // Texts typed or written by other means than write(): blanks, empty entries, quoting.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("keys");

        QTest::newRow("empty text") << "" << QStringList();
        QTest::newRow("only blanks and commas") << " , ,, " << QStringList();
        QTest::newRow("blanks around keys")
            << "  EX0001 ,\tEX0002  ,EX0003" << QStringList{"EX0001", "EX0002", "EX0003"};
        QTest::newRow("empty entries dropped")
            << "EX0001,,EX0002," << QStringList{"EX0001", "EX0002"};
        QTest::newRow("quoted keys mixed")
            << "\"EX0002\", EX0003 ,\"EX0004\"" << QStringList{"EX0002", "EX0003", "EX0004"};
        QTest::newRow("blanks around a quoted key") << "  \" a \"  ,b" << QStringList{" a ", "b"};
        QTest::newRow("quoted comma") << "\"a,b\",c" << QStringList{"a,b", "c"};
        QTest::newRow("trailing comma after quote") << "\"a\"," << QStringList{"a"};
        QTest::newRow("quoted empty key kept") << "\"\"" << QStringList{""};
        QTest::newRow("accents unquoted") << "Müller Import,Île-de-France Café"
                                          << QStringList{"Müller Import", "Île-de-France Café"};
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, keys);
        const std::optional<QStringList> parsed = KeyList::parse(text);
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, keys);
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("text");

        QTest::newRow("quote never closed") << "\"EX0001";
        QTest::newRow("quote closed by a doubled quote") << "\"EX0001\"\"";
        QTest::newRow("second key not closed") << "EX0001,\"EX0002";
        QTest::newRow("text after the closing quote") << "\"EX0001\"X,EX0002";
        QTest::newRow("two quoted keys without comma") << "\"a\" \"b\"";
        QTest::newRow("quote inside an unquoted key") << "EX0\"001";
        QTest::newRow("quote at the end of an unquoted key") << "EX0001\"";
        QTest::newRow("lone quote") << "\"";
    }

    void malformed()
    {
        QFETCH(QString, text);
        QCOMPARE(KeyList::parse(text), std::nullopt);
    }
};

QTEST_APPLESS_MAIN(TstKeyList)
#include "tst_keylist.moc"
