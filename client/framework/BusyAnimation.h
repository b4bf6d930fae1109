#pragma once

#include <QPointer>
#include <QWidget>

// The busy animation: a translucent overlay with a spinning arc over a window, which keeps
// mouse and keyboard input away from that window while it is shown. Calls nest: only the
// outermost DeactiveShowAvi hides it. With no window given and none active, nothing is shown
// and the calls still count.
void ActiveShowAvi(QWidget* form, int kind);
void DeactiveShowAvi();

// How many ActiveShowAvi calls are not yet matched (0 when hidden).
int BusyAnimationDepth();
// The overlay that is shown, or nullptr.
QWidget* BusyAnimationOverlay();

// ActiveShowAvi for the lifetime of the object; DeactiveShowAvi on every way out.
class BusyGuard
{
public:
    explicit BusyGuard(QWidget* form, int kind = 1) { ActiveShowAvi(form, kind); }
    ~BusyGuard() { DeactiveShowAvi(); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
};

// The hourglass: QApplication's override cursor, nested like the toolkit's screen cursor.
void ShowHourglass();
void RestoreCursor();

class HourglassGuard
{
public:
    HourglassGuard() { ShowHourglass(); }
    ~HourglassGuard() { RestoreCursor(); }
    HourglassGuard(const HourglassGuard&) = delete;
    HourglassGuard& operator=(const HourglassGuard&) = delete;
};

// Suspends the redrawing of a window while a long walk changes it; redrawing resumes, with
// the state it had before, on every way out.
class WindowUpdateLock
{
public:
    explicit WindowUpdateLock(QWidget* widget);
    ~WindowUpdateLock();
    WindowUpdateLock(const WindowUpdateLock&) = delete;
    WindowUpdateLock& operator=(const WindowUpdateLock&) = delete;

private:
    QPointer<QWidget> m_window;
    bool m_wasEnabled = true;
};
