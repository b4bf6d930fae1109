#include "JsonScan.h"
#include "JsonScanner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <cctype>
#include <cstring>

using JsonScan::detail::isDigit;
using JsonScan::detail::Scanner;

namespace JsonScan {

QList<JsonMember> objectMembers(QByteArrayView text)
{
    Scanner scanner(text);
    QList<JsonMember> members;
    scanner.object(1, &members);
    scanner.end();
    return members;
}

QList<JsonMember> objectMembers(QByteArrayView text, QLatin1StringView inner,
                                QList<JsonMember>& innerMembers)
{
    Scanner scanner(text);
    QList<JsonMember> members;
    innerMembers.clear();
    scanner.object(1, &members, inner, &innerMembers);
    scanner.end();
    return members;
}

QJsonValue parseValue(QByteArrayView text)
{
    {
        Scanner scanner(text);
        scanner.value(0);
        scanner.end();
    }
    // Qt reads arrays and objects only: the value goes inside one.
    QByteArray wrapped;
    wrapped.reserve(text.size() + 2);
    wrapped.append('[').append(text).append(']');
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError)
        throw JsonScanError(QStringLiteral("JSON malformado na posição %1: %2.")
                                .arg(qMax(0, error.offset - 1))
                                .arg(error.errorString()),
                            qMax(0, error.offset - 1));
    return document.array().at(0);
}

const JsonMember* find(const QList<JsonMember>& members, QLatin1StringView name)
{
    for (qsizetype i = members.size() - 1; i >= 0; --i) {
        if (members.at(i).name == name)
            return &members.at(i);
    }
    return nullptr;
}

} // namespace JsonScan

JsonReader::JsonReader(QByteArrayView text) : m_scanner(std::make_unique<Scanner>(text)) {}

JsonReader::~JsonReader() = default;

char JsonReader::peek()
{
    return m_scanner->peek();
}

void JsonReader::enter(char open, const char* what)
{
    if (int(m_first.size()) + 1 > JsonScan::maxDepth)
        m_scanner->fail("aninhamento profundo demais");
    m_scanner->expect(open, what);
    m_first.push_back(true);
}

bool JsonReader::next(char close, const char* what)
{
    const char c = m_scanner->peek();
    if (m_first.back()) {
        m_first.back() = false;
    } else if (c == ',') {
        m_scanner->advance();
        return true;
    } else if (c != close) {
        m_scanner->fail(what);
    }
    if (c != close)
        return true;
    m_scanner->advance();
    m_first.pop_back();
    return false;
}

void JsonReader::enterObject()
{
    enter('{', "esperado um objeto");
}

bool JsonReader::nextMember(QString& name)
{
    if (!next('}', "esperado ',' ou '}'"))
        return false;
    if (m_scanner->peek() != '"')
        m_scanner->fail("esperado o nome de um membro");
    name = JsonScan::stringValue(skip());
    m_scanner->expect(':', "esperado ':' depois do nome do membro");
    return true;
}

void JsonReader::enterArray()
{
    enter('[', "esperada uma lista");
}

bool JsonReader::nextElement()
{
    return next(']', "esperado ',' ou ']'");
}

QByteArrayView JsonReader::skip()
{
    const char* begin = m_scanner->skipSpaceTo();
    m_scanner->value(int(m_first.size()));
    return QByteArrayView(begin, m_scanner->position() - begin);
}

void JsonReader::end()
{
    m_scanner->end();
}

JsonScan::detail::Scanner& JsonReader::scanner()
{
    return *m_scanner;
}

namespace JsonScan {

QString stringValue(QByteArrayView text)
{
    if (text.size() < 2 || text.front() != '"')
        return QString();
    const QByteArrayView inner = text.sliced(1, text.size() - 2);
    if (!inner.contains('\\'))
        return QString::fromUtf8(inner);
    return decodeString(inner);
}

QString decodeString(QByteArrayView inner)
{
    QString out;
    out.reserve(inner.size());
    const char* p = inner.data();
    const char* const end = p + inner.size();
    while (p < end) {
        const char* run = p;
        while (p < end && *p != '\\')
            ++p;
        out.append(QString::fromUtf8(run, p - run));
        if (end - p < 2)
            break;
        const char escape = p[1];
        p += 2;
        switch (escape) {
        case 'b':
            out.append(u'\b');
            break;
        case 'f':
            out.append(u'\f');
            break;
        case 'n':
            out.append(u'\n');
            break;
        case 'r':
            out.append(u'\r');
            break;
        case 't':
            out.append(u'\t');
            break;
        case 'u': {
            // Four hex digits, checked by the scanner; a surrogate pair comes as two.
            char16_t unit = 0;
            for (int i = 0; i < 4 && p < end; ++i, ++p) {
                const char h = *p;
                unit = char16_t(unit << 4);
                unit |= char16_t(isDigit(h) ? h - '0' : (h | 0x20) - 'a' + 10);
            }
            out.append(QChar(unit));
            break;
        }
        default: // " \ /
            out.append(QLatin1Char(escape));
        }
    }
    return out;
}

} // namespace JsonScan
