#pragma once

#include <QLibrary>
#include <QString>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

struct PackageInfo;

// A module could not be opened: the text says why, in Portuguese.
class ModuleError : public std::runtime_error
{
public:
    explicit ModuleError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Loads screen modules (libPKG_<code>.so) from one folder. A module is initialised once,
// right after loading; its entry IniProc runs on every request to open the screen; it is
// finalised and unloaded when the loader goes away (application end) or on request.
class ModuleLoader
{
public:
    explicit ModuleLoader(QString modulesDir);
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Loads the module of the screen when needed, then calls its IniProc.
    void open(const QString& code);

    bool isLoaded(const QString& code) const;
    const PackageInfo* packageInfo(const QString& code) const;

    // Finalises the module, destroys the forms it created and unloads it.
    void unload(const QString& code);
    void unloadAll();

    QString modulePath(const QString& code) const;

private:
    struct Module
    {
        std::unique_ptr<QLibrary> library;
        void (*iniProc)() = nullptr;
        void (*finalize)() = nullptr;
        const PackageInfo* info = nullptr;
    };

    Module& load(const QString& code);

    QString dir;
    std::map<QString, Module> modules;
    std::vector<QString> loadOrder;
};
