#include "Money.h"

#include "FormatFloat.h"

#include <QtNumeric>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

__extension__ typedef __int128 Wide;

// `value` in units of 10^-decimals, rounded half away from zero on its 15-digit decimal
// form; empty when it is not finite or its magnitude reaches `limit`.
std::optional<qint64> scaled(double value, int decimals, Wide limit)
{
    if (!std::isfinite(value))
        return std::nullopt;
    if (value == 0)
        return 0;
    // d.dddddddddddddde±x: the mantissa's 15 digits as an integer, times 10^(x - 14).
    const QString text = QString::number(std::fabs(value), 'e', 14);
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    const Wide mantissa = QString(text.left(e)).remove(QLatin1Char('.')).toLongLong();
    const int power = text.mid(e + 1).toInt() - 14 + decimals;
    Wide units = mantissa;
    if (power >= 0) {
        for (int i = 0; i < power; ++i) {
            units *= 10;
            if (units >= limit)
                return std::nullopt;
        }
    } else if (power < -16) {
        units = 0; // below a tenth of the unit
    } else {
        Wide divisor = 1;
        for (int i = 0; i < -power; ++i)
            divisor *= 10;
        units = mantissa / divisor + (mantissa % divisor * 2 >= divisor ? 1 : 0);
    }
    if (units >= limit)
        return std::nullopt;
    return qint64(value < 0 ? -units : units);
}

constexpr Wide exactCents = Wide(1) << 53;
constexpr Wide wholeRange = Wide(std::numeric_limits<qint64>::max());

} // namespace

std::optional<Money::Cents> Money::toCents(double amount)
{
    return scaled(amount, 2, exactCents);
}

Money::Cents Money::cents(double amount)
{
    const std::optional<Cents> value = toCents(amount);
    if (!value)
        throw std::out_of_range(QStringLiteral("O valor %1 passa do limite dos valores em "
                                               "dinheiro.")
                                    .arg(FloatToStr(amount))
                                    .toStdString());
    return *value;
}

double Money::fromCents(Cents cents)
{
    return double(cents) / 100;
}

std::optional<Money::Cents> Money::fromText(const QString& text, const QLocale& locale)
{
    double value = 0;
    if (!TryStrToFloat(text, value, locale))
        return std::nullopt;
    return toCents(value);
}

std::optional<Money::Cents> Money::atRate(double dollars, double rate)
{
    const std::optional<Cents> cents = toCents(dollars);
    const std::optional<qint64> micro = scaled(rate, 6, wholeRange);
    if (!cents || !micro)
        return std::nullopt;
    const Wide product = Wide(*cents) * Wide(*micro);
    const Wide half = 500000;
    const Wide rounded = product >= 0 ? (product + half) / 1000000 : -((-product + half) / 1000000);
    if (rounded > std::numeric_limits<qint64>::max() ||
        rounded < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return qint64(rounded);
}

std::optional<Money::Cents> Money::sum(const QList<Cents>& values)
{
    Cents total = 0;
    for (const Cents value : values)
        if (qAddOverflow(total, value, &total))
            return std::nullopt;
    return total;
}
