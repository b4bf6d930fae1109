#include "JsonWriter.h"

#include <charconv>

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

// One ASCII character of a JSON string, escaped where JSON asks for it.
char* ascii(char* out, char c)
{
    if (c >= 0x20 && c != '"' && c != '\\') {
        *out++ = c;
        return out;
    }
    *out++ = '\\';
    switch (c) {
    case '"':
    case '\\':
        *out++ = c;
        break;
    case '\b':
        *out++ = 'b';
        break;
    case '\f':
        *out++ = 'f';
        break;
    case '\n':
        *out++ = 'n';
        break;
    case '\r':
        *out++ = 'r';
        break;
    case '\t':
        *out++ = 't';
        break;
    default:
        *out++ = 'u';
        *out++ = '0';
        *out++ = '0';
        *out++ = hexDigits[(unsigned char)c >> 4];
        *out++ = hexDigits[c & 0xF];
        break;
    }
    return out;
}

char* twoDigits(char* out, int value)
{
    out[0] = char('0' + value / 10);
    out[1] = char('0' + value % 10);
    return out + 2;
}

} // namespace

JsonWriter::JsonWriter(qsizetype expectedSize)
{
    if (expectedSize > 0)
        grow(expectedSize);
}

void JsonWriter::grow(qsizetype extra)
{
    const qsizetype capacity = std::max(m_size + extra, std::max<qsizetype>(256, m_capacity * 2));
    m_buffer.resize(capacity);
    m_data = m_buffer.data();
    m_capacity = capacity;
}

QByteArray JsonWriter::take()
{
    m_buffer.resize(m_size);
    m_data = nullptr;
    m_size = m_capacity = 0;
    return std::move(m_buffer);
}

void JsonWriter::string(QStringView text)
{
    // Worst case per UTF-16 unit: a control character as \u00XX (6 bytes).
    reserve(text.size() * 6 + 2);
    char* out = m_data + m_size;
    *out++ = '"';
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const char16_t c = *p++;
        if (c < 0x80) {
            out = ascii(out, char(c));
        } else if (c < 0x800) {
            *out++ = char(0xC0 | (c >> 6));
            *out++ = char(0x80 | (c & 0x3F));
        } else if (c >= 0xD800 && c < 0xDC00 && p < end && *p >= 0xDC00 && *p < 0xE000) {
            const char32_t code =
                0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(*p++) - 0xDC00);
            *out++ = char(0xF0 | (code >> 18));
            *out++ = char(0x80 | ((code >> 12) & 0x3F));
            *out++ = char(0x80 | ((code >> 6) & 0x3F));
            *out++ = char(0x80 | (code & 0x3F));
        } else {
            const char16_t unit = c >= 0xD800 && c < 0xE000 ? char16_t(0xFFFD) : c;
            *out++ = char(0xE0 | (unit >> 12));
            *out++ = char(0x80 | ((unit >> 6) & 0x3F));
            *out++ = char(0x80 | (unit & 0x3F));
        }
    }
    *out++ = '"';
    m_size = out - m_data;
}

void JsonWriter::utf8String(const char* text, qsizetype size)
{
    reserve(size * 6 + 2);
    char* out = m_data + m_size;
    *out++ = '"';
    for (const char* p = text; p < text + size; ++p) {
        if ((unsigned char)*p >= 0x80)
            *out++ = *p;
        else
            out = ascii(out, *p);
    }
    *out++ = '"';
    m_size = out - m_data;
}

void JsonWriter::number(double value)
{
    reserve(32);
    const auto result = std::to_chars(m_data + m_size, m_data + m_capacity, value);
    m_size = result.ptr - m_data;
}

void JsonWriter::integer(qint64 value)
{
    reserve(24);
    const auto result = std::to_chars(m_data + m_size, m_data + m_capacity, value);
    m_size = result.ptr - m_data;
}

void JsonWriter::dateTime(int year, int month, int day, int msecsOfDay)
{
    reserve(32);
    char* out = m_data + m_size;
    *out++ = '"';
    if (year < 0) {
        // Before year 1: the sign, then four digits as for any other year.
        *out++ = '-';
        year = -year;
    }
    if (year > 9999) {
        out = std::to_chars(out, out + 8, year).ptr;
    } else {
        out = twoDigits(out, year / 100);
        out = twoDigits(out, year % 100);
    }
    *out++ = '-';
    out = twoDigits(out, month);
    *out++ = '-';
    out = twoDigits(out, day);
    *out++ = 'T';
    const int ms = msecsOfDay % 1000;
    const int seconds = msecsOfDay / 1000;
    out = twoDigits(out, seconds / 3600);
    *out++ = ':';
    out = twoDigits(out, seconds / 60 % 60);
    *out++ = ':';
    out = twoDigits(out, seconds % 60);
    if (ms != 0) {
        *out++ = '.';
        *out++ = char('0' + ms / 100);
        out = twoDigits(out, ms % 100);
    }
    *out++ = '"';
    m_size = out - m_data;
}
