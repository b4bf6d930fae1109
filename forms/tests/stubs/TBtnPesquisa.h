#pragma once

// Stand-in for the framework's TBtnPesquisa, only for compiling the forms' generated headers.
#include <QToolButton>

class TBtnPesquisa : public QToolButton
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr) : QToolButton(parent) {}
};
