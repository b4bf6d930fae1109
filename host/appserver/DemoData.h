#pragma once

#include <QSqlDatabase>

// Deterministic demonstration data: three companies with two branches each, forty customers
// (most abroad, a few in Brazil, one without a main address), products, invoices over two
// years with one to six items each, in every situation (open, paid without note, paid with a
// note issued), and the fiscal notes of the issued ones. The same totalInvoices always gives
// the same database.
class DemoData
{
public:
    static constexpr int DefaultInvoices = 1200; // spread over the three companies

    explicit DemoData(int totalInvoices = DefaultInvoices) : total(totalInvoices) {}

    // Fills an empty schema in one transaction; throws std::runtime_error on failure.
    void fill(QSqlDatabase& db) const;

private:
    int total;
};
