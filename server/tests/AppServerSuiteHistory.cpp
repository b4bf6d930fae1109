// The invoices' history, the reversal that reads it, and the note preview.
#include "AppServerSuite.h"

namespace {

const QStringList settlementFields{
    QStringLiteral("DTRECINVOICE"),    QStringLiteral("VRORDPGTOINVOI"),
    QStringLiteral("DSREFPGTOINVOI"),  QStringLiteral("DSOBSPGTOINVOI"),
    QStringLiteral("DTCAMBIOINVOICE"), QStringLiteral("VRCAMBIOINVOICE"),
    QStringLiteral("VRTXCAMBIOINVOI")};

} // namespace

void AppServerSuite::historyAndReversal()
{
    const Caller clerk{QStringLiteral("maria.sá"), QStringLiteral("caixa-3")};
    const auto run = [&](const QString& method, const QJsonArray& params,
                         InvoiceService::Options options = {}) {
        return call(method, params, options, nullptr, clerk);
    };
    const QString number =
        invoices(QStringLiteral("01"), QStringLiteral("A_")).rows.at(0).at(at("NRINVOICE")).toString();
    // The invoice as the list gives it now, marked or with a change of these fields.
    const auto current = [&](const QList<std::pair<QString, QVariant>>& set) {
        const DataPacket all = invoices(QStringLiteral("01"));
        for (const Row& row : all.rows) {
            if (row.at(at("NRINVOICE")).toString() != number)
                continue;
            DataPacket marked{all.fields, {row}};
            marked.rows[0][at("IDCHECK")] = QStringLiteral("S");
            Delta delta{all.fields, {DeltaChange{QStringLiteral("modify"), row, set}}};
            return std::make_pair(marked, delta);
        }
        qFatal("the invoice left the list");
    };
    const auto stored = [&] {
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT %1 FROM INVOICE WHERE CDEMPRESA = '01' AND NRINVOICE = "
                                  "'%2'")
                       .arg(settlementFields.join(QStringLiteral(", ")), number));
        query.next();
        QStringList values;
        for (int i = 0; i < settlementFields.size(); ++i)
            values.append(query.isNull(i) ? QStringLiteral("<null>") : query.value(i).toString());
        return values;
    };
    const auto receipt = [&](const QString& reference) {
        return current({{QStringLiteral("DTRECINVOICE"), QDateTime(QDate(2026, 2, 3), QTime())},
                        {QStringLiteral("VRORDPGTOINVOI"), 1234.56},
                        {QStringLiteral("DSREFPGTOINVOI"), reference}})
            .second;
    };
    const auto reverse = [&](const char* what) {
        return message(run(QStringLiteral("EstornaInvoice"),
                           {arg("variant", asObject(current({}).first)),
                            arg("string", QString::fromUtf8(what))}));
    };
    const QStringList original = stored();

    // A change that fails before or at its history leaves neither.
    const QStringList untouched = snapshot();
    for (const int failAfter : {1, 2}) {
        InvoiceService::Options failing;
        failing.failAfterWrites = failAfter;
        QVERIFY(message(run(QStringLiteral("SetInvoice"),
                            {arg("variant", asObject(receipt(QStringLiteral("OP 1"))))}, failing))
                    .contains(QStringLiteral("Falha simulada")));
        QCOMPARE(snapshot(), untouched);
    }
    QVERIFY(reverse("Recebimento").contains(QStringLiteral("não tem recebimento")));

    // Two receipts, each in the history with who made it.
    for (const char* reference : {"OP 1", "OP 2"})
        QCOMPARE(message(run(QStringLiteral("SetInvoice"),
                             {arg("variant", asObject(receipt(QString::fromUtf8(reference))))})),
                 QStringLiteral("<ok>"));
    const QStringList secondReceipt = stored();
    const QJsonObject history = run(QStringLiteral("GetHistorico"),
                                    {arg("string", QStringLiteral("01")), arg("string", number)});
    const DataPacket rows = DataPacket::fromJsonObject(data(history).toObject());
    // The first receipt wrote three fields; the second only the reference it changed.
    QCOMPARE(rows.rows.size(), 4);
    const auto cell = [&](int row, const char* field) {
        return rows.rows.at(row).at(rows.indexOf(QString::fromLatin1(field)));
    };
    QCOMPARE(cell(0, "DSVALORANT").toString(), QStringLiteral("OP 1"));
    QCOMPARE(cell(0, "DSVALORNOVO").toString(), QStringLiteral("OP 2"));
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(cell(row, "IDOPERACAO").toString(), QStringLiteral("Recebimento"));
        QCOMPARE(cell(row, "NMUSUARIO").toString(), clerk.user);
        QCOMPARE(cell(row, "NMESTACAO").toString(), clerk.host);
    }
    QVERIFY(cell(3, "DSVALORANT").isNull());

    // An exchange: the receipt can no longer be reversed; the exchange can, exactly.
    QCOMPARE(message(run(QStringLiteral("SetInvoice"),
                         {arg("variant",
                              asObject(current({{QStringLiteral("VRCAMBIOINVOICE"), 5.125},
                                                {QStringLiteral("VRTXCAMBIOINVOI"), 5.2},
                                                {QStringLiteral("DTCAMBIOINVOICE"),
                                                 QDateTime(QDate(2026, 2, 4), QTime())}})
                                           .second))})),
             QStringLiteral("<ok>"));
    QVERIFY(reverse("Recebimento").contains(QStringLiteral("estorne o câmbio")));
    QCOMPARE(reverse("Câmbio"), QStringLiteral("<ok>"));
    QCOMPARE(stored(), secondReceipt);
    QVERIFY(reverse("Câmbio").contains(QStringLiteral("não tem câmbio")));

    // Reversals undo the receipts newest first, each once, down to the invoice as it was.
    QCOMPARE(reverse("Recebimento"), QStringLiteral("<ok>"));
    QCOMPARE(stored().at(2), QStringLiteral("OP 1"));
    QCOMPARE(reverse("Recebimento"), QStringLiteral("<ok>"));
    QCOMPARE(stored(), original);
    QVERIFY(reverse("Recebimento").contains(QStringLiteral("não tem recebimento")));
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM HISTINVOICE WHERE IDOPERACAO LIKE "
                                   "'Estorno%'")),
             3 + 1 + 3); // the exchange's three fields, the second receipt's one, the first's
}

void AppServerSuite::previewIsWhatGeraNFIssues_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("unified") << "Unificada";
    QTest::newRow("separate") << "Separadas";
}

void AppServerSuite::previewIsWhatGeraNFIssues()
{
    QFETCH(QString, mode);
    const Marked marked = markReady(QStringLiteral("02"), 20);
    const QStringList before = snapshot();
    const QJsonObject preview = data(
        call(QStringLiteral("PreviaNF"), {arg("variant", asObject(marked.packet))})).toObject();
    QCOMPARE(snapshot(), before);
    const QJsonObject issued = data(call(QStringLiteral("GeraNF"),
                                         {arg("variant", asObject(marked.packet)),
                                          arg("string", mode)}))
                                   .toObject();
    const QJsonArray shown = preview.value(mode).toObject().value(QStringLiteral("notas")).toArray();
    const QJsonArray notes = issued.value(QStringLiteral("notas")).toArray();
    QVERIFY(!notes.isEmpty());
    QCOMPARE(shown.size(), notes.size());
    for (qsizetype i = 0; i < notes.size(); ++i) {
        for (const char* key : {"CDFILIAL", "CDCLIENTE", "VRNOTACENTAVOS", "invoices"})
            QCOMPARE(shown.at(i)[QLatin1String(key)], notes.at(i)[QLatin1String(key)]);
        QVERIFY(!shown.at(i)[QLatin1String("NMFANTCLIE")].toString().isEmpty());
    }
    // The note is in the history of each of its invoices.
    QCOMPARE(scalar(QStringLiteral("SELECT COUNT(*) FROM HISTINVOICE WHERE IDOPERACAO = 'Nota "
                                   "Fiscal' AND NMCAMPO = 'IDGERNFINVOI'")),
             marked.numbers.size());
}
