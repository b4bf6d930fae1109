#pragma once

#include "DataPacket.h"

#include <QList>
#include <QStringList>

// The record layouts the screen binds by name: 29 invoice fields and 10 item fields, in order.
namespace InvoiceLayout {

const QList<FieldDef>& invoiceFields();
const QList<FieldDef>& itemFields();
// GetHistorico's packet: the rows of an invoice's history.
const QList<FieldDef>& historyFields();

// The invoice fields the screen may change through SetInvoice (the mark IDCHECK is accepted
// besides them and never stored).
const QStringList& editableFields();
// Those a receipt writes, and those an exchange writes: the editable fields between them.
const QStringList& receiptFields();
const QStringList& exchangeFields();

// The invoice fields kept in table INVOICE (the others are derived when reading).
const QStringList& storedFields();

// The position of the field of this name; ServiceFailure when there is none.
qsizetype indexOf(const QList<FieldDef>& fields, const QString& name);

// Empty when the fields equal the layout (names, types, sizes, order); otherwise what differs.
QString compare(const QList<FieldDef>& actual, const QList<FieldDef>& expected);

} // namespace InvoiceLayout
