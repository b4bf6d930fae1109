#include "Cli_FAS10002.h"

#include "BusyAnimation.h"
#include "FasApplication.h"
#include "ShowModal.h"
#include "TfrmConfReceb.h"

namespace Cli_FAS10002 {

bool boIdCriado = false;
TfrmConfReceb* frmConfReceb = nullptr;

void CriaConfReceb()
{
    {
        const HourglassGuard hourglass;
        if (!boIdCriado) {
            frmConfReceb = FasApplication::CreateForm<TfrmConfReceb>();
            boIdCriado = true;
        }
    }
    ShowModal(*frmConfReceb);
}

void Initialization()
{
    boIdCriado = false;
    // A module loaded again may keep its data from the previous load; the instance of that
    // load is gone with it.
    frmConfReceb = nullptr;
}

void Finalization() {}

} // namespace Cli_FAS10002
