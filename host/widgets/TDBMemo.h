#pragma once

#include "TDataSource.h"

#include <QPlainTextEdit>
#include <QPointer>

// Shows the text of one field of the current record of a data source, on several lines;
// read-only.
class TDBMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TDBMemo(QWidget* parent = nullptr);

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
