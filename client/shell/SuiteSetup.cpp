#include "SuiteSetup.h"

#include "EAbort.h"
#include "MessageService.h"
#include "ModuleLoader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

bool parseSuiteOptions(const QStringList& arguments, SuiteOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("FAS — aplicação hospedeira das telas"));
    parser.addHelpOption();
    const QCommandLineOption open(QStringLiteral("open"),
                                  QStringLiteral("Abre a tela CODE ao iniciar."),
                                  QStringLiteral("CODE"));
    const QCommandLineOption config(QStringLiteral("config"),
                                    QStringLiteral("Arquivo de configuração (fas.ini)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption modules(QStringLiteral("modules"),
                                     QStringLiteral("Pasta dos módulos das telas."),
                                     QStringLiteral("DIR"));
    parser.addOption(open);
    parser.addOption(config);
    parser.addOption(modules);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "fas-suite: %s\n", qPrintable(parser.errorText()));
        options.exitCode = 2;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        options.exitCode = 0;
        return false;
    }
    options.openAtStart = parser.values(open);
    options.configFile = parser.value(config);
    options.modulesDir = parser.isSet(modules) ? parser.value(modules)
                         : qEnvironmentVariableIsSet("FAS_MODULES_DIR")
                             ? qEnvironmentVariable("FAS_MODULES_DIR")
                             : QCoreApplication::applicationDirPath();
    if (!options.configFile.isEmpty())
        qputenv("FAS_CONFIG", options.configFile.toLocal8Bit());
    return true;
}

void setUpSuiteLocale()
{
    const QString name = qEnvironmentVariable("FAS_LOCALE", QStringLiteral("pt_BR"));
    const QLocale locale(name);
    QLocale::setDefault(locale);
    auto* translator = new QTranslator(qApp);
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

void setUpSuiteFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(11);
    QApplication::setFont(font);
}

void openModule(ModuleLoader& loader, const QString& code)
{
    try {
        loader.open(code);
    } catch (const ModuleError& error) {
        MessageService::instance().error(error.text());
        throw EAbort();
    }
}
