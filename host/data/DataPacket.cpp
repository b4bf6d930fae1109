#include "DataPacket.h"

#include "JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <cmath>

namespace {

QString typeNameOf(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("booleano");
    case QJsonValue::Double:
        return QStringLiteral("número");
    case QJsonValue::String:
        return QStringLiteral("texto");
    case QJsonValue::Array:
        return QStringLiteral("lista");
    case QJsonValue::Object:
        return QStringLiteral("objeto");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("indefinido");
}

FieldType fieldTypeFromName(const QString& name, const QString& fieldName)
{
    if (name == QLatin1String("string"))
        return FieldType::String;
    if (name == QLatin1String("datetime"))
        return FieldType::DateTime;
    if (name == QLatin1String("float"))
        return FieldType::Float;
    throw DataPacketError(
        QStringLiteral("Tipo desconhecido \"%1\" no campo %2.").arg(name, fieldName));
}

QJsonObject fieldToJson(const FieldDef& field)
{
    QJsonObject object;
    object.insert(QLatin1String("name"), field.name);
    object.insert(QLatin1String("type"), fieldTypeName(field.type));
    if (field.type == FieldType::String) {
        object.insert(QLatin1String("size"), field.size);
        object.insert(QLatin1String("fixed"), field.fixed);
    }
    return object;
}

QJsonArray fieldsToJson(const QList<FieldDef>& fields)
{
    QJsonArray array;
    for (const FieldDef& field : fields)
        array.append(fieldToJson(field));
    return array;
}

QList<FieldDef> fieldsFromJson(const QJsonObject& object)
{
    const QJsonValue fieldsValue = object.value(QLatin1String("fields"));
    if (!fieldsValue.isArray())
        throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
    QList<FieldDef> fields;
    const QJsonArray array = fieldsValue.toArray();
    fields.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue entry = array.at(i);
        if (!entry.isObject())
            throw DataPacketError(QStringLiteral("Definição de campo %1 não é um objeto.").arg(i));
        const QJsonObject def = entry.toObject();
        FieldDef field;
        const QJsonValue name = def.value(QLatin1String("name"));
        if (!name.isString() || name.toString().isEmpty())
            throw DataPacketError(QStringLiteral("Definição de campo %1 sem nome.").arg(i));
        field.name = name.toString();
        const QJsonValue type = def.value(QLatin1String("type"));
        if (!type.isString())
            throw DataPacketError(QStringLiteral("Campo %1 sem tipo.").arg(field.name));
        field.type = fieldTypeFromName(type.toString(), field.name);
        const QJsonValue size = def.value(QLatin1String("size"));
        if (!size.isUndefined() && !size.isNull()) {
            if (!size.isDouble() || size.toDouble() < 0 || size.toDouble() != size.toInt())
                throw DataPacketError(
                    QStringLiteral("Tamanho inválido no campo %1.").arg(field.name));
            field.size = size.toInt();
        }
        const QJsonValue fixed = def.value(QLatin1String("fixed"));
        if (!fixed.isUndefined() && !fixed.isNull()) {
            if (!fixed.isBool())
                throw DataPacketError(
                    QStringLiteral("Indicador \"fixed\" inválido no campo %1.").arg(field.name));
            field.fixed = fixed.toBool();
        }
        for (const FieldDef& earlier : std::as_const(fields)) {
            if (earlier.name.compare(field.name, Qt::CaseInsensitive) == 0)
                throw DataPacketError(QStringLiteral("Campo %1 repetido.").arg(field.name));
        }
        fields.append(field);
    }
    return fields;
}

QString where(const QString& fieldName, qsizetype row)
{
    return row < 0 ? QStringLiteral("campo %1").arg(fieldName)
                   : QStringLiteral("campo %1, linha %2").arg(fieldName).arg(row + 1);
}

QJsonValue valueToJson(const FieldDef& field, const QVariant& value, qsizetype row)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue(QJsonValue::Null);
    switch (field.type) {
    case FieldType::String:
        return value.toString();
    case FieldType::DateTime: {
        const QDateTime dateTime = value.toDateTime();
        if (!dateTime.isValid())
            return QJsonValue(QJsonValue::Null);
        return dateTimeToText(dateTime);
    }
    case FieldType::Float: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            throw DataPacketError(invalidNumberText(field.name, row));
        return number;
    }
    }
    return QJsonValue(QJsonValue::Null);
}

QVariant valueFromJson(const FieldDef& field, const QJsonValue& value, qsizetype row)
{
    if (value.isNull())
        return QVariant();
    switch (field.type) {
    case FieldType::String:
        if (!value.isString())
            break;
        return value.toString();
    case FieldType::DateTime: {
        if (!value.isString())
            break;
        const QDateTime dateTime = dateTimeFromText(value.toString());
        if (!dateTime.isValid())
            throw DataPacketError(QStringLiteral("Data inválida \"%1\" (%2).")
                                      .arg(value.toString(), where(field.name, row)));
        return dateTime;
    }
    case FieldType::Float:
        if (!value.isDouble())
            break;
        return value.toDouble();
    }
    throw DataPacketError(
        QStringLiteral("Valor do tipo %1 onde se espera %2 (%3).")
            .arg(typeNameOf(value), fieldTypeName(field.type), where(field.name, row)));
}

QJsonArray rowToJson(const QList<FieldDef>& fields, const Row& row, qsizetype rowIndex)
{
    if (row.size() != fields.size())
        throw DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                  .arg(rowIndex + 1)
                                  .arg(row.size())
                                  .arg(fields.size()));
    QJsonArray array;
    for (qsizetype i = 0; i < fields.size(); ++i)
        array.append(valueToJson(fields.at(i), row.at(i), rowIndex));
    return array;
}

void checkRowWidth(const QList<FieldDef>& fields, const Row& row, qsizetype rowIndex)
{
    if (row.size() != fields.size())
        throw DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                  .arg(rowIndex + 1)
                                  .arg(row.size())
                                  .arg(fields.size()));
}

void writeJsonRow(JsonWriter& out, const QList<FieldDef>& fields, const Row& row,
                  qsizetype rowIndex)
{
    checkRowWidth(fields, row, rowIndex);
    out.put('[');
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out.put(',');
        writeJsonValue(out, fields.at(i), row.at(i), rowIndex);
    }
    out.put(']');
}

Row rowFromJson(const QList<FieldDef>& fields, const QJsonValue& value, qsizetype rowIndex)
{
    if (!value.isArray())
        throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(rowIndex + 1));
    const QJsonArray array = value.toArray();
    if (array.size() != fields.size())
        throw DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                  .arg(rowIndex + 1)
                                  .arg(array.size())
                                  .arg(fields.size()));
    Row row;
    row.reserve(fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        row.append(valueFromJson(fields.at(i), array.at(i), rowIndex));
    return row;
}

QJsonObject parseObject(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw DataPacketError(QStringLiteral("JSON malformado na posição %1: %2.")
                                  .arg(error.offset)
                                  .arg(error.errorString()));
    if (!document.isObject())
        throw DataPacketError(QStringLiteral("O pacote de dados não é um objeto JSON."));
    return document.object();
}

int twoDigits(const QChar* p)
{
    const int a = p[0].unicode() - '0';
    const int b = p[1].unicode() - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9)
        return -1;
    return a * 10 + b;
}

} // namespace

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String:
        return QStringLiteral("string");
    case FieldType::DateTime:
        return QStringLiteral("datetime");
    case FieldType::Float:
        return QStringLiteral("float");
    }
    return QString();
}

int DataPacket::indexOf(const QString& fieldName) const
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QJsonObject DataPacket::toJsonObject() const
{
    QJsonArray rowArray;
    for (qsizetype r = 0; r < rows.size(); ++r)
        rowArray.append(rowToJson(fields, rows.at(r), r));
    QJsonObject object;
    object.insert(QLatin1String("fields"), fieldsToJson(fields));
    object.insert(QLatin1String("rows"), rowArray);
    return object;
}

QByteArray DataPacket::toJson() const
{
    JsonWriter out;
    out.literal("{\"fields\":");
    writeJsonFields(out, fields);
    out.literal(",\"rows\":[");
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (r > 0)
            out.put(',');
        writeJsonRow(out, fields, rows.at(r), r);
    }
    out.literal("]}");
    return out.take();
}

DataPacket DataPacket::fromJsonObject(const QJsonObject& object)
{
    DataPacket packet;
    packet.fields = fieldsFromJson(object);
    const QJsonValue rowsValue = object.value(QLatin1String("rows"));
    if (!rowsValue.isArray())
        throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
    const QJsonArray rowArray = rowsValue.toArray();
    packet.rows.reserve(rowArray.size());
    for (qsizetype r = 0; r < rowArray.size(); ++r)
        packet.rows.append(rowFromJson(packet.fields, rowArray.at(r), r));
    return packet;
}

DataPacket DataPacket::fromJson(const QByteArray& json)
{
    return fromJsonObject(parseObject(json));
}

QJsonObject Delta::toJsonObject() const
{
    QJsonArray changeArray;
    for (qsizetype c = 0; c < changes.size(); ++c) {
        const DeltaChange& change = changes.at(c);
        if (change.op != QLatin1String("modify"))
            throw DataPacketError(QStringLiteral("Operação desconhecida \"%1\".").arg(change.op));
        QJsonObject set;
        for (const auto& [name, value] : change.set) {
            const auto it = std::find_if(fields.cbegin(), fields.cend(), [&](const FieldDef& f) {
                return f.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (it == fields.cend())
                throw DataPacketError(
                    QStringLiteral("Campo desconhecido %1 na alteração %2.").arg(name).arg(c + 1));
            set.insert(it->name, valueToJson(*it, value, -1));
        }
        QJsonObject entry;
        entry.insert(QLatin1String("op"), change.op);
        entry.insert(QLatin1String("old"), rowToJson(fields, change.old, c));
        entry.insert(QLatin1String("set"), set);
        changeArray.append(entry);
    }
    QJsonObject object;
    object.insert(QLatin1String("fields"), fieldsToJson(fields));
    object.insert(QLatin1String("changes"), changeArray);
    return object;
}

QByteArray Delta::toJson() const
{
    JsonWriter out;
    out.literal("{\"fields\":");
    writeJsonFields(out, fields);
    out.literal(",\"changes\":[");
    for (qsizetype c = 0; c < changes.size(); ++c) {
        const DeltaChange& change = changes.at(c);
        if (change.op != QLatin1String("modify"))
            throw DataPacketError(QStringLiteral("Operação desconhecida \"%1\".").arg(change.op));
        if (c > 0)
            out.put(',');
        out.literal("{\"op\":\"modify\",\"old\":");
        writeJsonRow(out, fields, change.old, c);
        out.literal(",\"set\":{");
        bool first = true;
        for (const auto& [name, value] : change.set) {
            const auto it = std::find_if(fields.cbegin(), fields.cend(), [&](const FieldDef& f) {
                return f.name.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (it == fields.cend())
                throw DataPacketError(
                    QStringLiteral("Campo desconhecido %1 na alteração %2.").arg(name).arg(c + 1));
            if (!first)
                out.put(',');
            first = false;
            out.string(it->name);
            out.put(':');
            writeJsonValue(out, *it, value, -1);
        }
        out.literal("}}");
    }
    out.literal("]}");
    return out.take();
}

Delta Delta::fromJsonObject(const QJsonObject& object)
{
    Delta delta;
    delta.fields = fieldsFromJson(object);
    const QJsonValue changesValue = object.value(QLatin1String("changes"));
    if (!changesValue.isArray())
        throw DataPacketError(QStringLiteral("Delta sem a lista \"changes\"."));
    const QJsonArray changeArray = changesValue.toArray();
    delta.changes.reserve(changeArray.size());
    for (qsizetype c = 0; c < changeArray.size(); ++c) {
        if (!changeArray.at(c).isObject())
            throw DataPacketError(QStringLiteral("Alteração %1 não é um objeto.").arg(c + 1));
        const QJsonObject entry = changeArray.at(c).toObject();
        DeltaChange change;
        const QJsonValue op = entry.value(QLatin1String("op"));
        if (!op.isString() || op.toString() != QLatin1String("modify"))
            throw DataPacketError(QStringLiteral("Operação desconhecida \"%1\" na alteração %2.")
                                      .arg(op.toVariant().toString())
                                      .arg(c + 1));
        change.op = op.toString();
        const QJsonValue old = entry.value(QLatin1String("old"));
        if (!old.isArray())
            throw DataPacketError(QStringLiteral("Alteração %1 sem a linha \"old\".").arg(c + 1));
        change.old = rowFromJson(delta.fields, old, c);
        const QJsonValue setValue = entry.value(QLatin1String("set"));
        if (!setValue.isObject())
            throw DataPacketError(QStringLiteral("Alteração %1 sem o objeto \"set\".").arg(c + 1));
        const QJsonObject set = setValue.toObject();
        for (auto it = set.begin(); it != set.end(); ++it) {
            bool known = false;
            for (const FieldDef& field : std::as_const(delta.fields))
                known = known || field.name == it.key();
            if (!known)
                throw DataPacketError(QStringLiteral("Campo desconhecido %1 na alteração %2.")
                                          .arg(it.key())
                                          .arg(c + 1));
        }
        // In field order, so that a delta reads the same however its object was written.
        for (const FieldDef& field : std::as_const(delta.fields)) {
            const auto it = set.constFind(field.name);
            if (it != set.constEnd())
                change.set.append({field.name, valueFromJson(field, it.value(), -1)});
        }
        delta.changes.append(change);
    }
    return delta;
}

Delta Delta::fromJson(const QByteArray& json)
{
    return fromJsonObject(parseObject(json));
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
        if (!dateTime.isValid()) {
            out.null();
            return;
        }
        int year = 0, month = 0, day = 0;
        dateTime.date().getDate(&year, &month, &day);
        out.dateTime(year, month, day, dateTime.time().msecsSinceStartOfDay());
        return;
    }
    case FieldType::Float: {
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            throw DataPacketError(invalidNumberText(field.name, row));
        out.number(number);
        return;
    }
    }
    out.null();
}

QString invalidNumberText(const QString& fieldName, qsizetype row)
{
    return QStringLiteral("Valor numérico inválido (%1).").arg(where(fieldName, row));
}

QString dateTimeToText(const QDateTime& value)
{
    if (!value.isValid())
        return QString();
    const QTime time = value.time();
    return value.toString(time.msec() != 0 ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                           : QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QDateTime localDateTime(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    QDateTime value(date, time);
    if (value.isValid())
        return value;
    const QDateTime dayBefore(date.addDays(-1), time);
    const int offset = dayBefore.isValid() ? dayBefore.offsetFromUtc() : 0;
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

QDateTime dateTimeFromText(const QString& text)
{
    // The common shapes "yyyy-MM-ddTHH:mm:ss" and "yyyy-MM-ddTHH:mm:ss.zzz" are read by
    // hand: packets carry hundreds of thousands of them. Anything else (a date alone)
    // goes to Qt's reader, which must not find a zone: these are local date-times.
    const bool withMs = text.size() == 23 && text.at(19) == u'.';
    if ((text.size() == 19 || withMs) && text.at(4) == u'-' && text.at(7) == u'-' &&
        text.at(10) == u'T' && text.at(13) == u':' && text.at(16) == u':') {
        const QChar* p = text.constData();
        const int y1 = twoDigits(p), y2 = twoDigits(p + 2), mo = twoDigits(p + 5),
                  d = twoDigits(p + 8), h = twoDigits(p + 11), mi = twoDigits(p + 14),
                  s = twoDigits(p + 17);
        if (y1 < 0 || y2 < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0)
            return QDateTime();
        int ms = 0;
        if (withMs) {
            const int hundreds = twoDigits(p + 20), units = twoDigits(p + 21) % 10;
            if (hundreds < 0 || units < 0)
                return QDateTime();
            ms = hundreds * 10 + units;
        }
        const QDate date(y1 * 100 + y2, mo, d);
        const QTime time(h, mi, s, ms);
        if (!date.isValid() || !time.isValid())
            return QDateTime();
        return localDateTime(date, time);
    }
    if (text.size() < 10 || text.endsWith(u'Z') || text.lastIndexOf(u'+') > 9 ||
        text.lastIndexOf(u'-') > 9)
        return QDateTime();
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!parsed.isValid() || parsed.timeSpec() != Qt::LocalTime)
        return QDateTime();
    return parsed;
}
