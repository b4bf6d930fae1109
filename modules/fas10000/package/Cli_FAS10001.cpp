#include "Cli_FAS10001.h"

#include "TfrmFiltroBCRInvoice.h"
#include "UnitForm.h"

namespace Cli_FAS10001 {

bool boIdCriado = false;
QPointer<TfrmFiltroBCRInvoice> frmFiltroBCRInvoice;
QString stCliente;

void CriaFiltroBCRInvoice()
{
    ShowUnitDialog(boIdCriado, frmFiltroBCRInvoice);
    if (frmFiltroBCRInvoice)
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
