#include "WebConfig.h"

#include "FasConfig.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// The file named by "--config FILE" or "--config=FILE" on the program's command line.
QString configPath()
{
    if (!QCoreApplication::instance())
        return {};
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--config") && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (argument.startsWith(QLatin1String("--config=")))
            return argument.mid(9);
    }
    return {};
}

} // namespace

FasConfig WebConfiguration()
{
    return FasConfig::load(configPath());
}

QString WebURL()
{
    return WebConfiguration().webUrl;
}

int WebPort()
{
    return WebConfiguration().webPort;
}
