#include "MainWindow.h"

#include "EventDispatch.h"

#include <QAction>
#include <QInputDialog>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow(Opener openScreenFn, QWidget* parent)
    : QMainWindow(parent), area(new QMdiArea(this)), opener(std::move(openScreenFn))
{
    setObjectName(QStringLiteral("frmPrincipal"));
    setWindowTitle(QStringLiteral("FAS — Gestão Empresarial"));
    area->setObjectName(QStringLiteral("mdiPrincipal"));
    setCentralWidget(area);
    resize(1024, 720);

    QMenu* screens = menuBar()->addMenu(QStringLiteral("&Telas"));
    QAction* open = screens->addAction(QStringLiteral("&Abrir tela..."));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(open, &QAction::triggered, this, [this] { askAndOpen(); });
    screens->addSeparator();
    const QList<QPair<QString, QString>> known = {
        {QStringLiteral("FAS10000"), QStringLiteral("FAS10000 — Baixa C. Receber (INVOICE)")},
        {QStringLiteral("DFS15001"), QStringLiteral("DFS15001 — Emissão de Nota Fiscal")},
    };
    for (const auto& [code, caption] : known) {
        QAction* action = screens->addAction(caption);
        connect(action, &QAction::triggered, this, [this, code = code] { openCode(code); });
    }
    screens->addSeparator();
    QAction* quit = screens->addAction(QStringLiteral("&Sair"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* windows = menuBar()->addMenu(QStringLiteral("&Janela"));
    connect(windows->addAction(QStringLiteral("&Cascata")), &QAction::triggered, area,
            &QMdiArea::cascadeSubWindows);
    connect(windows->addAction(QStringLiteral("&Lado a lado")), &QAction::triggered, area,
            &QMdiArea::tileSubWindows);

    statusBar()->showMessage(QStringLiteral("Pronto"));
}

void MainWindow::askAndOpen()
{
    bool ok = false;
    const QString code =
        QInputDialog::getText(this, QStringLiteral("Abrir tela"), QStringLiteral("Código da tela:"),
                              QLineEdit::Normal, QString(), &ok)
            .trimmed()
            .toUpper();
    if (ok && !code.isEmpty())
        openCode(code);
}

void MainWindow::openCode(const QString& code)
{
    Dispatch([&] { opener(code); });
}
