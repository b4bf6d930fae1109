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
    // The same from the packet's JSON text, read by the packet reader, which checks every cell
    // and hands over only the three key and mark cells of each row.
    static MarkedInvoices fromJson(QByteArrayView packetJson);
};
