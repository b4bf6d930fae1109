// Kept as one file (over the usual size) on purpose: every topic below shares the recording
// server over one demo database and the helpers of this test object that read the recorded
// calls; one executable builds that database once for all of them.
// The filter dialog against the real application server (in this process, on a real SQLite demo
// database), with every call recorded as it came off the wire: the criteria controls, the date
// validation, the arguments of GetInvoice and GetItem, the saved filter and the failure paths.
#include "BusyAnimation.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Colors.h"
#include "DemoData.h"
#include "EventDispatch.h"
#include "LookupListDialog.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "OptionStore.h"
#include "RecordingServer.h"
#include "Schema.h"
#include "TfrmBCRInvoice.h"
#include "TfrmFiltroBCRInvoice.h"

#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

const QString emptyDate = QStringLiteral("1899-12-30T00:00:00");

QString param(const RecordingServer::Call& call, int index)
{
    return call.params.at(index).toObject().value(QStringLiteral("value")).toString();
}

QStringList paramValues(const RecordingServer::Call& call)
{
    QStringList values;
    for (int i = 0; i < call.params.size(); ++i)
        values << param(call, i);
    return values;
}

// Clicks a radio button on its indicator (its centre may lie beyond its text).
void clickIndicator(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// Every criterion and the states that follow it, as text.
QStringList criteria(TfrmFiltroBCRInvoice& f)
{
    QStringList state{f.rbtTCliente->isChecked() ? "Todos" : "Lista", Cli_FAS10001::stCliente};
    for (QAbstractButton* box : {f.chbAberto, f.chbPago, f.chbNEmitida, f.chbEmitida})
        state << QString::number(box->isChecked()) + QString::number(box->isEnabled());
    state << QString::number(f.btpCliente->isEnabled());
    for (TDateEditPlus* edit : {f.depEmissIni, f.depEmissFin, f.depVencIni, f.depVencFin,
                                f.depRecebIni, f.depRecebFin, f.depCambIni, f.depCambFin})
        state << edit->text() + u' ' + edit->Color().name();
    return state;
}

// Types digits into a date edit as a user who tabbed into it.
void typeInto(TDateEditPlus* edit, const QString& digits)
{
    edit->setFocus(Qt::TabFocusReason);
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, digits);
}

// The eight date edits in the dialog's tab order (issue, due, receipt, exchange).
QList<TDateEditPlus*> dateEdits(TfrmFiltroBCRInvoice& f)
{
    return {f.depEmissIni, f.depEmissFin, f.depVencIni, f.depVencFin,
            f.depRecebIni, f.depRecebFin, f.depCambIni, f.depCambFin};
}

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void initialState();
    void situationAndFlags_data();
    void situationAndFlags();
    void customerListByReference();
    void validation_data();
    void validation();
    void rangeColouring_data();
    void rangeColouring();
    void notaFiscalFollowsPago();
    void keyboardOnly();
    void closingRestoresConfirmedCriteria();
    void firstOpeningCloseLoads();
    void hiddenReloadUsesSavedCriteria();
    void noMatchClosesItems();
    void getItemFailure();
    void halfLoadedListReloadsOnExit();
    void firstOpeningCloseWithServerFailure_data();
    void firstOpeningCloseWithServerFailure();
    void customerLookup();
    void options();

private:
    TfrmFiltroBCRInvoice& dialog() { return *Cli_FAS10001::frmFiltroBCRInvoice; }
    ScriptedMessageService& msgs() { return **messages; }
    // Shows the dialog modelessly (as the tests drive it) and makes it the active window.
    void showDialog();
    void confirm() { dialog().sbtConfirma->click(); }
    // Sets the criteria of a confirmation that succeeds, with company 01 loaded.
    void loadCompany(const QString& company);
    QList<RecordingServer::Call> filterCalls() const { return server->calls; }

    QTemporaryDir dir;
    QSqlDatabase db;
    std::unique_ptr<RecordingServer> server;
    std::unique_ptr<ScopedScriptedMessages> messages;
    TfrmBCRInvoice* screen = nullptr;
};

void TestFilter::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString dbFile = dir.filePath(QStringLiteral("demo.db"));
    {
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("server"));
        db.setDatabaseName(dbFile);
        QVERIFY(db.open());
        Schema::create(db);
        DemoData(300).fill(db);
    }
    qputenv("FAS_DB_DRIVER", "QSQLITE");
    qputenv("FAS_DB_NAME", dbFile.toLocal8Bit());
    qputenv("FAS_OPTIONS_FILE", dir.filePath(QStringLiteral("options.ini")).toLocal8Bit());

    server = std::make_unique<RecordingServer>(db);
    const quint16 port = server->listen(QHostAddress::LocalHost, 0);
    QVERIFY(port != 0);
    qputenv("FAS_WEB_URL", "127.0.0.1");
    qputenv("FAS_WEB_PORT", QByteArray::number(port));
}

void TestFilter::init()
{
    messages = std::make_unique<ScopedScriptedMessages>();
    server->calls.clear();
    server->failing.clear();
    server->writeBack.clear();
    Cli_FAS10001::stCliente.clear();

    screen = new TfrmBCRInvoice;
    Cli_FAS10000::frmBCRInvoice = screen;
    Cli_FAS10000::boIdCriado = true;
    screen->medCdEmpresa->setText(QStringLiteral("01"));
    // A company was loaded before: closing the dialog does not confirm.
    screen->CdEmpresaAnterior = QStringLiteral("01");

    Cli_FAS10001::frmFiltroBCRInvoice = new TfrmFiltroBCRInvoice;
    Cli_FAS10001::boIdCriado = true;
}

void TestFilter::cleanup()
{
    delete Cli_FAS10001::frmFiltroBCRInvoice;
    Cli_FAS10001::boIdCriado = false;
    delete screen;
    screen = nullptr;
    Cli_FAS10000::boIdCriado = false;
    messages.reset();
    QCOMPARE(BusyAnimationDepth(), 0);
}

void TestFilter::cleanupTestCase()
{
    server.reset();
    db.close();
}

void TestFilter::showDialog()
{
    dialog().show();
    dialog().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog()));
}

void TestFilter::loadCompany(const QString& company)
{
    screen->medCdEmpresa->setText(company);
    showDialog();
    confirm();
    QVERIFY2(msgs().messages.isEmpty(), qPrintable(msgs().texts().join('\n')));
    QVERIFY(!dialog().isVisible());
    QVERIFY(screen->cdsInvoice->Active());
    server->calls.clear();
}

// ---- the controls as the dialog starts --------------------------------------------------------

void TestFilter::initialState()
{
    TfrmFiltroBCRInvoice& f = dialog();
    QCOMPARE(f.windowTitle(), QStringLiteral("Filtro Baixa C. Receber (INVOICE)"));
    QCOMPARE(f.lblCodTela->text(), QStringLiteral("FAS10001"));
    QVERIFY(f.rbtTCliente->isChecked());
    QVERIFY(!f.btpCliente->isEnabled());
    QVERIFY(!f.chbAberto->isChecked());
    QVERIFY(!f.chbPago->isChecked());
    QVERIFY(!f.grbNotaFiscal->isEnabled());
    for (TDateEditPlus* edit : dateEdits(f)) {
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(edit->Color(), clWindow);
    }
    QCOMPARE(f.btpCliente->Title, QStringLiteral("Cliente"));
    QCOMPARE(f.btpCliente->EmptyError, QStringLiteral("Não há Cliente cadastrado."));
    QCOMPARE(f.msgPadrao.Messages.size(), 16);
    QCOMPARE(f.msgPadrao.Msg(QStringLiteral("CambIni_Inf")),
             QStringLiteral("Data Inicial de Câmbio deve ser informada."));
}

// ---- the arguments on the wire ----------------------------------------------------------------

void TestFilter::situationAndFlags_data()
{
    QTest::addColumn<bool>("aberto");
    QTest::addColumn<bool>("pago");
    QTest::addColumn<bool>("nEmitida");
    QTest::addColumn<bool>("emitida");
    QTest::addColumn<QStringList>("dates"); // the eight edits, issue, due, receipt, exchange
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QStringList>("flags"); // customers, issue, due, receipt, exchange
    QTest::addColumn<QStringList>("sent");  // the eight dates on the wire

    const QStringList none(8, QString());
    const QStringList open(8, emptyDate);
    const QStringList allOpen{"T", "T", "T", "T", "T"};
    QTest::newRow("nothing checked")
        << false << false << false << false << none << "A_N_E_" << allOpen << open;
    QTest::newRow("em aberto") << true << false << false << false << none << "A_" << allOpen
                               << open;
    QTest::newRow("pago, both notes")
        << false << true << true << true << none << "N_E_" << allOpen << open;
    QTest::newRow("aberto, pago, nao emitida")
        << true << true << true << false << none << "A_N_" << allOpen << open;
    QTest::newRow("aberto, pago, emitida")
        << true << true << false << true << none << "A_E_" << allOpen << open;
    QTest::newRow("pago, nao emitida")
        << false << true << true << false << none << "N_" << allOpen << open;
    QTest::newRow("pago, emitida")
        << false << true << false << true << none << "E_" << allOpen << open;
    QTest::newRow("everything") << true << true << true << true << none << "A_N_E_" << allOpen
                                << open;

    QStringList issue = none;
    issue[0] = "01/02/2025";
    issue[1] = "28/02/2025";
    QStringList issueSent = open;
    issueSent[0] = "2025-02-01T00:00:00";
    issueSent[1] = "2025-02-28T00:00:00";
    QTest::newRow("issue range only") << false << false << false << false << issue << "A_N_E_"
                                      << QStringList{"T", "", "T", "T", "T"} << issueSent;

    const QStringList all{"01/01/2025", "31/12/2025", "02/01/2025", "30/12/2025",
                          "03/01/2025", "29/12/2025", "04/01/2025", "28/12/2025"};
    const QStringList allSent{"2025-01-01T00:00:00", "2025-12-31T00:00:00", "2025-01-02T00:00:00",
                              "2025-12-30T00:00:00", "2025-01-03T00:00:00", "2025-12-29T00:00:00",
                              "2025-01-04T00:00:00", "2025-12-28T00:00:00"};
    QTest::newRow("every range, issue due receipt exchange")
        << false << false << false << false << all << "A_N_E_" << QStringList{"T", "", "", "", ""}
        << allSent;
}

void TestFilter::situationAndFlags()
{
    QFETCH(bool, aberto);
    QFETCH(bool, pago);
    QFETCH(bool, nEmitida);
    QFETCH(bool, emitida);
    QFETCH(QStringList, dates);
    QFETCH(QString, situation);
    QFETCH(QStringList, flags);
    QFETCH(QStringList, sent);

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    if (aberto)
        QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    if (pago) {
        QTest::mouseClick(f.chbPago, Qt::LeftButton);
        if (!nEmitida)
            QTest::mouseClick(f.chbNEmitida, Qt::LeftButton);
        if (!emitida)
            QTest::mouseClick(f.chbEmitida, Qt::LeftButton);
    }
    const QList<TDateEditPlus*> edits = dateEdits(f);
    for (int i = 0; i < 8; ++i) {
        if (!dates.at(i).isEmpty()) {
            typeInto(edits[i], QString(dates.at(i)).remove(u'/'));
        }
    }
    confirm();

    QVERIFY2(msgs().messages.isEmpty(), qPrintable(msgs().texts().join('\n')));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    for (const RecordingServer::Call& call : server->calls) {
        const QStringList values = paramValues(call);
        QCOMPARE(values.size(), 16);
        QCOMPARE(values.at(0), QStringLiteral("01"));
        QCOMPARE(values.at(1), situation);
        QCOMPARE(values.mid(2, 5), flags);
        QCOMPARE(values.at(7), QString());
        QCOMPARE(values.mid(8), sent);
        // The type codes: company by value, seven strings by reference, eight dates.
        for (int i = 0; i < 16; ++i) {
            const QJsonObject arg = call.params.at(i).toObject();
            QCOMPARE(arg.value("type").toString(), i < 8 ? QString("string") : QString("date"));
            QCOMPARE(arg.value("byref").toBool(false), i >= 1 && i <= 7);
        }
    }
    QVERIFY(!f.isVisible());
    QVERIFY(screen->cdsInvoice->Active());
    QVERIFY(screen->cdsItem->Active());
}

void TestFilter::customerListByReference()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    clickIndicator(f.rbtLCliente);
    QVERIFY(f.btpCliente->isEnabled());
    Cli_FAS10001::stCliente = QStringLiteral("C0001,C0002");
    // The server rewrites the customer list (the seventh by-reference argument) and the
    // situation code: GetItem receives what GetInvoice left, and the list stays in stCliente.
    server->writeBack[QStringLiteral("GetInvoice")] = {{6, QStringLiteral("C0002")},
                                                       {0, QStringLiteral("A_")}};
    confirm();

    QVERIFY2(msgs().messages.isEmpty(), qPrintable(msgs().texts().join('\n')));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QCOMPARE(param(server->calls[0], 2), QString());
    QCOMPARE(param(server->calls[0], 7), QStringLiteral("C0001,C0002"));
    QCOMPARE(param(server->calls[0], 1), QStringLiteral("A_N_E_"));
    QCOMPARE(param(server->calls[1], 7), QStringLiteral("C0002"));
    QCOMPARE(param(server->calls[1], 1), QStringLiteral("A_"));
    QCOMPARE(Cli_FAS10001::stCliente, QStringLiteral("C0002"));

    // "Todos" afterwards keeps the list and still sends it, with the all-customers flag.
    server->calls.clear();
    showDialog();
    QVERIFY(f.rbtLCliente->isChecked());
    clickIndicator(f.rbtTCliente);
    QVERIFY(f.rbtTCliente->isChecked());
    QVERIFY(!f.btpCliente->isEnabled());
    confirm();
    QCOMPARE(param(server->calls[0], 2), QStringLiteral("T"));
    QCOMPARE(param(server->calls[0], 7), QStringLiteral("C0002"));
}

// ---- validation: one message, the focus on the control named, no server call -----------------

void TestFilter::validation_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QString>("list"); // null: "Todos"; otherwise "Lista" with this list
    QTest::addColumn<bool>("pagoWithoutNote");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    const QStringList none(8, QString());
    auto with = [&none](std::initializer_list<std::pair<int, const char*>> values) {
        QStringList dates = none;
        for (const auto& [index, text] : values)
            dates[index] = QString::fromLatin1(text);
        return dates;
    };
    const QString todos;

    QTest::newRow("issue end before start")
        << with({{0, "02/03/2025"}, {1, "01/03/2025"}}) << todos << false
        << "Data Final de Emissão deve ser maior ou igual à Data Inicial de Emissão."
        << "depEmissFin";
    QTest::newRow("due end before start")
        << with({{2, "02/03/2025"}, {3, "01/03/2025"}}) << todos << false
        << "Data Final de Vencimento deve ser maior ou igual à Data Inicial de Vencimento."
        << "depVencFin";
    QTest::newRow("receipt end before start")
        << with({{4, "02/03/2025"}, {5, "01/03/2025"}}) << todos << false
        << "Data Final de Recebimento deve ser maior ou igual à Data Inicial de Recebimento."
        << "depRecebFin";
    QTest::newRow("exchange end before start")
        << with({{6, "02/03/2025"}, {7, "01/03/2025"}}) << todos << false
        << "Data Final de Câmbio deve ser maior ou igual à Data Inicial de Câmbio."
        << "depCambFin";
    QTest::newRow("issue and receipt wrongly ordered: issue only")
        << with({{0, "02/03/2025"}, {1, "01/03/2025"}, {4, "02/03/2025"}, {5, "01/03/2025"}})
        << todos << false
        << "Data Final de Emissão deve ser maior ou igual à Data Inicial de Emissão."
        << "depEmissFin";
    QTest::newRow("order before a missing bound, whatever the ranges")
        << with({{0, "02/03/2025"}, {6, "02/03/2025"}, {7, "01/03/2025"}}) << todos << false
        << "Data Final de Câmbio deve ser maior ou igual à Data Inicial de Câmbio."
        << "depCambFin";
    QTest::newRow("issue start missing") << with({{1, "01/03/2025"}}) << todos << false
                                         << "Data Inicial de Emissão deve ser informada."
                                         << "depEmissIni";
    QTest::newRow("issue end missing") << with({{0, "01/03/2025"}}) << todos << false
                                       << "Data Final de Emissão deve ser informada."
                                       << "depEmissFin";
    QTest::newRow("due start missing") << with({{3, "01/03/2025"}}) << todos << false
                                       << "Data Inicial de Vencimento deve ser informada."
                                       << "depVencIni";
    QTest::newRow("due end missing") << with({{2, "01/03/2025"}}) << todos << false
                                     << "Data Final de Vencimento deve ser informada."
                                     << "depVencFin";
    QTest::newRow("receipt start missing") << with({{5, "01/03/2025"}}) << todos << false
                                           << "Data Inicial de Recebimento deve ser informada."
                                           << "depRecebIni";
    QTest::newRow("receipt end missing") << with({{4, "01/03/2025"}}) << todos << false
                                         << "Data Final de Recebimento deve ser informada."
                                         << "depRecebFin";
    QTest::newRow("exchange start missing (key in other case)")
        << with({{7, "01/03/2025"}}) << todos << false
        << "Data Inicial de Câmbio deve ser informada."
        << "depCambIni";
    QTest::newRow("exchange end missing")
        << with({{6, "01/03/2025"}}) << todos << false << "Data Final de Câmbio deve ser informada."
        << "depCambFin";
    QTest::newRow("missing bounds in two ranges: the first edit")
        << with({{3, "01/03/2025"}, {0, "01/03/2025"}}) << todos << false
        << "Data Final de Emissão deve ser informada."
        << "depEmissFin";
    QTest::newRow("not a date") << with({{2, "31/02/2025"}}) << todos << false
                                << "Data inválida: 31/02/2025."
                                << "depVencIni";
    QTest::newRow("lista without customers") << none << "" << false << "Cliente deve ser informado."
                                             << "rbtLCliente";
    QTest::newRow("lista of blanks") << none << "   " << false << "Cliente deve ser informado."
                                     << "rbtLCliente";
    QTest::newRow("pago without a note situation")
        << none << todos << true << "Situação da Nota Fiscal deve ser informada."
        << "chbNEmitida";
    QTest::newRow("dates before customers")
        << with({{0, "01/03/2025"}}) << "" << true << "Data Final de Emissão deve ser informada."
        << "depEmissFin";
    QTest::newRow("customers before the note situation")
        << none << "" << true << "Cliente deve ser informado."
        << "rbtLCliente";
}

void TestFilter::validation()
{
    QFETCH(QStringList, dates);
    QFETCH(QString, list);
    QFETCH(bool, pagoWithoutNote);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const QList<TDateEditPlus*> edits = dateEdits(f);
    for (int i = 0; i < 8; ++i)
        edits[i]->setText(dates.at(i));
    if (!list.isNull()) {
        clickIndicator(f.rbtLCliente);
        Cli_FAS10001::stCliente = list;
    }
    if (pagoWithoutNote) {
        QTest::mouseClick(f.chbPago, Qt::LeftButton);
        QTest::mouseClick(f.chbNEmitida, Qt::LeftButton);
        QTest::mouseClick(f.chbEmitida, Qt::LeftButton);
    }
    f.rbtTCliente->setFocus(Qt::OtherFocusReason);
    if (list.isNull())
        f.chbAberto->setFocus(Qt::OtherFocusReason);
    msgs().clear();
    confirm();

    QCOMPARE(msgs().texts(), QStringList{message});
    QCOMPARE(msgs().messages.first().kind, MessageService::Kind::Error);
    QCOMPARE(f.focusWidget()->objectName(), focus);
    QVERIFY(server->calls.isEmpty());
    QVERIFY(f.isVisible());
    QVERIFY(!screen->cdsInvoice->Active());
}

// ---- range colouring --------------------------------------------------------------------------

void TestFilter::rangeColouring_data()
{
    QTest::addColumn<QString>("ini"); // typed digits
    QTest::addColumn<QString>("fin");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("clearAfter");

    QTest::newRow("no bound") << ""
                              << "" << false << false;
    QTest::newRow("start only") << "05012026"
                                << "" << true << false;
    QTest::newRow("end only") << ""
                              << "05012026" << true << false;
    QTest::newRow("both bounds") << "05012026"
                                 << "06012026" << true << false;
    QTest::newRow("unfinished start") << "0501"
                                      << "" << false << false;
    QTest::newRow("unfinished start, valid end") << "0501"
                                                 << "06012026" << true << false;
    QTest::newRow("both cleared again") << "05012026"
                                        << "06012026" << false << true;
}

void TestFilter::rangeColouring()
{
    QFETCH(QString, ini);
    QFETCH(QString, fin);
    QFETCH(bool, active);
    QFETCH(bool, clearAfter);

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const QList<TDateEditPlus*> edits = dateEdits(f);
    for (int range = 0; range < 4; ++range) {
        TDateEditPlus* start = edits[2 * range];
        TDateEditPlus* end = edits[2 * range + 1];
        typeInto(start, ini);
        typeInto(end, fin);
        if (clearAfter) {
            start->setText(QString());
            end->setText(QString());
        }
        const QColor expected = active ? clInfoBk : clWindow;
        QCOMPARE(start->Color(), expected);
        QCOMPARE(end->Color(), expected);
        // The other ranges keep their own state.
        for (int other = range + 1; other < 4; ++other)
            QCOMPARE(edits[2 * other]->Color(), clWindow);
    }
}

// ---- the Nota Fiscal group --------------------------------------------------------------------

void TestFilter::notaFiscalFollowsPago()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const auto captionColour = [&f] {
        return f.grbNotaFiscal->palette().color(QPalette::Active, QPalette::WindowText);
    };
    QCOMPARE(captionColour(), clInactiveCaptionText);

    QTest::mouseClick(f.chbPago, Qt::LeftButton);
    QVERIFY(f.grbNotaFiscal->isEnabled());
    QVERIFY(f.chbNEmitida->isEnabled() && f.chbEmitida->isEnabled());
    QVERIFY(f.chbNEmitida->isChecked() && f.chbEmitida->isChecked());
    QCOMPARE(captionColour(), clWindowText);

    // One box kept: ticking "Pago" again later does not tick the other one.
    QTest::mouseClick(f.chbEmitida, Qt::LeftButton);
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    QVERIFY(f.chbNEmitida->isChecked() && !f.chbEmitida->isChecked());

    QTest::mouseClick(f.chbPago, Qt::LeftButton);
    QVERIFY(!f.grbNotaFiscal->isEnabled());
    QVERIFY(!f.chbNEmitida->isChecked() && !f.chbEmitida->isChecked());
    QCOMPARE(captionColour(), clInactiveCaptionText);
    QVERIFY(f.chbAberto->isChecked()); // independent of the three

    // Set by code (as the restore does), the group follows too.
    f.chbNEmitida->setChecked(false);
    f.chbEmitida->setChecked(true);
    f.chbPago->setChecked(true);
    QVERIFY(f.grbNotaFiscal->isEnabled());
    QVERIFY(!f.chbNEmitida->isChecked() && f.chbEmitida->isChecked());
}

// ---- by keyboard alone -----------------------------------------------------------------------

// Arrows and Space choose, Tab walks, Enter opens the focused lookup and confirms elsewhere;
// a refusal leaves the focus where the typing goes on.
void TestFilter::keyboardOnly()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    const auto tabTo = [&](QWidget* target) {
        for (int i = 0; i < 20 && QApplication::focusWidget() != target; ++i)
            press(Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    };
    QTRY_COMPARE(QApplication::focusWidget(), f.rbtTCliente);
    press(Qt::Key_Down);
    QVERIFY(f.rbtLCliente->isChecked());
    QVERIFY(tabTo(f.btpCliente));
    ModalHelper::whenModal(
        [](QDialog& shown) {
            static_cast<LookupListDialog&>(shown).setChecked(0, true);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        },
        "LookupListDialog");
    press(Qt::Key_Return);
    QVERIFY(!Cli_FAS10001::stCliente.isEmpty());
    showDialog(); // the offscreen platform does not give the activation back
    QCOMPARE(QApplication::focusWidget(), f.btpCliente);
    QVERIFY(tabTo(f.chbAberto));
    press(Qt::Key_Space);
    QVERIFY(tabTo(f.depEmissIni));
    QTest::keyClicks(f.depEmissIni, QStringLiteral("01022025"));
    press(Qt::Key_Return);
    QCOMPARE(msgs().texts(), QStringList{"Data Final de Emissão deve ser informada."});
    QCOMPARE(QApplication::focusWidget(), f.depEmissFin);
    QTest::keyClicks(f.depEmissFin, QStringLiteral("28022025"));
    press(Qt::Key_Enter);
    QVERIFY(!f.isVisible());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    const QStringList sent = paramValues(server->calls[0]);
    QCOMPARE(sent.mid(1, 3), (QStringList{"A_", "", ""}));
    QCOMPARE(sent.mid(8, 2), (QStringList{"2025-02-01T00:00:00", "2025-02-28T00:00:00"}));
}

// ---- the saved filter -------------------------------------------------------------------------

void TestFilter::closingRestoresConfirmedCriteria()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    clickIndicator(f.rbtLCliente);
    Cli_FAS10001::stCliente = QStringLiteral("C0001");
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    f.depEmissIni->setText(QStringLiteral("01/01/2025"));
    f.depEmissFin->setText(QStringLiteral("31/12/2025"));
    confirm();
    QVERIFY(!f.isVisible());
    QCOMPARE(server->calls.size(), 2);

    // Changes made and then dropped by closing without confirming.
    showDialog();
    clickIndicator(f.rbtTCliente);
    Cli_FAS10001::stCliente = QStringLiteral("C0009");
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    QTest::mouseClick(f.chbPago, Qt::LeftButton);
    f.depEmissIni->setText(QString());
    f.depEmissFin->setText(QString());
    f.depCambIni->setText(QStringLiteral("01/01/2025"));
    QTest::keyClick(&f, Qt::Key_Escape);
    QVERIFY(!f.isVisible());
    QCOMPARE(server->calls.size(), 2); // closing does not load

    QVERIFY(f.rbtLCliente->isChecked());
    QVERIFY(f.btpCliente->isEnabled());
    QCOMPARE(Cli_FAS10001::stCliente, QStringLiteral("C0001"));
    QVERIFY(f.chbAberto->isChecked());
    QVERIFY(!f.chbPago->isChecked());
    QVERIFY(!f.grbNotaFiscal->isEnabled());
    QCOMPARE(f.depEmissIni->text(), QStringLiteral("01/01/2025"));
    QCOMPARE(f.depEmissFin->text(), QStringLiteral("31/12/2025"));
    QCOMPARE(f.depEmissIni->Color(), clInfoBk);
    QVERIFY(f.depCambIni->text().isEmpty());
    QCOMPARE(f.depCambIni->Color(), clWindow);
}

void TestFilter::firstOpeningCloseLoads()
{
    screen->CdEmpresaAnterior = QStringLiteral("  ");
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); });

    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QVERIFY(!dialog().isVisible());
    QVERIFY(screen->cdsInvoice->RecordCount() > 0);
    QVERIFY(screen->cdsItem->Active());

    // Closing while a check fails keeps the dialog open and loads nothing.
    server->calls.clear();
    ModalHelper::whenModal(
        [this](QDialog& shown) {
            dialog().depVencIni->setText(QStringLiteral("01/01/2025"));
            shown.close();
            QVERIFY(shown.isVisible());
            QCOMPARE(msgs().texts(), QStringList{"Data Final de Vencimento deve ser informada."});
            dialog().depVencIni->setText(QString());
            shown.close();
        },
        "TfrmFiltroBCRInvoice");
    Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); });
    QVERIFY(!dialog().isVisible());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
}

void TestFilter::hiddenReloadUsesSavedCriteria()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    confirm();
    const QString firstNumber = screen->cdsInvoice->FieldByName("NRINVOICE").AsString();
    server->calls.clear();

    // A second company while the remembered code is still blank (a new screen): one
    // confirmation, not a second from the close handler; the dialog never shows.
    screen->CdEmpresaAnterior.clear();
    screen->medCdEmpresa->setText(QStringLiteral("02"));
    QVERIFY(Dispatch([&] { f.sbtConfirmaClick(screen); }));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    for (const RecordingServer::Call& call : server->calls) {
        QCOMPARE(param(call, 0), QStringLiteral("02"));
        QCOMPARE(param(call, 1), QStringLiteral("A_"));
    }
    QVERIFY(!f.isVisible());
    QVERIFY(!f.Confirmando());
    QVERIFY(screen->cdsInvoice->FieldByName("NRINVOICE").AsString() != firstNumber);
    QVERIFY(f.chbAberto->isChecked());
}

void TestFilter::noMatchClosesItems()
{
    loadCompany(QStringLiteral("01"));
    QVERIFY(screen->cdsItem->Active());
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    f.depEmissIni->setText(QStringLiteral("01/01/2090"));
    f.depEmissFin->setText(QStringLiteral("02/01/2090"));
    confirm();
    QVERIFY(msgs().messages.isEmpty());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QVERIFY(screen->cdsInvoice->Active());
    QVERIFY(screen->cdsInvoice->IsEmpty());
    QVERIFY(!screen->cdsItem->Active());
    QVERIFY(!f.isVisible());
}

void TestFilter::getItemFailure()
{
    loadCompany(QStringLiteral("01"));
    QVERIFY(screen->cdsItem->RecordCount() > 0);

    TfrmFiltroBCRInvoice& f = dialog();
    screen->medCdEmpresa->setText(QStringLiteral("02"));
    showDialog();
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    server->failing.insert(QStringLiteral("GetItem"));
    confirm();

    QCOMPARE(msgs().texts(), QStringList{server->failureText});
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(f.isVisible());
    // The new invoices are there; no item of the previous company stays under them.
    QVERIFY(screen->cdsInvoice->RecordCount() > 0);
    QCOMPARE(screen->cdsInvoice->FieldByName("CDEMPRESA").AsString(), QStringLiteral("02"));
    QVERIFY(!screen->cdsItem->Active());
    // The snapshot was not taken: closing puts back the criteria of company 01's load.
    f.close();
    QVERIFY(!f.chbAberto->isChecked());

    // The next confirmation brings both lists back in line.
    server->failing.clear();
    server->calls.clear();
    msgs().clear();
    showDialog();
    confirm();
    QVERIFY(msgs().messages.isEmpty());
    QVERIFY(screen->cdsItem->Active());
    QVERIFY(screen->cdsItem->RecordCount() > 0);
}

// Company 01 listed, 02 typed and left, GetItem refused: 02's invoices are on the screen.
// Typing 01 back and leaving must reload, although 01 is the code last remembered.
void TestFilter::halfLoadedListReloadsOnExit()
{
    loadCompany(QStringLiteral("01"));
    screen->show();
    const auto leaveWith = [&](const QString& company) {
        // The code of the last whole list, whatever the focus did since.
        screen->CdEmpresaAnterior = QStringLiteral("01");
        screen->medCdEmpresa->setText(company);
        Dispatch([&] { screen->medCdEmpresaExit(screen->medCdEmpresa); });
    };
    server->failing.insert(QStringLiteral("GetItem"));
    leaveWith(QStringLiteral("02"));
    QCOMPARE(msgs().texts(), QStringList{server->failureText});
    QCOMPARE(screen->cdsInvoice->FieldByName("CDEMPRESA").AsString(), QStringLiteral("02"));

    server->failing.clear();
    server->calls.clear();
    msgs().clear();
    leaveWith(QStringLiteral("01"));
    QVERIFY(msgs().messages.isEmpty());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QCOMPARE(screen->cdsInvoice->FieldByName("CDEMPRESA").AsString(), QStringLiteral("01"));
    QVERIFY(screen->cdsItem->RecordCount() > 0);

    server->calls.clear();
    leaveWith(QStringLiteral("01")); // a whole list: the same code loads nothing
    QVERIFY(server->calls.isEmpty());
}

void TestFilter::firstOpeningCloseWithServerFailure_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("GetInvoice") << "GetInvoice";
    QTest::newRow("GetItem") << "GetItem";
}

// On the first opening, closing loads; when the server fails then, the failure is reported
// and the dialog still closes: the user is never shut in it.
void TestFilter::firstOpeningCloseWithServerFailure()
{
    QFETCH(QString, failing);
    screen->CdEmpresaAnterior = QStringLiteral("  ");
    server->failing.insert(failing);
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QVERIFY(Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); }));

    QVERIFY(!dialog().isVisible());
    QCOMPARE(msgs().texts(), QStringList{server->failureText});
    QCOMPARE(server->methods().constLast(), failing);
    QCOMPARE(BusyAnimationDepth(), 0);
    QVERIFY(!screen->cdsItem->Active());
    msgs().clear();

    // With the company taken as chosen, closing goes back to the criteria the dialog
    // started with, as none was confirmed: every customer, nothing loaded.
    screen->CdEmpresaAnterior = QStringLiteral("01");
    server->calls.clear();
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QVERIFY(Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); }));
    QVERIFY(dialog().rbtTCliente->isChecked());
    QVERIFY(!dialog().btpCliente->isEnabled());
    QVERIFY(server->calls.isEmpty());

    // The filter command tries again once the server is back.
    screen->CdEmpresaAnterior = QStringLiteral("  ");
    server->failing.clear();
    server->calls.clear();
    ModalHelper::closeWhenModal("TfrmFiltroBCRInvoice");
    QVERIFY(Dispatch([] { Cli_FAS10001::CriaFiltroBCRInvoice(); }));
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    QVERIFY(screen->cdsItem->Active());
    QVERIFY(msgs().messages.isEmpty());
}

// ---- the customer lookup and the saved options ------------------------------------------------

void TestFilter::customerLookup()
{
    QSqlQuery query(db);
    QVERIFY(query.exec("SELECT DISTINCT C.CDCLIENTE FROM CLIENTE C JOIN ENDECLIE E"
                       " ON C.CDCLIENTE = E.CDCLIENTE"
                       " WHERE E.IDTPENDECLIE = 'P' AND E.CDPAIS <> '0055'"));
    QStringList abroad;
    while (query.next())
        abroad << query.value(0).toString();
    QVERIFY(query.exec("SELECT COUNT(*) FROM CLIENTE"));
    QVERIFY(query.next());
    QVERIFY2(query.value(0).toInt() > abroad.size(), "the demo holds customers left out");

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    clickIndicator(f.rbtLCliente);
    int rows = -1;
    QString title;
    ModalHelper::whenModal(
        [&](QDialog& shown) {
            auto& list = static_cast<LookupListDialog&>(shown);
            rows = list.table()->rowCount();
            title = list.windowTitle();
            for (int i = 0; i < rows; ++i)
                list.setChecked(i, true);
            shown.accept();
        },
        "LookupListDialog");
    QTest::mouseClick(f.btpCliente, Qt::LeftButton);

    QCOMPARE(rows, abroad.size());
    QCOMPARE(title, QStringLiteral("Cliente"));
    QStringList chosen = Cli_FAS10001::stCliente.split(u',');
    chosen.sort();
    abroad.sort();
    QCOMPARE(chosen, abroad);
}

// Every criterion survives a save and a load, whatever the dialog held meanwhile.
void TestFilter::options()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    // Two sets of criteria that differ in each one.
    const auto set = [&f](bool first) {
        (first ? f.rbtLCliente : f.rbtTCliente)->setChecked(true);
        Cli_FAS10001::stCliente = first ? "C0001,\"C 2\"" : "C0009";
        f.chbAberto->setChecked(!first);
        f.chbPago->setChecked(first);
        f.chbNEmitida->setChecked(false);
        const QStringList dates =
            first ? QStringList{"01/02/2025", "28/02/2025", "", "", "", "", "", "05/03/2025"}
                  : QStringList{"", "", "02/01/2025", "03/01/2025", "04/01/2025", "", "", ""};
        for (int i = 0; i < 8; ++i)
            dateEdits(f)[i]->setText(dates[i]);
    };
    for (const bool first : {true, false}) {
        set(first);
        const QStringList saved = criteria(f);
        OptionStore::Save(QStringLiteral("FAS10001"), {});
        QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(OptionStore::Load(QStringLiteral("FAS10001")).size(), 14);
        set(!first);
        QVERIFY(criteria(f) != saved);
        QTest::keyClick(&f, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(criteria(f), saved);
    }

    // A list saved when only the customers were kept loads; the rest stays as it stands.
    OptionStore::Save(QStringLiteral("FAS10001"), {QStringLiteral("stCliente=C0007")});
    QStringList expected = criteria(f);
    expected[1] = QStringLiteral("C0007");
    QTest::mouseClick(f.btfLoadOpc, Qt::LeftButton);
    QCOMPARE(criteria(f), expected);

    // An invalid date stops the save before anything is stored.
    f.depVencFin->setText(QStringLiteral("99/99/2025"));
    QTest::mouseClick(f.btfSaveOpc, Qt::LeftButton);
    QCOMPARE(msgs().texts().size(), 1);
    QCOMPARE(f.focusWidget(), f.depVencFin);
    QCOMPARE(OptionStore::Load(QStringLiteral("FAS10001")).size(), 1);
}

QTEST_MAIN(TestFilter)
#include "tst_filter.moc"
