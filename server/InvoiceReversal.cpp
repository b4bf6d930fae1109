#include "InvoiceReversal.h"

#include "InvoiceLayout.h"

#include <QVariantList>

namespace {

// A history text back as the database keeps the field (dates are kept as text).
QVariant storedValue(const QString& field, const QVariant& text)
{
    const qsizetype at = InvoiceLayout::indexOf(InvoiceLayout::invoiceFields(), field);
    const bool number = InvoiceLayout::invoiceFields().at(at).type == FieldType::Float;
    if (text.isNull())
        return number ? QVariant(QMetaType(QMetaType::Double))
                      : QVariant(QMetaType(QMetaType::QString));
    return number ? QVariant(text.toString().toDouble()) : QVariant(text.toString());
}

} // namespace

InvoiceReversal::InvoiceReversal(StatementCache& cache, int failAfterWrites, const Caller& caller,
                                 const QString& what)
    : statements(cache), writes(failAfterWrites), history(statements, writes, caller),
      receipt(what == InvoiceHistory::Receipt)
{
    if (what != InvoiceHistory::Receipt && what != InvoiceHistory::Exchange)
        throw ServiceFailure(
            QStringLiteral("Estorno inválido: \"%1\" (use Recebimento ou Câmbio).").arg(what));
}

QJsonObject InvoiceReversal::run(const MarkedInvoices& marked)
{
    Transaction transaction(statements.database(), statements.writeTurn());
    for (const QString& number : marked.numbers)
        reverse(marked.company, number);
    transaction.commit();
    return QJsonObject{{QStringLiteral("estornadas"), qint64(marked.numbers.size())}};
}

void InvoiceReversal::reverse(const QString& company, const QString& number)
{
    const QStringList& fields =
        receipt ? InvoiceLayout::receiptFields() : InvoiceLayout::exchangeFields();
    QSqlQuery& row = statements.read(
        QStringLiteral("SELECT CDFILIAL, IDGERNFINVOI, DTRECINVOICE, DTCAMBIOINVOICE, ") +
            fields.join(QStringLiteral(", ")) +
            QStringLiteral(" FROM INVOICE WHERE CDEMPRESA = ? AND NRINVOICE = ?"),
        {company, number}, "reading an invoice to reverse");
    if (!row.next()) {
        row.finish();
        throw ServiceFailure(QStringLiteral("A Invoice %1 não existe na empresa %2. Nada foi "
                                            "estornado.")
                                 .arg(number, company));
    }
    const QString branch = nullableText(row.value(0));
    const bool issued = row.value(1).toString() == QLatin1String("S");
    const bool received = !row.value(2).isNull();
    const bool exchanged = !row.value(3).isNull();
    QVariantList current;
    for (int i = 0; i < fields.size(); ++i)
        current.append(row.value(4 + i));
    row.finish();
    if (issued)
        throw ServiceFailure(QStringLiteral("A Invoice %1 já tem Nota Fiscal emitida: o estorno "
                                            "não é possível. Nada foi estornado.")
                                 .arg(number));
    if (receipt && exchanged)
        throw ServiceFailure(QStringLiteral("A Invoice %1 tem câmbio registrado: estorne o câmbio "
                                            "antes do recebimento. Nada foi estornado.")
                                 .arg(number));
    if (receipt ? !received : !exchanged)
        throw ServiceFailure(QStringLiteral("A Invoice %1 não tem %2 a estornar. Nada foi "
                                            "estornado.")
                                 .arg(number, receipt ? QStringLiteral("recebimento")
                                                      : QStringLiteral("câmbio")));

    QSqlQuery& before = statements.read(
        QStringLiteral("SELECT NMCAMPO, DSVALORANT FROM HISTINVOICE WHERE NRLOTE = ? AND "
                       "CDEMPRESA = ? AND NRINVOICE = ?"),
        {lastBatch(company, number), company, number}, "reading the history");
    QVariantList restored = current;
    while (before.next()) {
        const qsizetype at = fields.indexOf(before.value(0).toString());
        if (at >= 0)
            restored[at] = storedValue(fields.at(at), before.value(1));
    }
    before.finish();

    // Written only over the values just read: on PostgreSQL a change committed meanwhile by
    // another server makes the condition fail.
    QVariantList values = restored;
    values << company << number;
    for (const QVariant& value : current)
        values.append(value);
    QSqlQuery& update = statements.write(
        writes,
        QStringLiteral("UPDATE INVOICE SET ") + fields.join(QStringLiteral(" = ?, ")) +
            QStringLiteral(" = ? WHERE CDEMPRESA = ? AND NRINVOICE = ? AND IDGERNFINVOI <> "
                           "'S' AND ") +
            fields.join(QStringLiteral(" IS NOT DISTINCT FROM ? AND ")) +
            QStringLiteral(" IS NOT DISTINCT FROM ?"),
        values, "reversing an invoice");
    if (update.numRowsAffected() != 1)
        throw WriteRace(QStringLiteral("A Invoice %1 foi alterada por outro usuário durante o "
                                       "estorno. Nada foi estornado.")
                            .arg(number));
    history.begin(company, branch, number,
                  receipt ? InvoiceHistory::ReceiptReversal : InvoiceHistory::ExchangeReversal);
    for (int i = 0; i < fields.size(); ++i)
        history.field(fields.at(i), current.at(i), restored.at(i));
}

QString InvoiceReversal::lastBatch(const QString& company, const QString& number)
{
    const QString& done = receipt ? InvoiceHistory::Receipt : InvoiceHistory::Exchange;
    const QString& undone =
        receipt ? InvoiceHistory::ReceiptReversal : InvoiceHistory::ExchangeReversal;
    QSqlQuery& batches = statements.read(
        QStringLiteral("SELECT NRLOTE, IDOPERACAO FROM HISTINVOICE WHERE CDEMPRESA = ? AND "
                       "NRINVOICE = ? AND IDOPERACAO IN (?, ?) GROUP BY NRLOTE, IDOPERACAO "
                       "ORDER BY MAX(NRHISTORICO) DESC"),
        {company, number, done, undone}, "reading the history");
    int reversed = 0;
    QString found;
    while (found.isNull() && batches.next()) {
        if (batches.value(1).toString() == undone)
            ++reversed;
        else if (reversed > 0)
            --reversed;
        else
            found = batches.value(0).toString();
    }
    batches.finish();
    if (found.isNull())
        throw ServiceFailure(QStringLiteral("A Invoice %1 não tem %2 registrado no histórico: "
                                            "não há valores anteriores a repor. Nada foi "
                                            "estornado.")
                                 .arg(number, receipt ? QStringLiteral("recebimento")
                                                      : QStringLiteral("câmbio")));
    return found;
}
