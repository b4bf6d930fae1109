#include "DemoData.h"

#include "Schema.h"
#include "SortKey.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <array>
#include <stdexcept>

namespace {

// A small linear congruential generator: the same sequence on every machine.
class Sequence
{
public:
    explicit Sequence(quint64 seed) : state(seed) {}
    quint32 next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(state >> 33);
    }
    int below(int n) { return int(next() % quint32(n)); }

private:
    quint64 state;
};

struct Customer
{
    const char* key;
    const char* name;
    const char* legalName;
    const char* country; // nullptr: no main ("P") address
};

// Keys and names deliberately include accents, an apostrophe and a comma.
constexpr std::array<Customer, 40> customers{{
    {"EX0001", "Açaí Trading", "Açaí Trading LLC", "0249"},
    {"EX0002", "Müller Import", "Müller Import GmbH", "0023"},
    {"EX0003", "Société Générale d'Achat", "Société Générale d'Achat SA", "0275"},
    {"EX0004", "São Paulo Foods USA", "São Paulo Foods USA Inc.", "0249"},
    {"EX0005", "Café Österreich", "Café Österreich GmbH", "0040"},
    {"EX0006", "Nordic Coffee", "Nordic Coffee AB", "0764"},
    {"EX0007", "Pão de Queijo Ltd", "Pão de Queijo Ltd", "0628"},
    {"EX0008", "Hanoi Agro", "Hanoi Agro Co.", "0858"},
    {"EX0009", "Tokyo Beans", "Tokyo Beans K.K.", "0399"},
    {"EX0010", "Île-de-France Café", "Île-de-France Café SARL", "0275"},
    {"EX0011", "Rotterdam Cargo", "Rotterdam Cargo BV", "0573"},
    {"EX0012", "Buenos Aires Grão", "Buenos Aires Grão SRL", "0063"},
    {"EX0013", "Santiago Export", "Santiago Export SpA", "0158"},
    {"EX0014", "Lima Comercial", "Lima Comercial SAC", "0589"},
    {"EX0015", "Zürich Handel", "Zürich Handel AG", "0767"},
    {"EX0016", "Milano Caffè", "Milano Caffè Srl", "0386"},
    {"EX0017", "Madrid Alimentación", "Madrid Alimentación SL", "0245"},
    {"EX0018", "Lisboa Distribuição", "Lisboa Distribuição Lda", "0607"},
    {"EX0019", "O'Brien Grocers", "O'Brien Grocers Ltd", "0375"},
    {"EX0020", "Kraków Spółka", "Kraków Spółka z o.o.", "0603"},
    {"EX0021", "Québec Épicerie", "Québec Épicerie Inc.", "0149"},
    {"EX0022", "Shanghai Grain", "Shanghai Grain Ltd", "0160"},
    {"EX0023", "Seoul Mart", "Seoul Mart Co.", "0190"},
    {"EX0024", "Mumbai Spices", "Mumbai Spices Pvt", "0361"},
    {"EX0025", "Dubai Souk", "Dubai Souk LLC", "0244"},
    {"EX0026", "Cape Town Traders", "Cape Town Traders Pty", "0756"},
    {"EX0027", "Lagos Commodities", "Lagos Commodities Ltd", "0566"},
    {"EX0028", "Sydney Roasters", "Sydney Roasters Pty", "0069"},
    {"EX0029", "Auckland Brew", "Auckland Brew Ltd", "0548"},
    {"EX0030", "Helsinki Kahvi", "Helsinki Kahvi Oy", "0271"},
    {"EX0031", "Athens Emporium", "Athens Emporium SA", "0301"},
    {"EX0032", "Istanbul Kahve", "İstanbul Kahve A.Ş.", "0827"},
    {"EX0033", "Montevidéu Café", "Montevidéu Café SA", "0845"},
    {"EX0034", "Smith, Jones & Co", "Smith, Jones & Co", "0628"},
    {"BR0035", "Cooperativa Mogiana", "Cooperativa Mogiana Ltda", "0055"},
    {"BR0036", "Armazém Paraná", "Armazém Paraná S.A.", "0055"},
    {"BR0037", "Torrefação Minas", "Torrefação Minas Ltda", "0055"},
    {"BR0038", "Exportadora Santos", "Exportadora Santos S.A.", "0055"},
    {"BR0039", "Café do Cerrado", "Café do Cerrado Ltda", "0055"},
    {"XX0040", "Cliente Sem Endereço", "Cliente Sem Endereço Ltda", nullptr},
}};

// Export invoices go to customers abroad, the ones the filter's customer lookup lists: the
// first 34. A draw over all the customers (which keeps every later draw the same) that lands on
// one in Brazil, or on the one without a main address, goes to one abroad instead.
constexpr size_t customersAbroad = 34;

const Customer& buyerAbroad(int drawn)
{
    return customers[size_t(drawn) % customersAbroad];
}

constexpr std::array<const char*, 12> products{
    "Café arábica tipo 2", "Café robusta",      "Café torrado moído", "Açúcar VHP",
    "Açúcar cristal",      "Suco de laranja",   "Soja em grãos",      "Farelo de soja",
    "Algodão em pluma",    "Cacau em amêndoas", "Pimenta-do-reino",   "Castanha-do-pará"};

// Items per invoice: one to six, five on average.
constexpr std::array<int, 12> itemCounts{1, 4, 5, 5, 6, 6, 6, 6, 5, 5, 6, 5};

[[noreturn]] void writeFailure(const QSqlQuery& query)
{
    throw std::runtime_error(QStringLiteral("Falha ao gravar os dados de demonstração: %1")
                                 .arg(query.lastError().text())
                                 .toStdString());
}

class Writer
{
public:
    Writer(QSqlDatabase& db, const QString& sql) : query(db)
    {
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            writeFailure(query);
    }
    void run(const QVariantList& values)
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values.at(i));
        if (!query.exec())
            writeFailure(query);
    }

private:
    QSqlQuery query;
};

// Rows of one table written many to a statement on PostgreSQL, where a statement per row cost a
// round trip each. Rows wait until a statement's worth is kept, or
// until flush(); a batch flushes the batches it was told come before it first, so that no row
// reaches the database before the rows its foreign keys name.
class RowBatch
{
public:
    // `insert` is "INSERT INTO T (a, b, …)"; `columns` its count.
    RowBatch(QSqlDatabase& db, const QString& insert, int columns,
             std::initializer_list<RowBatch*> before = {})
        : db(db), insert(insert), columns(columns), before(before), full(db)
    {}
    void add(const QVariantList& values)
    {
        pending += values;
        if (pending.size() >= columns * rowsPerStatement)
            flush();
    }
    void flush()
    {
        for (RowBatch* batch : before)
            batch->flush();
        if (pending.isEmpty())
            return;
        const qsizetype rows = pending.size() / columns;
        QSqlQuery partial(db);
        QSqlQuery& query = rows == rowsPerStatement ? full : partial;
        if ((&query == &partial || !fullPrepared) && !query.prepare(sql(rows)))
            writeFailure(query);
        fullPrepared = fullPrepared || &query == &full;
        for (qsizetype i = 0; i < pending.size(); ++i)
            query.bindValue(int(i), pending.at(i));
        if (!query.exec())
            writeFailure(query);
        pending.clear();
    }

private:
    QString sql(qsizetype rows) const
    {
        const QString row = QLatin1Char('(') +
                            QStringList(columns, QStringLiteral("?")).join(QStringLiteral(", ")) +
                            QLatin1Char(')');
        return insert + QStringLiteral(" VALUES ") +
               QStringList(rows, row).join(QStringLiteral(", "));
    }

    QSqlDatabase& db;
    // SQLite, in-process, loses nothing with a row to a statement, and Qt SQL binds a long
    // statement's values more slowly than it runs short ones.
    const qsizetype rowsPerStatement = db.driverName() == QLatin1String("QPSQL") ? 250 : 1;
    const QString insert;
    const int columns;
    const QList<RowBatch*> before;
    QSqlQuery full;
    bool fullPrepared = false;
    QVariantList pending;
};

QVariant text(const char* value)
{
    return value ? QVariant(QString::fromUtf8(value)) : QVariant(QMetaType(QMetaType::QString));
}

QVariant nullText()
{
    return QVariant(QMetaType(QMetaType::QString));
}

QVariant nullNumber()
{
    return QVariant(QMetaType(QMetaType::Double));
}

QVariant dateValue(const QDate& date)
{
    return Schema::dateText(date.startOfDay());
}

QString padded(qint64 number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

void fillCompanies(QSqlDatabase& db)
{
    Writer company(db, QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA) VALUES (?, ?)"));
    Writer branch(db, QStringLiteral("INSERT INTO FILIAL (CDEMPRESA, CDFILIAL, NMFILIAL) "
                                     "VALUES (?, ?, ?)"));
    Writer sequence(db, QStringLiteral("INSERT INTO SEQNOTAFISC (CDEMPRESA, CDFILIAL, NRULTNOTA) "
                                       "VALUES (?, ?, 0)"));
    const std::array<const char*, 3> names{"Exportadora Café Brasil S.A.",
                                           "Companhia Açucareira Paulista",
                                           "Grãos do Sul Comércio Exterior"};
    for (int c = 0; c < 3; ++c) {
        const QString code = padded(c + 1, 2);
        company.run({code, QString::fromUtf8(names[c])});
        for (const char* b : {"0001", "0002"}) {
            branch.run({code, QString::fromLatin1(b),
                        QStringLiteral("Filial %1").arg(QString::fromLatin1(b))});
            sequence.run({code, QString::fromLatin1(b)});
        }
    }
}

void fillCustomersAndProducts(QSqlDatabase& db)
{
    Writer customer(db, QStringLiteral("INSERT INTO CLIENTE (CDCLIENTE, NRINSJURCLIE, NMFANTCLIE, "
                                       "IDTPIJURCLIE, NMRAZSOCCLIE, NMFANTORDCLIE) VALUES "
                                       "(?, ?, ?, ?, ?, ?)"));
    Writer address(db, QStringLiteral("INSERT INTO ENDECLIE (CDCLIENTE, IDTPENDECLIE, CDPAIS, "
                                      "DSENDERECO, NMCIDADE) VALUES (?, ?, ?, ?, ?)"));
    int n = 0;
    for (const Customer& c : customers) {
        ++n;
        const QString key = QString::fromLatin1(c.key);
        const QString name = QString::fromUtf8(c.name);
        customer.run({key, padded(n * 7919, 14), name, QStringLiteral("J"), text(c.legalName),
                      SortKey::of(name)});
        // Every customer has a billing address; all but one also a main ("P") address.
        address.run({key, QStringLiteral("C"), text(c.country ? c.country : "0055"),
                     QStringLiteral("Rua da Cobrança, %1").arg(n), QStringLiteral("Santos")});
        if (c.country)
            address.run({key, QStringLiteral("P"), text(c.country),
                         QStringLiteral("Main Street, %1").arg(n * 10), nullText()});
    }
    Writer product(db, QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO) VALUES (?, ?)"));
    for (size_t p = 0; p < products.size(); ++p)
        product.run({QStringLiteral("P%1").arg(padded(qint64(p) + 1, 3)), text(products[p])});
}

} // namespace

void DemoData::fill(QSqlDatabase& db) const
{
    if (!db.transaction())
        throw std::runtime_error("Não foi possível iniciar a transação dos dados de demonstração.");
    try {
        fillCompanies(db);
        fillCustomersAndProducts(db);
        const bool postgres = db.driverName() == QLatin1String("QPSQL");

        RowBatch invoice(db,
                         QStringLiteral("INSERT INTO INVOICE (CDEMPRESA, CDFILIAL, NRINVOICE, "
                                        "CDCLIENTE, CDPRODUTO, DTEMISINVOICE, DTVENINVOICE, "
                                        "DTRECINVOICE, DTCAMBIOINVOICE, DTAPURFATFAS, "
                                        "DTMESAPURADO, NRLANCTONF, NRNOTAFISC, VRCAMBIOINVOICE, "
                                        "TOTALINVOICE, VRORDPGTOINVOI, VRTXCAMBIOINVOI, "
                                        "DSREFPGTOINVOI, DSOBSPGTOINVOI, DSEMISSINVOI, "
                                        "DSBOLEFATFAS, IDTIPOINVOICE, IDGERNFINVOI, "
                                        "IDAPURFATFAS)"),
                         24);
        RowBatch item(db,
                      QStringLiteral("INSERT INTO INVOICEITEM (CDEMPRESA, CDFILIAL, NRINVOICE, "
                                     "NRSEQITINVOI, CDPRODUTO, DSEMISSINVOI, VRUNITEINVOI, "
                                     "VRUNITEDESC, VRTOTITEINVOI)"),
                      9, {&invoice});
        RowBatch note(db,
                      QStringLiteral("INSERT INTO NOTAFISCAL (CDEMPRESA, CDFILIAL, NRNOTAFISC, "
                                     "CDCLIENTE, DTEMISNOTA, IDMODONOTA, VRNOTACENTAVOS)"),
                      7);
        RowBatch noteInvoice(db,
                             QStringLiteral("INSERT INTO NOTAFISCALINVOICE (CDEMPRESA, NRINVOICE, "
                                            "CDFILIAL, NRNOTAFISC, VRREAISCENTAVOS)"),
                             5, {&invoice, &note});
        Writer sequence(db, QStringLiteral("UPDATE SEQNOTAFISC SET NRULTNOTA = ? WHERE "
                                           "CDEMPRESA = ? AND CDFILIAL = ?"));

        // Invoices are issued from the start of 2025 up to the creation day; a receipt, an
        // exchange or a note that would fall after that day has not happened yet.
        const QDate lastDay = today;
        const QDate firstDay = std::min(QDate(2025, 1, 1), lastDay.addYears(-1));
        const int days = int(firstDay.daysTo(lastDay));
        int written = 0;         // invoices, over all companies
        int nextAnalysis = 2000; // doubles at every analysis
        for (int c = 0; c < 3; ++c) {
            Sequence random(1000003ULL * quint64(c + 1));
            const QString company = padded(c + 1, 2);
            const int count = total / 3 + (c < total % 3 ? 1 : 0);
            std::array<qint64, 2> lastNote{0, 0};
            for (int i = 1; i <= count; ++i) {
                // PostgreSQL checks each item's and link's invoice with a plan made when the
                // tables were empty (a scan of the whole table) unless their statistics are
                // brought up to date as they fill: without this, the time grows with the
                // square of the invoices. Each time the tables have doubled is enough.
                if (postgres && ++written == nextAnalysis) {
                    nextAnalysis *= 2;
                    item.flush();
                    noteInvoice.flush();
                    QSqlQuery analyze(db);
                    if (!analyze.exec(QStringLiteral("ANALYZE INVOICE")) ||
                        !analyze.exec(QStringLiteral("ANALYZE NOTAFISCAL")))
                        writeFailure(analyze);
                }
                const QString number = padded(i, 7);
                const int b = random.below(2);
                const QString branch = b == 0 ? QStringLiteral("0001") : QStringLiteral("0002");
                const Customer& customer = buyerAbroad(random.below(int(customers.size())));
                const QDate issued = firstDay.addDays(random.below(days + 1));
                const QDate due = issued.addDays(30 + random.below(61));

                // Items first: the invoice total is their sum, in cents.
                const int itemCount = itemCounts[size_t(random.below(int(itemCounts.size())))];
                qint64 totalCents = 0;
                QString firstProduct;
                QList<QVariantList> items;
                for (int s = 1; s <= itemCount; ++s) {
                    const int p = random.below(int(products.size()));
                    const QString code = QStringLiteral("P%1").arg(padded(p + 1, 3));
                    if (firstProduct.isEmpty())
                        firstProduct = code;
                    const qint64 unit = 5000 + random.below(200000);
                    const qint64 adjusted = unit - unit * random.below(11) / 100;
                    const qint64 quantity = 1 + random.below(20);
                    totalCents += adjusted * quantity;
                    items.append(
                        {company, branch, number, padded(s, 4), code,
                         QStringLiteral("%1 %2 de %3")
                             .arg(quantity)
                             .arg(quantity == 1 ? QStringLiteral("saca") : QStringLiteral("sacas"))
                             .arg(QString::fromUtf8(products[size_t(p)])),
                         double(unit) / 100, double(adjusted) / 100,
                         double(adjusted * quantity) / 100});
                }
                const double totalValue = double(totalCents) / 100;

                // Situation: 40% open, 35% paid without note (half of them exchanged),
                // 25% paid with the note issued on the exchange day; fewer among the last
                // invoices, whose receipt or exchange would come after the creation day. The
                // days are drawn whatever the situation, so that the draws of every later
                // invoice stay the same.
                const int situation = random.below(100);
                const QDate received = issued.addDays(10 + random.below(80));
                const QDate exchangeDay = received.addDays(random.below(5));
                const bool paid = situation >= 40 && received <= lastDay;
                const bool exchanged = paid && situation >= 57 && exchangeDay <= lastDay;
                const bool issuedNote = exchanged && situation >= 75;
                const int rateMillis = 4800 + random.below(801);
                QVariant noteNumber = nullText();
                if (issuedNote) {
                    const qint64 n = ++lastNote[size_t(b)];
                    noteNumber = padded(n, 9);
                }

                // Only the kinds the screen shows; the draw keeps its range so that the later
                // draws stay the same.
                const QString type =
                    random.below(20) < 10 ? QStringLiteral("M") : QStringLiteral("A");
                const bool apurado = random.below(10) == 0 && issued.addDays(5) <= lastDay;
                const QVariant observation =
                    !paid ? nullText()
                    : random.below(3) == 0
                        ? QVariant(QStringLiteral("Pagamento recebido via ordem nº %1.\n"
                                                  "Conferência: João Araújo.\nSem pendências.")
                                       .arg(i))
                        : QVariant(QStringLiteral("Recebido."));

                invoice.add(
                    {company,
                     branch,
                     number,
                     QString::fromLatin1(customer.key),
                     firstProduct,
                     dateValue(issued),
                     dateValue(due),
                     paid ? dateValue(received) : nullText(),
                     exchanged ? dateValue(exchangeDay) : nullText(),
                     apurado ? dateValue(issued.addDays(5)) : nullText(),
                     apurado ? dateValue(QDate(issued.year(), issued.month(), 1)) : nullText(),
                     issuedNote ? QVariant(padded(i, 10)) : nullText(),
                     noteNumber,
                     exchanged ? QVariant(double(rateMillis) / 1000) : nullNumber(),
                     totalValue,
                     paid ? QVariant(totalValue) : nullNumber(),
                     exchanged ? QVariant(double(rateMillis / 10) / 100) : nullNumber(),
                     paid ? QVariant(QStringLiteral("OP-%1").arg(padded(i, 6))) : nullText(),
                     observation,
                     QStringLiteral("Exportação de café e derivados — lote %1").arg(i),
                     random.below(4) == 0 ? QVariant(QStringLiteral("Boleto %1").arg(i))
                                          : nullText(),
                     type,
                     issuedNote ? QStringLiteral("S") : QStringLiteral("N"),
                     apurado ? QStringLiteral("6") : QStringLiteral("0")});
                for (const QVariantList& values : items)
                    item.add(values);
                if (issuedNote) {
                    const qint64 reais = (totalCents * rateMillis + 500) / 1000;
                    note.add({company, branch, noteNumber, QString::fromLatin1(customer.key),
                              dateValue(exchangeDay), QStringLiteral("Separadas"), reais});
                    noteInvoice.add({company, number, branch, noteNumber, reais});
                }
            }
            sequence.run({lastNote[0], company, QStringLiteral("0001")});
            sequence.run({lastNote[1], company, QStringLiteral("0002")});
        }
        item.flush();
        noteInvoice.flush();
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw std::runtime_error("Falha ao gravar os dados de demonstração.");
}
