#pragma once

// Stand-in for the framework's TDBText, only for compiling the forms' generated headers.
#include <QLabel>

class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr) : QLabel(parent) {}
};
