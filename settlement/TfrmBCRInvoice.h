#pragma once

#include "TClientDataSet.h"
#include "TDataSource.h"
#include "TNetConnection.h"
#include "TfrmPadraoGrid.h"
#include "ui_Cli_FAS10000.h"

#include <memory>

class TADOIBQuery;

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
    // The companies of the shared database: every one ("T") or the one with a code.
    TADOIBQuery* qryEmpresa;
    // The connection to the application server; host and port are read at every connect.
    std::unique_ptr<TNetConnection> netBCRInvoice;

    // The company code the field held when it was last entered.
    QString CdEmpresaAnterior;
    QString NrInvoiceAtual;
    double VrInvoices = 0;

    void FormClose(QObject* sender, TCloseAction& action) override;
    // Opens the server connection (nothing when it is open) behind the busy animation.
    void FormActivate(QObject* sender) override;
    void netBCRInvoiceBeforeConnect(TNetConnection& sender);

    // The command state: search, verify, registration, fiscal note and "Mais" follow
    // whether the invoice list is open and holds records.
    void dtsPadraoStateChange(QObject* sender) override;

    // The company field.
    void medCdEmpresaEnter(QObject* sender);
    void medCdEmpresaExit(QObject* sender);
    void medCdEmpresaChange(QObject* sender);
    // `key` is zeroed to drop the character.
    void medCdEmpresaKeyPress(QObject* sender, QChar& key);
    // `key` (the toolkit's virtual key code: 107 keypad plus, 109 keypad minus) is zeroed to
    // drop the key.
    void medCdEmpresaKeyDown(QObject* sender, int& key, Qt::KeyboardModifiers shift);
    void btpEmpresaBeforePesq(QObject* sender, bool& proceed);
    void btpEmpresaAfterPesq(QObject* sender);

    // The filter command: opens the filter dialog and waits until it closes.
    void sbtFiltrarClick(QObject* sender);
    void mnuFiltrarClick(QObject* sender);

    // The detail panel follows the pressed state of sbtMais.
    // Refresh: reloads invoices and items with the filter dialog's saved criteria.
    void sbtVerificarClick(QObject* sender) override;
    void sbtMaisClick(QObject* sender);
    void mnuMaisClick(QObject* sender);

    // The record rules of the invoice list.
    void cdsInvoiceAfterScroll(TClientDataSet& dataSet);
    void cdsInvoiceAfterOpen(TClientDataSet& dataSet);
    void cdsInvoiceIDTIPOINVOICEGetText(TField& sender, QString& text, bool displayText);

    // The toolkit's virtual key codes of the keypad's plus and minus.
    static constexpr int VK_ADD = 107;
    static constexpr int VK_SUBTRACT = 109;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectHandlers();
    void setInvoiceGridDefaultColors(bool on);
    bool companyKeyEvent(QKeyEvent& event);
};
