#include "RecordStore.h"

#include "JsonWriter.h"
#include "PacketReader.h"
#include "TextPool.h"

RecordStoreFill::RecordStoreFill(RecordStore& store, const RecordStore::Bind& bind)
    : m_store(store), m_bind(bind)
{}

void RecordStoreFill::begin(const QList<FieldDef>& fields, qsizetype expectedRows)
{
    m_columnOf = m_bind(fields);
    QList<FieldDef> layoutTypes(fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        layoutTypes[m_columnOf.at(i)] = fields.at(i);
    m_store.reset(layoutTypes, expectedRows);
    m_pools = std::vector<TextPool>(size_t(fields.size()));
}

void RecordStoreFill::utf8Text(int field, QByteArrayView utf8)
{
    const int column = m_columnOf.at(field);
    m_store.appendTextAt(column, m_pools[size_t(field)].indexOf(utf8, m_store.textTable(column)));
}

void RecordStore::reset(const QList<FieldDef>& fields, qsizetype expectedRows)
{
    m_columns.clear();
    m_columns.resize(size_t(fields.size()));
    for (qsizetype i = 0; i < fields.size(); ++i) {
        Column& column = m_columns[size_t(i)];
        column.type = fields.at(i).type;
        if (column.type == FieldType::String)
            column.texts.emplace_back();
        if (expectedRows > 0) {
            column.nulls.reserve(size_t(expectedRows));
            switch (column.type) {
            case FieldType::String:
                column.textAt.reserve(size_t(expectedRows));
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
        return c.texts[c.textAt[size_t(row)]];
    case FieldType::Float:
        return c.numbers[size_t(row)];
    case FieldType::DateTime:
        return LocalDateTime::toDateTime(c.dates[size_t(row)]);
    }
    return QVariant();
}

void RecordStore::writeJson(JsonWriter& out, int row, int column, const FieldDef& field,
                            qsizetype errorRow) const
{
    const Column& c = m_columns[size_t(column)];
    const size_t r = size_t(row);
    if (c.nulls[r]) {
        out.null();
        return;
    }
    switch (c.type) {
    case FieldType::String:
        out.string(c.texts[c.textAt[r]]);
        return;
    case FieldType::Float:
        writeJsonNumber(out, field, c.numbers[r], errorRow);
        return;
    case FieldType::DateTime:
        LocalDateTime::writeJson(out, c.dates[r]);
        return;
    }
    out.null();
}

void RecordStore::setValue(int row, int column, const QVariant& value)
{
    Column& c = m_columns[size_t(column)];
    const size_t r = size_t(row);
    const bool null = !value.isValid() || value.isNull();
    c.nulls[r] = null;
    switch (c.type) {
    case FieldType::String:
        c.textAt[r] = null ? 0 : c.indexFor(value.toString());
        break;
    case FieldType::Float:
        c.numbers[r] = null ? 0.0 : value.toDouble();
        break;
    case FieldType::DateTime: {
        const QDateTime dateTime = value.toDateTime();
        c.nulls[r] = null || !dateTime.isValid();
        c.dates[r] = c.nulls[r] ? 0 : LocalDateTime::key(dateTime);
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
        c.textAt.push_back(0);
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
    c.textAt.push_back(quint32(c.texts.size()));
    c.texts.push_back(std::move(text));
}

void RecordStore::appendTextAt(int column, quint32 index)
{
    Column& c = m_columns[size_t(column)];
    c.nulls.push_back(false);
    c.textAt.push_back(index);
}

quint32 RecordStore::Column::indexFor(QString&& text)
{
    // A column of few texts (a mark, a kind) finds the edited one among them; any other
    // reuses the text it was last given (one reference on many rows) or takes a new entry.
    // Texts no row holds any more stay until the next load.
    constexpr size_t fewTexts = 16;
    if (texts.size() <= fewTexts) {
        for (size_t i = 1; i < texts.size(); ++i) {
            if (texts[i] == text)
                return quint32(i);
        }
    } else if (texts.back() == text) {
        return quint32(texts.size() - 1);
    }
    texts.push_back(std::move(text));
    return quint32(texts.size() - 1);
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

void RecordStore::loadJson(QByteArrayView json, const Bind& bind)
{
    RecordStoreFill sink(*this, bind);
    readPacket(json, sink);
}
