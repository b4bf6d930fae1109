#include "TfrmFiltroPadrao.h"

#include "OptionStore.h"
#include "ToolIcons.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

TfrmFiltroPadrao::TfrmFiltroPadrao(QWidget* parent) : FormDialog(parent) {}

TfrmFiltroPadrao::~TfrmFiltroPadrao() = default;

void TfrmFiltroPadrao::setupBaseForm(const QStringList& messages)
{
    // The buttons show icons only: their hints name them, also when no icon could be drawn
    // and the letter stays.
    for (const char* name : {"sbtConfirma", "btfSaveOpc", "btfLoadOpc"}) {
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
}

void TfrmFiltroPadrao::btfLoadOpcClick(QObject*)
{
    Opcoes = OptionStore::Load(m_screenCode);
}

void TfrmFiltroPadrao::keyPressEvent(QKeyEvent* event)
{
    const bool enter = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                       (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!enter) {
        FormDialog::keyPressEvent(event);
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
    QAbstractButton* target = focused ? focused : confirmButton();
    if (target && target->isEnabled() && target->isVisible())
        target->click();
}

bool TfrmFiltroPadrao::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Dispatch([this] { FormActivate(this); });
    return FormDialog::event(event);
}
