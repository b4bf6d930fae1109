#pragma once

#include "TfrmRotiGeral.h"
#include "ui_Cli_FAS10002.h"

// The receipt confirmation dialog "FAS10002": records a received payment order on the marked
// invoices.
class TfrmConfReceb : public TfrmRotiGeral, public Ui::TfrmConfReceb
{
    Q_OBJECT

public:
    explicit TfrmConfReceb(QWidget* parent = nullptr);
    ~TfrmConfReceb() override;

    // Drops the unposted changes of the current invoice record, then hides the dialog.
    void FormClose(QObject* sender, TCloseAction& action) override;
};
