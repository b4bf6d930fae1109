#include "InvoiceUpdate.h"

#include "InvoiceLayout.h"
#include "Schema.h"
#include "SqliteStatement.h"

#include <QStringList>

namespace {

QVariant nullFor(FieldType type)
{
    switch (type) {
    case FieldType::String:
    case FieldType::DateTime:
        return QVariant(QMetaType(QMetaType::QString));
    case FieldType::Float:
        return QVariant(QMetaType(QMetaType::Double));
    }
    return {};
}

// A packet value as the database keeps it (dates as text).
QVariant stored(const QVariant& value, FieldType type)
{
    if (value.isNull() || !value.isValid())
        return nullFor(type);
    if (type == FieldType::DateTime)
        return Schema::dateText(value.toDateTime());
    return value;
}

const QList<FieldDef>& fields()
{
    return InvoiceLayout::invoiceFields();
}

qsizetype indexOf(const QString& name)
{
    return InvoiceLayout::indexOf(fields(), name);
}

// The optimistic check compares every stored field but the key with the delta's original
// row; the same fields for every change.
const QList<qsizetype>& checkedFields()
{
    static const QList<qsizetype> checked = [] {
        QList<qsizetype> list;
        for (qsizetype i = 0; i < fields().size(); ++i) {
            const QString& name = fields().at(i).name;
            if (InvoiceLayout::storedFields().contains(name) &&
                name != QLatin1String("CDEMPRESA") && name != QLatin1String("NRINVOICE"))
                list.append(i);
        }
        return list;
    }();
    return checked;
}

// What a change of these fields is, for the history.
const QString& operationOf(const QStringList& names)
{
    bool receipt = false;
    bool exchange = false;
    for (const QString& name : names) {
        receipt = receipt || InvoiceLayout::receiptFields().contains(name);
        exchange = exchange || InvoiceLayout::exchangeFields().contains(name);
    }
    if (receipt != exchange)
        return receipt ? InvoiceHistory::Receipt : InvoiceHistory::Exchange;
    return InvoiceHistory::Edit;
}

} // namespace

InvoiceUpdate::InvoiceUpdate(StatementCache& cache, int failAfterWrites,
                             const std::optional<Caller>& caller)
    : statements(cache), writes(failAfterWrites)
{
    if (caller)
        history.emplace(statements, writes, *caller);
}

QJsonObject InvoiceUpdate::run(const Delta& delta)
{
    const QString company = validate(delta);
    Transaction transaction(statements.database(), statements.writeTurn());
    int changed = 0;
    for (const DeltaChange& change : delta.changes) {
        if (apply(change, company))
            ++changed;
    }
    if (history)
        history->write();
    transaction.commit();
    return QJsonObject{{QStringLiteral("alteradas"), changed}};
}

QString InvoiceUpdate::validate(const Delta& delta)
{
    const QString layout = InvoiceLayout::compare(delta.fields, fields());
    if (!layout.isEmpty())
        throw ServiceFailure(QStringLiteral("Alterações inválidas: %1.").arg(layout));

    const qsizetype companyAt = indexOf(QStringLiteral("CDEMPRESA"));
    const qsizetype numberAt = indexOf(QStringLiteral("NRINVOICE"));
    const QStringList& editable = InvoiceLayout::editableFields();
    QString company;
    for (const DeltaChange& change : delta.changes) {
        if (change.op != QLatin1String("modify"))
            throw ServiceFailure(
                QStringLiteral("Operação \"%1\" não permitida nas invoices.").arg(change.op));
        if (change.old.size() != fields().size())
            throw ServiceFailure(QStringLiteral("Alterações inválidas: a linha original tem %1 "
                                                "valores, esperados %2.")
                                     .arg(change.old.size())
                                     .arg(fields().size()));
        const QString rowCompany = nullableText(change.old.at(companyAt));
        if (rowCompany.isEmpty() || nullableText(change.old.at(numberAt)).isEmpty())
            throw ServiceFailure(QStringLiteral("Alterações inválidas: a linha original não traz "
                                                "a empresa e o número da Invoice."));
        if (company.isNull())
            company = rowCompany;
        else if (rowCompany != company)
            throw ServiceFailure(
                QStringLiteral("As alterações misturam invoices das empresas %1 e %2.")
                    .arg(company, rowCompany));
        for (const auto& [name, value] : change.set) {
            if (name == QLatin1String("IDCHECK"))
                continue;
            if (!editable.contains(name))
                throw ServiceFailure(
                    QStringLiteral("O campo %1 da Invoice %2 não pode ser alterado.")
                        .arg(name, nullableText(change.old.at(numberAt))));
            const FieldDef& field = fields().at(indexOf(name));
            if (field.type == FieldType::String && !value.isNull() &&
                value.toString().size() > field.size)
                throw ServiceFailure(
                    QStringLiteral("O campo %1 da Invoice %2 passa de %3 caracteres.")
                        .arg(name, nullableText(change.old.at(numberAt)))
                        .arg(field.size));
        }
    }
    return company;
}

bool InvoiceUpdate::apply(const DeltaChange& change, const QString& company)
{
    const qsizetype numberAt = indexOf(QStringLiteral("NRINVOICE"));
    // The changed fields, in the order of the editable fields: one statement per set of them.
    QVariantList values;
    QStringList names;
    quint32 changed = 0;
    const QStringList& editable = InvoiceLayout::editableFields();
    for (qsizetype i = 0; i < editable.size(); ++i) {
        for (const auto& [setName, value] : change.set) {
            if (setName == editable.at(i)) {
                names.append(setName);
                values.append(stored(value, fields().at(indexOf(setName)).type));
                changed |= 1u << i;
                break;
            }
        }
    }
    if (names.isEmpty())
        return false; // only the mark changed: nothing to store
    const QString number = nullableText(change.old.at(numberAt));
    values.append(company);
    values.append(number);
    for (qsizetype at : checkedFields())
        values.append(stored(change.old.at(at), fields().at(at).type));
    if (update(changed, names, values) != 1)
        explainConflict(company, number);
    if (history) {
        history->begin(company, nullableText(change.old.at(indexOf(QStringLiteral("CDFILIAL")))),
                       number, operationOf(names));
        for (qsizetype i = 0; i < names.size(); ++i) {
            const FieldDef& field = fields().at(indexOf(names.at(i)));
            history->field(names.at(i), stored(change.old.at(indexOf(names.at(i))), field.type),
                           values.at(i));
        }
    }
    return true;
}

int InvoiceUpdate::update(quint32 changed, const QStringList& names, const QVariantList& values)
{
    QString& sql = updates[changed];
    if (sql.isEmpty()) {
        sql = QStringLiteral("UPDATE INVOICE SET ") + names.join(QStringLiteral(" = ?, ")) +
              QStringLiteral(" = ? WHERE CDEMPRESA = ? AND NRINVOICE = ? AND "
                             "IDGERNFINVOI <> 'S'");
        for (qsizetype at : checkedFields())
            sql += QStringLiteral(" AND ") + fields().at(at).name +
                   QStringLiteral(" IS NOT DISTINCT FROM ?");
    }
    // On SQLite's own interface where the connection is SQLite's: Qt SQL's cost per bound
    // value would otherwise be most of a large receipt's time.
    constexpr const char* what = "storing invoice changes";
    if (SqliteStatement* native = statements.native(sql, what)) {
        native->bind(values);
        const int written = native->run();
        writes.count();
        return written;
    }
    return statements.write(writes, sql, values, what).numRowsAffected();
}

void InvoiceUpdate::explainConflict(const QString& company, const QString& number)
{
    QSqlQuery& state = statements.read(
        QStringLiteral("SELECT IDGERNFINVOI FROM INVOICE WHERE CDEMPRESA = ? AND NRINVOICE = ?"),
        {company, number}, "checking an invoice");
    const bool exists = state.next();
    const bool issued = exists && state.value(0).toString() == QLatin1String("S");
    state.finish();
    if (!exists)
        throw ServiceFailure(
            QStringLiteral("A Invoice %1 não existe na empresa %2. Nada foi gravado.")
                .arg(number, company));
    if (issued)
        throw ServiceFailure(QStringLiteral("A Invoice %1 já tem Nota Fiscal emitida e não "
                                            "pode ser alterada. Nada foi gravado.")
                                 .arg(number));
    throw ServiceFailure(QStringLiteral("A Invoice %1 foi alterada por outro usuário. "
                                        "Atualize a lista e repita a operação. Nada foi "
                                        "gravado.")
                             .arg(number));
}
