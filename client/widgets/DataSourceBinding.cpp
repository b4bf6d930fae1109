#include "DataSourceBinding.h"

DataSourceBinding::DataSourceBinding(QObject* owner, Attach attach)
    : QObject(owner), m_attach(std::move(attach))
{}

void DataSourceBinding::setSource(TDataSource* source)
{
    if (m_source)
        disconnect(m_source, &TDataSource::dataSetChanged, this, nullptr);
    m_source = source;
    if (m_source)
        connect(m_source, &TDataSource::dataSetChanged, this, [this] { reattach(); });
    reattach();
}

void DataSourceBinding::reattach()
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_attach(dataSet());
}
