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
    // database rows without building the packet first; `rows` receives the row count. On an
    // SQLite connection the rows are read through SQLite's own interface on the same
    // connection (Qt SQL's per-cell values cost more than the statement itself), with the
    // same text on the wire as the Qt SQL reading gives.
    QByteArray getInvoiceJson(const InvoiceQuery& query, qsizetype* rows = nullptr) const;
    QByteArray getItemJson(const InvoiceQuery& query, qsizetype* rows = nullptr) const;
    // Returns {"alteradas": number of invoices written}.
    QJsonObject setInvoice(const Delta& delta);
    // Returns {"notas":[{CDFILIAL, NRNOTAFISC, CDCLIENTE, VRNOTA, invoices:[…]}],
    //          "jaEmitidas":[invoice numbers whose note already existed]}.
    QJsonObject geraNF(const DataPacket& packet, const QString& mode);

    void setOptions(Options value) { options = value; }

    // Which way the JSON forms read the rows.
    enum class RowReader {
        Automatic, // SQLite's own interface when the connection is SQLite's, else Qt SQL
        QtSql,     // always Qt SQL
    };
    void setRowReader(RowReader value) { rowReader = value; }
    // True when the JSON forms read the rows through SQLite's own interface.
    bool readsThroughSqlite() const;

private:
    class WriteCounter;

    QSqlDatabase db;
    Options options;
    RowReader rowReader = RowReader::Automatic;
};
