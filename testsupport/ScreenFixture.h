#pragma once

#include "AppServerProcess.h"

#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class MessageService;
class QMainWindow;
class QMdiArea;
class ScriptedMessageService;

// Test support: what a screen test runs in. A temporary folder; the real fas-appserver over a
// demo database it made there, with the environment pointing the screens at both; the options
// file in that folder (FAS_OPTIONS_FILE), so no test reads or writes the user's options; and
// scripted messages in place of message boxes. Optionally a main window with an MDI area,
// registered as the screens' main form. Everything is undone when the fixture goes, in the
// reverse order.
class ScreenFixture
{
public:
    ScreenFixture();
    ~ScreenFixture();
    ScreenFixture(const ScreenFixture&) = delete;
    ScreenFixture& operator=(const ScreenFixture&) = delete;

    // Starts the server and installs `messages` (a plain ScriptedMessageService when null).
    // Returns an empty text on success, otherwise what went wrong.
    QString start(std::unique_ptr<ScriptedMessageService> messages = nullptr);

    ScriptedMessageService& messages() const { return *m_messages; }
    const AppServerProcess& server() const { return m_server; }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // A main window with an MDI area as its central widget, registered as the screens' main
    // form (resized to `size` when given); shown by showMainWindow, which is false when it
    // did not become the active window.
    QMdiArea& makeMainWindow(QSize size = {});
    bool showMainWindow();
    QMainWindow* mainWindow() const { return m_window.get(); }
    QMdiArea* mdiArea() const { return m_area; }

private:
    QTemporaryDir m_dir;
    AppServerProcess m_server;
    ScriptedMessageService* m_messages = nullptr;
    std::unique_ptr<MessageService> m_previousMessages;
    std::unique_ptr<QMainWindow> m_window;
    QMdiArea* m_area = nullptr;
};
