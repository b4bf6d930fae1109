#include "Cli_FAS10000.h"

#include "BusyAnimation.h"
#include "FasApplication.h"
#include "TfrmBCRInvoice.h"

namespace Cli_FAS10000 {

bool boIdCriado = false;
TfrmBCRInvoice* frmBCRInvoice = nullptr;
bool boTodos = false;

void CriaBCRInvoice()
{
    const HourglassGuard hourglass;
    if (!boIdCriado) {
        frmBCRInvoice = FasApplication::CreateForm<TfrmBCRInvoice>();
        boIdCriado = true;
    }
    FasApplication::ShowMdiChild(frmBCRInvoice);
}

void Initialization()
{
    boIdCriado = false;
    // A module loaded again may keep its data from the previous load; the instance of that
    // load is gone with it.
    frmBCRInvoice = nullptr;
}

void Finalization() {}

} // namespace Cli_FAS10000
