#include "TfrmPrevCambDolar.h"

#include "Cli_FAS10000.h"
#include "Cli_FAS10003.h"
#include "FormData.h"
#include "FormatFloat.h"
#include "TfrmBCRInvoice.h"

TfrmPrevCambDolar::TfrmPrevCambDolar(QWidget* parent) : TfrmRotiGeral(parent)
{
    const FormData data = FormData::load(QStringLiteral("Cli_FAS10003"));
    setupUi(this);
    applyDesignData(data);
    nedVrDolarDia->OnChange = [this] { nedVrDolarDiaChange(nedVrDolarDia); };
    nedVrDolarDia->OnExit = [this] { nedVrDolarDiaExit(nedVrDolarDia); };
    setupBaseForm(data.messages());
}

TfrmPrevCambDolar::~TfrmPrevCambDolar()
{
    if (Cli_FAS10003::frmPrevCambDolar == this)
        Cli_FAS10003::frmPrevCambDolar = nullptr;
}

void TfrmPrevCambDolar::applyDesignData(const FormData& data)
{
    for (TNumberEdit* edit : {nedVrDolarDia, nedTaxaCambio, nedVrNF}) {
        const QVariantMap design = data.controlProperties(edit->objectName());
        edit->SetDecimals(design.value(QStringLiteral("Decimals"), edit->Decimals()).toInt());
        edit->SetCurrency(design.value(QStringLiteral("Currency"), edit->Currency()).toBool());
        edit->SetThousands(design.value(QStringLiteral("Thousands"), edit->Thousands()).toBool());
    }
}

void TfrmPrevCambDolar::showEvent(QShowEvent* event)
{
    opening = true;
    TfrmRotiGeral::showEvent(event);
}

void TfrmPrevCambDolar::FormActivate(QObject*)
{
    repaint();
    if (!opening)
        return;
    opening = false;
    nedVrDolarDia->setFocus();
    if (const TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice)
        edtVrInvoices->setText(FloatToStr(screen->VrInvoices));
    nedVrDolarDia->clear();
    nedTaxaCambio->clear();
    nedVrNF->clear();
}

void TfrmPrevCambDolar::FormClose(QObject*, TCloseAction& action)
{
    if (TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
        screen && screen->cdsInvoice->State() == TDataSetState::Edit)
        screen->cdsInvoice->Cancel();
    action = caHide;
}

void TfrmPrevCambDolar::nedVrDolarDiaChange(QObject*)
{
    nedVrNF->SetNumber(0);
}

void TfrmPrevCambDolar::nedVrDolarDiaExit(QObject*)
{
    if (nedVrDolarDia->text().isEmpty())
        return;
    nedVrNF->SetNumber(nedVrDolarDia->GetNumber() * StrToFloat(edtVrInvoices->text()));
}
