#include "LocalDateTime.h"

#include "JsonWriter.h"

namespace {

template <typename Char> int twoDigits(const Char* p)
{
    const int a = int(p[0]) - '0';
    const int b = int(p[1]) - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9)
        return -1;
    return a * 10 + b;
}

enum class Shape { Other, Invalid, Read };

// "[-]yyyy-MM-ddTHH:mm:ss" and the same with ".zzz", 8-bit or UTF-16 alike: Read, Invalid
// for an impossible day or time in that shape, Other for any other shape.
template <typename Char> Shape keyFromPacketShape(const Char* p, qsizetype size, qint64& key)
{
    const bool negative = size > 0 && p[0] == '-';
    if (negative) {
        ++p;
        --size;
    }
    const bool withMs = size == 23 && p[19] == '.';
    if ((size != 19 && !withMs) || p[4] != '-' || p[7] != '-' || p[10] != 'T' || p[13] != ':' ||
        p[16] != ':')
        return Shape::Other;
    const int y1 = twoDigits(p), y2 = twoDigits(p + 2), mo = twoDigits(p + 5), d = twoDigits(p + 8),
              h = twoDigits(p + 11), mi = twoDigits(p + 14), s = twoDigits(p + 17);
    if (y1 < 0 || y2 < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0)
        return Shape::Invalid;
    int ms = 0;
    if (withMs) {
        const int hundreds = twoDigits(p + 20), units = twoDigits(p + 21) % 10;
        if (hundreds < 0 || units < 0)
            return Shape::Invalid;
        ms = hundreds * 10 + units;
    }
    const int year = y1 * 100 + y2;
    const QDate date(negative ? -year : year, mo, d);
    if (!date.isValid() || h > 23 || mi > 59 || s > 59)
        return Shape::Invalid;
    key = LocalDateTime::key(date.toJulianDay(), ((h * 60 + mi) * 60 + s) * 1000 + ms);
    return Shape::Read;
}

// Other ISO 8601 shapes (a date alone) through Qt's reader, which must find no zone: these
// are local date-times.
bool keyFromOtherShape(const QString& text, qint64& key)
{
    if (text.size() < 10 || text.endsWith(u'Z') || text.lastIndexOf(u'+') > 9 ||
        text.lastIndexOf(u'-') > 9)
        return false;
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!parsed.isValid() || parsed.timeSpec() != Qt::LocalTime)
        return false;
    key = LocalDateTime::key(parsed);
    return true;
}

} // namespace

namespace LocalDateTime {

qint64 key(const QDateTime& value)
{
    return key(value.date().toJulianDay(), value.time().msecsSinceStartOfDay());
}

QDate date(qint64 key)
{
    return QDate::fromJulianDay(split(key).julianDay);
}

QDateTime toDateTime(qint64 key)
{
    const DayTime dayTime = split(key);
    return fromDayAndTime(QDate::fromJulianDay(dayTime.julianDay),
                          QTime::fromMSecsSinceStartOfDay(dayTime.msOfDay));
}

QDateTime fromDayAndTime(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    QDateTime value(date, time);
    if (value.isValid())
        return value;
    const QDateTime dayBefore(date.addDays(-1), time);
    const int offset = dayBefore.isValid() ? dayBefore.offsetFromUtc() : 0;
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

bool keyFromSecondsText(QByteArrayView text, qint64& key)
{
    return text.size() == 19 && keyFromPacketShape(text.data(), text.size(), key) == Shape::Read;
}

bool keyFromSecondsText(QStringView text, qint64& key)
{
    return text.size() == 19 && keyFromPacketShape(text.utf16(), text.size(), key) == Shape::Read;
}

bool keyFromText(QByteArrayView text, qint64& key)
{
    const Shape shape = keyFromPacketShape(text.data(), text.size(), key);
    return shape == Shape::Read ||
           (shape == Shape::Other && keyFromOtherShape(QString::fromUtf8(text), key));
}

bool keyFromText(QStringView text, qint64& key)
{
    const Shape shape = keyFromPacketShape(text.utf16(), text.size(), key);
    return shape == Shape::Read ||
           (shape == Shape::Other && keyFromOtherShape(text.toString(), key));
}

void writeJson(JsonWriter& out, qint64 key)
{
    const DayTime dayTime = split(key);
    int year = 0, month = 0, day = 0;
    QDate::fromJulianDay(dayTime.julianDay).getDate(&year, &month, &day);
    out.dateTime(year, month, day, dayTime.msOfDay);
}

QString text(qint64 key)
{
    JsonWriter out(32);
    writeJson(out, key);
    const QByteArray quoted = out.take();
    return QString::fromLatin1(quoted.constData() + 1, quoted.size() - 2);
}

const QVariant& Cache::value(qint64 key)
{
    auto it = m_values.find(key);
    if (it == m_values.end())
        it = m_values.insert(key, toDateTime(key));
    return it.value();
}

} // namespace LocalDateTime

QString dateTimeToText(const QDateTime& value)
{
    return value.isValid() ? LocalDateTime::text(LocalDateTime::key(value)) : QString();
}

QDateTime dateTimeFromText(const QString& text)
{
    qint64 key = 0;
    return LocalDateTime::keyFromText(QStringView(text), key) ? LocalDateTime::toDateTime(key)
                                                              : QDateTime();
}
