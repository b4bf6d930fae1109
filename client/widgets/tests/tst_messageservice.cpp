#include "MessageService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestMessageService : public QObject
{
    Q_OBJECT
private slots:
    void scriptedRecordsAndAnswersInOrder();
    void scopeRestoresThePreviousService();
    void defaultShowsPortugueseButtons_data();
    void defaultShowsPortugueseButtons();
};

void TestMessageService::scriptedRecordsAndAnswersInOrder()
{
    ScriptedMessageService service;
    service.queueAnswer(MessageService::Answer::Yes);
    service.queueAnswer(MessageService::Answer::No);
    service.error("e");
    service.information("i");
    service.warning("w");
    QCOMPARE(service.confirm("c1", MessageService::Yes | MessageService::No),
             MessageService::Answer::Yes);
    QCOMPARE(service.confirm("c2", MessageService::Yes | MessageService::No),
             MessageService::Answer::No);
    QCOMPARE(service.confirm("c3", MessageService::Yes | MessageService::No),
             MessageService::Answer::Cancel);
    QCOMPARE(service.texts(), (QStringList{"e", "i", "w", "c1", "c2", "c3"}));
    QCOMPARE(service.messages.at(0).kind, MessageService::Kind::Error);
    QCOMPARE(service.messages.at(1).kind, MessageService::Kind::Information);
    QCOMPARE(service.messages.at(2).kind, MessageService::Kind::Warning);
    QCOMPARE(service.messages.at(3).kind, MessageService::Kind::Confirmation);
}

void TestMessageService::scopeRestoresThePreviousService()
{
    MessageService* outer = nullptr;
    {
        ScopedScriptedMessages first;
        outer = &MessageService::instance();
        QCOMPARE(outer, &*first);
        {
            ScopedScriptedMessages second;
            MessageService::instance().error("inner");
            QCOMPARE(second->texts(), QStringList{"inner"});
        }
        QCOMPARE(&MessageService::instance(), outer);
        MessageService::instance().error("outer");
        QCOMPARE(first->texts(), QStringList{"outer"});
    }
    QVERIFY(dynamic_cast<ScriptedMessageService*>(&MessageService::instance()) == nullptr);
}

void TestMessageService::defaultShowsPortugueseButtons_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("answer");

    const int yesNoCancel = MessageService::Yes | MessageService::No | MessageService::Cancel;
    QTest::newRow("Sim") << yesNoCancel << "&Sim" << QStringList{"&Sim", "&Não", "Cancelar"}
                         << int(MessageService::Answer::Yes);
    QTest::newRow("Não") << yesNoCancel << "&Não" << QStringList{"&Sim", "&Não", "Cancelar"}
                         << int(MessageService::Answer::No);
    QTest::newRow("Cancelar") << yesNoCancel << "Cancelar"
                              << QStringList{"&Sim", "&Não", "Cancelar"}
                              << int(MessageService::Answer::Cancel);
    QTest::newRow("OK only") << int(MessageService::Ok) << "OK" << QStringList{"OK"}
                             << int(MessageService::Answer::Ok);
}

void TestMessageService::defaultShowsPortugueseButtons()
{
    QFETCH(int, buttons);
    QFETCH(QString, click);
    QFETCH(QStringList, captions);
    QFETCH(int, answer);

    MessageService::install(nullptr);
    QStringList seenCaptions;
    QString seenText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seenText = box->text();
        for (QAbstractButton* button : box->buttons())
            seenCaptions.append(button->text());
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == click)
                button->click();
        }
    });
    const auto result = MessageService::instance().confirm("Gerar as notas?", buttons);
    QCOMPARE(int(result), answer);
    QCOMPARE(seenText, QString("Gerar as notas?"));
    seenCaptions.sort();
    captions.sort();
    QCOMPARE(seenCaptions, captions);
}

QTEST_MAIN(TestMessageService)
#include "tst_messageservice.moc"
