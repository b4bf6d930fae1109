#pragma once

#include "MessageService.h"

#include <QString>

class QWidget;

// Shows `text` to the user as an error; with `abort` true it then throws the silent EAbort,
// so that nothing after the call runs.
void MensErro(const QString& text, bool abort);

// True when the text is empty or holds only blanks.
bool EmptyString(const QString& text);

// The text brought to `width` characters: blanks around it are dropped, then a code of digits
// is padded on the left with zeros ("1" -> "01"), any other text on the right with blanks.
// A text already longer than `width` is returned trimmed but not cut.
QString Ajusta(const QString& text, int width);

// The value rounded to `decimals` places, halves away from zero, on the value's shortest
// decimal form (so 1.005 gives 1.01 although 1.005 is stored a little below it).
double RoundDec(double value, int decimals);

// The toolkit's message dialog types, in their usual order.
enum TMsgDlgType {
    mtWarning = 0,
    mtError = 1,
    mtInformation = 2,
    mtConfirmation = 3,
    mtCustom = 4
};

// A message dialog through the message service. `buttons` is a set of MessageService::Button
// values; the answer tells which button closed it. `details` goes below a question's text.
MessageService::Answer MessageDlg(const QString& text, TMsgDlgType type, int buttons,
                                  int helpContext = 0, const QString& details = {});

// The application's main window, as the host registered it; when none is registered, the
// active window (or nullptr).
QWidget* MainForm();
