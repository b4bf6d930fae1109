#include "FocusTracker.h"

#include "EventDispatch.h"

#include <QApplication>
#include <QEvent>
#include <QMdiSubWindow>
#include <QScopedValueRollback>

namespace {
// Bound on the focus moves that handlers may start one after another.
constexpr int maxHops = 16;
} // namespace

FocusTracker::FocusTracker(QObject* parent) : QObject(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::focusChanged);
    if (QWidget* focus = QApplication::focusWidget())
        remember(formOf(focus), focus);
}

FocusTracker& FocusTracker::instance()
{
    static QPointer<FocusTracker> tracker;
    if (!tracker)
        tracker = new FocusTracker(qApp);
    return *tracker;
}

QWidget* FocusTracker::formOf(QWidget* control)
{
    QWidget* w = control;
    while (w && !w->isWindow() && !qobject_cast<QMdiSubWindow*>(w))
        w = w->parentWidget();
    return w;
}

bool FocusTracker::isControl(const QWidget* widget)
{
    return widget && formOf(const_cast<QWidget*>(widget)) != widget;
}

FocusTracker::Handlers& FocusTracker::handlersOf(QWidget* control)
{
    if (!m_handlers.contains(control)) {
        connect(control, &QObject::destroyed, this,
                [this, control] { m_handlers.remove(control); });
    }
    return m_handlers[control];
}

void FocusTracker::setHandlers(QWidget* control, Handler onEnter, Handler onExit)
{
    Handlers& h = instance().handlersOf(control);
    h.onEnter = std::move(onEnter);
    h.onExit = std::move(onExit);
}

void FocusTracker::setOnEnter(QWidget* control, Handler onEnter)
{
    instance().handlersOf(control).onEnter = std::move(onEnter);
}

void FocusTracker::setOnExit(QWidget* control, Handler onExit)
{
    instance().handlersOf(control).onExit = std::move(onExit);
}

void FocusTracker::setHandlerMembers(QWidget* control, const Handler& onEnter,
                                     const Handler& onExit)
{
    setHandlers(control, forwardTo(onEnter), forwardTo(onExit));
}

FocusTracker::Handler FocusTracker::forwardTo(const Handler& member)
{
    return [&member] {
        if (member)
            member();
    };
}

void FocusTracker::clearHandlers(QWidget* control)
{
    FocusTracker& tracker = instance();
    if (tracker.m_handlers.remove(control))
        disconnect(control, &QObject::destroyed, &tracker, nullptr);
}

QWidget* FocusTracker::lastFocus(QWidget* form) const
{
    return m_last.value(form);
}

void FocusTracker::remember(QWidget* form, QWidget* control)
{
    if (!form)
        return;
    if (!m_last.contains(form)) {
        form->installEventFilter(this);
        connect(form, &QObject::destroyed, this, [this, form] { m_last.remove(form); });
    }
    m_last[form] = control;
}

bool FocusTracker::eventFilter(QObject* watched, QEvent* event)
{
    // A form that is closed (hidden by the program or the user, not minimised) starts afresh
    // when it is shown again: its first focused control is entered again.
    if (event->type() == QEvent::Hide && !event->spontaneous()) {
        auto it = m_last.find(static_cast<QWidget*>(watched));
        if (it != m_last.end())
            it.value() = nullptr;
    }
    return QObject::eventFilter(watched, event);
}

bool FocusTracker::run(QWidget* control, Handler Handlers::*which)
{
    auto it = m_handlers.constFind(control);
    if (it == m_handlers.constEnd() || !(it.value().*which))
        return true;
    const Handler handler = it.value().*which; // the handler may replace itself
    return Dispatch(handler);
}

void FocusTracker::focusChanged(QWidget* /*old*/, QWidget* now)
{
    // Moves made by a running handler are looked at once it has returned (below). The focus
    // landing on a form itself (a click on its frame or on a button that takes no focus makes
    // an MDI window take it for a moment, before it hands it back to its last control) is not
    // a move between controls: nothing is left and nothing entered.
    if (m_busy || !isControl(now))
        return;
    QScopedValueRollback<bool> busy(m_busy, true);

    QPointer<QWidget> target = now;
    for (int hop = 0; hop < maxHops && target; ++hop) {
        QWidget* form = formOf(target);
        QPointer<QWidget> previous = m_last.value(form);
        if (previous == target)
            return;
        if (previous) {
            const bool exited = run(previous, &Handlers::onExit);
            QWidget* current = QApplication::focusWidget();
            if (!exited) {
                // The exit failed: the new control is not entered. The exit handler's guard
                // has usually put the focus back on the control it left.
                remember(form,
                         isControl(current) && formOf(current) == form ? current : target.data());
                return;
            }
            if (isControl(current) && current != target && formOf(current) == form)
                target = current; // the exit handler sent the focus elsewhere
            if (!target)
                return;
        }
        remember(form, target);
        run(target, &Handlers::onEnter);
        QWidget* current = QApplication::focusWidget();
        if (!isControl(current) || current == target || formOf(current) != form)
            return;
        target = current; // the enter handler moved the focus on: follow it
    }
}
