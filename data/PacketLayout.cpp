#include "PacketLayout.h"

PacketLayout PacketLayout::bind(const QList<FieldDef>& declared,
                                const QList<FieldDef>& packetFields, int defaultTextSize)
{
    PacketLayout layout;
    layout.columns = declared;
    for (const FieldDef& field : declared) {
        const FieldDef* sent = findFieldDef(packetFields, field.name);
        if (!sent)
            throw DataPacketError(
                QStringLiteral("Campo '%1' não encontrado no pacote de dados.").arg(field.name));
        if (sent->type != field.type)
            throw DataPacketError(
                QStringLiteral("Tipo incompatível para o campo '%1': esperado %2, recebido %3.")
                    .arg(field.name, fieldTypeName(field.type), fieldTypeName(sent->type)));
    }
    layout.columnOf.reserve(packetFields.size());
    for (const FieldDef& field : packetFields) {
        const FieldDef* column = findFieldDef(layout.columns, field.name);
        if (column) {
            layout.columnOf.append(int(column - layout.columns.constData()));
            continue;
        }
        FieldDef extra = field;
        if (extra.type == FieldType::String && extra.size <= 0)
            extra.size = defaultTextSize;
        layout.columnOf.append(int(layout.columns.size()));
        layout.columns.append(extra);
    }
    return layout;
}
