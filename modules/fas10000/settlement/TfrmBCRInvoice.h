#pragma once

#include "TClientDataSet.h"
#include "TDBGrid.h"
#include "TDataSource.h"
#include "TNetConnection.h"
#include "TfrmPadraoGrid.h"

#include <functional>
#include <memory>

class QAction;
class QJsonObject;
class QLabel;
class TADOIBQuery;

namespace Ui {
class TfrmBCRInvoice;
}

// The settlement screen "FAS10000": the invoices of one company and their items. Its public
// members are what the dialogs of the module read and write through frmBCRInvoice; the
// form's controls stay behind it (only its own sources include the generated form).
class TfrmBCRInvoice : public TfrmPadraoGrid
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
    // Set when the last load of the list failed or stopped half-way (the invoices of one
    // company, the items of none): the next exit from the company field reloads, whatever
    // code it holds. Cleared by every complete load.
    bool reloadOnExit = false;

    // What the registration dialogs show and return to: the sum of the marked invoices' totals
    // and the invoice that was current when the command started (addUpMarked).
    double markedTotal() const { return VrInvoices; }
    const QString& currentInvoice() const { return NrInvoiceAtual; }
    // The company code as typed in the company field.
    QString companyCode() const;

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

    // Search over the record set of the grid that has the focus.
    void sbtProcurarClick(QObject* sender) override;
    // Refresh: reloads invoices and items with the filter dialog's saved criteria.
    void sbtVerificarClick(QObject* sender) override;
    // A short page of the screen's commands and keys.
    void sbtAjudaClick(QObject* sender);
    // The detail panel follows the pressed state of sbtMais; the current invoice stays in
    // sight when the panel takes room from the list.
    void sbtMaisClick(QObject* sender);
    void mnuMaisClick(QObject* sender);
    // The navigator follows the grid that has the focus.
    void dbgPadraoEnter(QObject* sender);
    void dbgItemEnter(QObject* sender);

    // Marking: a click on the mark cell or the space key toggles the current invoice, a click
    // on the mark column's title marks or unmarks them all. Marks stay pending changes of
    // cdsInvoice (posted with the save handler detached) until the next save.
    void dbgPadraoCellClick(TColumn& column);
    void dbgPadraoKeyPress(QObject* sender, QChar& key) override;
    void dbgPadraoTitleClick(TColumn& column);
    // Draws the mark cells as check boxes and writes the two value columns again.
    void dbgPadraoDrawColumnCell(QObject* sender, QPainter& canvas, const QRect& rect, int dataCol,
                                 TColumn& column, TGridDrawState state);

    // Sends every pending change of the invoices to the server; a refused save cancels them
    // all and the failure goes on to the caller of the post.
    void cdsInvoiceAfterPost(TClientDataSet& dataSet);
    // One business operation over the invoices, stored all or nothing: `walk` edits and posts
    // invoices with the save handler detached and the screen's redrawing suspended, then
    // everything pending goes to the server in one save. A failure of the walk or of the save
    // cancels every pending change of the invoices (marks included, as any failed save does)
    // and goes on to the caller. Either way the list is put back on NrInvoiceAtual.
    void SaveAsOne(const std::function<void()>& walk);
    // Puts the list back on the invoice that was current when a registration command started.
    void LocateNrInvoiceAtual();
    // The walk over the marked invoices ("S"), in list order, with the views of both lists
    // suspended: `visit` runs with each marked invoice current and returns false to stop
    // there, leaving the list on that invoice (true: the walk ended at the end of the list).
    // The marks must not change during the walk.
    bool ForEachMarked(const std::function<bool()>& visit);

    // The pass before a registration dialog: VrInvoices := the sum of the marked totals, the
    // list back on NrInvoiceAtual. With `receiptRequired` a marked invoice without receipt
    // date stops it ("Camb_Not"), the list on that invoice.
    void addUpMarked(bool receiptRequired);

    // The registration commands: the button's popup and the main menu's submenu. The receipt
    // and exchange commands add up the marked invoices into VrInvoices (remembering the
    // current invoice in NrInvoiceAtual) and open their dialog; "Emissão de NF" opens DFS15001.
    void sbtCadAutoClick(QObject* sender);
    void mnuConfRecebClick(QObject* sender);
    void mnuPrevCambClick(QObject* sender);
    void mnuEmissNFClick(QObject* sender);
    void mnuMainConfRecebClick(QObject* sender);
    void mnuMainPrevCambClick(QObject* sender);
    void mnuMainEmissNFClick(QObject* sender);

    // Nota Fiscal generation for the marked invoices.
    void sbtGerarNFClick(QObject* sender);
    void mnuGerarNFClick(QObject* sender);
    // Stops the running command when no invoice is marked or a marked one lacks its receipt
    // or exchange date; otherwise leaves the first marked invoice current.
    void ValidaItemMarcado();
    // Tells what a generation did: the notes issued, and the marked invoices skipped because
    // their note already existed; success only when every marked invoice got its note.
    void ReportNotes(const QJsonObject& result);
    // What each answer to the note question would issue (PreviaNF), as the question's second
    // part; nothing is written.
    QString NotesPreview();

    // The maintenance commands built beside the form's menu: the history of the current
    // invoice and the reversal of the last receipt or exchange of the marked invoices.
    QAction* mnuHistorico = nullptr;
    QAction* mnuEstornaReceb = nullptr;
    QAction* mnuEstornaCamb = nullptr;
    void mnuHistoricoClick(QObject* sender);
    void mnuEstornaRecebClick(QObject* sender);
    void mnuEstornaCambClick(QObject* sender);
    // The history's column "Campo" and the values of the other two, as the screen shows them.
    QString HistoryFieldName(const QString& field) const;
    QString HistoryValueText(const QString& field, const QVariant& text) const;
    // Checks every marked invoice for the reversal of `what` ("Recebimento" or "Câmbio"),
    // asks, has the server reverse it and reloads the list on the current invoice.
    void EstornaMarcadas(const QString& what);

    // The record rules of the invoice list.
    void cdsInvoiceAfterScroll(TClientDataSet& dataSet);
    void cdsInvoiceAfterOpen(TClientDataSet& dataSet);
    void cdsInvoiceIDTIPOINVOICEGetText(TField& sender, QString& text, bool displayText);

    // The list's summary beside the customer's name: how many invoices are listed (or that
    // none matched the criteria) and, once invoices are marked, how many and their US$ total.
    QLabel* lblResumo;
    void updateSummary();

    // The toolkit's virtual key codes of the keypad's plus and minus.
    static constexpr int VK_ADD = 107;
    static constexpr int VK_SUBTRACT = 109;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectHandlers();
    void createMaintenanceCommands();
    void enableMaintenanceCommands(bool enabled);
    // The invoice grid's columns: the design's widths, widened to fit their titles and the
    // values listed in our font; a width the user drags is kept for the next opening.
    void fitInvoiceColumns();
    void saveColumnWidths();
    bool columnsFitted = false;
    bool applyingWidths = false;
    void setInvoiceGridDefaultColors(bool on);
    // True when the invoice list is open and holds a record: the grid handlers act only then.
    bool hasInvoices() const;
    void toggleCurrentMark();
    bool companyKeyEvent(QKeyEvent& event);

    // The form's controls, made by the generated form.
    std::unique_ptr<Ui::TfrmBCRInvoice> ui;
    QString NrInvoiceAtual;
    double VrInvoices = 0;

    // The screen's tests drive its controls and set the two values above directly.
    friend class TestSettlement;
    friend class TestExchange;
};
