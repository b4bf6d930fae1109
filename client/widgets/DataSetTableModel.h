#pragma once

#include "TClientDataSet.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QPointer>

// A table model over the visible (filtered) records of a record set, one column per grid
// column (a field name, a title, a title font). Cells are read by position in O(1) without
// moving the record set's cursor. It follows the record set's view signals; while the
// record set's controls are disabled it hears nothing and keeps its old row count, so every
// read is bounds-checked against the record set.
class DataSetTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct ColumnSpec
    {
        QString fieldName;
        QString title; // empty: the field's display label
        QFont titleFont;
        bool hasTitleFont = false;
    };

    explicit DataSetTableModel(QObject* parent = nullptr);

    void setDataSet(TClientDataSet* dataSet);
    TClientDataSet* dataSet() const { return m_dataSet; }
    void setColumns(const QList<ColumnSpec>& columns);
    const QList<ColumnSpec>& columns() const { return m_columns; }
    TField* fieldOf(int column) const; // nullptr when the record set lacks it
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void resolveFields();

    QPointer<TClientDataSet> m_dataSet;
    QList<ColumnSpec> m_columns;
    QList<int> m_fieldIndex; // per column, -1 when unresolved
    int m_rows = 0;
    QList<QMetaObject::Connection> m_connections;
};
