#include "NotesPreviewText.h"

#include "Money.h"

#include <QJsonArray>
#include <QLocale>
#include <QStringList>
#include <cmath>
#include <stdexcept>

namespace NotesPreviewText {

namespace {

// The texts of a list, the first `limit` of them, and how many more there are.
QString cut(const QStringList& texts, int limit)
{
    if (texts.size() <= limit)
        return texts.join(QStringLiteral(", "));
    return QStringLiteral("%1 e mais %2")
        .arg(texts.mid(0, limit).join(QStringLiteral(", ")),
             QLocale().toString(texts.size() - limit));
}

QStringList strings(const QJsonArray& array)
{
    QStringList texts;
    for (const QJsonValue& value : array)
        texts << value.toString();
    return texts;
}

// A note's value in cents: the exact count the server gives, else its decimal value. A note
// without either is a fault of the answer, never a note of no value.
qint64 noteCents(const QJsonObject& note)
{
    const QJsonValue cents = note.value(QStringLiteral("VRNOTACENTAVOS"));
    const double whole = cents.toDouble(0.5);
    if (cents.isDouble() && std::trunc(whole) == whole && std::abs(whole) <= 9007199254740992.0)
        return qint64(whole);
    const QJsonValue amount = note.value(QStringLiteral("VRNOTA"));
    if (!amount.isDouble())
        throw std::runtime_error("A prévia das Notas Fiscais veio sem o valor de uma nota.");
    return Money::cents(amount.toDouble());
}

qint64 add(qint64 total, qint64 value)
{
    const std::optional<Money::Cents> sum = Money::sum({total, value});
    if (!sum)
        throw std::out_of_range("O total das notas fiscais excede o limite de valores.");
    return *sum;
}

QString noteLine(const QJsonObject& note, qint64 cents)
{
    const QStringList invoices = strings(note.value(QStringLiteral("invoices")).toArray());
    return QStringLiteral("   Filial\u00A0%1 · %2 · %3 %4 · %5")
        .arg(note.value(QStringLiteral("CDFILIAL")).toString(),
             note.value(QStringLiteral("NMFANTCLIE")).toString(),
             invoices.size() == 1 ? QStringLiteral("Invoice") : QStringLiteral("Invoices"),
             cut(invoices, invoicesPerNote), reais(cents));
}

QString answer(const QString& heading, const QJsonObject& mode)
{
    const QJsonArray notes = mode.value(QStringLiteral("notas")).toArray();
    if (notes.isEmpty())
        return heading + QStringLiteral(": nenhuma Nota Fiscal.");
    QStringList lines;
    qint64 total = 0;
    qint64 restTotal = 0;
    for (int i = 0; i < notes.size(); ++i) {
        const QJsonObject note = notes.at(i).toObject();
        const qint64 cents = noteCents(note);
        total = add(total, cents);
        if (i < notesPerAnswer)
            lines << noteLine(note, cents);
        else
            restTotal = add(restTotal, cents);
    }
    if (notes.size() > notesPerAnswer)
        lines << QStringLiteral("   … e mais %1 Nota(s) Fiscal(is), total %2")
                     .arg(QLocale().toString(notes.size() - notesPerAnswer), reais(restTotal));
    lines.prepend(QStringLiteral("%1: %2 %3, total %4")
                      .arg(heading, QLocale().toString(notes.size()),
                           notes.size() == 1 ? QStringLiteral("Nota Fiscal")
                                             : QStringLiteral("Notas Fiscais"),
                           reais(total)));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString reais(qint64 cents)
{
    const QLocale locale;
    const quint64 magnitude = cents < 0 ? 0 - quint64(cents) : quint64(cents);
    return QStringLiteral("R$\u00A0%1%2%3%4")
        .arg(cents < 0 ? QStringLiteral("-") : QString(), locale.toString(magnitude / 100),
             locale.decimalPoint(),
             QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0')));
}

QString of(const QJsonObject& preview)
{
    QStringList paragraphs{answer(QStringLiteral("Sim (unificadas)"),
                                  preview.value(QStringLiteral("Unificada")).toObject()),
                           answer(QStringLiteral("Não (separadas)"),
                                  preview.value(QStringLiteral("Separadas")).toObject())};
    const QStringList issued = strings(preview.value(QStringLiteral("jaEmitidas")).toArray());
    if (!issued.isEmpty())
        paragraphs << QStringLiteral("Já têm Nota Fiscal, nenhuma será gerada para: %1")
                          .arg(cut(issued, notesPerAnswer * invoicesPerNote));
    return paragraphs.join(QStringLiteral("\n\n"));
}

} // namespace NotesPreviewText
