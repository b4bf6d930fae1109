#include "TDataSource.h"

#include "EventDispatch.h"

TDataSource::TDataSource(QObject* parent) : QObject(parent) {}

void TDataSource::SetDataSet(TClientDataSet* dataSet)
{
    if (m_dataSet == dataSet)
        return;
    QObject::disconnect(m_stateConnection);
    m_dataSet = dataSet;
    if (m_dataSet) {
        m_stateConnection = connect(m_dataSet, &TClientDataSet::stateChanged, this, [this] {
            if (OnStateChange)
                Dispatch([this] { OnStateChange(*this); });
        });
    }
    emit dataSetChanged();
}

TDataSetState TDataSource::State() const
{
    return m_dataSet ? m_dataSet->State() : TDataSetState::Inactive;
}
