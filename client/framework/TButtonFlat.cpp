#include "TButtonFlat.h"

TButtonFlat::TButtonFlat(QWidget* parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
}

void TButtonFlat::SetGroupIndex(int groupIndex)
{
    m_groupIndex = std::max(0, groupIndex);
    setCheckable(m_groupIndex > 0);
}

void TButtonFlat::SetDown(bool down)
{
    if (m_groupIndex == 0)
        return; // a plain button never stays down
    // As with the toolkit: a pressed button of a group that may not be all up stays pressed.
    if (!down && isChecked() && !m_allowAllUp)
        return;
    setChecked(down);
    if (down)
        releaseOthers();
}

void TButtonFlat::nextCheckState()
{
    if (m_groupIndex == 0)
        return;
    if (isChecked()) {
        if (m_allowAllUp)
            setChecked(false);
        return;
    }
    setChecked(true);
    releaseOthers();
}

void TButtonFlat::releaseOthers()
{
    if (!parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TButtonFlat*>(Qt::FindDirectChildrenOnly);
    for (TButtonFlat* other : siblings) {
        if (other != this && other->m_groupIndex == m_groupIndex)
            other->setChecked(false);
    }
}
