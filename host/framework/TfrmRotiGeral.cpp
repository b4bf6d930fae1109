#include "TfrmRotiGeral.h"

#include "ToolIcons.h"

#include <QAbstractButton>
#include <QCoreApplication>

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : QDialog(parent) {}

TfrmRotiGeral::~TfrmRotiGeral() = default;

void TfrmRotiGeral::setupBaseForm(const QStringList& messages)
{
    msgPadrao.Messages = messages;
    ApplyToolIcons(this);
    if (auto* sbtConfirma = findChild<QAbstractButton*>(QStringLiteral("sbtConfirma")))
        connectHandler(sbtConfirma, &QAbstractButton::clicked, this,
                       [this, sbtConfirma] { sbtConfirmaClick(sbtConfirma); });
}

void TfrmRotiGeral::FormClose(QObject*, TCloseAction& action)
{
    action = caHide;
}

void TfrmRotiGeral::FormActivate(QObject*) {}

void TfrmRotiGeral::sbtConfirmaClick(QObject*) {}

bool TfrmRotiGeral::Close()
{
    if (isVisible())
        return close();
    QCloseEvent event;
    QCoreApplication::sendEvent(this, &event);
    return event.isAccepted();
}

void TfrmRotiGeral::reject()
{
    close();
}

void TfrmRotiGeral::closeEvent(QCloseEvent* event)
{
    ApplyDialogClose(*this, *event, [this](TCloseAction& action) { FormClose(this, action); });
}

bool TfrmRotiGeral::event(QEvent* event)
{
    // Each opening runs the activation handler once, as the dialog shows. The dialog coming
    // back to the foreground after one of its own messages is no new opening: what the user
    // typed stays.
    if (event->type() == QEvent::Show)
        Dispatch([this] { FormActivate(this); });
    return QDialog::event(event);
}
