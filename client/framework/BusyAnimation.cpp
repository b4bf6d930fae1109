#include "BusyAnimation.h"

#include "BusyOverlay.h"
#include "FrameworkUtils.h"

#include <QApplication>

namespace {
struct BusyState
{
    int depth = 0;
    QPointer<BusyOverlay> overlay;
};

BusyState& busy()
{
    static BusyState state;
    return state;
}
} // namespace

void ActiveShowAvi(QWidget* form, int /*kind*/)
{
    BusyState& state = busy();
    ++state.depth;
    if (state.depth > 1)
        return;
    QWidget* covered = form ? form->window() : QApplication::activeWindow();
    if (covered)
        state.overlay = new BusyOverlay(covered);
}

void DeactiveShowAvi()
{
    BusyState& state = busy();
    if (state.depth == 0)
        return;
    if (--state.depth > 0)
        return;
    delete state.overlay.data();
}

int BusyAnimationDepth()
{
    return busy().depth;
}

QWidget* BusyAnimationOverlay()
{
    return busy().overlay.data();
}

void ShowHourglass()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void RestoreCursor()
{
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

WindowUpdateLock::WindowUpdateLock(QWidget* widget) : m_window(widget ? widget->window() : nullptr)
{
    if (m_window) {
        m_wasEnabled = m_window->updatesEnabled();
        m_window->setUpdatesEnabled(false);
    }
}

WindowUpdateLock::~WindowUpdateLock()
{
    if (m_window)
        m_window->setUpdatesEnabled(m_wasEnabled);
}
