#include "TfrmPadraoGrid.h"

#include "EventDispatch.h"
#include "TButtonFlat.h"
#include "TDBGrid.h"
#include "TDBNavigator.h"
#include "TDBText.h"
#include "ToolIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiSubWindow>
#include <QPointer>

TfrmPadraoGrid::TfrmPadraoGrid(QWidget* parent) : QWidget(parent), dtsPadrao(new TDataSource(this))
{
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

void TfrmPadraoGrid::setupBaseForm(const QStringList& messages)
{
    msgPadrao.Messages = messages;
    ApplyToolIcons(this);

    if (auto* sbtFechar = findChild<QAbstractButton*>(QStringLiteral("sbtFechar")))
        connectHandler(sbtFechar, &QAbstractButton::clicked, this, [this] { close(); });

    auto bindCommand = [this](const QString& button, const QString& menu,
                              void (TfrmPadraoGrid::*handler)(QObject*)) {
        if (auto* sbt = findChild<QAbstractButton*>(button))
            connectHandler(sbt, &QAbstractButton::clicked, this,
                           [this, sbt, handler] { (this->*handler)(sbt); });
        if (auto* mnu = findChild<QAction*>(menu))
            connectHandler(mnu, &QAction::triggered, this,
                           [this, mnu, handler] { (this->*handler)(mnu); });
    };
    bindCommand(QStringLiteral("sbtProcurar"), QStringLiteral("mnuProcurar"),
                &TfrmPadraoGrid::sbtProcurarClick);
    bindCommand(QStringLiteral("sbtVerificar"), QStringLiteral("mnuVerificar"),
                &TfrmPadraoGrid::sbtVerificarClick);

    dtsPadrao->OnStateChange = [this](TDataSource& sender) { dtsPadraoStateChange(&sender); };

    if (auto* dbgPadrao = findChild<TDBGrid*>(QStringLiteral("dbgPadrao"))) {
        dbgPadrao->SetDataSource(dtsPadrao);
        dbgPadrao->OnKeyPress = [this, dbgPadrao](QChar& key) {
            dbgPadraoKeyPress(dbgPadrao, key);
        };
    }
    if (auto* dbnPadrao = findChild<TDBNavigator*>(QStringLiteral("dbnPadrao")))
        dbnPadrao->SetDataSource(dtsPadrao);
    if (auto* dbtNome = findChild<TDBText*>(QStringLiteral("dbtNome")))
        dbtNome->SetDataSource(dtsPadrao);
}

void TfrmPadraoGrid::FormClose(QObject*, TCloseAction& action)
{
    action = caFree;
}

void TfrmPadraoGrid::FormActivate(QObject*) {}

void TfrmPadraoGrid::dtsPadraoStateChange(QObject*) {}

void TfrmPadraoGrid::sbtProcurarClick(QObject*) {}

void TfrmPadraoGrid::sbtVerificarClick(QObject*) {}

void TfrmPadraoGrid::dbgPadraoKeyPress(QObject*, QChar&) {}

QMdiSubWindow* TfrmPadraoGrid::subWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TfrmPadraoGrid::closeEvent(QCloseEvent* event)
{
    // A grid screen left alone would only be minimized inside the main window, as an MDI
    // child is; its close handler decides.
    TCloseAction action = subWindow() ? caMinimize : caHide;
    if (!Dispatch([&] { FormClose(this, action); })) {
        event->ignore();
        return;
    }
    switch (action) {
    case caNone:
        event->ignore();
        break;
    case caMinimize:
        event->ignore();
        if (QMdiSubWindow* sub = subWindow())
            sub->showMinimized();
        else
            showMinimized();
        break;
    case caHide:
        event->accept();
        if (QMdiSubWindow* sub = subWindow())
            sub->hide();
        break;
    case caFree:
        event->accept();
        deleteLater();
        break;
    }
}

bool TfrmPadraoGrid::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        followSubWindow();
        break;
    case QEvent::WindowActivate:
        if (isWindow())
            Dispatch([this] { FormActivate(this); });
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TfrmPadraoGrid::followSubWindow()
{
    disconnect(m_activation);
    if (QMdiSubWindow* sub = subWindow())
        m_activation = connect(sub, &QMdiSubWindow::aboutToActivate, this,
                               [this] { Dispatch([this] { FormActivate(this); }); });
}
