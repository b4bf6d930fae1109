#include "TfrmFiltroPadrao.h"

#include "FasApplication.h"
#include "OptionStore.h"
#include "ToolIcons.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget* parent) : FormDialog(parent) {}

TfrmFiltroPadrao::~TfrmFiltroPadrao() = default;

void TfrmFiltroPadrao::setupBaseForm(const QStringList& messages)
{
    // The buttons show icons only: their hints name them, also when no icon could be drawn
    // and the letter stays (sbtConfirma: see setupDialog).
    for (const char* name : {"btfSaveOpc", "btfLoadOpc"}) {
        auto* button = findChild<QAbstractButton*>(QLatin1String(name));
        if (button && button->accessibleName().isEmpty())
            button->setAccessibleName(button->toolTip());
    }
    setupDialog(messages);
    if (auto* lblCodTela = findChild<QLabel*>(QStringLiteral("lblCodTela")))
        m_screenCode = lblCodTela->text().trimmed();

    // Alt+S and Alt+C: the letters the option buttons showed before they had icons.
    if (auto* btfSaveOpc = findChild<QAbstractButton*>(QStringLiteral("btfSaveOpc"))) {
        btfSaveOpc->setShortcut(QKeySequence(Qt::ALT | Qt::Key_S));
        connectHandler(btfSaveOpc, &QAbstractButton::clicked, this,
                       [this, btfSaveOpc] { btfSaveOpcClick(btfSaveOpc); });
    }
    if (auto* btfLoadOpc = findChild<QAbstractButton*>(QStringLiteral("btfLoadOpc"))) {
        btfLoadOpc->setShortcut(QKeySequence(Qt::ALT | Qt::Key_C));
        connectHandler(btfLoadOpc, &QAbstractButton::clicked, this, [this, btfLoadOpc] {
            // The descendant reads its own values from the list before the base load runs,
            // so the list is filled from the store first.
            Opcoes = OptionStore::Load(m_screenCode);
            btfLoadOpcClick(btfLoadOpc);
        });
    }

    Dispatch([this] { FormCreate(this); });
}

void TfrmFiltroPadrao::FormCreate(QObject*)
{
    Opcoes = OptionStore::Load(m_screenCode);
}

void TfrmFiltroPadrao::btfSaveOpcClick(QObject*)
{
    OptionStore::Save(m_screenCode, Opcoes);
    showStatus(QStringLiteral("Opções do filtro gravadas."));
}

void TfrmFiltroPadrao::btfLoadOpcClick(QObject*)
{
    Opcoes = OptionStore::Load(m_screenCode);
    showStatus(Opcoes.isEmpty() ? QStringLiteral("Não há opções do filtro gravadas.")
                                : QStringLiteral("Opções do filtro carregadas."));
}

void TfrmFiltroPadrao::showStatus(const QString& text)
{
    // The buttons show icons only: the status bar says that the click did something.
    if (QMainWindow* main = FasApplication::MainForm())
        main->statusBar()->showMessage(text, 5000);
}

bool TfrmFiltroPadrao::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Dispatch([this] { FormActivate(this); });
    return FormDialog::event(event);
}
