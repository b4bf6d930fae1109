#pragma once

#include "DataSourceBinding.h"

#include <QPointer>
#include <QWidget>

class QToolButton;

// The record navigator: first, prior, next and last record of the data source it is given.
// A button is enabled only when its move can happen (an open record set, not already at
// that end). Moves run through the event dispatcher, so a failing post of a pending edit is
// reported and never reaches Qt's event loop.
class TDBNavigator : public QWidget
{
    Q_OBJECT

public:
    enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast };

    explicit TDBNavigator(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return m_binding->source(); }
    void SetDataSource(TDataSource* dataSource);

    // Moves as the button would (nothing when the button is disabled).
    void BtnClick(TNavigateBtn button);
    QToolButton* Button(TNavigateBtn button) const { return m_buttons[button]; }

private:
    void attach();
    void updateButtons();
    TClientDataSet* dataSet() const { return m_binding->dataSet(); }

    DataSourceBinding* m_binding;
    QToolButton* m_buttons[4] = {};
};
