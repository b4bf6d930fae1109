#include "Cli_FAS10001.h"

#include "BusyAnimation.h"
#include "FasApplication.h"
#include "ShowModal.h"
#include "TfrmFiltroBCRInvoice.h"

namespace Cli_FAS10001 {

bool boIdCriado = false;
TfrmFiltroBCRInvoice* frmFiltroBCRInvoice = nullptr;
QString stCliente;

void CriaFiltroBCRInvoice()
{
    {
        const HourglassGuard hourglass;
        if (!boIdCriado) {
            frmFiltroBCRInvoice = FasApplication::CreateForm<TfrmFiltroBCRInvoice>();
            boIdCriado = true;
        }
    }
    ShowModal(*frmFiltroBCRInvoice);
    frmFiltroBCRInvoice->setWindowState(Qt::WindowNoState);
}

void Initialization()
{
    boIdCriado = false;
    // A module loaded again may keep its data from the previous load; the instance of that
    // load is gone with it.
    frmFiltroBCRInvoice = nullptr;
}

void Finalization()
{
    stCliente.clear();
}

} // namespace Cli_FAS10001
