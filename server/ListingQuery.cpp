#include "ListingQuery.h"

#include "KeyList.h"
#include "Schema.h"

#include <array>
#include <optional>

namespace {

const QString invoiceColumns = QStringLiteral(
    "C.NMFANTORDCLIE, I.NRINVOICE, I.CDEMPRESA, EM.NMEMPRESA, I.CDFILIAL, I.NRINVOICE, "
    "I.CDCLIENTE, C.NMFANTCLIE, I.CDPRODUTO, I.DTEMISINVOICE, I.DTVENINVOICE, I.DTRECINVOICE, "
    "I.DTCAMBIOINVOICE, I.DTAPURFATFAS, I.DTMESAPURADO, I.NRLANCTONF, I.NRNOTAFISC, "
    "I.VRCAMBIOINVOICE, I.TOTALINVOICE, I.VRORDPGTOINVOI, I.VRTXCAMBIOINVOI, I.DSREFPGTOINVOI, "
    "I.DSOBSPGTOINVOI, I.DSEMISSINVOI, I.DSBOLEFATFAS, I.IDTIPOINVOICE, I.IDGERNFINVOI, "
    "CASE WHEN I.IDGERNFINVOI = 'S' THEN 'D' ELSE 'N' END, I.IDAPURFATFAS");

const QString itemColumns = QStringLiteral(
    "IT.CDEMPRESA, IT.CDFILIAL, IT.NRINVOICE, IT.NRSEQITINVOI, IT.CDPRODUTO, P.NMPRODUTO, "
    "IT.DSEMISSINVOI, IT.VRUNITEINVOI, IT.VRUNITEDESC, IT.VRTOTITEINVOI");

QString rangeName(int range)
{
    static const std::array<QString, 4> names{
        QStringLiteral("Emissão"), QStringLiteral("Vencimento"), QStringLiteral("Recebimento"),
        QStringLiteral("Câmbio")};
    return names[size_t(range)];
}

bool isFlag(const QString& value)
{
    return value.isEmpty() || value == QLatin1String("T");
}

} // namespace

BoundSql ListingQuery::filterCondition(const FilterArgs& query)
{
    BoundSql where;
    where.sql = QStringLiteral("I.CDEMPRESA = ?");
    where.values.append(query.company);

    // Situation: a non-empty run of "A_", "N_", "E_".
    QStringList situations;
    const QString& code = query.situation;
    if (code.isEmpty() || code.size() % 2 != 0)
        throw ServiceFailure(QStringLiteral("Situação inválida: \"%1\".").arg(code));
    for (qsizetype i = 0; i < code.size(); i += 2) {
        const QString token = code.mid(i, 2);
        if (token == QLatin1String("A_"))
            situations.append(QStringLiteral("I.DTRECINVOICE IS NULL"));
        else if (token == QLatin1String("N_"))
            situations.append(
                QStringLiteral("(I.DTRECINVOICE IS NOT NULL AND I.IDGERNFINVOI <> 'S')"));
        else if (token == QLatin1String("E_"))
            situations.append(
                QStringLiteral("(I.DTRECINVOICE IS NOT NULL AND I.IDGERNFINVOI = 'S')"));
        else
            throw ServiceFailure(QStringLiteral("Situação inválida: \"%1\".").arg(code));
    }
    situations.removeDuplicates();
    where.sql +=
        QStringLiteral(" AND (") + situations.join(QStringLiteral(" OR ")) + QLatin1Char(')');

    if (!isFlag(query.allCustomers))
        throw ServiceFailure(
            QStringLiteral("Indicador de clientes inválido: \"%1\".").arg(query.allCustomers));
    if (query.allCustomers.isEmpty()) {
        const std::optional<QStringList> keys = KeyList::parse(query.customers);
        if (!keys)
            throw ServiceFailure(
                QStringLiteral("Lista de clientes inválida: \"%1\".").arg(query.customers));
        if (keys->isEmpty()) {
            where.sql += QStringLiteral(" AND 1 = 0");
        } else {
            QStringList marks;
            for (const QString& key : *keys) {
                marks.append(QStringLiteral("?"));
                where.values.append(key);
            }
            where.sql += QStringLiteral(" AND I.CDCLIENTE IN (") + marks.join(QLatin1Char(',')) +
                         QLatin1Char(')');
        }
    }

    const std::array<const QString*, 4> flags{&query.allIssue, &query.allDue, &query.allReceipt,
                                              &query.allExchange};
    static const std::array<QString, 4> columns{
        QStringLiteral("I.DTEMISINVOICE"), QStringLiteral("I.DTVENINVOICE"),
        QStringLiteral("I.DTRECINVOICE"), QStringLiteral("I.DTCAMBIOINVOICE")};
    for (int r = 0; r < 4; ++r) {
        const QString& flag = *flags[size_t(r)];
        if (!isFlag(flag))
            throw ServiceFailure(QStringLiteral("Indicador do período de %1 inválido: \"%2\".")
                                     .arg(rangeName(r), flag));
        if (flag == QLatin1String("T"))
            continue;
        const QDateTime from = query.dates[size_t(2 * r)];
        const QDateTime to = query.dates[size_t(2 * r + 1)];
        if (!from.isValid() || !to.isValid())
            throw ServiceFailure(
                QStringLiteral("Período de %1 sem data inicial ou final.").arg(rangeName(r)));
        // Whole days: from the first day's start to the end of the last day.
        where.sql += QStringLiteral(" AND ") + columns[size_t(r)] + QStringLiteral(" >= ? AND ") +
                     columns[size_t(r)] + QStringLiteral(" < ?");
        where.values.append(Schema::dateText(from.date().startOfDay()));
        where.values.append(Schema::dateText(to.date().addDays(1).startOfDay()));
    }
    return where;
}

BoundSql ListingQuery::invoices(const FilterArgs& request)
{
    BoundSql where = filterCondition(request);
    where.sql = QStringLiteral("SELECT ") + invoiceColumns +
                QStringLiteral(" FROM INVOICE I JOIN EMPRESA EM ON EM.CDEMPRESA = I.CDEMPRESA"
                               " JOIN CLIENTE C ON C.CDCLIENTE = I.CDCLIENTE WHERE ") +
                where.sql + QStringLiteral(" ORDER BY C.NMFANTORDCLIE, I.CDCLIENTE, I.NRINVOICE");
    return where;
}

BoundSql ListingQuery::items(const FilterArgs& request)
{
    BoundSql where = filterCondition(request);
    where.sql = QStringLiteral("SELECT ") + itemColumns +
                QStringLiteral(" FROM INVOICEITEM IT JOIN INVOICE I ON I.CDEMPRESA = IT.CDEMPRESA"
                               " AND I.NRINVOICE = IT.NRINVOICE"
                               " LEFT JOIN PRODUTO P ON P.CDPRODUTO = IT.CDPRODUTO WHERE ") +
                where.sql + QStringLiteral(" ORDER BY IT.NRINVOICE, IT.NRSEQITINVOI");
    return where;
}
