#pragma once

#include "ServerSql.h"

#include <QVariantList>
#include <span>
#include <sqlite3.h>

// One prepared SQLite statement on a connection's own handle, finalized on every way out; a
// failure is a databaseFailure naming `what`. For the work where Qt SQL's per-value cost
// would dominate: reading the listings' rows, writing many history rows.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3* connection, const QString& sql, const char* what)
        : db(connection), what(what)
    {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr) !=
            SQLITE_OK)
            fail();
    }
    ~SqliteStatement() { sqlite3_finalize(statement); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Binds as Qt SQL binds: a null value (a null text included) as NULL, numbers as
    // numbers, everything else as its text.
    void bind(std::span<const QVariant> values)
    {
        for (size_t i = 0; i < values.size(); ++i) {
            const QVariant& value = values[i];
            const int at = int(i + 1);
            int result = SQLITE_OK;
            const bool nullText = value.typeId() == QMetaType::QString &&
                                  static_cast<const QString*>(value.constData())->isNull();
            if (value.isNull() || nullText) {
                result = sqlite3_bind_null(statement, at);
            } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong) {
                result = sqlite3_bind_int64(statement, at, value.toLongLong());
            } else if (value.typeId() == QMetaType::Double) {
                result = sqlite3_bind_double(statement, at, value.toDouble());
            } else {
                const QByteArray text = value.toString().toUtf8();
                result = sqlite3_bind_text(statement, at, text.constData(), int(text.size()),
                                           SQLITE_TRANSIENT);
            }
            if (result != SQLITE_OK)
                fail();
        }
    }
    // True with a row to read, false at the end.
    bool step()
    {
        const int result = sqlite3_step(statement);
        if (result == SQLITE_ROW)
            return true;
        if (result != SQLITE_DONE)
            fail();
        return false;
    }
    void bind(const QVariantList& values)
    {
        bind(std::span<const QVariant>(values.constData(), size_t(values.size())));
    }
    // Runs a statement that returns no rows, and makes it ready to be bound and run again;
    // returns the number of rows it changed.
    int run()
    {
        step();
        const int changed = sqlite3_changes(db);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return changed;
    }
    sqlite3_stmt* get() const { return statement; }

private:
    // Leaves the statement ready to be bound and run again (a kept one is).
    [[noreturn]] void fail() const
    {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        if (statement) {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
        }
        databaseFailure(message, what);
    }

    sqlite3* db;
    const char* what;
    sqlite3_stmt* statement = nullptr;
};
