#include "InvoiceHistory.h"

#include "Schema.h"

#include <QUuid>

InvoiceHistory::InvoiceHistory(StatementCache& cache, WriteCounter& counter, const Caller& who)
    : statements(cache), writes(counter),
      caller{Caller::decode(Caller::encode(who.user)), Caller::decode(Caller::encode(who.host))},
      when(Schema::dateText(QDateTime::currentDateTime()))
{}

void InvoiceHistory::begin(const QString& companyCode, const QString& branchCode,
                           const QString& invoice, const QString& kind)
{
    batch = QUuid::createUuid().toString(QUuid::WithoutBraces);
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
    statements.write(writes,
                     QStringLiteral("INSERT INTO HISTINVOICE (NRLOTE, DTHISTORICO, NMUSUARIO, "
                                    "NMESTACAO, CDEMPRESA, CDFILIAL, NRINVOICE, IDOPERACAO, "
                                    "NMCAMPO, DSVALORANT, DSVALORNOVO) VALUES "
                                    "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                     {batch, when, caller.user, caller.host, company,
                      branch.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(branch),
                      number, operation, name, old, now},
                     "recording the history");
}

QVariant InvoiceHistory::text(const QVariant& stored)
{
    if (stored.isNull() || !stored.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    if (stored.typeId() == QMetaType::Double)
        return QString::number(stored.toDouble(), 'g', QLocale::FloatingPointShortest);
    return stored.toString();
}
