#pragma once

#include "EventDispatch.h"

#include <QCloseEvent>
#include <QDialog>

// What happens to a form once its close handler has run: nothing (the form stays open), it
// is hidden, it is destroyed, or it is minimized.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

// Runs a dialog's close handler (through the dispatcher) and applies the action it leaves.
// A handler that fails keeps the dialog open, as caNone does. Hiding ends a modal showing.
template <typename Handler>
void ApplyDialogClose(QDialog& dialog, QCloseEvent& event, Handler handler)
{
    TCloseAction action = caHide;
    if (!Dispatch([&] { handler(action); }) || action == caNone) {
        event.ignore();
        return;
    }
    event.accept();
    dialog.setResult(QDialog::Rejected);
    if (action == caMinimize)
        dialog.showMinimized();
    else if (action == caFree)
        dialog.deleteLater();
}
