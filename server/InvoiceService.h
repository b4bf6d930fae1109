#pragma once

#include "DataPacket.h"
#include "MarkedInvoices.h"
#include "RemoteMethods.h"
#include "ServerSql.h"
#include "ServiceFailure.h"

#include <QByteArrayView>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

// The four methods of the remote data module over one database connection. Every value
// reaches SQL as a bound parameter. Writes run in one transaction each call: all or nothing.
// The write statements are prepared once per connection and kept (SetInvoice: one per set
// of changed fields), so a service lives no longer than its connection. The work is done by
// ListingQuery and the packet writers (the listings), InvoiceUpdate (SetInvoice) and
// NoteIssuer (GeraNF).
class InvoiceService
{
public:
    struct Options
    {
        // Tests only: after this many write statements within one call, the call fails as if
        // the database had failed there (negative: never).
        int failAfterWrites = -1;
        // Shared by the services of one process on one SQLite file: their writing calls take
        // it in turn instead of polling SQLite's lock (none: each waits on the file's lock).
        std::shared_ptr<std::mutex> writeTurn;
        // Benchmarks only: false stores the changes and notes without their history.
        bool history = true;
    };

    InvoiceService(const QSqlDatabase& db, Options options);
    explicit InvoiceService(const QSqlDatabase& db) : InvoiceService(db, Options{}) {}

    // The listings' packets in their JSON form ({"fields":…,"rows":…}), written straight from
    // the database rows; `rows` receives the row count. On an SQLite connection the rows are
    // read through SQLite's own interface on the same connection (Qt SQL's per-cell values
    // cost more than the statement itself), with the same text on the wire as the Qt SQL
    // reading gives.
    QByteArray getInvoiceJson(const FilterArgs& query, qsizetype* rows = nullptr) const;
    QByteArray getItemJson(const FilterArgs& query, qsizetype* rows = nullptr) const;
    // Returns {"alteradas": number of invoices written}.
    QJsonObject setInvoice(const Delta& delta);
    // Returns {"notas":[{CDFILIAL, NRNOTAFISC, CDCLIENTE, VRNOTA, invoices:[…]}],
    //          "jaEmitidas":[invoice numbers whose note already existed]}.
    // Of the packet's JSON text only the keys and marks are read (markedInvoices).
    QJsonObject geraNF(QByteArrayView packetJson, const QString& mode);
    // GetHistorico: the invoice's history as a packet (historyFields), newest first.
    QByteArray getHistoricoJson(const QString& company, const QString& number,
                                qsizetype* rows = nullptr) const;
    // EstornaInvoice (InvoiceReversal): returns {"estornadas": n}.
    QJsonObject estornaInvoice(QByteArrayView packetJson, const QString& what);
    // PreviaNF (NoteIssuer::preview).
    QJsonObject previaNF(QByteArrayView packetJson);

    // Who the following calls come from, for the history.
    void setCaller(const Caller& value) { caller = value; }

    // The invoices a packet marks "S", all of one company, checked as GeraNF checks them
    // (ServiceFailure, DataPacketError). Only the three key and mark cells of each row are
    // taken from the packet reader.
    static MarkedInvoices markedInvoices(QByteArrayView packetJson);

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
    // GeraNF on the marked invoices, run again when it lost a race with another server.
    QJsonObject issueNotes(const MarkedInvoices& marked, const QString& mode);
    // A listing's JSON form, read the way the row reader says.
    QByteArray listingJson(const BoundSql& statement, const QList<FieldDef>& fields,
                           qsizetype* rows, const char* what) const;

    // The caller the history records, or none when the history is off.
    std::optional<Caller> recorder() const;

    QSqlDatabase db;
    Options options;
    Caller caller;
    RowReader rowReader = RowReader::Automatic;
    StatementCache statements;
};
