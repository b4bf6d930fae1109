#include "TfrmPrevCambDolar.h"

#include "Cli_FAS10000.h"
#include "Cli_FAS10003.h"
#include "FormData.h"
#include "TfrmBCRInvoice.h"

TfrmPrevCambDolar::TfrmPrevCambDolar(QWidget* parent) : TfrmRotiGeral(parent)
{
    setupUi(this);
    setupBaseForm(FormData::load(QStringLiteral("Cli_FAS10003")).messages());
}

TfrmPrevCambDolar::~TfrmPrevCambDolar()
{
    if (Cli_FAS10003::frmPrevCambDolar == this)
        Cli_FAS10003::frmPrevCambDolar = nullptr;
}

void TfrmPrevCambDolar::FormClose(QObject*, TCloseAction& action)
{
    if (TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
        screen && screen->cdsInvoice->State() == TDataSetState::Edit)
        screen->cdsInvoice->Cancel();
    action = caHide;
}
