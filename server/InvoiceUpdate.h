#pragma once

#include "DataPacket.h"
#include "InvoiceHistory.h"
#include "ServerSql.h"

#include <QJsonObject>
#include <map>
#include <optional>

// SetInvoice: a whole delta of the invoice list stored in one transaction or not at all. It
// runs in stages: the delta is validated as a whole before the database is touched, then each
// change is applied under the optimistic check, and a change that found no row to write is
// explained (no such invoice, note already issued, changed by another user).
class InvoiceUpdate
{
public:
    // Without `caller`, the changes are stored without their history (benchmarks only).
    InvoiceUpdate(StatementCache& statements, int failAfterWrites,
                  const std::optional<Caller>& caller);

    // Returns {"alteradas": number of invoices written}.
    QJsonObject run(const Delta& delta);

private:
    // The company of all the changes; ServiceFailure for any change the screen may not make.
    static QString validate(const Delta& delta);
    // True when the change was written; false when it is only the mark (nothing to store).
    bool apply(const DeltaChange& change, const QString& company);
    [[noreturn]] void explainConflict(const QString& company, const QString& number);
    // Runs the update of the fields of `changed` (a bit per editable field) with the values
    // bound; returns the number of rows written.
    int update(quint32 changed, const QStringList& names, const QVariantList& values);

    // The text of the update of each set of changed fields, made once per delta.
    std::map<quint32, QString> updates;

    StatementCache& statements;
    WriteCounter writes;
    std::optional<InvoiceHistory> history;
};
