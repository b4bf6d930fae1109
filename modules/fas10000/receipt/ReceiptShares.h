#pragma once

#include <QList>
#include <QtGlobal>

// One marked invoice as the division of a payment order sees it: its total, and whether it is
// of the kind ("6") that gives up its share to a later invoice the payment does not cover.
struct ReceiptInvoice
{
    qint64 totalCents = 0;
    bool givesUp = false;
};

// The shares of a payment order among the marked invoices, in list order, in cents.
//
// Each invoice receives the smaller of its total and what is left of the payment; once the
// money runs out the rest receive 0, and money left after the last invoice goes to that
// invoice. An invoice of another kind whose total exceeds what is left takes what it lacks
// from the last giving-up invoice before it, out of what that invoice holds at that moment
// (all of it when that is not enough).
//
// With a payment and totals that are not negative, no share is negative and the shares add
// up to the payment exactly.
QList<qint64> ReceiptShares(qint64 paymentCents, const QList<ReceiptInvoice>& invoices);
