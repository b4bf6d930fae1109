#include "TfrmFiltroPadrao.h"

#include "OptionStore.h"
#include "ToolIcons.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget* parent) : QDialog(parent) {}

TfrmFiltroPadrao::~TfrmFiltroPadrao() = default;

void TfrmFiltroPadrao::setupBaseForm(const QStringList& messages)
{
    msgPadrao.Messages = messages;
    ApplyToolIcons(this);
    if (auto* lblCodTela = findChild<QLabel*>(QStringLiteral("lblCodTela")))
        m_screenCode = lblCodTela->text().trimmed();

    if (auto* sbtConfirma = findChild<QAbstractButton*>(QStringLiteral("sbtConfirma")))
        connectHandler(sbtConfirma, &QAbstractButton::clicked, this,
                       [this, sbtConfirma] { sbtConfirmaClick(sbtConfirma); });
    if (auto* btfSaveOpc = findChild<QAbstractButton*>(QStringLiteral("btfSaveOpc")))
        connectHandler(btfSaveOpc, &QAbstractButton::clicked, this,
                       [this, btfSaveOpc] { btfSaveOpcClick(btfSaveOpc); });
    if (auto* btfLoadOpc = findChild<QAbstractButton*>(QStringLiteral("btfLoadOpc")))
        connectHandler(btfLoadOpc, &QAbstractButton::clicked, this, [this, btfLoadOpc] {
            // The descendant reads its own values from the list before the base load runs,
            // so the list is filled from the store first.
            Opcoes = OptionStore::Load(m_screenCode);
            btfLoadOpcClick(btfLoadOpc);
        });

    Dispatch([this] { FormCreate(this); });
}

void TfrmFiltroPadrao::FormCreate(QObject*)
{
    Opcoes = OptionStore::Load(m_screenCode);
}

void TfrmFiltroPadrao::FormClose(QObject*, TCloseAction& action)
{
    action = caHide;
}

void TfrmFiltroPadrao::FormActivate(QObject*) {}

void TfrmFiltroPadrao::sbtConfirmaClick(QObject*) {}

void TfrmFiltroPadrao::btfSaveOpcClick(QObject*)
{
    OptionStore::Save(m_screenCode, Opcoes);
}

void TfrmFiltroPadrao::btfLoadOpcClick(QObject*)
{
    Opcoes = OptionStore::Load(m_screenCode);
}

bool TfrmFiltroPadrao::Close()
{
    if (isVisible())
        return close();
    QCloseEvent event;
    QCoreApplication::sendEvent(this, &event);
    return event.isAccepted();
}

void TfrmFiltroPadrao::reject()
{
    close();
}

void TfrmFiltroPadrao::closeEvent(QCloseEvent* event)
{
    ApplyDialogClose(*this, *event, [this](TCloseAction& action) { FormClose(this, action); });
}

bool TfrmFiltroPadrao::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Dispatch([this] { FormActivate(this); });
    return QDialog::event(event);
}
