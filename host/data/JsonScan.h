#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <stdexcept>

// Reads the shape of JSON text without building a tree: checks that the text is well-formed
// JSON and finds the members of an object as byte ranges of that text, so that a large
// member (a data packet of many megabytes) can be handed on as it is, and only the small
// ones are parsed.
//
// The grammar is JSON's own (RFC 8259): objects, arrays, strings with their escapes
// (\uXXXX included), numbers, true, false, null, and white space between tokens. Nesting
// deeper than maxDepth is refused instead of exhausting the stack.

// A text that is not well-formed JSON: where and what, in Portuguese.
class JsonScanError : public std::runtime_error
{
public:
    JsonScanError(const QString& text, qsizetype offset)
        : std::runtime_error(text.toStdString()), m_offset(offset)
    {}
    QString text() const { return QString::fromUtf8(what()); }
    qsizetype offset() const { return m_offset; }

private:
    qsizetype m_offset;
};

struct JsonMember
{
    QString name;         // decoded
    QByteArrayView value; // the member's value exactly as written, no surrounding space
};

namespace JsonScan {

constexpr int maxDepth = 512;

// The members of the object that is the whole text (white space around it allowed), in
// the order written; every value is checked to be well-formed. Throws JsonScanError.
QList<JsonMember> objectMembers(QByteArrayView text);

// The same, and in the same single pass the members of the object held by the member
// called `inner` (left empty when there is none or its value is no object).
QList<JsonMember> objectMembers(QByteArrayView text, QLatin1StringView inner,
                                QList<JsonMember>& innerMembers);

// The value of a member whose text objectMembers returned, parsed (small values: this
// builds a tree). Throws JsonScanError when `text` is not one JSON value.
QJsonValue parseValue(QByteArrayView text);

// The last member called `name` (JSON objects keep the last of repeated names), or
// nullptr.
const JsonMember* find(const QList<JsonMember>& members, QLatin1StringView name);

} // namespace JsonScan
