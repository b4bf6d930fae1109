#pragma once

#include "TClientDataSet.h"

#include <QObject>
#include <QPointer>
#include <functional>

// Connects data-aware controls to a record set and reports its state changes (open, close,
// edit, post, cancel) through OnStateChange, which runs through the event dispatcher.
class TDataSource : public QObject
{
    Q_OBJECT

public:
    explicit TDataSource(QObject* parent = nullptr);

    TClientDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TClientDataSet* dataSet);
    TDataSetState State() const;

    std::function<void(TDataSource& sender)> OnStateChange;

signals:
    void dataSetChanged(); // another record set is attached

private:
    QPointer<TClientDataSet> m_dataSet;
    QMetaObject::Connection m_stateConnection;
};
