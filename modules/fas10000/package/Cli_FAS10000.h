#pragma once

#include <QPointer>

class TfrmBCRInvoice;

// The settlement screen's unit: its single instance and the unit-level state.
namespace Cli_FAS10000 {

// True while the screen instance exists and may be reused.
extern bool boIdCriado;
// The screen instance; null while none exists. It clears itself when the screen is destroyed (see
// UnitForm.h for what that means while its destructor runs).
extern QPointer<TfrmBCRInvoice> frmBCRInvoice;
// The select-all switch of the mark column.
extern bool boTodos;

// Creates the screen on first request (or after it was closed), brings it back to its normal
// size and shows it in front, as a child window of the main window.
void CriaBCRInvoice();

void Initialization();
void Finalization();

} // namespace Cli_FAS10000
