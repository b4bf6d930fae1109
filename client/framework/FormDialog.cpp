#include "FormDialog.h"

#include "ToolIcons.h"

#include <QAbstractButton>
#include <QCoreApplication>

FormDialog::FormDialog(QWidget* parent) : QDialog(parent) {}

FormDialog::~FormDialog() = default;

void FormDialog::setupDialog(const QStringList& messages)
{
    msgPadrao.Messages = messages;
    ApplyToolIcons(this);
    m_confirm = findChild<QAbstractButton*>(QStringLiteral("sbtConfirma"));
    if (QAbstractButton* sbtConfirma = m_confirm)
        connectHandler(sbtConfirma, &QAbstractButton::clicked, this,
                       [this, sbtConfirma] { sbtConfirmaClick(sbtConfirma); });
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
