#include "Cli_FAS10002.h"

#include "TfrmConfReceb.h"
#include "UnitForm.h"

namespace Cli_FAS10002 {

bool boIdCriado = false;
QPointer<TfrmConfReceb> frmConfReceb;

void CriaConfReceb()
{
    ShowUnitDialog(boIdCriado, frmConfReceb);
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
