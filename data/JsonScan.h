#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <memory>
#include <stdexcept>
#include <vector>

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

// The text of a JSON string as the scanner handed it out (quotes included), decoded; a null
// QString for any other value.
QString stringValue(QByteArrayView text);
// The characters between the quotes of a string the scanner has checked, escapes decoded.
QString decodeString(QByteArrayView inner);

namespace detail {
class Scanner;
}

} // namespace JsonScan

// Walks JSON text one member or element at a time, checking every byte it passes as
// objectMembers does, so that a caller takes only the few values it needs from a large
// text, in one pass, without a tree. A value the caller does not look into is passed over
// whole (checked) and its text handed back. Throws JsonScanError.
//
//   reader.enterObject();
//   while (reader.nextMember(name)) { … exactly one value: skip(), or enter… and walk it … }
//   reader.end();
class JsonReader
{
public:
    explicit JsonReader(QByteArrayView text);
    ~JsonReader();
    JsonReader(const JsonReader&) = delete;
    JsonReader& operator=(const JsonReader&) = delete;

    // The first character of the next value (white space skipped); fails at the end.
    char peek();
    void enterObject();
    // The next member of the innermost object entered: its name, the reader on its value;
    // false, with the object left, at its end.
    bool nextMember(QString& name);
    void enterArray();
    // True with the reader on the next element of the innermost array entered; false, with
    // the array left, at its end.
    bool nextElement();
    // The next value whole, checked; its text, no surrounding space.
    QByteArrayView skip();
    // The scanner underneath (JsonScanner.h), for a reader that walks one large value token
    // by token itself; the walk must leave it after that whole value.
    JsonScan::detail::Scanner& scanner();
    // Nothing but white space follows.
    void end();

private:
    void enter(char open, const char* what);
    bool next(char close, const char* what);

    std::unique_ptr<JsonScan::detail::Scanner> m_scanner;
    std::vector<bool> m_first; // per container entered: no element read yet
};
