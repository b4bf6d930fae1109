#include "FasConfig.h"

#include <QCoreApplication>
#include <QDir>
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

FasConfig FasConfig::load(const QString& iniPath, const QProcessEnvironment& environment)
{
    FasConfig config;
    const QString path = iniPath.isEmpty() ? defaultPath() : iniPath;
    if (QFileInfo::exists(path)) {
        QSettings ini(path, QSettings::IniFormat);
        const auto text = [&ini](const char* key, QString& target) {
            const QString name = QString::fromLatin1(key);
            if (ini.contains(name))
                applyText(target, ini.value(name).toString());
        };
        text("web/url", config.webUrl);
        text("database/driver", config.dbDriver);
        text("database/name", config.dbName);
        text("database/host", config.dbHost);
        text("database/user", config.dbUser);
        text("database/password", config.dbPassword);
        if (ini.contains(QStringLiteral("web/port")))
            applyPort(config.webPort, ini.value(QStringLiteral("web/port")).toString(),
                      path + QStringLiteral(" [web] port"), config.problems, 0);
        if (ini.contains(QStringLiteral("database/port")))
            applyPort(config.dbPort, ini.value(QStringLiteral("database/port")).toString(),
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
