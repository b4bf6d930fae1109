// The invoice list from end to end: the suite's main window and module loader, set up as
// fas-suite sets them up, load the real libPKG_FAS10000.so; the real fas-appserver runs as its
// own process on a free port over a demo database it created itself. The user types a company,
// confirms the filter and sees the invoices with the items of the current one; a second
// company reloads at once.
#include "../../appserver/tests/AppServerProcess.h"
#include "../../widgets/tests/ModalHelper.h"
#include "FasApplication.h"
#include "LoadBPL.h"
#include "MainWindow.h"
#include "MessageService.h"
#include "ModuleLoader.h"
#include "SuiteSetup.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void companyFilterAndGrids();

private:
    int count(const QString& sql, const QStringList& values) const;
    QWidget* theScreen() const;
    // Leaves the company field with Tab, as a user does.
    static void leaveCompany(QLineEdit* field) { QTest::keyClick(field, Qt::Key_Tab); }

    QTemporaryDir dir;
    QString dbFile;
    AppServerProcess appServer;
    std::unique_ptr<ModuleLoader> loader;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ScopedScriptedMessages> messages;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString binDir = qEnvironmentVariable("FAS_BIN_DIR");
    QVERIFY2(!binDir.isEmpty(), "FAS_BIN_DIR names the folder of fas-appserver and the modules");
    // The suite reads companies and customers from the same database, and reaches the server
    // through the same variables ./fas run sets.
    const QString problem = appServer.start(dir.path());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    dbFile = appServer.database;
    qputenv("FAS_OPTIONS_FILE", dir.filePath(QStringLiteral("options.ini")).toLocal8Bit());

    setUpSuiteLocale();
    loader = std::make_unique<ModuleLoader>(binDir);
    const ModuleOpener opener = [this](const QString& code) { openModule(*loader, code); };
    window = std::make_unique<MainWindow>(opener);
    FasApplication::SetMainForm(window.get(), window->mdiArea());
    SetModuleOpener(opener);
    window->resize(1100, 750);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    messages = std::make_unique<ScopedScriptedMessages>();

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    db.setDatabaseName(dbFile);
    QVERIFY(db.open());
}

void TestEndToEnd::cleanupTestCase()
{
    FasApplication::DestroyAllForms();
    if (loader)
        loader->unloadAll();
    SetModuleOpener({});
    FasApplication::SetMainForm(nullptr, nullptr);
    window.reset();
    messages.reset();
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

int TestEndToEnd::count(const QString& sql, const QStringList& values) const
{
    QSqlQuery query(QSqlDatabase::database(QStringLiteral("check")));
    query.prepare(sql);
    for (const QString& value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return -1;
    return query.value(0).toInt();
}

QWidget* TestEndToEnd::theScreen() const
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), "TfrmBCRInvoice") == 0)
            return widget;
    }
    return nullptr;
}

void TestEndToEnd::companyFilterAndGrids()
{
    window->openCode(QStringLiteral("FAS10000"));
    QWidget* screen = theScreen();
    QVERIFY2(screen, "the module opened its screen");
    auto* medCdEmpresa = screen->findChild<QLineEdit*>(QStringLiteral("medCdEmpresa"));
    auto* invoices = screen->findChild<QAbstractItemView*>(QStringLiteral("dbgPadrao"));
    auto* items = screen->findChild<QAbstractItemView*>(QStringLiteral("dbgItem"));
    QVERIFY(medCdEmpresa && invoices && items);
    QTRY_VERIFY(medCdEmpresa->hasFocus());

    // "1", Tab: the code becomes 01, its name shows and the filter dialog opens; the user
    // confirms it as it stands.
    auto* edtNmEmpresa = screen->findChild<QLineEdit*>(QStringLiteral("edtNmEmpresa"));
    QVERIFY(edtNmEmpresa);
    bool confirmed = false;
    QString nameWhileFiltering;
    ModalHelper::whenModal(
        [&](QDialog& filter) {
            nameWhileFiltering = edtNmEmpresa->text();
            auto* sbtConfirma = filter.findChild<QAbstractButton*>(QStringLiteral("sbtConfirma"));
            QVERIFY(sbtConfirma);
            confirmed = true;
            QTest::mouseClick(sbtConfirma, Qt::LeftButton);
        },
        "TfrmFiltroBCRInvoice", 20000);
    medCdEmpresa->selectAll();
    QTest::keyClick(medCdEmpresa, Qt::Key_Backspace);
    QTest::keyClicks(medCdEmpresa, QStringLiteral("1"));
    leaveCompany(medCdEmpresa);
    QTRY_VERIFY_WITH_TIMEOUT(confirmed, 5000);
    QCOMPARE(medCdEmpresa->text(), QStringLiteral("01"));
    QVERIFY(!nameWhileFiltering.trimmed().isEmpty());
    QCOMPARE(edtNmEmpresa->text(), nameWhileFiltering);
    QTRY_VERIFY(invoices->model()->rowCount() > 0);
    QVERIFY2((*messages)->messages.isEmpty(), qPrintable((*messages)->texts().join('\n')));

    const QString invoicesOf = QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = ?");
    const QString itemsOf =
        QStringLiteral("SELECT COUNT(*) FROM INVOICEITEM WHERE CDEMPRESA = ? AND NRINVOICE = ?");
    const int company01 = count(invoicesOf, {QStringLiteral("01")});
    QVERIFY(company01 > 0);
    QCOMPARE(invoices->model()->rowCount(), company01);

    // The items follow the current invoice.
    for (int row : {0, 1, 2}) {
        invoices->setCurrentIndex(invoices->model()->index(row, 2));
        const QString number = invoices->model()->index(row, 2).data().toString().trimmed();
        QVERIFY(!number.isEmpty());
        QCOMPARE(items->model()->rowCount(), count(itemsOf, {QStringLiteral("01"), number}));
        QVERIFY(items->model()->rowCount() > 0);
    }

    // A second company reloads at once, with the filter last confirmed, without the dialog.
    bool filterShown = false;
    ModalHelper::whenModal(
        [&filterShown](QDialog& filter) {
            filterShown = true;
            filter.close();
        },
        "TfrmFiltroBCRInvoice", 3000);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::mouseClick(medCdEmpresa, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), medCdEmpresa);
    medCdEmpresa->selectAll();
    QTest::keyClick(medCdEmpresa, Qt::Key_Backspace);
    QTest::keyClicks(medCdEmpresa, QStringLiteral("02"));
    leaveCompany(medCdEmpresa);
    QVERIFY(!filterShown);
    QVERIFY2((*messages)->messages.isEmpty(), qPrintable((*messages)->texts().join('\n')));
    const int company02 = count(invoicesOf, {QStringLiteral("02")});
    QVERIFY(company02 > 0);
    QCOMPARE(invoices->model()->rowCount(), company02);
    invoices->setCurrentIndex(invoices->model()->index(0, 2));
    const QString number = invoices->model()->index(0, 2).data().toString().trimmed();
    QCOMPARE(items->model()->rowCount(), count(itemsOf, {QStringLiteral("02"), number}));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
