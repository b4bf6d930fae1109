#pragma once

#include "TFieldDataLink.h"

#include <QPlainTextEdit>

// Shows the text of one field of the current record of a data source, on several lines;
// read-only.
class TDBMemo : public QPlainTextEdit, public FieldBoundControl
{
    Q_OBJECT

public:
    explicit TDBMemo(QWidget* parent = nullptr);
};
