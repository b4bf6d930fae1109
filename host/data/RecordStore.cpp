#include "RecordStore.h"

#include "JsonWriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <charconv>
#include <cmath>

namespace {

constexpr qint64 msPerDay = 86400000;

int digits2(const char* p)
{
    const int a = p[0] - '0';
    const int b = p[1] - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9)
        return -1;
    return a * 10 + b;
}

// "yyyy-MM-ddTHH:mm:ss" in 8-bit text.
bool dateKeyFromAscii(const char* p, qint64& key)
{
    if (p[4] != '-' || p[7] != '-' || p[10] != 'T' || p[13] != ':' || p[16] != ':')
        return false;
    const int y1 = digits2(p), y2 = digits2(p + 2), mo = digits2(p + 5), d = digits2(p + 8),
              h = digits2(p + 11), mi = digits2(p + 14), s = digits2(p + 17);
    if (y1 < 0 || y2 < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0)
        return false;
    const QDate date(y1 * 100 + y2, mo, d);
    if (!date.isValid() || h > 23 || mi > 59 || s > 59)
        return false;
    key = date.toJulianDay() * msPerDay + ((h * 60 + mi) * 60 + s) * 1000;
    return true;
}

// While one packet loads, equal texts of a column share one QString: a column holds few
// distinct values in many rows (company, branch, product, the invoice number of its items),
// so there is far less to allocate now and to free when the rows are replaced. Keyed by the
// text's bytes in the packet, which outlives the load.
class TextPool
{
public:
    QString text(const char* utf8, qsizetype size)
    {
        const QByteArrayView key(utf8, size);
        if (m_haveLast && key == m_lastKey)
            return m_last; // runs of one value (the items of one invoice)
        const auto it = m_texts.constFind(key);
        QString value;
        if (it != m_texts.cend()) {
            value = it.value();
        } else {
            value = QString::fromUtf8(key);
            if (m_texts.size() < maxDistinct)
                m_texts.insert(key, value);
        }
        m_haveLast = true;
        m_lastKey = key;
        m_last = value;
        return value;
    }

private:
    // A column of (nearly) unique texts stops growing the pool here.
    static constexpr qsizetype maxDistinct = 4096;
    QHash<QByteArrayView, QString> m_texts;
    QByteArrayView m_lastKey;
    QString m_last;
    bool m_haveLast = false;
};

// A minimal reader of JSON bytes for the packet's fast path. Any surprise makes it give up
// (returns false); the general path then reads the packet and reports the precise error.
class FastReader
{
public:
    FastReader(const char* begin, const char* end) : m_p(begin), m_end(end) {}

    void skipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }
    bool consume(char c)
    {
        skipSpace();
        if (m_p < m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }
    bool peek(char c)
    {
        skipSpace();
        return m_p < m_end && *m_p == c;
    }
    const char* pos() const { return m_p; }
    bool atEnd()
    {
        skipSpace();
        return m_p == m_end;
    }

    bool readString(QString& out)
    {
        if (!consume('"'))
            return false;
        const char* start = m_p;
        while (m_p < m_end && *m_p != '"' && *m_p != '\\' && uchar(*m_p) >= 0x20)
            ++m_p;
        if (m_p < m_end && *m_p == '"') {
            out = QString::fromUtf8(start, m_p - start);
            ++m_p;
            return true;
        }
        QByteArray buffer(start, m_p - start);
        while (m_p < m_end && *m_p != '"') {
            const char c = *m_p++;
            if (uchar(c) < 0x20)
                return false;
            if (c != '\\') {
                buffer.append(c);
                continue;
            }
            if (m_p >= m_end)
                return false;
            const char e = *m_p++;
            switch (e) {
            case '"':
            case '\\':
            case '/':
                buffer.append(e);
                break;
            case 'b':
                buffer.append('\b');
                break;
            case 'f':
                buffer.append('\f');
                break;
            case 'n':
                buffer.append('\n');
                break;
            case 'r':
                buffer.append('\r');
                break;
            case 't':
                buffer.append('\t');
                break;
            case 'u': {
                uint code = 0;
                if (!readHex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00) {
                    uint low = 0;
                    if (m_end - m_p < 6 || m_p[0] != '\\' || m_p[1] != 'u')
                        return false;
                    m_p += 2;
                    if (!readHex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    return false;
                }
                const char32_t c32 = code;
                buffer.append(QString::fromUcs4(&c32, 1).toUtf8());
                break;
            }
            default:
                return false;
            }
        }
        if (m_p >= m_end)
            return false;
        ++m_p;
        out = QString::fromUtf8(buffer);
        return true;
    }

    // A string without escapes comes from the pool; any other is decoded on its own.
    bool readString(QString& out, TextPool& pool)
    {
        skipSpace();
        if (m_p >= m_end || *m_p != '"')
            return false;
        const char* start = m_p + 1;
        const char* p = start;
        while (p < m_end && *p != '"' && *p != '\\' && uchar(*p) >= 0x20)
            ++p;
        if (p < m_end && *p == '"') {
            out = pool.text(start, p - start);
            m_p = p + 1;
            return true;
        }
        return readString(out);
    }

    // A string whose bytes are returned raw (no escapes): for date texts.
    bool readRawString(const char*& begin, qsizetype& size)
    {
        if (!consume('"'))
            return false;
        begin = m_p;
        while (m_p < m_end && *m_p != '"' && *m_p != '\\')
            ++m_p;
        if (m_p >= m_end || *m_p != '"')
            return false;
        size = m_p - begin;
        ++m_p;
        return true;
    }

    bool readNumber(double& value)
    {
        skipSpace();
        const char* start = m_p;
        if (m_p < m_end && *m_p == '-')
            ++m_p;
        while (m_p < m_end && ((*m_p >= '0' && *m_p <= '9') || *m_p == '.' || *m_p == 'e' ||
                               *m_p == 'E' || *m_p == '+' || *m_p == '-'))
            ++m_p;
        if (start == m_p)
            return false;
        const auto result = std::from_chars(start, m_p, value);
        return result.ec == std::errc() && result.ptr == m_p;
    }

    bool readNull()
    {
        skipSpace();
        if (m_end - m_p >= 4 && m_p[0] == 'n' && m_p[1] == 'u' && m_p[2] == 'l' && m_p[3] == 'l') {
            m_p += 4;
            return true;
        }
        return false;
    }

    // Skips one value of any kind; false on malformed input.
    bool skipValue(int depth = 0)
    {
        if (depth > 64)
            return false;
        skipSpace();
        if (m_p >= m_end)
            return false;
        const char c = *m_p;
        if (c == '"') {
            QString ignored;
            return readString(ignored);
        }
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++m_p;
            if (consume(close))
                return true;
            do {
                if (c == '{') {
                    QString key;
                    if (!readString(key) || !consume(':'))
                        return false;
                }
                if (!skipValue(depth + 1))
                    return false;
            } while (consume(','));
            return consume(close);
        }
        if (c == 't' || c == 'f' || c == 'n') {
            const char* word = c == 't' ? "true" : (c == 'f' ? "false" : "null");
            const qsizetype length = qsizetype(qstrlen(word));
            if (m_end - m_p < length || qstrncmp(m_p, word, length) != 0)
                return false;
            m_p += length;
            return true;
        }
        double ignored = 0;
        return readNumber(ignored);
    }

private:
    bool readHex4(uint& code)
    {
        if (m_end - m_p < 4)
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = *m_p++;
            code <<= 4;
            if (h >= '0' && h <= '9')
                code |= uint(h - '0');
            else if (h >= 'a' && h <= 'f')
                code |= uint(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                code |= uint(h - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    const char* m_p;
    const char* m_end;
};

} // namespace

void RecordStore::reset(const QList<FieldDef>& fields, qsizetype expectedRows)
{
    m_columns.clear();
    m_columns.resize(size_t(fields.size()));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        Column& column = m_columns[size_t(i)];
        column.type = fields.at(i).type;
        if (expectedRows > 0) {
            column.nulls.reserve(size_t(expectedRows));
            switch (column.type) {
            case FieldType::String:
                column.texts.reserve(size_t(expectedRows));
                break;
            case FieldType::Float:
                column.numbers.reserve(size_t(expectedRows));
                break;
            case FieldType::DateTime:
                column.dates.reserve(size_t(expectedRows));
                break;
            }
        }
    }
    m_rows = 0;
}

QVariant RecordStore::value(int row, int column) const
{
    const Column& c = m_columns[size_t(column)];
    if (c.nulls[size_t(row)])
        return QVariant();
    switch (c.type) {
    case FieldType::String:
        return c.texts[size_t(row)];
    case FieldType::Float:
        return c.numbers[size_t(row)];
    case FieldType::DateTime:
        return dateFromKey(c.dates[size_t(row)]);
    }
    return QVariant();
}

QVariant RecordStore::value(int row, int column, DateCache& dates) const
{
    const Column& c = m_columns[size_t(column)];
    if (c.type == FieldType::DateTime && !c.nulls[size_t(row)])
        return dates.value(c.dates[size_t(row)]);
    return value(row, column);
}

bool RecordStore::writeJson(JsonWriter& out, int row, int column) const
{
    const Column& c = m_columns[size_t(column)];
    const size_t r = size_t(row);
    if (c.nulls[r]) {
        out.null();
        return true;
    }
    switch (c.type) {
    case FieldType::String:
        out.string(c.texts[r]);
        return true;
    case FieldType::Float:
        if (!std::isfinite(c.numbers[r]))
            return false;
        out.number(c.numbers[r]);
        return true;
    case FieldType::DateTime:
        writeDateKey(out, c.dates[r]);
        return true;
    }
    out.null();
    return true;
}

void RecordStore::writeDateKey(JsonWriter& out, qint64 key)
{
    qint64 day = key / msPerDay;
    qint64 ms = key % msPerDay;
    if (ms < 0) {
        ms += msPerDay;
        --day;
    }
    int year = 0, month = 0, dayOfMonth = 0;
    QDate::fromJulianDay(day).getDate(&year, &month, &dayOfMonth);
    out.dateTime(year, month, dayOfMonth, int(ms));
}

const QVariant& DateCache::value(qint64 key)
{
    auto it = m_values.find(key);
    if (it == m_values.end())
        it = m_values.insert(key, RecordStore::dateFromKey(key));
    return it.value();
}

void RecordStore::setValue(int row, int column, const QVariant& value)
{
    Column& c = m_columns[size_t(column)];
    const size_t r = size_t(row);
    const bool null = !value.isValid() || value.isNull();
    c.nulls[r] = null;
    switch (c.type) {
    case FieldType::String:
        c.texts[r] = null ? QString() : value.toString();
        break;
    case FieldType::Float:
        c.numbers[r] = null ? 0.0 : value.toDouble();
        break;
    case FieldType::DateTime: {
        const QDateTime dateTime = value.toDateTime();
        c.nulls[r] = null || !dateTime.isValid();
        c.dates[r] = c.nulls[r] ? 0 : dateKey(dateTime);
        break;
    }
    }
}

void RecordStore::appendNull(int column)
{
    Column& c = m_columns[size_t(column)];
    c.nulls.push_back(true);
    switch (c.type) {
    case FieldType::String:
        c.texts.emplace_back();
        break;
    case FieldType::Float:
        c.numbers.push_back(0.0);
        break;
    case FieldType::DateTime:
        c.dates.push_back(0);
        break;
    }
}

void RecordStore::appendText(int column, QString&& text)
{
    Column& c = m_columns[size_t(column)];
    c.nulls.push_back(false);
    c.texts.push_back(std::move(text));
}

void RecordStore::appendNumber(int column, double number)
{
    Column& c = m_columns[size_t(column)];
    c.nulls.push_back(false);
    c.numbers.push_back(number);
}

void RecordStore::appendDateKey(int column, qint64 key)
{
    Column& c = m_columns[size_t(column)];
    c.nulls.push_back(false);
    c.dates.push_back(key);
}

qint64 RecordStore::dateKey(const QDateTime& value)
{
    return value.date().toJulianDay() * msPerDay + value.time().msecsSinceStartOfDay();
}

QDateTime RecordStore::dateFromKey(qint64 key)
{
    qint64 day = key / msPerDay;
    qint64 ms = key % msPerDay;
    if (ms < 0) {
        ms += msPerDay;
        --day;
    }
    return localDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

bool RecordStore::parseDateKey(const QChar* text, qsizetype size, qint64& key)
{
    const QDateTime value = dateTimeFromText(QString(text, size));
    if (!value.isValid())
        return false;
    key = dateKey(value);
    return true;
}

void RecordStore::loadRows(const QJsonArray& rows, const QList<FieldDef>& packetFields,
                           const QList<int>& columnOf)
{
    const qsizetype width = packetFields.size();
    QList<int> packetIndexOf(width);
    for (qsizetype i = 0; i < width; ++i)
        packetIndexOf[columnOf.at(i)] = int(i);
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const QJsonValue rowValue = rows.at(r);
        if (!rowValue.isArray())
            throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(r + 1));
        const QJsonArray row = rowValue.toArray();
        if (row.size() != width)
            throw DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                      .arg(r + 1)
                                      .arg(row.size())
                                      .arg(width));
        // Values are appended in column order, whatever the packet's field order.
        for (int column = 0; column < int(width); ++column) {
            const int packetIndex = packetIndexOf.at(column);
            const QJsonValue value = row.at(packetIndex);
            const FieldDef& field = packetFields.at(packetIndex);
            if (value.isNull()) {
                appendNull(column);
                continue;
            }
            bool ok = false;
            switch (field.type) {
            case FieldType::String:
                if ((ok = value.isString()))
                    appendText(column, value.toString());
                break;
            case FieldType::Float:
                if ((ok = value.isDouble()))
                    appendNumber(column, value.toDouble());
                break;
            case FieldType::DateTime:
                if (value.isString()) {
                    const QString text = value.toString();
                    qint64 key = 0;
                    if (!parseDateKey(text.constData(), text.size(), key))
                        throw DataPacketError(
                            QStringLiteral("Data inválida \"%1\" (campo %2, linha %3).")
                                .arg(text, field.name)
                                .arg(r + 1));
                    appendDateKey(column, key);
                    ok = true;
                }
                break;
            }
            if (!ok)
                throw DataPacketError(
                    QStringLiteral("Valor do tipo errado onde se espera %1 (campo %2, linha %3).")
                        .arg(fieldTypeName(field.type), field.name)
                        .arg(r + 1));
        }
        endRow();
    }
}

bool RecordStore::loadJson(const QByteArray& json, QList<FieldDef>& packetFields,
                           const std::function<QList<int>(const QList<FieldDef>&)>& bind)
{
    FastReader reader(json.constData(), json.constData() + json.size());
    if (!reader.consume('{'))
        return false;
    bool haveFields = false;
    bool haveRows = false;
    do {
        QString key;
        if (!reader.readString(key) || !reader.consume(':'))
            return false;
        if (key == QLatin1String("fields")) {
            const char* start = reader.pos();
            if (!reader.skipValue())
                return false;
            const QByteArray wrapped =
                "{\"rows\":[],\"fields\":" + QByteArray(start, reader.pos() - start) + '}';
            packetFields = DataPacket::fromJson(wrapped).fields; // precise errors
            haveFields = true;
        } else if (key == QLatin1String("rows")) {
            if (!haveFields)
                return false;
            // bind throws the record set's own binding errors (missing or mistyped field).
            const QList<int> columnOf = bind(packetFields);
            QList<FieldDef> layoutTypes(packetFields.size());
            for (qsizetype i = 0; i < packetFields.size(); ++i)
                layoutTypes[columnOf.at(i)] = packetFields.at(i);
            reset(layoutTypes, json.size() / 64 / qMax<qsizetype>(1, packetFields.size()));
            const int width = int(packetFields.size());
            std::vector<TextPool> pools(static_cast<size_t>(width));
            if (!reader.consume('['))
                return false;
            if (!reader.consume(']')) {
                do {
                    if (!reader.consume('['))
                        return false;
                    for (int i = 0; i < width; ++i) {
                        if (i > 0 && !reader.consume(','))
                            return false;
                        const int column = columnOf.at(i);
                        if (reader.readNull()) {
                            appendNull(column);
                            continue;
                        }
                        switch (packetFields.at(i).type) {
                        case FieldType::String: {
                            QString text;
                            if (!reader.readString(text, pools[size_t(i)]))
                                return false;
                            appendText(column, std::move(text));
                            break;
                        }
                        case FieldType::Float: {
                            double number = 0;
                            if (!reader.readNumber(number))
                                return false;
                            appendNumber(column, number);
                            break;
                        }
                        case FieldType::DateTime: {
                            const char* text = nullptr;
                            qsizetype size = 0;
                            if (!reader.readRawString(text, size))
                                return false;
                            qint64 key = 0;
                            if (size == 19) {
                                if (!dateKeyFromAscii(text, key))
                                    return false;
                            } else {
                                const QString decoded = QString::fromUtf8(text, size);
                                if (!parseDateKey(decoded.constData(), decoded.size(), key))
                                    return false;
                            }
                            appendDateKey(column, key);
                            break;
                        }
                        }
                    }
                    if (!reader.consume(']'))
                        return false;
                    endRow();
                } while (reader.consume(','));
                if (!reader.consume(']'))
                    return false;
            }
            haveRows = true;
        } else if (!reader.skipValue()) {
            return false;
        }
    } while (reader.consume(','));
    return reader.consume('}') && reader.atEnd() && haveFields && haveRows;
}
