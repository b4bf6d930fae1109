#include "InvoiceService.h"

#include "InvoiceLayout.h"
#include "InvoiceReversal.h"
#include "InvoiceUpdate.h"
#include "ListingQuery.h"
#include "NoteIssuer.h"
#include "SqlPacketWriter.h"

InvoiceService::InvoiceService(const QSqlDatabase& database, Options serviceOptions)
    : db(database), options(serviceOptions), statements(database, serviceOptions.writeTurn.get())
{}

bool InvoiceService::readsThroughSqlite() const
{
    return rowReader == RowReader::Automatic && sqliteHandle(db) != nullptr;
}

QByteArray InvoiceService::getInvoiceJson(const FilterArgs& request, qsizetype* rows) const
{
    return listingJson(ListingQuery::invoices(request), InvoiceLayout::invoiceFields(), rows,
                       "listing invoices");
}

QByteArray InvoiceService::getItemJson(const FilterArgs& request, qsizetype* rows) const
{
    return listingJson(ListingQuery::items(request), InvoiceLayout::itemFields(), rows,
                       "listing items");
}

QByteArray InvoiceService::listingJson(const BoundSql& statement, const QList<FieldDef>& fields,
                                       qsizetype* rows, const char* what) const
{
    if (sqlite3* handle = rowReader == RowReader::Automatic ? sqliteHandle(db) : nullptr)
        return writeSqlitePacket(handle, statement, fields, rows, what);
    QSqlQuery query = execute(db, statement, what);
    return writePacket(query, fields, rows);
}

std::optional<Caller> InvoiceService::recorder() const
{
    return options.history ? std::optional<Caller>(caller) : std::nullopt;
}

QJsonObject InvoiceService::setInvoice(const Delta& delta)
{
    return InvoiceUpdate(statements, options.failAfterWrites, recorder()).run(delta);
}

QByteArray InvoiceService::getHistoricoJson(const QString& company, const QString& number,
                                            qsizetype* rows) const
{
    QStringList columns;
    for (const FieldDef& field : InvoiceLayout::historyFields())
        columns.append(field.name);
    return listingJson({QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                            QStringLiteral(" FROM HISTINVOICE WHERE CDEMPRESA = ? AND "
                                           "NRINVOICE = ? ORDER BY NRHISTORICO DESC"),
                        {company, number}},
                       InvoiceLayout::historyFields(), rows, "reading the history");
}

QJsonObject InvoiceService::estornaInvoice(QByteArrayView packetJson, const QString& what)
{
    InvoiceReversal reversal(statements, options.failAfterWrites, caller, what);
    return reversal.run(MarkedInvoices::fromJson(packetJson));
}

QJsonObject InvoiceService::previaNF(QByteArrayView packetJson)
{
    return NoteIssuer(statements, options.failAfterWrites, std::nullopt)
        .preview(MarkedInvoices::fromJson(packetJson));
}

MarkedInvoices InvoiceService::markedInvoices(QByteArrayView packetJson)
{
    return MarkedInvoices::fromJson(packetJson);
}

QJsonObject InvoiceService::geraNF(QByteArrayView packetJson, const QString& mode)
{
    NoteIssuer::checkMode(mode);
    return issueNotes(MarkedInvoices::fromJson(packetJson), mode);
}

QJsonObject InvoiceService::issueNotes(const MarkedInvoices& marked, const QString& mode)
{
    // A call that lost a race with another server wrote nothing; run again, it reads what the
    // winner left: the invoices it issued come back in "jaEmitidas", a changed dollar value
    // gives the note its new value.
    constexpr int attempts = 3;
    for (int attempt = 1;; ++attempt) {
        try {
            return NoteIssuer(statements, options.failAfterWrites, recorder())
                .issue(marked, mode);
        } catch (const WriteRace& race) {
            if (attempt == attempts)
                throw ServiceFailure(race.message());
        }
    }
}
