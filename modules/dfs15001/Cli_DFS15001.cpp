#include "Cli_DFS15001.h"

#include "EventDispatch.h"
#include "FasApplication.h"
#include "FasConfig.h"
#include "MessageService.h"
#include "NotaFiscalReader.h"
#include "TClientDataSet.h"
#include "TDBGrid.h"
#include "TDataSource.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

QPointer<TfrmEmissaoNF> frmEmissaoNF;

namespace {

const QString FloatFormat = QStringLiteral("#,##0.00");

// The hourglass while the screen opens, restored on every way out.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

struct Column
{
    const char* field;
    const char* title;
    int width;
};

constexpr Column Columns[] = {
    {"CDEMPRESA", "Empresa", 55},      {"CDFILIAL", "Filial", 45},
    {"NRNOTAFISC", "Nº NF", 80},       {"DTEMISNOTA", "Data", 110},
    {"NMCLIENTE", "Cliente", 170},     {"VRNOTAREAIS", "Valor (R$)", 100},
    {"VRNOTADOLAR", "Valor (U$)", 95}, {"IDMODONOTA", "Modo", 75},
    {"NRINVOICES", "Invoices", 150},
};

} // namespace

TfrmEmissaoNF::TfrmEmissaoNF(QWidget* parent) : QWidget(parent)
{
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    dbgNotas = ui.dbgNotas;
    btnFechar = ui.btnFechar;

    btnAtualizar = new QPushButton(QStringLiteral("&Atualizar"), this);
    btnAtualizar->setObjectName(QStringLiteral("btnAtualizar"));
    btnAtualizar->setToolTip(QStringLiteral("Lê de novo as notas fiscais (F5)"));
    ui.hlyBotoes->insertWidget(ui.hlyBotoes->indexOf(btnFechar), btnAtualizar);
    setTabOrder(dbgNotas, btnAtualizar);
    setTabOrder(btnAtualizar, btnFechar);

    lblSituacao = new QLabel(this);
    lblSituacao->setObjectName(QStringLiteral("lblSituacao"));
    lblSituacao->setWordWrap(true);
    lblSituacao->hide();
    ui.vlyForm->insertWidget(ui.vlyForm->indexOf(dbgNotas) + 1, lblSituacao);

    setUpRecordSet();
    setUpGrid();
    // Wide enough for every column at its width, the invoice list included.
    resize(std::max(width(), 900), height());

    connectHandler(btnAtualizar, &QPushButton::clicked, this, [this] { btnAtualizarClick(); });
    connectHandler(btnFechar, &QPushButton::clicked, this, [this] { btnFecharClick(); });
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    refresh->setContext(Qt::WidgetWithChildrenShortcut);
    connectHandler(refresh, &QShortcut::activated, this, [this] { btnAtualizarClick(); });
}

TfrmEmissaoNF::~TfrmEmissaoNF() = default;

void TfrmEmissaoNF::setUpRecordSet()
{
    cdsNotas = new TClientDataSet(this);
    cdsNotas->setObjectName(QStringLiteral("cdsNotas"));
    for (const FieldDef& def : NotaFiscalReader::Fields())
        cdsNotas->AddField(def);
    cdsNotas->FieldByName(QStringLiteral("VRNOTAREAIS")).SetDisplayFormat(FloatFormat);
    cdsNotas->FieldByName(QStringLiteral("VRNOTADOLAR")).SetDisplayFormat(FloatFormat);
    dtsNotas = new TDataSource(this);
    dtsNotas->setObjectName(QStringLiteral("dtsNotas"));
    dtsNotas->SetDataSet(cdsNotas);
}

void TfrmEmissaoNF::setUpGrid()
{
    dbgNotas->SetDataSource(dtsNotas);
    // A width set for another font is widened to the widest value the column can show in
    // ours: the date and time of issue were cut.
    const int dateWidth =
        dbgNotas->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16;
    for (const Column& column : Columns) {
        const bool date = qstrcmp(column.field, "DTEMISNOTA") == 0;
        dbgNotas->AddColumn(QString::fromLatin1(column.field), QString::fromUtf8(column.title),
                            date ? std::max(column.width, dateWidth) : column.width);
    }
    dbgNotas->ApplyColumns();
    dbgNotas->horizontalHeader()->setStretchLastSection(true);
}

void TfrmEmissaoNF::showStatus(const QString& text)
{
    lblSituacao->setText(text);
    lblSituacao->setVisible(!text.isEmpty());
}

QString TfrmEmissaoNF::StatusText() const
{
    return lblSituacao->text();
}

void TfrmEmissaoNF::btnAtualizarClick()
{
    QString failure;
    {
        BusyCursor busy;
        try {
            if (!reader)
                reader = std::make_unique<NotaFiscalReader>(
                    FasConfig::load(qEnvironmentVariable("FAS_CONFIG")));
            cdsNotas->SetData(reader->Notas());
        } catch (const NotaFiscalReadError& error) {
            // The next attempt opens a fresh connection: the database may be back by then.
            reader.reset();
            cdsNotas->Close();
            failure = error.text();
        }
    }
    if (!failure.isEmpty()) {
        // Never an empty list that looks like "no notes": the screen says it could not read.
        showStatus(QStringLiteral("Não foi possível ler as notas fiscais."));
        MessageService::instance().error(failure);
        return;
    }
    showStatus(cdsNotas->IsEmpty() ? QStringLiteral("Nenhuma nota fiscal gerada.") : QString());
}

void TfrmEmissaoNF::btnFecharClick()
{
    close();
}

void CriaEmissaoNF()
{
    {
        BusyCursor busy;
        if (!frmEmissaoNF)
            frmEmissaoNF = FasApplication::CreateForm<TfrmEmissaoNF>();
        FasApplication::ShowMdiChild(frmEmissaoNF);
    }
    // Each request shows the notes as they are now: new ones may have been generated since.
    frmEmissaoNF->btnAtualizarClick();
}
