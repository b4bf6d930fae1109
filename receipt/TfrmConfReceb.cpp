#include "TfrmConfReceb.h"

#include "Cli_FAS10000.h"
#include "Cli_FAS10002.h"
#include "FormData.h"
#include "TfrmBCRInvoice.h"

TfrmConfReceb::TfrmConfReceb(QWidget* parent) : TfrmRotiGeral(parent)
{
    setupUi(this);
    setupBaseForm(FormData::load(QStringLiteral("Cli_FAS10002")).messages());
}

TfrmConfReceb::~TfrmConfReceb()
{
    if (Cli_FAS10002::frmConfReceb == this)
        Cli_FAS10002::frmConfReceb = nullptr;
}

void TfrmConfReceb::FormClose(QObject*, TCloseAction& action)
{
    if (TfrmBCRInvoice* screen = Cli_FAS10000::frmBCRInvoice;
        screen && screen->cdsInvoice->State() == TDataSetState::Edit)
        screen->cdsInvoice->Cancel();
    action = caHide;
}
