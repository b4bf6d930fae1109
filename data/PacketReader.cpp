#include "PacketReader.h"

#include "JsonScan.h"
#include "JsonScanner.h"
#include "LocalDateTime.h"

#include <vector>

using JsonScan::detail::Scanner;

namespace {

QString kindName(char first)
{
    switch (first) {
    case '"':
        return QStringLiteral("texto");
    case '[':
        return QStringLiteral("lista");
    case '{':
        return QStringLiteral("objeto");
    case 't':
    case 'f':
        return QStringLiteral("booleano");
    default:
        return QStringLiteral("número");
    }
}

QString where(const FieldDef& field, qsizetype row)
{
    return row < 0 ? QStringLiteral("campo %1").arg(field.name)
                   : QStringLiteral("campo %1, linha %2").arg(field.name).arg(row + 1);
}

// Reads the "rows" list, token by token straight on the scanner.
class RowReader
{
public:
    RowReader(Scanner& scanner, const QList<FieldDef>& fields, PacketSink& sink)
        : m_scanner(scanner), m_fields(fields), m_sink(sink),
          m_cells(scanner, fields, sink, 3) // packet object, rows, row
    {}

    void read(qsizetype textSize)
    {
        if (m_scanner.peek() != '[')
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        m_sink.begin(m_fields, textSize / 64 / qMax(1, int(m_fields.size())));
        m_cells.askSink();
        m_scanner.advance();
        if (m_scanner.peek() == ']') {
            m_scanner.advance();
            return;
        }
        for (qsizetype row = 0;; ++row) {
            m_cells.row(row);
            const char next = m_scanner.peek();
            if (next != ',' && next != ']')
                m_scanner.fail("esperado ',' ou ']'");
            m_scanner.advance();
            if (next == ']')
                return;
        }
    }

private:
    Scanner& m_scanner;
    const QList<FieldDef>& m_fields;
    PacketSink& m_sink;
    PacketCells m_cells;
};

} // namespace

PacketCells::PacketCells(Scanner& scanner, const QList<FieldDef>& fields, PacketSink& sink,
                         int depth)
    : m_scanner(scanner), m_fields(fields), m_sink(sink), m_depth(depth),
      m_taken(size_t(fields.size()), 1)
{}

void PacketCells::askSink()
{
    for (int i = 0; i < int(m_fields.size()); ++i)
        m_taken[size_t(i)] = m_sink.takes(i);
}

void PacketCells::row(qsizetype row)
{
    if (m_scanner.peek() != '[')
        throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(row + 1));
    m_scanner.advance();
    const int width = int(m_fields.size());
    for (int i = 0; i < width; ++i) {
        const char next = m_scanner.peek();
        if (next == ']')
            throw rowWidthError(row, i, width);
        if (i > 0) {
            if (next != ',')
                m_scanner.fail("esperado ',' ou ']'");
            m_scanner.advance();
        }
        cell(i, row);
    }
    endOfRow(row, width);
    m_sink.endRow();
}

// The row's closing bracket; a row with more cells than fields is counted and refused.
void PacketCells::endOfRow(qsizetype row, int width)
{
    char next = m_scanner.peek();
    if (next == ']') {
        m_scanner.advance();
        return;
    }
    qsizetype values = width;
    if (width == 0) {
        m_scanner.value(m_depth);
        values = 1;
        next = m_scanner.peek();
    }
    while (next == ',') {
        m_scanner.advance();
        m_scanner.value(m_depth);
        ++values;
        next = m_scanner.peek();
    }
    if (next != ']')
        m_scanner.fail("esperado ',' ou ']'");
    throw rowWidthError(row, values, width);
}

void PacketCells::cell(int i, qsizetype row)
{
    if (!m_taken[size_t(i)]) {
        m_scanner.value(m_depth);
        return;
    }
    if (m_scanner.readNull()) {
        m_sink.null(i);
        return;
    }
    const FieldDef& field = m_fields.at(i);
    QByteArrayView inner;
    bool escaped = false;
    switch (field.type) {
    case FieldType::String:
        if (!m_scanner.readString(inner, escaped))
            break;
        if (escaped)
            m_sink.text(i, JsonScan::decodeString(inner));
        else
            m_sink.utf8Text(i, inner);
        return;
    case FieldType::Float: {
        double number = 0;
        if (!m_scanner.readNumber(number))
            break;
        m_sink.number(i, number);
        return;
    }
    case FieldType::DateTime: {
        if (!m_scanner.readString(inner, escaped))
            break;
        qint64 key = 0;
        const QString decoded = escaped ? JsonScan::decodeString(inner) : QString();
        if (escaped ? !LocalDateTime::keyFromText(QStringView(decoded), key)
                    : !LocalDateTime::keyFromText(inner, key))
            throw DataPacketError(
                QStringLiteral("Data inválida \"%1\" (%2).")
                    .arg(escaped ? decoded : QString::fromUtf8(inner), where(field, row)));
        m_sink.dateKey(i, key);
        return;
    }
    }
    // Of another kind: checked whole first, so that malformed text is told as such.
    const char first = m_scanner.peek();
    m_scanner.value(m_depth);
    throw DataPacketError(QStringLiteral("Valor do tipo %1 onde se espera %2 (%3).")
                              .arg(kindName(first), fieldTypeName(field.type), where(field, row)));
}

void readPacket(QByteArrayView json, PacketSink& sink)
{
    try {
        JsonReader reader(json);
        if (reader.peek() != '{')
            throw DataPacketError(QStringLiteral("O pacote de dados não é um objeto JSON."));
        reader.enterObject();
        QList<FieldDef> fields;
        bool haveFields = false;
        // A repeated member counts as its last, as in any JSON object: rows read under
        // fields that came again are read once more at the end, and rows that come again
        // start the sink afresh.
        QByteArrayView rowsText;
        bool rowsRead = false;
        QString name;
        while (reader.nextMember(name)) {
            if (name == QLatin1String("fields")) {
                fields = fieldDefsFromJson(JsonScan::parseValue(reader.skip()));
                haveFields = true;
                rowsRead = false;
            } else if (name == QLatin1String("rows")) {
                Scanner& scanner = reader.scanner();
                const char* begin = scanner.skipSpaceTo();
                if (haveFields)
                    RowReader(scanner, fields, sink).read(json.size());
                else
                    reader.skip();
                rowsText = QByteArrayView(begin, scanner.position() - begin);
                rowsRead = haveFields;
            } else {
                reader.skip();
            }
        }
        reader.end();
        if (!haveFields)
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
        if (rowsText.isEmpty())
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        if (!rowsRead) {
            Scanner rows(rowsText);
            RowReader(rows, fields, sink).read(json.size());
            rows.end();
        }
    } catch (const JsonScanError& error) {
        throw DataPacketError(error.text());
    }
}
