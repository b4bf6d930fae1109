#include "FormData.h"

#include "ui_Cli_DFS15001.h"
#include "ui_Cli_FAS10000.h"
#include "ui_Cli_FAS10001.h"
#include "ui_Cli_FAS10002.h"
#include "ui_Cli_FAS10003.h"

#include <QTest>
#include <memory>

// Every form's layout sets up offscreen and holds the controls the screens look up by name,
// with the designed classes, captions, starting states, sizes and tab order.

namespace {

// Builds the form of a unit on a fresh root widget of the designed class.
std::unique_ptr<QWidget> buildForm(const QString& unit)
{
    if (unit == QLatin1String("Cli_FAS10000")) {
        auto root = std::make_unique<QWidget>();
        Ui::TfrmBCRInvoice().setupUi(root.get());
        return root;
    }
    if (unit == QLatin1String("Cli_FAS10001")) {
        auto root = std::make_unique<QDialog>();
        Ui::TfrmFiltroBCRInvoice().setupUi(root.get());
        return root;
    }
    if (unit == QLatin1String("Cli_FAS10002")) {
        auto root = std::make_unique<QDialog>();
        Ui::TfrmConfReceb().setupUi(root.get());
        return root;
    }
    if (unit == QLatin1String("Cli_FAS10003")) {
        auto root = std::make_unique<QDialog>();
        Ui::TfrmPrevCambDolar().setupUi(root.get());
        return root;
    }
    if (unit == QLatin1String("Cli_DFS15001")) {
        auto root = std::make_unique<QWidget>();
        Ui::TfrmEmissaoNF().setupUi(root.get());
        return root;
    }
    return nullptr;
}

template <typename T = QWidget> T* child(QWidget* root, const char* name)
{
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return w;
}

QColor baseColour(QWidget* w)
{
    return w->palette().color(QPalette::Active, QPalette::Base);
}

// The designed names, in the order the focus chain must visit them.
QStringList focusOrder(QWidget* root, const QStringList& names)
{
    QStringList order;
    QWidget* w = root;
    do {
        if (names.contains(w->objectName()) && !order.contains(w->objectName()))
            order.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w && w != root);
    return order;
}

} // namespace

class TstUiForms : public QObject
{
    Q_OBJECT

private slots:
    void controlsExist_data();
    void controlsExist();
    void captionAndCode_data();
    void captionAndCode();
    void designSizes_data();
    void designSizes();
    void startStates_data();
    void startStates();
    void noTabStops();
    void menuItems_data();
    void menuItems();
    void menuStructure();
    void settlementTopToBottom();
    void toolButtons();
    void colours_data();
    void colours();
    void boldCaptions();
    void tabOrder_data();
    void tabOrder();
    void tabKeyInDialogs_data();
    void tabKeyInDialogs();
};

void TstUiForms::controlsExist_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");

    const auto add = [](const char* unit, const char* cls, const QStringList& names) {
        for (const QString& n : names)
            QTest::addRow("%s %s", unit, qPrintable(n)) << unit << n << cls;
    };
    const char* s = "Cli_FAS10000";
    add(s, "QMenuBar", {"mnuMenu"});
    add(s, "QMenu", {"mnuOperacao", "mnuManutencao", "mnuCadAuto", "pmnCadAuto"});
    add(s, "QFrame", {"panMenu", "panEmpresa", "panTaxaCambio", "panNavigator"});
    add(s, "QLabel", {"lblCodTela", "imgCheck", "imgUnCheck", "imgNoCheck", "lblEmpresa"});
    add(s, "TButtonFlat",
        {"sbtFiltrar", "sbtCadAuto", "sbtGerarNF", "sbtMais", "sbtIncluir", "sbtAlterar",
         "sbtExcluir", "sbtProcurar", "sbtVerificar", "sbtImprimir", "sbtAjuda", "sbtFechar"});
    add(s, "QLineEdit", {"medCdEmpresa", "edtNmEmpresa"});
    add(s, "TBtnPesquisa", {"btpEmpresa"});
    add(s, "QTabWidget", {"pgcPadrao"});
    add(s, "QWidget", {"tshPadrao", "panDbgPadrao"});
    add(s, "QScrollArea", {"scbFolhaDados", "scbItem"});
    add(s, "QSplitter", {"splInvoiceItem"});
    add(s, "TDBGrid", {"dbgPadrao", "dbgItem"});
    add(s, "TDBEdit", {"dbeTaxaCambio", "dbeOrdPgto", "dbeReferencia"});
    add(s, "TDBMemo", {"dbmDescricao"});
    add(s, "TDBText", {"dbtNome"});
    add(s, "TDBNavigator", {"dbnPadrao"});

    const char* f = "Cli_FAS10001";
    add(f, "QGroupBox",
        {"grbFiltroPadrao", "grbCliente", "grbSituacao", "grbNotaFiscal", "grbEmissao",
         "grbVencimento", "grbRecebimento", "grbCambio"});
    add(f, "QFrame", {"panMenu"});
    add(f, "QWidget", {"panBotoes"});
    add(f, "TButtonFlat", {"sbtConfirma", "btfSaveOpc", "btfLoadOpc"});
    add(f, "QRadioButton", {"rbtTCliente", "rbtLCliente"});
    add(f, "TBtnPesquisa", {"btpCliente"});
    add(f, "QCheckBox", {"chbAberto", "chbPago", "chbNEmitida", "chbEmitida"});
    add(f, "TDateEditPlus",
        {"depEmissIni", "depEmissFin", "depVencIni", "depVencFin", "depRecebIni", "depRecebFin",
         "depCambIni", "depCambFin"});
    add(f, "QLabel",
        {"lblCodTela", "lblEmissDe", "lblEmissAte", "lblVencDe", "lblVencAte", "lblRecebDe",
         "lblRecebAte", "lblCambDe", "lblCambAte"});

    for (const char* unit : {"Cli_FAS10002", "Cli_FAS10003"}) {
        add(unit, "QGroupBox", {"grbDadosRel"});
        add(unit, "QFrame", {"panMenu"});
        add(unit, "QWidget", {"panBotoes"});
        add(unit, "TButtonFlat", {"sbtConfirma"});
        add(unit, "QLabel", {"lblCodTela"});
    }
    const char* r = "Cli_FAS10002";
    add(r, "QLineEdit", {"edtValorInvoices", "edtVrOrdPgto", "edtReferencia"});
    add(r, "TDateEditPlus", {"dbdReceb"});
    add(r, "QPlainTextEdit", {"memObservacao"});
    const char* e = "Cli_FAS10003";
    add(e, "QLineEdit", {"edtVrInvoices"});
    add(e, "TNumberEdit", {"nedVrDolarDia", "nedTaxaCambio", "nedVrNF"});
    add(e, "TDateEditPlus", {"dbdCambio"});
    const char* n = "Cli_DFS15001";
    add(n, "TDBGrid", {"dbgNotas"});
    add(n, "QPushButton", {"btnFechar"});
}

// The screens find their controls by name after setupUi; each must exist exactly once and be
// of the designed class (the promoted class, where the design names one).
void TstUiForms::controlsExist()
{
    QFETCH(QString, unit);
    QFETCH(QString, name);
    QFETCH(QString, className);
    const auto root = buildForm(unit);
    const QList<QWidget*> found = root->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.first()->inherits(qPrintable(className)),
             qPrintable(QString::fromLatin1(found.first()->metaObject()->className())));
}

void TstUiForms::captionAndCode_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("rootClass");
    for (const char* unit : {"Cli_FAS10000", "Cli_DFS15001"})
        QTest::newRow(unit) << unit << "QWidget";
    for (const char* unit : {"Cli_FAS10001", "Cli_FAS10002", "Cli_FAS10003"})
        QTest::newRow(unit) << unit << "QDialog";
}

// The layout and the form's data agree on the caption and the screen code.
void TstUiForms::captionAndCode()
{
    QFETCH(QString, unit);
    QFETCH(QString, rootClass);
    const auto root = buildForm(unit);
    const FormData data = FormData::load(unit);
    QCOMPARE(root->objectName(), data.formClass());
    QCOMPARE(root->windowTitle(), data.caption());
    QCOMPARE(child<QLabel>(root.get(), "lblCodTela")->text(), data.screenCode());
    QCOMPARE(QString::fromLatin1(root->metaObject()->className()), rootClass);
}

void TstUiForms::designSizes_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("fixed");
    QTest::newRow("settlement") << "Cli_FAS10000" << QSize(880, 527) << false;
    QTest::newRow("filter") << "Cli_FAS10001" << QSize(554, 224) << true;
    QTest::newRow("receipt") << "Cli_FAS10002" << QSize(480, 211) << true;
    QTest::newRow("exchange") << "Cli_FAS10003" << QSize(319, 151) << true;
}

// The dialogs have a single, non-resizable border: their client size is fixed and the
// layout fits in it.
void TstUiForms::designSizes()
{
    QFETCH(QString, unit);
    QFETCH(QSize, size);
    QFETCH(bool, fixed);
    const auto root = buildForm(unit);
    QCOMPARE(root->size(), size);
    if (fixed) {
        QCOMPARE(root->minimumSize(), size);
        QCOMPARE(root->maximumSize(), size);
    }
    root->layout()->activate();
    const QSize needed = root->layout()->minimumSize();
    QVERIFY2(needed.width() <= size.width() && needed.height() <= size.height(),
             qPrintable(QStringLiteral("%1x%2").arg(needed.width()).arg(needed.height())));
}

void TstUiForms::startStates_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("shown");
    const auto add = [](const char* unit, const QStringList& names, bool enabled, bool shown) {
        for (const QString& n : names)
            QTest::addRow("%s %s", unit, qPrintable(n)) << unit << n << enabled << shown;
    };
    const char* s = "Cli_FAS10000";
    add(s,
        {"sbtFiltrar", "sbtCadAuto", "sbtGerarNF", "sbtMais", "sbtImprimir", "sbtIncluir",
         "sbtAlterar", "sbtExcluir", "sbtProcurar", "sbtVerificar", "edtNmEmpresa"},
        false, true);
    add(s, {"sbtAjuda", "sbtFechar", "medCdEmpresa", "btpEmpresa", "dbgPadrao", "dbgItem"}, true,
        true);
    add(s, {"imgCheck", "imgUnCheck", "imgNoCheck", "panTaxaCambio"}, true, false);
    const char* f = "Cli_FAS10001";
    add(f, {"btpCliente", "grbNotaFiscal", "chbNEmitida", "chbEmitida"}, false, true);
    add(f, {"rbtTCliente", "rbtLCliente", "chbAberto", "chbPago", "depEmissIni", "sbtConfirma"},
        true, true);
    add("Cli_FAS10002", {"edtValorInvoices"}, false, true);
    add("Cli_FAS10002", {"dbdReceb", "edtVrOrdPgto", "edtReferencia", "memObservacao"}, true, true);
    add("Cli_FAS10003", {"edtVrInvoices", "nedVrNF"}, false, true);
    add("Cli_FAS10003", {"nedVrDolarDia", "nedTaxaCambio", "dbdCambio"}, true, true);
}

// Controls the design keeps out of the tab order never take the focus.
void TstUiForms::noTabStops()
{
    const QList<QPair<QString, const char*>> controls{{"Cli_FAS10000", "edtNmEmpresa"},
                                                      {"Cli_FAS10003", "nedVrNF"}};
    for (const auto& [unit, name] : controls) {
        const auto root = buildForm(unit);
        QCOMPARE(child(root.get(), name)->focusPolicy(), Qt::NoFocus);
    }
}

void TstUiForms::startStates()
{
    QFETCH(QString, unit);
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    QFETCH(bool, shown);
    const auto root = buildForm(unit);
    QWidget* w = child(root.get(), qPrintable(name));
    QVERIFY(w);
    QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(w->isVisibleTo(root.get()), shown);
}

void TstUiForms::menuItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("separator");
    const auto add = [](const char* name, const char* text, const char* keys, bool enabled) {
        QTest::newRow(name) << name << QString::fromUtf8(text) << keys << enabled << (*text == 0);
    };
    add("mnuMais", "&Mais", "Ctrl+M", false);
    add("mnuTraco", "", "", true);
    add("mnuListagem", "&Listagem", "", false);
    add("mnuConfigImpressora", "Configurar &Impressora", "", false);
    add("mnuIncluir", "&Incluir", "", false);
    add("mnuAlterar", "&Alterar", "", false);
    add("mnuExcluir", "&Excluir", "", false);
    add("mnuProcurar", "&Procurar", "", false);
    add("mnuVerificar", "&Verificar", "", false);
    add("mnuCancelar", "&Cancelar", "", false);
    add("mnuConfirmar", "C&onfirmar", "", false);
    add("mnuMainLinha", "", "", true);
    add("mnuFiltrar", "&Filtrar", "Ctrl+L", false);
    add("mnuMainConfReceb", "&Confirmação de Recebimento (Pgto. INVOICE)", "Ctrl+R", true);
    add("mnuSubLinha", "", "", true);
    add("mnuMainPrevCamb", "&Prévia do Câmbio", "Ctrl+P", true);
    add("mnuMainEmissNF", "&Emissão de NF", "Ctrl+E", true);
    add("mnuGerarNF", "&Gerar Nota Fiscal", "Ctrl+N", false);
    add("mnuConfReceb", "Confirmação de Recebimento (Pgto. INVOICE)", "", true);
    add("mnuLinha", "", "", true);
    add("mnuPrevCamb", "Prévia do Câmbio", "", true);
    add("mnuEmissNF", "Emissão de NF", "", true);
}

void TstUiForms::menuItems()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, shortcut);
    QFETCH(bool, enabled);
    QFETCH(bool, separator);
    const auto root = buildForm("Cli_FAS10000");
    auto* action = root->findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action->isSeparator(), separator);
    if (!separator)
        QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    QCOMPARE(action->isEnabled(), enabled);
}

// Menus hold their items in the designed order; the automatic registration submenu comes
// after the filter item and before the fiscal note item, and starts disabled.
void TstUiForms::menuStructure()
{
    const auto root = buildForm("Cli_FAS10000");
    const auto names = [&](const char* menu) {
        QStringList result;
        for (QAction* a : child<QMenu>(root.get(), menu)->actions())
            result.append(a->menu() ? a->menu()->objectName() : a->objectName());
        return result;
    };
    QStringList bar;
    for (QAction* a : child<QMenuBar>(root.get(), "mnuMenu")->actions())
        bar.append(a->menu()->title());
    QCOMPARE(bar, (QStringList{"&Operação", "&Manutenção"}));
    QCOMPARE(names("mnuOperacao"),
             (QStringList{"mnuMais", "mnuTraco", "mnuListagem", "mnuConfigImpressora"}));
    QCOMPARE(names("mnuManutencao"),
             (QStringList{"mnuIncluir", "mnuAlterar", "mnuExcluir", "mnuProcurar", "mnuVerificar",
                          "mnuCancelar", "mnuConfirmar", "mnuMainLinha", "mnuFiltrar", "mnuCadAuto",
                          "mnuGerarNF"}));
    QCOMPARE(names("mnuCadAuto"),
             (QStringList{"mnuMainConfReceb", "mnuSubLinha", "mnuMainPrevCamb", "mnuMainEmissNF"}));
    QCOMPARE(names("pmnCadAuto"),
             (QStringList{"mnuConfReceb", "mnuLinha", "mnuPrevCamb", "mnuEmissNF"}));
    auto* cadAuto = child<QMenu>(root.get(), "mnuCadAuto");
    QCOMPARE(cadAuto->title(), QString("Ca&dastro Automático"));
    QVERIFY(!cadAuto->isEnabled());
    QVERIFY(!cadAuto->menuAction()->isEnabled());
    QVERIFY(!child<QMenu>(root.get(), "pmnCadAuto")->isVisible());
}

// Laid out at its design size, the settlement screen stacks menu, tool panel, company panel,
// the grids' page and the navigator panel, with the designed heights.
void TstUiForms::settlementTopToBottom()
{
    const auto root = buildForm("Cli_FAS10000");
    root->show();
    QVERIFY(QTest::qWaitForWindowExposed(root.get()));
    const auto top = [&](const char* name) {
        QWidget* w = child(root.get(), name);
        return w->mapTo(root.get(), QPoint(0, 0)).y();
    };
    QVERIFY(top("mnuMenu") < top("panMenu"));
    QVERIFY(top("panMenu") < top("panEmpresa"));
    QVERIFY(top("panEmpresa") < top("pgcPadrao"));
    QVERIFY(top("pgcPadrao") < top("panNavigator"));
    QVERIFY(top("dbgPadrao") < top("dbgItem"));
    QCOMPARE(child(root.get(), "panEmpresa")->height(), 33);
    QCOMPARE(child(root.get(), "edtNmEmpresa")->width(), 250);
    QCOMPARE(child<QSplitter>(root.get(), "splInvoiceItem")->handleWidth(), 4);
    QCOMPARE(child<QSplitter>(root.get(), "splInvoiceItem")->orientation(), Qt::Vertical);
    QCOMPARE(child(root.get(), "panNavigator")->geometry().bottom(), root->height() - 1);

    auto* mais = child<QToolButton>(root.get(), "sbtMais");
    QVERIFY(mais->isCheckable());
    auto* panTaxa = child(root.get(), "panTaxaCambio");
    panTaxa->show();
    QTRY_COMPARE(panTaxa->height(), 52);
    QVERIFY(top("dbgPadrao") < top("panTaxaCambio"));
    QVERIFY(top("panTaxaCambio") < top("dbgItem"));
    QCOMPARE(child(root.get(), "dbmDescricao")->size(), QSize(467, 46));
}

// The tool buttons are 21 by 21, in the designed order from the left, carry their hints and
// never take the focus; the mark column's pictures are 16 by 16.
void TstUiForms::toolButtons()
{
    const auto root = buildForm("Cli_FAS10000");
    root->show();
    QVERIFY(QTest::qWaitForWindowExposed(root.get()));
    const QStringList order{"sbtFiltrar",  "sbtCadAuto", "sbtGerarNF", "sbtMais",
                            "sbtImprimir", "sbtAjuda",   "sbtFechar"};
    const QStringList hints{
        "Filtrar", "Cadastro Automático", "Gerar Nota Fiscal", "Mais", "Imprimir", "Ajuda",
        "Fechar"};
    int lastX = -1;
    for (int i = 0; i < order.size(); ++i) {
        auto* b = child<QToolButton>(root.get(), qPrintable(order[i]));
        QCOMPARE(b->parentWidget()->objectName(), QString("panMenu"));
        QCOMPARE(b->size(), QSize(21, 21));
        QCOMPARE(b->toolTip(), hints[i]);
        QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        QVERIFY2(b->x() > lastX, qPrintable(order[i]));
        lastX = b->x();
    }
    QCOMPARE(child(root.get(), "btpEmpresa")->toolTip(), QString("Pesquisar"));
    for (const char* name : {"imgCheck", "imgUnCheck", "imgNoCheck"})
        QCOMPARE(child(root.get(), name)->size(), QSize(16, 16));
}

void TstUiForms::colours_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");
    const QColor info(0xFF, 0xFF, 0xE1);
    const QColor face(0xF0, 0xF0, 0xF0);
    QTest::newRow("medCdEmpresa") << "Cli_FAS10000"
                                  << "medCdEmpresa" << info;
    QTest::newRow("edtNmEmpresa") << "Cli_FAS10000"
                                  << "edtNmEmpresa" << face;
    QTest::newRow("dbgItem") << "Cli_FAS10000"
                             << "dbgItem" << info;
    QTest::newRow("dbeTaxaCambio") << "Cli_FAS10000"
                                   << "dbeTaxaCambio" << face;
    QTest::newRow("dbmDescricao") << "Cli_FAS10000"
                                  << "dbmDescricao" << face;
    QTest::newRow("edtValorInvoices") << "Cli_FAS10002"
                                      << "edtValorInvoices" << face;
    QTest::newRow("dbdReceb") << "Cli_FAS10002"
                              << "dbdReceb" << info;
    QTest::newRow("edtVrOrdPgto") << "Cli_FAS10002"
                                  << "edtVrOrdPgto" << info;
    QTest::newRow("memObservacao") << "Cli_FAS10002"
                                   << "memObservacao" << QColor(Qt::white);
    QTest::newRow("edtVrInvoices") << "Cli_FAS10003"
                                   << "edtVrInvoices" << face;
    QTest::newRow("nedVrDolarDia") << "Cli_FAS10003"
                                   << "nedVrDolarDia" << info;
    QTest::newRow("nedTaxaCambio") << "Cli_FAS10003"
                                   << "nedTaxaCambio" << info;
    QTest::newRow("nedVrNF") << "Cli_FAS10003"
                             << "nedVrNF" << face;
    QTest::newRow("dbdCambio") << "Cli_FAS10003"
                               << "dbdCambio" << info;
}

// Colours go through the palette, not a style sheet, so code that later sets a control's
// background (the date ranges, the observation memo) is not overridden.
void TstUiForms::colours()
{
    QFETCH(QString, unit);
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    const auto root = buildForm(unit);
    QWidget* w = child(root.get(), qPrintable(name));
    QCOMPARE(baseColour(w), colour);
    QVERIFY(w->styleSheet().isEmpty());
}

// Group captions and field labels are bold; the controls inside the groups are not.
void TstUiForms::boldCaptions()
{
    const auto filter = buildForm("Cli_FAS10001");
    for (const char* name : {"grbCliente", "grbSituacao", "grbNotaFiscal", "grbEmissao",
                             "grbVencimento", "grbRecebimento", "grbCambio"})
        QVERIFY2(child(filter.get(), name)->font().bold(), name);
    for (const char* name : {"rbtTCliente", "chbPago", "chbEmitida", "depEmissIni", "lblCambAte"})
        QVERIFY2(!child(filter.get(), name)->font().bold(), name);
    QCOMPARE(child<QLabel>(filter.get(), "lblVencDe")->text(), QString("de"));
    QCOMPARE(child<QLabel>(filter.get(), "lblVencAte")->text(), QString("até"));

    const auto receipt = buildForm("Cli_FAS10002");
    for (const char* name :
         {"lblValorInvoices", "lblDataReceb", "lblVrOrdPgto", "lblReferencia", "lblObservacao"})
        QVERIFY2(child(receipt.get(), name)->font().bold(), name);
    QVERIFY(!child(receipt.get(), "edtReferencia")->font().bold());
    QCOMPARE(child<QLineEdit>(receipt.get(), "edtVrOrdPgto")->maxLength(), 9);
    QCOMPARE(child(receipt.get(), "memObservacao")->size(), QSize(290, 89));
    QCOMPARE(child(receipt.get(), "edtReferencia")->width(), 150);

    const auto settlement = buildForm("Cli_FAS10000");
    QVERIFY(child(settlement.get(), "lblEmpresa")->font().bold());
    for (const char* name : {"lblTaxaCambio", "lblOrdPgto", "lblReferencia", "lblDescricao"})
        QVERIFY2(child(settlement.get(), name)->font().bold(), name);
    QCOMPARE(child<QLabel>(settlement.get(), "lblTaxaCambio")->text(),
             QString("Taxa de Câmbio (R$):"));
}

void TstUiForms::tabOrder_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("filter") << "Cli_FAS10001"
                            << QStringList{"rbtTCliente", "rbtLCliente", "btpCliente",
                                           "chbAberto",   "chbPago",     "chbNEmitida",
                                           "chbEmitida",  "depEmissIni", "depEmissFin",
                                           "depVencIni",  "depVencFin",  "depRecebIni",
                                           "depRecebFin", "depCambIni",  "depCambFin"};
    QTest::newRow("receipt") << "Cli_FAS10002"
                             << QStringList{"edtValorInvoices", "edtReferencia", "memObservacao",
                                            "dbdReceb", "edtVrOrdPgto"};
    QTest::newRow("exchange") << "Cli_FAS10003"
                              << QStringList{"edtVrInvoices", "nedVrDolarDia", "nedTaxaCambio",
                                             "dbdCambio"};
    QTest::newRow("settlement") << "Cli_FAS10000"
                                << QStringList{"medCdEmpresa", "btpEmpresa", "dbgPadrao",
                                               "dbgItem"};
}

// The focus chain visits the designed controls in the designed order, starting from the
// first of them.
void TstUiForms::tabOrder()
{
    QFETCH(QString, unit);
    QFETCH(QStringList, order);
    const auto root = buildForm(unit);
    QWidget* first = child(root.get(), qPrintable(order.first()));
    QStringList visited;
    QWidget* w = first;
    do {
        if (order.contains(w->objectName()) && !visited.contains(w->objectName()))
            visited.append(w->objectName());
        w = w->nextInFocusChain();
    } while (w && w != first);
    QCOMPARE(visited, order);
    QCOMPARE(focusOrder(root.get(), order).size(), order.size());
}

void TstUiForms::tabKeyInDialogs_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QStringList>("stops");
    // Disabled fields are skipped; the memo passes the tab key on instead of taking it.
    QTest::newRow("receipt") << "Cli_FAS10002"
                             << QStringList{"edtReferencia", "memObservacao", "dbdReceb",
                                            "edtVrOrdPgto", "edtReferencia"};
    QTest::newRow("exchange") << "Cli_FAS10003"
                              << QStringList{"nedVrDolarDia", "nedTaxaCambio", "dbdCambio",
                                             "nedVrDolarDia"};
}

// Pressing Tab in the shown dialog walks the enabled fields in the designed order.
void TstUiForms::tabKeyInDialogs()
{
    QFETCH(QString, unit);
    QFETCH(QStringList, stops);
    const auto root = buildForm(unit);
    root->show();
    QVERIFY(QTest::qWaitForWindowActive(root.get()));
    child(root.get(), qPrintable(stops.first()))->setFocus();
    QTRY_COMPARE(QApplication::focusWidget()->objectName(), stops.first());
    for (int i = 1; i < stops.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), stops[i]);
    }
}

QTEST_MAIN(TstUiForms)
#include "tst_uiforms.moc"
