#include "FormDialog.h"

#include "ToolIcons.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QToolButton>

FormDialog::FormDialog(QWidget* parent) : QDialog(parent) {}

FormDialog::~FormDialog() = default;

void FormDialog::setupDialog(const QStringList& messages)
{
    msgPadrao.Messages = messages;
    ApplyToolIcons(this);
    m_confirm = findChild<QAbstractButton*>(QStringLiteral("sbtConfirma"));
    if (QAbstractButton* sbtConfirma = m_confirm) {
        connectHandler(sbtConfirma, &QAbstractButton::clicked, this,
                       [this, sbtConfirma] { sbtConfirmaClick(sbtConfirma); });
        // The button shows an icon only: its hint names it, and Tab reaches it.
        if (sbtConfirma->accessibleName().isEmpty())
            sbtConfirma->setAccessibleName(sbtConfirma->toolTip().isEmpty()
                                               ? QStringLiteral("Confirmar")
                                               : sbtConfirma->toolTip());
        sbtConfirma->setFocusPolicy(Qt::TabFocus);
    }
    // A shortcut comes before the focused control, so a multi-line field does not keep it.
    for (const QKeyCombination keys : {Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this] { press(confirmButton()); });
    }
}

void FormDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enterKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enterKey && modifiers == Qt::ControlModifier) {
        // The shortcut's key, when the dialog is not the active window (no shortcut then).
        event->accept();
        if (!event->isAutoRepeat())
            press(confirmButton());
        return;
    }
    if (!enterKey || modifiers != Qt::NoModifier) {
        QDialog::keyPressEvent(event);
        return;
    }
    // Only an Enter that no control used reaches the dialog: a control that takes Enter
    // itself keeps it, and a lookup list open over the dialog is a window of its own.
    event->accept();
    // Held down, Enter would confirm again as soon as a refusal's message is gone.
    if (event->isAutoRepeat())
        return;
    // A tool button that has the focus (reached by Tab) is pressed, as Space does.
    auto* focused = qobject_cast<QToolButton*>(focusWidget());
    press(focused ? focused : confirmButton());
}

void FormDialog::press(QAbstractButton* button)
{
    if (button && button->isEnabled() && button->isVisible())
        button->click();
}

QAbstractButton* FormDialog::confirmButton() const
{
    return m_confirm;
}

void FormDialog::FormClose(QObject*, TCloseAction& action)
{
    action = caHide;
}

void FormDialog::FormActivate(QObject*) {}

void FormDialog::sbtConfirmaClick(QObject*) {}

bool FormDialog::Close()
{
    if (isVisible())
        return close();
    QCloseEvent event;
    QCoreApplication::sendEvent(this, &event);
    return event.isAccepted();
}

void FormDialog::reject()
{
    close();
}

void FormDialog::closeEvent(QCloseEvent* event)
{
    ApplyDialogClose(*this, *event, [this](TCloseAction& action) { FormClose(this, action); });
}
