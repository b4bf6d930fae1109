#pragma once

// Stand-in for the framework's TNumberEdit, only for compiling the forms' generated headers.
#include <QLineEdit>

class TNumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
};
