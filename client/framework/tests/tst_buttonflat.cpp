#include "TButtonFlat.h"

#include <QTest>

class TestButtonFlat : public QObject
{
    Q_OBJECT
private slots:
    void toggleWithAllowAllUp();
    void groupWithoutAllowAllUp();
    void plainButtonNeverStaysDown();
};

void TestButtonFlat::toggleWithAllowAllUp()
{
    QWidget panel;
    auto* sbtMais = new TButtonFlat(&panel);
    sbtMais->SetGroupIndex(1);
    sbtMais->SetAllowAllUp(true);
    sbtMais->SetHint("Mais");
    int clicks = 0;
    connect(sbtMais, &QToolButton::clicked, [&] { ++clicks; });
    QVERIFY(!sbtMais->Down());
    QTest::mouseClick(sbtMais, Qt::LeftButton);
    QVERIFY(sbtMais->Down());
    QTest::mouseClick(sbtMais, Qt::LeftButton);
    QVERIFY(!sbtMais->Down());
    QCOMPARE(clicks, 2);
    sbtMais->SetDown(!sbtMais->Down()); // what the menu item does
    QVERIFY(sbtMais->Down());
    QCOMPARE(sbtMais->toolTip(), QString("Mais"));
}

void TestButtonFlat::groupWithoutAllowAllUp()
{
    QWidget panel;
    auto* first = new TButtonFlat(&panel);
    auto* second = new TButtonFlat(&panel);
    auto* otherGroup = new TButtonFlat(&panel);
    first->SetGroupIndex(2);
    second->SetGroupIndex(2);
    otherGroup->SetGroupIndex(3);
    otherGroup->SetDown(true);

    QTest::mouseClick(first, Qt::LeftButton);
    QVERIFY(first->Down());
    QTest::mouseClick(first, Qt::LeftButton); // may not be all up
    QVERIFY(first->Down());
    first->SetDown(false);
    QVERIFY(first->Down());
    QTest::mouseClick(second, Qt::LeftButton);
    QVERIFY(second->Down());
    QVERIFY(!first->Down());
    QVERIFY(otherGroup->Down());
}

void TestButtonFlat::plainButtonNeverStaysDown()
{
    TButtonFlat button;
    button.SetDown(true);
    QTest::mouseClick(&button, Qt::LeftButton);
    QVERIFY(!button.Down());
    button.SetEnabled(false);
    QVERIFY(!button.Enabled());
}

QTEST_MAIN(TestButtonFlat)
#include "tst_buttonflat.moc"
