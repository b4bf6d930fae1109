#pragma once

// Stand-in for the framework's TButtonFlat, only for compiling the forms' generated headers.
#include <QToolButton>

class TButtonFlat : public QToolButton
{
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr) : QToolButton(parent) {}
};
