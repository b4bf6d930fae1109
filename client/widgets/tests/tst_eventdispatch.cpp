#include "EAbort.h"
#include "EventDispatch.h"
#include "MessageService.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

class TestEventDispatch : public QObject
{
    Q_OBJECT
private slots:
    void dispatch_data();
    void dispatch();
    void connectedHandlerFailureStaysOutOfTheEventLoop();
    void connectedHandlerReceivesTheSignalArguments();
    void connectionEndsWithItsContext();
};

enum class Failure { None, Abort, StdException, EmptyStdException, Unknown };

void TestEventDispatch::dispatch_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<bool>("completed");
    QTest::addColumn<QStringList>("errors");

    QTest::newRow("runs to its end") << Failure::None << true << QStringList();
    QTest::newRow("EAbort is silent") << Failure::Abort << false << QStringList();
    QTest::newRow("std::exception is reported")
        << Failure::StdException << false << QStringList{"Falha de teste ção"};
    QTest::newRow("empty text gets the general text")
        << Failure::EmptyStdException << false << QStringList{"Ocorreu um erro inesperado."};
    QTest::newRow("anything else is reported")
        << Failure::Unknown << false << QStringList{"Ocorreu um erro inesperado."};
}

void TestEventDispatch::dispatch()
{
    QFETCH(Failure, failure);
    QFETCH(bool, completed);
    QFETCH(QStringList, errors);
    ScopedScriptedMessages messages;

    bool reachedEnd = false;
    const bool result = Dispatch([&] {
        switch (failure) {
        case Failure::None:
            break;
        case Failure::Abort:
            throw EAbort();
        case Failure::StdException:
            throw std::runtime_error("Falha de teste ção");
        case Failure::EmptyStdException:
            throw std::runtime_error("");
        case Failure::Unknown:
            throw 42;
        }
        reachedEnd = true;
    });

    QCOMPARE(result, completed);
    QCOMPARE(reachedEnd, completed);
    QCOMPARE(messages->texts(), errors);
    for (const auto& entry : messages->messages)
        QCOMPARE(entry.kind, MessageService::Kind::Error);
}

void TestEventDispatch::connectedHandlerFailureStaysOutOfTheEventLoop()
{
    ScopedScriptedMessages messages;
    QPushButton button;
    int runs = 0;
    connectHandler(&button, &QPushButton::clicked, [&] {
        ++runs;
        throw std::runtime_error("Servidor indisponível");
    });
    button.click();
    button.click();
    QCOMPARE(runs, 2);
    QCOMPARE(messages->texts(), (QStringList{"Servidor indisponível", "Servidor indisponível"}));
}

void TestEventDispatch::connectedHandlerReceivesTheSignalArguments()
{
    ScopedScriptedMessages messages;
    QLineEdit edit;
    QStringList seen;
    connectHandler(&edit, &QLineEdit::textChanged, [&](const QString& text) {
        seen.append(text);
        if (text == "b")
            throw EAbort();
    });
    edit.setText("a");
    edit.setText("b");
    edit.setText("c");
    QCOMPARE(seen, (QStringList{"a", "b", "c"}));
    QVERIFY(messages->messages.isEmpty());
}

void TestEventDispatch::connectionEndsWithItsContext()
{
    QPushButton button;
    int runs = 0;
    {
        QObject context;
        connectHandler(&button, &QPushButton::clicked, &context, [&] { ++runs; });
        button.click();
    }
    button.click();
    QCOMPARE(runs, 1);
}

QTEST_MAIN(TestEventDispatch)
#include "tst_eventdispatch.moc"
