#include "EAbort.h"
#include "FrameworkUtils.h"
#include "MessageService.h"
#include "TMessages.h"

#include <QTest>

class TestUtils : public QObject
{
    Q_OBJECT
private slots:
    void emptyString_data();
    void emptyString();
    void ajusta_data();
    void ajusta();
    void roundDec_data();
    void roundDec();
    void mensErroShowsThenAborts();
    void messageKeys_data();
    void messageKeys();
    void showMsgIsInformationWithOk();
};

void TestUtils::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("empty");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blank company field") << "  " << true;
    QTest::newRow("tab") << "\t" << true;
    QTest::newRow("digit") << " 1" << false;
    QTest::newRow("code") << "01" << false;
}

void TestUtils::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, empty);
    QCOMPARE(EmptyString(text), empty);
}

void TestUtils::ajusta_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("result");
    QTest::newRow("digit then blank") << "1 " << 2 << "01";
    QTest::newRow("blank then digit") << " 1" << 2 << "01";
    QTest::newRow("full code") << "12" << 2 << "12";
    QTest::newRow("zero") << "0" << 2 << "00";
    QTest::newRow("longer stays whole") << "123" << 2 << "123";
    QTest::newRow("text padded right") << "A" << 3 << "A  ";
    QTest::newRow("blank stays empty") << "  " << 2 << "";
    QTest::newRow("wider") << "7" << 4 << "0007";
}

void TestUtils::ajusta()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, result);
    QCOMPARE(Ajusta(text, width), result);
}

void TestUtils::roundDec_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("result");
    QTest::newRow("up") << 1234.567 << 2 << 1234.57;
    QTest::newRow("fewer decimals unchanged") << 1234.5 << 2 << 1234.5;
    QTest::newRow("half stored below") << 1.005 << 2 << 1.01;
    QTest::newRow("half stored below 2") << 2.675 << 2 << 2.68;
    QTest::newRow("down") << 0.124 << 2 << 0.12;
    QTest::newRow("negative half away from zero") << -1.005 << 2 << -1.01;
    QTest::newRow("carry through nines") << 9.999 << 2 << 10.0;
    QTest::newRow("tiny to zero") << 0.004 << 2 << 0.0;
    QTest::newRow("tiny half") << 0.005 << 2 << 0.01;
    QTest::newRow("zero decimals") << 2.5 << 0 << 3.0;
    QTest::newRow("large amount") << 123456789.125 << 2 << 123456789.13;
    QTest::newRow("zero") << 0.0 << 2 << 0.0;
}

void TestUtils::roundDec()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(double, result);
    QCOMPARE(RoundDec(value, decimals), result);
}

void TestUtils::mensErroShowsThenAborts()
{
    ScopedScriptedMessages messages;
    bool after = false;
    QVERIFY_THROWS_EXCEPTION(EAbort, {
        MensErro("Empresa deve ser informada.", true);
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(messages->texts(), QStringList{"Empresa deve ser informada."});
    QCOMPARE(messages->messages.at(0).kind, MessageService::Kind::Error);

    MensErro("Só aviso", false); // no abort
    QCOMPARE(messages->messages.size(), 2);
}

void TestUtils::messageKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("missing");
    QTest::newRow("exact") << "CambFin_Inf"
                           << "Data Final de Câmbio deve ser informada." << false;
    QTest::newRow("asked with other case") << "CambIni_Inf"
                                           << "Data Inicial de Câmbio deve ser informada." << false;
    QTest::newRow("key with <") << "EmissFin<"
                                << "Data Final maior." << false;
    QTest::newRow("exact wins over case") << "Cliente"
                                          << "Cliente" << false;
    QTest::newRow("otherwise the first line in order") << "CLIENTE"
                                                       << "minúsculo" << false;
    QTest::newRow("text keeps its bars") << "Bar"
                                         << "a|b" << false;
    QTest::newRow("missing gives the key") << "Nada_Inf"
                                           << "Nada_Inf" << true;
    QTest::newRow("prefix is no match") << "Camb"
                                        << "Camb" << true;
}

void TestUtils::messageKeys()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QFETCH(bool, missing);
    const TMessages msg({"EmissFin<|Data Final maior.", "cliente|minúsculo", "Cliente|Cliente",
                         "CambIni_inf|Data Inicial de Câmbio deve ser informada.",
                         "CambFin_Inf|Data Final de Câmbio deve ser informada.", "Bar|a|b"});
    if (missing)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not in the table"));
    QCOMPARE(msg.Msg(key), text);
}

void TestUtils::showMsgIsInformationWithOk()
{
    ScopedScriptedMessages messages;
    const TMessages msg({"Receb_Ok|Recebimento confirmado."});
    QCOMPARE(msg.ShowMsg("Receb_Ok", 2, 4, 0), 1);
    QCOMPARE(messages->texts(), QStringList{"Recebimento confirmado."});
    QCOMPARE(messages->messages.at(0).kind, MessageService::Kind::Information);
}

QTEST_MAIN(TestUtils)
#include "tst_utils.moc"
