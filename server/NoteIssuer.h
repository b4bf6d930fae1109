#pragma once

#include "InvoiceHistory.h"
#include "MarkedInvoices.h"
#include "ServerSql.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <map>
#include <optional>
#include <utility>

// GeraNF: the fiscal notes of the marked invoices. Amounts and dates come from the database
// and are checked there (received, exchanged, not yet issued); "Unificada" makes one note per
// branch and customer, "Separadas" one per invoice. The notes take their numbers from each
// branch's sequence, and the notes, their invoices' links and the invoices' flags are written
// in one transaction, so that a retry after a failure never issues twice. Each invoice is
// flagged only while it still holds the values its note was computed from (another server on
// the same database may change or issue it meanwhile): otherwise the whole call is a
// WriteRace, written nothing, and is run again on what the database then holds.
class NoteIssuer
{
public:
    // Without `caller`, the notes are issued without their history (benchmarks only).
    NoteIssuer(StatementCache& statements, int failAfterWrites,
               const std::optional<Caller>& caller);

    // ServiceFailure for a mode other than "Unificada" and "Separadas".
    static void checkMode(const QString& mode);

    // Returns {"notas":[{CDFILIAL, NRNOTAFISC, CDCLIENTE, VRNOTA, invoices:[…]}],
    //          "jaEmitidas":[invoice numbers whose note already existed]}.
    QJsonObject issue(const MarkedInvoices& marked, const QString& mode);

    // What issue() would issue in each mode, read and checked as it reads and checks, without
    // writing anything: {"Unificada":{"notas":[…]},"Separadas":{"notas":[…]},"jaEmitidas":[…]},
    // each note {CDFILIAL, CDCLIENTE, NMFANTCLIE, VRNOTACENTAVOS, VRNOTA, invoices:[…]} as
    // issue() gives it, without its number.
    QJsonObject preview(const MarkedInvoices& marked);

private:
    struct Invoice
    {
        QString number;
        QString branch;
        QString customer;
        qint64 reais = 0; // in cents
        // As read: the note is written only while the invoice still holds them.
        double dollars = 0;
        double rate = 0;
        // What the note changes, for the history.
        QVariant flagBefore;
        QVariant noteBefore;
    };
    // The invoices of each note in a fixed order: by branch and customer (one note per
    // customer) or by branch and invoice.
    using Notes = std::map<std::pair<QString, QString>, QList<Invoice>>;

    // The marked invoices read and checked, in their order; those already issued go to
    // `alreadyIssued`.
    QList<Invoice> collect(const MarkedInvoices& marked, QJsonArray& alreadyIssued);
    // The invoices grouped into notes: one per branch and customer, or one per invoice.
    static Notes group(const QList<Invoice>& invoices, bool unified);
    // The value of a note's invoices, in cents.
    static qint64 total(const QList<Invoice>& invoices);
    // The first number of each branch's notes, all taken from its sequence at once.
    std::map<QString, qint64> takeNumbers(const QString& company, const Notes& notes);
    // The notes, their links to the invoices and the invoices' flags.
    QJsonArray write(const QString& company, const QString& mode, const Notes& notes,
                     std::map<QString, qint64> nextNumber);

    StatementCache& statements;
    WriteCounter writes;
    std::optional<InvoiceHistory> history;
};
