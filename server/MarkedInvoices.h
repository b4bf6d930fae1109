#pragma once

#include "DataPacket.h"

#include <QByteArrayView>
#include <QString>
#include <set>

// The invoices an invoice packet marks "S" for GeraNF: their company and numbers.
struct MarkedInvoices
{
    QString company;
    std::set<QString> numbers;
    bool operator==(const MarkedInvoices&) const = default;

    // The invoices a packet marks "S", all of one company and at least one, checked as GeraNF
    // checks them (ServiceFailure, DataPacketError).
    static MarkedInvoices fromPacket(const DataPacket& packet);
    // The same from the packet's JSON text, whose rows are scanned, not read: only the
    // packet's fields, the width of each row and its three key and mark cells are looked at,
    // besides the text being well-formed JSON.
    static MarkedInvoices fromJson(QByteArrayView packetJson);
};
