#include "EAbort.h"
#include "FocusTracker.h"
#include "MessageService.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

// A window with three edits a, b, c whose handlers write to a log.
class Form : public QWidget
{
public:
    Form()
    {
        auto* layout = new QVBoxLayout(this);
        for (const char* name : {"a", "b", "c"}) {
            auto* edit = new QLineEdit(this);
            edit->setObjectName(name);
            layout->addWidget(edit);
            edits.append(edit);
            const QString n = name;
            FocusTracker::setHandlers(
                edit, [this, n] { log.append("enter:" + n); },
                [this, n] {
                    log.append("exit:" + n);
                    if (onExit.contains(n))
                        onExit[n]();
                });
        }
    }
    QLineEdit* a() const { return edits[0]; }
    QLineEdit* b() const { return edits[1]; }
    QLineEdit* c() const { return edits[2]; }

    QList<QLineEdit*> edits;
    QStringList log;
    QHash<QString, std::function<void()>> onExit;
};

class TestFocusTracker : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void moveWithinTheForm_data();
    void moveWithinTheForm();
    void returningToTheSameControlFiresNothing();
    void otherWindowFiresNothing();
    void menuFiresNothing();
    void modalMessageBoxFiresNothing();
    void failedExitKeepsTheNewControlFromBeingEntered_data();
    void failedExitKeepsTheNewControlFromBeingEntered();
    void exitHandlerMayRedirectTheFocus();
    void shownAgainEntersAfresh();
    void clickOnMdiWindowLeavesNoControl_data();
    void clickOnMdiWindowLeavesNoControl();
    void memberHandlersRunWhatTheyHoldNow();

private:
    std::unique_ptr<Form> form;
    std::unique_ptr<ScopedScriptedMessages> messages;
};

void TestFocusTracker::init()
{
    messages = std::make_unique<ScopedScriptedMessages>();
    form = std::make_unique<Form>();
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->a()->setFocus();
    QTRY_VERIFY(form->a()->hasFocus());
    form->log.clear();
}

void TestFocusTracker::cleanup()
{
    form.reset();
    messages.reset();
}

enum class Move { SetFocus, Tab, Click };

void TestFocusTracker::moveWithinTheForm_data()
{
    QTest::addColumn<Move>("move");
    QTest::newRow("setFocus") << Move::SetFocus;
    QTest::newRow("tab") << Move::Tab;
    QTest::newRow("click") << Move::Click;
}

void TestFocusTracker::moveWithinTheForm()
{
    QFETCH(Move, move);
    switch (move) {
    case Move::SetFocus:
        form->b()->setFocus();
        break;
    case Move::Tab:
        QTest::keyClick(form->a(), Qt::Key_Tab);
        break;
    case Move::Click:
        QTest::mouseClick(form->b(), Qt::LeftButton);
        break;
    }
    QTRY_VERIFY(form->b()->hasFocus());
    QCOMPARE(form->log, (QStringList{"exit:a", "enter:b"}));
}

void TestFocusTracker::returningToTheSameControlFiresNothing()
{
    form->a()->clearFocus();
    form->a()->setFocus();
    QCOMPARE(form->log, QStringList());
}

void TestFocusTracker::otherWindowFiresNothing()
{
    QWidget other;
    auto* edit = new QLineEdit(&other);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTRY_VERIFY(form->a()->hasFocus());
    QCOMPARE(form->log, QStringList());

    form->c()->setFocus();
    QCOMPARE(form->log, (QStringList{"exit:a", "enter:c"}));
}

void TestFocusTracker::menuFiresNothing()
{
    QMenu menu(form.get());
    menu.addAction("Filtrar");
    menu.popup(form->mapToGlobal(QPoint(5, 5)));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    menu.close();
    QTRY_VERIFY(!menu.isVisible());
    QTRY_VERIFY(form->isActiveWindow());
    QCOMPARE(form->log, QStringList());
}

void TestFocusTracker::modalMessageBoxFiresNothing()
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        shown = modal != nullptr;
        if (modal)
            modal->close();
    });
    QDialog dialog(form.get());
    auto* edit = new QLineEdit(&dialog);
    edit->setFocus();
    dialog.exec();
    QVERIFY(shown);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->a()->setFocus();
    QCOMPARE(form->log, QStringList());
}

enum class ExitFailure { AbortWithGuard, AbortWithoutGuard, Error };

void TestFocusTracker::failedExitKeepsTheNewControlFromBeingEntered_data()
{
    QTest::addColumn<ExitFailure>("failure");
    QTest::addColumn<QString>("focusAfter");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("EAbort, guard puts the focus back")
        << ExitFailure::AbortWithGuard << "a" << QStringList();
    QTest::newRow("EAbort, no guard") << ExitFailure::AbortWithoutGuard << "b" << QStringList();
    QTest::newRow("other failure reported")
        << ExitFailure::Error << "b" << QStringList{"Falha ao sair"};
}

void TestFocusTracker::failedExitKeepsTheNewControlFromBeingEntered()
{
    QFETCH(ExitFailure, failure);
    QFETCH(QString, focusAfter);
    QFETCH(QStringList, errors);
    form->onExit["a"] = [&] {
        switch (failure) {
        case ExitFailure::AbortWithGuard:
            form->a()->setFocus();
            throw EAbort();
        case ExitFailure::AbortWithoutGuard:
            throw EAbort();
        case ExitFailure::Error:
            throw std::runtime_error("Falha ao sair");
        }
    };
    form->b()->setFocus(); // must not let the exception out
    QCOMPARE(form->log, QStringList{"exit:a"});
    QCOMPARE(QApplication::focusWidget()->objectName(), focusAfter);
    QCOMPARE((*messages)->texts(), errors);

    // The next move starts from where the focus really is.
    form->log.clear();
    form->onExit.clear();
    form->c()->setFocus();
    QCOMPARE(form->log, (QStringList{"exit:" + focusAfter, "enter:c"}));
}

void TestFocusTracker::exitHandlerMayRedirectTheFocus()
{
    form->onExit["a"] = [&] { form->c()->setFocus(); };
    form->b()->setFocus();
    QCOMPARE(QApplication::focusWidget(), form->c());
    QCOMPARE(form->log, (QStringList{"exit:a", "enter:c"}));
}

void TestFocusTracker::shownAgainEntersAfresh()
{
    form->hide();
    QTRY_COMPARE(QApplication::activeWindow(), nullptr);
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->a()->setFocus();
    QTRY_VERIFY(form->a()->hasFocus());
    QCOMPARE(form->log, QStringList{"enter:a"});
}

void TestFocusTracker::clickOnMdiWindowLeavesNoControl_data()
{
    QTest::addColumn<bool>("exitFails");
    QTest::newRow("exit would pass") << false;
    QTest::newRow("exit fails and puts the focus back") << true;
}

// A click on a button that takes no focus (or on the frame) makes the MDI window take the
// focus for a moment before it hands it back to its last control: no control is left.
void TestFocusTracker::clickOnMdiWindowLeavesNoControl()
{
    QFETCH(bool, exitFails);
    QMdiArea area;
    auto* inner = new Form;
    auto* button = new QToolButton(inner);
    button->setFocusPolicy(Qt::NoFocus);
    inner->layout()->addWidget(button);
    bool clicked = false;
    connect(button, &QToolButton::clicked, [&] { clicked = true; });
    if (exitFails) {
        inner->onExit["a"] = [inner] {
            inner->a()->setFocus();
            throw EAbort();
        };
    }
    QMdiSubWindow* window = area.addSubWindow(inner);
    area.show();
    QApplication::setActiveWindow(&area);
    QVERIFY(QTest::qWaitForWindowActive(&area));
    area.setActiveSubWindow(window);
    inner->a()->setFocus();
    QTRY_VERIFY(inner->a()->hasFocus());
    inner->log.clear();

    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(clicked);
    QTRY_VERIFY(inner->a()->hasFocus());
    QCOMPARE(inner->log, QStringList());

    // Moving to another control still leaves the first one.
    inner->onExit.clear();
    inner->b()->setFocus();
    QCOMPARE(inner->log, (QStringList{"exit:a", "enter:b"}));
}

// A control whose OnEnter/OnExit are members assigned at any time, as the framework's edits.
void TestFocusTracker::memberHandlersRunWhatTheyHoldNow()
{
    std::function<void()> onEnter;
    std::function<void()> onExit;
    FocusTracker::setHandlerMembers(form->b(), onEnter, onExit);
    const auto unbind = qScopeGuard([this] { FocusTracker::clearHandlers(form->b()); });
    form->b()->setFocus(); // both empty: nothing runs, and the move goes on
    form->c()->setFocus();
    QCOMPARE(form->log, (QStringList{"exit:a", "enter:c"}));

    onEnter = [this] { form->log.append("member enter"); };
    onExit = [this] { form->log.append("member exit"); };
    form->log.clear();
    form->b()->setFocus();
    form->a()->setFocus();
    QCOMPARE(form->log, (QStringList{"exit:c", "member enter", "member exit", "enter:a"}));
}

QTEST_MAIN(TestFocusTracker)
#include "tst_focustracker.moc"
