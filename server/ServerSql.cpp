#include "ServerSql.h"

#include "SqlPacketWriter.h"
#include "SqliteStatement.h"

#include <QLoggingCategory>
#include <QSqlError>

Q_DECLARE_LOGGING_CATEGORY(lcAppServer)

void databaseFailure(const QString& detail, const char* what)
{
    qCWarning(lcAppServer) << "database failure while" << what << ":" << detail;
    throw ServiceFailure(
        QStringLiteral("Falha no banco de dados do servidor de aplicação (%1). Nada foi gravado.")
            .arg(QString::fromLatin1(what)));
}

void databaseFailure(const QSqlError& error, const char* what)
{
    const QString code = error.nativeErrorCode();
    const QString detail = error.text();
    const auto fail = [&](const QString& message) {
        qCWarning(lcAppServer) << "database failure while" << what << ":" << code << detail;
        throw ServiceFailure(message);
    };
    // PostgreSQL: SQLSTATE; SQLite: its primary result code.
    if (code == QLatin1String("23505") || code == QLatin1String("40001") ||
        code == QLatin1String("40P01") ||
        (code == QLatin1String("19") && detail.contains(QLatin1String("UNIQUE")))) {
        qCInfo(lcAppServer) << "write race while" << what << ":" << code;
        throw WriteRace(QStringLiteral("Outro usuário gravou as mesmas invoices ao mesmo tempo. "
                                       "Tente novamente; nada foi gravado."));
    }
    if (code == QLatin1String("55P03") || code == QLatin1String("57014"))
        fail(QStringLiteral("O banco de dados do servidor de aplicação está ocupado com outra "
                            "gravação das mesmas invoices. Tente novamente; nada foi gravado."));
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        fail(QStringLiteral("O banco de dados do servidor de aplicação está em uso por outro "
                            "processo e não foi liberado a tempo. Tente novamente; nada foi "
                            "gravado."));
    if (code == QLatin1String("8"))
        fail(QStringLiteral("O banco de dados do servidor de aplicação está somente leitura "
                            "(confira as permissões do arquivo e da pasta). Nada foi gravado."));
    if (code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P")) ||
        error.type() == QSqlError::ConnectionError)
        fail(QStringLiteral("Sem conexão com o banco de dados do servidor de aplicação. Tente "
                            "novamente em instantes; nada foi gravado."));
    databaseFailure(detail, what);
}

void databaseFailure(const QSqlQuery& query, const char* what)
{
    databaseFailure(query.lastError(), what);
}

void prepare(QSqlQuery& query, const QString& sql, const char* what)
{
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        databaseFailure(query, what);
}

void bindAll(QSqlQuery& query, const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
}

QSqlQuery execute(const QSqlDatabase& db, const BoundSql& statement, const char* what)
{
    QSqlQuery query(db);
    prepare(query, statement.sql, what);
    bindAll(query, statement.values);
    if (!query.exec())
        databaseFailure(query, what);
    return query;
}

Transaction::Transaction(QSqlDatabase& database, std::mutex* writeTurn)
    : turn(writeTurn ? std::unique_lock(*writeTurn) : std::unique_lock<std::mutex>()), db(database),
      sqlite(database.driverName() == QLatin1String("QSQLITE"))
{
    if (!run(QStringLiteral("BEGIN IMMEDIATE"), &QSqlDatabase::transaction))
        databaseFailure(db.lastError(), "beginning");
}

Transaction::~Transaction()
{
    if (!done)
        run(QStringLiteral("ROLLBACK"), &QSqlDatabase::rollback);
}

void Transaction::commit()
{
    if (!run(QStringLiteral("COMMIT"), &QSqlDatabase::commit))
        databaseFailure(db.lastError(), "committing");
    done = true;
}

bool Transaction::run(const QString& sqliteCommand, bool (QSqlDatabase::*command)())
{
    if (!sqlite)
        return (db.*command)();
    // Qt's SQLite driver begins deferred transactions: the commands are sent as they are.
    QSqlQuery query(db);
    if (query.exec(sqliteCommand))
        return true;
    const QSqlError error = query.lastError();
    qCWarning(lcAppServer) << sqliteCommand << "failed:" << error.text();
    if (sqliteCommand != QLatin1String("ROLLBACK"))
        databaseFailure(error,
                        sqliteCommand == QLatin1String("COMMIT") ? "committing" : "beginning");
    return false;
}

void WriteCounter::exec(QSqlQuery& query, const char* what)
{
    if (!query.exec())
        databaseFailure(query, what);
    count();
}

void WriteCounter::count()
{
    if (limit >= 0 && ++written >= limit)
        throw ServiceFailure(
            QStringLiteral("Falha simulada após %1 gravação(ões). Nada foi gravado.").arg(written));
}

StatementCache::StatementCache(const QSqlDatabase& database, std::mutex* writeTurn)
    : db(database), turn(writeTurn)
{}

StatementCache::~StatementCache() = default;

SqliteStatement* StatementCache::native(const QString& sql, const char* what)
{
    sqlite3* handle = sqliteHandle(db);
    if (!handle)
        return nullptr;
    std::unique_ptr<SqliteStatement>& kept = nativeStatements[sql];
    if (!kept)
        kept = std::make_unique<SqliteStatement>(handle, sql, what);
    return kept.get();
}

QSqlQuery& StatementCache::statement(const QString& sql, const char* what)
{
    const auto found = statements.find(sql);
    if (found != statements.end())
        return found->second;
    QSqlQuery query(db);
    prepare(query, sql, what);
    return statements.emplace(sql, std::move(query)).first->second;
}

QSqlQuery& StatementCache::write(WriteCounter& writes, const QString& sql,
                                 const QVariantList& values, const char* what)
{
    QSqlQuery& query = statement(sql, what);
    bindAll(query, values);
    writes.exec(query, what);
    return query;
}

QSqlQuery& StatementCache::read(const QString& sql, const QVariantList& values, const char* what)
{
    QSqlQuery& query = statement(sql, what);
    bindAll(query, values);
    if (!query.exec())
        databaseFailure(query, what);
    return query;
}
