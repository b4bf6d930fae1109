#pragma once

#include "TCloseAction.h"
#include "TDataSource.h"
#include "TMessages.h"

#include <QWidget>

class QMdiSubWindow;

// The base of the suite's grid screens: an MDI child window with a tool panel, a main grid
// on the data source dtsPadrao, a record navigator and the standard menus.
//
// The descendant builds the whole form from its .ui (the inherited controls carry the names
// panMenu, sbtFechar, sbtProcurar, sbtVerificar, dbgPadrao, dbnPadrao, dbtNome, mnuProcurar,
// mnuVerificar, lblCodTela …) and then calls setupBaseForm(), which finds those controls by
// name and wires the base behaviour to the virtual handlers below:
//   sbtFechar                     closes the form
//   state change of dtsPadrao     dtsPadraoStateChange
//   sbtProcurar / mnuProcurar     sbtProcurarClick
//   sbtVerificar / mnuVerificar   sbtVerificarClick
//   key press in dbgPadrao        dbgPadraoKeyPress
//   close                         FormClose (the base sets caFree: a closed screen is
//                                 destroyed once control is back in the event loop)
//   activation                    FormActivate (as a top-level window or as the active MDI
//                                 child)
// Every handler runs through the event dispatcher: no exception reaches Qt.
class TfrmPadraoGrid : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmPadraoGrid(QWidget* parent = nullptr);
    ~TfrmPadraoGrid() override;

    TDataSource* dtsPadrao;
    TMessages msgPadrao;

    virtual void FormClose(QObject* sender, TCloseAction& action);
    virtual void FormActivate(QObject* sender);
    virtual void dtsPadraoStateChange(QObject* sender);
    virtual void sbtProcurarClick(QObject* sender);
    virtual void sbtVerificarClick(QObject* sender);
    virtual void dbgPadraoKeyPress(QObject* sender, QChar& key);

protected:
    // Binds the inherited controls and fills msgPadrao with the form's message lines.
    void setupBaseForm(const QStringList& messages);

    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QMdiSubWindow* subWindow() const;
    void followSubWindow();

    QMetaObject::Connection m_activation;
};
