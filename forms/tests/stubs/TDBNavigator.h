#pragma once

// Stand-in for the framework's TDBNavigator, only for compiling the forms' generated headers.
#include <QWidget>

class TDBNavigator : public QWidget
{
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget* parent = nullptr) : QWidget(parent) {}
};
