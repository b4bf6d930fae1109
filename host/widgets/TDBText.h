#pragma once

#include "TDataSource.h"

#include <QLabel>
#include <QPointer>

// A label that shows the display text of one field of the current record of a data source.
class TDBText : public QLabel
{
    Q_OBJECT

public:
    explicit TDBText(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource* dataSource);
    const QString& DataField() const { return m_dataField; }
    void SetDataField(const QString& fieldName);

private:
    void attach();
    void refresh();

    QPointer<TDataSource> m_dataSource;
    QString m_dataField;
    QList<QMetaObject::Connection> m_connections;
};
