#pragma once

#include <QString>
#include <QStringList>

// A form's message table: lines "key|text". Code passes keys only.
//
// Keys match exactly first, then regardless of letter case (so "CambIni_Inf" finds the line
// "CambIni_inf"). A key that no line holds is a fault of the table: Msg logs a warning and
// returns the key itself, so that the user still sees something that names the problem.
class TMessages
{
public:
    TMessages() = default;
    explicit TMessages(QStringList lines) : Messages(std::move(lines)) {}

    QStringList Messages;

    QString Msg(const QString& key) const;
    bool Contains(const QString& key) const;

    // Shows the text of `key` in a message box. `type` and `buttons` are the toolkit's message
    // dialog type and button set (2 information, 4 the single button OK); returns the answer
    // as the toolkit's modal result (1 OK, 2 Cancel, 6 Yes, 7 No).
    int ShowMsg(const QString& key, int type, int buttons, int helpContext) const;

private:
    const QString* find(const QString& key, QString* text) const;
};
