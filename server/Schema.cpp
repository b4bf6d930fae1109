#include "Schema.h"

#include "LocalDateTime.h"

#include "SortKey.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <stdexcept>

namespace Schema {

namespace {

const QString customerKeyColumn = QStringLiteral("NMFANTORDCLIE");

// The sort key's type: compared by code points on both databases (SQLite's default binary
// collation; PostgreSQL's would follow the database's locale otherwise).
QString customerKeyType(QStringView driver)
{
    return driver == u"QPSQL" ? QStringLiteral("VARCHAR(100) COLLATE \"C\"")
                              : QStringLiteral("VARCHAR(100)");
}

[[noreturn]] void fail(const QString& what, const QString& error)
{
    throw std::runtime_error(QStringLiteral("%1: %2").arg(what, error).toStdString());
}

} // namespace

QStringList statements(QStringView driver)
{
    return {
        QStringLiteral("CREATE TABLE EMPRESA ("
                       " CDEMPRESA VARCHAR(2) NOT NULL PRIMARY KEY,"
                       " NMEMPRESA VARCHAR(40) NOT NULL)"),
        QStringLiteral("CREATE TABLE FILIAL ("
                       " CDEMPRESA VARCHAR(2) NOT NULL REFERENCES EMPRESA (CDEMPRESA),"
                       " CDFILIAL VARCHAR(4) NOT NULL,"
                       " NMFILIAL VARCHAR(40) NOT NULL,"
                       " PRIMARY KEY (CDEMPRESA, CDFILIAL))"),
        QStringLiteral("CREATE TABLE CLIENTE ("
                       " CDCLIENTE VARCHAR(21) NOT NULL PRIMARY KEY,"
                       " NRINSJURCLIE VARCHAR(20),"
                       " NMFANTCLIE VARCHAR(50) NOT NULL,"
                       " IDTPIJURCLIE VARCHAR(1),"
                       " NMRAZSOCCLIE VARCHAR(50),"
                       " NMFANTORDCLIE ") +
            customerKeyType(driver) + QStringLiteral(" NOT NULL)"),
        QStringLiteral("CREATE TABLE ENDECLIE ("
                       " CDCLIENTE VARCHAR(21) NOT NULL REFERENCES CLIENTE (CDCLIENTE),"
                       " IDTPENDECLIE VARCHAR(1) NOT NULL,"
                       " CDPAIS VARCHAR(4) NOT NULL,"
                       " DSENDERECO VARCHAR(100),"
                       " NMCIDADE VARCHAR(40),"
                       " PRIMARY KEY (CDCLIENTE, IDTPENDECLIE))"),
        QStringLiteral("CREATE TABLE PRODUTO ("
                       " CDPRODUTO VARCHAR(10) NOT NULL PRIMARY KEY,"
                       " NMPRODUTO VARCHAR(50) NOT NULL)"),
        QStringLiteral("CREATE TABLE INVOICE ("
                       " CDEMPRESA VARCHAR(2) NOT NULL REFERENCES EMPRESA (CDEMPRESA),"
                       " CDFILIAL VARCHAR(4) NOT NULL,"
                       " NRINVOICE VARCHAR(10) NOT NULL,"
                       " CDCLIENTE VARCHAR(21) NOT NULL REFERENCES CLIENTE (CDCLIENTE),"
                       " CDPRODUTO VARCHAR(10),"
                       " DTEMISINVOICE VARCHAR(19),"
                       " DTVENINVOICE VARCHAR(19),"
                       " DTRECINVOICE VARCHAR(19),"
                       " DTCAMBIOINVOICE VARCHAR(19),"
                       " DTAPURFATFAS VARCHAR(19),"
                       " DTMESAPURADO VARCHAR(19),"
                       " NRLANCTONF VARCHAR(10),"
                       " NRNOTAFISC VARCHAR(20),"
                       " VRCAMBIOINVOICE DOUBLE PRECISION,"
                       " TOTALINVOICE DOUBLE PRECISION NOT NULL,"
                       " VRORDPGTOINVOI DOUBLE PRECISION,"
                       " VRTXCAMBIOINVOI DOUBLE PRECISION,"
                       " DSREFPGTOINVOI VARCHAR(60),"
                       " DSOBSPGTOINVOI VARCHAR(2000),"
                       " DSEMISSINVOI VARCHAR(400),"
                       " DSBOLEFATFAS VARCHAR(400),"
                       " IDTIPOINVOICE VARCHAR(1),"
                       " IDGERNFINVOI VARCHAR(1) DEFAULT 'N' NOT NULL,"
                       " IDAPURFATFAS VARCHAR(1),"
                       " PRIMARY KEY (CDEMPRESA, NRINVOICE))"),
        QStringLiteral("CREATE TABLE INVOICEITEM ("
                       " CDEMPRESA VARCHAR(2) NOT NULL,"
                       " CDFILIAL VARCHAR(4) NOT NULL,"
                       " NRINVOICE VARCHAR(10) NOT NULL,"
                       " NRSEQITINVOI VARCHAR(4) NOT NULL,"
                       " CDPRODUTO VARCHAR(10) REFERENCES PRODUTO (CDPRODUTO),"
                       " DSEMISSINVOI VARCHAR(400),"
                       " VRUNITEINVOI DOUBLE PRECISION,"
                       " VRUNITEDESC DOUBLE PRECISION,"
                       " VRTOTITEINVOI DOUBLE PRECISION,"
                       " PRIMARY KEY (CDEMPRESA, NRINVOICE, NRSEQITINVOI),"
                       " FOREIGN KEY (CDEMPRESA, NRINVOICE) REFERENCES INVOICE (CDEMPRESA, "
                       "NRINVOICE))"),
        QStringLiteral("CREATE TABLE NOTAFISCAL ("
                       " CDEMPRESA VARCHAR(2) NOT NULL,"
                       " CDFILIAL VARCHAR(4) NOT NULL,"
                       " NRNOTAFISC VARCHAR(20) NOT NULL,"
                       " CDCLIENTE VARCHAR(21) NOT NULL REFERENCES CLIENTE (CDCLIENTE),"
                       " DTEMISNOTA VARCHAR(19) NOT NULL,"
                       " IDMODONOTA VARCHAR(10) NOT NULL,"
                       " VRNOTACENTAVOS BIGINT NOT NULL,"
                       " PRIMARY KEY (CDEMPRESA, CDFILIAL, NRNOTAFISC))"),
        // One row per invoice: the key makes a second note for an invoice impossible.
        QStringLiteral("CREATE TABLE NOTAFISCALINVOICE ("
                       " CDEMPRESA VARCHAR(2) NOT NULL,"
                       " NRINVOICE VARCHAR(10) NOT NULL,"
                       " CDFILIAL VARCHAR(4) NOT NULL,"
                       " NRNOTAFISC VARCHAR(20) NOT NULL,"
                       " VRREAISCENTAVOS BIGINT NOT NULL,"
                       " PRIMARY KEY (CDEMPRESA, NRINVOICE),"
                       " FOREIGN KEY (CDEMPRESA, NRINVOICE) REFERENCES INVOICE (CDEMPRESA, "
                       "NRINVOICE),"
                       " FOREIGN KEY (CDEMPRESA, CDFILIAL, NRNOTAFISC) REFERENCES NOTAFISCAL "
                       "(CDEMPRESA, CDFILIAL, NRNOTAFISC))"),
        QStringLiteral("CREATE TABLE SEQNOTAFISC ("
                       " CDEMPRESA VARCHAR(2) NOT NULL,"
                       " CDFILIAL VARCHAR(4) NOT NULL,"
                       " NRULTNOTA INTEGER NOT NULL,"
                       " PRIMARY KEY (CDEMPRESA, CDFILIAL))"),
        QStringLiteral("CREATE INDEX IX_INVOICE_CLIENTE ON INVOICE (CDEMPRESA, CDCLIENTE)"),
        QStringLiteral("CREATE INDEX IX_INVOICE_EMISSAO ON INVOICE (CDEMPRESA, DTEMISINVOICE)"),
        QStringLiteral("CREATE INDEX IX_INVOICE_VENCIMENTO ON INVOICE (CDEMPRESA, DTVENINVOICE)"),
        QStringLiteral("CREATE INDEX IX_INVOICE_RECEBIMENTO ON INVOICE (CDEMPRESA, DTRECINVOICE)"),
        QStringLiteral("CREATE INDEX IX_INVOICE_CAMBIO ON INVOICE (CDEMPRESA, DTCAMBIOINVOICE)"),
        QStringLiteral("CREATE INDEX IX_INVOICE_SITUACAO ON INVOICE (CDEMPRESA, IDGERNFINVOI)"),
        QStringLiteral("CREATE INDEX IX_ENDECLIE_PAIS ON ENDECLIE (IDTPENDECLIE, CDPAIS)"),
    };
}

bool exists(const QSqlDatabase& db)
{
    // A database that cannot be read (a file or folder without permission, a broken file)
    // would list no tables: said as it is, not as a missing schema.
    QSqlQuery probe(db);
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    if (!probe.exec(sqlite ? QStringLiteral("PRAGMA schema_version") : QStringLiteral("SELECT 1")))
        throw std::runtime_error(QStringLiteral("Não foi possível ler o banco de dados (%1). "
                                                "Confira as permissões do arquivo e da sua pasta.")
                                     .arg(probe.lastError().text())
                                     .toStdString());
    const QStringList tables = db.tables();
    return tables.contains(QStringLiteral("INVOICE"), Qt::CaseInsensitive);
}

void create(QSqlDatabase& db)
{
    if (!db.transaction())
        throw std::runtime_error(QStringLiteral("Não foi possível iniciar a transação: %1")
                                     .arg(db.lastError().text())
                                     .toStdString());
    for (const QString& statement : statements(db.driverName())) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            const QString error = query.lastError().text();
            db.rollback();
            throw std::runtime_error(
                QStringLiteral("Falha ao criar o esquema (%1): %2")
                    .arg(statement.section(QLatin1Char('('), 0, 0).trimmed(), error)
                    .toStdString());
        }
    }
    if (!db.commit())
        throw std::runtime_error(QStringLiteral("Falha ao gravar o esquema: %1")
                                     .arg(db.lastError().text())
                                     .toStdString());
}

void upgrade(QSqlDatabase& db)
{
    // Asked of the table itself: outside a transaction, so a failure here aborts nothing.
    const auto hasKey = [&db] {
        QSqlQuery probe(db);
        return probe.exec(
            QStringLiteral("SELECT %1 FROM CLIENTE WHERE 1 = 0").arg(customerKeyColumn));
    };
    if (hasKey())
        return;
    const QString what = QStringLiteral("Falha ao acrescentar %1 a CLIENTE").arg(customerKeyColumn);
    if (!db.transaction())
        fail(what, db.lastError().text());
    QSqlQuery query(db);
    QSqlQuery update(db);
    const auto undo = [&](const QSqlQuery& failed) {
        const QString error = failed.lastError().text();
        query.finish();
        update.finish();
        db.rollback();
        // Another server sharing the database may have made the same change meanwhile.
        if (!hasKey())
            fail(what, error);
    };
    if (!query.exec(QStringLiteral("ALTER TABLE CLIENTE ADD COLUMN %1 %2 DEFAULT '' NOT NULL")
                        .arg(customerKeyColumn, customerKeyType(db.driverName())))) {
        undo(query);
        return;
    }
    if (!query.exec(QStringLiteral("SELECT CDCLIENTE, NMFANTCLIE FROM CLIENTE"))) {
        undo(query);
        return;
    }
    QList<std::pair<QString, QString>> keys;
    while (query.next())
        keys.append({query.value(0).toString(), SortKey::of(query.value(1).toString())});
    update.prepare(
        QStringLiteral("UPDATE CLIENTE SET %1 = ? WHERE CDCLIENTE = ?").arg(customerKeyColumn));
    for (const auto& [customer, key] : keys) {
        update.addBindValue(key);
        update.addBindValue(customer);
        if (!update.exec()) {
            undo(update);
            return;
        }
    }
    if (!db.commit())
        fail(what, db.lastError().text());
}

QString dateText(const QDateTime& value)
{
    if (!value.isValid())
        return {};
    const qint64 key = LocalDateTime::key(value);
    return LocalDateTime::text(key - LocalDateTime::split(key).msOfDay % 1000);
}

} // namespace Schema
