#include "Cli_FAS10003.h"

#include "TfrmPrevCambDolar.h"
#include "UnitForm.h"

namespace Cli_FAS10003 {

bool boIdCriado = false;
QPointer<TfrmPrevCambDolar> frmPrevCambDolar;

void CriaPrevCambDolar()
{
    ShowUnitDialog(boIdCriado, frmPrevCambDolar);
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
