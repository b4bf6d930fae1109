#include "TDBText.h"

TDBText::TDBText(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TDBText::SetDataSource(TDataSource* dataSource)
{
    if (m_dataSource)
        disconnect(m_dataSource, &TDataSource::dataSetChanged, this, nullptr);
    m_dataSource = dataSource;
    if (m_dataSource)
        connect(m_dataSource, &TDataSource::dataSetChanged, this, [this] { attach(); });
    attach();
}

void TDBText::SetDataField(const QString& fieldName)
{
    m_dataField = fieldName;
    refresh();
}

void TDBText::attach()
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (TClientDataSet* set = m_dataSource ? m_dataSource->DataSet() : nullptr) {
        m_connections << connect(set, &TClientDataSet::dataReset, this, [this] { refresh(); });
        m_connections << connect(set, &TClientDataSet::cursorMoved, this, [this] { refresh(); });
        m_connections << connect(set, &TClientDataSet::rowChanged, this, [this] { refresh(); });
        m_connections << connect(set, &TClientDataSet::stateChanged, this, [this] {
            if (!m_dataSource->DataSet()->ControlsDisabled())
                refresh();
        });
    }
    refresh();
}

void TDBText::refresh()
{
    TClientDataSet* set = m_dataSource ? m_dataSource->DataSet() : nullptr;
    TField* field = set && set->Active() && !set->IsEmpty() ? set->FindField(m_dataField) : nullptr;
    setText(field ? field->DisplayText() : QString());
}
