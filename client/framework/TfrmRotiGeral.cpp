#include "TfrmRotiGeral.h"

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : FormDialog(parent) {}

TfrmRotiGeral::~TfrmRotiGeral() = default;

bool TfrmRotiGeral::event(QEvent* event)
{
    // Each opening runs the activation handler once, as the dialog shows. The dialog coming
    // back to the foreground after one of its own messages is no new opening: what the user
    // typed stays.
    if (event->type() == QEvent::Show)
        Dispatch([this] { FormActivate(this); });
    return FormDialog::event(event);
}
