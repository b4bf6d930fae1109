#pragma once

#include "DataPacket.h"

// Where a packet's fields land in a record set: its declared fields first, in their order,
// then the fields the packet carries besides (kept, hidden, so that they travel back).
struct PacketLayout
{
    QList<FieldDef> columns; // the record set's fields after the load
    QList<int> columnOf;     // per packet field, its column

    // Throws DataPacketError for a declared field the packet lacks or types otherwise.
    // `defaultTextSize` is given to extra text fields without a size.
    static PacketLayout bind(const QList<FieldDef>& declared, const QList<FieldDef>& packetFields,
                             int defaultTextSize);
};
