#pragma once

#include <QDate>
#include <QSqlDatabase>

// Deterministic demonstration data: three companies with two branches each, forty customers
// (most abroad, a few in Brazil, one without a main address), products, invoices issued from
// the start of 2025 to the creation day with one to six items each, in every situation (open,
// paid without note, paid with a note issued), and the fiscal notes of the issued ones. No
// receipt, exchange or note is dated after the creation day. The same totalInvoices and
// creation day always give the same database.
class DemoData
{
public:
    static constexpr int DefaultInvoices = 1200; // spread over the three companies

    DemoData(int totalInvoices, QDate creationDay) : total(totalInvoices), today(creationDay) {}

    // Fills an empty schema in one transaction; throws std::runtime_error on failure.
    void fill(QSqlDatabase& db) const;

private:
    int total;
    QDate today;
};
