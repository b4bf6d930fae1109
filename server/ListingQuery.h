#pragma once

#include "RemoteMethods.h"
#include "ServerSql.h"

// The SQL of GetInvoice and GetItem: one statement each, with the same condition built from
// the sixteen filter arguments, the same for both ways of reading the rows. A filter
// argument out of its range is a ServiceFailure that names it.
namespace ListingQuery {

// The WHERE clause over INVOICE (alias I) and its bound values: company, situations,
// customers, and the four date ranges by whole days, both ends included.
BoundSql filterCondition(const FilterArgs& query);

// Invoices come by customer in reading order (ORDENA is the customer's sort key, so accents
// and case do not count and both databases agree), then by number; the columns in the order
// of the invoice layout.
BoundSql invoices(const FilterArgs& query);
// The items of exactly the invoices listed, by invoice and sequence; the item layout's columns.
BoundSql items(const FilterArgs& query);

} // namespace ListingQuery
