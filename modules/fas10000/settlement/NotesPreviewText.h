#pragma once

#include <QJsonObject>
#include <QString>
#include <QtGlobal>

// The notes each answer to the note question would issue, as text for the question: the
// answer of PreviaNF ({"Unificada":{"notas":[…]}, "Separadas":{"notas":[…]}, "jaEmitidas":[…]})
// read into one paragraph per answer ("Sim" unified, "Não" one note per invoice), a line per
// note (branch, customer, invoices, value in reais), and the marked invoices that already have
// their note. Long lists are cut (the invoices of a note, the notes of an answer), never the
// counts and totals, which are always exact and summed in cents.
namespace NotesPreviewText {

// At most this many invoices named on a note's line, and notes listed per answer.
inline constexpr int invoicesPerNote = 6;
inline constexpr int notesPerAnswer = 8;

// "R$ 1.234,56" of a value in cents, in the regional format, exact at any size; the space is
// a non-breaking one, so that a wrapped line never parts the sign from its amount.
QString reais(qint64 cents);

QString of(const QJsonObject& preview);

} // namespace NotesPreviewText
