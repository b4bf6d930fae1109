#include "MarkedInvoices.h"

#include "InvoiceLayout.h"
#include "PacketReader.h"
#include "ServiceFailure.h"

namespace {

void checkInvoiceLayout(const QList<FieldDef>& fields)
{
    const QString layout = InvoiceLayout::compare(fields, InvoiceLayout::invoiceFields());
    if (!layout.isEmpty())
        throw ServiceFailure(QStringLiteral("Pacote de invoices inválido: %1.").arg(layout));
}

// One marked row: all marked invoices must be of one company.
void addMarked(MarkedInvoices& marked, const QString& company, const QString& number)
{
    if (marked.company.isNull())
        marked.company = company;
    else if (company != marked.company)
        throw ServiceFailure(QStringLiteral("As invoices marcadas são das empresas %1 e %2.")
                                 .arg(marked.company, company));
    marked.numbers.insert(number);
}

void requireMarks(const MarkedInvoices& marked)
{
    if (marked.numbers.empty())
        throw ServiceFailure(
            QStringLiteral("Invoice(s) deve(m) ser informado(s) para gerar Nota(s) Fiscal(is)."));
}

// The marked invoices of an invoice packet as the packet reader reads it: only the key and
// mark cells are taken; the reader checks every cell and the width of every row.
class MarkedRows final : public PacketSink
{
public:
    void begin(const QList<FieldDef>& fields, qsizetype) override
    {
        checkInvoiceLayout(fields);
        m_companyAt = int(InvoiceLayout::indexOf(fields, QStringLiteral("CDEMPRESA")));
        m_numberAt = int(InvoiceLayout::indexOf(fields, QStringLiteral("NRINVOICE")));
        m_markAt = int(InvoiceLayout::indexOf(fields, QStringLiteral("IDCHECK")));
        m_marked = MarkedInvoices();
    }
    bool takes(int field) const override
    {
        return field == m_companyAt || field == m_numberAt || field == m_markAt;
    }
    void null(int field) override { cell(field) = QString(); }
    void text(int field, QString&& text) override { cell(field) = std::move(text); }
    // The three cells are text fields (the layout is checked).
    void number(int, double) override {}
    void dateKey(int, qint64) override {}
    void endRow() override
    {
        if (m_mark == QLatin1String("S"))
            addMarked(m_marked, m_company, m_number);
    }

    const MarkedInvoices& marked() const { return m_marked; }

private:
    QString& cell(int field)
    {
        return field == m_companyAt ? m_company : field == m_numberAt ? m_number : m_mark;
    }

    int m_companyAt = -1;
    int m_numberAt = -1;
    int m_markAt = -1;
    MarkedInvoices m_marked;
    QString m_company;
    QString m_number;
    QString m_mark;
};

} // namespace

MarkedInvoices MarkedInvoices::fromJson(QByteArrayView packetJson)
{
    MarkedRows rows;
    readPacket(packetJson, rows);
    requireMarks(rows.marked());
    return rows.marked();
}
