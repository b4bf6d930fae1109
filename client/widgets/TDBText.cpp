#include "TDBText.h"

#include "TField.h"

TDBText::TDBText(QWidget* parent)
    : QLabel(parent), FieldBoundControl(new TFieldDataLink(this, [this](TField* field) {
          setText(field ? field->DisplayText() : QString());
      }))
{
    setTextFormat(Qt::PlainText);
}
