#include "TfrmFiltroBCRInvoice.h"

#include "Cli_FAS10000.h"
#include "Cli_FAS10001.h"
#include "FormData.h"
#include "FrameworkUtils.h"
#include "TfrmBCRInvoice.h"

#include <QScopedValueRollback>

TfrmFiltroBCRInvoice::TfrmFiltroBCRInvoice(QWidget* parent) : TfrmFiltroPadrao(parent)
{
    setupUi(this);
    setupBaseForm(FormData::load(QStringLiteral("Cli_FAS10001")).messages());
}

TfrmFiltroBCRInvoice::~TfrmFiltroBCRInvoice()
{
    if (Cli_FAS10001::frmFiltroBCRInvoice == this)
        Cli_FAS10001::frmFiltroBCRInvoice = nullptr;
}

void TfrmFiltroBCRInvoice::sbtConfirmaClick(QObject*)
{
    // Closing the dialog at the end runs FormClose, which must not confirm again.
    const QScopedValueRollback<bool> confirmando(boConfirmando, true);
    Atualiza_Filtro(true);
    close();
}

void TfrmFiltroBCRInvoice::Atualiza_Filtro(bool boGuarda)
{
    if (boGuarda) {
        Filtro.Cliente.boTCliente = rbtTCliente->isChecked();
        Filtro.Cliente.stLCliente = Cli_FAS10001::stCliente;
        Filtro.boNEmitida = chbNEmitida->isChecked();
        Filtro.boEmitida = chbEmitida->isChecked();
        Filtro.boAberto = chbAberto->isChecked();
        Filtro.boPago = chbPago->isChecked();
        Filtro.Emiss = {depEmissIni->text(), depEmissFin->text()};
        Filtro.Venc = {depVencIni->text(), depVencFin->text()};
        Filtro.Receb = {depRecebIni->text(), depRecebFin->text()};
        Filtro.Camb = {depCambIni->text(), depCambFin->text()};
        return;
    }
    (Filtro.Cliente.boTCliente ? rbtTCliente : rbtLCliente)->setChecked(true);
    Cli_FAS10001::stCliente = Filtro.Cliente.stLCliente;
    chbNEmitida->setChecked(Filtro.boNEmitida);
    chbEmitida->setChecked(Filtro.boEmitida);
    chbAberto->setChecked(Filtro.boAberto);
    chbPago->setChecked(Filtro.boPago);
    depEmissIni->setText(Filtro.Emiss.stIni);
    depEmissFin->setText(Filtro.Emiss.stFin);
    depVencIni->setText(Filtro.Venc.stIni);
    depVencFin->setText(Filtro.Venc.stFin);
    depRecebIni->setText(Filtro.Receb.stIni);
    depRecebFin->setText(Filtro.Receb.stFin);
    depCambIni->setText(Filtro.Camb.stIni);
    depCambFin->setText(Filtro.Camb.stFin);
}

void TfrmFiltroBCRInvoice::FormClose(QObject* sender, TCloseAction& action)
{
    // On the first opening (no company loaded yet) closing the dialog loads the list with
    // the criteria as they stand. Not when the close comes from a confirmation itself.
    const TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
    if (!boConfirmando && screen && EmptyString(screen->CdEmpresaAnterior))
        sbtConfirmaClick(sender);
    Atualiza_Filtro(false);
    action = caHide;
}
