#include "FasConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

void applyPort(int& target, const QString& text, const QString& source, QStringList& problems,
               int lowest)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok && value >= lowest && value <= 65535)
        target = value;
    else
        problems.append(QStringLiteral("Porta inválida em %1: \"%2\".").arg(source, text));
}

void applyText(QString& target, const QString& value)
{
    target = value;
}

} // namespace

QString FasConfig::defaultPath()
{
    const QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir(dir).filePath(QStringLiteral("fas.ini"));
}

FasConfig FasConfig::load(const QString& iniPath)
{
    return load(iniPath, QProcessEnvironment::systemEnvironment());
}

namespace {

// The text after "key=" in the section of an INI file, as written (outer blanks trimmed).
QString rawIniValue(const QString& path, const QString& sectionAndKey)
{
    const QString section = sectionAndKey.section(QLatin1Char('/'), 0, 0);
    const QString key = sectionAndKey.section(QLatin1Char('/'), 1);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QString current;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2).trimmed();
        } else if (current.compare(section, Qt::CaseInsensitive) == 0) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            if (equals > 0 && line.left(equals).trimmed() == key)
                return line.mid(equals + 1).trimmed();
        }
    }
    return {};
}

} // namespace

FasConfig FasConfig::load(const QString& iniPath, const QProcessEnvironment& environment)
{
    FasConfig config;
    const QString path = iniPath.isEmpty() ? defaultPath() : iniPath;
    if (QFileInfo::exists(path)) {
        QSettings ini(path, QSettings::IniFormat);
        // QSettings reads an unquoted value with a comma (a password such as abc,def) as a
        // list and drops the blanks around the commas: take such a value from its line.
        const auto iniText = [&ini, &path](const QString& name) {
            const QVariant value = ini.value(name);
            return value.typeId() == QMetaType::QStringList ? rawIniValue(path, name)
                                                            : value.toString();
        };
        const auto text = [&ini, &iniText](const char* key, QString& target) {
            const QString name = QString::fromLatin1(key);
            if (ini.contains(name))
                applyText(target, iniText(name));
        };
        text("web/url", config.webUrl);
        text("database/driver", config.dbDriver);
        text("database/name", config.dbName);
        text("database/host", config.dbHost);
        text("database/user", config.dbUser);
        text("database/password", config.dbPassword);
        if (ini.contains(QStringLiteral("web/port")))
            applyPort(config.webPort, iniText(QStringLiteral("web/port")),
                      path + QStringLiteral(" [web] port"), config.problems, 0);
        if (ini.contains(QStringLiteral("database/port")))
            applyPort(config.dbPort, iniText(QStringLiteral("database/port")),
                      path + QStringLiteral(" [database] port"), config.problems, 0);
    }

    const auto env = [&environment](const char* name, QString& target) {
        const QString key = QString::fromLatin1(name);
        if (environment.contains(key))
            applyText(target, environment.value(key));
    };
    env("FAS_WEB_URL", config.webUrl);
    env("FAS_DB_DRIVER", config.dbDriver);
    env("FAS_DB_NAME", config.dbName);
    env("FAS_DB_HOST", config.dbHost);
    env("FAS_DB_USER", config.dbUser);
    env("FAS_DB_PASSWORD", config.dbPassword);
    if (environment.contains(QStringLiteral("FAS_WEB_PORT")))
        applyPort(config.webPort, environment.value(QStringLiteral("FAS_WEB_PORT")),
                  QStringLiteral("FAS_WEB_PORT"), config.problems, 0);
    if (environment.contains(QStringLiteral("FAS_DB_PORT")))
        applyPort(config.dbPort, environment.value(QStringLiteral("FAS_DB_PORT")),
                  QStringLiteral("FAS_DB_PORT"), config.problems, 0);
    return config;
}
