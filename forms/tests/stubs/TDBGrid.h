#pragma once

// Stand-in for the framework's TDBGrid, only for compiling the forms' generated headers.
#include <QTableView>

class TDBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr) : QTableView(parent) {}
};
