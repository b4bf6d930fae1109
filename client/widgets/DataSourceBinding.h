#pragma once

#include "TDataSource.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

// How a data control follows a data source and the record set it shows: whenever either
// changes, the connections made to the previous record set are dropped and `attach` runs with
// the current one (nullptr when there is none), connecting to it through `follow`.
class DataSourceBinding : public QObject
{
    Q_OBJECT

public:
    using Attach = std::function<void(TClientDataSet*)>;

    DataSourceBinding(QObject* owner, Attach attach);

    TDataSource* source() const { return m_source; }
    TClientDataSet* dataSet() const { return m_source ? m_source->DataSet() : nullptr; }
    void setSource(TDataSource* source);

    // Connects a signal of the current record set until the next change.
    template <typename Signal, typename Slot> void follow(Signal signal, Slot slot)
    {
        if (TClientDataSet* set = dataSet())
            m_connections << connect(set, signal, this, std::move(slot));
    }

private:
    void reattach();

    Attach m_attach;
    QPointer<TDataSource> m_source;
    QList<QMetaObject::Connection> m_connections;
};
