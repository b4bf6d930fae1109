// The screen module PKG_FAS10000: the package protocol the host's loader calls, and the entry
// that opens the settlement screen.

#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10002.h"
#include "Cli_FAS10003.h"
#include "PackageInfo.h"

namespace {

// The module's units in initialisation order; finalisation runs them in reverse.
struct Unit
{
    const char* name;
    void (*initialization)();
    void (*finalization)();
};

constexpr Unit units[] = {
    {"Cli_FAS10001", Cli_FAS10001::Initialization, Cli_FAS10001::Finalization},
    {"Cli_FAS10002", Cli_FAS10002::Initialization, Cli_FAS10002::Finalization},
    {"Cli_FAS10003", Cli_FAS10003::Initialization, Cli_FAS10003::Finalization},
    {"Cli_FAS10000", Cli_FAS10000::Initialization, Cli_FAS10000::Finalization},
};
constexpr int unitCount = int(std::size(units));

constexpr const char* unitNames[] = {units[0].name, units[1].name, units[2].name, units[3].name};
static_assert(std::size(unitNames) == std::size(units));

constexpr PackageInfo packageInfo{"PKG_FAS10000", unitNames, unitCount};

// Initialize and Finalize pair up: a second Initialize without a Finalize in between runs
// nothing, and so does a Finalize without a preceding Initialize.
bool initialized = false;

} // namespace

FAS_PACKAGE_EXPORT void Initialize()
{
    if (initialized)
        return;
    for (const Unit& unit : units)
        unit.initialization();
    initialized = true;
}

FAS_PACKAGE_EXPORT void Finalize()
{
    if (!initialized)
        return;
    for (int i = unitCount - 1; i >= 0; --i)
        units[i].finalization();
    initialized = false;
}

FAS_PACKAGE_EXPORT void IniProc()
{
    Cli_FAS10000::CriaBCRInvoice();
}

FAS_PACKAGE_EXPORT const PackageInfo* GetPackageInfoTable()
{
    return &packageInfo;
}
