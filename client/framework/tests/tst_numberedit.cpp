#include "TNumberEdit.h"

#include <QTest>

class TestNumberEdit : public QObject
{
    Q_OBJECT
private slots:
    void typing_data();
    void typing();
    void setNumberFormats_data();
    void setNumberFormats();
    void leavingReformatsWithoutChange();
};

void TestNumberEdit::typing_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::newRow("comma decimal") << 3 << "5,123"
                                   << "5,123" << 5.123;
    QTest::newRow("extra decimal refused") << 3 << "5,1234"
                                           << "5,123" << 5.123;
    QTest::newRow("letters refused") << 2 << "1a2b"
                                     << "12" << 12.0;
    QTest::newRow("second comma refused") << 2 << "1,2,3"
                                          << "1,23" << 1.23;
    QTest::newRow("negative") << 2 << "-7,5"
                              << "-7,5" << -7.5;
    QTest::newRow("dot thousands") << 2 << "1.234,5"
                                   << "1.234,5" << 1234.5;
    QTest::newRow("no decimals") << 0 << "12,5"
                                 << "125" << 125.0;
    QTest::newRow("nothing typed") << 2 << ""
                                   << "" << 0.0;
}

void TestNumberEdit::typing()
{
    QFETCH(int, decimals);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(double, number);
    TNumberEdit edit;
    edit.SetDecimals(decimals);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), text);
    QCOMPARE(edit.GetNumber(), number);
}

void TestNumberEdit::setNumberFormats_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("thousands");
    QTest::addColumn<bool>("currency");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain 3 decimals") << 3 << false << false << 5.1 << "5,100";
    QTest::newRow("preview 2 decimals") << 2 << false << false << 12345.678 << "12345,68";
    QTest::newRow("thousands") << 2 << true << false << 1234567.5 << "1.234.567,50";
    QTest::newRow("currency") << 2 << true << true << 1234.5 << "R$ 1.234,50";
    QTest::newRow("zero") << 2 << false << false << 0.0 << "0,00";
}

void TestNumberEdit::setNumberFormats()
{
    QFETCH(int, decimals);
    QFETCH(bool, thousands);
    QFETCH(bool, currency);
    QFETCH(double, value);
    QFETCH(QString, text);
    TNumberEdit edit;
    edit.SetDecimals(decimals);
    edit.SetThousands(thousands);
    edit.SetCurrency(currency);
    edit.SetNumber(value);
    QCOMPARE(edit.text(), text);
    QCOMPARE(edit.GetNumber(), edit.parse(text).value());
}

void TestNumberEdit::leavingReformatsWithoutChange()
{
    QWidget window;
    auto* edit = new TNumberEdit(&window);
    auto* other = new TNumberEdit(&window);
    edit->SetDecimals(3);
    edit->SetThousands(false);
    int changes = 0;
    edit->OnChange = [&] { ++changes; };
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTest::keyClicks(edit, "5,1");
    QCOMPARE(changes, 3);
    other->setFocus();
    QCOMPARE(edit->text(), QString("5,100"));
    QCOMPARE(changes, 3);
}

QTEST_MAIN(TestNumberEdit)
#include "tst_numberedit.moc"
