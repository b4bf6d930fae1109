#pragma once

#include <QByteArray>
#include <QStringView>
#include <cstring>

// Writes compact JSON text straight into one growing byte buffer, for packets of hundreds
// of thousands of rows where building a QJsonObject tree first would cost more than the
// data itself. The caller writes the structure (brackets, commas, keys); the writer takes
// care of string escaping, UTF-8, numbers and local date-times.
class JsonWriter
{
public:
    explicit JsonWriter(qsizetype expectedSize = 0);

    void put(char c)
    {
        reserve(1);
        m_data[m_size++] = c;
    }
    // 8-bit text written as it is (structure, keys known to need no escaping).
    template <qsizetype N> void literal(const char (&text)[N]) { raw(text, N - 1); }
    void raw(const char* text, qsizetype size)
    {
        reserve(size);
        std::memcpy(m_data + m_size, text, size_t(size));
        m_size += size;
    }

    void null() { literal("null"); }
    void boolean(bool value) { value ? literal("true") : literal("false"); }
    // A quoted, escaped string in UTF-8. A lone surrogate becomes U+FFFD.
    void string(QStringView text);
    // The same for text already known to be well-formed UTF-8 (bytes from 0x80 up are copied).
    void utf8String(const char* text, qsizetype size);
    // The shortest text that reads back as the same double; the value must be finite.
    void number(double value);
    void integer(qint64 value);
    // A quoted local date-time "yyyy-MM-ddTHH:mm:ss", with ".zzz" when the milliseconds are
    // not zero. Written from the calendar fields alone: no time zone is involved.
    void dateTime(int year, int month, int day, int msecsOfDay);

    qsizetype size() const { return m_size; }
    // Room for `total` bytes in all, so that a large document grows once.
    void reserveTotal(qsizetype total)
    {
        if (total > m_capacity)
            grow(total - m_size);
    }
    QByteArray take();

private:
    void reserve(qsizetype extra)
    {
        if (m_size + extra > m_capacity)
            grow(extra);
    }
    void grow(qsizetype extra);

    QByteArray m_buffer;
    char* m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};
