#pragma once

#include "DataPacket.h"

class JsonWriter;

// Where the rows of a packet come from while it is written: the record store, a DataPacket,
// or an executed query. The writer asks for the fields once, then walks the rows with
// next() and has each cell written by the source itself, so a source writes straight from
// its own storage (writeJsonValue, JsonWriter::string, LocalDateTime::writeJson).
class PacketRowSource
{
public:
    virtual ~PacketRowSource() = default;
    virtual const QList<FieldDef>& fields() const = 0;
    // Moves to the next row (the first, on the first call); false after the last.
    virtual bool next() = 0;
    // Writes cell `column` of the current row; `row` (0-based) names it in errors.
    virtual void writeCell(JsonWriter& out, int column, qsizetype row) = 0;
    // The number of rows when known beforehand, -1 otherwise: the buffer then grows once.
    virtual qsizetype rowCount() const { return -1; }
};

// The changes of a delta: next() moves to the next changed row, writeCell writes its base
// values (the delta's "old" row).
class DeltaRowSource : public PacketRowSource
{
public:
    // The next changed field of the current row, in the order they are written; false
    // after the last.
    virtual bool nextChanged(int& column) = 0;
    // Its new value.
    virtual void writeChanged(JsonWriter& out, int column) = 0;
};

// {"fields":[…],"rows":[…]}; the number of rows written.
qsizetype writePacketJson(JsonWriter& out, PacketRowSource& rows);
QByteArray packetJson(PacketRowSource& rows);
// {"fields":[…],"changes":[{"op":"modify","old":[…],"set":{…}},…]}
QByteArray deltaJson(DeltaRowSource& changes);

// A float cell; throws DataPacketError for a number that has no JSON form.
void writeJsonNumber(JsonWriter& out, const FieldDef& field, double value, qsizetype row);
