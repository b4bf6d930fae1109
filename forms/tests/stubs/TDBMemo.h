#pragma once

// Stand-in for the framework's TDBMemo, only for compiling the forms' generated headers.
#include <QPlainTextEdit>

class TDBMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}
};
