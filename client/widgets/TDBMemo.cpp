#include "TDBMemo.h"

#include "TField.h"

TDBMemo::TDBMemo(QWidget* parent)
    : QPlainTextEdit(parent), FieldBoundControl(new TFieldDataLink(this, [this](TField* field) {
          setPlainText(field ? field->AsString() : QString());
      }))
{
    setReadOnly(true);
}
