#include "LoadBPL.h"

#include "EAbort.h"
#include "MessageService.h"

namespace {

ModuleOpener& opener()
{
    static ModuleOpener instance;
    return instance;
}

} // namespace

void SetModuleOpener(ModuleOpener newOpener)
{
    opener() = std::move(newOpener);
}

void LoadBPL(const QString& code)
{
    if (!opener()) {
        MessageService::instance().error(
            QStringLiteral("A tela %1 não pode ser aberta fora do sistema.").arg(code));
        throw EAbort();
    }
    opener()(code);
}
