#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The database of the application server and of the screen's read-only queries: one SQL text
// that SQLite and PostgreSQL both accept (one collation apart). Date-times are kept as text
// "yyyy-MM-ddTHH:mm:ss" (sorts and compares like the value on both), money as double
// precision, note values in integer cents. Customers are listed by NMFANTORDCLIE, the
// SortKey of their fantasy name: whatever writes a customer writes that key with it.
namespace Schema {

// The statements for the driver ("QSQLITE" or "QPSQL"), in order. They differ only in the
// collation of the customers' sort key NMFANTORDCLIE, which both compare by code points.
QStringList statements(QStringView driver = u"QSQLITE");

// True when the database already holds the schema (table INVOICE exists); throws
// std::runtime_error when the database cannot be read at all.
bool exists(const QSqlDatabase& db);

// Creates every table and index in one transaction; throws std::runtime_error (text in
// Portuguese) when a statement fails.
void create(QSqlDatabase& db);

// Brings a database made by an earlier version up to date: adds the customers' sort key
// (SortKey::of their fantasy name) and the invoices' history (HISTINVOICE) when they are
// missing. Throws std::runtime_error on failure.
void upgrade(QSqlDatabase& db);

// The stored text of a date-time, to the second (read back with LocalDateTime::keyFromSecondsText).
QString dateText(const QDateTime& value);

} // namespace Schema
