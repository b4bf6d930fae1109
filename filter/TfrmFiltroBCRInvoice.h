#pragma once

#include "TDataSource.h" // TBtnPesquisa.h uses it without including it
#include "TfrmFiltroPadrao.h"
#include "ui_Cli_FAS10001.h"

// The filter dialog "FAS10001": which invoices the settlement screen lists.
class TfrmFiltroBCRInvoice : public TfrmFiltroPadrao, public Ui::TfrmFiltroBCRInvoice
{
    Q_OBJECT

public:
    explicit TfrmFiltroBCRInvoice(QWidget* parent = nullptr);
    ~TfrmFiltroBCRInvoice() override;

    // The confirmation: loads the settlement screen's invoices with the criteria and closes
    // the dialog. A close handler run from within it never starts another one.
    void sbtConfirmaClick(QObject* sender) override;
    // true: takes the criteria as the saved filter; false: puts the saved filter back.
    void Atualiza_Filtro(bool boGuarda);
    void FormClose(QObject* sender, TCloseAction& action) override;

    // True while a confirmation runs.
    bool Confirmando() const { return boConfirmando; }

private:
    struct TCliente
    {
        bool boTCliente = false;
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

    TFiltro Filtro;
    bool boConfirmando = false;
};
