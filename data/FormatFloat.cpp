#include "FormatFloat.h"

#include <QStringList>
#include <cmath>
#include <stdexcept>

namespace {

// One section of a float format, split into its literal prefix, the number pattern and the
// literal suffix.
struct Section
{
    QString prefix;
    QString suffix;
    bool hasDigits = false;
    bool thousands = false;
    int minInt = 0;      // '0' placeholders before the point
    int minDecimals = 0; // '0' placeholders after the point
    int maxDecimals = 0; // '0' and '#' after the point
    QString literal;     // the whole section, for a section without placeholders
};

Section parseSection(const QString& text)
{
    Section section;
    section.literal = text;
    bool afterPoint = false;
    bool inNumber = false;
    bool numberDone = false;
    QChar quote;
    QString* out = &section.prefix;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out->append(c);
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            if (inNumber)
                numberDone = true;
            if (numberDone)
                out = &section.suffix;
            continue;
        }
        const bool placeholder = c == u'0' || c == u'#';
        const bool numberChar = placeholder || ((c == u',' || c == u'.') && !numberDone);
        if (numberChar && !numberDone && (placeholder || inNumber || c == u'.' || c == u',')) {
            inNumber = true;
            if (c == u'.') {
                afterPoint = true;
            } else if (c == u',') {
                if (!afterPoint)
                    section.thousands = true;
            } else {
                section.hasDigits = true;
                if (afterPoint) {
                    ++section.maxDecimals;
                    if (c == u'0')
                        section.minDecimals = section.maxDecimals;
                } else if (c == u'0') {
                    ++section.minInt;
                }
            }
            continue;
        }
        if (inNumber) {
            numberDone = true;
            out = &section.suffix;
        }
        out->append(c);
    }
    return section;
}

// Decimal digits of |value| to 15 significant digits, and the position of the decimal
// point: value = 0.d1d2d3... x 10^exponent.
void decimalDigits(double value, QString& digits, int& exponent)
{
    const QString text = QString::number(std::fabs(value), 'e', 14); // d.dddddddddddddde+xx
    const qsizetype e = text.indexOf(u'e');
    digits = text.left(1) + text.mid(2, e - 2);
    exponent = text.mid(e + 1).toInt() + 1;
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    if (digits == u"0")
        exponent = 1;
}

// Rounds |value| half away from zero to the given number of decimals, on its 15-digit
// decimal form. Returns the integer and fraction digit texts (fraction of exactly
// `decimals` digits).
void roundDecimal(double value, int decimals, QString& integerPart, QString& fraction)
{
    QString digits;
    int exponent = 0;
    decimalDigits(value, digits, exponent);
    // Place digits on a fixed grid: integer digits, then fraction digits.
    QString all;
    if (exponent <= 0) {
        all = QString(1, u'0') + QString(-exponent, u'0') + digits;
        exponent = 1;
    } else {
        all = digits;
        if (all.size() < exponent)
            all.append(QString(exponent - all.size(), u'0'));
    }
    const int keep = exponent + decimals;
    bool roundUp = false;
    if (all.size() > keep) {
        roundUp = all.at(keep) >= u'5';
        all.truncate(keep);
    }
    if (all.size() < keep)
        all.append(QString(keep - all.size(), u'0'));
    if (roundUp) {
        int i = int(all.size()) - 1;
        while (i >= 0) {
            if (all.at(i) == u'9') {
                all[i] = u'0';
                --i;
            } else {
                all[i] = QChar(all.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            all.prepend(u'1');
            ++exponent;
        }
    }
    integerPart = all.left(exponent);
    fraction = all.mid(exponent);
    while (integerPart.size() > 1 && integerPart.startsWith(u'0'))
        integerPart.remove(0, 1);
}

bool isAllZero(const QString& a, const QString& b)
{
    for (const QChar c : a)
        if (c != u'0')
            return false;
    for (const QChar c : b)
        if (c != u'0')
            return false;
    return true;
}

QString applySection(const Section& section, double absValue, const QLocale& locale)
{
    QString integerPart;
    QString fraction;
    roundDecimal(absValue, section.maxDecimals, integerPart, fraction);
    while (fraction.size() > section.minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (integerPart == u"0" && section.minInt == 0)
        integerPart.clear();
    if (integerPart.size() < section.minInt)
        integerPart.prepend(QString(section.minInt - integerPart.size(), u'0'));
    if (section.thousands && integerPart.size() > 3) {
        const QString group = locale.groupSeparator();
        for (qsizetype i = integerPart.size() - 3; i > 0; i -= 3)
            integerPart.insert(i, group);
    }
    QString number = integerPart;
    if (!fraction.isEmpty())
        number += locale.decimalPoint() + fraction;
    return section.prefix + number + section.suffix;
}

} // namespace

QString FormatFloat(const QString& format, double value, const QLocale& locale)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const QStringList texts = format.split(u';');
    QList<Section> sections;
    for (const QString& text : texts.mid(0, 3))
        sections.append(parseSection(text));
    auto sectionAt = [&](int index) -> const Section* {
        if (index >= sections.size() || (index > 0 && sections.at(index).literal.isEmpty()))
            return nullptr;
        return &sections.at(index);
    };
    if (format.isEmpty())
        return FloatToStr(value, locale);

    int index = value < 0 ? 1 : (value == 0 ? 2 : 0);
    const Section* section = sectionAt(index);
    if (!section) {
        index = 0;
        section = &sections.at(0);
    }
    if (index != 2 && section->hasDigits) {
        QString integerPart;
        QString fraction;
        roundDecimal(value, section->maxDecimals, integerPart, fraction);
        if (isAllZero(integerPart, fraction)) {
            if (const Section* zero = sectionAt(2))
                section = zero;
            else
                value = 0; // no minus sign before a zero
        }
    }
    if (!section->hasDigits)
        return section->literal;
    const QString text = applySection(*section, std::fabs(value), locale);
    // The first section serves negative values too when there is no negative section.
    if (value < 0 && section == &sections.at(0))
        return locale.negativeSign() + text;
    return text;
}

QString FloatToStr(double value, const QLocale& locale)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    QString digits;
    int exponent = 0;
    decimalDigits(value, digits, exponent);
    const QString sign = value < 0 ? locale.negativeSign() : QString();
    if (exponent > 15 || exponent < -4) {
        QString mantissa = digits.left(1);
        if (digits.size() > 1)
            mantissa += locale.decimalPoint() + digits.mid(1);
        return sign + mantissa + u'E' + QString::number(exponent - 1);
    }
    QString text;
    if (exponent <= 0) {
        text = QStringLiteral("0") + locale.decimalPoint() + QString(-exponent, u'0') + digits;
    } else if (digits.size() <= exponent) {
        text = digits + QString(exponent - digits.size(), u'0');
    } else {
        text = digits.left(exponent) + locale.decimalPoint() + digits.mid(exponent);
    }
    return sign + text;
}

bool TryStrToFloat(const QString& text, double& value, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool ok = false;
    double result = locale.toDouble(trimmed, &ok);
    if (!ok) {
        // Exponent form as FloatToStr writes it, and digits without grouping.
        QLocale plain = locale;
        plain.setNumberOptions(QLocale::RejectGroupSeparator);
        result = plain.toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(result))
        return false;
    value = result;
    return true;
}

double StrToFloat(const QString& text, const QLocale& locale)
{
    double value = 0;
    if (!TryStrToFloat(text, value, locale))
        throw std::invalid_argument(
            QStringLiteral("'%1' não é um valor numérico válido.").arg(text).toStdString());
    return value;
}
