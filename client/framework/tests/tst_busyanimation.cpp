#include "BusyAnimation.h"
#include "EventDispatch.h"
#include "MessageService.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <stdexcept>

class TestBusyAnimation : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void nestedCallsCount();
    void hiddenAfterAFailure();
    void blocksInputToTheWindowOnly();
    void stepsBackBehindAMessage();
    void turns();
    void worksWithoutAWindow();
    void hourglassAndUpdateLockAreReleasedOnFailure();

private:
    std::unique_ptr<QWidget> window;
    QLineEdit* edit = nullptr;
};

void TestBusyAnimation::init()
{
    window = std::make_unique<QWidget>();
    window->resize(400, 300);
    auto* layout = new QVBoxLayout(window.get());
    edit = new QLineEdit(window.get());
    layout->addWidget(edit);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestBusyAnimation::cleanup()
{
    while (BusyAnimationDepth() > 0)
        DeactiveShowAvi();
    window.reset();
}

void TestBusyAnimation::nestedCallsCount()
{
    ActiveShowAvi(window.get(), 1);
    QWidget* overlay = BusyAnimationOverlay();
    QVERIFY(overlay);
    QVERIFY(overlay->isVisible());
    QCOMPARE(overlay->parentWidget(), window.get());
    QCOMPARE(overlay->geometry(), window->rect());

    ActiveShowAvi(window.get(), 1);
    DeactiveShowAvi();
    QCOMPARE(BusyAnimationOverlay(), overlay); // still shown: one call is open
    DeactiveShowAvi();
    QCOMPARE(BusyAnimationOverlay(), nullptr);
    QCOMPARE(BusyAnimationDepth(), 0);
    DeactiveShowAvi(); // one too many: harmless
    QCOMPARE(BusyAnimationDepth(), 0);
}

void TestBusyAnimation::hiddenAfterAFailure()
{
    ScopedScriptedMessages messages;
    const bool completed = Dispatch([&] {
        BusyGuard busy(window.get(), 1);
        QVERIFY(BusyAnimationOverlay());
        throw std::runtime_error("Servidor não respondeu.");
    });
    QVERIFY(!completed);
    QCOMPARE(BusyAnimationOverlay(), nullptr);
    QCOMPARE(BusyAnimationDepth(), 0);
    QCOMPARE(window->findChildren<QWidget*>("busyOverlay").size(), 0);
    QCOMPARE(messages->texts(), QStringList{"Servidor não respondeu."});
}

// A message shown while the work runs (its failure) is not read behind a turning animation.
void TestBusyAnimation::stepsBackBehindAMessage()
{
    BusyGuard busy(window.get(), 1);
    QMessageBox box(QMessageBox::Critical, "Erro", "Servidor não respondeu.");
    box.show();
    QVERIFY(!BusyAnimationOverlay()->isVisible());
    box.hide();
    QVERIFY(BusyAnimationOverlay()->isVisible());
}

void TestBusyAnimation::blocksInputToTheWindowOnly()
{
    QWidget other;
    auto* otherEdit = new QLineEdit(&other);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));

    BusyGuard busy(window.get());
    QTest::keyClicks(edit, "12");
    QTest::keyClicks(otherEdit, "34");
    QCOMPARE(edit->text(), QString());
    QCOMPARE(otherEdit->text(), QString("34"));
}

void TestBusyAnimation::turns()
{
    BusyGuard busy(window.get());
    auto* overlay = BusyAnimationOverlay();
    const QImage before = overlay->grab().toImage();
    QTest::qWait(150);
    const QImage after = overlay->grab().toImage();
    QVERIFY(before != after);
}

void TestBusyAnimation::worksWithoutAWindow()
{
    window->hide();
    QApplication::setActiveWindow(nullptr);
    {
        BusyGuard busy(nullptr);
        QCOMPARE(BusyAnimationDepth(), 1);
    }
    QCOMPARE(BusyAnimationDepth(), 0);
}

void TestBusyAnimation::hourglassAndUpdateLockAreReleasedOnFailure()
{
    ScopedScriptedMessages messages;
    Dispatch([&] {
        HourglassGuard hourglass;
        WindowUpdateLock lock(edit);
        QVERIFY(QApplication::overrideCursor());
        QVERIFY(!window->updatesEnabled());
        throw std::runtime_error("falha");
    });
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(window->updatesEnabled());
}

QTEST_MAIN(TestBusyAnimation)
#include "tst_busyanimation.moc"
