#pragma once

#include "TfrmRotiGeral.h"
#include "ui_Cli_FAS10002.h"

// The receipt confirmation dialog "FAS10002": records a received payment order on the marked
// invoices of the settlement screen: receipt date, each invoice's share of the payment, the
// reference and the observation, all stored in one save.
class TfrmConfReceb : public TfrmRotiGeral, public Ui::TfrmConfReceb
{
    Q_OBJECT

public:
    explicit TfrmConfReceb(QWidget* parent = nullptr);
    ~TfrmConfReceb() override;

    // On each opening: the invoices' value shown anew, payment, reference and observation
    // cleared (the receipt date stays). A return to the foreground after one of the dialog's
    // own messages keeps what the user typed.
    void FormActivate(QObject* sender) override;
    // Drops the unposted changes of the current invoice record, then hides the dialog.
    void FormClose(QObject* sender, TCloseAction& action) override;

    // Lets through backspace, tab, escape, digits and a single comma; `key` is zeroed to drop
    // the character.
    void edtVrOrdPgtoKeyPress(QObject* sender, QChar& key);
    // Rounds the payment to cents.
    void edtVrOrdPgtoExit(QObject* sender);
    void dbdRecebExit(QObject* sender);
    // Checks everything, divides the payment among the marked invoices and stores them all.
    void sbtConfirmaClick(QObject* sender) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The payment typed, in cents; a text that is no number is reported and aborts.
    qint64 paymentCents() const;
};
