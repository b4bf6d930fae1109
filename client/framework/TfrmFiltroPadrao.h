#pragma once

#include "FormDialog.h"

#include <QStringList>

// The base of the suite's filter dialogs: a criteria frame grbFiltroPadrao, a button panel
// panMenu/panBotoes with the confirm button sbtConfirma and the option buttons btfSaveOpc and
// btfLoadOpc, a message table and the saved options (name=value lines in Opcoes, stored per
// user and screen code through the OptionStore).
//
// The descendant builds the whole form from its .ui and then calls setupBaseForm(), which
// finds the inherited controls by name, binds them to the virtual handlers and runs
// FormCreate once. Closing runs FormClose as FormDialog describes; FormActivate runs on every
// activation of the dialog.
//
// By keyboard: Enter and Ctrl+Enter as FormDialog describes; Alt+S saves and Alt+C loads the
// options.
class TfrmFiltroPadrao : public FormDialog
{
    Q_OBJECT

public:
    explicit TfrmFiltroPadrao(QWidget* parent = nullptr);
    ~TfrmFiltroPadrao() override;

    // The saved-options list: name=value lines. Before btfLoadOpcClick runs, it holds what is
    // stored for the user and screen.
    QStringList Opcoes;

    // The screen code under which the options are stored (the text of lblCodTela).
    QString ScreenCode() const { return m_screenCode; }

    virtual void FormCreate(QObject* sender);
    // Stores Opcoes for the user and screen.
    virtual void btfSaveOpcClick(QObject* sender);
    // Reads the stored options into Opcoes.
    virtual void btfLoadOpcClick(QObject* sender);

protected:
    void setupBaseForm(const QStringList& messages);

    bool event(QEvent* event) override;

private:
    static void showStatus(const QString& text);

    QString m_screenCode;
};
