#pragma once

// Stand-in for the framework's TDBEdit, only for compiling the forms' generated headers.
#include <QLineEdit>

class TDBEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
};
