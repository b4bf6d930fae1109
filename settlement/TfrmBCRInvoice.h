#pragma once

#include "TClientDataSet.h"
#include "TDataSource.h"
#include "TfrmPadraoGrid.h"
#include "ui_Cli_FAS10000.h"

// The settlement screen "FAS10000": the invoices of one company and their items. Its public
// members are what the dialogs of the module read and write through frmBCRInvoice.
class TfrmBCRInvoice : public TfrmPadraoGrid, public Ui::TfrmBCRInvoice
{
    Q_OBJECT

public:
    explicit TfrmBCRInvoice(QWidget* parent = nullptr);
    ~TfrmBCRInvoice() override;

    TClientDataSet* cdsInvoice;
    TClientDataSet* cdsItem;
    TDataSource* dtsItem;
    TDataSource* dtsEmpresa;
    // TODO(TNetConnection): the connection netBCRInvoice (ServerName "FAS10000.rdmBCRInvoice",
    // ThrowException false) joins here once host/framework provides TNetConnection.

    QString CdEmpresaAnterior;
    QString NrInvoiceAtual;
    double VrInvoices = 0;

    void FormClose(QObject* sender, TCloseAction& action) override;
    // The filter command: opens the filter dialog and waits until it closes.
    void sbtFiltrarClick(QObject* sender);
    void mnuFiltrarClick(QObject* sender);

private:
    void declareFields();
};
