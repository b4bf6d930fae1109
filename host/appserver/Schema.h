#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The database of the application server and of the screen's read-only queries: one SQL text
// that SQLite and PostgreSQL both accept. Date-times are kept as text "yyyy-MM-ddTHH:mm:ss"
// (sorts and compares like the value on both), money as double precision, note values in
// integer cents.
namespace Schema {

// The statements, in order.
QStringList statements();

// True when the database already holds the schema (table INVOICE exists).
bool exists(const QSqlDatabase& db);

// Creates every table and index in one transaction; throws std::runtime_error (text in
// Portuguese) when a statement fails.
void create(QSqlDatabase& db);

// The text form of a stored date-time, both ways.
QString dateText(const QDateTime& value);
QDateTime dateFromText(const QString& text);

} // namespace Schema
