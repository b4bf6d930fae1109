#include "FasConfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

// A port, or a number of seconds (`what` names it in the problem: "Porta inválida").
void applyPort(int& target, const QString& text, const QString& source, QStringList& problems,
               int lowest, const char* what = "Porta inválida")
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok && value >= lowest && value <= 65535)
        target = value;
    else
        problems.append(
            QStringLiteral("%1 em %2: \"%3\".").arg(QString::fromUtf8(what), source, text));
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

// Each setting once: its INI key, its environment variable and the member it fills.
namespace {

struct TextSetting
{
    const char* iniKey;
    const char* variable;
    QString FasConfig::*target;
};
constexpr TextSetting textSettings[] = {
    {"web/url", "FAS_WEB_URL", &FasConfig::webUrl},
    {"database/driver", "FAS_DB_DRIVER", &FasConfig::dbDriver},
    {"database/name", "FAS_DB_NAME", &FasConfig::dbName},
    {"database/host", "FAS_DB_HOST", &FasConfig::dbHost},
    {"database/user", "FAS_DB_USER", &FasConfig::dbUser},
    {"database/password", "FAS_DB_PASSWORD", &FasConfig::dbPassword},
    {"web/token", "FAS_TOKEN", &FasConfig::webToken},
    {"web/tls", "FAS_WEB_TLS", &FasConfig::webTls},
    {"web/ca", "FAS_WEB_CA", &FasConfig::webCaFile},
    {"web/cert", "FAS_TLS_CERT", &FasConfig::tlsCertFile},
    {"web/key", "FAS_TLS_KEY", &FasConfig::tlsKeyFile},
    {"web/hosts", "FAS_WEB_HOSTS", &FasConfig::webHosts},
};
struct PortSetting
{
    const char* iniKey;
    const char* iniName; // how a problem names it in the file
    const char* variable;
    int FasConfig::*target;
    const char* what = "Porta inválida";
};
constexpr PortSetting portSettings[] = {
    {"web/port", " [web] port", "FAS_WEB_PORT", &FasConfig::webPort},
    {"database/port", " [database] port", "FAS_DB_PORT", &FasConfig::dbPort},
    {"web/timeout", " [web] timeout", "FAS_WEB_TIMEOUT", &FasConfig::webTimeout,
     "Tempo limite inválido"},
};

} // namespace

bool FasConfig::tls() const
{
    const QString value = webTls.trimmed().toLower();
    return value == QLatin1String("1") || value == QLatin1String("true") ||
           value == QLatin1String("sim");
}

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
        for (const TextSetting& setting : textSettings) {
            const QString name = QString::fromLatin1(setting.iniKey);
            if (ini.contains(name))
                applyText(config.*setting.target, iniText(name));
        }
        for (const PortSetting& setting : portSettings) {
            const QString name = QString::fromLatin1(setting.iniKey);
            if (ini.contains(name))
                applyPort(config.*setting.target, iniText(name),
                          path + QLatin1String(setting.iniName), config.problems, 0, setting.what);
        }
    }

    for (const TextSetting& setting : textSettings) {
        const QString name = QString::fromLatin1(setting.variable);
        if (environment.contains(name))
            applyText(config.*setting.target, environment.value(name));
    }
    for (const PortSetting& setting : portSettings) {
        const QString name = QString::fromLatin1(setting.variable);
        if (environment.contains(name))
            applyPort(config.*setting.target, environment.value(name), name, config.problems, 0,
                      setting.what);
    }
    return config;
}
