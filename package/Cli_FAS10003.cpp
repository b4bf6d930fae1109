#include "Cli_FAS10003.h"

#include "BusyAnimation.h"
#include "FasApplication.h"
#include "ShowModal.h"
#include "TfrmPrevCambDolar.h"

namespace Cli_FAS10003 {

bool boIdCriado = false;
TfrmPrevCambDolar* frmPrevCambDolar = nullptr;

void CriaPrevCambDolar()
{
    {
        const HourglassGuard hourglass;
        if (!boIdCriado) {
            frmPrevCambDolar = FasApplication::CreateForm<TfrmPrevCambDolar>();
            boIdCriado = true;
        }
    }
    ShowModal(*frmPrevCambDolar);
}

void Initialization()
{
    boIdCriado = false;
    // A module loaded again may keep its data from the previous load; the instance of that
    // load is gone with it.
    frmPrevCambDolar = nullptr;
}

void Finalization() {}

} // namespace Cli_FAS10003
