#include "TfrmBCRInvoice.h"

#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "EventDispatch.h"
#include "FormData.h"

namespace {

void declare(TClientDataSet& dataSet, const QList<FieldSpec>& specs)
{
    for (const FieldSpec& spec : specs) {
        TField& field = dataSet.AddField(spec.def);
        field.SetDisplayLabel(spec.displayLabel);
        field.SetVisible(spec.visible);
        field.SetDisplayFormat(spec.displayFormat);
        field.SetEditFormat(spec.editFormat);
        field.SetAlignment(spec.alignment);
        if (spec.displayWidth > 0)
            field.SetDisplayWidth(spec.displayWidth);
    }
}

} // namespace

TfrmBCRInvoice::TfrmBCRInvoice(QWidget* parent)
    : TfrmPadraoGrid(parent), cdsInvoice(new TClientDataSet(this)),
      cdsItem(new TClientDataSet(this)), dtsItem(new TDataSource(this)),
      dtsEmpresa(new TDataSource(this))
{
    cdsInvoice->setObjectName(QStringLiteral("cdsInvoice"));
    cdsItem->setObjectName(QStringLiteral("cdsItem"));
    dtsItem->setObjectName(QStringLiteral("dtsItem"));
    dtsEmpresa->setObjectName(QStringLiteral("dtsEmpresa"));

    setupUi(this);
    declareFields();
    dtsPadrao->SetDataSet(cdsInvoice);
    dtsItem->SetDataSet(cdsItem);
    dbgItem->SetDataSource(dtsItem);
    setupBaseForm(FormData::load(QStringLiteral("Cli_FAS10000")).messages());
    dbtNome->SetDataField(QStringLiteral("NMFANTCLIE"));

    connectHandler(sbtFiltrar, &QAbstractButton::clicked, this,
                   [this] { sbtFiltrarClick(sbtFiltrar); });
    connectHandler(mnuFiltrar, &QAction::triggered, this, [this] { mnuFiltrarClick(mnuFiltrar); });
}

TfrmBCRInvoice::~TfrmBCRInvoice()
{
    // The unit's variable never points at a destroyed screen.
    if (Cli_FAS10000::frmBCRInvoice == this)
        Cli_FAS10000::frmBCRInvoice = nullptr;
}

void TfrmBCRInvoice::declareFields()
{
    const FormData data = FormData::load(QStringLiteral("Cli_FAS10000"));
    declare(*cdsInvoice, data.fields(QStringLiteral("cdsInvoice")));
    declare(*cdsItem, data.fields(QStringLiteral("cdsItem")));
}

void TfrmBCRInvoice::FormClose(QObject* sender, TCloseAction& action)
{
    TfrmPadraoGrid::FormClose(sender, action);
    Cli_FAS10000::boIdCriado = false;
    // TODO(TNetConnection): netBCRInvoice->SetConnected(false);
}

void TfrmBCRInvoice::sbtFiltrarClick(QObject*)
{
    Cli_FAS10001::CriaFiltroBCRInvoice();
}

void TfrmBCRInvoice::mnuFiltrarClick(QObject* sender)
{
    sbtFiltrarClick(sender);
}
