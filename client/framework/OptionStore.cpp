#include "OptionStore.h"

#include "FrameworkUtils.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {
// Group names may not hold the separators of QSettings.
QString groupPart(QString text)
{
    text.replace(u'/', u'_').replace(u'\\', u'_');
    return text.isEmpty() ? QStringLiteral("_") : text;
}

QString groupOf(const QString& user, const QString& screen)
{
    return groupPart(user) + u'/' + groupPart(screen);
}
} // namespace

QString OptionStore::filePath()
{
    const QString overridden = qEnvironmentVariable("FAS_OPTIONS_FILE");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/fas/options.ini");
}

QString OptionStore::currentUser()
{
    for (const char* name : {"FAS_USER", "USER", "USERNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
    return QStringLiteral("usuario");
}

void OptionStore::Save(const QString& screen, const QStringList& lines)
{
    Save(currentUser(), screen, lines);
}

void OptionStore::Save(const QString& user, const QString& screen, const QStringList& lines)
{
    const QString path = filePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings settings(path, QSettings::IniFormat);
    settings.remove(groupOf(user, screen));
    settings.beginGroup(groupOf(user, screen));
    settings.beginWriteArray(QStringLiteral("option"), int(lines.size()));
    for (int i = 0; i < lines.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("line"), lines.at(i));
    }
    settings.endArray();
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        MensErro(QStringLiteral("Não foi possível gravar as opções em %1.")
                     .arg(QDir::toNativeSeparators(path)),
                 true);
}

QStringList OptionStore::Load(const QString& screen)
{
    return Load(currentUser(), screen);
}

QStringList OptionStore::Load(const QString& user, const QString& screen)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.beginGroup(groupOf(user, screen));
    const int count = settings.beginReadArray(QStringLiteral("option"));
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        lines.append(settings.value(QStringLiteral("line")).toString());
    }
    settings.endArray();
    return lines;
}

QString OptionStore::Value(const QStringList& lines, const QString& name, const QString& absent)
{
    const QString prefix = name + u'=';
    for (const QString& line : lines) {
        if (line.startsWith(prefix, Qt::CaseInsensitive))
            return line.mid(prefix.size());
    }
    return absent;
}

void OptionStore::SetValue(QStringList& lines, const QString& name, const QString& value)
{
    const QString prefix = name + u'=';
    for (QString& line : lines) {
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            line = prefix + value;
            return;
        }
    }
    lines.append(prefix + value);
}
