#include "InvoiceService.h"

#include "InvoiceLayout.h"
#include "JsonScan.h"
#include "JsonWriter.h"
#include "KeyList.h"
#include "Schema.h"

#include <QJsonArray>
#include <QLoggingCategory>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sqlite3.h>

Q_DECLARE_LOGGING_CATEGORY(lcAppServer)

namespace {

const QString invoiceColumns = QStringLiteral(
    "C.NMFANTORDCLIE, I.NRINVOICE, I.CDEMPRESA, EM.NMEMPRESA, I.CDFILIAL, I.NRINVOICE, "
    "I.CDCLIENTE, C.NMFANTCLIE, I.CDPRODUTO, I.DTEMISINVOICE, I.DTVENINVOICE, I.DTRECINVOICE, "
    "I.DTCAMBIOINVOICE, I.DTAPURFATFAS, I.DTMESAPURADO, I.NRLANCTONF, I.NRNOTAFISC, "
    "I.VRCAMBIOINVOICE, I.TOTALINVOICE, I.VRORDPGTOINVOI, I.VRTXCAMBIOINVOI, I.DSREFPGTOINVOI, "
    "I.DSOBSPGTOINVOI, I.DSEMISSINVOI, I.DSBOLEFATFAS, I.IDTIPOINVOICE, I.IDGERNFINVOI, "
    "CASE WHEN I.IDGERNFINVOI = 'S' THEN 'D' ELSE 'N' END, I.IDAPURFATFAS");

const QString itemColumns = QStringLiteral(
    "IT.CDEMPRESA, IT.CDFILIAL, IT.NRINVOICE, IT.NRSEQITINVOI, IT.CDPRODUTO, P.NMPRODUTO, "
    "IT.DSEMISSINVOI, IT.VRUNITEINVOI, IT.VRUNITEDESC, IT.VRTOTITEINVOI");

// A failure of the database itself: logged in full, reported to the user in general terms.
[[noreturn]] void databaseFailure(const QString& detail, const char* what)
{
    qCWarning(lcAppServer) << "database failure while" << what << ":" << detail;
    throw ServiceFailure(
        QStringLiteral("Falha no banco de dados do servidor de aplicação (%1). Nada foi gravado.")
            .arg(QString::fromLatin1(what)));
}

[[noreturn]] void databaseFailure(const QSqlQuery& query, const char* what)
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

QVariant cell(const QVariant& value, FieldType type)
{
    if (value.isNull())
        return {};
    switch (type) {
    case FieldType::String:
        return value.toString();
    case FieldType::DateTime: {
        if (value.metaType().id() == QMetaType::QDateTime)
            return value;
        const QDateTime date = Schema::dateFromText(value.toString());
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case FieldType::Float:
        return value.toDouble();
    }
    return {};
}

QVariant nullFor(FieldType type)
{
    switch (type) {
    case FieldType::String:
    case FieldType::DateTime:
        return QVariant(QMetaType(QMetaType::QString));
    case FieldType::Float:
        return QVariant(QMetaType(QMetaType::Double));
    }
    return {};
}

// A packet value as the database keeps it (dates as text).
QVariant stored(const QVariant& value, FieldType type)
{
    if (value.isNull() || !value.isValid())
        return nullFor(type);
    if (type == FieldType::DateTime)
        return Schema::dateText(value.toDateTime());
    return value;
}

QString rangeName(int range)
{
    static const std::array<QString, 4> names{
        QStringLiteral("Emissão"), QStringLiteral("Vencimento"), QStringLiteral("Recebimento"),
        QStringLiteral("Câmbio")};
    return names[size_t(range)];
}

bool isFlag(const QString& value)
{
    return value.isEmpty() || value == QLatin1String("T");
}

// The WHERE clause of a query and its bound values.
struct Condition
{
    QString sql;
    QVariantList values;
};

Condition filterCondition(const FilterArgs& query)
{
    Condition where;
    where.sql = QStringLiteral("I.CDEMPRESA = ?");
    where.values.append(query.company);

    // Situation: a non-empty run of "A_", "N_", "E_".
    QStringList situations;
    const QString& code = query.situation;
    if (code.isEmpty() || code.size() % 2 != 0)
        throw ServiceFailure(QStringLiteral("Situação inválida: \"%1\".").arg(code));
    for (qsizetype i = 0; i < code.size(); i += 2) {
        const QString token = code.mid(i, 2);
        if (token == QLatin1String("A_"))
            situations.append(QStringLiteral("I.DTRECINVOICE IS NULL"));
        else if (token == QLatin1String("N_"))
            situations.append(
                QStringLiteral("(I.DTRECINVOICE IS NOT NULL AND I.IDGERNFINVOI <> 'S')"));
        else if (token == QLatin1String("E_"))
            situations.append(
                QStringLiteral("(I.DTRECINVOICE IS NOT NULL AND I.IDGERNFINVOI = 'S')"));
        else
            throw ServiceFailure(QStringLiteral("Situação inválida: \"%1\".").arg(code));
    }
    situations.removeDuplicates();
    where.sql +=
        QStringLiteral(" AND (") + situations.join(QStringLiteral(" OR ")) + QLatin1Char(')');

    if (!isFlag(query.allCustomers))
        throw ServiceFailure(
            QStringLiteral("Indicador de clientes inválido: \"%1\".").arg(query.allCustomers));
    if (query.allCustomers.isEmpty()) {
        const std::optional<QStringList> keys = KeyList::parse(query.customers);
        if (!keys)
            throw ServiceFailure(
                QStringLiteral("Lista de clientes inválida: \"%1\".").arg(query.customers));
        if (keys->isEmpty()) {
            where.sql += QStringLiteral(" AND 1 = 0");
        } else {
            QStringList marks;
            for (const QString& key : *keys) {
                marks.append(QStringLiteral("?"));
                where.values.append(key);
            }
            where.sql += QStringLiteral(" AND I.CDCLIENTE IN (") + marks.join(QLatin1Char(',')) +
                         QLatin1Char(')');
        }
    }

    const std::array<const QString*, 4> flags{&query.allIssue, &query.allDue, &query.allReceipt,
                                              &query.allExchange};
    static const std::array<QString, 4> columns{
        QStringLiteral("I.DTEMISINVOICE"), QStringLiteral("I.DTVENINVOICE"),
        QStringLiteral("I.DTRECINVOICE"), QStringLiteral("I.DTCAMBIOINVOICE")};
    for (int r = 0; r < 4; ++r) {
        const QString& flag = *flags[size_t(r)];
        if (!isFlag(flag))
            throw ServiceFailure(QStringLiteral("Indicador do período de %1 inválido: \"%2\".")
                                     .arg(rangeName(r), flag));
        if (flag == QLatin1String("T"))
            continue;
        const QDateTime from = query.dates[size_t(2 * r)];
        const QDateTime to = query.dates[size_t(2 * r + 1)];
        if (!from.isValid() || !to.isValid())
            throw ServiceFailure(
                QStringLiteral("Período de %1 sem data inicial ou final.").arg(rangeName(r)));
        // Whole days: from the first day's start to the end of the last day.
        where.sql += QStringLiteral(" AND ") + columns[size_t(r)] + QStringLiteral(" >= ? AND ") +
                     columns[size_t(r)] + QStringLiteral(" < ?");
        where.values.append(Schema::dateText(from.date().startOfDay()));
        where.values.append(Schema::dateText(to.date().addDays(1).startOfDay()));
    }
    return where;
}

DataPacket readPacket(QSqlQuery& query, const QList<FieldDef>& fields)
{
    DataPacket packet;
    packet.fields = fields;
    const int count = int(fields.size());
    while (query.next()) {
        Row row;
        row.reserve(count);
        for (int i = 0; i < count; ++i)
            row.append(cell(query.value(i), fields.at(i).type));
        packet.rows.append(std::move(row));
    }
    if (query.lastError().isValid())
        databaseFailure(query, "reading");
    return packet;
}

// The stored form of a date, "yyyy-MM-ddTHH:mm:ss", is already its form on the wire. The
// shape and the ranges of the calendar fields are checked here so that a damaged value goes
// out as null (as a failed conversion would) without building a QDateTime for each cell.
// `at(i)` gives the i-th code unit (UTF-16 or UTF-8: the shape is ASCII alone).
template <typename Unit> bool isStoredDateText(qsizetype size, Unit at)
{
    if (size != 19)
        return false;
    const auto digits = [&at](qsizetype from, qsizetype count) {
        int value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const unsigned c = at(i);
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + int(c - '0');
        }
        return value;
    };
    if (at(4) != '-' || at(7) != '-' || at(10) != 'T' || at(13) != ':' || at(16) != ':')
        return false;
    const int hour = digits(11, 2);
    const int minute = digits(14, 2);
    const int second = digits(17, 2);
    return QDate::isValid(digits(0, 4), digits(5, 2), digits(8, 2)) && hour >= 0 && hour < 24 &&
           minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

bool isStoredDateText(QStringView text)
{
    return isStoredDateText(text.size(),
                            [&text](qsizetype i) { return unsigned(text[i].unicode()); });
}

void writeStoredDate(JsonWriter& out, QStringView text)
{
    char quoted[21];
    quoted[0] = '"';
    for (qsizetype i = 0; i < 19; ++i)
        quoted[i + 1] = char(text[i].unicode());
    quoted[20] = '"';
    out.raw(quoted, sizeof quoted);
}

void writeStoredDate(JsonWriter& out, const unsigned char* text)
{
    out.put('"');
    out.raw(reinterpret_cast<const char*>(text), 19);
    out.put('"');
}

// One cell straight from the database into the JSON form of the packet, with the same value
// the packet row would carry.
void writeCell(JsonWriter& out, const QVariant& value, const FieldDef& field, qsizetype row)
{
    if (value.isNull()) {
        out.null();
        return;
    }
    switch (field.type) {
    case FieldType::String:
        break;
    case FieldType::DateTime:
        if (value.typeId() == QMetaType::QString) {
            const QString& text = *static_cast<const QString*>(value.constData());
            if (isStoredDateText(text))
                writeStoredDate(out, text);
            else
                out.null();
            return;
        }
        writeJsonValue(out, field, cell(value, field.type), row);
        return;
    case FieldType::Float:
        writeJsonValue(out, field, value.toDouble(), row);
        return;
    }
    writeJsonValue(out, field, value, row);
}

// The rows of an executed query written as a packet's JSON form ({"fields":…,"rows":…}).
QByteArray writePacket(QSqlQuery& query, const QList<FieldDef>& fields, qsizetype* rowCount)
{
    JsonWriter out(1 << 20);
    out.literal("{\"fields\":");
    writeJsonFields(out, fields);
    out.literal(",\"rows\":[");
    const int count = int(fields.size());
    qsizetype rows = 0;
    while (query.next()) {
        if (rows > 0)
            out.put(',');
        out.put('[');
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                out.put(',');
            writeCell(out, query.value(i), fields.at(i), rows);
        }
        out.put(']');
        ++rows;
    }
    if (query.lastError().isValid())
        databaseFailure(query, "reading");
    out.literal("]}");
    if (rowCount)
        *rowCount = rows;
    return out.take();
}

// The listing statements: the same SQL and bound values for both ways of reading them.
// Invoices come by customer in reading order (ORDENA is the customer's sort key, so accents
// and case do not count and both databases agree), then by number.
Condition invoiceStatement(const FilterArgs& request)
{
    Condition where = filterCondition(request);
    where.sql = QStringLiteral("SELECT ") + invoiceColumns +
                QStringLiteral(" FROM INVOICE I JOIN EMPRESA EM ON EM.CDEMPRESA = I.CDEMPRESA"
                               " JOIN CLIENTE C ON C.CDCLIENTE = I.CDCLIENTE WHERE ") +
                where.sql + QStringLiteral(" ORDER BY C.NMFANTORDCLIE, I.CDCLIENTE, I.NRINVOICE");
    return where;
}

Condition itemStatement(const FilterArgs& request)
{
    Condition where = filterCondition(request);
    where.sql = QStringLiteral("SELECT ") + itemColumns +
                QStringLiteral(" FROM INVOICEITEM IT JOIN INVOICE I ON I.CDEMPRESA = IT.CDEMPRESA"
                               " AND I.NRINVOICE = IT.NRINVOICE"
                               " LEFT JOIN PRODUTO P ON P.CDPRODUTO = IT.CDPRODUTO WHERE ") +
                where.sql + QStringLiteral(" ORDER BY IT.NRINVOICE, IT.NRSEQITINVOI");
    return where;
}

// Executed through Qt SQL, positioned before the first row.
QSqlQuery execute(const QSqlDatabase& db, const Condition& statement, const char* what)
{
    QSqlQuery query(db);
    prepare(query, statement.sql, what);
    bindAll(query, statement.values);
    if (!query.exec())
        databaseFailure(query, what);
    return query;
}

// The sqlite3 connection under a Qt SQL connection of the SQLite driver; null for any other.
sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QSqlDriver* driver = db.driver();
    if (!driver || !db.isOpen())
        return nullptr;
    const QVariant handle = driver->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// One prepared SQLite statement, finalized on every way out.
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
    void bind(const QVariantList& values)
    {
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QVariant& value = values.at(i);
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
    sqlite3_stmt* get() const { return statement; }

private:
    [[noreturn]] void fail() const { databaseFailure(QString::fromUtf8(sqlite3_errmsg(db)), what); }

    sqlite3* db;
    const char* what;
    sqlite3_stmt* statement = nullptr;
};

// A cell as Qt SQL's SQLite driver hands it out (texts read as UTF-16, as it reads them).
QVariant qtSqlValue(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default:
        return QString(static_cast<const QChar*>(sqlite3_column_text16(statement, column)),
                       sqlite3_column_bytes16(statement, column) / qsizetype(sizeof(QChar)));
    }
}

// Length of the well-formed UTF-8 sequence at p (end excluded), or 0. Code points that
// SQLite turns into U+FFFD on its way to UTF-16 (noncharacters U+FFFE and U+FFFF) count as
// not well-formed here, so that they take the UTF-16 way and come out the same.
int utf8Sequence(const unsigned char* p, const unsigned char* end)
{
    const unsigned char lead = p[0];
    const auto continuation = [&](int i) { return p + i < end && (p[i] & 0xC0) == 0x80; };
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2))
            return 0;
        if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] >= 0xA0))
            return 0; // overlong, or a surrogate
        if (lead == 0xEF && p[1] == 0xBF && p[2] >= 0xBE)
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3))
            return 0;
        if ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] >= 0x90))
            return 0; // overlong, or beyond U+10FFFF
        return 4;
    }
    return 0;
}

// Writes stored UTF-8 text as a JSON string, byte for byte what JsonWriter::string writes
// for the same text in UTF-16. False, with nothing written, when the bytes are not
// well-formed UTF-8: the caller then takes SQLite's conversion to UTF-16, as Qt SQL does.
bool writeUtf8String(JsonWriter& out, const unsigned char* text, qsizetype size)
{
    const unsigned char* const end = text + size;
    for (const unsigned char* p = text; p < end;) {
        const int length = *p < 0x80 ? 1 : utf8Sequence(p, end);
        if (length == 0)
            return false;
        p += length;
    }
    out.utf8String(reinterpret_cast<const char*>(text), size);
    return true;
}

// One cell of an SQLite row into the JSON answer, with the text writeCell gives for the
// value Qt SQL would have read. The common cases (texts into text and date fields, numbers
// into float fields, nulls) go straight from SQLite's buffers; the rest takes Qt SQL's value.
void writeSqliteCell(JsonWriter& out, sqlite3_stmt* statement, int column, const FieldDef& field,
                     qsizetype row)
{
    const int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL) {
        out.null();
        return;
    }
    if (type == SQLITE_TEXT && field.type != FieldType::Float) {
        const unsigned char* text = sqlite3_column_text(statement, column);
        const qsizetype size = sqlite3_column_bytes(statement, column);
        if (field.type == FieldType::DateTime) {
            // The shape is ASCII alone, so the bytes decide as the UTF-16 units would.
            if (isStoredDateText(size, [text](qsizetype i) { return unsigned(text[i]); }))
                writeStoredDate(out, text);
            else
                out.null();
            return;
        }
        if (writeUtf8String(out, text, size))
            return;
    } else if ((type == SQLITE_FLOAT || type == SQLITE_INTEGER) && field.type == FieldType::Float) {
        writeJsonValue(out, field, sqlite3_column_double(statement, column), row);
        return;
    }
    writeCell(out, qtSqlValue(statement, column), field, row);
}

// writePacket's answer, read through SQLite's own interface.
QByteArray writeSqlitePacket(sqlite3* db, const Condition& statement, const QList<FieldDef>& fields,
                             qsizetype* rowCount, const char* what)
{
    SqliteStatement query(db, statement.sql, what);
    query.bind(statement.values);
    const int count = int(fields.size());
    if (sqlite3_column_count(query.get()) != count)
        databaseFailure(QStringLiteral("the statement has %1 columns, the layout %2")
                            .arg(sqlite3_column_count(query.get()))
                            .arg(count),
                        what);
    JsonWriter out(1 << 20);
    out.literal("{\"fields\":");
    writeJsonFields(out, fields);
    out.literal(",\"rows\":[");
    qsizetype rows = 0;
    while (query.step()) {
        if (rows > 0)
            out.put(',');
        out.put('[');
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                out.put(',');
            writeSqliteCell(out, query.get(), i, fields.at(i), rows);
        }
        out.put(']');
        ++rows;
    }
    out.literal("]}");
    if (rowCount)
        *rowCount = rows;
    return out.take();
}

qsizetype fieldIndex(const QList<FieldDef>& fields, const QString& name)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name == name)
            return i;
    }
    throw ServiceFailure(QStringLiteral("Campo desconhecido: %1.").arg(name));
}

QString text(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

// Money: a double amount as integer units of 10^-digits, rounded half away from zero.
qint64 scaled(double value, int digits)
{
    return qint64(std::llround(value * std::pow(10.0, digits)));
}

// Invoice value in reais, in cents: dollars × rate, rounded to cents.
qint64 reaisCents(double dollars, double rate)
{
    const qint64 cents = scaled(dollars, 2);
    const qint64 micro = scaled(rate, 6);
    const qint64 product = cents * micro;
    const qint64 half = 500000;
    return product >= 0 ? (product + half) / 1000000 : -((-product + half) / 1000000);
}

// The transaction of one writing call: rolled back unless committed.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase& database) : db(database)
    {
        if (!db.transaction()) {
            qCWarning(lcAppServer) << "cannot begin transaction:" << db.lastError().text();
            throw ServiceFailure(QStringLiteral(
                "O banco de dados do servidor de aplicação está ocupado. Tente novamente."));
        }
    }
    ~Transaction()
    {
        if (!done)
            db.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        if (!db.commit()) {
            qCWarning(lcAppServer) << "commit failed:" << db.lastError().text();
            throw ServiceFailure(
                QStringLiteral("Falha ao gravar no banco de dados. Nada foi gravado."));
        }
        done = true;
    }

private:
    QSqlDatabase& db;
    bool done = false;
};

} // namespace

// Counts the write statements of one call and fails where a test asked it to.
class InvoiceService::WriteCounter
{
public:
    explicit WriteCounter(int failAfter) : limit(failAfter) {}
    void exec(QSqlQuery& query, const char* what)
    {
        if (!query.exec())
            databaseFailure(query, what);
        if (limit >= 0 && ++count >= limit)
            throw ServiceFailure(
                QStringLiteral("Falha simulada após %1 gravação(ões). Nada foi gravado.")
                    .arg(count));
    }

private:
    int limit;
    int count = 0;
};

InvoiceService::InvoiceService(const QSqlDatabase& database, Options serviceOptions)
    : db(database), options(serviceOptions)
{}

DataPacket InvoiceService::getInvoice(const FilterArgs& request) const
{
    QSqlQuery query = execute(db, invoiceStatement(request), "listing invoices");
    return readPacket(query, InvoiceLayout::invoiceFields());
}

DataPacket InvoiceService::getItem(const FilterArgs& request) const
{
    QSqlQuery query = execute(db, itemStatement(request), "listing items");
    return readPacket(query, InvoiceLayout::itemFields());
}

bool InvoiceService::readsThroughSqlite() const
{
    return rowReader == RowReader::Automatic && sqliteHandle(db) != nullptr;
}

QByteArray InvoiceService::getInvoiceJson(const FilterArgs& request, qsizetype* rows) const
{
    const Condition statement = invoiceStatement(request);
    if (sqlite3* handle = rowReader == RowReader::Automatic ? sqliteHandle(db) : nullptr)
        return writeSqlitePacket(handle, statement, InvoiceLayout::invoiceFields(), rows,
                                 "listing invoices");
    QSqlQuery query = execute(db, statement, "listing invoices");
    return writePacket(query, InvoiceLayout::invoiceFields(), rows);
}

QByteArray InvoiceService::getItemJson(const FilterArgs& request, qsizetype* rows) const
{
    const Condition statement = itemStatement(request);
    if (sqlite3* handle = rowReader == RowReader::Automatic ? sqliteHandle(db) : nullptr)
        return writeSqlitePacket(handle, statement, InvoiceLayout::itemFields(), rows,
                                 "listing items");
    QSqlQuery query = execute(db, statement, "listing items");
    return writePacket(query, InvoiceLayout::itemFields(), rows);
}

QSqlQuery& InvoiceService::write(WriteCounter& writes, const QString& sql,
                                 const QVariantList& values, const char* what)
{
    QSqlQuery& query = statement(sql, what);
    bindAll(query, values);
    writes.exec(query, what);
    return query;
}

QSqlQuery& InvoiceService::read(const QString& sql, const QVariantList& values, const char* what)
{
    QSqlQuery& query = statement(sql, what);
    bindAll(query, values);
    if (!query.exec())
        databaseFailure(query, what);
    return query;
}

QSqlQuery& InvoiceService::statement(const QString& sql, const char* what)
{
    const auto found = statements.find(sql);
    if (found != statements.end())
        return found->second;
    QSqlQuery query(db);
    prepare(query, sql, what);
    return statements.emplace(sql, std::move(query)).first->second;
}

QJsonObject InvoiceService::setInvoice(const Delta& delta)
{
    const QList<FieldDef>& fields = InvoiceLayout::invoiceFields();
    const QString layout = InvoiceLayout::compare(delta.fields, fields);
    if (!layout.isEmpty())
        throw ServiceFailure(QStringLiteral("Alterações inválidas: %1.").arg(layout));

    const qsizetype companyAt = fieldIndex(fields, QStringLiteral("CDEMPRESA"));
    const qsizetype numberAt = fieldIndex(fields, QStringLiteral("NRINVOICE"));
    const QStringList& editable = InvoiceLayout::editableFields();

    // Check the whole delta before touching the database.
    QString company;
    for (const DeltaChange& change : delta.changes) {
        if (change.op != QLatin1String("modify"))
            throw ServiceFailure(
                QStringLiteral("Operação \"%1\" não permitida nas invoices.").arg(change.op));
        if (change.old.size() != fields.size())
            throw ServiceFailure(QStringLiteral("Alterações inválidas: a linha original tem %1 "
                                                "valores, esperados %2.")
                                     .arg(change.old.size())
                                     .arg(fields.size()));
        const QString rowCompany = text(change.old.at(companyAt));
        if (company.isNull())
            company = rowCompany;
        else if (rowCompany != company)
            throw ServiceFailure(
                QStringLiteral("As alterações misturam invoices das empresas %1 e %2.")
                    .arg(company, rowCompany));
        for (const auto& [name, value] : change.set) {
            if (name == QLatin1String("IDCHECK"))
                continue;
            if (!editable.contains(name))
                throw ServiceFailure(
                    QStringLiteral("O campo %1 da Invoice %2 não pode ser alterado.")
                        .arg(name, text(change.old.at(numberAt))));
            const FieldDef& field = fields.at(fieldIndex(fields, name));
            if (field.type == FieldType::String && !value.isNull() &&
                value.toString().size() > field.size)
                throw ServiceFailure(
                    QStringLiteral("O campo %1 da Invoice %2 passa de %3 caracteres.")
                        .arg(name, text(change.old.at(numberAt)))
                        .arg(field.size));
        }
    }

    // The optimistic check compares every stored field but the key with the delta's original
    // row; the same fields for every change.
    static const QList<qsizetype> checked = [&fields] {
        QList<qsizetype> list;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString& name = fields.at(i).name;
            if (InvoiceLayout::storedFields().contains(name) &&
                name != QLatin1String("CDEMPRESA") && name != QLatin1String("NRINVOICE"))
                list.append(i);
        }
        return list;
    }();

    WriteCounter writes(options.failAfterWrites);
    Transaction transaction(db);
    int changed = 0;
    for (const DeltaChange& change : delta.changes) {
        // The changed fields, in the order of the editable fields: one statement per set of them.
        QVariantList values;
        QStringList names;
        for (const QString& name : editable) {
            for (const auto& [setName, value] : change.set) {
                if (setName == name) {
                    names.append(name);
                    values.append(stored(value, fields.at(fieldIndex(fields, name)).type));
                    break;
                }
            }
        }
        if (names.isEmpty())
            continue; // only the mark changed: nothing to store
        const QString number = text(change.old.at(numberAt));
        QString sql = QStringLiteral("UPDATE INVOICE SET ") + names.join(QStringLiteral(" = ?, ")) +
                      QStringLiteral(" = ? WHERE CDEMPRESA = ? AND NRINVOICE = ? AND "
                                     "IDGERNFINVOI <> 'S'");
        for (qsizetype at : checked)
            sql += QStringLiteral(" AND ") + fields.at(at).name +
                   QStringLiteral(" IS NOT DISTINCT FROM ?");
        values.append(company);
        values.append(number);
        for (qsizetype at : checked)
            values.append(stored(change.old.at(at), fields.at(at).type));
        const QSqlQuery& update = write(writes, sql, values, "storing invoice changes");
        if (update.numRowsAffected() == 1) {
            ++changed;
            continue;
        }
        QSqlQuery& state =
            read(QStringLiteral("SELECT IDGERNFINVOI FROM INVOICE WHERE CDEMPRESA = ? AND "
                                "NRINVOICE = ?"),
                 {company, number}, "checking an invoice");
        const bool exists = state.next();
        const bool issued = exists && state.value(0).toString() == QLatin1String("S");
        state.finish();
        if (!exists)
            throw ServiceFailure(QStringLiteral("A Invoice %1 não existe na empresa %2. Nada foi "
                                                "gravado.")
                                     .arg(number, company));
        if (issued)
            throw ServiceFailure(QStringLiteral("A Invoice %1 já tem Nota Fiscal emitida e não "
                                                "pode ser alterada. Nada foi gravado.")
                                     .arg(number));
        throw ServiceFailure(QStringLiteral("A Invoice %1 foi alterada por outro usuário. "
                                            "Atualize a lista e repita a operação. Nada foi "
                                            "gravado.")
                                 .arg(number));
    }
    transaction.commit();
    return QJsonObject{{QStringLiteral("alteradas"), changed}};
}

namespace {

void checkMode(const QString& mode)
{
    if (mode != QLatin1String("Unificada") && mode != QLatin1String("Separadas"))
        throw ServiceFailure(
            QStringLiteral("Modo de geração inválido: \"%1\" (use Unificada ou Separadas).")
                .arg(mode));
}

void checkInvoiceLayout(const QList<FieldDef>& fields)
{
    const QString layout = InvoiceLayout::compare(fields, InvoiceLayout::invoiceFields());
    if (!layout.isEmpty())
        throw ServiceFailure(QStringLiteral("Pacote de invoices inválido: %1.").arg(layout));
}

// One marked row: all marked invoices must be of one company.
void addMarked(MarkedInvoices& marked, const QString& company, const QString& number)
{
    if (marked.company.isNull())
        marked.company = company;
    else if (company != marked.company)
        throw ServiceFailure(QStringLiteral("As invoices marcadas são das empresas %1 e %2.")
                                 .arg(marked.company, company));
    marked.numbers.insert(number);
}

void requireMarks(const MarkedInvoices& marked)
{
    if (marked.numbers.empty())
        throw ServiceFailure(
            QStringLiteral("Invoice(s) deve(m) ser informado(s) para gerar Nota(s) Fiscal(is)."));
}

// The JSON type of a value's text, named as the packet reader names it.
QString jsonTypeName(QByteArrayView value)
{
    switch (value.front()) {
    case '"':
        return QStringLiteral("texto");
    case 'n':
        return QStringLiteral("null");
    case 't':
    case 'f':
        return QStringLiteral("booleano");
    case '[':
        return QStringLiteral("lista");
    case '{':
        return QStringLiteral("objeto");
    default:
        return QStringLiteral("número");
    }
}

// The text of a key or mark cell (a null QString for null), refused as the packet reader
// refuses a cell of a text field that holds no text.
QString textCell(QByteArrayView value, const QString& field, qsizetype row)
{
    if (value == "null")
        return QString();
    if (value.front() != '"')
        throw DataPacketError(QStringLiteral("Valor do tipo %1 onde se espera string (campo %2, "
                                             "linha %3).")
                                  .arg(jsonTypeName(value), field)
                                  .arg(row + 1));
    return JsonScan::stringValue(value);
}

// Walks the "rows" array of an invoice packet (the reader on it) and collects the marked
// invoices; every row is checked to be a list as wide as the layout.
MarkedInvoices scanMarkedRows(JsonReader& reader)
{
    static const QList<FieldDef>& fields = InvoiceLayout::invoiceFields();
    static const qsizetype companyAt = fieldIndex(fields, QStringLiteral("CDEMPRESA"));
    static const qsizetype numberAt = fieldIndex(fields, QStringLiteral("NRINVOICE"));
    static const qsizetype markAt = fieldIndex(fields, QStringLiteral("IDCHECK"));
    MarkedInvoices marked;
    if (reader.peek() != '[') {
        reader.skip();
        throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
    }
    reader.enterArray();
    for (qsizetype row = 0; reader.nextElement(); ++row) {
        if (reader.peek() != '[')
            throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(row + 1));
        reader.enterArray();
        QByteArrayView company, number, mark;
        qsizetype width = 0;
        for (; reader.nextElement(); ++width) {
            const QByteArrayView value = reader.skip();
            if (width == companyAt)
                company = value;
            else if (width == numberAt)
                number = value;
            else if (width == markAt)
                mark = value;
        }
        if (width != fields.size())
            throw DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                      .arg(row + 1)
                                      .arg(width)
                                      .arg(fields.size()));
        // The plain mark "S" is by far the most common marked form; any other is decoded.
        const bool isMarked =
            mark == "\"S\"" || (mark.contains('\\') &&
                                textCell(mark, fields.at(markAt).name, row) == QLatin1String("S"));
        if (!isMarked) {
            textCell(mark, fields.at(markAt).name, row);
            textCell(company, fields.at(companyAt).name, row);
            textCell(number, fields.at(numberAt).name, row);
            continue;
        }
        addMarked(marked, textCell(company, fields.at(companyAt).name, row),
                  textCell(number, fields.at(numberAt).name, row));
    }
    return marked;
}

} // namespace

MarkedInvoices InvoiceService::markedInvoices(const DataPacket& packet)
{
    checkInvoiceLayout(packet.fields);
    const int companyAt = packet.indexOf(QStringLiteral("CDEMPRESA"));
    const int numberAt = packet.indexOf(QStringLiteral("NRINVOICE"));
    const int markAt = packet.indexOf(QStringLiteral("IDCHECK"));
    MarkedInvoices marked;
    for (const Row& row : packet.rows) {
        if (text(row.value(markAt)) == QLatin1String("S"))
            addMarked(marked, text(row.value(companyAt)), text(row.value(numberAt)));
    }
    requireMarks(marked);
    return marked;
}

MarkedInvoices InvoiceService::markedInvoices(QByteArrayView packetJson)
{
    try {
        JsonReader reader(packetJson);
        if (reader.peek() != '{')
            throw DataPacketError(QStringLiteral("O pacote de dados não é um objeto JSON."));
        reader.enterObject();
        // Repeated names: the last one counts. Rows are walked where they stand when the
        // fields came first (as every writer of packets puts them), otherwise afterwards.
        std::optional<QList<FieldDef>> fields;
        std::optional<MarkedInvoices> marked;
        QByteArrayView laterRows;
        QString name;
        while (reader.nextMember(name)) {
            if (name == QLatin1String("fields")) {
                fields = DataPacket::fromJson("{\"fields\":" + reader.skip().toByteArray() +
                                              ",\"rows\":[]}")
                             .fields;
                checkInvoiceLayout(*fields);
            } else if (name == QLatin1String("rows") && fields) {
                marked = scanMarkedRows(reader);
                laterRows = QByteArrayView();
            } else if (name == QLatin1String("rows")) {
                laterRows = reader.skip();
                marked.reset();
            } else {
                reader.skip();
            }
        }
        reader.end();
        if (!fields)
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
        if (!laterRows.isNull()) {
            JsonReader rowReader(laterRows);
            marked = scanMarkedRows(rowReader);
            rowReader.end();
        }
        if (!marked)
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        requireMarks(*marked);
        return *marked;
    } catch (const JsonScanError& failure) {
        throw DataPacketError(failure.text());
    }
}

QJsonObject InvoiceService::geraNF(const DataPacket& packet, const QString& mode)
{
    checkMode(mode);
    return issueNotes(markedInvoices(packet), mode);
}

QJsonObject InvoiceService::geraNF(QByteArrayView packetJson, const QString& mode)
{
    checkMode(mode);
    return issueNotes(markedInvoices(packetJson), mode);
}

QJsonObject InvoiceService::issueNotes(const MarkedInvoices& marked, const QString& mode)
{
    const bool unified = mode == QLatin1String("Unificada");
    const QString& company = marked.company;

    struct Invoice
    {
        QString number;
        QString branch;
        QString customer;
        qint64 reais = 0;
    };
    // Notes in a fixed order: by branch and customer (one per customer) or by invoice.
    std::map<std::pair<QString, QString>, QList<Invoice>> notes;
    QJsonArray alreadyIssued;

    WriteCounter writes(options.failAfterWrites);
    Transaction transaction(db);
    QSqlQuery& invoiceRow =
        statement(QStringLiteral("SELECT CDFILIAL, CDCLIENTE, DTRECINVOICE, DTCAMBIOINVOICE, "
                                 "TOTALINVOICE, VRCAMBIOINVOICE, IDGERNFINVOI FROM INVOICE "
                                 "WHERE CDEMPRESA = ? AND NRINVOICE = ?"),
                  "reading marked invoices");
    {
        // The statement is left without a pending row on every way out.
        const std::unique_ptr<QSqlQuery, void (*)(QSqlQuery*)> done(
            &invoiceRow, [](QSqlQuery* query) { query->finish(); });
        for (const QString& number : marked.numbers) {
            bindAll(invoiceRow, {company, number});
            if (!invoiceRow.exec())
                databaseFailure(invoiceRow, "reading marked invoices");
            if (!invoiceRow.next())
                throw ServiceFailure(
                    QStringLiteral("A Invoice %1 não existe na empresa %2. Nenhuma Nota Fiscal "
                                   "foi gerada.")
                        .arg(number, company));
            if (invoiceRow.value(6).toString() == QLatin1String("S")) {
                alreadyIssued.append(number);
                continue;
            }
            if (invoiceRow.value(2).isNull())
                throw ServiceFailure(QStringLiteral("A Invoice %1 não tem Data de Recebimento. "
                                                    "Nenhuma Nota Fiscal foi gerada.")
                                         .arg(number));
            if (invoiceRow.value(3).isNull() || invoiceRow.value(5).isNull())
                throw ServiceFailure(QStringLiteral("A Invoice %1 não tem Data de Câmbio. "
                                                    "Nenhuma Nota Fiscal foi gerada.")
                                         .arg(number));
            Invoice invoice{
                number, invoiceRow.value(0).toString(), invoiceRow.value(1).toString(),
                reaisCents(invoiceRow.value(4).toDouble(), invoiceRow.value(5).toDouble())};
            const auto key = unified ? std::make_pair(invoice.branch, invoice.customer)
                                     : std::make_pair(invoice.branch, number);
            notes[key].append(invoice);
        }
    }

    // Each branch's numbers for this call are taken from its sequence at once: the next
    // number of a branch is the first of them.
    std::map<QString, qint64> notesOfBranch;
    for (const auto& [key, invoices] : notes)
        ++notesOfBranch[key.first];
    std::map<QString, qint64> nextNumber;
    for (const auto& [branch, count] : notesOfBranch) {
        QSqlQuery& take = write(writes,
                                QStringLiteral("UPDATE SEQNOTAFISC SET NRULTNOTA = NRULTNOTA + ? "
                                               "WHERE CDEMPRESA = ? AND CDFILIAL = ?"),
                                {count, company, branch}, "numbering a note");
        if (take.numRowsAffected() != 1) {
            write(writes,
                  QStringLiteral("INSERT INTO SEQNOTAFISC (CDEMPRESA, CDFILIAL, "
                                 "NRULTNOTA) VALUES (?, ?, ?)"),
                  {company, branch, count}, "numbering a note");
        }
        QSqlQuery& last =
            read(QStringLiteral("SELECT NRULTNOTA FROM SEQNOTAFISC WHERE CDEMPRESA = ? AND "
                                "CDFILIAL = ?"),
                 {company, branch}, "numbering a note");
        if (!last.next())
            databaseFailure(last, "numbering a note");
        nextNumber[branch] = last.value(0).toLongLong() - count + 1;
        last.finish();
    }

    QSqlQuery& note =
        statement(QStringLiteral("INSERT INTO NOTAFISCAL (CDEMPRESA, CDFILIAL, NRNOTAFISC, "
                                 "CDCLIENTE, DTEMISNOTA, IDMODONOTA, VRNOTACENTAVOS) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?)"),
                  "writing a note");
    QSqlQuery& link =
        statement(QStringLiteral("INSERT INTO NOTAFISCALINVOICE (CDEMPRESA, NRINVOICE, "
                                 "CDFILIAL, NRNOTAFISC, VRREAISCENTAVOS) VALUES "
                                 "(?, ?, ?, ?, ?)"),
                  "writing a note");
    QSqlQuery& flag =
        statement(QStringLiteral("UPDATE INVOICE SET IDGERNFINVOI = 'S', NRNOTAFISC = ? "
                                 "WHERE CDEMPRESA = ? AND NRINVOICE = ? AND "
                                 "IDGERNFINVOI <> 'S'"),
                  "flagging an invoice");
    const QString today = Schema::dateText(QDateTime::currentDateTime());
    QJsonArray issued;
    for (const auto& [key, invoices] : notes) {
        const QString& branch = key.first;
        const QString noteNumber =
            QStringLiteral("%1").arg(nextNumber[branch]++, 9, 10, QLatin1Char('0'));
        qint64 total = 0;
        for (const Invoice& invoice : invoices)
            total += invoice.reais;
        bindAll(note, {company, branch, noteNumber, invoices.first().customer, today, mode, total});
        writes.exec(note, "writing a note");

        QJsonArray covered;
        for (const Invoice& invoice : invoices) {
            bindAll(link, {company, invoice.number, branch, noteNumber, invoice.reais});
            writes.exec(link, "writing a note");
            bindAll(flag, {noteNumber, company, invoice.number});
            writes.exec(flag, "flagging an invoice");
            if (flag.numRowsAffected() != 1)
                throw ServiceFailure(QStringLiteral("A Nota Fiscal da Invoice %1 foi gerada por "
                                                    "outro usuário. Nada foi gravado.")
                                         .arg(invoice.number));
            covered.append(invoice.number);
        }
        issued.append(QJsonObject{{QStringLiteral("CDFILIAL"), branch},
                                  {QStringLiteral("NRNOTAFISC"), noteNumber},
                                  {QStringLiteral("CDCLIENTE"), invoices.first().customer},
                                  {QStringLiteral("VRNOTACENTAVOS"), total},
                                  {QStringLiteral("VRNOTA"), double(total) / 100},
                                  {QStringLiteral("invoices"), covered}});
    }
    transaction.commit();
    return QJsonObject{{QStringLiteral("notas"), issued},
                       {QStringLiteral("jaEmitidas"), alreadyIssued}};
}
