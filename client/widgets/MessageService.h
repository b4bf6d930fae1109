#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <memory>

// Every message the user sees passes through one MessageService. The default shows
// QMessageBox dialogs in pt-BR; tests install a ScriptedMessageService that records each
// message and answers confirmations from a queue.
class MessageService
{
public:
    enum class Kind { Error, Information, Warning, Confirmation };
    enum class Answer { Yes, No, Cancel, Ok };
    enum Button { Ok = 0x4, Yes = 0x1, No = 0x2, Cancel = 0x8 };

    virtual ~MessageService() = default;

    // An error (MensErro, CheckResultServ, the dispatcher's general error report).
    virtual void error(const QString& text) = 0;
    // Information with the single button OK (ShowMsg).
    virtual void information(const QString& text) = 0;
    // A question of the confirmation type with the given buttons (MessageDlg); `details`, when
    // given, is shown below the question in smaller print (what the answers would do).
    virtual Answer confirm(const QString& text, int buttons, const QString& details = {}) = 0;
    // A warning with the single button OK; by default shown as information.
    virtual void warning(const QString& text);

    static MessageService& instance();
    // Replaces the service; returns the previous one. Passing nullptr restores the default.
    static std::unique_ptr<MessageService> install(std::unique_ptr<MessageService> service);
};

// Records every message; confirmations take their answer from the front of a queue
// (Cancel when it is empty).
class ScriptedMessageService : public MessageService
{
public:
    struct Entry
    {
        Kind kind;
        QString text;
        QString details;
    };

    void error(const QString& text) override;
    void information(const QString& text) override;
    void warning(const QString& text) override;
    Answer confirm(const QString& text, int buttons, const QString& details = {}) override;

    void queueAnswer(Answer answer) { answers.push_back(answer); }
    QList<Entry> messages;
    std::deque<Answer> answers;

    QStringList texts() const;
    void clear() { messages.clear(); }
};

// Installs a fresh ScriptedMessageService for the lifetime of the object and puts the
// previous service back when it ends (tests).
class ScopedScriptedMessages
{
public:
    ScopedScriptedMessages();
    ~ScopedScriptedMessages();
    ScopedScriptedMessages(const ScopedScriptedMessages&) = delete;
    ScopedScriptedMessages& operator=(const ScopedScriptedMessages&) = delete;

    ScriptedMessageService& operator*() const { return *m_service; }
    ScriptedMessageService* operator->() const { return m_service; }

private:
    ScriptedMessageService* m_service = nullptr;
    std::unique_ptr<MessageService> m_previous;
};
