#include "ModuleLoader.h"

#include "FasApplication.h"
#include "PackageInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(lcLoader, "fas.shell.loader")

ModuleLoader::ModuleLoader(QString modulesDir) : dir(std::move(modulesDir)) {}

ModuleLoader::~ModuleLoader()
{
    unloadAll();
}

QString ModuleLoader::modulePath(const QString& code) const
{
    return QDir(dir).filePath(QStringLiteral("libPKG_%1.so").arg(code));
}

bool ModuleLoader::isLoaded(const QString& code) const
{
    return modules.count(code) > 0;
}

const PackageInfo* ModuleLoader::packageInfo(const QString& code) const
{
    auto it = modules.find(code);
    return it == modules.end() ? nullptr : it->second.info;
}

ModuleLoader::Module& ModuleLoader::load(const QString& code)
{
    if (auto it = modules.find(code); it != modules.end())
        return it->second;

    static const QRegularExpression validCode(QStringLiteral("^[A-Za-z0-9_]{1,32}$"));
    if (!validCode.match(code).hasMatch())
        throw ModuleError(QStringLiteral("Código de tela inválido: \"%1\".").arg(code));

    const QString path = modulePath(code);
    if (!QFileInfo::exists(path)) {
        // The user asked for a screen: the file looked for is for the log only.
        qCInfo(lcLoader) << "no module for screen" << code << "at" << path;
        throw ModuleError(QStringLiteral("Tela %1 não encontrada.").arg(code));
    }

    Module module;
    module.library = std::make_unique<QLibrary>(path);
    if (!module.library->load())
        throw ModuleError(QStringLiteral("Não foi possível carregar o módulo da tela %1: %2")
                              .arg(code, module.library->errorString()));

    auto resolve = [&](const char* name) {
        auto fn = module.library->resolve(name);
        if (!fn) {
            module.library->unload();
            throw ModuleError(QStringLiteral("O módulo da tela %1 não tem a entrada %2.")
                                  .arg(code, QString::fromLatin1(name)));
        }
        return fn;
    };
    auto initialize = reinterpret_cast<void (*)()>(resolve("Initialize"));
    module.finalize = reinterpret_cast<void (*)()>(resolve("Finalize"));
    module.iniProc = reinterpret_cast<void (*)()>(resolve("IniProc"));
    auto infoTable = reinterpret_cast<const PackageInfo* (*)()>(resolve("GetPackageInfoTable"));

    module.info = infoTable();
    initialize();
    qCInfo(lcLoader) << "loaded" << path;
    loadOrder.push_back(code);
    return modules.emplace(code, std::move(module)).first->second;
}

void ModuleLoader::open(const QString& code)
{
    Module& module = load(code);
    module.iniProc();
}

void ModuleLoader::unload(const QString& code)
{
    auto it = modules.find(code);
    if (it == modules.end())
        return;
    Module module = std::move(it->second);
    modules.erase(it);
    std::erase(loadOrder, code);

    module.finalize();
    // The application object owns the forms; none may outlive the code that defines them.
    FasApplication::DestroyFormsOf(module.library->fileName());
    if (!module.library->unload())
        qCWarning(lcLoader) << "could not unload" << module.library->fileName();
    qCInfo(lcLoader) << "unloaded" << code;
}

void ModuleLoader::unloadAll()
{
    while (!loadOrder.empty())
        unload(loadOrder.back());
}
