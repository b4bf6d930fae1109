#pragma once

#include <QString>
#include <QStringList>

class ModuleLoader;

struct SuiteOptions
{
    QString modulesDir;      // where libPKG_<code>.so live (default: beside the program)
    QStringList openAtStart; // --open CODE, may repeat
    QString configFile;      // --config FILE
    int exitCode = 0;        // when parsing says to stop (help, bad option)
};

// Parses the command line; false means stop with options.exitCode (help was printed or an
// option was wrong). --config is made visible to the framework's configuration reader.
bool parseSuiteOptions(const QStringList& arguments, SuiteOptions& options);

// pt-BR regional format (unless FAS_LOCALE names another) and Qt's own texts in Portuguese.
void setUpSuiteLocale();

// The screens are laid out in pixels for an 11-pixel sans-serif font: the application font
// keeps that size, so that titles and values fit the columns and fields drawn for them.
void setUpSuiteFont();

// Opens a screen through the loader; a failure is shown to the user and ends the running
// handler silently.
void openModule(ModuleLoader& loader, const QString& code);
