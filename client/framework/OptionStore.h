#pragma once

#include <QString>
#include <QStringList>

// The saved options of a screen: a list of "name=value" lines, stored per user and screen in
// an INI file ($XDG_CONFIG_HOME/fas/options.ini, or the file named by FAS_OPTIONS_FILE).
class OptionStore
{
public:
    // The INI file in use.
    static QString filePath();
    // The user the options belong to: FAS_USER, else the login name.
    static QString currentUser();

    // Replaces the saved options of the screen; a failure to write is reported to the user
    // and aborts (MensErro).
    static void Save(const QString& screen, const QStringList& lines);
    static void Save(const QString& user, const QString& screen, const QStringList& lines);
    // The saved lines, in their order (empty when nothing was saved).
    static QStringList Load(const QString& screen);
    static QStringList Load(const QString& user, const QString& screen);

    // Values of an option list, as name=value lines (the first "=" separates them).
    // The value of `name`; `absent` when no line names it.
    static QString Value(const QStringList& lines, const QString& name,
                         const QString& absent = QString());
    static void SetValue(QStringList& lines, const QString& name, const QString& value);
};
