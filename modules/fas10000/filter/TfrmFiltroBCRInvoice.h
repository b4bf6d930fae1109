#pragma once

class QLabel;

#include "TDataSource.h" // TBtnPesquisa.h uses it without including it
#include "TNetConnection.h"
#include "TfrmFiltroPadrao.h"
#include "ui_Cli_FAS10001.h"

class TADOIBQuery;
class TfrmBCRInvoice;

// The filter dialog "FAS10001": which invoices the settlement screen lists. Its confirmation is
// the only place where the settlement screen's invoices and items are loaded.
class TfrmFiltroBCRInvoice : public TfrmFiltroPadrao, public Ui::TfrmFiltroBCRInvoice
{
    Q_OBJECT

public:
    explicit TfrmFiltroBCRInvoice(QWidget* parent = nullptr);
    ~TfrmFiltroBCRInvoice() override;

    // The customers abroad (address of type "P" outside Brazil), for the customer lookup.
    TADOIBQuery* qryCliente;
    TDataSource* dtsCliente;

    void FormCreate(QObject* sender) override;
    void FormActivate(QObject* sender) override;
    void FormClose(QObject* sender, TCloseAction& action) override;

    // The confirmation: checks the criteria, loads the settlement screen's invoices and items
    // from the application server, keeps the criteria as the saved filter and closes the
    // dialog. A close handler run from within it never starts another one.
    void sbtConfirmaClick(QObject* sender) override;
    // true: takes the criteria as the saved filter; false: puts the saved filter back.
    void Atualiza_Filtro(bool boGuarda);
    // The date rules: order of the bounds of each range, then bounds an active range needs.
    void Valida_Datas();

    void btfSaveOpcClick(QObject* sender) override;
    void btfLoadOpcClick(QObject* sender) override;

    void rbtTClienteClick(QObject* sender);
    void rbtLClienteClick(QObject* sender);
    void btpClienteClick(QObject* sender);
    void chbPagoClick(QObject* sender);

    void depEmissIniExit(QObject* sender);
    void depEmissFinExit(QObject* sender);
    void depVencIniExit(QObject* sender);
    void depVencFinExit(QObject* sender);
    void depRecebIniExit(QObject* sender);
    void depRecebFinExit(QObject* sender);
    void depCambIniExit(QObject* sender);
    void depCambFinExit(QObject* sender);

    void depEmissIniChange(QObject* sender);
    void depEmissFinChange(QObject* sender);
    void depVencIniChange(QObject* sender);
    void depVencFinChange(QObject* sender);
    void depRecebIniChange(QObject* sender);
    void depRecebFinChange(QObject* sender);
    void depCambIniChange(QObject* sender);
    void depCambFinChange(QObject* sender);

    // True while a confirmation runs.
    bool Confirmando() const { return boConfirmando; }

private:
    struct TCliente
    {
        // Until a first confirmation, the saved criteria are the dialog's starting ones.
        bool boTCliente = true;
        QString stLCliente;
    };
    struct TPeriodo
    {
        QString stIni;
        QString stFin;
    };
    using TEmiss = TPeriodo;
    using TVenc = TPeriodo;
    using TReceb = TPeriodo;
    using TCamb = TPeriodo;
    struct TFiltro
    {
        TCliente Cliente;
        bool boAberto = false;
        bool boPago = false;
        bool boNEmitida = false;
        bool boEmitida = false;
        TEmiss Emiss;
        TVenc Venc;
        TReceb Receb;
        TCamb Camb;
    };

    // The criteria as the controls hold them; and back into the controls, whose handlers
    // follow as when the user sets them (the customer lookup's and the note boxes' enabled
    // states, the range colours).
    TFiltro criteria() const;
    void showCriteria(const TFiltro& filtro);
    // The count of chosen customers beside the lookup button, their names as its tooltip.
    void showCustomerChoice();
    QLabel* lblClientes = nullptr;
    // Every criterion to the saved-options list Opcoes (true), or from it (false).
    void transferOptions(TFiltro& filtro, bool toOptions);

    void bindHandlers();
    void applyDesignData();
    // The exit checks of the eight date edits, in the order issue, due, receipt, exchange; the
    // focus goes to the edit refused.
    void checkDateEdits();
    // Open (clWindow) or active (clInfoBk), for both edits of a range.
    static void colourRange(TDateEditPlus* ini, TDateEditPlus* fin);
    // Shows the message of `key` as an error, puts the focus on `control` and abandons the
    // running action.
    [[noreturn]] void fail(const QString& key, QWidget* control);
    // The sixteen arguments of GetInvoice and GetItem; refreshFromControls re-reads the
    // company code and the dates, keeping the by-reference values the server left.
    QList<ServerArg> filterArgs(const QString& situation, const QString& allCustomers,
                                const QString& allIssue, const QString& allDue,
                                const QString& allReceipt, const QString& allExchange) const;
    void refreshFromControls(QList<ServerArg>& args) const;
    // Loads cdsInvoice and cdsItem through the settlement screen's connection.
    void retrieve(TfrmBCRInvoice& screen, QList<ServerArg>& args);

    TFiltro Filtro;
    bool boConfirmando = false;
    // Set when the last confirmation got past the criteria checks and failed while loading.
    bool loadFailed = false;
};
