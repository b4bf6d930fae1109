#pragma once

#include "TCloseAction.h"
#include "TMessages.h"

#include <QDialog>
#include <QPointer>

class QAbstractButton;

// What the suite's dialogs share: a message table, a confirm button sbtConfirma bound to
// sbtConfirmaClick, and one way of closing. Every close (window button, Esc, close(), and
// Close() also while the dialog is hidden) runs FormClose, whose base leaves caHide: the
// dialog is kept, hidden, for the next showing; a close handler that fails keeps it open.
//
// When FormActivate runs is the descendant's choice (each activation, or each opening).
//
// By keyboard: Ctrl+Enter confirms as sbtConfirma does, wherever the focus is; Enter does the
// same where the focused control does not take Enter itself (a multi-line field does), and on
// a tool button reached by Tab presses that button. sbtConfirma takes the focus by Tab.
class FormDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FormDialog(QWidget* parent = nullptr);
    ~FormDialog() override;

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
    // Takes the message table, gives the tool buttons their icons and binds sbtConfirma.
    void setupDialog(const QStringList& messages);
    // sbtConfirma, once setupDialog found it.
    QAbstractButton* confirmButton() const;

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Clicks the button when it is enabled and shown.
    static void press(QAbstractButton* button);

    QPointer<QAbstractButton> m_confirm;
};
