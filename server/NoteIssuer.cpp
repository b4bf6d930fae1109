#include "NoteIssuer.h"

#include "Money.h"
#include "Schema.h"

#include <memory>
#include <optional>

NoteIssuer::NoteIssuer(StatementCache& cache, int failAfterWrites,
                       const std::optional<Caller>& caller)
    : statements(cache), writes(failAfterWrites)
{
    if (caller)
        history.emplace(statements, writes, *caller);
}

void NoteIssuer::checkMode(const QString& mode)
{
    if (mode != QLatin1String("Unificada") && mode != QLatin1String("Separadas"))
        throw ServiceFailure(
            QStringLiteral("Modo de geração inválido: \"%1\" (use Unificada ou Separadas).")
                .arg(mode));
}

QJsonObject NoteIssuer::issue(const MarkedInvoices& marked, const QString& mode)
{
    QJsonArray alreadyIssued;
    Transaction transaction(statements.database(), statements.writeTurn());
    const Notes notes =
        group(collect(marked, alreadyIssued), mode == QLatin1String("Unificada"));
    const QJsonArray issued =
        write(marked.company, mode, notes, takeNumbers(marked.company, notes));
    transaction.commit();
    return QJsonObject{{QStringLiteral("notas"), issued},
                       {QStringLiteral("jaEmitidas"), alreadyIssued}};
}

QJsonObject NoteIssuer::preview(const MarkedInvoices& marked)
{
    QJsonArray alreadyIssued;
    const QList<Invoice> invoices = collect(marked, alreadyIssued);
    std::map<QString, QString> names;
    const auto nameOf = [&](const QString& customer) {
        auto [at, added] = names.try_emplace(customer);
        if (added) {
            QSqlQuery& name = statements.read(
                QStringLiteral("SELECT NMFANTCLIE FROM CLIENTE WHERE CDCLIENTE = ?"), {customer},
                "reading a customer");
            if (name.next())
                at->second = name.value(0).toString();
            name.finish();
        }
        return at->second;
    };
    QJsonObject answer{{QStringLiteral("jaEmitidas"), alreadyIssued}};
    for (const bool unified : {true, false}) {
        QJsonArray notes;
        for (const auto& [key, noteInvoices] : group(invoices, unified)) {
            QJsonArray numbers;
            for (const Invoice& invoice : noteInvoices)
                numbers.append(invoice.number);
            const qint64 cents = total(noteInvoices);
            const QString& customer = noteInvoices.first().customer;
            notes.append(QJsonObject{{QStringLiteral("CDFILIAL"), key.first},
                                     {QStringLiteral("CDCLIENTE"), customer},
                                     {QStringLiteral("NMFANTCLIE"), nameOf(customer)},
                                     {QStringLiteral("VRNOTACENTAVOS"), cents},
                                     {QStringLiteral("VRNOTA"), Money::fromCents(cents)},
                                     {QStringLiteral("invoices"), numbers}});
        }
        answer.insert(unified ? QStringLiteral("Unificada") : QStringLiteral("Separadas"),
                      QJsonObject{{QStringLiteral("notas"), notes}});
    }
    return answer;
}

NoteIssuer::Notes NoteIssuer::group(const QList<Invoice>& invoices, bool unified)
{
    Notes notes;
    for (const Invoice& invoice : invoices) {
        const auto key = unified ? std::make_pair(invoice.branch, invoice.customer)
                                 : std::make_pair(invoice.branch, invoice.number);
        notes[key].append(invoice);
    }
    return notes;
}

qint64 NoteIssuer::total(const QList<Invoice>& invoices)
{
    QList<qint64> reais;
    for (const Invoice& invoice : invoices)
        reais.append(invoice.reais);
    const std::optional<qint64> sum = Money::sum(reais);
    if (!sum)
        throw ServiceFailure(QStringLiteral("O valor em reais da Nota Fiscal do cliente %1 "
                                            "passa do limite. Nenhuma Nota Fiscal foi gerada.")
                                 .arg(invoices.first().customer));
    return *sum;
}

QList<NoteIssuer::Invoice> NoteIssuer::collect(const MarkedInvoices& marked,
                                               QJsonArray& alreadyIssued)
{
    const QString& company = marked.company;
    QList<Invoice> collected;
    QStringList worthless; // invoices worth R$ 0,00 or less: no note is issued for them
    QSqlQuery& invoiceRow = statements.statement(
        QStringLiteral("SELECT CDFILIAL, CDCLIENTE, DTRECINVOICE, DTCAMBIOINVOICE, "
                       "TOTALINVOICE, VRCAMBIOINVOICE, IDGERNFINVOI, NRNOTAFISC FROM INVOICE "
                       "WHERE CDEMPRESA = ? AND NRINVOICE = ?"),
        "reading marked invoices");
    // The statement is left without a pending row on every way out.
    const std::unique_ptr<QSqlQuery, void (*)(QSqlQuery*)> done(
        &invoiceRow, [](QSqlQuery* query) { query->finish(); });
    for (const QString& number : marked.numbers) {
        bindAll(invoiceRow, {company, number});
        if (!invoiceRow.exec())
            databaseFailure(invoiceRow, "reading marked invoices");
        if (!invoiceRow.next())
            throw ServiceFailure(
                QStringLiteral("A Invoice %1 não existe na empresa %2. Nenhuma Nota Fiscal "
                               "foi gerada.")
                    .arg(number, company));
        if (invoiceRow.value(6).toString() == QLatin1String("S")) {
            alreadyIssued.append(number);
            continue;
        }
        if (invoiceRow.value(2).isNull())
            throw ServiceFailure(QStringLiteral("A Invoice %1 não tem Data de Recebimento. "
                                                "Nenhuma Nota Fiscal foi gerada.")
                                     .arg(number));
        if (invoiceRow.value(3).isNull() || invoiceRow.value(5).isNull())
            throw ServiceFailure(QStringLiteral("A Invoice %1 não tem Data de Câmbio. "
                                                "Nenhuma Nota Fiscal foi gerada.")
                                     .arg(number));
        const std::optional<qint64> reais =
            Money::atRate(invoiceRow.value(4).toDouble(), invoiceRow.value(5).toDouble());
        if (!reais)
            throw ServiceFailure(QStringLiteral("O valor em reais da Invoice %1 passa do "
                                                "limite. Nenhuma Nota Fiscal foi gerada.")
                                     .arg(number));
        if (*reais <= 0) {
            worthless.append(number);
            continue;
        }
        collected.append({number, invoiceRow.value(0).toString(),
                          invoiceRow.value(1).toString(), *reais, invoiceRow.value(4).toDouble(),
                          invoiceRow.value(5).toDouble(), invoiceRow.value(6),
                          invoiceRow.value(7)});
    }
    if (!worthless.isEmpty())
        throw ServiceFailure(QStringLiteral("O valor em reais da(s) Invoice(s) %1 é de R$ 0,00 ou "
                                            "menos (confira o Valor do Dólar do Dia do câmbio). "
                                            "Nenhuma Nota Fiscal foi gerada.")
                                 .arg(worthless.join(QStringLiteral(", "))));
    return collected;
}

std::map<QString, qint64> NoteIssuer::takeNumbers(const QString& company, const Notes& notes)
{
    std::map<QString, qint64> notesOfBranch;
    for (const auto& [key, invoices] : notes)
        ++notesOfBranch[key.first];
    std::map<QString, qint64> nextNumber;
    for (const auto& [branch, count] : notesOfBranch) {
        QSqlQuery& take =
            statements.write(writes,
                             QStringLiteral("UPDATE SEQNOTAFISC SET NRULTNOTA = NRULTNOTA + ? "
                                            "WHERE CDEMPRESA = ? AND CDFILIAL = ?"),
                             {count, company, branch}, "numbering a note");
        if (take.numRowsAffected() != 1) {
            statements.write(writes,
                             QStringLiteral("INSERT INTO SEQNOTAFISC (CDEMPRESA, CDFILIAL, "
                                            "NRULTNOTA) VALUES (?, ?, ?)"),
                             {company, branch, count}, "numbering a note");
        }
        QSqlQuery& last = statements.read(
            QStringLiteral("SELECT NRULTNOTA FROM SEQNOTAFISC WHERE CDEMPRESA = ? AND "
                           "CDFILIAL = ?"),
            {company, branch}, "numbering a note");
        if (!last.next())
            databaseFailure(last, "numbering a note");
        nextNumber[branch] = last.value(0).toLongLong() - count + 1;
        last.finish();
    }
    return nextNumber;
}

QJsonArray NoteIssuer::write(const QString& company, const QString& mode, const Notes& notes,
                             std::map<QString, qint64> nextNumber)
{
    QSqlQuery& note = statements.statement(
        QStringLiteral("INSERT INTO NOTAFISCAL (CDEMPRESA, CDFILIAL, NRNOTAFISC, "
                       "CDCLIENTE, DTEMISNOTA, IDMODONOTA, VRNOTACENTAVOS) VALUES "
                       "(?, ?, ?, ?, ?, ?, ?)"),
        "writing a note");
    QSqlQuery& link =
        statements.statement(QStringLiteral("INSERT INTO NOTAFISCALINVOICE (CDEMPRESA, NRINVOICE, "
                                            "CDFILIAL, NRNOTAFISC, VRREAISCENTAVOS) VALUES "
                                            "(?, ?, ?, ?, ?)"),
                             "writing a note");
    // Flagged only as it was read: received, exchanged, of the same branch, customer, total
    // and dollar value, and without a note. On PostgreSQL the row is locked from here to the
    // commit, and a change another session committed meanwhile makes the condition fail.
    QSqlQuery& flag = statements.statement(
        QStringLiteral("UPDATE INVOICE SET IDGERNFINVOI = 'S', NRNOTAFISC = ? "
                       "WHERE CDEMPRESA = ? AND NRINVOICE = ? AND IDGERNFINVOI <> 'S' "
                       "AND CDFILIAL = ? AND CDCLIENTE = ? AND TOTALINVOICE = ? "
                       "AND VRCAMBIOINVOICE = ? AND DTRECINVOICE IS NOT NULL "
                       "AND DTCAMBIOINVOICE IS NOT NULL"),
        "flagging an invoice");
    const QString today = Schema::dateText(QDateTime::currentDateTime());
    QJsonArray issued;
    for (const auto& [key, invoices] : notes) {
        const QString& branch = key.first;
        const QString noteNumber =
            QStringLiteral("%1").arg(nextNumber[branch]++, 9, 10, QLatin1Char('0'));
        const qint64 value = total(invoices);
        // The invoices first: their rows are the lock the note is written under.
        QJsonArray covered;
        for (const Invoice& invoice : invoices) {
            bindAll(flag, {noteNumber, company, invoice.number, branch, invoice.customer,
                           invoice.dollars, invoice.rate});
            writes.exec(flag, "flagging an invoice");
            if (flag.numRowsAffected() != 1)
                throw WriteRace(QStringLiteral("A Invoice %1 foi alterada por outro usuário "
                                               "enquanto a Nota Fiscal era gerada. Nada foi "
                                               "gravado.")
                                    .arg(invoice.number));
            covered.append(invoice.number);
            if (history) {
                history->begin(company, branch, invoice.number, InvoiceHistory::Note);
                history->field(QStringLiteral("IDGERNFINVOI"), invoice.flagBefore,
                               QStringLiteral("S"));
                history->field(QStringLiteral("NRNOTAFISC"), invoice.noteBefore, noteNumber);
            }
        }
        bindAll(note, {company, branch, noteNumber, invoices.first().customer, today, mode, value});
        writes.exec(note, "writing a note");
        for (const Invoice& invoice : invoices) {
            bindAll(link, {company, invoice.number, branch, noteNumber, invoice.reais});
            writes.exec(link, "writing a note");
        }
        issued.append(QJsonObject{{QStringLiteral("CDFILIAL"), branch},
                                  {QStringLiteral("NRNOTAFISC"), noteNumber},
                                  {QStringLiteral("CDCLIENTE"), invoices.first().customer},
                                  {QStringLiteral("VRNOTACENTAVOS"), value},
                                  {QStringLiteral("VRNOTA"), Money::fromCents(value)},
                                  {QStringLiteral("invoices"), covered}});
    }
    return issued;
}
