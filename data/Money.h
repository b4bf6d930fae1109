#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <optional>

// Money counted in whole cents (reais and dollars): the one conversion between the doubles of
// the wire and of the record sets, the screen's decimal text, and cents; the value in reais of
// dollars at an exchange rate; and sums that cannot overflow unseen.
//
// An amount is taken on its 15-significant-digit decimal form (the digits a double stands
// for, as the screen shows them), so 1.005 is 1.005 and not 1.00499999…, and rounded half away
// from zero. The cents of an amount must be below 2^53 in magnitude, where a double still holds
// every cent.
namespace Money {

using Cents = qint64;

// Empty when the amount is not finite or its cents are beyond 2^53.
std::optional<Cents> toCents(double amount);
// The same; throws std::out_of_range, with a pt-BR text naming the amount, where toCents is
// empty.
Cents cents(double amount);
double fromCents(Cents cents);
// A number written in the regional format (FormatFloat's TryStrToFloat), in cents; empty when
// it is no number or out of range.
std::optional<Cents> fromText(const QString& text, const QLocale& locale = QLocale());

// Dollars at an exchange rate, in cents of reais: the dollars to the cent and the rate to the
// millionth, their product rounded half away from zero to the cent. Empty when either is not
// finite or out of range, or the value does not fit in 64 bits.
std::optional<Cents> atRate(double dollars, double rate);
// Empty when the sum does not fit in 64 bits.
std::optional<Cents> sum(const QList<Cents>& values);

} // namespace Money
