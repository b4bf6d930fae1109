#pragma once

#include "DataPacket.h"

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

class JsonWriter;

// The date-time values handed out during one pass over a store (GetData, GetDelta). A
// packet holds few distinct date-times in many rows, and building a local QDateTime is
// the dear part of reading one. Keyed by the whole stored key, so a cached value is
// exactly what RecordStore::dateFromKey gives for it, daylight-saving changes included.
// Meant to live no longer than the pass.
class DateCache
{
public:
    const QVariant& value(qint64 key);

private:
    QHash<qint64, QVariant> m_values;
};

// Column-oriented storage of a record set's rows: one typed vector per field and a null
// flag per cell, so that loading is a sequence of appends and reading a cell is O(1).
// Date-times are kept as local wall-clock milliseconds (Julian day x 86400000 + time of
// day), which needs no time-zone work to store or compare.
class RecordStore
{
public:
    void reset(const QList<FieldDef>& fields, qsizetype expectedRows = 0);
    int rowCount() const { return m_rows; }
    int columnCount() const { return int(m_columns.size()); }
    FieldType type(int column) const { return m_columns[size_t(column)].type; }

    bool isNull(int row, int column) const { return m_columns[size_t(column)].nulls[size_t(row)]; }
    const QString& text(int row, int column) const
    {
        return m_columns[size_t(column)].texts[size_t(row)];
    }
    double number(int row, int column) const
    {
        return m_columns[size_t(column)].numbers[size_t(row)];
    }
    qint64 dateKeyAt(int row, int column) const
    {
        return m_columns[size_t(column)].dates[size_t(row)];
    }
    QVariant value(int row, int column) const;
    QVariant value(int row, int column, DateCache& dates) const;
    // The cell as JSON (null, string, number or local date-time text). False, with
    // nothing written, for a float that is not finite: it has no JSON form.
    bool writeJson(JsonWriter& out, int row, int column) const;
    // A stored date key as the quoted local date-time text of the packets.
    static void writeDateKey(JsonWriter& out, qint64 key);
    void setValue(int row, int column, const QVariant& value);

    // Loading: one append per cell, columns in order, then endRow.
    void appendNull(int column);
    void appendText(int column, QString&& text);
    void appendNumber(int column, double number);
    void appendDateKey(int column, qint64 key);
    void endRow() { ++m_rows; }

    static qint64 dateKey(const QDateTime& value);
    static QDateTime dateFromKey(qint64 key);
    // The date key of an ISO local date-time text; false when the text is not one.
    static bool parseDateKey(const QChar* text, qsizetype size, qint64& key);

    // Fills the store from a packet's "rows" array; `columnOf` maps each packet field to
    // its column. Throws DataPacketError naming the row and field of a bad value.
    void loadRows(const QJsonArray& rows, const QList<FieldDef>& packetFields,
                  const QList<int>& columnOf);
    // Fills the store straight from the packet's JSON bytes when its shape allows
    // ("fields" before "rows"); returns false (and leaves nothing half-read that matters)
    // when the caller must take the general path instead.
    bool loadJson(const QByteArray& json, QList<FieldDef>& packetFields,
                  const std::function<QList<int>(const QList<FieldDef>&)>& bind);

private:
    struct Column
    {
        FieldType type = FieldType::String;
        std::vector<QString> texts;
        std::vector<double> numbers;
        std::vector<qint64> dates;
        std::vector<bool> nulls;
    };
    std::vector<Column> m_columns;
    int m_rows = 0;
};
