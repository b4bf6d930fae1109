#include "DataPacket.h"

#include "JsonWriter.h"
#include "PacketReader.h"
#include "PacketWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

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

constexpr std::pair<FieldType, const char*> typeNames[] = {
    {FieldType::String, "string"}, {FieldType::DateTime, "datetime"}, {FieldType::Float, "float"}};

// An optional member that must be of one JSON kind when present.
QJsonValue optionalMember(const QJsonObject& def, const char* name, bool (QJsonValue::*is)() const,
                          const QString& error)
{
    const QJsonValue value = def.value(QLatin1String(name));
    if (!value.isUndefined() && !value.isNull() && !(value.*is)())
        throw DataPacketError(error);
    return value;
}

FieldDef fieldDefFromJson(const QJsonValue& entry, qsizetype i)
{
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
    const std::optional<FieldType> known = fieldTypeFromName(type.toString());
    if (!known)
        throw DataPacketError(QStringLiteral("Tipo desconhecido \"%1\" no campo %2.")
                                  .arg(type.toString(), field.name));
    field.type = *known;
    const QString badSize = QStringLiteral("Tamanho inválido no campo %1.").arg(field.name);
    const QJsonValue size = optionalMember(def, "size", &QJsonValue::isDouble, badSize);
    if (size.isDouble()) {
        if (size.toDouble() < 0 || size.toDouble() != size.toInt())
            throw DataPacketError(badSize);
        field.size = size.toInt();
    }
    field.fixed =
        optionalMember(def, "fixed", &QJsonValue::isBool,
                       QStringLiteral("Indicador \"fixed\" inválido no campo %1.").arg(field.name))
            .toBool();
    return field;
}

QString where(const QString& fieldName, qsizetype row)
{
    return row < 0 ? QStringLiteral("campo %1").arg(fieldName)
                   : QStringLiteral("campo %1, linha %2").arg(fieldName).arg(row + 1);
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

Row rowFromJson(const QList<FieldDef>& fields, const QJsonValue& value, qsizetype rowIndex)
{
    if (!value.isArray())
        throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(rowIndex + 1));
    const QJsonArray array = value.toArray();
    if (array.size() != fields.size())
        throw rowWidthError(rowIndex, array.size(), fields.size());
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

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A DataPacket's rows for the packet writer.
class PacketRows final : public PacketRowSource
{
public:
    explicit PacketRows(const DataPacket& packet) : m_packet(packet) {}

    const QList<FieldDef>& fields() const override { return m_packet.fields; }
    qsizetype rowCount() const override { return m_packet.rows.size(); }
    bool next() override
    {
        if (++m_row >= m_packet.rows.size())
            return false;
        const Row& row = m_packet.rows.at(m_row);
        if (row.size() != m_packet.fields.size())
            throw rowWidthError(m_row, row.size(), m_packet.fields.size());
        return true;
    }
    void writeCell(JsonWriter& out, int column, qsizetype row) override
    {
        writeJsonValue(out, m_packet.fields.at(column), m_packet.rows.at(m_row).at(column), row);
    }

private:
    const DataPacket& m_packet;
    qsizetype m_row = -1;
};

// The packet reader's cells into a DataPacket.
class PacketFill final : public PacketSink
{
public:
    explicit PacketFill(DataPacket& packet) : m_packet(packet) {}

    void begin(const QList<FieldDef>& fields, qsizetype expectedRows) override
    {
        m_packet.fields = fields;
        m_packet.rows.clear();
        m_packet.rows.reserve(expectedRows);
    }
    void null(int) override { m_current.append(QVariant()); }
    void text(int, QString&& text) override { m_current.append(std::move(text)); }
    void number(int, double value) override { m_current.append(value); }
    void dateKey(int, qint64 key) override { m_current.append(m_dates.value(key)); }
    void endRow() override
    {
        m_packet.rows.append(std::move(m_current));
        m_current = Row();
        m_current.reserve(m_packet.fields.size());
    }

private:
    DataPacket& m_packet;
    Row m_current;
    LocalDateTime::Cache m_dates;
};

} // namespace

QString fieldTypeName(FieldType type)
{
    for (const auto& [known, name] : typeNames) {
        if (known == type)
            return QLatin1String(name);
    }
    return QString();
}

std::optional<FieldType> fieldTypeFromName(QStringView name)
{
    for (const auto& [type, known] : typeNames) {
        if (name == QLatin1String(known))
            return type;
    }
    return std::nullopt;
}

QList<FieldDef> fieldDefsFromJson(const QJsonValue& value)
{
    if (!value.isArray())
        throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
    QList<FieldDef> fields;
    const QJsonArray array = value.toArray();
    fields.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const FieldDef field = fieldDefFromJson(array.at(i), i);
        if (findFieldDef(fields, field.name))
            throw DataPacketError(QStringLiteral("Campo %1 repetido.").arg(field.name));
        fields.append(field);
    }
    return fields;
}

const FieldDef* findFieldDef(const QList<FieldDef>& fields, QStringView name)
{
    for (const FieldDef& field : fields) {
        if (field.name.compare(name, Qt::CaseInsensitive) == 0)
            return &field;
    }
    return nullptr;
}

DataPacketError rowWidthError(qsizetype row, qsizetype values, qsizetype expected)
{
    return DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                               .arg(row + 1)
                               .arg(values)
                               .arg(expected));
}

int DataPacket::indexOf(const QString& fieldName) const
{
    const FieldDef* field = findFieldDef(fields, fieldName);
    return field ? int(field - fields.constData()) : -1;
}

QByteArray DataPacket::toJson() const
{
    PacketRows rows(*this);
    return packetJson(rows);
}

DataPacket DataPacket::fromJsonObject(const QJsonObject& object)
{
    return fromJson(compact(object));
}

DataPacket DataPacket::fromJson(const QByteArray& json)
{
    DataPacket packet;
    PacketFill sink(packet);
    readPacket(json, sink);
    return packet;
}

Delta Delta::fromJsonObject(const QJsonObject& object)
{
    Delta delta;
    delta.fields = fieldDefsFromJson(object.value(QLatin1String("fields")));
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

QString invalidNumberText(const QString& fieldName, qsizetype row)
{
    return QStringLiteral("Valor numérico inválido (%1).").arg(where(fieldName, row));
}
