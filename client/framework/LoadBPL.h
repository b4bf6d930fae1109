#pragma once

#include <QString>
#include <functional>

// Opens another screen of the suite by its code, loading its module on demand. The host
// application installs the loader; without one (a screen running outside the suite) the
// call reports that the screen cannot be opened.
using ModuleOpener = std::function<void(const QString& code)>;

void SetModuleOpener(ModuleOpener opener);

// Opens the screen. A failure (missing module, missing entry) is shown to the user and
// ends the running handler silently (EAbort).
void LoadBPL(const QString& code);
