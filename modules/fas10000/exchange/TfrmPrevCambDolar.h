#pragma once

#include "TClientDataSet.h"
#include "TfrmRotiGeral.h"
#include "ui_Cli_FAS10003.h"

class FormData;
class TfrmBCRInvoice;

// The exchange preview dialog "FAS10003": previews the Nota Fiscal value of the marked invoices
// for a dollar value and records the dollar value, the exchange rate and the exchange date on
// every marked invoice of the settlement screen, in one save.
class TfrmPrevCambDolar : public TfrmRotiGeral, public Ui::TfrmPrevCambDolar
{
    Q_OBJECT

public:
    explicit TfrmPrevCambDolar(QWidget* parent = nullptr);
    ~TfrmPrevCambDolar() override;

    // Each opening starts afresh: the marked invoices' value, the value fields empty (the
    // exchange date stays), the focus on the dollar value. A return to the foreground after a
    // message of the dialog's own keeps what the user typed.
    void FormActivate(QObject* sender) override;
    // Drops the unposted changes of the current invoice record, then hides the dialog.
    void FormClose(QObject* sender, TCloseAction& action) override;
    // Checks the fields and every marked invoice before the first change, then records the
    // exchange on all of them in one save, puts the list back and closes with "Camb_Ok".
    void sbtConfirmaClick(QObject* sender) override;

    // Any change of the dollar value voids the preview until the field is left.
    void nedVrDolarDiaChange(QObject* sender);
    // The preview: the dollar value times the invoices' value.
    void nedVrDolarDiaExit(QObject* sender);

private:
    // Why the walk over the marked invoices stopped short.
    enum class Refusal { None, NoDate, InvalidDate, BeforeReceipt };

    // Decimals, currency sign and thousands separator of the number edits.
    void applyDesignData(const FormData& data);
    // Shows `text` as an error, puts the focus on `control` and abandons the running action.
    [[noreturn]] void fail(const QString& text, QWidget* control);
    // Walks the marked invoices once: their number when every one passes the date checks;
    // otherwise 0 and the first refusal, with the list on the invoice refused (the first
    // marked one when the date itself is missing or invalid).
    int markedInvoices(TfrmBCRInvoice& screen, Refusal& refusal) const;
    void recordExchange(TfrmBCRInvoice& screen);
};
