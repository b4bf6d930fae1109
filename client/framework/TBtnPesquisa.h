#pragma once

#include "TDataSource.h"

#include <QPointer>
#include <QToolButton>
#include <functional>

// A lookup button tied to an edit (Associate) and a data source. A click runs OnBeforePesq
// (which may refuse by clearing its flag), then shows a single-choice list over the data
// source's rows titled Title; the row the user picks becomes the current record and
// OnAfterPesq runs, and the focus goes to the associated control. With no rows, EmptyError
// is shown instead. Like a speed button, it never takes the focus itself.
class TBtnPesquisa : public QToolButton
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);

    QString Title;
    QString EmptyError;
    QWidget* Associate() const { return m_associate; }
    void SetAssociate(QWidget* associate) { m_associate = associate; }
    TDataSource* DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource* dataSource) { m_dataSource = dataSource; }

    std::function<void(bool& proceed)> OnBeforePesq;
    std::function<void()> OnAfterPesq;

    // What a click does (through the dispatcher); true when a row was picked.
    bool Pesquisa();

private:
    QPointer<QWidget> m_associate;
    QPointer<TDataSource> m_dataSource;
};
