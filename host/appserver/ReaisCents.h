#pragma once

#include <QList>
#include <QtGlobal>
#include <optional>

// The value in reais of the invoices a fiscal note covers, in whole cents: each invoice's
// dollars times its exchange rate, rounded to the cent on its own; the note's value is the
// sum of its invoices' values, exact to the cent.
namespace ReaisCents {

// One invoice: the amount taken to the cent and the rate to the millionth, their product
// rounded half away from zero to the cent. Empty when the amount or the rate is not a
// finite number, or the value does not fit in 64 bits of cents.
std::optional<qint64> ofInvoice(double dollars, double rate);

// The sum of invoice values in cents; empty when it does not fit in 64 bits.
std::optional<qint64> sum(const QList<qint64>& cents);

} // namespace ReaisCents
