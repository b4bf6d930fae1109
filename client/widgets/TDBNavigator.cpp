#include "TDBNavigator.h"

#include "EventDispatch.h"

#include <QHBoxLayout>
#include <QToolButton>

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), m_binding(new DataSourceBinding(this, [this](TClientDataSet*) { attach(); }))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    struct Look
    {
        TNavigateBtn button;
        const char* name;
        const char* text;
        const char* hint;
    };
    static const Look looks[] = {
        {nbFirst, "nbFirst", "|<", "Primeiro registro"},
        {nbPrior, "nbPrior", "<", "Registro anterior"},
        {nbNext, "nbNext", ">", "Próximo registro"},
        {nbLast, "nbLast", ">|", "Último registro"},
    };
    for (const Look& look : looks) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(look.name));
        button->setText(QString::fromUtf8(look.text));
        button->setToolTip(QString::fromUtf8(look.hint));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
        m_buttons[look.button] = button;
        const TNavigateBtn which = look.button;
        connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
    }
    updateButtons();
}

void TDBNavigator::SetDataSource(TDataSource* dataSource)
{
    if (m_binding->source() != dataSource)
        m_binding->setSource(dataSource);
}

void TDBNavigator::attach()
{
    m_binding->follow(&TClientDataSet::dataReset, [this] { updateButtons(); });
    m_binding->follow(&TClientDataSet::cursorMoved, [this] { updateButtons(); });
    m_binding->follow(&TClientDataSet::stateChanged, [this] { updateButtons(); });
    updateButtons();
}

void TDBNavigator::updateButtons()
{
    TClientDataSet* set = dataSet();
    const bool usable = set && set->Active() && !set->IsEmpty();
    const bool atFirst = !usable || set->RecNo() <= 1;
    const bool atLast = !usable || set->RecNo() >= set->RecordCount();
    m_buttons[nbFirst]->setEnabled(!atFirst);
    m_buttons[nbPrior]->setEnabled(!atFirst);
    m_buttons[nbNext]->setEnabled(!atLast);
    m_buttons[nbLast]->setEnabled(!atLast);
}

void TDBNavigator::BtnClick(TNavigateBtn button)
{
    TClientDataSet* set = dataSet();
    if (!set || !m_buttons[button]->isEnabled())
        return;
    Dispatch([&] {
        switch (button) {
        case nbFirst:
            set->First();
            break;
        case nbPrior:
            set->Prior();
            break;
        case nbNext:
            set->Next();
            break;
        case nbLast:
            set->Last();
            break;
        }
    });
    updateButtons();
}
