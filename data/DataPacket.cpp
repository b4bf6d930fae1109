#include "DataPacket.h"

#include "JsonScan.h"
#include "JsonScanner.h"
#include "JsonWriter.h"
#include "PacketReader.h"
#include "PacketWriter.h"
#include "TextPool.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

namespace {

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

// The packet reader's cells as record set values, for a delta's reader (take() a row, or one
// value) or into a DataPacket (every row whole); equal texts of a field share one QString.
class CellsFill final : public PacketSink
{
public:
    explicit CellsFill(qsizetype fields, DataPacket* packet = nullptr) : m_packet(packet)
    {
        resetPools(fields);
    }
    void begin(const QList<FieldDef>& fields, qsizetype expectedRows) override
    {
        resetPools(fields.size());
        if (m_packet) {
            m_packet->fields = fields;
            m_packet->rows.clear();
            m_packet->rows.reserve(expectedRows);
        }
    }
    void null(int) override { m_values.append(QVariant()); }
    void text(int, QString&& text) override { m_values.append(std::move(text)); }
    void utf8Text(int field, QByteArrayView utf8) override
    {
        std::vector<QString>& texts = m_texts[size_t(field)];
        m_values.append(texts[m_pools[size_t(field)].indexOf(utf8, texts)]);
    }
    void number(int, double value) override { m_values.append(value); }
    void dateKey(int, qint64 key) override { m_values.append(m_dates.value(key)); }
    void endRow() override
    {
        if (m_packet)
            m_packet->rows.append(take());
    }
    Row take() { return std::exchange(m_values, Row()); }

private:
    void resetPools(qsizetype fields)
    {
        m_pools = std::vector<TextPool>(size_t(fields));
        m_texts = std::vector<std::vector<QString>>(size_t(fields));
    }

    DataPacket* m_packet;
    Row m_values;
    LocalDateTime::Cache m_dates;
    std::vector<TextPool> m_pools;
    std::vector<std::vector<QString>> m_texts;
};

constexpr int deltaCellDepth = 4; // delta, changes, change, original row or changed values

// One element of a delta's "changes" list, at the reader; `c` (from 0) names it in messages.
// `values` is kept over the whole delta (it keeps the date-times it made).
DeltaChange changeFromJson(JsonReader& reader, const QList<FieldDef>& fields, CellsFill& values,
                           qsizetype c)
{
    if (reader.peek() != '{')
        throw DataPacketError(QStringLiteral("Alteração %1 não é um objeto.").arg(c + 1));
    PacketCells cells(reader.scanner(), fields, values, deltaCellDepth);
    DeltaChange change;
    QByteArrayView op;
    bool haveOld = false;
    bool haveSet = false;
    std::vector<std::optional<QVariant>> set(size_t(fields.size()));
    reader.enterObject();
    QString name;
    while (reader.nextMember(name)) {
        if (name == QLatin1String("op")) {
            op = reader.skip();
        } else if (name == QLatin1String("old") && reader.peek() == '[') {
            cells.row(c);
            change.old = values.take();
            haveOld = true;
        } else if (name == QLatin1String("set") && reader.peek() == '{') {
            // A member that comes again counts as its last, as in any JSON object.
            std::fill(set.begin(), set.end(), std::nullopt);
            reader.enterObject();
            QString fieldName;
            while (reader.nextMember(fieldName)) {
                const FieldDef* field = findFieldDef(fields, fieldName);
                if (!field || field->name != fieldName)
                    throw DataPacketError(QStringLiteral("Campo desconhecido %1 na alteração %2.")
                                              .arg(fieldName)
                                              .arg(c + 1));
                const int at = int(field - fields.constData());
                cells.cell(at, -1);
                set[size_t(at)] = values.take().constFirst();
            }
            haveSet = true;
        } else {
            reader.skip();
            haveOld = haveOld && name != QLatin1String("old");
            haveSet = haveSet && name != QLatin1String("set");
        }
    }
    const QString opText = JsonScan::stringValue(op);
    if (opText != QLatin1String("modify"))
        throw DataPacketError(QStringLiteral("Operação desconhecida \"%1\" na alteração %2.")
                                  .arg(opText.isNull() ? QString::fromUtf8(op) : opText)
                                  .arg(c + 1));
    change.op = opText;
    if (!haveOld)
        throw DataPacketError(QStringLiteral("Alteração %1 sem a linha \"old\".").arg(c + 1));
    if (!haveSet)
        throw DataPacketError(QStringLiteral("Alteração %1 sem o objeto \"set\".").arg(c + 1));
    // In field order, so that a delta reads the same however its object was written.
    for (size_t i = 0; i < set.size(); ++i) {
        if (set[i])
            change.set.append({fields.at(qsizetype(i)).name, std::move(*set[i])});
    }
    return change;
}

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
    CellsFill sink(0, &packet);
    readPacket(json, sink);
    return packet;
}

// The "changes" list at the reader, under the delta's fields.
void readChanges(JsonReader& reader, Delta& delta)
{
    if (reader.peek() != '[')
        throw DataPacketError(QStringLiteral("Delta sem a lista \"changes\"."));
    delta.changes.clear();
    CellsFill values(delta.fields.size());
    reader.enterArray();
    for (qsizetype c = 0; reader.nextElement(); ++c)
        delta.changes.append(changeFromJson(reader, delta.fields, values, c));
}

Delta Delta::fromJson(const QByteArray& json)
{
    // Read straight from the text, without a JSON tree: a receipt of many thousand invoices
    // sends a delta of as many full rows. "fields" may come after "changes"; a member that
    // comes twice counts as its last.
    try {
        Delta delta;
        JsonReader reader(json);
        reader.enterObject();
        bool haveFields = false;
        QByteArrayView changesText;
        bool changesRead = false;
        QString name;
        while (reader.nextMember(name)) {
            if (name == QLatin1String("fields")) {
                delta.fields = fieldDefsFromJson(JsonScan::parseValue(reader.skip()));
                haveFields = true;
                changesRead = false;
            } else if (name == QLatin1String("changes")) {
                const char* begin = reader.scanner().skipSpaceTo();
                if (haveFields)
                    readChanges(reader, delta);
                else
                    reader.skip();
                changesText = QByteArrayView(begin, reader.scanner().position() - begin);
                changesRead = haveFields;
            } else {
                reader.skip();
            }
        }
        reader.end();
        if (!haveFields)
            delta.fields = fieldDefsFromJson(QJsonValue()); // refused: no field list
        if (changesText.isEmpty())
            throw DataPacketError(QStringLiteral("Delta sem a lista \"changes\"."));
        if (!changesRead) {
            JsonReader changes(changesText);
            readChanges(changes, delta);
            changes.end();
        }
        return delta;
    } catch (const JsonScanError& error) {
        throw DataPacketError(error.text());
    }
}

QString invalidNumberText(const QString& fieldName, qsizetype row)
{
    return QStringLiteral("Valor numérico inválido (%1).").arg(where(fieldName, row));
}
