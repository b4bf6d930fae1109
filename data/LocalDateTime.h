#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringView>
#include <QVariant>

class JsonWriter;

// Local date-times as the packets and the record store know them.
//
// Text: "yyyy-MM-ddTHH:mm:ss", with ".zzz" when the milliseconds are not zero; a local
// wall-clock time, no zone. Years before 1 are written with their sign ("-0044-03-15...").
//
// Key: the same wall-clock time as one number, Julian day × 86,400,000 + milliseconds of
// the day. It needs no time-zone work to store or compare; keys before the Julian epoch
// (4714 BC) are negative, their day is the floor of key / 86,400,000.
namespace LocalDateTime {

inline constexpr qint64 msPerDay = 86'400'000;

struct DayTime
{
    qint64 julianDay = 0;
    int msOfDay = 0;
};

constexpr qint64 key(qint64 julianDay, int msOfDay)
{
    return julianDay * msPerDay + msOfDay;
}
constexpr DayTime split(qint64 key)
{
    qint64 day = key / msPerDay;
    qint64 ms = key % msPerDay;
    if (ms < 0) {
        ms += msPerDay;
        --day;
    }
    return {day, int(ms)};
}

// The key of a value's own date and time (whatever its zone); a valid value expected.
qint64 key(const QDateTime& value);
// The local QDateTime of a key (see fromDayAndTime).
QDateTime toDateTime(qint64 key);
QDate date(qint64 key);

// The local date-time of a calendar day and wall-clock time. Where the local clock skipped
// that time (a daylight-saving start at midnight), a plain local QDateTime would be
// invalid; the value is then given at the offset in force just before the change, so the
// day and time read back unchanged.
QDateTime fromDayAndTime(QDate date, QTime time);

// The key of a text in the packets' form (8-bit or UTF-16); false when it is not one. Other
// ISO 8601 shapes without a zone (a date alone) are read too.
bool keyFromText(QByteArrayView text, qint64& key);
bool keyFromText(QStringView text, qint64& key);
// The key of exactly "yyyy-MM-ddTHH:mm:ss" (no sign, no milliseconds, no other shape), the
// form the server stores; false for anything else.
bool keyFromSecondsText(QByteArrayView text, qint64& key);
bool keyFromSecondsText(QStringView text, qint64& key);

// The quoted text of a key, as a JSON string.
void writeJson(JsonWriter& out, qint64 key);
QString text(qint64 key);

// The QDateTime values handed out during one pass over many cells (a packet read into a
// DataPacket). A packet holds few distinct date-times in many rows, and building a local
// QDateTime is the dear part of reading one. Meant to live no longer than the pass.
class Cache
{
public:
    const QVariant& value(qint64 key);

private:
    QHash<qint64, QVariant> m_values;
};

} // namespace LocalDateTime

// The text form of a QDateTime's own date and time, and back (an invalid text or value
// gives an invalid value or an empty text).
QString dateTimeToText(const QDateTime& value);
QDateTime dateTimeFromText(const QString& text);
inline QDateTime localDateTime(QDate date, QTime time)
{
    return LocalDateTime::fromDayAndTime(date, time);
}
