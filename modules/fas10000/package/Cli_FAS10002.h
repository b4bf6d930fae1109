#pragma once

#include <QPointer>

class TfrmConfReceb;

// The unit of the dialog TfrmConfReceb: its single instance and the unit-level state.
namespace Cli_FAS10002 {

// True while the dialog instance exists and may be reused.
extern bool boIdCriado;
// The dialog instance; null while none exists. It clears itself when the dialog is destroyed (see
// UnitForm.h for what that means while its destructor runs).
extern QPointer<TfrmConfReceb> frmConfReceb;

// Creates the dialog on its first request and shows it modally; returns when it has closed.
void CriaConfReceb();

void Initialization();
void Finalization();

} // namespace Cli_FAS10002
