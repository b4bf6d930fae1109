// The three base forms, driven through descendants built like the real forms: the inherited
// controls under their names, then setupBaseForm.
#include "EAbort.h"
#include "MessageService.h"
#include "ModalHelper.h"
#include "OptionStore.h"
#include "TButtonFlat.h"
#include "TDBGrid.h"
#include "TDBNavigator.h"
#include "TDBText.h"
#include "TfrmFiltroPadrao.h"
#include "TfrmPadraoGrid.h"
#include "TfrmRotiGeral.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <stdexcept>

namespace {

template <typename T> T* named(QWidget* parent, const char* name)
{
    auto* child = new T(parent);
    child->setObjectName(QLatin1String(name));
    if (auto* layout = parent->layout())
        layout->addWidget(child);
    return child;
}

QAction* namedAction(QWidget* parent, const char* name)
{
    auto* action = new QAction(parent);
    action->setObjectName(QLatin1String(name));
    return action;
}

class GridForm : public TfrmPadraoGrid
{
public:
    GridForm()
    {
        new QVBoxLayout(this);
        sbtFechar = named<TButtonFlat>(this, "sbtFechar");
        sbtProcurar = named<TButtonFlat>(this, "sbtProcurar");
        sbtVerificar = named<TButtonFlat>(this, "sbtVerificar");
        mnuProcurar = namedAction(this, "mnuProcurar");
        mnuVerificar = namedAction(this, "mnuVerificar");
        dbgPadrao = named<TDBGrid>(this, "dbgPadrao");
        dbnPadrao = named<TDBNavigator>(this, "dbnPadrao");
        dbtNome = named<TDBText>(this, "dbtNome");
        setupBaseForm({QStringLiteral("Excl|Confirma exclusão?")});
        dtsPadrao->SetDataSet(&cds);
        dbtNome->SetDataField(QStringLiteral("NOME"));
        cds.AddField({QStringLiteral("NOME"), FieldType::String, 10});
    }

    void FormClose(QObject* sender, TCloseAction& action) override
    {
        TfrmPadraoGrid::FormClose(sender, action);
        calls << QStringLiteral("FormClose");
        if (failClose)
            throw EAbort();
        action = closeAction;
    }
    void FormActivate(QObject*) override { calls << QStringLiteral("FormActivate"); }
    void dtsPadraoStateChange(QObject* sender) override
    {
        calls << QStringLiteral("dtsPadraoStateChange");
        senders << sender;
    }
    void sbtProcurarClick(QObject* sender) override
    {
        calls << QStringLiteral("sbtProcurarClick");
        senders << sender;
        if (failCommand)
            throw std::runtime_error("falhou");
    }
    void sbtVerificarClick(QObject* sender) override
    {
        calls << QStringLiteral("sbtVerificarClick");
        senders << sender;
    }
    void dbgPadraoKeyPress(QObject* sender, QChar& key) override
    {
        calls << QStringLiteral("dbgPadraoKeyPress ") + key;
        senders << sender;
    }

    void load(const QStringList& names)
    {
        DataPacket packet;
        packet.fields = cds.FieldDefs();
        for (const QString& name : names)
            packet.rows << Row{name};
        cds.SetData(packet);
    }

    TButtonFlat* sbtFechar;
    TButtonFlat* sbtProcurar;
    TButtonFlat* sbtVerificar;
    QAction* mnuProcurar;
    QAction* mnuVerificar;
    TDBGrid* dbgPadrao;
    TDBNavigator* dbnPadrao;
    TDBText* dbtNome;
    TClientDataSet cds;

    TCloseAction closeAction = caFree;
    bool failClose = false;
    bool failCommand = false;
    QStringList calls;
    QList<QObject*> senders;
};

// What a test dialog's handlers record, and how its close handler answers.
struct DialogScript
{
    QStringList calls;
    bool refuseClose = false; // leaves caNone
    bool failClose = false;   // throws EAbort
};

template <typename Base> class DialogForm : public Base, public DialogScript
{
public:
    explicit DialogForm(bool setUp = true)
    {
        new QVBoxLayout(this);
        sbtConfirma = named<TButtonFlat>(this, "sbtConfirma");
        if constexpr (std::is_same_v<Base, TfrmFiltroPadrao>) {
            named<TButtonFlat>(this, "btfSaveOpc");
            named<TButtonFlat>(this, "btfLoadOpc");
        }
        named<QLabel>(this, "lblCodTela")->setText(QStringLiteral("TST00001"));
        if (setUp)
            this->setupBaseForm({QStringLiteral("Ok|Feito.")});
    }

    void FormClose(QObject* sender, TCloseAction& action) override
    {
        Base::FormClose(sender, action);
        calls << QStringLiteral("FormClose");
        if (failClose)
            throw EAbort();
        if (refuseClose)
            action = caNone;
    }
    void FormActivate(QObject*) override { calls << QStringLiteral("FormActivate"); }
    void sbtConfirmaClick(QObject* sender) override
    {
        calls << QStringLiteral("sbtConfirmaClick");
        confirmSender = sender;
    }

    TButtonFlat* sbtConfirma;
    QObject* confirmSender = nullptr;
};

class FilterForm : public DialogForm<TfrmFiltroPadrao>
{
public:
    // The most derived form sets the base up, so that its own FormCreate runs.
    FilterForm() : DialogForm(false) { setupBaseForm({QStringLiteral("Ok|Feito.")}); }

    void FormCreate(QObject* sender) override
    {
        TfrmFiltroPadrao::FormCreate(sender);
        ++creates;
    }
    int creates = 0;
};

std::unique_ptr<FormDialog> newDialog(const QString& base)
{
    if (base == QLatin1String("RotiGeral"))
        return std::make_unique<DialogForm<TfrmRotiGeral>>();
    return std::make_unique<FilterForm>();
}

DialogScript& scriptOf(FormDialog& dialog)
{
    return dynamic_cast<DialogScript&>(dialog);
}

// Rows for each dialog base ("base": what newDialog takes), with `flag` false and true.
void addDialogRows(const char* flag, const char* whenFalse, const char* whenTrue)
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>(flag);
    for (const auto& [base, label] :
         {std::pair{"RotiGeral", "routine"}, {"FiltroPadrao", "filter"}}) {
        QTest::addRow("%s, %s", label, whenFalse) << QString::fromLatin1(base) << false;
        QTest::addRow("%s, %s", label, whenTrue) << QString::fromLatin1(base) << true;
    }
}

} // namespace

class TestBaseForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void gridCloseAction_data();
    void gridCloseAction();
    void gridCloseHandlerFailureKeepsItOpen();
    void gridCommands_data();
    void gridCommands();
    void gridCommandFailureIsReported();
    void gridStateChangeAndKeyPress();
    void gridActivationAsMdiChild();
    void navigatorAndNameFollowRecords();
    void dialogCloses_data();
    void dialogCloses();
    void dialogCloseRefused_data();
    void dialogCloseRefused();
    void dialogConfirm();
    void filterOptionsSaveAndLoad();

private:
    QTemporaryDir dir;
    std::unique_ptr<ScopedScriptedMessages> messages;
};

void TestBaseForms::initTestCase()
{
    QVERIFY(dir.isValid());
    qputenv("FAS_OPTIONS_FILE", dir.filePath(QStringLiteral("options.ini")).toLocal8Bit());
    messages = std::make_unique<ScopedScriptedMessages>();
}

void TestBaseForms::cleanup()
{
    (*messages)->clear();
}

void TestBaseForms::gridCloseAction_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("destroyed");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("minimized");
    QTest::newRow("free") << int(caFree) << true << false << false;
    QTest::newRow("hide") << int(caHide) << false << false << false;
    QTest::newRow("none") << int(caNone) << false << true << false;
    QTest::newRow("minimize") << int(caMinimize) << false << true << true;
}

void TestBaseForms::gridCloseAction()
{
    QFETCH(int, action);
    QFETCH(bool, destroyed);
    QFETCH(bool, visible);
    QFETCH(bool, minimized);

    QMdiArea area;
    area.resize(800, 600);
    area.show();
    QPointer<GridForm> form = new GridForm;
    form->closeAction = TCloseAction(action);
    QMdiSubWindow* sub = area.addSubWindow(form);
    sub->show();

    QTest::mouseClick(form->sbtFechar, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(form.isNull(), destroyed);
    if (!destroyed) {
        QCOMPARE(form->calls.count(QStringLiteral("FormClose")), 1);
        QCOMPARE(sub->isVisible(), visible);
        QCOMPARE(sub->isMinimized(), minimized);
        delete sub;
    }
}

void TestBaseForms::gridCloseHandlerFailureKeepsItOpen()
{
    GridForm form;
    form.failClose = true;
    form.show();
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QVERIFY((*messages)->messages.isEmpty()); // EAbort is silent
}

void TestBaseForms::gridCommands_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("handler");
    QTest::newRow("search button") << "sbtProcurar"
                                   << "sbtProcurarClick";
    QTest::newRow("search menu") << "mnuProcurar"
                                 << "sbtProcurarClick";
    QTest::newRow("verify button") << "sbtVerificar"
                                   << "sbtVerificarClick";
    QTest::newRow("verify menu") << "mnuVerificar"
                                 << "sbtVerificarClick";
}

void TestBaseForms::gridCommands()
{
    QFETCH(QString, control);
    QFETCH(QString, handler);

    GridForm form;
    form.show();
    QObject* sender = form.findChild<QObject*>(control);
    QVERIFY(sender);
    if (auto* action = qobject_cast<QAction*>(sender))
        action->trigger();
    else
        QTest::mouseClick(qobject_cast<QWidget*>(sender), Qt::LeftButton);
    QCOMPARE(form.calls, QStringList{handler});
    QCOMPARE(form.senders, QList<QObject*>{sender});
}

void TestBaseForms::gridCommandFailureIsReported()
{
    GridForm form;
    form.failCommand = true;
    form.show();
    form.mnuProcurar->trigger();
    QCOMPARE((*messages)->messages.size(), 1);
    QCOMPARE((*messages)->messages.first().kind, MessageService::Kind::Error);
    QVERIFY((*messages)->messages.first().text.contains(QStringLiteral("falhou")));
}

void TestBaseForms::gridStateChangeAndKeyPress()
{
    GridForm form;
    form.show();
    form.load({QStringLiteral("Ana")});
    QVERIFY(form.calls.contains(QStringLiteral("dtsPadraoStateChange")));
    QCOMPARE(form.senders.first(), form.dtsPadrao);

    form.calls.clear();
    form.senders.clear();
    form.dbgPadrao->setFocus();
    QTest::keyClick(form.dbgPadrao, Qt::Key_A);
    QCOMPARE(form.calls, QStringList{QStringLiteral("dbgPadraoKeyPress a")});
    QCOMPARE(form.senders, QList<QObject*>{form.dbgPadrao});
}

void TestBaseForms::gridActivationAsMdiChild()
{
    QMdiArea area;
    area.show();
    auto* first = new GridForm;
    auto* second = new GridForm;
    QMdiSubWindow* firstSub = area.addSubWindow(first);
    QMdiSubWindow* secondSub = area.addSubWindow(second);
    firstSub->show();
    secondSub->show();
    first->calls.clear();
    second->calls.clear();

    area.setActiveSubWindow(firstSub);
    QCOMPARE(first->calls.count(QStringLiteral("FormActivate")), 1);
    QCOMPARE(second->calls.count(QStringLiteral("FormActivate")), 0);
    area.setActiveSubWindow(secondSub);
    QCOMPARE(second->calls.count(QStringLiteral("FormActivate")), 1);
}

void TestBaseForms::navigatorAndNameFollowRecords()
{
    GridForm form;
    form.show();
    TDBNavigator& nav = *form.dbnPadrao;
    QVERIFY(!nav.Button(TDBNavigator::nbNext)->isEnabled()); // closed record set
    QCOMPARE(form.dbtNome->text(), QString());

    form.load({QStringLiteral("Ana"), QStringLiteral("Bia"), QStringLiteral("Caio")});
    QCOMPARE(form.dbtNome->text(), QStringLiteral("Ana"));
    QVERIFY(!nav.Button(TDBNavigator::nbFirst)->isEnabled());
    QVERIFY(!nav.Button(TDBNavigator::nbPrior)->isEnabled());
    QVERIFY(nav.Button(TDBNavigator::nbNext)->isEnabled());

    QTest::mouseClick(nav.Button(TDBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(form.cds.RecNo(), 2);
    QCOMPARE(form.dbtNome->text(), QStringLiteral("Bia"));
    QVERIFY(nav.Button(TDBNavigator::nbPrior)->isEnabled());

    QTest::mouseClick(nav.Button(TDBNavigator::nbLast), Qt::LeftButton);
    QCOMPARE(form.cds.RecNo(), 3);
    QVERIFY(!nav.Button(TDBNavigator::nbNext)->isEnabled());
    QVERIFY(!nav.Button(TDBNavigator::nbLast)->isEnabled());
    QCOMPARE(form.dbtNome->text(), QStringLiteral("Caio"));

    QTest::mouseClick(nav.Button(TDBNavigator::nbFirst), Qt::LeftButton);
    QCOMPARE(form.cds.RecNo(), 1);

    // Another data source: the navigator works on it from then on.
    TClientDataSet other;
    other.AddField({QStringLiteral("X"), FieldType::String, 2});
    TDataSource otherSource;
    otherSource.SetDataSet(&other);
    nav.SetDataSource(&otherSource);
    QVERIFY(!nav.Button(TDBNavigator::nbNext)->isEnabled());
    QTest::mouseClick(nav.Button(TDBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(form.cds.RecNo(), 1);
}

void TestBaseForms::dialogCloses_data()
{
    addDialogRows("escape", "close", "Esc");
}

void TestBaseForms::dialogCloses()
{
    QFETCH(QString, base);
    QFETCH(bool, escape);

    std::unique_ptr<FormDialog> dialog = newDialog(base);
    const QStringList& calls = scriptOf(*dialog).calls;

    ModalHelper::whenModal([escape](QDialog& shown) {
        if (escape)
            QTest::keyClick(&shown, Qt::Key_Escape);
        else
            shown.close();
    });
    dialog->exec();
    QVERIFY(!dialog->isVisible());
    QVERIFY(calls.contains(QStringLiteral("FormActivate")));
    QCOMPARE(calls.count(QStringLiteral("FormClose")), 1);

    // Closing the hidden dialog by code runs the close handler too.
    QVERIFY(dialog->Close());
    QCOMPARE(calls.count(QStringLiteral("FormClose")), 2);
}

void TestBaseForms::dialogCloseRefused_data()
{
    addDialogRows("fail", "caNone", "handler fails");
}

void TestBaseForms::dialogCloseRefused()
{
    QFETCH(QString, base);
    QFETCH(bool, fail);

    std::unique_ptr<FormDialog> dialog = newDialog(base);
    DialogScript& script = scriptOf(*dialog);
    (fail ? script.failClose : script.refuseClose) = true;
    dialog->show();
    QVERIFY(!dialog->close());
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    dialog->hide();
    QVERIFY(!dialog->Close()); // hidden: the handler runs and refuses all the same
    QCOMPARE(script.calls.count(QStringLiteral("FormClose")), 3);
    QVERIFY((*messages)->messages.isEmpty()); // EAbort is silent
}

void TestBaseForms::dialogConfirm()
{
    DialogForm<TfrmRotiGeral> dialog;
    dialog.show();
    // Activated again (after a message of its own, say): no new opening.
    QApplication::setActiveWindow(&dialog);
    QTest::mouseClick(dialog.sbtConfirma, Qt::LeftButton);
    QCOMPARE(dialog.calls, (QStringList{"FormActivate", "sbtConfirmaClick"}));
    QCOMPARE(dialog.confirmSender, dialog.sbtConfirma);
    QCOMPARE(dialog.msgPadrao.Msg(QStringLiteral("Ok")), QStringLiteral("Feito."));
}

void TestBaseForms::filterOptionsSaveAndLoad()
{
    FilterForm first;
    QCOMPARE(first.creates, 1);
    QCOMPARE(first.ScreenCode(), QStringLiteral("TST00001"));
    first.Opcoes = QStringList{QStringLiteral("stCliente=\"A, B\",C"), QStringLiteral("x=1")};
    QTest::mouseClick(first.findChild<QAbstractButton*>(QStringLiteral("btfSaveOpc")),
                      Qt::LeftButton);
    QCOMPARE(OptionStore::Load(QStringLiteral("TST00001")), first.Opcoes);

    FilterForm second;
    second.Opcoes.clear();
    QTest::mouseClick(second.findChild<QAbstractButton*>(QStringLiteral("btfLoadOpc")),
                      Qt::LeftButton);
    QCOMPARE(second.Opcoes, first.Opcoes);
    QCOMPARE(OptionStore::Value(second.Opcoes, QStringLiteral("stCliente")),
             QStringLiteral("\"A, B\",C"));
}

QTEST_MAIN(TestBaseForms)
#include "tst_baseforms.moc"
