#include "TMessages.h"

#include "FrameworkUtils.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcMessages, "fas.messages")

namespace {
QStringView keyOf(const QString& line)
{
    const qsizetype bar = line.indexOf(u'|');
    return bar < 0 ? QStringView(line) : QStringView(line).left(bar);
}
} // namespace

const QString* TMessages::find(const QString& key, QString* text) const
{
    const QString* found = nullptr;
    for (const QString& line : Messages) {
        if (keyOf(line) == key) {
            found = &line;
            break;
        }
    }
    if (!found) {
        for (const QString& line : Messages) {
            if (keyOf(line).compare(key, Qt::CaseInsensitive) == 0) {
                found = &line;
                break;
            }
        }
    }
    if (found && text) {
        const qsizetype bar = found->indexOf(u'|');
        *text = bar < 0 ? QString() : found->mid(bar + 1);
    }
    return found;
}

bool TMessages::Contains(const QString& key) const
{
    return find(key, nullptr) != nullptr;
}

QString TMessages::Msg(const QString& key) const
{
    QString text;
    if (!find(key, &text)) {
        qCWarning(lcMessages) << "message key not in the table:" << key;
        return key;
    }
    return text;
}

int TMessages::ShowMsg(const QString& key, int type, int buttons, int helpContext) const
{
    const auto answer = MessageDlg(Msg(key), static_cast<TMsgDlgType>(std::clamp(type, 0, 4)),
                                   buttons, helpContext);
    switch (answer) {
    case MessageService::Answer::Ok:
        return 1;
    case MessageService::Answer::Cancel:
        return 2;
    case MessageService::Answer::Yes:
        return 6;
    case MessageService::Answer::No:
        return 7;
    }
    return 0;
}
