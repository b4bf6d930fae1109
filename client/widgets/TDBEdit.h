#pragma once

#include "TFieldDataLink.h"

#include <QLineEdit>

// Shows the display text of one field of the current record of a data source; read-only.
class TDBEdit : public QLineEdit, public FieldBoundControl
{
    Q_OBJECT

public:
    explicit TDBEdit(QWidget* parent = nullptr);
};
