#pragma once

class QDialog;

// Shows a dialog modally and returns when it has closed. The dialog is hidden first (a modal
// showing starts from a hidden form), and the cursor is the normal arrow while the user works
// in it, whatever busy cursor the caller shows.
void ShowModal(QDialog& dialog);
