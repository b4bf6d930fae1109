#pragma once

#include "TFieldDataLink.h"

#include <QLabel>

// A label that shows the display text of one field of the current record of a data source.
class TDBText : public QLabel
{
    Q_OBJECT

public:
    explicit TDBText(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return m_link->DataSource(); }
    void SetDataSource(TDataSource* dataSource) { m_link->SetDataSource(dataSource); }
    const QString& DataField() const { return m_link->DataField(); }
    void SetDataField(const QString& fieldName) { m_link->SetDataField(fieldName); }

private:
    TFieldDataLink* m_link;
};
