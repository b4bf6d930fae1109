#include "TDBEdit.h"

#include "TField.h"

TDBEdit::TDBEdit(QWidget* parent)
    : QLineEdit(parent), FieldBoundControl(new TFieldDataLink(this, [this](TField* field) {
          setText(field ? field->DisplayText() : QString());
          setCursorPosition(0);
      }))
{
    setReadOnly(true);
}
