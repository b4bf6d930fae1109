#pragma once

#include "LocalDateTime.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <stdexcept>

// Data packets and deltas: the JSON form in which a whole record set, or its pending
// changes, travel between the screens and the application server. One codec, used by
// both sides.
//
//   packet: {"fields":[{"name":"NRINVOICE","type":"string","size":10,"fixed":false},...],
//            "rows":[["0001",...],...]}
//   delta:  {"fields":[...],"changes":[{"op":"modify","old":[full base row],
//                                       "set":{"FIELD":value,...}}]}
//
// Values: text as a JSON string, date-time as an ISO 8601 local date-time without zone
// ("2026-03-01T00:00:00"), float as a JSON number, null as null.

enum class FieldType { String, DateTime, Float };

struct FieldDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0;       // characters, for text fields
    bool fixed = false; // fixed-length text
    bool operator==(const FieldDef&) const = default;
};

// A cell value: an invalid (null) QVariant for null, otherwise QString, QDateTime or double.
using Row = QList<QVariant>;

// Every decoding failure: a clear text naming what is wrong (field, row, value).
class DataPacketError : public std::runtime_error
{
public:
    explicit DataPacketError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// The type names of the packets ("string", "datetime", "float"), both ways; nullopt for a
// name that is none of them.
QString fieldTypeName(FieldType type);
std::optional<FieldType> fieldTypeFromName(QStringView name);

// The field definitions of a packet's or delta's "fields" list; throws DataPacketError.
QList<FieldDef> fieldDefsFromJson(const QJsonValue& fields);
// The field called `name` (any case), or nullptr.
const FieldDef* findFieldDef(const QList<FieldDef>& fields, QStringView name);
// The error of a row with `values` cells where `expected` are due.
DataPacketError rowWidthError(qsizetype row, qsizetype values, qsizetype expected);

// Written by the packet writer and read by the packet reader (PacketWriter.h,
// PacketReader.h); the QJsonObject form is read through the same text.
struct DataPacket
{
    QList<FieldDef> fields;
    QList<Row> rows;

    int indexOf(const QString& fieldName) const; // -1 when absent
    QByteArray toJson() const;
    static DataPacket fromJsonObject(const QJsonObject& object); // throws DataPacketError
    static DataPacket fromJson(const QByteArray& json);          // throws DataPacketError
};

struct DeltaChange
{
    QString op = QStringLiteral("modify"); // the only operation there is
    Row old;                               // the full row as of the last load or merge
    QList<QPair<QString, QVariant>> set;   // the changed fields and their new values
};

// The changes of a record set as it writes them (TClientDataSet::GetDelta), read back.
struct Delta
{
    QList<FieldDef> fields;
    QList<DeltaChange> changes;

    static Delta fromJson(const QByteArray& json); // throws DataPacketError
};

class JsonWriter;

// The pieces of the JSON form, written straight into bytes (the packet writer and the
// application server's query writers share them). writeJsonValue throws DataPacketError
// for a value that has no JSON form (a float that is not finite); `row` < 0 leaves the row
// out of the message.
void writeJsonFields(JsonWriter& out, const QList<FieldDef>& fields);
void writeJsonValue(JsonWriter& out, const FieldDef& field, const QVariant& value, qsizetype row);
// The text of DataPacketError for a float that has no JSON form.
QString invalidNumberText(const QString& fieldName, qsizetype row);
