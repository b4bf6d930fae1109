#include "ReaisCents.h"

#include <QtNumeric>
#include <cmath>
#include <limits>

namespace {

// An amount as integer units of 10^-digits, rounded half away from zero; empty when it is
// not finite or does not fit. The product below is taken in 128 bits, so that any two such
// units multiply exactly.
std::optional<qint64> scaled(double value, int digits)
{
    const double units = value * std::pow(10.0, digits);
    // 2^63 is exact as a double; anything below it rounds into the 64-bit range.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(units) || units >= limit || units <= -limit)
        return std::nullopt;
    return qint64(std::llround(units));
}

} // namespace

std::optional<qint64> ReaisCents::ofInvoice(double dollars, double rate)
{
    const std::optional<qint64> cents = scaled(dollars, 2);
    const std::optional<qint64> micro = scaled(rate, 6);
    if (!cents || !micro)
        return std::nullopt;
    __extension__ typedef __int128 Wide;
    const Wide product = Wide(*cents) * Wide(*micro);
    const Wide half = 500000;
    const Wide rounded = product >= 0 ? (product + half) / 1000000 : -((-product + half) / 1000000);
    if (rounded > std::numeric_limits<qint64>::max() ||
        rounded < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return qint64(rounded);
}

std::optional<qint64> ReaisCents::sum(const QList<qint64>& cents)
{
    qint64 total = 0;
    for (const qint64 value : cents) {
        if (qAddOverflow(total, value, &total))
            return std::nullopt;
    }
    return total;
}
