// The module's entries for the host's loader.
#include "Cli_DFS15001.h"
#include "EventDispatch.h"
#include "PackageInfo.h"

namespace {

const char* const Units[] = {"Cli_DFS15001"};
const PackageInfo Info{"PKG_DFS15001", Units, 1};

} // namespace

FAS_PACKAGE_EXPORT void Initialize()
{
    frmEmissaoNF = nullptr;
}

FAS_PACKAGE_EXPORT void Finalize() {}

// No exception may cross the module boundary: a failure is reported here.
FAS_PACKAGE_EXPORT void IniProc()
{
    Dispatch([] { CriaEmissaoNF(); });
}

FAS_PACKAGE_EXPORT const PackageInfo* GetPackageInfoTable()
{
    return &Info;
}
