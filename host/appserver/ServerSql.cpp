#include "ServerSql.h"

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

void databaseFailure(const QSqlQuery& query, const char* what)
{
    databaseFailure(query.lastError().text(), what);
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

Transaction::Transaction(QSqlDatabase& database) : db(database)
{
    if (!db.transaction()) {
        qCWarning(lcAppServer) << "cannot begin transaction:" << db.lastError().text();
        throw ServiceFailure(QStringLiteral(
            "O banco de dados do servidor de aplicação está ocupado. Tente novamente."));
    }
}

Transaction::~Transaction()
{
    if (!done)
        db.rollback();
}

void Transaction::commit()
{
    if (!db.commit()) {
        qCWarning(lcAppServer) << "commit failed:" << db.lastError().text();
        throw ServiceFailure(
            QStringLiteral("Falha ao gravar no banco de dados. Nada foi gravado."));
    }
    done = true;
}

void WriteCounter::exec(QSqlQuery& query, const char* what)
{
    if (!query.exec())
        databaseFailure(query, what);
    if (limit >= 0 && ++count >= limit)
        throw ServiceFailure(
            QStringLiteral("Falha simulada após %1 gravação(ões). Nada foi gravado.").arg(count));
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
