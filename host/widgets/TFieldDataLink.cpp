#include "TFieldDataLink.h"

TFieldDataLink::TFieldDataLink(QObject* owner, std::function<void(TField*)> onRefresh)
    : QObject(owner), m_onRefresh(std::move(onRefresh))
{}

void TFieldDataLink::SetDataSource(TDataSource* dataSource)
{
    if (m_dataSource)
        disconnect(m_dataSource, &TDataSource::dataSetChanged, this, nullptr);
    m_dataSource = dataSource;
    if (m_dataSource)
        connect(m_dataSource, &TDataSource::dataSetChanged, this, [this] { attach(); });
    attach();
}

void TFieldDataLink::SetDataField(const QString& fieldName)
{
    m_dataField = fieldName;
    Refresh();
}

void TFieldDataLink::attach()
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (TClientDataSet* set = m_dataSource ? m_dataSource->DataSet() : nullptr) {
        m_connections << connect(set, &TClientDataSet::dataReset, this, [this] { Refresh(); });
        m_connections << connect(set, &TClientDataSet::cursorMoved, this, [this] { Refresh(); });
        m_connections << connect(set, &TClientDataSet::rowChanged, this, [this] { Refresh(); });
        m_connections << connect(set, &TClientDataSet::stateChanged, this, [this] {
            if (!m_dataSource->DataSet()->ControlsDisabled())
                Refresh();
        });
    }
    Refresh();
}

void TFieldDataLink::Refresh()
{
    TClientDataSet* set = m_dataSource ? m_dataSource->DataSet() : nullptr;
    TField* field = set && set->Active() && !set->IsEmpty() ? set->FindField(m_dataField) : nullptr;
    m_onRefresh(field);
}
