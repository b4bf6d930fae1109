#pragma once

#include "TfrmRotiGeral.h"
#include "ui_Cli_FAS10003.h"

// The exchange preview dialog "FAS10003": records the exchange of the marked invoices.
class TfrmPrevCambDolar : public TfrmRotiGeral, public Ui::TfrmPrevCambDolar
{
    Q_OBJECT

public:
    explicit TfrmPrevCambDolar(QWidget* parent = nullptr);
    ~TfrmPrevCambDolar() override;

    // Drops the unposted changes of the current invoice record, then hides the dialog.
    void FormClose(QObject* sender, TCloseAction& action) override;
};
