#pragma once

#include "DataPacket.h"

#include <QByteArrayView>
#include <vector>

namespace JsonScan::detail {
class Scanner;
}

// Receives a packet's cells as they are read, row by row, each row's cells in the packet's
// field order. Text arrives decoded, date-times as local date-time keys (LocalDateTime).
class PacketSink
{
public:
    virtual ~PacketSink() = default;
    // The packet's fields, before any row; `expectedRows` is a guess from the text's size.
    // May throw (a packet that does not fit the receiver).
    virtual void begin(const QList<FieldDef>& fields, qsizetype expectedRows) = 0;
    // Whether the cells of `field` are read and handed to the sink; asked once per field after
    // begin(). The cells of a field not taken are passed over, checked to be well-formed JSON
    // only, since nothing is read from them (a sink that needs three cells of a wide row).
    virtual bool takes(int /*field*/) const { return true; }
    virtual void null(int field) = 0;
    virtual void text(int field, QString&& text) = 0;
    // A text cell without escapes, as its UTF-8 bytes in the packet's text (checked, and valid
    // while the packet is read); decoded and handed to text() unless the sink takes the bytes.
    virtual void utf8Text(int field, QByteArrayView utf8) { text(field, QString::fromUtf8(utf8)); }
    virtual void number(int field, double value) = 0;
    virtual void dateKey(int field, qint64 key) = 0;
    virtual void endRow() = 0;
};

// The one reader of a data packet's JSON text: checks every byte as it goes, builds no JSON
// tree, and hands the cells to the sink. "fields" may come after "rows"; a member that
// comes twice counts as its last (begin() then comes again). Throws
// DataPacketError naming what is wrong (position, field, row, value); what the sink took
// before the error is then to be thrown away.
void readPacket(QByteArrayView json, PacketSink& sink);

// The cells of packet rows where they stand inside another JSON text (a delta's original rows
// and changed values), read straight on that text's scanner into a sink as the packet reader
// reads its own rows. `depth` is how deep a cell lies in that text. Throws DataPacketError for
// a cell that does not fit its field, JsonScanError for text that is not JSON.
class PacketCells
{
public:
    PacketCells(JsonScan::detail::Scanner& scanner, const QList<FieldDef>& fields, PacketSink& sink,
                int depth);
    // Asks the sink which fields it takes (PacketSink::takes); until then it takes all.
    void askSink();
    // A list of one cell per field, then the sink's endRow(); `row` (from 0) names it in
    // messages.
    void row(qsizetype row);
    // One cell of `field`; `row` < 0 for a value of no row.
    void cell(int field, qsizetype row);

private:
    void endOfRow(qsizetype row, int width);

    JsonScan::detail::Scanner& m_scanner;
    const QList<FieldDef>& m_fields;
    PacketSink& m_sink;
    int m_depth;
    std::vector<char> m_taken; // per field: read and handed to the sink
};
