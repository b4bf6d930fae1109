#include "FasApplication.h"
#include "LoadBPL.h"
#include "MainWindow.h"
#include "ModuleLoader.h"
#include "SuiteSetup.h"
#include "SuiteStyle.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new SuiteStyle);
    SuiteOptions options;
    if (!parseSuiteOptions(app.arguments(), options))
        return options.exitCode;
    setUpSuiteLocale();
    setUpSuiteFont();

    ModuleLoader loader(options.modulesDir);
    const ModuleOpener opener = [&loader](const QString& code) { openModule(loader, code); };
    MainWindow window(opener);
    FasApplication::SetMainForm(&window, window.mdiArea());
    SetModuleOpener(opener);
    // Up to full HD the settlement screen's columns fit only in the whole screen; larger
    // screens keep the window's own size.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->availableSize().width() <= 1920)
        window.showMaximized();
    else
        window.show();
    for (const QString& code : options.openAtStart)
        QTimer::singleShot(0, &window, [&window, code] { window.openCode(code); });

    const int rc = app.exec();
    // Screens first, then their modules: no form may outlive the code that defines it.
    FasApplication::DestroyAllForms();
    loader.unloadAll();
    SetModuleOpener({});
    FasApplication::SetMainForm(nullptr, nullptr);
    return rc;
}
