// Record set figures on realistic packets: 100,000 invoices of 29 fields and 500,000 items
// of 10 fields.
#include "TClientDataSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

FieldDef text(const char* name, int size)
{
    return {QString::fromLatin1(name), FieldType::String, size, false};
}
FieldDef date(const char* name)
{
    return {QString::fromLatin1(name), FieldType::DateTime, 0, false};
}
FieldDef number(const char* name)
{
    return {QString::fromLatin1(name), FieldType::Float, 0, false};
}

QString words(QRandomGenerator& random, int length)
{
    static const QStringList pool = {"pagamento", "referente", "fatura",   "exportação", "cliente",
                                     "ordem",     "câmbio",    "recebido", "banco",      "contrato",
                                     "lote",      "embarque",  "conforme", "valor",      "dólar"};
    QString out;
    while (out.size() < length)
        out += pool.at(random.bounded(int(pool.size()))) + u' ';
    return out.left(length);
}

QVariant someDate(QRandomGenerator& random, bool mayBeNull)
{
    if (mayBeNull && random.bounded(3) == 0)
        return QVariant();
    return QDateTime(QDate(2024, 1, 1).addDays(random.bounded(800)), QTime(0, 0));
}

} // namespace

QList<FieldDef> invoiceFields()
{
    return {text("ORDENA", 200),          text("ORDENA2", 200),
            text("CDEMPRESA", 2),         text("NMEMPRESA", 40),
            text("CDFILIAL", 4),          text("NRINVOICE", 10),
            text("CDCLIENTE", 21),        text("NMFANTCLIE", 50),
            text("CDPRODUTO", 10),        date("DTEMISINVOICE"),
            date("DTVENINVOICE"),         date("DTRECINVOICE"),
            date("DTCAMBIOINVOICE"),      date("DTAPURFATFAS"),
            date("DTMESAPURADO"),         text("NRLANCTONF", 10),
            text("NRNOTAFISC", 20),       number("VRCAMBIOINVOICE"),
            number("TOTALINVOICE"),       number("VRORDPGTOINVOI"),
            number("VRTXCAMBIOINVOI"),    text("DSREFPGTOINVOI", 60),
            text("DSOBSPGTOINVOI", 2000), text("DSEMISSINVOI", 400),
            text("DSBOLEFATFAS", 400),    text("IDTIPOINVOICE", 1),
            text("IDGERNFINVOI", 1),      {QStringLiteral("IDCHECK"), FieldType::String, 1, true},
            text("IDAPURFATFAS", 1)};
}

QList<FieldDef> itemFields()
{
    return {text("CDEMPRESA", 2),      text("CDFILIAL", 4),    text("NRINVOICE", 10),
            text("NRSEQITINVOI", 4),   text("CDPRODUTO", 10),  text("NMPRODUTO", 50),
            text("DSEMISSINVOI", 400), number("VRUNITEINVOI"), number("VRUNITEDESC"),
            number("VRTOTITEINVOI")};
}

QString invoiceNumber(int i)
{
    return QStringLiteral("%1").arg(i + 1, 8, 10, QChar(u'0'));
}

QByteArray invoicePacket(int count)
{
    QRandomGenerator random(1);
    DataPacket packet;
    packet.fields = invoiceFields();
    packet.rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString nr = invoiceNumber(i);
        packet.rows.append({QStringLiteral("CLIENTE %1 %2").arg(random.bounded(500)).arg(nr),
                            nr,
                            QStringLiteral("01"),
                            QStringLiteral("EMPRESA EXPORTADORA LTDA"),
                            QStringLiteral("0001"),
                            nr,
                            QString::number(10000 + random.bounded(500)),
                            words(random, 30),
                            QStringLiteral("P%1").arg(random.bounded(900)),
                            someDate(random, false),
                            someDate(random, false),
                            someDate(random, true),
                            someDate(random, true),
                            someDate(random, true),
                            someDate(random, true),
                            QString::number(random.bounded(99999)),
                            QVariant(),
                            random.bounded(6.0),
                            random.bounded(100000.0),
                            random.bounded(100000.0),
                            random.bounded(6.0),
                            words(random, 40),
                            words(random, 200 + random.bounded(300)),
                            words(random, 120),
                            words(random, 80),
                            QStringLiteral("M"),
                            QStringLiteral("N"),
                            QStringLiteral("N"),
                            QStringLiteral("1")});
    }
    return packet.toJson();
}

QByteArray itemPacket(int invoices, int perInvoice)
{
    QRandomGenerator random(2);
    DataPacket packet;
    packet.fields = itemFields();
    packet.rows.reserve(invoices * perInvoice);
    for (int i = 0; i < invoices; ++i) {
        for (int s = 0; s < perInvoice; ++s) {
            const double value = random.bounded(5000.0);
            packet.rows.append({QStringLiteral("01"), QStringLiteral("0001"), invoiceNumber(i),
                                QString::number(s + 1),
                                QStringLiteral("P%1").arg(random.bounded(900)), words(random, 35),
                                words(random, 100 + random.bounded(100)), value, value * 0.98,
                                value * 3});
        }
    }
    return packet.toJson();
}

template <typename Fn> double medianMs(int runs, Fn fn)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        fn();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    const int invoices = 100000;
    std::printf("generating %d invoices and %d items...\n", invoices, invoices * 5);
    const QByteArray invoiceJson = invoicePacket(invoices);
    const QByteArray itemJson = itemPacket(invoices, 5);
    std::printf("invoice packet %.1f MB, item packet %.1f MB\n", invoiceJson.size() / 1e6,
                itemJson.size() / 1e6);

    TClientDataSet cdsInvoice;
    TClientDataSet cdsItem;
    for (const FieldDef& f : invoiceFields())
        cdsInvoice.AddField(f);
    for (const FieldDef& f : itemFields())
        cdsItem.AddField(f);

    for (const auto& [name, json, cds] : {std::tuple{"invoices", &invoiceJson, &cdsInvoice},
                                          std::tuple{"items", &itemJson, &cdsItem}}) {
        const double parse = medianMs(3, [&] { QJsonDocument::fromJson(*json); });
        const double load = medianMs(3, [&] { cds->SetData(*json); });
        std::printf("SetData %-8s %8.1f ms   QJsonDocument::fromJson %8.1f ms   ratio %.2f\n", name,
                    load, parse, load / parse);
    }

    // Item filter changes with controls disabled, as the invoice list's AfterScroll does.
    QRandomGenerator random(3);
    std::vector<double> changes;
    cdsItem.SetFilter(QStringLiteral("NRINVOICE ='%1'").arg(invoiceNumber(0)));
    cdsItem.SetFiltered(true);
    for (int i = 0; i < 20000; ++i) {
        const QString nr = invoiceNumber(random.bounded(invoices));
        QElapsedTimer timer;
        timer.start();
        cdsItem.DisableControls();
        cdsItem.SetFiltered(false);
        cdsItem.SetFilter(QStringLiteral("NRINVOICE ='") + nr + u'\'');
        cdsItem.SetFiltered(true);
        cdsItem.EnableControls();
        changes.push_back(timer.nsecsElapsed() / 1e3);
    }
    std::sort(changes.begin(), changes.end());
    std::printf(
        "item filter change (controls disabled): median %.2f us, p99 %.2f us, %d items visible\n",
        changes[changes.size() / 2], changes[changes.size() * 99 / 100], cdsItem.RecordCount());

    // Walk over all invoices with the item filter following.
    cdsInvoice.AfterScroll = [&](TClientDataSet& d) {
        cdsItem.DisableControls();
        cdsItem.SetFiltered(false);
        cdsItem.SetFilter(QStringLiteral("NRINVOICE ='") + d.FieldByName("NRINVOICE").AsString() +
                          u'\'');
        cdsItem.SetFiltered(true);
        cdsItem.EnableControls();
    };
    long long items = 0;
    const double walk = medianMs(3, [&] {
        items = 0;
        cdsInvoice.DisableControls();
        cdsInvoice.First();
        while (!cdsInvoice.Eof()) {
            items += cdsItem.RecordCount();
            cdsInvoice.Next();
        }
        cdsInvoice.EnableControls();
    });
    std::printf("walk over %d invoices, item filter following: %.1f ms (%lld items seen)\n",
                cdsInvoice.RecordCount(), walk, items);
    cdsInvoice.AfterScroll = {};

    // A change on every invoice, then the delta.
    QElapsedTimer timer;
    timer.start();
    TField& mark = cdsInvoice.FieldByName("IDCHECK");
    cdsInvoice.First();
    while (!cdsInvoice.Eof()) {
        cdsInvoice.Edit();
        mark.SetAsString(QStringLiteral("S"));
        cdsInvoice.Post();
        cdsInvoice.Next();
    }
    std::printf("edit+post on every invoice: %.1f ms, change count %d\n",
                timer.nsecsElapsed() / 1e6, cdsInvoice.GetChangeCount());
    // Delta and data: the packet writer straight from the record store, against Qt's JSON
    // reader on the same bytes, and the data loaded back.
    QByteArray delta;
    const double deltaMs = medianMs(3, [&] { delta = cdsInvoice.GetDelta(); });
    const double deltaParse = medianMs(3, [&] { QJsonDocument::fromJson(delta); });
    const double deltaRead = medianMs(3, [&] { Delta::fromJson(delta); });
    std::printf("GetDelta: %.1f ms (%d changes, %.1f MB); QJsonDocument::fromJson of it %.1f ms, "
                "ratio %.2f; Delta::fromJson of it %.1f ms\n",
                deltaMs, cdsInvoice.GetChangeCount(), delta.size() / 1e6, deltaParse,
                deltaMs / deltaParse, deltaRead);

    QByteArray data;
    const double dataMs = medianMs(3, [&] { data = cdsInvoice.GetData(); });
    const double dataParse = medianMs(3, [&] { QJsonDocument::fromJson(data); });
    TClientDataSet reload;
    for (const FieldDef& f : invoiceFields())
        reload.AddField(f);
    const double dataLoad = medianMs(3, [&] { reload.SetData(data); });
    std::printf("GetData: %.1f ms (%.1f MB); QJsonDocument::fromJson of it %.1f ms, ratio %.2f; "
                "SetData of it %.1f ms\n",
                dataMs, data.size() / 1e6, dataParse, dataMs / dataParse, dataLoad);
    return 0;
}
