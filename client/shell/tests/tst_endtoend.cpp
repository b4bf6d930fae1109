// The invoice list from end to end: the suite's main window and module loader, set up as
// fas-suite sets them up, load the real libPKG_FAS10000.so; the real fas-appserver runs as its
// own process on a free port over a demo database it created itself. The user types a company,
// confirms the filter and sees the invoices with the items of the current one; a second
// company reloads at once. Then the clerk's day on company 01: two open invoices marked, their
// receipt, their exchange, their notes, found in DFS15001 and greyed in the reloaded list.
#include "FasApplication.h"
#include "LoadBPL.h"
#include "MainWindow.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "ModuleLoader.h"
#include "ScreenFixture.h"
#include "SuiteSetup.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>
#include <functional>
#include <memory>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void companyFilterAndGrids();
    void clerksDay();
    void escapeAfterReopenChangesNothing();

private:
    int count(const QString& sql, const QStringList& values) const;
    QWidget* theScreen() const { return widgetOfClass("TfrmBCRInvoice"); }
    static QWidget* widgetOfClass(const char* className);
    // Runs `fill` on the dialog of `className` once it shows, then clicks its confirm button.
    static void confirmWhenModal(const char* className, const std::function<void(QDialog&)>& fill);
    // Leaves the company field with Tab, as a user does.
    static void leaveCompany(QLineEdit* field) { QTest::keyClick(field, Qt::Key_Tab); }

    ScriptedMessageService& messages() const { return fixture.messages(); }

    ScreenFixture fixture;
    std::unique_ptr<ModuleLoader> loader;
    std::unique_ptr<MainWindow> window;
};

void TestEndToEnd::initTestCase()
{
    // The suite reads companies and customers from the same database, and reaches the server
    // through the same variables ./fas run sets.
    const QString problem = fixture.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    setUpSuiteLocale();
    loader = std::make_unique<ModuleLoader>(qEnvironmentVariable("FAS_BIN_DIR"));
    const ModuleOpener opener = [this](const QString& code) { openModule(*loader, code); };
    window = std::make_unique<MainWindow>(opener);
    FasApplication::SetMainForm(window.get(), window->mdiArea());
    SetModuleOpener(opener);
    window->resize(1100, 750);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    db.setDatabaseName(fixture.server().database);
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

QWidget* TestEndToEnd::widgetOfClass(const char* className)
{
    for (QWidget* widget : QApplication::allWidgets()) {
        if (qstrcmp(widget->metaObject()->className(), className) == 0)
            return widget;
    }
    return nullptr;
}

void TestEndToEnd::confirmWhenModal(const char* className,
                                    const std::function<void(QDialog&)>& fill)
{
    ModalHelper::whenModal(
        [fill](QDialog& dialog) {
            fill(dialog);
            QTest::mouseClick(dialog.findChild<QAbstractButton*>(QStringLiteral("sbtConfirma")),
                              Qt::LeftButton);
        },
        className, 20000);
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
    QVERIFY2(messages().messages.isEmpty(), qPrintable(messages().texts().join('\n')));

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
    const ModalHelper::Scoped watcher(
        [&filterShown](QDialog& filter) {
            filterShown = true;
            filter.close();
        },
        "TfrmFiltroBCRInvoice");
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::mouseClick(medCdEmpresa, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), medCdEmpresa);
    medCdEmpresa->selectAll();
    QTest::keyClick(medCdEmpresa, Qt::Key_Backspace);
    QTest::keyClicks(medCdEmpresa, QStringLiteral("02"));
    leaveCompany(medCdEmpresa);
    QVERIFY(!filterShown);
    QVERIFY2(messages().messages.isEmpty(), qPrintable(messages().texts().join('\n')));
    const int company02 = count(invoicesOf, {QStringLiteral("02")});
    QVERIFY(company02 > 0);
    QCOMPARE(invoices->model()->rowCount(), company02);
    invoices->setCurrentIndex(invoices->model()->index(0, 2));
    const QString number = invoices->model()->index(0, 2).data().toString().trimmed();
    QCOMPARE(items->model()->rowCount(), count(itemsOf, {QStringLiteral("02"), number}));
}

void TestEndToEnd::clerksDay()
{
    QWidget* screen = theScreen();
    QVERIFY(screen);
    auto* medCdEmpresa = screen->findChild<QLineEdit*>(QStringLiteral("medCdEmpresa"));
    auto* invoices = screen->findChild<QAbstractItemView*>(QStringLiteral("dbgPadrao"));
    QAbstractItemModel& list = *invoices->model();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::mouseClick(medCdEmpresa, Qt::LeftButton);
    medCdEmpresa->selectAll();
    QTest::keyClicks(medCdEmpresa, QStringLiteral("01"));
    QTest::keyClick(medCdEmpresa, Qt::Key_Tab);
    QTRY_COMPARE(list.rowCount(), count(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE "
                                                       "CDEMPRESA = ?"),
                                        {QStringLiteral("01")}));

    // Two open invoices (no receipt date, may be marked), marked with a click each.
    const auto text = [&](int row, int column) {
        return list.index(row, column).data().toString();
    };
    QList<int> rows;
    for (int row = 0; row < list.rowCount() && rows.size() < 2; ++row)
        if (text(row, 0) == QLatin1String("N") && text(row, 6).trimmed().isEmpty())
            rows << row;
    QCOMPARE(rows.size(), 2);
    double sum = 0;
    QStringList numbers;
    for (int row : rows) {
        invoices->scrollTo(list.index(row, 0));
        QTest::mouseClick(invoices->viewport(), Qt::LeftButton, {},
                          invoices->visualRect(list.index(row, 0)).center());
        QCOMPARE(text(row, 0), QStringLiteral("S"));
        sum += QLocale().toDouble(text(row, 10));
        numbers << text(row, 2).trimmed();
    }
    const QString day = QDate(2027, 6, 30).toString(QStringLiteral("ddMMyyyy"));
    const auto shortcut = [&](Qt::Key key) {
        // The offscreen platform does not give the activation back after a modal dialog.
        QApplication::setActiveWindow(window.get());
        QTest::keyClick(screen, key, Qt::ControlModifier);
    };

    confirmWhenModal("TfrmConfReceb", [&](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("dbdReceb")), day);
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("edtVrOrdPgto")),
                         QLocale().toString(sum, 'f', 2).remove(QLocale().groupSeparator()));
    });
    shortcut(Qt::Key_R);
    confirmWhenModal("TfrmPrevCambDolar", [&](QDialog& dialog) {
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("nedVrDolarDia")),
                         QStringLiteral("5,123"));
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("nedTaxaCambio")),
                         QStringLiteral("5,1"));
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("dbdCambio")), day);
    });
    shortcut(Qt::Key_P);
    messages().queueAnswer(MessageService::Answer::No); // one note per invoice
    shortcut(Qt::Key_N);

    QCOMPARE(messages().texts(),
             (QStringList{"Recebimento cadastrado com sucesso!", "Câmbio cadastrado com sucesso!",
                          "Gerar Nota(s) Fiscal(is) unificada(s) para Invoice(s) de mesmo "
                          "Cliente?",
                          "Nota(s) Fiscal(is) gerada(s) com sucesso!"}));
    // The reloaded list greys them out; DFS15001 lists their notes.
    for (int row : rows)
        QCOMPARE(text(row, 0), QStringLiteral("D"));
    shortcut(Qt::Key_E);
    QWidget* notes = widgetOfClass("TfrmEmissaoNF");
    QVERIFY(notes);
    QAbstractItemModel& listed =
        *notes->findChild<QAbstractItemView*>(QStringLiteral("dbgNotas"))->model();
    QStringList covered;
    for (int row = 0; row < listed.rowCount(); ++row)
        for (int column = 0; column < listed.columnCount(); ++column)
            for (const QString& part :
                 listed.index(row, column).data().toString().split(QLatin1Char(',')))
                covered << part.trimmed();
    for (const QString& number : numbers)
        QVERIFY2(covered.contains(number), qPrintable(number));
}

// The filter dialog outlives the screen: after closing and reopening the screen and loading
// another company, Esc in the filter must leave the list as it is.
void TestEndToEnd::escapeAfterReopenChangesNothing()
{
    messages().clear();
    QApplication::setActiveWindow(window.get());
    QTest::mouseClick(theScreen()->findChild<QAbstractButton*>(QStringLiteral("sbtFechar")),
                      Qt::LeftButton);
    QTRY_VERIFY(!theScreen());
    window->openCode(QStringLiteral("FAS10000"));
    QWidget* screen = theScreen();
    QVERIFY(screen);
    auto* medCdEmpresa = screen->findChild<QLineEdit*>(QStringLiteral("medCdEmpresa"));
    QAbstractItemModel& list =
        *screen->findChild<QAbstractItemView*>(QStringLiteral("dbgPadrao"))->model();
    QTRY_VERIFY(medCdEmpresa->hasFocus());
    QTest::keyClicks(medCdEmpresa, QStringLiteral("2"));
    QTest::keyClick(medCdEmpresa, Qt::Key_Tab);
    const int company02 = count(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = ?"),
                                {QStringLiteral("02")});
    QTRY_COMPARE(list.rowCount(), company02);

    bool escaped = false;
    ModalHelper::whenModal(
        [&escaped](QDialog& filter) {
            filter.findChild<QCheckBox*>(QStringLiteral("chbAberto"))->setChecked(true);
            QTest::keyClick(&filter, Qt::Key_Escape);
            escaped = !filter.isVisible();
        },
        "TfrmFiltroBCRInvoice", 20000);
    QTest::keyClick(screen, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(escaped);
    QCOMPARE(list.rowCount(), company02);
    QVERIFY2(messages().messages.isEmpty(), qPrintable(messages().texts().join('\n')));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
