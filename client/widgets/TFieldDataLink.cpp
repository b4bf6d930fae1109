#include "TFieldDataLink.h"

TFieldDataLink::TFieldDataLink(QObject* owner, std::function<void(TField*)> onRefresh)
    : QObject(owner), m_onRefresh(std::move(onRefresh)),
      m_binding(new DataSourceBinding(this, [this](TClientDataSet* set) { attach(set); }))
{}

void TFieldDataLink::SetDataSource(TDataSource* dataSource)
{
    m_binding->setSource(dataSource);
}

void TFieldDataLink::SetDataField(const QString& fieldName)
{
    m_dataField = fieldName;
    Refresh();
}

void TFieldDataLink::attach(TClientDataSet* set)
{
    m_binding->follow(&TClientDataSet::dataReset, [this] { Refresh(); });
    m_binding->follow(&TClientDataSet::cursorMoved, [this] { Refresh(); });
    m_binding->follow(&TClientDataSet::rowChanged, [this] { Refresh(); });
    m_binding->follow(&TClientDataSet::stateChanged, [this, set] {
        if (!set->ControlsDisabled())
            Refresh();
    });
    Refresh();
}

void TFieldDataLink::Refresh()
{
    TClientDataSet* set = m_binding->dataSet();
    TField* field = set && set->Active() && !set->IsEmpty() ? set->FindField(m_dataField) : nullptr;
    m_onRefresh(field);
}
