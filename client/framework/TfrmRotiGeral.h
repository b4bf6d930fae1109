#pragma once

#include "FormDialog.h"

// The base of the suite's routine dialogs: a group box grbDadosRel with the dialog's fields,
// a button panel panMenu/panBotoes with the confirm button sbtConfirma, the screen-code label
// lblCodTela and a message table.
//
// The descendant builds the whole form from its .ui and then calls setupBaseForm(), which
// binds sbtConfirma to sbtConfirmaClick. Every opening runs FormActivate once (not a return
// to the foreground after one of the dialog's own messages); closing runs FormClose as
// FormDialog describes.
class TfrmRotiGeral : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

protected:
    void setupBaseForm(const QStringList& messages) { setupDialog(messages); }

    bool event(QEvent* event) override;
};
