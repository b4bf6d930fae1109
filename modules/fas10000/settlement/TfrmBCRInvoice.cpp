#include "TfrmBCRInvoice.h"

#include "BrushCopy.h"
#include "BusyAnimation.h"
#include "CheckResultServ.h"
#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "Cli_FAS10002.h"
#include "Cli_FAS10003.h"
#include "ControlsSuspended.h"
#include "EventDispatch.h"
#include "FasApplication.h"
#include "FocusTracker.h"
#include "FormData.h"
#include "FormatFloat.h"
#include "FrameworkUtils.h"
#include "LoadBPL.h"
#include "MarkImages.h"
#include "MaskedEntry.h"
#include "Money.h"
#include "OptionStore.h"
#include "Procura.h"
#include "TADOIBQuery.h"
#include "TfrmFiltroBCRInvoice.h"
#include "WebConfig.h"
#include "ui_Cli_FAS10000.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

namespace {

const QString Unit = QStringLiteral("Cli_FAS10000");

void declare(TClientDataSet& dataSet, const QList<FieldSpec>& fieldEntries)
{
    for (const FieldSpec& entry : fieldEntries) {
        TField& field = dataSet.AddField(entry.def);
        field.SetDisplayLabel(entry.displayLabel);
        field.SetVisible(entry.visible);
        field.SetDisplayFormat(entry.displayFormat);
        field.SetEditFormat(entry.editFormat);
        field.SetAlignment(entry.alignment);
        if (entry.displayWidth > 0)
            field.SetDisplayWidth(entry.displayWidth);
    }
}

QFont fontOf(const FontSpec& entry)
{
    QFont font(entry.family);
    if (entry.pixelSize > 0)
        font.setPixelSize(entry.pixelSize);
    return font;
}

// A title written for a font of the symbol character set shows that font's glyph: "4" is its
// check mark. Other texts are shown as they are.
QString symbolText(const QString& text, const std::optional<FontSpec>& font)
{
    if (font && font->charset == QLatin1String("symbol") && text == QLatin1String("4"))
        return QStringLiteral("\u2714");
    return text;
}

void addColumns(TDBGrid& grid, const GridSpec& entry)
{
    for (const ColumnSpec& columnSpec : entry.columns) {
        const std::optional<FontSpec> titleFont =
            columnSpec.titleFont ? columnSpec.titleFont : entry.titleFont;
        TColumn& column = grid.AddColumn(
            columnSpec.field, symbolText(columnSpec.title.value_or(QString()), titleFont),
            columnSpec.width.value_or(0));
        if (titleFont) {
            column.TitleFont = fontOf(*titleFont);
            column.HasTitleFont = true;
        }
    }
    grid.ApplyColumns();
}

} // namespace

TfrmBCRInvoice::TfrmBCRInvoice(QWidget* parent)
    : TfrmPadraoGrid(parent), cdsInvoice(new TClientDataSet(this)),
      cdsItem(new TClientDataSet(this)), dtsItem(new TDataSource(this)),
      dtsEmpresa(new TDataSource(this)), qryEmpresa(new TADOIBQuery(this)),
      netBCRInvoice(std::make_unique<TNetConnection>()), ui(std::make_unique<Ui::TfrmBCRInvoice>())
{
    cdsInvoice->setObjectName(QStringLiteral("cdsInvoice"));
    cdsItem->setObjectName(QStringLiteral("cdsItem"));
    dtsItem->setObjectName(QStringLiteral("dtsItem"));
    dtsEmpresa->setObjectName(QStringLiteral("dtsEmpresa"));
    qryEmpresa->setObjectName(QStringLiteral("qryEmpresa"));

    ui->setupUi(this);
    createMaintenanceCommands();
    const FormData data = FormData::load(Unit);
    declare(*cdsInvoice, data.fields(QStringLiteral("cdsInvoice")));
    declare(*cdsItem, data.fields(QStringLiteral("cdsItem")));
    dtsPadrao->SetDataSet(cdsInvoice);
    dtsItem->SetDataSet(cdsItem);
    ui->dbgItem->SetDataSource(dtsItem);
    setupBaseForm(data.messages());

    // The company query.
    const QuerySpec query = data.query(QStringLiteral("qryEmpresa"));
    qryEmpresa->SQL = query.lines;
    for (const QueryParamSpec& param : query.params)
        qryEmpresa->GetIBParams().ParamByName(param.name).AsString.clear();
    declare(*qryEmpresa->Query(), query.fields);
    dtsEmpresa->SetDataSet(qryEmpresa->Query());

    // The grids' columns (the base form has bound dbgPadrao to dtsPadrao).
    addColumns(*ui->dbgPadrao, data.grid(QStringLiteral("dbgPadrao")));
    addColumns(*ui->dbgItem, data.grid(QStringLiteral("dbgItem")));

    // The detail panel and the navigator panel show the current invoice.
    for (TDBEdit* edit : {ui->dbeTaxaCambio, ui->dbeOrdPgto, ui->dbeReferencia}) {
        edit->SetDataSource(dtsPadrao);
        edit->SetDataField(data.controlProperties(edit->objectName())
                               .value(QStringLiteral("DataField"))
                               .toString());
    }
    ui->dbmDescricao->SetDataSource(dtsPadrao);
    ui->dbmDescricao->SetDataField(QStringLiteral("DSOBSPGTOINVOI"));
    ui->dbtNome->SetDataField(QStringLiteral("NMFANTCLIE"));

    const QVariantMap mais = data.controlProperties(QStringLiteral("sbtMais"));
    ui->sbtMais->SetGroupIndex(mais.value(QStringLiteral("GroupIndex")).toInt());
    ui->sbtMais->SetAllowAllUp(mais.value(QStringLiteral("AllowAllUp")).toBool());

    const QVariantMap lookup = data.controlProperties(QStringLiteral("btpEmpresa"));
    ui->btpEmpresa->Title = lookup.value(QStringLiteral("Title")).toString();
    ui->btpEmpresa->EmptyError = lookup.value(QStringLiteral("EmptyError")).toString();
    ui->btpEmpresa->SetAssociate(ui->medCdEmpresa);
    KeepMaskedEntryAtStart(*ui->medCdEmpresa);
    ui->btpEmpresa->SetDataSource(dtsEmpresa);

    const QVariantMap net = data.controlProperties(QStringLiteral("netBCRInvoice"));
    netBCRInvoice->ServerName = net.value(QStringLiteral("ServerName")).toString();
    netBCRInvoice->ThrowException = net.value(QStringLiteral("ThrowException")).toBool();
    netBCRInvoice->Host = net.value(QStringLiteral("Host")).toString();

    // The mark column's images, drawn into the grid by the marking.
    ui->imgCheck->setPixmap(MarkImages::check());
    ui->imgUnCheck->setPixmap(MarkImages::unCheck());
    ui->imgNoCheck->setPixmap(MarkImages::noCheck());

    // The page control (whose single tab's bar is hidden) and the scroll boxes only hold the
    // grids: Tab goes from the company field straight to the invoice grid.
    for (QWidget* container :
         std::initializer_list<QWidget*>{ui->pgcPadrao, ui->scbFolhaDados, ui->scbItem})
        container->setFocusPolicy(Qt::NoFocus);

    lblResumo = new QLabel(ui->dbtNome->parentWidget());
    lblResumo->setObjectName(QStringLiteral("lblResumo"));
    lblResumo->setContentsMargins(16, 0, 0, 0); // apart from the customer's name
    if (auto* row = qobject_cast<QBoxLayout*>(ui->dbtNome->parentWidget()->layout()))
        row->insertWidget(row->indexOf(ui->dbtNome) + 1, lblResumo, 1);

    connectHandlers();
    fitInvoiceColumns();
    ui->medCdEmpresa->setFocus();
}

TfrmBCRInvoice::~TfrmBCRInvoice()
{
    // First, so that no handler of the screen runs while it is being destroyed. The unit's
    // variable clears itself (see UnitForm.h).
    FocusTracker::clearHandlers(ui->medCdEmpresa);
    // The controls' handlers reach them through ui, which goes before the controls do.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

QString TfrmBCRInvoice::companyCode() const
{
    return ui->medCdEmpresa->text();
}

void TfrmBCRInvoice::connectHandlers()
{
    cdsInvoice->AfterOpen = [this](TClientDataSet& set) { cdsInvoiceAfterOpen(set); };
    cdsInvoice->AfterScroll = [this](TClientDataSet& set) { cdsInvoiceAfterScroll(set); };
    cdsInvoice->FieldByName(QStringLiteral("IDTIPOINVOICE")).OnGetText =
        [this](TField& field, QString& text, bool displayText) {
            cdsInvoiceIDTIPOINVOICEGetText(field, text, displayText);
        };

    netBCRInvoice->BeforeConnect = [this](TNetConnection& sender) {
        netBCRInvoiceBeforeConnect(sender);
    };

    FocusTracker::setHandlers(
        ui->medCdEmpresa, [this] { medCdEmpresaEnter(ui->medCdEmpresa); },
        [this] { medCdEmpresaExit(ui->medCdEmpresa); });
    connectHandler(ui->medCdEmpresa, &QLineEdit::textChanged, this,
                   [this] { medCdEmpresaChange(ui->medCdEmpresa); });
    ui->medCdEmpresa->installEventFilter(this);

    ui->btpEmpresa->OnBeforePesq = [this](bool& proceed) {
        btpEmpresaBeforePesq(ui->btpEmpresa, proceed);
    };
    ui->btpEmpresa->OnAfterPesq = [this] { btpEmpresaAfterPesq(ui->btpEmpresa); };

    connectHandler(ui->sbtFiltrar, &QAbstractButton::clicked, this,
                   [this] { sbtFiltrarClick(ui->sbtFiltrar); });
    connectHandler(ui->mnuFiltrar, &QAction::triggered, this,
                   [this] { mnuFiltrarClick(ui->mnuFiltrar); });
    connectHandler(ui->sbtMais, &QAbstractButton::clicked, this,
                   [this] { sbtMaisClick(ui->sbtMais); });
    connectHandler(ui->mnuMais, &QAction::triggered, this, [this] { mnuMaisClick(ui->mnuMais); });
    connectHandler(ui->sbtGerarNF, &QAbstractButton::clicked, this,
                   [this] { sbtGerarNFClick(ui->sbtGerarNF); });
    connectHandler(ui->mnuGerarNF, &QAction::triggered, this,
                   [this] { mnuGerarNFClick(ui->mnuGerarNF); });

    const std::initializer_list<std::pair<QAction*, void (TfrmBCRInvoice::*)(QObject*)>>
        registration{{ui->mnuConfReceb, &TfrmBCRInvoice::mnuConfRecebClick},
                     {ui->mnuPrevCamb, &TfrmBCRInvoice::mnuPrevCambClick},
                     {ui->mnuEmissNF, &TfrmBCRInvoice::mnuEmissNFClick},
                     {ui->mnuMainConfReceb, &TfrmBCRInvoice::mnuMainConfRecebClick},
                     {ui->mnuMainPrevCamb, &TfrmBCRInvoice::mnuMainPrevCambClick},
                     {ui->mnuMainEmissNF, &TfrmBCRInvoice::mnuMainEmissNFClick}};
    for (const auto& [action, handler] : registration)
        connectHandler(action, &QAction::triggered, this,
                       [this, action, handler] { (this->*handler)(action); });
    connectHandler(ui->sbtCadAuto, &QAbstractButton::clicked, this,
                   [this] { sbtCadAutoClick(ui->sbtCadAuto); });

    connectHandler(ui->sbtAjuda, &QAbstractButton::clicked, this,
                   [this] { sbtAjudaClick(ui->sbtAjuda); });
    // F1: the same page, from anywhere on the screen.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WidgetWithChildrenShortcut);
    connectHandler(help, &QShortcut::activated, this, [this] { sbtAjudaClick(ui->sbtAjuda); });

    // The summary follows loads and marks, once per burst of changes.
    auto* summary = new QTimer(this);
    summary->setSingleShot(true);
    connect(summary, &QTimer::timeout, this, [this] { updateSummary(); });
    for (auto signal : {&TClientDataSet::dataReset, &TClientDataSet::stateChanged})
        connect(cdsInvoice, signal, summary, qOverload<>(&QTimer::start));
    connect(cdsInvoice, &TClientDataSet::rowChanged, summary, qOverload<>(&QTimer::start));
    // The columns fit the first list shown; widths the user drags are saved a moment later.
    connect(cdsInvoice, &TClientDataSet::dataReset, this, [this] {
        if (!columnsFitted && cdsInvoice->Active() && !cdsInvoice->IsEmpty())
            fitInvoiceColumns();
    });
    auto* widths = new QTimer(this);
    widths->setSingleShot(true);
    widths->setInterval(500);
    connectHandler(widths, &QTimer::timeout, this, [this] { saveColumnWidths(); });
    connect(ui->dbgPadrao->horizontalHeader(), &QHeaderView::sectionResized, widths,
            [this, widths] {
                if (!applyingWidths)
                    widths->start();
            });

    cdsInvoice->AfterPost = [this](TClientDataSet& set) { cdsInvoiceAfterPost(set); };
    ui->dbgPadrao->OnCellClick = [this](TColumn& column) { dbgPadraoCellClick(column); };
    ui->dbgPadrao->OnTitleClick = [this](TColumn& column) { dbgPadraoTitleClick(column); };
    ui->dbgPadrao->OnDrawColumnCell = [this](QPainter& canvas, const QRect& rect, int dataCol,
                                             TColumn& column, TGridDrawState state) {
        dbgPadraoDrawColumnCell(ui->dbgPadrao, canvas, rect, dataCol, column, state);
    };
    ui->dbgPadrao->OnEnter = [this] { dbgPadraoEnter(ui->dbgPadrao); };
    ui->dbgItem->OnEnter = [this] { dbgItemEnter(ui->dbgItem); };
}

void TfrmBCRInvoice::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmPadraoGrid::FormClose(sender, action);
    Cli_FAS10000::boIdCriado = false;
    netBCRInvoice->SetConnected(false);
}

// ---- connection -----------------------------------------------------------------------------

void TfrmBCRInvoice::FormActivate(QObject*)
{
    const BusyGuard busy(MainForm(), 1);
    netBCRInvoice->SetConnected(true);
}

void TfrmBCRInvoice::netBCRInvoiceBeforeConnect(TNetConnection& sender)
{
    sender.Host = WebURL();
    sender.Port = WebPort();
}

// ---- command state --------------------------------------------------------------------------

void TfrmBCRInvoice::dtsPadraoStateChange(QObject*)
{
    ui->sbtIncluir->setEnabled(false);
    ui->sbtExcluir->setEnabled(false);
    ui->sbtAlterar->setEnabled(false);

    const bool hasRecords = cdsInvoice->Active() && !cdsInvoice->IsEmpty();
    for (TButtonFlat* button :
         {ui->sbtProcurar, ui->sbtVerificar, ui->sbtCadAuto, ui->sbtGerarNF, ui->sbtMais})
        button->setEnabled(hasRecords);

    ui->mnuIncluir->setEnabled(ui->sbtIncluir->isEnabled());
    ui->mnuExcluir->setEnabled(ui->sbtExcluir->isEnabled());
    ui->mnuAlterar->setEnabled(ui->sbtAlterar->isEnabled());
    ui->mnuProcurar->setEnabled(ui->sbtProcurar->isEnabled());
    ui->mnuVerificar->setEnabled(ui->sbtVerificar->isEnabled());
    ui->mnuCadAuto->setEnabled(ui->sbtCadAuto->isEnabled());
    ui->mnuGerarNF->setEnabled(ui->sbtGerarNF->isEnabled());
    ui->mnuMais->setEnabled(ui->sbtMais->isEnabled());
    enableMaintenanceCommands(hasRecords);
}

// ---- filter and detail commands -------------------------------------------------------------

void TfrmBCRInvoice::sbtFiltrarClick(QObject*)
{
    Cli_FAS10001::CriaFiltroBCRInvoice();
}

void TfrmBCRInvoice::mnuFiltrarClick(QObject* sender)
{
    sbtFiltrarClick(sender);
}

void TfrmBCRInvoice::sbtMaisClick(QObject*)
{
    ui->panTaxaCambio->setVisible(ui->sbtMais->Down());
    if (QLayout* layout = ui->panTaxaCambio->parentWidget()->layout())
        layout->activate();
    ui->dbgPadrao->scrollTo(ui->dbgPadrao->currentIndex());
}

void TfrmBCRInvoice::sbtAjudaClick(QObject*)
{
    MessageService::instance().information(QStringLiteral(
        "Baixa C. Receber (INVOICE) — comandos e teclas\n\n"
        "Empresa: digite o código e tecle Tab (\"...\" lista as empresas).\n"
        "Ctrl+L  Filtrar: clientes, situação e datas das invoices listadas.\n"
        "Espaço ou clique na coluna ✔: marca ou desmarca a invoice atual.\n"
        "Clique no título da coluna ✔: marca todas; o clique seguinte desmarca todas.\n"
        "Ctrl+R  Confirmação de Recebimento das invoices marcadas.\n"
        "Ctrl+P  Prévia do Câmbio das invoices marcadas (já recebidas).\n"
        "Ctrl+N  Gerar Nota Fiscal das invoices marcadas, recebidas e cambiadas.\n"
        "Ctrl+E  Emissão de NF: a lista das notas geradas.\n"
        "Ctrl+H  Histórico da Invoice: as alterações da invoice atual, a mais recente primeiro.\n"
        "Ctrl+Shift+R  Estornar Recebimento das invoices marcadas (sem câmbio e sem nota).\n"
        "Ctrl+Shift+P  Estornar Câmbio das invoices marcadas (sem nota).\n"
        "Ctrl+M  Mais: taxa, ordem de pagamento, referência e descrição da invoice atual.\n"
        "Procurar (lupa) busca na lista que tem o foco; Verificar (setas) recarrega a lista.\n"
        "Tab passa de um campo ao seguinte; as setas andam dentro das listas.\n"
        "Nas janelas de filtro, recebimento e câmbio: Enter confirma (fora de um campo de várias\n"
        "linhas), Ctrl+Enter confirma de qualquer campo, Esc fecha sem gravar.\n"
        "F1 ou \"?\" mostra esta página."));
}

void TfrmBCRInvoice::updateSummary()
{
    if (!cdsInvoice->Active()) {
        lblResumo->clear();
        return;
    }
    const int listed = cdsInvoice->RecordCount();
    if (listed == 0) {
        lblResumo->setText(
            QStringLiteral("Nenhuma invoice encontrada para os critérios do filtro."));
        return;
    }
    const int markAt = cdsInvoice->FieldByName(QStringLiteral("IDCHECK")).Index();
    const int totalAt = cdsInvoice->FieldByName(QStringLiteral("TOTALINVOICE")).Index();
    int marked = 0;
    qint64 cents = 0;
    for (int row = 0; row < listed; ++row) {
        if (cdsInvoice->valueAt(row, markAt).toString() == QLatin1String("S")) {
            ++marked;
            cents += Money::cents(cdsInvoice->valueAt(row, totalAt).toDouble());
        }
    }
    const QLocale locale;
    QString text = listed == 1 ? QStringLiteral("1 invoice")
                               : QStringLiteral("%1 invoices").arg(locale.toString(listed));
    if (marked > 0)
        text += QStringLiteral(" — %1 marcada%2: US$ %3")
                    .arg(locale.toString(marked), marked == 1 ? QString() : QStringLiteral("s"),
                         FormatFloat(QStringLiteral("#,##0.00"), Money::fromCents(cents)));
    lblResumo->setText(text);
}

// ---- column widths --------------------------------------------------------------------------

void TfrmBCRInvoice::fitInvoiceColumns()
{
    const QScopedValueRollback<bool> applying(applyingWidths, true);
    const QStringList saved =
        OptionStore::Value(OptionStore::Load(ui->lblCodTela->text()), QStringLiteral("dbgPadrao"))
            .split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (saved.size() == ui->dbgPadrao->ColumnCount()) {
        for (int column = 0; column < saved.size(); ++column)
            ui->dbgPadrao->setColumnWidth(column, qMax(8, saved.at(column).toInt()));
        columnsFitted = true;
        FasApplication::WidenForColumns(this);
        return;
    }
    if (!cdsInvoice->Active() || cdsInvoice->IsEmpty())
        return;
    // Never narrower than designed; wide enough for the title and the values on view.
    const QHeaderView& titles = *ui->dbgPadrao->horizontalHeader();
    const QAbstractItemView& view = *ui->dbgPadrao; // where the hint for a column is public
    for (int column = 0; column < ui->dbgPadrao->ColumnCount(); ++column)
        ui->dbgPadrao->setColumnWidth(
            column, std::max({ui->dbgPadrao->columnWidth(column), titles.sectionSizeHint(column),
                              view.sizeHintForColumn(column)}));
    columnsFitted = true;
    FasApplication::WidenForColumns(this);
}

void TfrmBCRInvoice::saveColumnWidths()
{
    QStringList widths;
    for (int column = 0; column < ui->dbgPadrao->ColumnCount(); ++column)
        widths << QString::number(ui->dbgPadrao->columnWidth(column));
    QStringList options = OptionStore::Load(ui->lblCodTela->text());
    OptionStore::SetValue(options, QStringLiteral("dbgPadrao"), widths.join(QLatin1Char(',')));
    OptionStore::Save(ui->lblCodTela->text(), options);
}

void TfrmBCRInvoice::mnuMaisClick(QObject* sender)
{
    ui->sbtMais->SetDown(!ui->sbtMais->Down());
    sbtMaisClick(sender);
}

void TfrmBCRInvoice::setInvoiceGridDefaultColors(bool on)
{
    if (on)
        ui->dbgPadrao->SetDefaultColors(ui->dbgPadrao->palette().color(QPalette::Base),
                                        ui->dbgPadrao->palette().color(QPalette::Text));
    else
        ui->dbgPadrao->SetDefaultColors(QColor(), QColor());
}

// ---- record rules ---------------------------------------------------------------------------

void TfrmBCRInvoice::cdsInvoiceAfterScroll(TClientDataSet& dataSet)
{
    const ControlsSuspended items(*cdsItem);
    cdsItem->SetFiltered(false);
    // A quote inside the number is doubled, so that the number is matched as it stands
    // instead of breaking the filter text.
    QString invoice = dataSet.FieldByName(QStringLiteral("NRINVOICE")).AsString();
    invoice.replace(QLatin1Char('\''), QLatin1String("''"));
    cdsItem->SetFilter(QStringLiteral("NRINVOICE ='") + invoice + QLatin1Char('\''));
    cdsItem->SetFiltered(true);
}

void TfrmBCRInvoice::cdsInvoiceAfterOpen(TClientDataSet&)
{
    Cli_FAS10000::boTodos = false;
    // The clerk goes on in the list: the focus is in it, on the current invoice (when a
    // dialog is open over the screen, as soon as the screen is active again). Not from the
    // company field: leaving it would run its exit handler again in the middle of this load.
    if (!cdsInvoice->IsEmpty() && focusWidget() != ui->medCdEmpresa)
        ui->dbgPadrao->setFocus();
}

void TfrmBCRInvoice::cdsInvoiceIDTIPOINVOICEGetText(TField& sender, QString& text, bool)
{
    const QString type = sender.AsString();
    if (type == QLatin1String("M"))
        text = QStringLiteral("Manual");
    else if (type == QLatin1String("A"))
        text = QStringLiteral("Automático");
    else
        text.clear();
}

// ---- searching and navigating ---------------------------------------------------------------

void TfrmBCRInvoice::sbtProcurarClick(QObject*)
{
    Procura(focusWidget() == ui->dbgItem ? dtsItem->DataSet() : dtsPadrao->DataSet());
}

void TfrmBCRInvoice::dbgPadraoEnter(QObject*)
{
    ui->dbnPadrao->SetDataSource(dtsPadrao);
}

void TfrmBCRInvoice::dbgItemEnter(QObject*)
{
    ui->dbnPadrao->SetDataSource(dtsItem);
}
