#pragma once

#include <QByteArrayView>
#include <QString>
#include <set>

// The invoices an invoice packet marks "S" for GeraNF: their company and numbers.
struct MarkedInvoices
{
    QString company;
    std::set<QString> numbers;
    bool operator==(const MarkedInvoices&) const = default;

    // The invoices a packet's JSON text marks "S", all of one company and at least one,
    // checked as GeraNF checks them (ServiceFailure, DataPacketError). Only the three key and
    // mark cells of each row are taken from the packet reader.
    static MarkedInvoices fromJson(QByteArrayView packetJson);
};
