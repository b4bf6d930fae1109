#pragma once

// Test support: reaching a modal dialog that QDialog::exec() is showing. The callback runs
// once the dialog is the active modal widget, from inside the dialog's own event loop, so it
// can drive the dialog's controls and close it.

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>

class ModalHelper
{
public:
    using Callback = std::function<void(QDialog& dialog)>;

    // Polls every few milliseconds until a modal dialog (of class `className`, when given)
    // is active, then runs the callback once. Stops after `timeoutMs` without running it: long
    // enough for a dialog that shows after a server call on a loaded machine, since a dialog
    // that shows once the polling stopped is never closed and its test hangs.
    static QPointer<QTimer> whenModal(Callback callback, const char* className = nullptr,
                                      int timeoutMs = 60000)
    {
        auto* timer = new QTimer(qApp);
        const QDeadlineTimer deadline(timeoutMs);
        timer->setInterval(pollMs);
        QObject::connect(timer, &QTimer::timeout, timer,
                         [timer, deadline, className, callback = std::move(callback)] {
                             auto* dialog =
                                 qobject_cast<QDialog*>(QApplication::activeModalWidget());
                             const bool match = dialog && dialog->isVisible() &&
                                                (!className || dialog->inherits(className));
                             if (match) {
                                 timer->stop();
                                 timer->deleteLater();
                                 callback(*dialog);
                                 return;
                             }
                             if (deadline.hasExpired()) {
                                 timer->stop();
                                 timer->deleteLater();
                             }
                         });
        timer->start();
        return timer;
    }

    // whenModal for the lifetime of the object: when no dialog showed, no callback is left
    // behind to run (on dead references) in a later test.
    class Scoped
    {
    public:
        explicit Scoped(Callback callback, const char* className = nullptr)
            : m_timer(whenModal(std::move(callback), className))
        {}
        ~Scoped() { delete m_timer.data(); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        QPointer<QTimer> m_timer;
    };

    // Closes the active modal dialog (as the window's close button does) once it shows.
    static void closeWhenModal(const char* className = nullptr)
    {
        whenModal([](QDialog& dialog) { dialog.close(); }, className);
    }

private:
    static constexpr int pollMs = 10;
};
