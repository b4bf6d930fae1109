#pragma once

#include <QLocale>
#include <QString>

// Number texts in the user's regional format (QLocale(): pt-BR gives comma decimals and
// dot thousands).
//
// FormatFloat: a format of up to three sections separated by ';' — positive; negative;
// zero. In a section, '0' is a digit that is always shown, '#' a digit shown when
// significant, ',' anywhere before the decimal point asks for thousands separators, '.'
// is the decimal point, and any other character (or text quoted with ' or ") is copied as
// is. A section with no digit placeholder is copied literally ("1", " "). The negative
// section formats the absolute value; a value that rounds to zero under the section it
// falls in takes the zero section. An empty section falls back to the first. Ties round
// away from zero on the value's 15-digit decimal form.
QString FormatFloat(const QString& format, double value, const QLocale& locale = QLocale());

// The general decimal text of a double: at most 15 significant digits, no thousands
// separator, no trailing zeros, the regional decimal separator; very large or very small
// magnitudes in exponent form ("1,5E20").
QString FloatToStr(double value, const QLocale& locale = QLocale());

// Reads a number written in the regional format (thousands separators allowed, leading and
// trailing blanks ignored). Returns false when the text is not a number.
bool TryStrToFloat(const QString& text, double& value, const QLocale& locale = QLocale());

// As TryStrToFloat; throws std::invalid_argument with a pt-BR text when the text is not a
// number.
double StrToFloat(const QString& text, const QLocale& locale = QLocale());
