#pragma once

#include "DataPacket.h"
#include "PacketReader.h"
#include "PacketWriter.h"
#include "TextPool.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

class JsonWriter;

// Column-oriented storage of a record set's rows: one typed vector per field and a null
// flag per cell, so that loading is a sequence of appends and reading a cell is O(1).
// Date-times are kept as local date-time keys (LocalDateTime), which need no time-zone
// work to store or compare. A text cell is an index into its column's table of texts, where
// a text repeated over many rows is held once.
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
        const Column& c = m_columns[size_t(column)];
        return c.texts[c.textAt[size_t(row)]];
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
    // The cell as JSON (null, string, number or local date-time text); `field` and
    // `errorRow` name it when a float has no JSON form (DataPacketError).
    void writeJson(JsonWriter& out, int row, int column, const FieldDef& field,
                   qsizetype errorRow) const;
    void setValue(int row, int column, const QVariant& value);

    // Loading: one append per cell, columns in order, then endRow.
    void appendNull(int column);
    void appendText(int column, QString&& text);
    // A text of the column's table (an index that textTable() returned or grew it by).
    void appendTextAt(int column, quint32 index);
    std::vector<QString>& textTable(int column) { return m_columns[size_t(column)].texts; }
    void appendNumber(int column, double number);
    void appendDateKey(int column, qint64 key);
    void endRow() { ++m_rows; }

    // Fills the store from a packet's JSON text through the packet reader. `bind` maps each
    // packet field to its column (and throws the caller's own errors for a packet that does
    // not fit). Throws DataPacketError; the store is then to be thrown away.
    using Bind = std::function<QList<int>(const QList<FieldDef>& packetFields)>;
    void loadJson(QByteArrayView json, const Bind& bind);

private:
    struct Column
    {
        FieldType type = FieldType::String;
        std::vector<quint32> textAt; // per row: its text in `texts`
        std::vector<QString> texts;  // the column's texts; [0] is the null text
        std::vector<double> numbers;
        std::vector<qint64> dates;
        std::vector<bool> nulls;

        // The entry in `texts` for an edited cell's text.
        quint32 indexFor(QString&& text);
    };
    std::vector<Column> m_columns;
    int m_rows = 0;
};

// A packet reader's cells appended to a store (what loadJson reads through), equal texts of a
// column held once. `bind` as for loadJson; it must outlive the fill.
class RecordStoreFill final : public PacketSink
{
public:
    RecordStoreFill(RecordStore& store, const RecordStore::Bind& bind);
    void begin(const QList<FieldDef>& fields, qsizetype expectedRows) override;
    void null(int field) override { m_store.appendNull(m_columnOf.at(field)); }
    void text(int field, QString&& text) override
    {
        m_store.appendText(m_columnOf.at(field), std::move(text));
    }
    void utf8Text(int field, QByteArrayView utf8) override;
    void number(int field, double value) override
    {
        m_store.appendNumber(m_columnOf.at(field), value);
    }
    void dateKey(int field, qint64 key) override
    {
        m_store.appendDateKey(m_columnOf.at(field), key);
    }
    void endRow() override { m_store.endRow(); }

private:
    RecordStore& m_store;
    const RecordStore::Bind& m_bind;
    QList<int> m_columnOf;
    std::vector<TextPool> m_pools; // per packet field
};

// The stored rows, under the given fields (one per column), for the packet writer.
class RecordStoreRows final : public PacketRowSource
{
public:
    RecordStoreRows(const RecordStore& store, QList<FieldDef> fields)
        : m_store(store), m_fields(std::move(fields))
    {}
    const QList<FieldDef>& fields() const override { return m_fields; }
    qsizetype rowCount() const override { return m_store.rowCount(); }
    bool next() override { return ++m_row < m_store.rowCount(); }
    void writeCell(JsonWriter& out, int column, qsizetype row) override
    {
        m_store.writeJson(out, m_row, column, m_fields.at(column), row);
    }

private:
    const RecordStore& m_store;
    QList<FieldDef> m_fields;
    int m_row = -1;
};
