#include "ReceiptShares.h"

#include <algorithm>

QList<qint64> ReceiptShares(qint64 paymentCents, const QList<ReceiptInvoice>& invoices)
{
    QList<qint64> shares(invoices.size(), 0);
    qint64 left = paymentCents; // runs below zero once an invoice was not covered
    qsizetype giver = -1;       // the last giving-up invoice seen
    for (qsizetype i = 0; i < invoices.size(); ++i) {
        const qint64 total = invoices.at(i).totalCents;
        if (invoices.at(i).givesUp)
            giver = i;
        if (giver >= 0 && total > left && !invoices.at(i).givesUp) {
            // What the giver holds now, with what is left (nothing, once it ran below zero).
            const qint64 available = shares.at(giver) + std::max<qint64>(left, 0);
            if (available >= total) {
                shares[giver] = available - total;
                shares[i] = total;
            } else {
                shares[giver] = 0;
                shares[i] = available;
            }
            left = 0;
            continue;
        }
        const bool shortOf = total > left;
        left = std::max<qint64>(left, 0);
        shares[i] = shortOf ? left : total;
        left -= total;
    }
    if (left > 0 && !shares.isEmpty())
        shares.last() += left;
    return shares;
}
