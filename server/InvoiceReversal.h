#pragma once

#include "InvoiceHistory.h"
#include "MarkedInvoices.h"
#include "ServerSql.h"

#include <QJsonObject>
#include <QStringList>

// EstornaInvoice: the last receipt, or the last exchange, of each marked invoice undone, by
// putting back the values its history holds from before it. All the invoices in one
// transaction or none; the reversal is itself written into the history. Refused for an
// invoice whose note is issued, for the receipt of an invoice that has an exchange (its
// exchange is reversed first), and for an invoice without such a change in its history.
//
// Which change is the last: the history is read newest first, and every reversal found on the
// way stands for one more of the same kind already undone. So a second receipt reversed goes
// back to the first receipt, and reversing again undoes the first one.
class InvoiceReversal
{
public:
    // `what` is "Recebimento" or "Câmbio" (ServiceFailure otherwise).
    InvoiceReversal(StatementCache& statements, int failAfterWrites, const Caller& caller,
                    const QString& what);

    // Returns {"estornadas": number of invoices}.
    QJsonObject run(const MarkedInvoices& marked);

private:
    void reverse(const QString& company, const QString& number);
    // The batch of the change to undo; ServiceFailure when the history has none.
    QString lastBatch(const QString& company, const QString& number);

    StatementCache& statements;
    WriteCounter writes;
    InvoiceHistory history;
    const bool receipt;
};
