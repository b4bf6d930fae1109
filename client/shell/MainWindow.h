#pragma once

#include <QMainWindow>
#include <functional>

class QMdiArea;

// The suite's main window: an MDI area for the screens and a menu that opens a screen by
// its code.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    using Opener = std::function<void(const QString& code)>;

    explicit MainWindow(Opener opener, QWidget* parent = nullptr);
    QMdiArea* mdiArea() const { return area; }

    // Asks for a screen code and opens it.
    void askAndOpen();
    // Opens the screen; a failure is reported to the user, never thrown.
    void openCode(const QString& code);

private:
    QMdiArea* area;
    Opener opener;
};
