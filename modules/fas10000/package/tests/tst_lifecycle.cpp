// The life of the screen module as the host sees it: the real libPKG_FAS10000.so, loaded,
// opened, unloaded and loaded again by the host's own loader, inside the host's main window.
#include "FasApplication.h"
#include "MainWindow.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "ModuleLoader.h"
#include "PackageInfo.h"
#include "ScreenFixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>

#include <QtTest>
#include <memory>

namespace {

const QString code = QStringLiteral("FAS10000");

QList<QWidget*> widgetsOfClass(const char* className)
{
    QList<QWidget*> found;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0)
            found << widget;
    }
    return found;
}

QMdiSubWindow* subWindowOf(QWidget* form)
{
    return qobject_cast<QMdiSubWindow*>(form->parentWidget());
}

} // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void packageInfo();
    void iniProcTwiceGivesOneScreen_data();
    void iniProcTwiceGivesOneScreen();
    void closedScreenComesBackNew_data();
    void closedScreenComesBackNew();
    void filterKeepsLastConfirmedCriteria();
    void reloadStartsAfresh();

private:
    QWidget* openScreen();
    QWidget* theScreen();
    void clickFilter(QWidget* screen, const ModalHelper::Callback& callback);

    ScreenFixture fixture;
    std::unique_ptr<ModuleLoader> loader;
    std::unique_ptr<MainWindow> window;
};

void TestLifecycle::initTestCase()
{
    const QString problem = fixture.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    loader = std::make_unique<ModuleLoader>(qEnvironmentVariable("FAS_BIN_DIR"));
    window = std::make_unique<MainWindow>([this](const QString& c) { loader->open(c); });
    FasApplication::SetMainForm(window.get(), window->mdiArea());
    window->resize(1000, 700);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestLifecycle::cleanup()
{
    // Every test starts with no settlement screen.
    for (QWidget* screen : widgetsOfClass("TfrmBCRInvoice"))
        screen->close();
    QTRY_VERIFY(widgetsOfClass("TfrmBCRInvoice").isEmpty());
    QTRY_VERIFY(window->mdiArea()->subWindowList().isEmpty());
    QVERIFY2(fixture.messages().messages.isEmpty(),
             qPrintable(fixture.messages().texts().join('\n')));
}

void TestLifecycle::cleanupTestCase()
{
    loader.reset();
    FasApplication::DestroyAllForms();
    window.reset();
}

QWidget* TestLifecycle::theScreen()
{
    const QList<QWidget*> screens = widgetsOfClass("TfrmBCRInvoice");
    return screens.size() == 1 ? screens.first() : nullptr;
}

QWidget* TestLifecycle::openScreen()
{
    loader->open(code);
    return theScreen();
}

void TestLifecycle::clickFilter(QWidget* screen, const ModalHelper::Callback& callback)
{
    auto* sbtFiltrar = screen->findChild<QAbstractButton*>(QStringLiteral("sbtFiltrar"));
    QVERIFY(sbtFiltrar);
    sbtFiltrar->setEnabled(true); // normally after the first company choice
    ModalHelper::whenModal(callback, "TfrmFiltroBCRInvoice");
    QTest::mouseClick(sbtFiltrar, Qt::LeftButton);
}

void TestLifecycle::packageInfo()
{
    openScreen();
    const PackageInfo* info = loader->packageInfo(code);
    QVERIFY(info);
    QCOMPARE(QString::fromLatin1(info->name), QStringLiteral("PKG_FAS10000"));
    QStringList units;
    for (int i = 0; i < info->unitCount; ++i)
        units << QString::fromLatin1(info->units[i]);
    QCOMPARE(units, (QStringList{"Cli_FAS10001", "Cli_FAS10002", "Cli_FAS10003", "Cli_FAS10000"}));
}

void TestLifecycle::iniProcTwiceGivesOneScreen_data()
{
    QTest::addColumn<Qt::WindowState>("state");
    QTest::newRow("normal") << Qt::WindowNoState;
    QTest::newRow("minimized") << Qt::WindowMinimized;
    QTest::newRow("maximized") << Qt::WindowMaximized;
}

void TestLifecycle::iniProcTwiceGivesOneScreen()
{
    QFETCH(Qt::WindowState, state);

    QPointer<QWidget> first = openScreen();
    QVERIFY(first);
    QMdiSubWindow* sub = subWindowOf(first);
    QVERIFY2(sub, "the screen is a child window of the main window");
    QCOMPARE(first->windowTitle(), QStringLiteral("Baixa C. Receber (INVOICE)"));
    auto* lblCodTela = first->findChild<QLabel*>(QStringLiteral("lblCodTela"));
    QVERIFY(lblCodTela);
    QCOMPARE(lblCodTela->text(), code);

    sub->setWindowState(state);
    QCOMPARE(sub->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized), state);
    QWidget* second = openScreen();
    QCOMPARE(second, first.data());
    QCOMPARE(window->mdiArea()->subWindowList().size(), 1);
    QVERIFY(!sub->isMinimized());
    QVERIFY(!sub->isMaximized());
    QVERIFY(first->isVisible());
    QCOMPARE(window->mdiArea()->activeSubWindow(), sub);
}

void TestLifecycle::closedScreenComesBackNew_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("close button of the screen") << "sbtFechar";
    QTest::newRow("close button of the window") << "window";
}

void TestLifecycle::closedScreenComesBackNew()
{
    QFETCH(QString, how);

    QPointer<QWidget> first = openScreen();
    QVERIFY(first);
    // Something typed on the screen (not in the company field, whose exit would load).
    auto* edtNmEmpresa = first->findChild<QLineEdit*>(QStringLiteral("edtNmEmpresa"));
    QVERIFY(edtNmEmpresa);
    const QString fresh = edtNmEmpresa->text();
    edtNmEmpresa->setText(QStringLiteral("EMPRESA ANTERIOR"));

    if (how == QLatin1String("sbtFechar"))
        QTest::mouseClick(first->findChild<QAbstractButton*>(QStringLiteral("sbtFechar")),
                          Qt::LeftButton);
    else
        subWindowOf(first)->close();
    QTRY_VERIFY2(first.isNull(), "a closed screen is destroyed");
    QTRY_VERIFY(window->mdiArea()->subWindowList().isEmpty());

    QPointer<QWidget> second = openScreen();
    QVERIFY(second);
    QVERIFY(second->isVisible());
    QCOMPARE(second->findChild<QLineEdit*>(QStringLiteral("edtNmEmpresa"))->text(), fresh);
    QCOMPARE(window->mdiArea()->subWindowList().size(), 1);
}

void TestLifecycle::filterKeepsLastConfirmedCriteria()
{
    QWidget* screen = openScreen();
    QVERIFY(screen);

    // First opening: check "Em Aberto" and confirm.
    QPointer<QDialog> dialog;
    clickFilter(screen, [&](QDialog& filter) {
        dialog = &filter;
        filter.findChild<QCheckBox*>(QStringLiteral("chbAberto"))->setChecked(true);
        QTest::mouseClick(filter.findChild<QAbstractButton*>(QStringLiteral("sbtConfirma")),
                          Qt::LeftButton);
    });
    QVERIFY(dialog);
    QVERIFY(!dialog->isVisible());

    // Second opening: the same dialog, with the confirmed criteria. (That edits closed
    // without confirming are dropped needs a company chosen on the screen: tst_units.)
    bool abertoShown = false;
    clickFilter(screen, [&](QDialog& filter) {
        QCOMPARE(&filter, dialog.data());
        abertoShown = filter.findChild<QCheckBox*>(QStringLiteral("chbAberto"))->isChecked();
        filter.reject(); // Esc
    });
    QVERIFY(abertoShown);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(widgetsOfClass("TfrmFiltroBCRInvoice").size(), 1);
}

void TestLifecycle::reloadStartsAfresh()
{
    // A filter dialog with confirmed criteria exists from the previous load.
    QWidget* screen = openScreen();
    QVERIFY(screen);
    QPointer<QDialog> before;
    clickFilter(screen, [&](QDialog& filter) {
        before = &filter;
        filter.findChild<QCheckBox*>(QStringLiteral("chbAberto"))->setChecked(true);
        QTest::mouseClick(filter.findChild<QAbstractButton*>(QStringLiteral("sbtConfirma")),
                          Qt::LeftButton);
    });
    QVERIFY(before);
    QPointer<QWidget> screenBefore = screen;

    loader->unload(code);
    QVERIFY(!loader->isLoaded(code));
    QVERIFY2(before.isNull(), "unloading destroys the module's forms");
    QVERIFY(screenBefore.isNull());
    QTRY_VERIFY(window->mdiArea()->subWindowList().isEmpty());

    QWidget* again = openScreen();
    QVERIFY2(again, "a reloaded module opens one new screen");
    bool aberto = true;
    QPointer<QDialog> after;
    clickFilter(again, [&](QDialog& filter) {
        after = &filter;
        aberto = filter.findChild<QCheckBox*>(QStringLiteral("chbAberto"))->isChecked();
        filter.close();
    });
    QVERIFY2(after, "the filter dialog is created anew");
    QVERIFY2(!aberto, "a new filter dialog starts with the default criteria");
    QCOMPARE(widgetsOfClass("TfrmFiltroBCRInvoice").size(), 1);
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
