#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

// Fires a control's exit handler when the focus moves from it to another control of the
// same form (tab, click, setFocus), then the enter handler of the control that got the
// focus. A form losing activation (a message box, a menu, another window) fires nothing,
// and when the focus comes back to the control that had it, nothing fires either.
//
// A form is a top-level window or an MDI child window. Handlers run through Dispatch: an
// exit handler that fails (MensErro, EAbort) keeps the enter handler of the new control
// from running. Handlers may move the focus themselves; those moves are followed without
// recursion.
class FocusTracker : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void()>;

    // The one tracker of the application, installed on first use.
    static FocusTracker& instance();

    static void setHandlers(QWidget* control, Handler onEnter, Handler onExit);
    static void setOnEnter(QWidget* control, Handler onEnter);
    static void setOnExit(QWidget* control, Handler onExit);
    static void clearHandlers(QWidget* control);
    // For a control whose OnEnter/OnExit are assignable members: the tracker runs what the
    // member holds when the focus moves (nothing while it is empty). The members must live
    // as long as the control.
    static void setHandlerMembers(QWidget* control, const Handler& onEnter, const Handler& onExit);
    // A handler that runs what `member` holds at the time it is called.
    static Handler forwardTo(const Handler& member);

    // The control of `form` that had the focus last (nullptr when none).
    QWidget* lastFocus(QWidget* form) const;
    static QWidget* formOf(QWidget* control);
    // A widget inside a form, as opposed to the form itself.
    static bool isControl(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusTracker(QObject* parent);
    struct Handlers
    {
        Handler onEnter;
        Handler onExit;
    };
    Handlers& handlersOf(QWidget* control);
    void focusChanged(QWidget* old, QWidget* now);
    void remember(QWidget* form, QWidget* control);
    bool run(QWidget* control, Handler Handlers::*which);

    QHash<QWidget*, Handlers> m_handlers;
    QHash<QWidget*, QPointer<QWidget>> m_last; // form -> control that had its focus last
    bool m_busy = false;
};
