#pragma once

#include "RemoteMethods.h"
#include "ServerSql.h"

#include <QString>
#include <QVariant>

// The invoices' history (table HISTINVOICE): one row per field that a stored change altered,
// written by the change itself, inside its transaction, so that neither is ever stored without
// the other. The rows of one change of one invoice share a batch (NRLOTE); all the rows of one
// call share its time (the server's clock) and its caller.
class InvoiceHistory
{
public:
    // The operations a history row names.
    static inline const QString Receipt = QStringLiteral("Recebimento");
    static inline const QString Exchange = QStringLiteral("Câmbio");
    static inline const QString Note = QStringLiteral("Nota Fiscal");
    static inline const QString Edit = QStringLiteral("Edição");
    static inline const QString ReceiptReversal = QStringLiteral("Estorno de recebimento");
    static inline const QString ExchangeReversal = QStringLiteral("Estorno de câmbio");

    // The caller's names as the headers would carry them ("desconhecido" when empty).
    InvoiceHistory(StatementCache& statements, WriteCounter& writes, const Caller& caller);

    // Starts the batch of one invoice's change.
    void begin(const QString& company, const QString& branch, const QString& number,
               const QString& operation);
    // A field of the current batch, with its values as the database keeps them: written when
    // they differ.
    void field(const QString& name, const QVariant& before, const QVariant& after);

    // A value as the history keeps it: the stored text (dates are stored as text), numbers in
    // their shortest exact form; null stays null.
    static QVariant text(const QVariant& stored);

private:
    StatementCache& statements;
    WriteCounter& writes;
    const Caller caller;
    const QString when;
    QString batch;
    QString company;
    QString branch;
    QString number;
    QString operation;
};
