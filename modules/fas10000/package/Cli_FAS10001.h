#pragma once

#include <QPointer>
#include <QString>

class TfrmFiltroBCRInvoice;

// The unit of the dialog TfrmFiltroBCRInvoice: its single instance and the unit-level state.
namespace Cli_FAS10001 {

// True while the dialog instance exists and may be reused.
extern bool boIdCriado;
// The dialog instance; null while none exists. It clears itself when the dialog is destroyed (see
// UnitForm.h for what that means while its destructor runs).
extern QPointer<TfrmFiltroBCRInvoice> frmFiltroBCRInvoice;
// The customer list of the filter (the keys of the chosen customers).
extern QString stCliente;

// Creates the dialog on its first request and shows it modally; returns when it has closed.
void CriaFiltroBCRInvoice();

void Initialization();
void Finalization();

} // namespace Cli_FAS10001
