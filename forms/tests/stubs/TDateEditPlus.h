#pragma once

// Stand-in for the framework's TDateEditPlus, only for compiling the forms' generated headers.
#include <QLineEdit>

class TDateEditPlus : public QLineEdit
{
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget* parent = nullptr) : QLineEdit(parent) {}
};
