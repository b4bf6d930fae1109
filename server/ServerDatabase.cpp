#include "ServerDatabase.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <stdexcept>

QString ServerDatabase::describe() const
{
    if (driver == QLatin1String("QPSQL"))
        return QStringLiteral("QPSQL %1@%2:%3/%4")
            .arg(user, host.isEmpty() ? QStringLiteral("localhost") : host)
            .arg(port > 0 ? port : 5432)
            .arg(name);
    return QStringLiteral("%1 %2").arg(driver, name);
}

QSqlDatabase ServerDatabase::open(const QString& connectionName, bool mustExist) const
{
    const auto fail = [this](const QString& why) {
        return std::runtime_error(QStringLiteral("Não foi possível abrir o banco de dados %1: %2")
                                      .arg(describe(), why)
                                      .toStdString());
    };
    if (driver != QLatin1String("QSQLITE") && driver != QLatin1String("QPSQL"))
        throw fail(QStringLiteral("driver desconhecido (use QSQLITE ou QPSQL)."));
    if (name.isEmpty())
        throw fail(QStringLiteral("nenhum banco informado (--db)."));
    if (driver == QLatin1String("QSQLITE") && mustExist && !QFileInfo::exists(name))
        throw fail(QStringLiteral("o arquivo não existe (crie-o com --init-demo ou --init)."));
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw fail(QStringLiteral("o driver %1 não está instalado.").arg(driver));

    QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName);
    db.setDatabaseName(name);
    if (driver == QLatin1String("QPSQL")) {
        if (!host.isEmpty())
            db.setHostName(host);
        if (port > 0)
            db.setPort(port);
        db.setUserName(user);
        db.setPassword(password);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    } else {
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(LockWaitMs));
    }
    if (!db.open()) {
        const QString why = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw fail(why);
    }
    QSqlQuery session(db);
    if (driver == QLatin1String("QSQLITE")) {
        session.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        session.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        // A store of many thousand invoices keeps its changed pages in memory until the commit
        // (the default of 2 MB spills them to the log mid-way, then reads them back).
        session.exec(QStringLiteral("PRAGMA cache_size = -32768"));
    } else {
        // Every wait for a row another session holds is bounded, and so is every statement.
        session.exec(QStringLiteral("SET lock_timeout = %1").arg(LockWaitMs));
        session.exec(QStringLiteral("SET statement_timeout = %1").arg(StatementLimitMs));
    }
    return db;
}
