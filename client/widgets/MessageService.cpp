#include "MessageService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The default service: modal QMessageBox dialogs with Portuguese captions and buttons,
// parented to the active window so that they stay on top of the screen that asked.
class MessageBoxService : public MessageService
{
public:
    void error(const QString& text) override
    {
        show(QMessageBox::Critical, QStringLiteral("Erro"), text, Ok);
    }
    void information(const QString& text) override
    {
        show(QMessageBox::Information, QStringLiteral("Informação"), text, Ok);
    }
    void warning(const QString& text) override
    {
        show(QMessageBox::Warning, QStringLiteral("Aviso"), text, Ok);
    }
    Answer confirm(const QString& text, int buttons, const QString& details = {}) override
    {
        return show(QMessageBox::Question, QStringLiteral("Confirmação"), text, buttons, details);
    }

private:
    static Answer show(QMessageBox::Icon icon, const QString& title, const QString& text,
                       int buttons, const QString& details = {})
    {
        QMessageBox box(icon, title, text, QMessageBox::NoButton, QApplication::activeWindow());
        if (!details.isEmpty()) {
            box.setInformativeText(details);
            box.setTextFormat(Qt::PlainText);
        }
        struct Choice
        {
            Button button;
            QString caption;
            QMessageBox::ButtonRole role;
            Answer answer;
        };
        const Choice choices[] = {
            {Yes, QStringLiteral("&Sim"), QMessageBox::YesRole, Answer::Yes},
            {No, QStringLiteral("&Não"), QMessageBox::NoRole, Answer::No},
            {Ok, QStringLiteral("OK"), QMessageBox::AcceptRole, Answer::Ok},
            {Cancel, QStringLiteral("Cancelar"), QMessageBox::RejectRole, Answer::Cancel},
        };
        if ((buttons & (Yes | No | Ok | Cancel)) == 0)
            buttons = Ok;
        QList<QPair<QAbstractButton*, Answer>> added;
        for (const Choice& choice : choices) {
            if (buttons & choice.button)
                added.append({box.addButton(choice.caption, choice.role), choice.answer});
        }
        box.setDefaultButton(qobject_cast<QPushButton*>(added.first().first));
        box.exec();
        for (const auto& [button, answer] : added) {
            if (box.clickedButton() == button)
                return answer;
        }
        // Closed with Escape or the window's close button.
        return (buttons & Cancel) ? Answer::Cancel : ((buttons & No) ? Answer::No : Answer::Ok);
    }
};

std::unique_ptr<MessageService>& current()
{
    static std::unique_ptr<MessageService> service;
    return service;
}

} // namespace

void MessageService::warning(const QString& text)
{
    information(text);
}

MessageService& MessageService::instance()
{
    auto& service = current();
    if (!service)
        service = std::make_unique<MessageBoxService>();
    return *service;
}

std::unique_ptr<MessageService> MessageService::install(std::unique_ptr<MessageService> service)
{
    auto previous = std::move(current());
    current() = std::move(service);
    return previous;
}

void ScriptedMessageService::error(const QString& text)
{
    messages.append({Kind::Error, text, {}});
}

void ScriptedMessageService::information(const QString& text)
{
    messages.append({Kind::Information, text, {}});
}

void ScriptedMessageService::warning(const QString& text)
{
    messages.append({Kind::Warning, text, {}});
}

MessageService::Answer ScriptedMessageService::confirm(const QString& text, int /*buttons*/,
                                                       const QString& details)
{
    messages.append({Kind::Confirmation, text, details});
    if (answers.empty())
        return Answer::Cancel;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList ScriptedMessageService::texts() const
{
    QStringList result;
    for (const Entry& entry : messages)
        result.append(entry.text);
    return result;
}

ScopedScriptedMessages::ScopedScriptedMessages()
{
    auto scripted = std::make_unique<ScriptedMessageService>();
    m_service = scripted.get();
    m_previous = MessageService::install(std::move(scripted));
}

ScopedScriptedMessages::~ScopedScriptedMessages()
{
    MessageService::install(std::move(m_previous));
}
