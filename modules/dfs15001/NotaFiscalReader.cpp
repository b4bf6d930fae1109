#include "NotaFiscalReader.h"

#include "FasConfig.h"
#include "Money.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <cmath>

namespace {

QString describe(const FasConfig& config)
{
    if (config.dbDriver == QLatin1String("QPSQL"))
        return QStringLiteral("%1@%2:%3/%4")
            .arg(config.dbUser,
                 config.dbHost.isEmpty() ? QStringLiteral("localhost") : config.dbHost)
            .arg(config.dbPort > 0 ? config.dbPort : 5432)
            .arg(config.dbName);
    return config.dbName;
}

// One connection per reader, named after the reader itself.
QString connectionNameFor(const void* reader)
{
    return QStringLiteral("fas.nfscreen.%1").arg(quintptr(reader), 0, 16);
}

QString noteKey(const QString& company, const QString& branch, const QString& number)
{
    return company + QChar(0x1f) + branch + QChar(0x1f) + number;
}

struct Coverage
{
    QStringList invoices;
    qint64 dollarCents = 0;
};

void run(QSqlQuery& query, const QString& text, const char* what)
{
    query.setForwardOnly(true);
    if (!query.exec(text))
        throw NotaFiscalReadError(QStringLiteral("Não foi possível ler %1: %2")
                                      .arg(QString::fromUtf8(what), query.lastError().text()));
}

} // namespace

NotaFiscalReader::NotaFiscalReader(const FasConfig& config)
    : m_connectionName(connectionNameFor(this))
{
    const auto fail = [&config](const QString& why) {
        return NotaFiscalReadError(QStringLiteral("Não foi possível abrir o banco de dados %1: %2")
                                       .arg(describe(config), why));
    };
    const bool sqlite = config.dbDriver == QLatin1String("QSQLITE");
    if (!sqlite && config.dbDriver != QLatin1String("QPSQL"))
        throw fail(QStringLiteral("driver desconhecido \"%1\" (use QSQLITE ou QPSQL).")
                       .arg(config.dbDriver));
    if (config.dbName.isEmpty())
        throw fail(QStringLiteral("nenhum banco configurado (FAS_DB_NAME ou [database] name "
                                  "no fas.ini)."));
    // Opening a missing SQLite file would create an empty database; read-only it fails with
    // a text that does not say why, so say it here.
    if (sqlite && !QFileInfo::exists(config.dbName))
        throw fail(QStringLiteral("o arquivo não existe."));
    if (!QSqlDatabase::isDriverAvailable(config.dbDriver))
        throw fail(QStringLiteral("o driver %1 não está instalado.").arg(config.dbDriver));

    m_db = QSqlDatabase::addDatabase(config.dbDriver, m_connectionName);
    m_db.setDatabaseName(config.dbName);
    if (sqlite) {
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    } else {
        if (!config.dbHost.isEmpty())
            m_db.setHostName(config.dbHost);
        if (config.dbPort > 0)
            m_db.setPort(config.dbPort);
        m_db.setUserName(config.dbUser);
        m_db.setPassword(config.dbPassword);
        m_db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!m_db.open()) {
        const QString why = m_db.lastError().text();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw fail(why);
    }
    if (!sqlite) {
        QSqlQuery readOnly(m_db);
        if (!readOnly.exec(
                QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"))) {
            const QString why = readOnly.lastError().text();
            readOnly = QSqlQuery();
            m_db.close();
            m_db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw fail(why);
        }
    }
}

NotaFiscalReader::~NotaFiscalReader()
{
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

QList<FieldDef> NotaFiscalReader::Fields()
{
    return {
        {QStringLiteral("CDEMPRESA"), FieldType::String, 2, false},
        {QStringLiteral("CDFILIAL"), FieldType::String, 4, false},
        {QStringLiteral("NRNOTAFISC"), FieldType::String, 20, false},
        {QStringLiteral("DTEMISNOTA"), FieldType::DateTime, 0, false},
        {QStringLiteral("NMCLIENTE"), FieldType::String, 50, false},
        {QStringLiteral("VRNOTAREAIS"), FieldType::Float, 0, false},
        {QStringLiteral("VRNOTADOLAR"), FieldType::Float, 0, false},
        {QStringLiteral("IDMODONOTA"), FieldType::String, 10, false},
        {QStringLiteral("NRINVOICES"), FieldType::String, 4000, false},
    };
}

DataPacket NotaFiscalReader::Notas() const
{
    // The notes first: a note and its invoices are written in one transaction, so every
    // note read here finds all its invoices in the second query.
    QSqlQuery notes(m_db);
    run(notes,
        QStringLiteral("SELECT N.CDEMPRESA, N.CDFILIAL, N.NRNOTAFISC, N.DTEMISNOTA, N.CDCLIENTE,"
                       " C.NMFANTCLIE, N.IDMODONOTA, N.VRNOTACENTAVOS"
                       " FROM NOTAFISCAL N LEFT JOIN CLIENTE C ON C.CDCLIENTE = N.CDCLIENTE"
                       " ORDER BY N.DTEMISNOTA DESC, N.NRNOTAFISC DESC, N.CDEMPRESA, N.CDFILIAL"),
        "as notas fiscais");
    DataPacket packet;
    packet.fields = Fields();
    while (notes.next()) {
        const QString customer =
            notes.value(5).isNull() ? notes.value(4).toString() : notes.value(5).toString();
        packet.rows.append(Row{
            notes.value(0).toString(),
            notes.value(1).toString(),
            notes.value(2).toString(),
            QDateTime::fromString(notes.value(3).toString(), Qt::ISODate),
            customer,
            Money::fromCents(notes.value(7).toLongLong()),
            QVariant(),
            notes.value(6).toString(),
            QVariant(),
        });
    }
    notes = QSqlQuery();

    QSqlQuery links(m_db);
    run(links,
        QStringLiteral("SELECT L.CDEMPRESA, L.CDFILIAL, L.NRNOTAFISC, L.NRINVOICE, I.TOTALINVOICE"
                       " FROM NOTAFISCALINVOICE L JOIN INVOICE I"
                       " ON I.CDEMPRESA = L.CDEMPRESA AND I.NRINVOICE = L.NRINVOICE"
                       " ORDER BY L.CDEMPRESA, L.CDFILIAL, L.NRNOTAFISC, L.NRINVOICE"),
        "as invoices das notas fiscais");
    QHash<QString, Coverage> coverage;
    while (links.next()) {
        Coverage& covered = coverage[noteKey(links.value(0).toString(), links.value(1).toString(),
                                             links.value(2).toString())];
        covered.invoices.append(links.value(3).toString());
        covered.dollarCents += Money::cents(links.value(4).toDouble());
    }

    for (Row& row : packet.rows) {
        const auto it = coverage.constFind(
            noteKey(row.at(0).toString(), row.at(1).toString(), row.at(2).toString()));
        if (it == coverage.constEnd())
            continue; // a note without invoices: no dollar value to show
        row[6] = Money::fromCents(it->dollarCents);
        row[8] = it->invoices.join(QStringLiteral(", "));
    }
    return packet;
}
