#include "InvoiceHistory.h"

#include "Schema.h"
#include "SqliteStatement.h"

#include <QRandomGenerator>

InvoiceHistory::InvoiceHistory(StatementCache& cache, WriteCounter& counter, const Caller& who)
    : statements(cache), writes(counter), caller{Caller::decode(Caller::encode(who.user)),
                                                 Caller::decode(Caller::encode(who.host))},
      when(Schema::dateText(QDateTime::currentDateTime()))
{}

void InvoiceHistory::begin(const QString& companyCode, const QString& branchCode,
                           const QString& invoice, const QString& kind)
{
    // A random number: unique among an invoice's changes, and smaller than any text.
    batch = qint64(QRandomGenerator::global()->generate64() >> 1);
    company = companyCode;
    branch = branchCode;
    number = invoice;
    operation = kind;
}

void InvoiceHistory::field(const QString& name, const QVariant& before, const QVariant& after)
{
    const QVariant old = text(before);
    const QVariant now = text(after);
    if (old.isNull() == now.isNull() && old.toString() == now.toString())
        return;
    pending << batch << when << caller.user << caller.host << company
            << (branch.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(branch))
            << number << operation << name << old << now;
}

void InvoiceHistory::write()
{
    constexpr qsizetype columns = 11;
    if (pending.isEmpty())
        return;
    // Row by row through SQLite's own interface where the connection is SQLite's; through
    // Qt SQL, many rows to a statement (full statements of `perStatement` rows, then one for
    // the rest, each kept prepared). Qt SQL's cost per value would otherwise double the time
    // of a large receipt.
    if (SqliteStatement* insert = statements.native(
            QStringLiteral("INSERT INTO HISTINVOICE (NRLOTE, DTHISTORICO, NMUSUARIO, NMESTACAO, "
                           "CDEMPRESA, CDFILIAL, NRINVOICE, IDOPERACAO, NMCAMPO, DSVALORANT, "
                           "DSVALORNOVO) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            "recording the history")) {
        for (qsizetype from = 0; from < pending.size(); from += columns) {
            insert->bind(std::span<const QVariant>(pending.constData() + from, size_t(columns)));
            insert->run();
        }

        pending.clear();
        writes.count();
        return;
    }
    constexpr qsizetype perStatement = 100;
    const auto sqlFor = [](qsizetype rows) {
        QString sql = QStringLiteral("INSERT INTO HISTINVOICE (NRLOTE, DTHISTORICO, NMUSUARIO, "
                                     "NMESTACAO, CDEMPRESA, CDFILIAL, NRINVOICE, IDOPERACAO, "
                                     "NMCAMPO, DSVALORANT, DSVALORNOVO) VALUES ");
        for (qsizetype row = 0; row < rows; ++row)
            sql += row == 0 ? QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                            : QStringLiteral(", (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        return sql;
    };
    for (qsizetype from = 0; from < pending.size(); from += columns * perStatement) {
        const QVariantList values = pending.mid(from, columns * perStatement);
        statements.write(writes, sqlFor(values.size() / columns), values, "recording the history");
    }
    pending.clear();
}

QVariant InvoiceHistory::text(const QVariant& stored)
{
    if (stored.isNull() || !stored.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    if (stored.typeId() == QMetaType::Double)
        return QString::number(stored.toDouble(), 'g', QLocale::FloatingPointShortest);
    return stored.toString();
}
