#pragma once

#include "ServiceFailure.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <map>
#include <memory>
#include <mutex>

class SqliteStatement;

// The SQL plumbing of the service's calls: failures, binding, the transaction of a call, the
// count of its writes and the statements kept prepared on the connection.

// A statement (or a WHERE clause) and the values bound to its marks, in order.
struct BoundSql
{
    QString sql;
    QVariantList values;
};

// A failure of the database itself: logged in full, reported to the user in the terms of its
// cause where the cause is known (a lock held too long, a read-only or locked file, a lost
// connection), otherwise in general terms (`what` names what the server was doing). A
// duplicate key or a serialization failure is a WriteRace.
[[noreturn]] void databaseFailure(const QString& detail, const char* what);
[[noreturn]] void databaseFailure(const QSqlError& error, const char* what);
[[noreturn]] void databaseFailure(const QSqlQuery& query, const char* what);

void prepare(QSqlQuery& query, const QString& sql, const char* what);
void bindAll(QSqlQuery& query, const QVariantList& values);
// Prepared, bound and executed through Qt SQL, positioned before the first row.
QSqlQuery execute(const QSqlDatabase& db, const BoundSql& statement, const char* what);

// A value's text; a null value gives a null text.
inline QString nullableText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

// The transaction of one writing call: rolled back unless committed. On SQLite the write lock
// is taken when it begins (BEGIN IMMEDIATE), so that what the call reads is what it writes
// over, whatever other connections do meanwhile.
class Transaction
{
public:
    // With `writeTurn`, the transaction holds it from its beginning to its end.
    explicit Transaction(QSqlDatabase& database, std::mutex* writeTurn = nullptr);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    bool run(const QString& sqliteCommand, bool (QSqlDatabase::*command)());

    std::unique_lock<std::mutex> turn;
    QSqlDatabase& db;
    const bool sqlite;
    bool done = false;
};

// Counts the write statements of one call and fails where a test asked it to (after
// `failAfter` writes; negative: never).
class WriteCounter
{
public:
    explicit WriteCounter(int failAfter) : limit(failAfter) {}
    void exec(QSqlQuery& query, const char* what);
    // Counts a write made another way (SQLite's own interface).
    void count();

private:
    int limit;
    int written = 0;
};

// The statements prepared once on one connection and kept for as long as it lives.
class StatementCache
{
public:
    explicit StatementCache(const QSqlDatabase& database, std::mutex* writeTurn = nullptr);
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    QSqlDatabase& database() { return db; }
    // The process's turn to write on this database, if its writers take turns.
    std::mutex* writeTurn() const { return turn; }
    // The kept statement of this text, prepared on first use.
    QSqlQuery& statement(const QString& sql, const char* what);
    // The kept statement run with the values bound: a write that `writes` counts, or a read
    // (positioned before its first row; finish() it when done).
    QSqlQuery& write(WriteCounter& writes, const QString& sql, const QVariantList& values,
                     const char* what);
    QSqlQuery& read(const QString& sql, const QVariantList& values, const char* what);
    // The kept statement of this text on SQLite's own interface, prepared on first use; null
    // where the connection is not SQLite's. For the writes of many rows, where Qt SQL's cost
    // per bound value would dominate.
    SqliteStatement* native(const QString& sql, const char* what);

private:
    QSqlDatabase db;
    std::mutex* turn;
    std::map<QString, QSqlQuery> statements;
    std::map<QString, std::unique_ptr<SqliteStatement>> nativeStatements;
};
