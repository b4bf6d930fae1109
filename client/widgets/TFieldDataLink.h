#pragma once

#include "DataSourceBinding.h"

#include <QObject>
#include <QPointer>
#include <functional>

class TField;

// The tie between a data control and one field of a data source's record set: it follows the
// data source's record set, and calls OnRefresh whenever what the control shows may have
// changed (new data, another current record, a changed value, a state change while controls
// are enabled). OnRefresh receives the field of the current record, or nullptr when there is
// none (no data source, an unknown field, a closed or empty record set).
class TFieldDataLink : public QObject
{
    Q_OBJECT

public:
    explicit TFieldDataLink(QObject* owner, std::function<void(TField*)> onRefresh);

    TDataSource* DataSource() const { return m_binding->source(); }
    void SetDataSource(TDataSource* dataSource);
    const QString& DataField() const { return m_dataField; }
    void SetDataField(const QString& fieldName);

    void Refresh();

private:
    void attach(TClientDataSet* set);

    std::function<void(TField*)> m_onRefresh;
    DataSourceBinding* m_binding;
    QString m_dataField;
};

// The data source and field of a data control, kept by its field data link.
class FieldBoundControl
{
public:
    TDataSource* DataSource() const { return m_link->DataSource(); }
    void SetDataSource(TDataSource* dataSource) { m_link->SetDataSource(dataSource); }
    const QString& DataField() const { return m_link->DataField(); }
    void SetDataField(const QString& fieldName) { m_link->SetDataField(fieldName); }

protected:
    explicit FieldBoundControl(TFieldDataLink* link) : m_link(link) {}
    ~FieldBoundControl() = default;

private:
    TFieldDataLink* m_link;
};
