// The DFS15001 module as the suite runs it: loaded by the real module loader, opened through
// LoadBPL, reading a database the real fas-appserver created, with notes the server's own
// generation wrote.
#include "DemoDay.h"
#include "FasApplication.h"
#include "InvoiceService.h"
#include "LoadBPL.h"
#include "MessageService.h"
#include "ModuleLoader.h"
#include "PackageInfo.h"
#include "ServerDatabase.h"
#include "SuiteSetup.h"
#include "TClientDataSet.h"
#include "TDBGrid.h"

#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <map>
#include <sys/prctl.h>

namespace {

const QStringList Titles = {
    QStringLiteral("Empresa"),    QStringLiteral("Filial"),  QStringLiteral("Nº NF"),
    QStringLiteral("Data"),       QStringLiteral("Cliente"), QStringLiteral("Valor (R$)"),
    QStringLiteral("Valor (U$)"), QStringLiteral("Modo"),    QStringLiteral("Invoices")};

QString binDir()
{
    return qEnvironmentVariable("FAS_BIN_DIR");
}

QString money(double value)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(value, 'f', 2);
}

// A note as a user should see it, keyed by company, branch and number.
struct ExpectedNote
{
    QString company, branch, number, date, customer, reais, dollars, mode, invoices;
};

// Puts the database the screen reads in the environment for as long as it lives, then
// restores what was there.
class ScopedDatabase
{
public:
    explicit ScopedDatabase(const QString& file)
        : driver(qgetenv("FAS_DB_DRIVER")), name(qgetenv("FAS_DB_NAME")),
          hadDriver(qEnvironmentVariableIsSet("FAS_DB_DRIVER")),
          hadName(qEnvironmentVariableIsSet("FAS_DB_NAME"))
    {
        qputenv("FAS_DB_DRIVER", "QSQLITE");
        qputenv("FAS_DB_NAME", file.toLocal8Bit());
    }
    ~ScopedDatabase()
    {
        restore("FAS_DB_DRIVER", hadDriver, driver);
        restore("FAS_DB_NAME", hadName, name);
    }
    ScopedDatabase(const ScopedDatabase&) = delete;
    ScopedDatabase& operator=(const ScopedDatabase&) = delete;

private:
    static void restore(const char* variable, bool had, const QByteArray& value)
    {
        if (had)
            qputenv(variable, value);
        else
            qunsetenv(variable);
    }

    QByteArray driver, name;
    bool hadDriver, hadName;
};

} // namespace

class TestNfScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void moduleDescribesItself();
    void listsTheNotes_data();
    void listsTheNotes();
    void newestFirst();
    void iniProcTwiceGivesOneScreen();
    void opensOverAMaximisedWindowAndLeavesItSo();
    void closedScreenIsDestroyedAndOpensAnew();
    void refreshShowsNewNotes_data();
    void refreshShowsNewNotes();
    void emptyDatabaseSaysSo();
    void unreadableDatabaseIsReportedNotShownEmpty();

private:
    QString createDatabase(const QString& name, const QString& mode);
    QJsonObject issueNotes(const QString& company, const QString& mode, int maxInvoices);
    void openScreen();
    QWidget* screen() const;
    int screenCount() const;
    TDBGrid* grid() const;
    QString cell(int row, int column) const;
    int rowOf(const QString& company, const QString& branch, const QString& number) const;
    int noteCount() const;
    ScriptedMessageService& shown() const { return **messages; }

    QTemporaryDir dir;
    QString demoDb;
    std::map<QString, ExpectedNote> issued; // what issueNotes made, by test row name
    std::unique_ptr<QMainWindow> mainWindow;
    QMdiArea* area = nullptr;
    std::unique_ptr<ModuleLoader> loader;
    std::unique_ptr<ScopedScriptedMessages> messages;
    std::unique_ptr<ScopedDatabase> database;
};

QString TestNfScreen::createDatabase(const QString& name, const QString& mode)
{
    const QString file = dir.filePath(name);
    QProcess server;
    // A test that dies on the way does not leave its server behind.
    server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server.start(QDir(binDir()).filePath(QStringLiteral("fas-appserver")),
                 QStringList{QStringLiteral("--db"), file, mode} + demoDayArgs());
    if (!server.waitForFinished(120000) || server.exitCode() != 0)
        qWarning() << server.readAllStandardError();
    return QFileInfo::exists(file) ? file : QString();
}

// Issues notes through the server's own generation: the exchanged invoices of the company
// that have no note yet (at most maxInvoices of them), marked and sent to GeraNF.
QJsonObject TestNfScreen::issueNotes(const QString& company, const QString& mode, int maxInvoices)
{
    ServerDatabase where;
    where.name = demoDb;
    QSqlDatabase db = where.open(QStringLiteral("issuer"), true);
    QJsonObject result;
    {
        InvoiceService service(db);
        FilterArgs query = FilterArgs::everything(company);
        query.situation = QStringLiteral("N_");
        DataPacket packet = DataPacket::fromJson(service.getInvoiceJson(query));
        const int mark = packet.indexOf(QStringLiteral("IDCHECK"));
        const int exchanged = packet.indexOf(QStringLiteral("DTCAMBIOINVOICE"));
        const int rate = packet.indexOf(QStringLiteral("VRCAMBIOINVOICE"));
        int marked = 0;
        for (Row& row : packet.rows) {
            if (marked < maxInvoices && row.at(exchanged).isValid() && row.at(rate).isValid()) {
                row[mark] = QStringLiteral("S");
                ++marked;
            }
        }
        if (marked > 0)
            result = service.geraNF(packet.toJson(), mode);
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("issuer"));
    return result;
}

void TestNfScreen::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY2(!binDir().isEmpty(), "FAS_BIN_DIR is not set");
    demoDb = createDatabase(QStringLiteral("demo.db"), QStringLiteral("--init-demo"));
    QVERIFY2(!demoDb.isEmpty(), "fas-appserver --init-demo made no database");

    // One unified note over several invoices of one customer, made by the server itself.
    const QJsonObject result = issueNotes(QStringLiteral("02"), QStringLiteral("Unificada"), 40);
    QJsonObject widest;
    for (const QJsonValue& note : result.value(QStringLiteral("notas")).toArray()) {
        if (note[QStringLiteral("invoices")].toArray().size() >
            widest[QStringLiteral("invoices")].toArray().size())
            widest = note.toObject();
    }
    QVERIFY2(widest[QStringLiteral("invoices")].toArray().size() >= 2,
             "the demo data gave no customer with two exchanged invoices");

    // What the note must show, read back independently from the tables the server wrote.
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
    db.setDatabaseName(demoDb);
    QVERIFY(db.open());
    {
        QStringList invoices;
        double dollars = 0;
        for (const QJsonValue& number : widest[QStringLiteral("invoices")].toArray()) {
            QSqlQuery total(db);
            total.prepare(QStringLiteral(
                "SELECT TOTALINVOICE FROM INVOICE WHERE CDEMPRESA = '02' AND NRINVOICE = ?"));
            total.addBindValue(number.toString());
            QVERIFY(total.exec() && total.next());
            dollars += total.value(0).toDouble();
            invoices << number.toString();
        }
        QSqlQuery noteDay(db);
        noteDay.prepare(QStringLiteral("SELECT DTEMISNOTA FROM NOTAFISCAL WHERE CDEMPRESA = '02' "
                                       "AND CDFILIAL = ? AND NRNOTAFISC = ?"));
        noteDay.addBindValue(widest[QStringLiteral("CDFILIAL")].toString());
        noteDay.addBindValue(widest[QStringLiteral("NRNOTAFISC")].toString());
        QVERIFY(noteDay.exec() && noteDay.next());
        QSqlQuery customer(db);
        customer.prepare(QStringLiteral("SELECT NMFANTCLIE FROM CLIENTE WHERE CDCLIENTE = ?"));
        customer.addBindValue(widest[QStringLiteral("CDCLIENTE")].toString());
        QVERIFY(customer.exec() && customer.next());
        issued["unified note issued by the server"] = {
            QStringLiteral("02"),
            widest[QStringLiteral("CDFILIAL")].toString(),
            widest[QStringLiteral("NRNOTAFISC")].toString(),
            QDate::fromString(noteDay.value(0).toString().left(10), Qt::ISODate)
                .toString(QStringLiteral("dd/MM/yyyy")),
            customer.value(0).toString(),
            money(widest[QStringLiteral("VRNOTA")].toDouble()),
            money(dollars),
            QStringLiteral("Unificada"),
            invoices.join(QStringLiteral(", "))};

        // A note of the demonstration data: one invoice, its date at midnight.
        QSqlQuery demo(db);
        QVERIFY(demo.exec(QStringLiteral(
            "SELECT N.CDEMPRESA, N.CDFILIAL, N.NRNOTAFISC, N.DTEMISNOTA, C.NMFANTCLIE,"
            " N.VRNOTACENTAVOS, N.IDMODONOTA, L.NRINVOICE, I.TOTALINVOICE"
            " FROM NOTAFISCAL N JOIN CLIENTE C ON C.CDCLIENTE = N.CDCLIENTE"
            " JOIN NOTAFISCALINVOICE L ON L.CDEMPRESA = N.CDEMPRESA"
            " AND L.CDFILIAL = N.CDFILIAL AND L.NRNOTAFISC = N.NRNOTAFISC"
            " JOIN INVOICE I ON I.CDEMPRESA = L.CDEMPRESA AND I.NRINVOICE = L.NRINVOICE"
            " WHERE N.CDEMPRESA = '03' AND N.IDMODONOTA = 'Separadas'"
            " ORDER BY I.TOTALINVOICE DESC LIMIT 1")));
        QVERIFY2(demo.next(), "the demo data has no fiscal note");
        issued["separate note of the demo data"] = {
            demo.value(0).toString(),
            demo.value(1).toString(),
            demo.value(2).toString(),
            QDate::fromString(demo.value(3).toString().left(10), Qt::ISODate)
                .toString(QStringLiteral("dd/MM/yyyy")),
            demo.value(4).toString(),
            money(double(demo.value(5).toLongLong()) / 100),
            money(demo.value(8).toDouble()),
            demo.value(6).toString(),
            demo.value(7).toString()};
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

void TestNfScreen::init()
{
    messages = std::make_unique<ScopedScriptedMessages>();
    database = std::make_unique<ScopedDatabase>(demoDb);
    mainWindow = std::make_unique<QMainWindow>();
    area = new QMdiArea(mainWindow.get());
    mainWindow->setCentralWidget(area);
    mainWindow->resize(1200, 700);
    mainWindow->show();
    // Shortcuts (F5) reach only the active window.
    QApplication::setActiveWindow(mainWindow.get());
    QVERIFY(QTest::qWaitForWindowActive(mainWindow.get()));
    FasApplication::SetMainForm(mainWindow.get(), area);
    loader = std::make_unique<ModuleLoader>(binDir());
    SetModuleOpener([this](const QString& code) { openModule(*loader, code); });
}

void TestNfScreen::cleanup()
{
    SetModuleOpener({});
    loader.reset(); // unloads the module and destroys its screen
    FasApplication::SetMainForm(nullptr, nullptr);
    mainWindow.reset();
    database.reset();
    messages.reset();
}

void TestNfScreen::openScreen()
{
    LoadBPL(QStringLiteral("DFS15001"));
}

QWidget* TestNfScreen::screen() const
{
    for (QMdiSubWindow* sub : area->subWindowList())
        if (sub->widget() && sub->widget()->objectName() == QLatin1String("TfrmEmissaoNF"))
            return sub->widget();
    return nullptr;
}

int TestNfScreen::screenCount() const
{
    int count = 0;
    for (QMdiSubWindow* sub : area->subWindowList())
        if (sub->widget() && sub->widget()->objectName() == QLatin1String("TfrmEmissaoNF"))
            ++count;
    return count;
}

TDBGrid* TestNfScreen::grid() const
{
    QWidget* form = screen();
    return form ? form->findChild<TDBGrid*>(QStringLiteral("dbgNotas")) : nullptr;
}

QString TestNfScreen::cell(int row, int column) const
{
    return grid()->model()->index(row, column).data().toString();
}

int TestNfScreen::rowOf(const QString& company, const QString& branch, const QString& number) const
{
    for (int row = 0; row < grid()->model()->rowCount(); ++row)
        if (cell(row, 0) == company && cell(row, 1) == branch && cell(row, 2) == number)
            return row;
    return -1;
}

int TestNfScreen::noteCount() const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
    db.setDatabaseName(demoDb);
    int count = -1;
    if (db.open()) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL")) && query.next())
            count = query.value(0).toInt();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return count;
}

void TestNfScreen::moduleDescribesItself()
{
    openScreen();
    const PackageInfo* info = loader->packageInfo(QStringLiteral("DFS15001"));
    QVERIFY(info);
    QCOMPARE(QString::fromLatin1(info->name), QStringLiteral("PKG_DFS15001"));
    QCOMPARE(info->unitCount, 1);
    QCOMPARE(QString::fromLatin1(info->units[0]), QStringLiteral("Cli_DFS15001"));
}

void TestNfScreen::listsTheNotes_data()
{
    QTest::addColumn<QString>("name");
    for (const auto& entry : issued)
        QTest::newRow(entry.first.toUtf8().constData()) << entry.first;
}

void TestNfScreen::listsTheNotes()
{
    QFETCH(QString, name);
    const ExpectedNote& note = issued.at(name);
    openScreen();
    QVERIFY(grid());
    QVERIFY2(shown().texts().isEmpty(), qPrintable(shown().texts().join('\n')));

    QStringList titles;
    for (int column = 0; column < grid()->model()->columnCount(); ++column)
        titles << grid()->model()->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(titles, Titles);
    QCOMPARE(grid()->model()->rowCount(), noteCount());

    const int row = rowOf(note.company, note.branch, note.number);
    QVERIFY2(row >= 0, qPrintable(note.number));
    QVERIFY2(cell(row, 3).startsWith(note.date), qPrintable(cell(row, 3)));
    QCOMPARE(cell(row, 4), note.customer);
    QCOMPARE(cell(row, 5), note.reais);
    QCOMPARE(cell(row, 6), note.dollars);
    QCOMPARE(cell(row, 7), note.mode);
    QCOMPARE(cell(row, 8), note.invoices);
    QVERIFY(grid()->model()->index(row, 5).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
            Qt::AlignRight);
    QVERIFY(screen()->findChild<QLabel*>(QStringLiteral("lblSituacao"))->isHidden());
}

void TestNfScreen::newestFirst()
{
    openScreen();
    auto* notes = screen()->findChild<TClientDataSet*>(QStringLiteral("cdsNotas"));
    QVERIFY(notes);
    const int date = notes->FieldByName(QStringLiteral("DTEMISNOTA")).Index();
    QVERIFY(notes->RecordCount() > 2);
    for (int position = 1; position < notes->RecordCount(); ++position)
        QVERIFY2(notes->valueAt(position - 1, date).toDateTime() >=
                     notes->valueAt(position, date).toDateTime(),
                 qPrintable(QString::number(position)));
    QVERIFY(notes->valueAt(0, date).toDateTime() >
            notes->valueAt(notes->RecordCount() - 1, date).toDateTime());
}

void TestNfScreen::iniProcTwiceGivesOneScreen()
{
    openScreen();
    QWidget* first = screen();
    QVERIFY(first);
    auto* sub = qobject_cast<QMdiSubWindow*>(first->parentWidget());
    QVERIFY(sub);
    sub->showMinimized();
    QVERIFY(sub->isMinimized());

    openScreen();
    QCOMPARE(screenCount(), 1);
    QCOMPARE(screen(), first);
    QVERIFY(!sub->isMinimized());
    QVERIFY(!sub->isMaximized());
    QCOMPARE(area->activeSubWindow(), sub);
}

void TestNfScreen::opensOverAMaximisedWindowAndLeavesItSo()
{
    QMdiSubWindow* below = area->addSubWindow(new QWidget);
    below->showMaximized();
    area->setActiveSubWindow(below);
    openScreen();
    auto* sub = qobject_cast<QMdiSubWindow*>(screen()->parentWidget());
    QVERIFY(sub->isMaximized());
    sub->close();
    QTRY_VERIFY(!screen());
    QTRY_VERIFY(below->isMaximized());
}

void TestNfScreen::closedScreenIsDestroyedAndOpensAnew()
{
    openScreen();
    QPointer<QWidget> first = screen();
    QVERIFY(first);
    auto* close = first->findChild<QPushButton*>(QStringLiteral("btnFechar"));
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QTRY_VERIFY(first.isNull());
    QTRY_COMPARE(area->subWindowList().size(), 0);

    openScreen();
    QCOMPARE(screenCount(), 1);
    QVERIFY(grid()->model()->rowCount() > 0);
}

void TestNfScreen::refreshShowsNewNotes_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::newRow("F5") << true;
    QTest::newRow("Atualizar") << false;
}

void TestNfScreen::refreshShowsNewNotes()
{
    QFETCH(bool, byKey);
    openScreen();
    const int before = grid()->model()->rowCount();
    const QJsonObject result = issueNotes(QStringLiteral("01"), QStringLiteral("Separadas"), 1);
    const QJsonArray notes = result.value(QStringLiteral("notas")).toArray();
    QCOMPARE(notes.size(), 1);
    QCOMPARE(grid()->model()->rowCount(), before); // nothing reads by itself

    if (byKey) {
        grid()->setFocus();
        QTest::keyClick(grid(), Qt::Key_F5);
    } else {
        QTest::mouseClick(screen()->findChild<QPushButton*>(QStringLiteral("btnAtualizar")),
                          Qt::LeftButton);
    }
    QCOMPARE(grid()->model()->rowCount(), before + 1);
    QVERIFY(rowOf(QStringLiteral("01"), notes[0][QStringLiteral("CDFILIAL")].toString(),
                  notes[0][QStringLiteral("NRNOTAFISC")].toString()) >= 0);
}

void TestNfScreen::emptyDatabaseSaysSo()
{
    const QString empty = createDatabase(QStringLiteral("empty.db"), QStringLiteral("--init"));
    QVERIFY(!empty.isEmpty());
    ScopedDatabase use(empty);
    openScreen();
    QVERIFY(grid());
    QCOMPARE(grid()->model()->rowCount(), 0);
    auto* status = screen()->findChild<QLabel*>(QStringLiteral("lblSituacao"));
    QVERIFY(status->isVisibleTo(screen()));
    QCOMPARE(status->text(), QStringLiteral("Nenhuma nota fiscal gerada."));
    QVERIFY(shown().texts().isEmpty());
}

void TestNfScreen::unreadableDatabaseIsReportedNotShownEmpty()
{
    const QString missing = dir.filePath(QStringLiteral("nao-existe.db"));
    {
        ScopedDatabase use(missing);
        openScreen();
    }
    QVERIFY(screen()); // the screen opens and says why it is empty
    QCOMPARE(shown().messages.size(), 1);
    QCOMPARE(shown().messages.at(0).kind, MessageService::Kind::Error);
    QVERIFY2(shown().texts().at(0).contains(missing), qPrintable(shown().texts().at(0)));
    auto* status = screen()->findChild<QLabel*>(QStringLiteral("lblSituacao"));
    QCOMPARE(status->text(), QStringLiteral("Não foi possível ler as notas fiscais."));
    QCOMPARE(grid()->model()->rowCount(), 0);
    QVERIFY2(!QFileInfo::exists(missing), "reading created the database file");

    // Once the database is there, F5 reads it on a fresh connection.
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_F5);
    QCOMPARE(grid()->model()->rowCount(), noteCount());
    QVERIFY(status->isHidden());
}

QTEST_MAIN(TestNfScreen)
#include "tst_nfscreen.moc"
