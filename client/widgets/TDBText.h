#pragma once

#include "TFieldDataLink.h"

#include <QLabel>

// A label that shows the display text of one field of the current record of a data source.
class TDBText : public QLabel, public FieldBoundControl
{
    Q_OBJECT

public:
    explicit TDBText(QWidget* parent = nullptr);
};
