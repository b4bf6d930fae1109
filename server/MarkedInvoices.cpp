#include "MarkedInvoices.h"

#include "InvoiceLayout.h"
#include "JsonScan.h"
#include "ServerSql.h"

#include <optional>

namespace {

void checkInvoiceLayout(const QList<FieldDef>& fields)
{
    const QString layout = InvoiceLayout::compare(fields, InvoiceLayout::invoiceFields());
    if (!layout.isEmpty())
        throw ServiceFailure(QStringLiteral("Pacote de invoices inválido: %1.").arg(layout));
}

// One marked row: all marked invoices must be of one company.
void addMarked(MarkedInvoices& marked, const QString& company, const QString& number)
{
    if (marked.company.isNull())
        marked.company = company;
    else if (company != marked.company)
        throw ServiceFailure(QStringLiteral("As invoices marcadas são das empresas %1 e %2.")
                                 .arg(marked.company, company));
    marked.numbers.insert(number);
}

void requireMarks(const MarkedInvoices& marked)
{
    if (marked.numbers.empty())
        throw ServiceFailure(
            QStringLiteral("Invoice(s) deve(m) ser informado(s) para gerar Nota(s) Fiscal(is)."));
}

// The JSON type of a value's text, named as the packet reader names it.
QString jsonTypeName(QByteArrayView value)
{
    switch (value.front()) {
    case '"':
        return QStringLiteral("texto");
    case 'n':
        return QStringLiteral("null");
    case 't':
    case 'f':
        return QStringLiteral("booleano");
    case '[':
        return QStringLiteral("lista");
    case '{':
        return QStringLiteral("objeto");
    default:
        return QStringLiteral("número");
    }
}

// The text of a key or mark cell (a null QString for null), refused as the packet reader
// refuses a cell of a text field that holds no text.
QString textCell(QByteArrayView value, const QString& field, qsizetype row)
{
    if (value == "null")
        return QString();
    if (value.front() != '"')
        throw DataPacketError(QStringLiteral("Valor do tipo %1 onde se espera string (campo %2, "
                                             "linha %3).")
                                  .arg(jsonTypeName(value), field)
                                  .arg(row + 1));
    return JsonScan::stringValue(value);
}

// Walks the "rows" array of an invoice packet (the reader on it) and collects the marked
// invoices; every row is checked to be a list as wide as the layout.
MarkedInvoices scanMarkedRows(JsonReader& reader)
{
    static const QList<FieldDef>& fields = InvoiceLayout::invoiceFields();
    static const qsizetype companyAt = InvoiceLayout::indexOf(fields, QStringLiteral("CDEMPRESA"));
    static const qsizetype numberAt = InvoiceLayout::indexOf(fields, QStringLiteral("NRINVOICE"));
    static const qsizetype markAt = InvoiceLayout::indexOf(fields, QStringLiteral("IDCHECK"));
    MarkedInvoices marked;
    if (reader.peek() != '[') {
        reader.skip();
        throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
    }
    reader.enterArray();
    for (qsizetype row = 0; reader.nextElement(); ++row) {
        if (reader.peek() != '[')
            throw DataPacketError(QStringLiteral("Linha %1 não é uma lista.").arg(row + 1));
        reader.enterArray();
        QByteArrayView company, number, mark;
        qsizetype width = 0;
        for (; reader.nextElement(); ++width) {
            const QByteArrayView value = reader.skip();
            if (width == companyAt)
                company = value;
            else if (width == numberAt)
                number = value;
            else if (width == markAt)
                mark = value;
        }
        if (width != fields.size())
            throw DataPacketError(QStringLiteral("Linha %1 tem %2 valores; esperados %3.")
                                      .arg(row + 1)
                                      .arg(width)
                                      .arg(fields.size()));
        // The plain mark "S" is by far the most common marked form; any other is decoded.
        const bool isMarked =
            mark == "\"S\"" || (mark.contains('\\') &&
                                textCell(mark, fields.at(markAt).name, row) == QLatin1String("S"));
        if (!isMarked) {
            textCell(mark, fields.at(markAt).name, row);
            textCell(company, fields.at(companyAt).name, row);
            textCell(number, fields.at(numberAt).name, row);
            continue;
        }
        addMarked(marked, textCell(company, fields.at(companyAt).name, row),
                  textCell(number, fields.at(numberAt).name, row));
    }
    return marked;
}

} // namespace

MarkedInvoices MarkedInvoices::fromPacket(const DataPacket& packet)
{
    checkInvoiceLayout(packet.fields);
    const int companyAt = packet.indexOf(QStringLiteral("CDEMPRESA"));
    const int numberAt = packet.indexOf(QStringLiteral("NRINVOICE"));
    const int markAt = packet.indexOf(QStringLiteral("IDCHECK"));
    MarkedInvoices marked;
    for (const Row& row : packet.rows) {
        if (nullableText(row.value(markAt)) == QLatin1String("S"))
            addMarked(marked, nullableText(row.value(companyAt)),
                      nullableText(row.value(numberAt)));
    }
    requireMarks(marked);
    return marked;
}

MarkedInvoices MarkedInvoices::fromJson(QByteArrayView packetJson)
{
    try {
        JsonReader reader(packetJson);
        if (reader.peek() != '{')
            throw DataPacketError(QStringLiteral("O pacote de dados não é um objeto JSON."));
        reader.enterObject();
        // Repeated names: the last one counts. Rows are walked where they stand when the
        // fields came first (as every writer of packets puts them), otherwise afterwards.
        std::optional<QList<FieldDef>> fields;
        std::optional<MarkedInvoices> marked;
        QByteArrayView laterRows;
        QString name;
        while (reader.nextMember(name)) {
            if (name == QLatin1String("fields")) {
                fields = DataPacket::fromJson("{\"fields\":" + reader.skip().toByteArray() +
                                              ",\"rows\":[]}")
                             .fields;
                checkInvoiceLayout(*fields);
            } else if (name == QLatin1String("rows") && fields) {
                marked = scanMarkedRows(reader);
                laterRows = QByteArrayView();
            } else if (name == QLatin1String("rows")) {
                laterRows = reader.skip();
                marked.reset();
            } else {
                reader.skip();
            }
        }
        reader.end();
        if (!fields)
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"fields\"."));
        if (!laterRows.isNull()) {
            JsonReader rowReader(laterRows);
            marked = scanMarkedRows(rowReader);
            rowReader.end();
        }
        if (!marked)
            throw DataPacketError(QStringLiteral("Pacote de dados sem a lista \"rows\"."));
        requireMarks(*marked);
        return *marked;
    } catch (const JsonScanError& failure) {
        throw DataPacketError(failure.text());
    }
}
