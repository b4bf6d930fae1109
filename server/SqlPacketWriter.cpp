// The listings' rows straight from the database into packet bytes: through Qt SQL, or
// through SQLite's own interface on the same connection with the same text on the wire.
#include "SqlPacketWriter.h"

#include "JsonWriter.h"
#include "LocalDateTime.h"
#include "PacketWriter.h"
#include "SqliteStatement.h"

#include <QSqlDriver>
#include <QSqlError>
#include <sqlite3.h>

namespace {

// A stored date text into the packet: the stored form, "yyyy-MM-ddTHH:mm:ss", is the
// packet's own, read and written by the one local date-time unit; a value of any other
// shape is damaged and goes out as null, on both ways of reading.
template <typename Text> void writeStoredDate(JsonWriter& out, Text text)
{
    qint64 key = 0;
    if (LocalDateTime::keyFromSecondsText(text, key))
        LocalDateTime::writeJson(out, key);
    else
        out.null();
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
        if (value.typeId() == QMetaType::QDateTime) {
            writeJsonValue(out, field, value, row);
        } else if (value.typeId() == QMetaType::QString) {
            writeStoredDate(out, QStringView(*static_cast<const QString*>(value.constData())));
        } else {
            const QString text = value.toString();
            writeStoredDate(out, QStringView(text));
        }
        return;
    case FieldType::Float:
        writeJsonValue(out, field, value.toDouble(), row);
        return;
    }
    writeJsonValue(out, field, value, row);
}

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
            writeStoredDate(out, QByteArrayView(text, size));
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

// The rows of an executed Qt SQL query, as the packet writer walks them.
class QueryRows final : public PacketRowSource
{
public:
    QueryRows(QSqlQuery& query, const QList<FieldDef>& fields) : m_query(query), m_fields(fields) {}
    const QList<FieldDef>& fields() const override { return m_fields; }
    bool next() override { return m_query.next(); }
    void writeCell(JsonWriter& out, int column, qsizetype row) override
    {
        ::writeCell(out, m_query.value(column), m_fields.at(column), row);
    }

private:
    QSqlQuery& m_query;
    const QList<FieldDef>& m_fields;
};

// The rows of a prepared SQLite statement, as the packet writer walks them.
class SqliteRows final : public PacketRowSource
{
public:
    SqliteRows(SqliteStatement& statement, const QList<FieldDef>& fields)
        : m_statement(statement), m_fields(fields)
    {}
    const QList<FieldDef>& fields() const override { return m_fields; }
    bool next() override { return m_statement.step(); }
    void writeCell(JsonWriter& out, int column, qsizetype row) override
    {
        writeSqliteCell(out, m_statement.get(), column, m_fields.at(column), row);
    }

private:
    SqliteStatement& m_statement;
    const QList<FieldDef>& m_fields;
};

QByteArray writeRows(PacketRowSource& rows, qsizetype* rowCount)
{
    JsonWriter out(1 << 20);
    const qsizetype count = writePacketJson(out, rows);
    if (rowCount)
        *rowCount = count;
    return out.take();
}

} // namespace

QByteArray writePacket(QSqlQuery& query, const QList<FieldDef>& fields, qsizetype* rowCount)
{
    QueryRows rows(query, fields);
    QByteArray json = writeRows(rows, rowCount);
    if (query.lastError().isValid())
        databaseFailure(query, "reading");
    return json;
}

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

QByteArray writeSqlitePacket(sqlite3* db, const BoundSql& statement, const QList<FieldDef>& fields,
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
    SqliteRows rows(query, fields);
    return writeRows(rows, rowCount);
}
