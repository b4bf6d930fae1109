#include "PacketWriter.h"

#include "JsonWriter.h"
#include "LocalDateTime.h"

#include <cmath>

namespace {

void writeRow(JsonWriter& out, PacketRowSource& rows, int width, qsizetype row)
{
    out.put('[');
    for (int c = 0; c < width; ++c) {
        if (c > 0)
            out.put(',');
        rows.writeCell(out, c, row);
    }
    out.put(']');
}

// After the first rows, room for the rest judged by them, so that a large document grows
// once.
constexpr qsizetype sampleRows = 64;

void reserveForRest(JsonWriter& out, qsizetype header, qsizetype rowCount)
{
    if (rowCount > sampleRows)
        out.reserveTotal(header + (out.size() - header) / sampleRows * rowCount * 9 / 8);
}

} // namespace

qsizetype writePacketJson(JsonWriter& out, PacketRowSource& rows)
{
    out.literal("{\"fields\":");
    writeJsonFields(out, rows.fields());
    out.literal(",\"rows\":[");
    const qsizetype header = out.size();
    const int width = int(rows.fields().size());
    qsizetype row = 0;
    while (rows.next()) {
        if (row > 0)
            out.put(',');
        writeRow(out, rows, width, row);
        if (++row == sampleRows)
            reserveForRest(out, header, rows.rowCount());
    }
    out.literal("]}");
    return row;
}

QByteArray packetJson(PacketRowSource& rows)
{
    JsonWriter out;
    writePacketJson(out, rows);
    return out.take();
}

QByteArray deltaJson(DeltaRowSource& changes)
{
    JsonWriter out;
    out.literal("{\"fields\":");
    const QList<FieldDef>& fields = changes.fields();
    writeJsonFields(out, fields);
    out.literal(",\"changes\":[");
    const qsizetype header = out.size();
    const int width = int(fields.size());
    qsizetype index = 0;
    while (changes.next()) {
        if (index > 0)
            out.put(',');
        out.literal("{\"op\":\"modify\",\"old\":");
        writeRow(out, changes, width, index);
        out.literal(",\"set\":{");
        int column = 0;
        for (bool first = true; changes.nextChanged(column); first = false) {
            if (!first)
                out.put(',');
            out.string(fields.at(column).name);
            out.put(':');
            changes.writeChanged(out, column);
        }
        out.literal("}}");
        if (++index == sampleRows)
            reserveForRest(out, header, changes.rowCount());
    }
    out.literal("]}");
    return out.take();
}

void writeJsonFields(JsonWriter& out, const QList<FieldDef>& fields)
{
    out.put('[');
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const FieldDef& field = fields.at(i);
        if (i > 0)
            out.put(',');
        out.literal("{\"name\":");
        out.string(field.name);
        switch (field.type) {
        case FieldType::String:
            out.literal(",\"type\":\"string\",\"size\":");
            out.integer(field.size);
            out.literal(",\"fixed\":");
            out.boolean(field.fixed);
            break;
        case FieldType::DateTime:
            out.literal(",\"type\":\"datetime\"");
            break;
        case FieldType::Float:
            out.literal(",\"type\":\"float\"");
            break;
        }
        out.put('}');
    }
    out.put(']');
}

void writeJsonNumber(JsonWriter& out, const FieldDef& field, double value, qsizetype row)
{
    if (!std::isfinite(value))
        throw DataPacketError(invalidNumberText(field.name, row));
    out.number(value);
}

void writeJsonValue(JsonWriter& out, const FieldDef& field, const QVariant& value, qsizetype row)
{
    if (!value.isValid() || value.isNull()) {
        out.null();
        return;
    }
    switch (field.type) {
    case FieldType::String:
        if (value.typeId() == QMetaType::QString)
            out.string(*static_cast<const QString*>(value.constData()));
        else
            out.string(value.toString());
        return;
    case FieldType::DateTime: {
        const QDateTime dateTime = value.toDateTime();
        if (dateTime.isValid())
            LocalDateTime::writeJson(out, LocalDateTime::key(dateTime));
        else
            out.null();
        return;
    }
    case FieldType::Float: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            throw DataPacketError(invalidNumberText(field.name, row));
        writeJsonNumber(out, field, number, row);
        return;
    }
    }
    out.null();
}
