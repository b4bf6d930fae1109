// Kept as one file (over the usual size) on purpose: every topic below (the list, the company
// field, marking, notes, registration) drives the same screen through the same helpers of this
// test object (the counting filter, loading a company, typing into the company field, reading
// the grids), and one executable starts the application server once for all of them.
// The settlement screen driven as a user drives it (keys, tab, clicks) inside a real main
// window, against the real fas-appserver process on a free port and its demo database.
#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10002.h"
#include "Cli_FAS10003.h"
#include "EventDispatch.h"
#include "FasApplication.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "LookupListDialog.h"
#include "MarkImages.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "OptionStore.h"
#include "ScreenFixture.h"
#include "TDBGrid.h"
#include "TfrmBCRInvoice.h"
#include "TfrmConfReceb.h"
#include "TfrmFiltroBCRInvoice.h"

#include <QComboBox>
#include <QHeaderView>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {

// Keys typed into a field: key code and modifiers.
using Keys = QList<QPair<int, int>>;

// A filter dialog that counts its confirmations and showings; the first `failures`
// confirmations fail as a server failure would.
class CountingFilter : public TfrmFiltroBCRInvoice
{
public:
    int confirmations = 0;
    int shows = 0;
    int failures = 0;

    void sbtConfirmaClick(QObject* sender) override
    {
        ++confirmations;
        if (failures > 0) {
            --failures;
            MensErro(QStringLiteral("Servidor indisponível."), true);
        }
        TfrmFiltroBCRInvoice::sbtConfirmaClick(sender);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        ++shows;
        TfrmFiltroBCRInvoice::showEvent(event);
    }
};

} // namespace

class TestSettlement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void markImages_data();
    void markImages();
    void toolButtons_data();
    void toolButtons();
    void gridColumns_data();
    void gridColumns();

    void typeWord_data();
    void typeWord();
    void amountsAsDisplayed_data();
    void amountsAsDisplayed();
    void itemsFollowCurrentInvoice();
    void secondInvoiceItems_data();
    void secondInvoiceItems();
    void openingInvoicesResetsMarkAll();

    void companyFieldTakesDigitsOnly_data();
    void companyFieldTakesDigitsOnly();
    void companyRefused_data();
    void companyRefused();
    void firstCompanyOpensFilter();
    void companyChangeReloadsWithoutDialog();
    void failedReloadKeepsFieldAndRetries();
    void companyLookup();
    void refreshReloadsWithSavedCriteria_data();
    void refreshReloadsWithSavedCriteria();
    void enteringHidesDetailPanel();

    void activationConnectsWithEndpointReadEachTime();

    void toggleMark_data();
    void toggleMark();
    void markAllAcrossLoads();
    void drawnMarkCells();
    void saveSendsPendingMarks_data();
    void saveSendsPendingMarks();
    void notesRefused_data();
    void notesRefused();
    void generateNotes_data();
    void generateNotes();
    void notesFailureKeepsList();

    void summaryOfTheList();
    void gridKeepsColumnsAndCurrentInvoice();

    void registrationPass_data();
    void registrationPass();
    void receiptStoresShares();
    void receiptRefusedStoresNothing_data();
    void receiptRefusedStoresNothing();

private:
    TfrmBCRInvoice* screen() const { return Cli_FAS10000::frmBCRInvoice; }
    CountingFilter* installFilter();
    CountingFilter* chooseCompany(const QString& company);
    DataPacket fetch(const QString& method, const QString& company);
    void loadCompany(const QString& company, const std::function<void(DataPacket&)>& invoices = {},
                     const std::function<void(DataPacket&)>& items = {});
    QString cell(TDBGrid* grid, int row, int column) const;
    void listCompany(const QString& company, const std::function<void(DataPacket&)>& invoices = {});
    QVariant invoiceValue(int row, const char* field) const;
    QString mark(int row) const;
    void clickMark(int row);
    // Rows of the loaded list that may get their note: received, exchanged, none issued.
    QList<int> readyForNotes() const;
    int storedNotes() const;
    // Open invoices (no receipt date, no note) of the loaded list, in list order.
    QList<int> openInvoices() const;
    // An invoice as the server holds it now, by number.
    Row serverInvoice(const QString& number, const DataPacket& packet) const;
    void typeIntoCompany(const QString& text);
    void leaveCompany();
    void enterCompany();
    void activateScreen();
    ScriptedMessageService& shown() const { return fixture.messages(); }

    ScreenFixture fixture;
    QString demoDb;
    int serverPort = 0;
    QMainWindow* mainWindow = nullptr;
    QMdiArea* area = nullptr;
    QMdiSubWindow* otherWindow = nullptr;
};

void TestSettlement::initTestCase()
{
    const QString problem = fixture.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    demoDb = fixture.server().database;
    serverPort = fixture.server().port;

    area = &fixture.makeMainWindow(QSize(1000, 700));
    mainWindow = fixture.mainWindow();
    otherWindow = area->addSubWindow(new QWidget);
    QVERIFY(fixture.showMainWindow());
}

void TestSettlement::cleanupTestCase()
{
    FasApplication::DestroyAllForms();
}

void TestSettlement::init()
{
    shown().clear();
    Cli_FAS10001::Initialization();
    Cli_FAS10002::Initialization();
    Cli_FAS10003::Initialization();
    Cli_FAS10000::Initialization();
    // The offscreen platform does not give the activation back after a modal dialog.
    QApplication::setActiveWindow(mainWindow);
    Cli_FAS10000::CriaBCRInvoice();
    QVERIFY(screen());
    QTRY_COMPARE(QApplication::focusWidget(), screen()->medCdEmpresa);
    QTRY_VERIFY(screen()->netBCRInvoice->Connected());
}

void TestSettlement::cleanup()
{
    Cli_FAS10000::Finalization();
    Cli_FAS10003::Finalization();
    Cli_FAS10002::Finalization();
    Cli_FAS10001::Finalization();
    FasApplication::DestroyAllForms();
    QVERIFY(!screen());
    QCOMPARE(BusyAnimationDepth(), 0);
}

CountingFilter* TestSettlement::installFilter()
{
    auto* filter = FasApplication::CreateForm<CountingFilter>();
    Cli_FAS10001::frmFiltroBCRInvoice = filter;
    Cli_FAS10001::boIdCriado = true;
    return filter;
}

// A company chosen by typing its code and tabbing out, with the filter dialog in existence.
CountingFilter* TestSettlement::chooseCompany(const QString& company)
{
    CountingFilter* filter = installFilter();
    typeIntoCompany(company);
    leaveCompany();
    return filter;
}

// The invoices or items of a company, every situation and date, straight from the server
// over the screen's own connection.
DataPacket TestSettlement::fetch(const QString& method, const QString& company)
{
    FilterArgs filter = FilterArgs::everything(company);
    const QJsonValue result = screen()->netBCRInvoice->GetServer().call(
        method == QLatin1String("GetItem") ? RemoteMethods::GetItem : RemoteMethods::GetInvoice,
        filter);
    return DataPacket::fromJsonObject(CheckResultServ(result, true, 0).toObject());
}

// Loads a company's invoices, then its items, as the filter's confirmation does; the packets
// may be changed on the way.
void TestSettlement::loadCompany(const QString& company,
                                 const std::function<void(DataPacket&)>& invoices,
                                 const std::function<void(DataPacket&)>& items)
{
    DataPacket invoicePacket = fetch(QStringLiteral("GetInvoice"), company);
    DataPacket itemPacket = fetch(QStringLiteral("GetItem"), company);
    if (invoices)
        invoices(invoicePacket);
    if (items)
        items(itemPacket);
    screen()->cdsInvoice->SetData(invoicePacket);
    screen()->cdsItem->SetData(itemPacket);
}

QString TestSettlement::cell(TDBGrid* grid, int row, int column) const
{
    return grid->model()->index(row, column).data().toString();
}

void TestSettlement::typeIntoCompany(const QString& text)
{
    QLineEdit* field = screen()->medCdEmpresa;
    QTRY_COMPARE(QApplication::focusWidget(), field);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void TestSettlement::leaveCompany()
{
    QTest::keyClick(screen()->medCdEmpresa, Qt::Key_Tab);
}

void TestSettlement::enterCompany()
{
    QTest::mouseClick(screen()->medCdEmpresa, Qt::LeftButton);
    QTRY_COMPARE(QApplication::focusWidget(), screen()->medCdEmpresa);
}

// Activates another window of the main window, then the screen: a real activation.
void TestSettlement::activateScreen()
{
    area->setActiveSubWindow(otherWindow);
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(screen()->parentWidget()));
}

// ---- presentation ---------------------------------------------------------------------------

void TestSettlement::markImages_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QPoint>("pixel"); // column, row
    QTest::addColumn<QColor>("colour");

    const QColor olive(0x80, 0x80, 0x00), black(Qt::black), white(Qt::white),
        grey(0xC0, 0xC0, 0xC0);
    for (const char* image : {"imgCheck", "imgUnCheck", "imgNoCheck"}) {
        const QString name = QString::fromLatin1(image);
        QTest::addRow("%s corner", image) << name << QPoint(0, 0) << olive;
        QTest::addRow("%s frame top", image) << name << QPoint(11, 2) << black;
        QTest::addRow("%s frame left", image) << name << QPoint(2, 11) << black;
        QTest::addRow("%s no frame right", image) << name << QPoint(12, 5) << olive;
        QTest::addRow("%s no frame bottom", image) << name << QPoint(5, 12) << olive;
        QTest::addRow("%s shadow right", image) << name << QPoint(13, 1) << grey;
        QTest::addRow("%s shadow bottom", image) << name << QPoint(1, 13) << grey;
        QTest::addRow("%s shadow corner", image) << name << QPoint(13, 13) << grey;
        QTest::addRow("%s beyond shadow", image) << name << QPoint(14, 14) << olive;
        QTest::addRow("%s before frame", image) << name << QPoint(1, 1) << olive;
    }
    QTest::newRow("unchecked interior") << "imgUnCheck" << QPoint(10, 4) << white;
    QTest::newRow("unchecked last interior") << "imgUnCheck" << QPoint(11, 11) << white;
    QTest::newRow("no-check interior") << "imgNoCheck" << QPoint(6, 10) << grey;
    QTest::newRow("check mark top") << "imgCheck" << QPoint(10, 4) << black;
    QTest::newRow("check mark left arm") << "imgCheck" << QPoint(4, 6) << black;
    QTest::newRow("check mark gap") << "imgCheck" << QPoint(6, 7) << white;
    QTest::newRow("check mark run") << "imgCheck" << QPoint(8, 8) << black;
    QTest::newRow("check mark tip") << "imgCheck" << QPoint(6, 10) << black;
    QTest::newRow("check beside tip") << "imgCheck" << QPoint(7, 10) << white;
    QTest::newRow("check interior") << "imgCheck" << QPoint(4, 4) << white;
}

void TestSettlement::markImages()
{
    QFETCH(QString, image);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, colour);
    auto* label = screen()->findChild<QLabel*>(image);
    QVERIFY(label);
    QVERIFY(!label->isVisible());
    const QImage bitmap = label->pixmap().toImage();
    QCOMPARE(bitmap.size(), QSize(16, 16));
    QCOMPARE(bitmap.pixelColor(pixel).rgb(), colour.rgb());
}

void TestSettlement::toolButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("shortcut");

    QTest::newRow("filter") << "sbtFiltrar"
                            << "Filtrar"
                            << "mnuFiltrar"
                            << "Ctrl+L";
    QTest::newRow("registration") << "sbtCadAuto"
                                  << "Cadastro Automático"
                                  << ""
                                  << "";
    QTest::newRow("fiscal note") << "sbtGerarNF"
                                 << "Gerar Nota Fiscal"
                                 << "mnuGerarNF"
                                 << "Ctrl+N";
    QTest::newRow("more") << "sbtMais"
                          << "Mais"
                          << "mnuMais"
                          << "Ctrl+M";
}

// The screen's own commands, left to right, all disabled at start with their menu items.
void TestSettlement::toolButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, hint);
    QFETCH(QString, menu);
    QFETCH(QString, shortcut);

    const QStringList order{"sbtFiltrar",  "sbtCadAuto", "sbtGerarNF", "sbtMais",
                            "sbtImprimir", "sbtAjuda",   "sbtFechar"};
    auto* sbt = screen()->findChild<TButtonFlat*>(button);
    QVERIFY(sbt);
    QCOMPARE(sbt->Hint(), hint);
    QVERIFY(!sbt->isEnabled());
    QVERIFY(!screen()->sbtImprimir->isEnabled());
    const int index = order.indexOf(button);
    auto* next = screen()->findChild<QWidget*>(order.at(index + 1));
    QVERIFY(sbt->x() < next->x());
    if (!menu.isEmpty()) {
        auto* action = screen()->findChild<QAction*>(menu);
        QVERIFY(action);
        QVERIFY(!action->isEnabled());
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    }
    QVERIFY(!screen()->mnuCadAuto->isEnabled());
    QCOMPARE(screen()->windowTitle(), QStringLiteral("Baixa C. Receber (INVOICE)"));
    QCOMPARE(screen()->lblCodTela->text(), QStringLiteral("FAS10000"));
    QVERIFY(!screen()->panTaxaCambio->isVisible());
    QVERIFY(sbt->isVisible());
}

void TestSettlement::gridColumns_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");

    // The mark column's title is the check mark of the symbol font it is written for.
    const QList<std::pair<const char*, int>> invoice{
        {"\u2714", 16},          {"Tipo", 68},        {"Invoice", 69},
        {"Cliente", 152},        {"Dt. Emissão", 74}, {"Dt. Vencimento", 80},
        {"Dt. Recebimento", 84}, {"Dt. Câmbio", 71},  {"Nº NF", 67},
        {"Vr. Câmbio (R$)", -1}, {"Valor (U$)", 72}};
    for (int i = 0; i < invoice.size(); ++i)
        QTest::newRow(qPrintable(QStringLiteral("invoice %1").arg(i + 1)))
            << "dbgPadrao" << i << QString::fromUtf8(invoice.at(i).first) << invoice.at(i).second;
    const QList<std::pair<const char*, int>> item{
        {"Item", 163}, {"Descrição", 484}, {"Vr. Unitário", 93}, {"Vr. Ajustado", 93}};
    for (int i = 0; i < item.size(); ++i)
        QTest::newRow(qPrintable(QStringLiteral("item %1").arg(i + 1)))
            << "dbgItem" << i << QString::fromUtf8(item.at(i).first) << item.at(i).second;
}

void TestSettlement::gridColumns()
{
    QFETCH(QString, grid);
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(int, width);
    auto* dbg = screen()->findChild<TDBGrid*>(grid);
    QCOMPARE(dbg->ColumnCount(), grid == QLatin1String("dbgPadrao") ? 11 : 4);
    QCOMPARE(dbg->model()->headerData(column, Qt::Horizontal).toString(), title);
    if (width > 0)
        QCOMPARE(dbg->columnWidth(column), width);
    else
        QVERIFY(dbg->columnWidth(column) > 0);
}

// ---- record rules ---------------------------------------------------------------------------

void TestSettlement::typeWord_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("shown");
    QTest::newRow("M") << "M"
                       << "Manual";
    QTest::newRow("A") << "A"
                       << "Automático";
    QTest::newRow("lower-case m") << "m"
                                  << "";
    QTest::newRow("lower-case a") << "a"
                                  << "";
    QTest::newRow("blank") << " "
                           << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("other") << "X"
                           << "";
}

void TestSettlement::typeWord()
{
    QFETCH(QString, type);
    QFETCH(QString, shown);
    // The type of the second invoice is changed; the first keeps a word, so the cell shows
    // the row's own type and not the current record's.
    loadCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        const int field = packet.indexOf(QStringLiteral("IDTIPOINVOICE"));
        packet.rows[0][field] = QStringLiteral("M");
        packet.rows[1][field] = type;
    });
    QCOMPARE(screen()->cdsInvoice->RecNo(), 1);
    QCOMPARE(cell(screen()->dbgPadrao, 0, 1), QStringLiteral("Manual"));
    QCOMPARE(cell(screen()->dbgPadrao, 1, 1), shown);
}

void TestSettlement::amountsAsDisplayed_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("exchange zero") << "VRCAMBIOINVOICE" << 0.0 << " ";
    QTest::newRow("exchange three decimals") << "VRCAMBIOINVOICE" << 5.12345 << "5,123";
    QTest::newRow("exchange thousands") << "VRCAMBIOINVOICE" << 1234.5 << "1.234,500";
    QTest::newRow("total zero") << "TOTALINVOICE" << 0.0 << "0,00";
    QTest::newRow("total two decimals") << "TOTALINVOICE" << 1234.5 << "1.234,50";
    QTest::newRow("total rounded") << "TOTALINVOICE" << 10.005 << "10,01";
    QTest::newRow("payment order zero") << "VRORDPGTOINVOI" << 0.0 << " ";
    QTest::newRow("payment order") << "VRORDPGTOINVOI" << 2500.0 << "2.500,00";
    QTest::newRow("rate zero") << "VRTXCAMBIOINVOI" << 0.0 << " ";
    QTest::newRow("rate") << "VRTXCAMBIOINVOI" << 5.1 << "5,10";
}

// As the grid shows the two value columns and the detail panel its two amounts.
void TestSettlement::amountsAsDisplayed()
{
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(QString, shown);
    loadCompany(QStringLiteral("01"),
                [&](DataPacket& packet) { packet.rows[0][packet.indexOf(field)] = value; });
    TfrmBCRInvoice* frm = screen();
    if (field == QLatin1String("VRCAMBIOINVOICE"))
        QCOMPARE(cell(frm->dbgPadrao, 0, 9), shown);
    else if (field == QLatin1String("TOTALINVOICE"))
        QCOMPARE(cell(frm->dbgPadrao, 0, 10), shown);
    else
        QCOMPARE((field == QLatin1String("VRORDPGTOINVOI") ? frm->dbeOrdPgto : frm->dbeTaxaCambio)
                     ->text(),
                 shown);
}

void TestSettlement::itemsFollowCurrentInvoice()
{
    chooseCompany(QStringLiteral("02"));
    loadCompany(QStringLiteral("02"));
    TfrmBCRInvoice* frm = screen();
    const DataPacket items = fetch(QStringLiteral("GetItem"), QStringLiteral("02"));
    const int invoiceField = items.indexOf(QStringLiteral("NRINVOICE"));
    const int productField = items.indexOf(QStringLiteral("NMPRODUTO"));
    QVERIFY(frm->cdsInvoice->RecordCount() > 5);

    frm->dbgPadrao->setFocus();
    for (int row = 0; row < 6; ++row) {
        if (row > 0)
            QTest::keyClick(frm->dbgPadrao, Qt::Key_Down);
        QCOMPARE(frm->cdsInvoice->RecNo(), row + 1);
        const QString invoice =
            frm->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
        QStringList expected;
        for (const Row& item : items.rows)
            if (item.at(invoiceField).toString() == invoice)
                expected << item.at(productField).toString();
        QVERIFY2(!expected.isEmpty(), qPrintable(invoice));
        QStringList seen;
        for (int r = 0; r < frm->dbgItem->model()->rowCount(); ++r)
            seen << cell(frm->dbgItem, r, 0);
        QCOMPARE(seen, expected);
    }
}

void TestSettlement::secondInvoiceItems_data()
{
    QTest::addColumn<QString>("number"); // the second invoice's new number, with its items
    QTest::addColumn<bool>("dropItems");
    QTest::newRow("without items") << QString() << true;
    QTest::newRow("quote in the number") << "12'34" << false;
    QTest::newRow("quotes at the ends") << "'1234'" << false;
    QTest::newRow("blank in the number") << "12 34" << false;
}

// The item grid of the second invoice: empty when it has none, and its own items whatever
// characters its number holds.
void TestSettlement::secondInvoiceItems()
{
    QFETCH(QString, number);
    QFETCH(bool, dropItems);
    QString second;
    int itemCount = 0;
    chooseCompany(QStringLiteral("01"));
    loadCompany(
        QStringLiteral("01"),
        [&](DataPacket& packet) {
            const int field = packet.indexOf(QStringLiteral("NRINVOICE"));
            second = packet.rows.at(1).at(field).toString();
            if (!number.isEmpty())
                packet.rows[1][field] = number;
        },
        [&](DataPacket& packet) {
            const int field = packet.indexOf(QStringLiteral("NRINVOICE"));
            if (dropItems) {
                packet.rows.removeIf(
                    [&](const Row& row) { return row.at(field).toString() == second; });
                return;
            }
            for (Row& row : packet.rows) {
                if (row.at(field).toString() == second) {
                    row[field] = number;
                    ++itemCount;
                }
            }
        });
    QVERIFY(dropItems || itemCount > 0);
    TfrmBCRInvoice* frm = screen();
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('|')));
    QVERIFY(frm->dbgItem->model()->rowCount() > 0);
    frm->dbgPadrao->setFocus();
    QTest::keyClick(frm->dbgPadrao, Qt::Key_Down);
    QCOMPARE(frm->cdsInvoice->RecNo(), 2);
    QCOMPARE(frm->dbgItem->model()->rowCount(), itemCount);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('|')));
    QTest::keyClick(frm->dbgPadrao, Qt::Key_Up);
    QVERIFY(frm->dbgItem->model()->rowCount() > 0);
}

void TestSettlement::openingInvoicesResetsMarkAll()
{
    Cli_FAS10000::boTodos = true;
    loadCompany(QStringLiteral("03"));
    QVERIFY(!Cli_FAS10000::boTodos);
    Cli_FAS10000::boTodos = true;
    screen()->cdsInvoice->Close();
    QVERIFY(Cli_FAS10000::boTodos);
    loadCompany(QStringLiteral("01"));
    QVERIFY(!Cli_FAS10000::boTodos);
}

// ---- the company field ----------------------------------------------------------------------

void TestSettlement::companyFieldTakesDigitsOnly_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QString>("text");

    const int none = Qt::NoModifier, keypad = Qt::KeypadModifier, shift = Qt::ShiftModifier;
    QTest::newRow("digits") << Keys{{Qt::Key_1, none}, {Qt::Key_2, none}} << "12";
    QTest::newRow("letter") << Keys{{Qt::Key_A, none}, {Qt::Key_3, none}} << "3";
    QTest::newRow("capital letter") << Keys{{Qt::Key_B, shift}, {Qt::Key_4, none}} << "4";
    QTest::newRow("plus sign") << Keys{{Qt::Key_Plus, shift}, {Qt::Key_5, none}} << "5";
    QTest::newRow("minus sign") << Keys{{Qt::Key_Minus, none}, {Qt::Key_6, none}} << "6";
    QTest::newRow("keypad plus") << Keys{{Qt::Key_Plus, keypad}, {Qt::Key_7, none}} << "7";
    QTest::newRow("keypad minus") << Keys{{Qt::Key_Minus, keypad}, {Qt::Key_8, none}} << "8";
    QTest::newRow("space") << Keys{{Qt::Key_Space, none}, {Qt::Key_9, none}} << "9";
    QTest::newRow("backspace") << Keys{{Qt::Key_1, none},
                                       {Qt::Key_Backspace, none},
                                       {Qt::Key_2, none}}
                               << "2";
    QTest::newRow("keypad digit") << Keys{{Qt::Key_3, keypad}} << "3";
}

void TestSettlement::companyFieldTakesDigitsOnly()
{
    QFETCH(Keys, keys);
    QFETCH(QString, text);
    typeIntoCompany(QString());
    QLineEdit* field = screen()->medCdEmpresa;
    field->setCursorPosition(0);
    for (const auto& [key, modifiers] : keys)
        QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(field->text(), text);
}

void TestSettlement::companyRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank") << ""
                           << "Empresa deve ser informada.";
    QTest::newRow("unknown") << "99"
                             << "Empresa não cadastrada.";
    QTest::newRow("unknown single digit") << "9"
                                          << "Empresa não cadastrada.";
}

// A refused code shows the message, leaves the focus in the field, the commands disabled and
// the invoices loaded before on the screen.
void TestSettlement::companyRefused()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    CountingFilter* filter = installFilter();
    typeIntoCompany(QStringLiteral("1"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    loadCompany(QStringLiteral("01"));
    TfrmBCRInvoice* frm = screen();
    const int invoices = frm->cdsInvoice->RecordCount();
    QTRY_VERIFY(frm->sbtGerarNF->isEnabled() || frm->dbgPadrao->hasFocus());

    enterCompany();
    typeIntoCompany(typed);
    leaveCompany();
    QCOMPARE(shown().texts(), QStringList{message});
    shown().clear();
    QCOMPARE(QApplication::focusWidget(), frm->medCdEmpresa);
    for (QWidget* command :
         std::initializer_list<QWidget*>{frm->sbtFiltrar, frm->sbtProcurar, frm->sbtVerificar,
                                         frm->sbtCadAuto, frm->sbtGerarNF, frm->sbtMais})
        QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
    for (QAction* command :
         {frm->mnuFiltrar, frm->mnuProcurar, frm->mnuVerificar, frm->mnuGerarNF, frm->mnuMais})
        QVERIFY2(!command->isEnabled(), qPrintable(command->objectName()));
    QVERIFY(frm->edtNmEmpresa->text().isEmpty());
    QCOMPARE(filter->confirmations, 1);
    QCOMPARE(frm->cdsInvoice->RecordCount(), invoices);
}

// The first company since the module was loaded: "1" is looked up as "01", stays so in the
// field, its name shows and the filter dialog opens.
void TestSettlement::firstCompanyOpensFilter()
{
    QVERIFY(!Cli_FAS10001::frmFiltroBCRInvoice);
    int dialogs = 0;
    QString nameWhileOpen;
    ModalHelper::whenModal(
        [&](QDialog& dialog) {
            ++dialogs;
            nameWhileOpen = screen()->edtNmEmpresa->text();
            dialog.close();
        },
        "TfrmFiltroBCRInvoice");
    typeIntoCompany(QStringLiteral("1"));
    leaveCompany();
    QCOMPARE(dialogs, 1);
    TfrmBCRInvoice* frm = screen();
    QCOMPARE(frm->medCdEmpresa->text(), QStringLiteral("01"));
    QCOMPARE(nameWhileOpen, QStringLiteral("Exportadora Café Brasil S.A."));
    QCOMPARE(frm->edtNmEmpresa->text(), QStringLiteral("Exportadora Café Brasil S.A."));
    QCOMPARE(frm->CdEmpresaAnterior, QStringLiteral("01"));
    QVERIFY(frm->sbtFiltrar->isEnabled());
    QVERIFY(frm->mnuFiltrar->isEnabled());
    QVERIFY(!frm->cdsItem->ControlsDisabled());
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));

    // The filter command opens the same dialog again.
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QTest::mouseClick(frm->sbtFiltrar, Qt::LeftButton);
    QVERIFY(Cli_FAS10001::frmFiltroBCRInvoice);
    QVERIFY(!Cli_FAS10001::frmFiltroBCRInvoice->isVisible());
}

// With the dialog in existence, a changed code reloads through the hidden dialog's
// confirmation; the same code reloads nothing and still gives the commands back.
void TestSettlement::companyChangeReloadsWithoutDialog()
{
    CountingFilter* filter = installFilter();
    TfrmBCRInvoice* frm = screen();
    typeIntoCompany(QStringLiteral("01"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    // The company of the list after a reload: closing the filter unconfirmed changes nothing.
    QCOMPARE(frm->CdEmpresaAnterior, QStringLiteral("01"));
    QVERIFY(frm->sbtFiltrar->isEnabled());

    loadCompany(QStringLiteral("01"));
    enterCompany();
    QVERIFY(!frm->sbtFiltrar->isEnabled());
    QVERIFY(!frm->sbtGerarNF->isEnabled());
    QCOMPARE(frm->CdEmpresaAnterior, QStringLiteral("01"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    QVERIFY(frm->sbtFiltrar->isEnabled());
    QVERIFY(frm->sbtGerarNF->isEnabled());
    QVERIFY(frm->mnuGerarNF->isEnabled());
    QVERIFY(frm->sbtMais->isEnabled());
    QVERIFY(!frm->sbtIncluir->isEnabled());

    enterCompany();
    typeIntoCompany(QStringLiteral("2"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 2);
    QCOMPARE(frm->medCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(frm->edtNmEmpresa->text(), QStringLiteral("Companhia Açucareira Paulista"));
    QCOMPARE(filter->shows, 0);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));
}

// A reload that fails leaves the focus in the field without entering it again, so that the
// next exit loads again instead of taking the old list for the new company.
void TestSettlement::failedReloadKeepsFieldAndRetries()
{
    CountingFilter* filter = installFilter();
    filter->failures = 1;
    TfrmBCRInvoice* frm = screen();
    typeIntoCompany(QStringLiteral("02"));
    leaveCompany();
    QCOMPARE(shown().texts(), QStringList{QStringLiteral("Servidor indisponível.")});
    shown().clear();
    QCOMPARE(QApplication::focusWidget(), frm->medCdEmpresa);
    QVERIFY(!frm->sbtFiltrar->isEnabled());
    QVERIFY(!frm->cdsItem->ControlsDisabled());

    leaveCompany();
    QCOMPARE(filter->confirmations, 2);
    QVERIFY(frm->sbtFiltrar->isEnabled());
    QVERIFY(QApplication::focusWidget() != frm->medCdEmpresa);
}

// The lookup lists every company by code; picking one fills the code and the name and leaves
// the focus in the field without loading anything: leaving the field loads.
void TestSettlement::companyLookup()
{
    CountingFilter* filter = installFilter();
    TfrmBCRInvoice* frm = screen();
    QString title;
    QStringList codes;
    QStringList headers;
    ModalHelper::whenModal(
        [&](QDialog& dialog) {
            auto* list = qobject_cast<LookupListDialog*>(&dialog);
            QVERIFY(list);
            title = list->windowTitle();
            QTableWidget* table = list->table();
            for (int column = 0; column < table->columnCount(); ++column)
                headers << table->horizontalHeaderItem(column)->text();
            for (int row = 0; row < table->rowCount(); ++row)
                codes << table->item(row, 0)->text();
            QTest::keyClicks(list->searchBox(), QStringLiteral("Paulista"));
            QTest::keyClick(list->searchBox(), Qt::Key_Return);
        },
        "LookupListDialog");
    QTest::mouseClick(frm->btpEmpresa, Qt::LeftButton);

    QCOMPARE(title, QStringLiteral("Empresa"));
    QCOMPARE(headers, (QStringList{"Código", "Nome"}));
    QCOMPARE(codes, (QStringList{"01", "02", "03"}));
    QCOMPARE(frm->medCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(frm->edtNmEmpresa->text(), QStringLiteral("Companhia Açucareira Paulista"));
    QCOMPARE(filter->confirmations, 0);
    QVERIFY(!frm->sbtFiltrar->isEnabled());
    QApplication::setActiveWindow(mainWindow); // the offscreen platform does not give it back
    QTRY_COMPARE(QApplication::focusWidget(), frm->medCdEmpresa);

    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    QCOMPARE(frm->edtNmEmpresa->text(), QStringLiteral("Companhia Açucareira Paulista"));
    QVERIFY(frm->sbtFiltrar->isEnabled());
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));
}

void TestSettlement::refreshReloadsWithSavedCriteria_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("tool button") << false;
    QTest::newRow("menu") << true;
}

// The refresh command reloads the list on the hidden dialog with the criteria last confirmed,
// without showing it; the items follow the invoices again and the invoice grid has the focus.
void TestSettlement::refreshReloadsWithSavedCriteria()
{
    QFETCH(bool, fromMenu);
    CountingFilter* filter = chooseCompany(QStringLiteral("01"));
    TfrmBCRInvoice* frm = screen();
    const int all = frm->cdsInvoice->RecordCount();

    // Only the open invoices, confirmed in the dialog.
    ModalHelper::whenModal(
        [filter](QDialog&) {
            filter->chbAberto->setChecked(true);
            QTest::mouseClick(filter->sbtConfirma, Qt::LeftButton);
        },
        "TfrmFiltroBCRInvoice");
    QTest::mouseClick(frm->sbtFiltrar, Qt::LeftButton);
    QCOMPARE(filter->shows, 1);
    const int open = frm->cdsInvoice->RecordCount();
    QVERIFY2(open > 0 && open < all, qPrintable(QStringLiteral("%1 of %2").arg(open).arg(all)));

    // The list on the screen cut to one invoice: the refresh brings the open invoices back.
    loadCompany(QStringLiteral("01"), [](DataPacket& invoices) { invoices.rows.resize(1); });
    QCOMPARE(frm->cdsInvoice->RecordCount(), 1);
    const int confirmations = filter->confirmations;
    // The offscreen platform does not give the activation back after the modal dialog.
    QApplication::setActiveWindow(mainWindow);
    QVERIFY(frm->sbtVerificar->isEnabled());
    if (fromMenu)
        frm->mnuVerificar->trigger();
    else
        QTest::mouseClick(frm->sbtVerificar, Qt::LeftButton);

    QCOMPARE(filter->confirmations, confirmations + 1);
    QCOMPARE(filter->shows, 1);
    QCOMPARE(frm->cdsInvoice->RecordCount(), open);
    QVERIFY(filter->chbAberto->isChecked());
    QVERIFY(!frm->cdsItem->ControlsDisabled());
    QTRY_COMPARE(QApplication::focusWidget(), frm->dbgPadrao);
    const QString invoice = frm->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    QVERIFY(frm->cdsItem->RecordCount() > 0);
    QCOMPARE(frm->cdsItem->FieldByName(QStringLiteral("NRINVOICE")).AsString(), invoice);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('\n')));
}

void TestSettlement::enteringHidesDetailPanel()
{
    CountingFilter* filter = installFilter();
    TfrmBCRInvoice* frm = screen();
    typeIntoCompany(QStringLiteral("03"));
    leaveCompany();
    QCOMPARE(filter->confirmations, 1);
    loadCompany(QStringLiteral("03"));
    QVERIFY(frm->sbtMais->isEnabled());
    QTest::mouseClick(frm->sbtMais, Qt::LeftButton);
    QVERIFY(frm->sbtMais->Down());
    QVERIFY(frm->panTaxaCambio->isVisible());

    enterCompany();
    QVERIFY(!frm->panTaxaCambio->isVisible());
    QVERIFY(frm->sbtMais->Down());
    QVERIFY(!frm->sbtMais->isEnabled());
    QVERIFY(!frm->mnuMais->isEnabled());
    QCOMPARE(frm->splInvoiceItem->sizes().value(1), 203);

    // Leaving enables "Mais" again; the panel comes back with the next click only.
    leaveCompany();
    QVERIFY(frm->sbtMais->isEnabled());
    QVERIFY(!frm->panTaxaCambio->isVisible());
    frm->mnuMais->trigger();
    QVERIFY(!frm->sbtMais->Down());
    QVERIFY(!frm->panTaxaCambio->isVisible());
    frm->mnuMais->trigger();
    QVERIFY(frm->sbtMais->Down());
    QVERIFY(frm->panTaxaCambio->isVisible());
}

// ---- connection -----------------------------------------------------------------------------

// Host and port are read at every connect; a server that is down is reported, the busy
// animation does not stay up, and the next activation connects.
void TestSettlement::activationConnectsWithEndpointReadEachTime()
{
    TfrmBCRInvoice* frm = screen();
    QCOMPARE(frm->netBCRInvoice->Port, serverPort);
    QCOMPARE(frm->netBCRInvoice->Host, QStringLiteral("127.0.0.1"));

    int deadPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        deadPort = probe.serverPort();
    }
    int busyDuringConnect = -1;
    frm->netBCRInvoice->BeforeConnect = [&](TNetConnection& connection) {
        busyDuringConnect = BusyAnimationDepth();
        frm->netBCRInvoiceBeforeConnect(connection);
    };

    frm->netBCRInvoice->SetConnected(false);
    qputenv("FAS_WEB_PORT", QByteArray::number(deadPort));
    activateScreen();
    QTRY_COMPARE(shown().messages.size(), 1);
    QCOMPARE(shown().messages.at(0).kind, MessageService::Kind::Error);
    QVERIFY(shown().messages.at(0).text.contains(QString::number(deadPort)));
    shown().clear();
    QCOMPARE(busyDuringConnect, 1);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(!frm->netBCRInvoice->Connected());
    QCOMPARE(frm->netBCRInvoice->Port, deadPort);

    qputenv("FAS_WEB_PORT", QByteArray::number(serverPort));
    busyDuringConnect = -1;
    activateScreen();
    QTRY_VERIFY(frm->netBCRInvoice->Connected());
    QCOMPARE(frm->netBCRInvoice->Port, serverPort);
    QCOMPARE(busyDuringConnect, 1);
    QCOMPARE(BusyAnimationDepth(), 0);

    // An open connection is not opened again.
    busyDuringConnect = -1;
    activateScreen();
    QCOMPARE(busyDuringConnect, -1);
    QVERIFY(shown().messages.isEmpty());
}

// ---- marking, saving, fiscal notes ----------------------------------------------------------

// A company listed as if chosen in the field: leaving the field afterwards reloads nothing.
void TestSettlement::listCompany(const QString& company,
                                 const std::function<void(DataPacket&)>& invoices)
{
    installFilter();
    screen()->medCdEmpresa->setText(company);
    screen()->CdEmpresaAnterior = company;
    loadCompany(company, invoices);
}

QVariant TestSettlement::invoiceValue(int row, const char* field) const
{
    TClientDataSet& invoices = *screen()->cdsInvoice;
    return invoices.valueAt(row, invoices.FieldByName(QLatin1String(field)).Index());
}

QString TestSettlement::mark(int row) const
{
    return invoiceValue(row, "IDCHECK").toString();
}

void TestSettlement::clickMark(int row)
{
    TDBGrid* grid = screen()->dbgPadrao;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(row, 0)).center());
}

QList<int> TestSettlement::readyForNotes() const
{
    QList<int> rows;
    for (int row = 0; row < screen()->cdsInvoice->RecordCount(); ++row)
        if (!invoiceValue(row, "DTRECINVOICE").isNull() &&
            !invoiceValue(row, "DTCAMBIOINVOICE").isNull() &&
            invoiceValue(row, "IDGERNFINVOI").toString() == QLatin1String("N"))
            rows << row;
    return rows;
}

int TestSettlement::storedNotes() const
{
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("check"), false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(demoDb);
    }
    db.open();
    QSqlQuery query(QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL"), db);
    return query.next() ? query.value(0).toInt() : -1;
}

void TestSettlement::toggleMark_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("noteIssued"); // IDGERNFINVOI
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("after");
    const char* const cases[][5] = {
        {"click marks", "N", "N", "click", "S"},
        {"click unmarks", "S", "N", "click", "N"},
        {"space marks", "N", "N", "space", "S"},
        {"space unmarks", "S", "N", "space", "N"},
        {"not markable", "D", "N", "click", "D"},
        {"empty mark", "", "N", "space", ""},
        {"other value", "X", "N", "click", "X"},
        {"note issued, marked", "S", "S", "click", "D"},
        {"note issued, unmarked", "N", "S", "space", "D"},
        {"note issued, other value", "X", "S", "click", "D"},
        {"other column", "N", "N", "other column", "N"},
    };
    for (const auto& c : cases)
        QTest::newRow(c[0]) << QString(c[1]) << QString(c[2]) << QString(c[3]) << QString(c[4]);
}

// Marks change locally only: the toggled invoice is a pending change, nothing is saved.
void TestSettlement::toggleMark()
{
    QFETCH(QString, before);
    QFETCH(QString, noteIssued);
    QFETCH(QString, how);
    QFETCH(QString, after);
    listCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        packet.rows[1][packet.indexOf(QStringLiteral("IDCHECK"))] = before;
        packet.rows[1][packet.indexOf(QStringLiteral("IDGERNFINVOI"))] = noteIssued;
    });
    TDBGrid* grid = screen()->dbgPadrao;
    grid->setFocus();
    if (how == QLatin1String("space")) {
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Space);
    } else {
        const int column = how == QLatin1String("click") ? 0 : 3;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(1, column)).center());
    }
    QCOMPARE(screen()->cdsInvoice->RecNo(), 2);
    QCOMPARE(mark(1), after);
    QCOMPARE(screen()->cdsInvoice->GetChangeCount(), after == before ? 0 : 1);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('|')));
}

void TestSettlement::markAllAcrossLoads()
{
    listCompany(QStringLiteral("01"), [](DataPacket& packet) {
        const int at = packet.indexOf(QStringLiteral("IDCHECK"));
        packet.rows[2][at] = QStringLiteral("");
        packet.rows[3][at] = QStringLiteral("X");
        packet.rows[4][packet.indexOf(QStringLiteral("IDGERNFINVOI"))] = QStringLiteral("S");
    });
    TfrmBCRInvoice* frm = screen();
    QHeaderView* titles = frm->dbgPadrao->horizontalHeader();
    const auto clickTitle = [&](int column) {
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                          QPoint(titles->sectionViewportPosition(column) + 4, 5));
    };
    const auto marks = [&] {
        QStringList all;
        for (int row = 0; row < frm->cdsInvoice->RecordCount(); ++row)
            all << mark(row);
        return all;
    };
    const QStringList initial = marks();
    QVERIFY(initial.contains(QStringLiteral("D")));
    QStringList allMarked = initial;
    allMarked.replaceInStrings(QRegularExpression(QStringLiteral("^N$")), QStringLiteral("S"));

    frm->cdsInvoice->SetRecNo(6);
    clickTitle(2); // another column: nothing changes
    QCOMPARE(marks(), initial);
    QCOMPARE(frm->cdsInvoice->RecNo(), 6);

    clickTitle(0); // marks every "N", the invoice with its note included
    QCOMPARE(marks(), allMarked);
    QCOMPARE(frm->cdsInvoice->RecNo(), 1);
    QVERIFY(Cli_FAS10000::boTodos);
    clickMark(1); // one unmarked by hand: the next title click still unmarks
    clickTitle(0);
    QCOMPARE(marks(), initial);
    clickTitle(0);
    QCOMPARE(marks(), allMarked);
    QCOMPARE(frm->cdsInvoice->GetChangeCount(), initial.count(QStringLiteral("N")));
    QVERIFY(shown().messages.isEmpty());

    loadCompany(QStringLiteral("01")); // a new list: the first title click marks again
    clickTitle(0);
    QCOMPARE(mark(0), initial.at(0) == QLatin1String("N") ? QStringLiteral("S") : initial.at(0));
    QVERIFY(Cli_FAS10000::boTodos);
}

// The mark cells show the check boxes on the cell's own background, the selection colour on
// the current row; the letters are gone.
void TestSettlement::drawnMarkCells()
{
    listCompany(QStringLiteral("01"), [](DataPacket& packet) {
        const int at = packet.indexOf(QStringLiteral("IDCHECK"));
        const QStringList marks{"S", "N", "D", "", "X"};
        for (int row = 0; row < marks.size(); ++row)
            packet.rows[row][at] = marks.at(row);
        packet.rows[5][at] = QVariant();
    });
    TDBGrid* grid = screen()->dbgPadrao;
    const QImage shot = grid->viewport()->grab().toImage();
    const QList<QImage> boxes{MarkImages::checkImage(),
                              MarkImages::unCheckImage(),
                              MarkImages::noCheckImage(),
                              MarkImages::noCheckImage(),
                              QImage(),
                              MarkImages::noCheckImage()};
    for (int row = 0; row < boxes.size(); ++row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        const QColor background =
            grid->palette().color(row == 0 ? QPalette::Highlight : QPalette::Base);
        QImage expected(cell.size(), QImage::Format_RGB32);
        expected.fill(background);
        for (int y = 0; y < qMin(cell.height(), boxes.at(row).height()); ++y)
            for (int x = 0; x < boxes.at(row).width() && x + 1 < cell.width(); ++x) {
                const QColor pixel = boxes.at(row).pixelColor(x, y);
                expected.setPixelColor(x + 1, y,
                                       pixel == MarkImages::background() ? background : pixel);
            }
        QCOMPARE(shot.copy(cell).convertToFormat(QImage::Format_RGB32), expected);
    }
}

void TestSettlement::saveSendsPendingMarks_data()
{
    QTest::addColumn<QString>("noteIssued"); // of the invoice changed after the marks
    QTest::addColumn<bool>("stored");
    QTest::newRow("stored with the marks") << "N" << true;
    QTest::newRow("refused, marks reverted") << "S" << false;
}

void TestSettlement::saveSendsPendingMarks()
{
    QFETCH(QString, noteIssued);
    QFETCH(bool, stored);
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    QVERIFY(invoices.Locate(QStringLiteral("IDGERNFINVOI"), noteIssued));
    const int changed = invoices.RecNo() - 1;
    QList<int> marked;
    for (int row = 0; marked.size() < 3; ++row)
        if (row != changed && mark(row) == QLatin1String("N"))
            marked << row;
    for (int row : marked)
        clickMark(row);
    QCOMPARE(invoices.GetChangeCount(), 3);

    invoices.SetRecNo(changed + 1);
    const QString note = QStringLiteral("Conferido %1").arg(QTime::currentTime().toString());
    Dispatch([&] {
        invoices.Edit();
        invoices.FieldByName(QStringLiteral("DSOBSPGTOINVOI")).SetAsString(note);
        invoices.Post();
    });
    QCOMPARE(invoices.GetChangeCount(), 0);
    QCOMPARE(BusyAnimationDepth(), 0);
    for (int row : marked)
        QCOMPARE(mark(row), stored ? QStringLiteral("S") : QStringLiteral("N"));
    QCOMPARE(invoices.FieldByName(QStringLiteral("DSOBSPGTOINVOI")).AsString() == note, stored);
    QCOMPARE(shown().messages.size(), stored ? 0 : 1);

    const DataPacket server = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    const QString number = invoices.FieldByName(QStringLiteral("NRINVOICE")).AsString();
    bool found = false;
    for (const Row& row : server.rows)
        if (row.at(server.indexOf(QStringLiteral("NRINVOICE"))).toString() == number)
            found = row.at(server.indexOf(QStringLiteral("DSOBSPGTOINVOI"))).toString() == note;
    QCOMPARE(found, stored);
}

void TestSettlement::notesRefused_data()
{
    QTest::addColumn<QList<int>>("marked");     // rows marked "S"
    QTest::addColumn<QList<int>>("noExchange"); // rows without exchange date
    QTest::addColumn<QList<int>>("noReceipt");  // rows without receipt date
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("current"); // 0-based row current afterwards

    QTest::newRow("none marked") << QList<int>{} << QList<int>{} << QList<int>{}
                                 << "Invoice(s) deve(m) ser informado(s) para gerar Nota(s) "
                                    "Fiscal(is)."
                                 << 0;
    QTest::newRow("second lacks exchange")
        << QList<int>{2, 5} << QList<int>{5} << QList<int>{}
        << "Data de Câmbio deve ser cadastrada pra gerar Nota Fiscal." << 5;
    QTest::newRow("receipt before exchange")
        << QList<int>{3} << QList<int>{3} << QList<int>{3}
        << "Data de Recebimento deve ser cadastrada pra gerar Nota Fiscal." << 3;
}

void TestSettlement::notesRefused()
{
    QFETCH(QList<int>, marked);
    QFETCH(QList<int>, noExchange);
    QFETCH(QList<int>, noReceipt);
    QFETCH(QString, message);
    QFETCH(int, current);
    listCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        const QDateTime day(QDate(2026, 3, 2), QTime(0, 0));
        for (Row& row : packet.rows)
            row[packet.indexOf(QStringLiteral("IDCHECK"))] = QStringLiteral("N");
        for (int row = 0; row < 8; ++row) {
            packet.rows[row][packet.indexOf(QStringLiteral("DTRECINVOICE"))] =
                noReceipt.contains(row) ? QVariant() : QVariant(day);
            packet.rows[row][packet.indexOf(QStringLiteral("DTCAMBIOINVOICE"))] =
                noExchange.contains(row) ? QVariant() : QVariant(day);
            if (marked.contains(row))
                packet.rows[row][packet.indexOf(QStringLiteral("IDCHECK"))] = QStringLiteral("S");
        }
    });
    const int notes = storedNotes();
    screen()->cdsInvoice->SetRecNo(7);
    QTest::keyClick(screen(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(shown().texts(), QStringList{message});
    QCOMPARE(screen()->cdsInvoice->RecNo(), current + 1);
    QVERIFY(!screen()->cdsInvoice->ControlsDisabled());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(storedNotes(), notes);
}

void TestSettlement::generateNotes_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("newNotes");
    QTest::newRow("Sim: one per customer") << int(MessageService::Answer::Yes) << 1;
    QTest::newRow("Não: one per invoice") << int(MessageService::Answer::No) << 2;
    QTest::newRow("Cancelar: nothing sent") << int(MessageService::Answer::Cancel) << 0;
}

void TestSettlement::generateNotes()
{
    QFETCH(int, answer);
    QFETCH(int, newNotes);
    chooseCompany(QStringLiteral("01"));
    TfrmBCRInvoice* frm = screen();
    TClientDataSet& invoices = *frm->cdsInvoice;
    // Two invoices of one customer that may get their note.
    QList<int> pair;
    const QList<int> ready = readyForNotes();
    const auto noteKey = [&](int row) -> QString {
        return invoiceValue(row, "CDFILIAL").toString() + QLatin1Char('/') +
               invoiceValue(row, "CDCLIENTE").toString();
    };
    for (int i = 0; i + 1 < ready.size() && pair.isEmpty(); ++i)
        if (noteKey(ready.at(i)) == noteKey(ready.at(i + 1)))
            pair = {ready.at(i), ready.at(i + 1)};
    QVERIFY(!pair.isEmpty());
    const QString first = invoiceValue(pair.at(0), "NRINVOICE").toString();
    for (int row : pair)
        clickMark(row);
    const int notes = storedNotes();
    shown().queueAnswer(MessageService::Answer(answer));
    QTest::mouseClick(frm->sbtGerarNF, Qt::LeftButton);

    QCOMPARE(storedNotes(), notes + newNotes);
    QStringList expected{
        QStringLiteral("Gerar Nota(s) Fiscal(is) unificada(s) para Invoice(s) de mesmo Cliente?")};
    if (newNotes > 0)
        expected << QStringLiteral("Nota(s) Fiscal(is) gerada(s) com sucesso!");
    QCOMPARE(shown().texts(), expected);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(invoices.Locate(QStringLiteral("NRINVOICE"), first));
    // Issued: the reloaded list greys them out; cancelled: still marked and pending.
    QCOMPARE(invoices.FieldByName(QStringLiteral("IDCHECK")).AsString(),
             newNotes > 0 ? QStringLiteral("D") : QStringLiteral("S"));
    QCOMPARE(invoices.GetChangeCount(), newNotes > 0 ? 0 : 2);
}

// The server re-checks the dates it holds: a refusal leaves the list as it was.
void TestSettlement::notesFailureKeepsList()
{
    chooseCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    QVERIFY(invoices.Locate(QStringLiteral("DTRECINVOICE"), QVariant()));
    invoices.Edit();
    const QDateTime day(QDate(2026, 3, 2), QTime(0, 0));
    invoices.FieldByName(QStringLiteral("DTRECINVOICE")).SetAsDateTime(day);
    invoices.FieldByName(QStringLiteral("DTCAMBIOINVOICE")).SetAsDateTime(day);
    invoices.FieldByName(QStringLiteral("IDCHECK")).SetAsString(QStringLiteral("S"));
    {
        const QScopedValueRollback<TClientDataSet::Event> local(invoices.AfterPost, {});
        invoices.Post();
    }
    const int recNo = invoices.RecNo();
    const int notes = storedNotes();
    invoices.First();
    shown().queueAnswer(MessageService::Answer::No);
    QTest::mouseClick(screen()->sbtGerarNF, Qt::LeftButton);

    QCOMPARE(storedNotes(), notes);
    QCOMPARE(shown().messages.size(), 2);
    QVERIFY(shown().messages.last().text.contains(QStringLiteral("Data de Recebimento")));
    QCOMPARE(invoices.RecNo(), recNo);
    QCOMPARE(invoices.GetChangeCount(), 1);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(!QApplication::overrideCursor());
}

// ---- registration commands and the receipt ---------------------------------------------------

QList<int> TestSettlement::openInvoices() const
{
    QList<int> rows;
    for (int row = 0; row < screen()->cdsInvoice->RecordCount(); ++row)
        if (invoiceValue(row, "DTRECINVOICE").isNull() && mark(row) == QLatin1String("N"))
            rows << row;
    return rows;
}

Row TestSettlement::serverInvoice(const QString& number, const DataPacket& packet) const
{
    for (const Row& row : packet.rows)
        if (row.at(packet.indexOf(QStringLiteral("NRINVOICE"))).toString() == number)
            return row;
    return {};
}

void TestSettlement::registrationPass_data()
{
    QTest::addColumn<int>("key");    // Ctrl+R receipt, Ctrl+P exchange
    QTest::addColumn<int>("marked"); // of the open invoices, marked; -1 with a receipt date
    QTest::addColumn<QString>("message");
    QTest::newRow("receipt, none marked") << int(Qt::Key_R) << 0
                                          << "Invoice(s) deve(m) ser informado(s) para "
                                             "confirmar o recebimento.";
    QTest::newRow("exchange, none marked") << int(Qt::Key_P) << 0
                                           << "Invoice(s) deve(m) ser informado(s) para fazer "
                                              "a prévia do câmbio.";
    QTest::newRow("exchange before receipt") << int(Qt::Key_P) << 2
                                             << "Câmbio não pode ser cadastrado antes do "
                                                "Recebimento do Invoice.";
    QTest::newRow("receipt opens with the sum") << int(Qt::Key_R) << 2 << "";
}

void TestSettlement::registrationPass()
{
    QFETCH(int, key);
    QFETCH(int, marked);
    QFETCH(QString, message);
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    const QList<int> open = openInvoices();
    double sum = 0;
    for (int i = 0; i < marked; ++i) {
        clickMark(open.at(1 + i));
        sum += invoiceValue(open.at(1 + i), "TOTALINVOICE").toDouble();
    }
    invoices.SetRecNo(open.at(0) + 1); // an unmarked invoice is current
    QString shownSum;
    const ModalHelper::Scoped dialog([&](QDialog& opened) {
        shownSum = opened.findChild<QLineEdit*>(QStringLiteral("edtValorInvoices"))->text();
        opened.reject();
    });
    QTest::keyClick(screen(), Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(shown().texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(shownSum.isEmpty(), !message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(screen()->VrInvoices, sum);
        QCOMPARE(shownSum, FloatToStr(sum));
    }
    // Back on the invoice that was current; "Camb_Not" stays on the first without receipt.
    QCOMPARE(invoices.RecNo(), (key == Qt::Key_P && marked > 0 ? open.at(1) : open.at(0)) + 1);
    QVERIFY(screen()->window()->updatesEnabled());
}

void TestSettlement::receiptStoresShares()
{
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    const QList<int> open = openInvoices();
    const QList<int> marked{open.at(1), open.at(2)};
    for (int row : marked)
        clickMark(row);
    const QString current = invoiceValue(open.at(0), "NRINVOICE").toString();
    invoices.SetRecNo(open.at(0) + 1);
    const double first = invoiceValue(marked.at(0), "TOTALINVOICE").toDouble();
    const double second = invoiceValue(marked.at(1), "TOTALINVOICE").toDouble();
    const QString payment = FloatToStr(RoundDec(first + second - 10, 2));
    const QDate today = QDate::currentDate();

    QString keptPayment;
    ModalHelper::whenModal([&](QDialog& dialog) {
        auto& receipt = static_cast<TfrmConfReceb&>(dialog);
        receipt.dbdReceb->SetDate(today);
        receipt.edtVrOrdPgto->setText(payment);
        receipt.edtReferencia->setText(QStringLiteral("OP 77"));
        receipt.sbtConfirma->click(); // less than the invoices: an observation is demanded
        keptPayment = receipt.edtVrOrdPgto->text();
        receipt.memObservacao->setPlainText(QStringLiteral("Tarifa\nbancária"));
        receipt.sbtConfirma->click();
    });
    QTest::keyClick(screen(), Qt::Key_R, Qt::ControlModifier);

    QCOMPARE(shown().texts(),
             (QStringList{QStringLiteral("ATENÇÃO!!!! Valor da ordem de pagamento não coincide "
                                         "com o valor dos invoices selecionados. O campo "
                                         "Observação deve ser informado."),
                          QStringLiteral("Recebimento cadastrado com sucesso!")}));
    QCOMPARE(keptPayment, payment);
    QCOMPARE(invoices.FieldByName(QStringLiteral("NRINVOICE")).AsString(), current);
    QCOMPARE(invoices.GetChangeCount(), 0);
    const DataPacket server = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    const QList<double> shares{first, RoundDec(second - 10, 2)};
    for (int i = 0; i < 2; ++i) {
        const Row row = serverInvoice(invoiceValue(marked.at(i), "NRINVOICE").toString(), server);
        QCOMPARE(row.at(server.indexOf(QStringLiteral("DTRECINVOICE"))).toDateTime().date(), today);
        QCOMPARE(row.at(server.indexOf(QStringLiteral("VRORDPGTOINVOI"))).toDouble(), shares.at(i));
        QCOMPARE(row.at(server.indexOf(QStringLiteral("DSREFPGTOINVOI"))).toString(),
                 QStringLiteral("OP 77"));
        QCOMPARE(row.at(server.indexOf(QStringLiteral("DSOBSPGTOINVOI"))).toString(),
                 QStringLiteral("Tarifa\r\nbancária\r\n"));
    }
}

void TestSettlement::receiptRefusedStoresNothing_data()
{
    QTest::addColumn<QString>("why");
    QTest::newRow("date before the second issue") << "date";
    QTest::newRow("payment not a number") << "payment";
}

// A refused confirmation stores nothing, not even the invoices before the refused one, and
// the dialog stays open.
void TestSettlement::receiptRefusedStoresNothing()
{
    QFETCH(QString, why);
    listCompany(QStringLiteral("01"));
    QList<int> open = openInvoices();
    // Two open invoices, the second issued after the first.
    const auto issued = [&](int row) { return invoiceValue(row, "DTEMISINVOICE").toDate(); };
    int second = 1;
    while (issued(open.at(second)) <= issued(open.at(0)))
        ++second;
    const QList<int> marked{open.at(0), open.at(second)};
    for (int row : marked)
        clickMark(row);
    const QStringList numbers{invoiceValue(marked.at(0), "NRINVOICE").toString(),
                              invoiceValue(marked.at(1), "NRINVOICE").toString()};

    bool stillOpen = false;
    ModalHelper::whenModal([&](QDialog& dialog) {
        auto& receipt = static_cast<TfrmConfReceb&>(dialog);
        receipt.dbdReceb->SetDate(why == QLatin1String("date") ? issued(marked.at(1)).addDays(-1)
                                                               : QDate::currentDate());
        receipt.edtVrOrdPgto->setText(why == QLatin1String("payment") ? QStringLiteral(",")
                                                                      : QStringLiteral("999999"));
        receipt.sbtConfirma->click();
        stillOpen = receipt.isVisible();
        dialog.reject();
    });
    QTest::keyClick(screen(), Qt::Key_R, Qt::ControlModifier);

    QVERIFY(stillOpen);
    QCOMPARE(shown().messages.size(), 1);
    QCOMPARE(shown().messages.first().kind, MessageService::Kind::Error);
    if (why == QLatin1String("date"))
        QCOMPARE(screen()->cdsInvoice->RecNo(), marked.at(1) + 1);
    const DataPacket server = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    for (const QString& number : numbers)
        QVERIFY(serverInvoice(number, server)
                    .at(server.indexOf(QStringLiteral("DTRECINVOICE")))
                    .isNull());
}

// ---- reading and keyboard ---------------------------------------------------------------------

void TestSettlement::summaryOfTheList()
{
    listCompany(QStringLiteral("01"));
    const QString listed = QLocale().toString(screen()->cdsInvoice->RecordCount());
    QTRY_COMPARE(screen()->lblResumo->text(), listed + QStringLiteral(" invoices"));
    const QList<int> open = openInvoices();
    clickMark(open.at(0));
    clickMark(open.at(1));
    const double total = invoiceValue(open.at(0), "TOTALINVOICE").toDouble() +
                         invoiceValue(open.at(1), "TOTALINVOICE").toDouble();
    QTRY_COMPARE(screen()->lblResumo->text(), listed +
                                                  QStringLiteral(" invoices — 2 marcadas: US$ ") +
                                                  FormatFloat(QStringLiteral("#,##0.00"), total));
    loadCompany(QStringLiteral("01"), [](DataPacket& invoices) { invoices.rows.clear(); });
    QTRY_COMPARE(screen()->lblResumo->text(),
                 QStringLiteral("Nenhuma invoice encontrada para os critérios do filtro."));
}

void TestSettlement::gridKeepsColumnsAndCurrentInvoice()
{
    chooseCompany(QStringLiteral("01"));
    TDBGrid* grid = screen()->dbgPadrao;
    QHeaderView* titles = grid->horizontalHeader();
    for (int column = 0; column < grid->ColumnCount(); ++column)
        QVERIFY2(titles->sectionSizeHint(column) <= grid->columnWidth(column),
                 qPrintable(QString::number(column)));

    // Tab leaves the grid and the current invoice; "Mais" keeps the current invoice in sight.
    const int last = grid->rowAt(grid->viewport()->height() - 2);
    screen()->cdsInvoice->SetRecNo(last + 1);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != grid);
    QCOMPARE(screen()->cdsInvoice->RecNo(), last + 1);
    QTest::keyClick(screen(), Qt::Key_M, Qt::ControlModifier);
    QVERIFY(screen()->panTaxaCambio->isVisible());
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    // The refresh stays on it too.
    const QString current =
        screen()->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    QTest::mouseClick(screen()->sbtVerificar, Qt::LeftButton);
    QCOMPARE(screen()->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString(), current);

    // A width the user drags comes back with the next opening.
    titles->resizeSection(3, 251);
    QTRY_VERIFY(OptionStore::Value(OptionStore::Load(QStringLiteral("FAS10000")),
                                   QStringLiteral("dbgPadrao"))
                    .contains(QStringLiteral(",251,")));
    {
        const TfrmBCRInvoice another;
        QCOMPARE(another.dbgPadrao->columnWidth(3), 251);
    }
    OptionStore::Save(QStringLiteral("FAS10000"), {});
}

QTEST_MAIN(TestSettlement)
#include "tst_settlement.moc"
