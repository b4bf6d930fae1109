#pragma once

#include "DataPacket.h"

#include <QSqlDatabase>
#include <QString>
#include <stdexcept>

struct FasConfig;

// A failure to reach or read the fiscal notes: the text says why, in Portuguese, and never
// holds the database password.
class NotaFiscalReadError : public std::runtime_error
{
public:
    explicit NotaFiscalReadError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Reads the fiscal notes the application server generated, straight from the shared
// database, on a connection of its own that cannot write (read-only SQLite file, read-only
// PostgreSQL session). The connection lives as long as the reader.
class NotaFiscalReader
{
public:
    // Opens the database the configuration names; throws NotaFiscalReadError.
    explicit NotaFiscalReader(const FasConfig& config);
    ~NotaFiscalReader();
    NotaFiscalReader(const NotaFiscalReader&) = delete;
    NotaFiscalReader& operator=(const NotaFiscalReader&) = delete;

    // One row per note, newest first: company, branch, number, issue date, customer name,
    // value in reais, value in dollars (the sum of the covered invoices' totals), mode and
    // the covered invoice numbers (", " between them). Throws NotaFiscalReadError.
    DataPacket Notas() const;

    // The fields of the packet Notas() gives, in order.
    static QList<FieldDef> Fields();

private:
    QString m_connectionName;
    QSqlDatabase m_db;
};
