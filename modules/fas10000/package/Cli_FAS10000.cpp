#include "Cli_FAS10000.h"

#include "TfrmBCRInvoice.h"
#include "UnitForm.h"

namespace Cli_FAS10000 {

bool boIdCriado = false;
QPointer<TfrmBCRInvoice> frmBCRInvoice;
bool boTodos = false;

void CriaBCRInvoice()
{
    const HourglassGuard hourglass;
    FasApplication::ShowMdiChild(&UnitForm(boIdCriado, frmBCRInvoice));
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
