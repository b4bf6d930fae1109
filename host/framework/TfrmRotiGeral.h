#pragma once

#include "TCloseAction.h"
#include "TMessages.h"

#include <QDialog>

// The base of the suite's routine dialogs: a group box grbDadosRel with the dialog's fields,
// a button panel panMenu/panBotoes with the confirm button sbtConfirma, the screen-code label
// lblCodTela and a message table.
//
// The descendant builds the whole form from its .ui and then calls setupBaseForm(), which
// binds sbtConfirma to sbtConfirmaClick. Every opening runs FormActivate once (not a return
// to the foreground after one of the dialog's own messages); closing the
// dialog (window button, Esc, close()) always runs FormClose, whose base leaves caHide.
class TfrmRotiGeral : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    TMessages msgPadrao;

    virtual void FormClose(QObject* sender, TCloseAction& action);
    virtual void FormActivate(QObject* sender);
    virtual void sbtConfirmaClick(QObject* sender);

    // Closes the dialog through FormClose. Unlike QWidget::close(), it runs the close handler
    // also when the dialog is hidden (a confirmation run without showing the dialog).
    bool Close();

    // Esc ends the dialog as its close button does, through FormClose.
    void reject() override;

protected:
    void setupBaseForm(const QStringList& messages);

    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
};
