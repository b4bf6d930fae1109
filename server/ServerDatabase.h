#pragma once

#include <QSqlDatabase>
#include <QString>

// Where the server's data lives and how to open it.
struct ServerDatabase
{
    // The longest a statement waits for a lock another session holds (SQLite's busy timeout,
    // PostgreSQL's lock_timeout), and the longest a PostgreSQL statement may run.
    static constexpr int LockWaitMs = 5000;
    static constexpr int StatementLimitMs = 300000;

    QString driver = QStringLiteral("QSQLITE"); // QSQLITE or QPSQL
    QString name;                               // SQLite file, or PostgreSQL database
    QString host;
    int port = 0;
    QString user;
    QString password;

    // Opens a new connection under the given connection name. With mustExist, an SQLite file
    // that is not there is an error instead of a new empty database. Throws
    // std::runtime_error with a Portuguese text that never holds the password.
    QSqlDatabase open(const QString& connectionName, bool mustExist) const;

    // "QPSQL usuario@host:porta/base" or "QSQLITE arquivo": for messages and logs.
    QString describe() const;
};
