#include "dtmDBGeral.h"

#include "EAbort.h"
#include "FrameworkUtils.h"

#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <optional>

Q_LOGGING_CATEGORY(lcDbGeral, "fas.dbgeral")

namespace {
std::optional<FasConfig>& configured()
{
    static std::optional<FasConfig> config;
    return config;
}

[[noreturn]] void fail(const QString& detail)
{
    QSqlDatabase::removeDatabase(QLatin1String(TdtmDBGeral::ConnectionName));
    MensErro(QStringLiteral("Não foi possível abrir o banco de dados: %1").arg(detail), true);
    throw EAbort(); // MensErro has already aborted; this keeps the compiler informed
}
} // namespace

void TdtmDBGeral::Configure(const FasConfig& config)
{
    Close();
    configured() = config;
}

void TdtmDBGeral::Close()
{
    if (QSqlDatabase::contains(QLatin1String(ConnectionName))) {
        QSqlDatabase::database(QLatin1String(ConnectionName), false).close();
        QSqlDatabase::removeDatabase(QLatin1String(ConnectionName));
    }
}

QSqlDatabase TdtmDBGeral::Database()
{
    const QString name = QLatin1String(ConnectionName);
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
    }
    if (!configured())
        configured() = FasConfig::load();
    const FasConfig& config = *configured();
    if (config.dbName.isEmpty())
        fail(QStringLiteral("nenhum banco configurado (FAS_DB_NAME)."));

    QSqlDatabase db = QSqlDatabase::contains(name)
                          ? QSqlDatabase::database(name, false)
                          : QSqlDatabase::addDatabase(config.dbDriver, name);
    if (!db.isValid())
        fail(QStringLiteral("driver %1 indisponível.").arg(config.dbDriver));
    db.setDatabaseName(config.dbName);
    const bool sqlite = config.dbDriver.startsWith(QLatin1String("QSQLITE"));
    if (sqlite) {
        // The screens only read: the file is opened read-only and never created.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    } else {
        db.setHostName(config.dbHost);
        if (config.dbPort > 0)
            db.setPort(config.dbPort);
        db.setUserName(config.dbUser);
        db.setPassword(config.dbPassword);
    }
    if (!db.open()) {
        qCWarning(lcDbGeral) << "cannot open the shared database with driver" << config.dbDriver;
        fail(db.lastError().text());
    }
    if (!sqlite) {
        QSqlQuery readOnly(db);
        if (!readOnly.exec(
                QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"))) {
            const QString detail = readOnly.lastError().text();
            db.close();
            fail(detail);
        }
    }
    return db;
}
