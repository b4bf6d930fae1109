#pragma once

#include "DataPacket.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <array>
#include <stdexcept>

// A failure the server reports to the user ({"ok":false,"message":…}): the text is Portuguese
// and says what to do; nothing of the call was written.
class ServiceFailure : public std::runtime_error
{
public:
    explicit ServiceFailure(const QString& message)
        : std::runtime_error(message.toStdString()), text(message)
    {}
    QString message() const { return text; }

private:
    QString text;
};

// The sixteen arguments of GetInvoice and GetItem.
struct InvoiceQuery
{
    QString company;
    QString situation;    // "A_", "N_", "E_" in any combination
    QString allCustomers; // "T" or empty
    QString allIssue;     // "T" or empty, for each range
    QString allDue;
    QString allReceipt;
    QString allExchange;
    QString customers;              // the customer list (KeyList form)
    std::array<QDateTime, 8> dates; // issue from/to, due from/to, receipt from/to, exchange from/to
};

// The four methods of the remote data module over one database connection. Every value
// reaches SQL as a bound parameter. Writes run in one transaction each call: all or nothing.
class InvoiceService
{
public:
    struct Options
    {
        // Tests only: after this many write statements within one call, the call fails as if
        // the database had failed there (negative: never).
        int failAfterWrites = -1;
    };

    InvoiceService(const QSqlDatabase& db, Options options);
    explicit InvoiceService(const QSqlDatabase& db) : InvoiceService(db, Options{}) {}

    DataPacket getInvoice(const InvoiceQuery& query) const;
    DataPacket getItem(const InvoiceQuery& query) const;
    // The same packets in their JSON form ({"fields":…,"rows":…}), written straight from the
    // database rows without building the packet first; `rows` receives the row count.
    QByteArray getInvoiceJson(const InvoiceQuery& query, qsizetype* rows = nullptr) const;
    QByteArray getItemJson(const InvoiceQuery& query, qsizetype* rows = nullptr) const;
    // Returns {"alteradas": number of invoices written}.
    QJsonObject setInvoice(const Delta& delta);
    // Returns {"notas":[{CDFILIAL, NRNOTAFISC, CDCLIENTE, VRNOTA, invoices:[…]}],
    //          "jaEmitidas":[invoice numbers whose note already existed]}.
    QJsonObject geraNF(const DataPacket& packet, const QString& mode);

    void setOptions(Options value) { options = value; }

private:
    class WriteCounter;

    QSqlQuery
    invoiceQuery(const InvoiceQuery& query) const; // executed, positioned before the first row
    QSqlQuery itemQuery(const InvoiceQuery& query) const;

    QSqlDatabase db;
    Options options;
};
