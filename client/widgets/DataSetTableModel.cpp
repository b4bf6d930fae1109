#include "DataSetTableModel.h"

DataSetTableModel::DataSetTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataSetTableModel::setDataSet(TClientDataSet* dataSet)
{
    for (const auto& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    m_dataSet = dataSet;
    if (m_dataSet) {
        m_connections << connect(m_dataSet, &TClientDataSet::dataReset, this,
                                 &DataSetTableModel::refresh);
        m_connections << connect(m_dataSet, &TClientDataSet::rowChanged, this, [this](int row) {
            // Without columns a row has no cells to name: nothing to tell.
            if (row >= 0 && row < m_rows && columnCount() > 0)
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
    }
    refresh();
}

void DataSetTableModel::setColumns(const QList<ColumnSpec>& columns)
{
    beginResetModel();
    m_columns = columns;
    resolveFields();
    endResetModel();
}

void DataSetTableModel::resolveFields()
{
    m_fieldIndex.clear();
    for (const ColumnSpec& column : std::as_const(m_columns)) {
        const TField* field = m_dataSet ? m_dataSet->FindField(column.fieldName) : nullptr;
        m_fieldIndex.append(field ? field->Index() : -1);
    }
    m_rows = m_dataSet ? m_dataSet->RecordCount() : 0;
}

void DataSetTableModel::refresh()
{
    beginResetModel();
    resolveFields();
    endResetModel();
}

TField* DataSetTableModel::fieldOf(int column) const
{
    if (!m_dataSet || column < 0 || column >= m_fieldIndex.size())
        return nullptr;
    // The record set may have dropped its fields (ClearFields while closed) without a reset.
    const int fieldIndex = m_fieldIndex.at(column);
    if (fieldIndex < 0 || fieldIndex >= m_dataSet->FieldCount())
        return nullptr;
    return &m_dataSet->Fields(fieldIndex);
}

int DataSetTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DataSetTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetTableModel::data(const QModelIndex& index, int role) const
{
    const TField* field = fieldOf(index.column());
    if (!field || index.row() >= m_dataSet->RecordCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return m_dataSet->displayTextAt(index.row(), field->Index());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(field->Alignment());
    default:
        return QVariant();
    }
}

QVariant DataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const ColumnSpec& column = m_columns.at(section);
    if (role == Qt::DisplayRole) {
        if (!column.title.isEmpty())
            return column.title;
        const TField* field = fieldOf(section);
        return field ? field->DisplayLabel() : column.fieldName;
    }
    if (role == Qt::FontRole && column.hasTitleFont)
        return column.titleFont;
    return QVariant();
}

Qt::ItemFlags DataSetTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
