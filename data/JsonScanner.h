#pragma once

// The scanner under JsonScan and JsonReader, for the few readers that walk large texts
// token by token themselves (the packet reader): one grammar, inlined where it is used.

#include "JsonScan.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace JsonScan::detail {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when one of the eight bytes at p ends a plain run inside a string: a quote, a
// backslash, a control character or a byte from 0x80 up. (Whole-word arithmetic: a byte
// below n exists exactly when (v - n×ones) & ~v & high is not zero.)
inline bool needsLook(const char* p)
{
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 high = 0x8080808080808080ULL;
    quint64 v = 0;
    std::memcpy(&v, p, sizeof v);
    const auto hasZero = [](quint64 x) { return (x - ones) & ~x & high; };
    const quint64 control = (v - 0x20 * ones) & ~v & high;
    return ((v & high) | control | hasZero(v ^ ('"' * ones)) | hasZero(v ^ ('\\' * ones))) != 0;
}

// One pass over the text; every read checks the end first, so a truncated text is an
// error at its end, never a read past it.
class Scanner
{
public:
    explicit Scanner(QByteArrayView text)
        : m_begin(text.data()), m_p(text.data()), m_end(text.data() + text.size())
    {}

    [[noreturn]] void fail(const char* what) const
    {
        const qsizetype offset = m_p - m_begin;
        throw JsonScanError(
            QStringLiteral("JSON malformado na posição %1: %2.")
                .arg(offset)
                .arg(QString::fromUtf8(m_p >= m_end ? "fim inesperado do texto" : what)),
            offset);
    }

    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }

    const char* skipSpaceTo()
    {
        skipSpace();
        return m_p;
    }

    // The next significant character (white space skipped); fails at the end of the text.
    char peek()
    {
        skipSpace();
        if (m_p >= m_end)
            fail("");
        return *m_p;
    }

    void expect(char c, const char* what)
    {
        if (peek() != c)
            fail(what);
        ++m_p;
    }

    void value(int depth)
    {
        switch (peek()) {
        case '{':
            object(depth + 1, nullptr);
            return;
        case '[':
            array(depth + 1);
            return;
        case '"':
            string();
            return;
        case 't':
            word("true");
            return;
        case 'f':
            word("false");
            return;
        case 'n':
            word("null");
            return;
        default:
            number();
        }
    }

    // Reads an object; with `members`, records each member's name and value text, and with
    // `innerMembers` also those of the object held by the member called `inner`.
    void object(int depth, QList<JsonMember>* members, QLatin1StringView inner = {},
                QList<JsonMember>* innerMembers = nullptr)
    {
        if (depth > JsonScan::maxDepth)
            fail("aninhamento profundo demais");
        expect('{', "esperado um objeto");
        if (peek() == '}') {
            ++m_p;
            return;
        }
        for (;;) {
            if (peek() != '"')
                fail("esperado o nome de um membro");
            const char* nameBegin = m_p;
            const bool escaped = string();
            const QByteArrayView nameText(nameBegin, m_p - nameBegin);
            expect(':', "esperado ':' depois do nome do membro");
            const char* valueBegin = nullptr;
            if (members) {
                const QString name =
                    escaped ? JsonScan::parseValue(nameText).toString()
                            : QString::fromUtf8(nameText.data() + 1, nameText.size() - 2);
                const bool nested = innerMembers && name == inner;
                if (nested)
                    innerMembers->clear(); // a repeated name: the last one counts
                valueBegin = skipSpaceTo();
                if (nested && peek() == '{')
                    object(depth + 1, innerMembers);
                else
                    value(depth);
                members->append({name, QByteArrayView(valueBegin, m_p - valueBegin)});
            } else {
                value(depth);
            }
            const char next = peek();
            ++m_p;
            if (next == '}')
                return;
            if (next != ',') {
                --m_p;
                fail("esperado ',' ou '}'");
            }
        }
    }

    void array(int depth)
    {
        if (depth > JsonScan::maxDepth)
            fail("aninhamento profundo demais");
        expect('[', "esperada uma lista");
        if (peek() == ']') {
            ++m_p;
            return;
        }
        for (;;) {
            value(depth);
            const char next = peek();
            ++m_p;
            if (next == ']')
                return;
            if (next != ',') {
                --m_p;
                fail("esperado ',' ou ']'");
            }
        }
    }

    // Reads a string (m_p on its opening quote); true when it holds an escape.
    bool string()
    {
        ++m_p;
        bool escaped = false;
        for (;;) {
            // Plain ASCII characters are the bulk of a packet: eight at a time while none of
            // them needs a look, then one tight loop up to the one that does.
            while (m_end - m_p >= 8 && !needsLook(m_p))
                m_p += 8;
            while (m_p < m_end && *m_p != '"' && *m_p != '\\' && uchar(*m_p) >= 0x20 &&
                   uchar(*m_p) < 0x80)
                ++m_p;
            if (m_p >= m_end)
                fail("");
            const char c = *m_p;
            if (uchar(c) >= 0x80) {
                utf8Sequence();
                continue;
            }
            if (c == '"') {
                ++m_p;
                return escaped;
            }
            if (c != '\\')
                fail("caractere de controle dentro de um texto");
            escaped = true;
            ++m_p;
            if (m_p >= m_end)
                fail("");
            switch (*m_p) {
            case '"':
            case '\\':
            case '/':
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't':
                ++m_p;
                break;
            case 'u': {
                // A surrogate half only as the first of a pair: text with a lone half has
                // no characters to stand for and could not be written out again.
                ++m_p;
                const uint unit = hexUnit();
                if (unit >= 0xDC00 && unit <= 0xDFFF)
                    fail("metade de par substituto sem a outra (\\u)");
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    if (m_end - m_p < 2 || m_p[0] != '\\' || m_p[1] != 'u')
                        fail("metade de par substituto sem a outra (\\u)");
                    m_p += 2;
                    const uint low = hexUnit();
                    if (low < 0xDC00 || low > 0xDFFF)
                        fail("metade de par substituto sem a outra (\\u)");
                }
                break;
            }
            default:
                fail("sequência de escape inválida");
            }
        }
    }

    // The four hex digits of a \\u escape (m_p on the first), passed.
    uint hexUnit()
    {
        uint unit = 0;
        for (int i = 0; i < 4; ++i, ++m_p) {
            if (m_p >= m_end)
                fail("");
            const char h = *m_p;
            if (!isHex(h))
                fail("sequência \\u inválida");
            unit = unit << 4 | uint(isDigit(h) ? h - '0' : (h | 0x20) - 'a' + 10);
        }
        return unit;
    }

    // One multi-byte UTF-8 character (m_p on its first byte): the shortest form only, no
    // surrogate halves, nothing beyond U+10FFFF; a text the record set would otherwise
    // load with replacement characters.
    void utf8Sequence()
    {
        const uchar lead = uchar(*m_p);
        int length = 0;
        uint code = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            fail("UTF-8 inválido");
        }
        if (m_end - m_p < length)
            fail("UTF-8 inválido");
        for (int i = 1; i < length; ++i) {
            const uchar next = uchar(m_p[i]);
            if ((next & 0xC0) != 0x80)
                fail("UTF-8 inválido");
            code = (code << 6) | (next & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
            fail("UTF-8 inválido");
        m_p += length;
    }

    void word(const char* text)
    {
        for (const char* w = text; *w; ++w, ++m_p) {
            if (m_p >= m_end)
                fail("");
            if (*m_p != *w)
                fail("valor desconhecido");
        }
        if (m_p < m_end && (std::isalnum(uchar(*m_p)) || *m_p == '_'))
            fail("valor desconhecido");
    }

    void digits()
    {
        if (m_p >= m_end)
            fail("");
        if (!isDigit(*m_p))
            fail("número inválido");
        while (m_p < m_end && isDigit(*m_p))
            ++m_p;
    }

    void number()
    {
        const bool negative = *m_p == '-';
        if (negative)
            ++m_p;
        if (m_p >= m_end)
            fail("");
        if (*m_p == '0')
            ++m_p;
        else if (isDigit(*m_p))
            digits();
        else
            fail(negative ? "número inválido" : "caractere inesperado");
        if (m_p < m_end && *m_p == '.') {
            ++m_p;
            digits();
        }
        if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
            ++m_p;
            if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
                ++m_p;
            digits();
        }
        if (m_p < m_end && (std::isalnum(uchar(*m_p)) || *m_p == '.' || *m_p == '_'))
            fail("número inválido");
    }

    void end()
    {
        skipSpace();
        if (m_p != m_end)
            fail("texto a mais depois do valor");
    }

    // Typed reads of the next value: each reads nothing and returns false when the next
    // value is of another kind.
    bool readNull()
    {
        if (peek() != 'n')
            return false;
        word("null");
        return true;
    }
    // The bytes between the quotes of a string; `escaped` when they hold an escape.
    bool readString(QByteArrayView& inner, bool& escaped)
    {
        if (peek() != '"')
            return false;
        const char* begin = m_p + 1;
        escaped = string();
        inner = QByteArrayView(begin, m_p - 1 - begin);
        return true;
    }
    bool readNumber(double& value)
    {
        const char c = peek();
        if (c != '-' && !isDigit(c))
            return false;
        const char* begin = m_p;
        number();
        const auto result = std::from_chars(begin, m_p, value);
        if (result.ec != std::errc() || result.ptr != m_p)
            fail("número fora do alcance");
        return true;
    }

    const char* position() const { return m_p; }
    void advance() { ++m_p; }

private:
    const char* m_begin;
    const char* m_p;
    const char* m_end;
};

} // namespace JsonScan::detail
