// GeraNF: notes issued from the marked invoices, and the marks read from a packet.
#include "AppServerSuite.h"

AppServerSuite::Marked AppServerSuite::markReady(const QString& company, int wanted) const
{
    Marked marked{invoices(company, QStringLiteral("N_")), {}, {}};
    for (Row& row : marked.packet.rows) {
        if (marked.numbers.size() < wanted && !row.at(at("DTCAMBIOINVOICE")).isNull()) {
            row[at("IDCHECK")] = QStringLiteral("S");
            marked.numbers.append(row.at(at("NRINVOICE")).toString());
            marked.customers.insert(row.at(at("CDCLIENTE")).toString());
        }
    }
    return marked;
}

void AppServerSuite::geraNF_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("mode");
    QTest::newRow("one note per invoice") << "02"
                                          << "Separadas";
    QTest::newRow("one note per customer") << "03"
                                           << "Unificada";
}

void AppServerSuite::geraNF()
{
    QFETCH(QString, company);
    QFETCH(QString, mode);
    const Marked marked = markReady(company, 12);
    QCOMPARE(marked.numbers.size(), 12);
    const qint64 notesBefore = scalar(
        QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA = '%1'").arg(company));
    const qint64 lastBefore =
        scalar(QStringLiteral("SELECT SUM(NRULTNOTA) FROM SEQNOTAFISC WHERE CDEMPRESA = '%1'")
                   .arg(company));

    const QJsonArray params{arg("variant", asObject(marked.packet)), arg("string", mode)};
    const QJsonObject answer = call(QStringLiteral("GeraNF"), params);
    QCOMPARE(message(answer), QStringLiteral("<ok>"));
    const QJsonArray notes = answer.value("result")
                                 .toObject()
                                 .value("data")
                                 .toObject()
                                 .value(QStringLiteral("notas"))
                                 .toArray();
    QSet<QString> noteCustomers;
    // Unified: one note per customer (and branch); separate: one per invoice.
    qint64 expectedNotes = 0;
    if (mode == QLatin1String("Separadas")) {
        expectedNotes = marked.numbers.size();
    } else {
        QSet<QString> pairs;
        for (const Row& row : marked.packet.rows) {
            if (row.at(at("IDCHECK")).toString() == QLatin1String("S"))
                pairs.insert(row.at(at("CDFILIAL")).toString() + QLatin1Char('/') +
                             row.at(at("CDCLIENTE")).toString());
        }
        expectedNotes = pairs.size();
        QVERIFY(expectedNotes < marked.numbers.size()); // some customer has two
    }
    QCOMPARE(notes.size(), expectedNotes);
    QCOMPARE(
        scalar(
            QStringLiteral("SELECT COUNT(*) FROM NOTAFISCAL WHERE CDEMPRESA = '%1'").arg(company)),
        notesBefore + expectedNotes);
    // Numbers continue each branch's sequence without gaps.
    QCOMPARE(scalar(QStringLiteral("SELECT SUM(NRULTNOTA) FROM SEQNOTAFISC WHERE CDEMPRESA = "
                                   "'%1'")
                        .arg(company)),
             lastBefore + expectedNotes);

    // Each note's value: the invoices' dollars times rate, rounded to cents per invoice.
    for (const QJsonValue& value : notes) {
        const QJsonObject note = value.toObject();
        qint64 cents = 0;
        for (const QJsonValue& number : note.value(QStringLiteral("invoices")).toArray()) {
            QSqlQuery query(db);
            query.prepare(QStringLiteral("SELECT TOTALINVOICE, VRCAMBIOINVOICE, NRNOTAFISC, "
                                         "IDGERNFINVOI FROM INVOICE WHERE CDEMPRESA = ? AND "
                                         "NRINVOICE = ?"));
            query.addBindValue(company);
            query.addBindValue(number.toString());
            QVERIFY(query.exec() && query.next());
            cents += std::llround(query.value(0).toDouble() * query.value(1).toDouble() * 100);
            QCOMPARE(query.value(2).toString(), note.value("NRNOTAFISC").toString());
            QCOMPARE(query.value(3).toString(), QStringLiteral("S"));
        }
        QCOMPARE(qint64(note.value(QStringLiteral("VRNOTACENTAVOS")).toDouble()), cents);
        QCOMPARE(scalar(QStringLiteral("SELECT VRNOTACENTAVOS FROM NOTAFISCAL WHERE "
                                       "CDEMPRESA = '%1' AND CDFILIAL = '%2' AND NRNOTAFISC "
                                       "= '%3'")
                            .arg(company, note.value("CDFILIAL").toString(),
                                 note.value("NRNOTAFISC").toString())),
                 cents);
    }

    // The next list shows them as "D".
    const DataPacket after = invoices(company);
    int marks = 0;
    for (const Row& row : after.rows) {
        if (marked.numbers.contains(row.at(at("NRINVOICE")).toString())) {
            QCOMPARE(row.at(at("IDCHECK")).toString(), QStringLiteral("D"));
            ++marks;
        }
    }
    QCOMPARE(marks, marked.numbers.size());

    // A retry of the same call issues nothing twice.
    const QStringList before = snapshot();
    const QJsonObject retry = call(QStringLiteral("GeraNF"), params);
    QCOMPARE(message(retry), QStringLiteral("<ok>"));
    QCOMPARE(retry.value("result")
                 .toObject()
                 .value("data")
                 .toObject()
                 .value(QStringLiteral("jaEmitidas"))
                 .toArray()
                 .size(),
             marked.numbers.size());
    QCOMPARE(snapshot(), before);
}

void AppServerSuite::geraNFRefused_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no receipt date") << "receipt"
                                     << "Data de Recebimento";
    QTest::newRow("no exchange date") << "exchange"
                                      << "Data de Câmbio";
    QTest::newRow("nothing marked") << "none"
                                    << "deve(m) ser informado(s)";
    QTest::newRow("unknown mode") << "mode"
                                  << "Modo de geração inválido";
    QTest::newRow("failure halfway") << "fault"
                                     << "Falha simulada";
    QTest::newRow("packet without a field") << "missing"
                                            << "DTRECINVOICE";
    QTest::newRow("exchanged at a dollar of zero") << "zero"
                                                   << "é de R$ 0,00 ou menos";
}

void AppServerSuite::geraNFRefused()
{
    QFETCH(QString, problem);
    QFETCH(QString, expected);
    Marked marked = markReady(QStringLiteral("01"), 3);
    QString mode = QStringLiteral("Separadas");
    InvoiceService::Options options;
    if (problem == QLatin1String("receipt") || problem == QLatin1String("exchange")) {
        const QString situation =
            problem == QLatin1String("receipt") ? QStringLiteral("A_") : QStringLiteral("N_");
        const DataPacket other = invoices(QStringLiteral("01"), situation);
        for (const Row& row : other.rows) {
            if (row.at(at("DTCAMBIOINVOICE")).isNull()) {
                Row marking = row;
                marking[at("IDCHECK")] = QStringLiteral("S");
                marked.packet.rows.append(marking);
                break;
            }
        }
    } else if (problem == QLatin1String("none")) {
        for (Row& row : marked.packet.rows)
            row[at("IDCHECK")] = QStringLiteral("N");
    } else if (problem == QLatin1String("mode")) {
        mode = QStringLiteral("unificada");
    } else if (problem == QLatin1String("fault")) {
        options.failAfterWrites = 5;
    } else if (problem == QLatin1String("missing")) {
        marked.packet.fields.removeAt(at("DTRECINVOICE"));
        for (Row& row : marked.packet.rows)
            row.removeAt(at("DTRECINVOICE"));
    } else if (problem == QLatin1String("zero")) {
        // Two of the three: the message names both, and the third gets no note either.
        for (const QString& number : marked.numbers.mid(1)) {
            QSqlQuery zero(db);
            zero.prepare(QStringLiteral("UPDATE INVOICE SET VRCAMBIOINVOICE = 0 WHERE "
                                        "CDEMPRESA = '01' AND NRINVOICE = ?"));
            zero.addBindValue(number);
            QVERIFY(zero.exec());
        }
        expected = marked.numbers.at(1) + QStringLiteral(", ") + marked.numbers.at(2) +
                   QStringLiteral(" é de R$ 0,00 ou menos");
    }
    const QStringList before = snapshot();
    const QJsonObject answer =
        call(QStringLiteral("GeraNF"),
             {arg("variant", asObject(marked.packet)), arg("string", mode)}, options);
    QVERIFY2(message(answer).contains(expected), qPrintable(message(answer)));
    QCOMPARE(snapshot(), before);
}

// The marks GeraNF reads from a packet's text, against the same packet read whole: the
// invoices of its rows marked "S", or the reader's own refusal.
void AppServerSuite::markedFromText_data()
{
    QTest::addColumn<QString>("change");  // what is done to the packet's text
    QTest::addColumn<QString>("refusal"); // part of both messages; empty: accepted
    QTest::newRow("plain") << ""
                           << "";
    QTest::newRow("mark written with an escape") << "escaped mark"
                                                 << "";
    QTest::newRow("marks that are not S") << "other marks"
                                          << "";
    QTest::newRow("keys written with escapes") << "escaped keys"
                                               << "";
    QTest::newRow("rows before fields") << "rows first"
                                        << "";
    QTest::newRow("repeated rows: the last counts") << "rows twice"
                                                    << "";
    QTest::newRow("space everywhere") << "space"
                                      << "";
    QTest::newRow("marked row without company") << "null company"
                                                << "";
    QTest::newRow("nothing marked") << "none"
                                    << "deve(m) ser informado(s)";
    QTest::newRow("two companies") << "two companies"
                                   << "empresas";
    QTest::newRow("row too short") << "short row"
                                   << "Linha 2 tem 28 valores";
    QTest::newRow("row no list") << "row object"
                                 << "Linha 2 não é uma lista";
    QTest::newRow("number as key") << "number key"
                                   << "Valor do tipo número";
    QTest::newRow("field missing") << "missing field"
                                   << "DTRECINVOICE";
    QTest::newRow("no rows") << "no rows"
                             << "sem a lista \"rows\"";
    QTest::newRow("not JSON") << "cut"
                              << "JSON malformado";
}

void AppServerSuite::markedFromText()
{
    QFETCH(QString, change);
    QFETCH(QString, refusal);
    // Four invoices that may get a note, two of them marked.
    DataPacket packet = invoices(QStringLiteral("01"), QStringLiteral("N_"));
    packet.rows.removeIf([](const Row& row) { return row.at(at("DTCAMBIOINVOICE")).isNull(); });
    QVERIFY(packet.rows.size() >= 4);
    packet.rows.resize(4);
    const int mark = at("IDCHECK");
    const int number = at("NRINVOICE");
    const int company = at("CDEMPRESA");
    packet.rows[1][mark] = QStringLiteral("S");
    packet.rows[3][mark] = QStringLiteral("S");
    if (change == QLatin1String("other marks")) {
        packet.rows[0][mark] = QStringLiteral("s");
        packet.rows[2][mark] = QStringLiteral("S ");
        packet.rows[3][mark] = QVariant();
    } else if (change == QLatin1String("none")) {
        packet.rows[1][mark] = packet.rows[3][mark] = QStringLiteral("N");
    } else if (change == QLatin1String("two companies")) {
        packet.rows[3][company] = QStringLiteral("02");
    } else if (change == QLatin1String("null company")) {
        packet.rows[1][company] = QVariant();
    } else if (change == QLatin1String("missing field")) {
        packet.fields.removeAt(at("DTRECINVOICE"));
        for (Row& row : packet.rows)
            row.removeAt(at("DTRECINVOICE"));
    }
    QByteArray text = packet.toJson();
    const QByteArray firstKey = '"' + packet.rows[1][number].toString().toUtf8() + '"';
    const QByteArray rows = text.mid(text.indexOf("\"rows\":"));
    const QByteArray fields = text.left(text.indexOf(",\"rows\":")).mid(1);
    if (change == QLatin1String("escaped mark")) {
        text.replace("\"S\"", "\"\\u0053\"");
    } else if (change == QLatin1String("escaped keys")) {
        QByteArray escaped = "\"";
        for (char c : firstKey.mid(1, firstKey.size() - 2))
            escaped += "\\u00" + QByteArray::number(uchar(c), 16);
        escaped += '"';
        text.replace(firstKey, escaped);
    } else if (change == QLatin1String("rows first")) {
        text = '{' + rows.chopped(1) + ',' + fields + '}';
    } else if (change == QLatin1String("rows twice")) {
        text = "{\"rows\":[[1]]," + text.mid(1);
    } else if (change == QLatin1String("space")) {
        text.replace("],[", "] ,\n\t[").replace("\":", "\" : ").replace("[[", "[ [");
    } else if (change == QLatin1String("short row")) {
        const qsizetype end = text.indexOf("],[", text.indexOf("],[") + 2);
        const qsizetype lastCell = text.lastIndexOf(',', end);
        text.remove(lastCell, end - lastCell);
    } else if (change == QLatin1String("row object")) {
        const qsizetype second = text.indexOf("],[") + 2;
        text = text.left(second) + "{}" + text.mid(text.indexOf("],[", second) + 1);
    } else if (change == QLatin1String("number key")) {
        // NRINVOICE, not ORDENA2 before it, which holds the same number.
        text.replace(text.indexOf(firstKey, text.indexOf(firstKey) + 1), firstKey.size(), "12");
    } else if (change == QLatin1String("no rows")) {
        text = '{' + fields + '}';
    } else if (change == QLatin1String("cut")) {
        text.chop(3);
    }

    // The packet read whole: the invoices of its rows marked "S", or the reader's refusal.
    MarkedInvoices whole;
    QString wholeRefusal;
    try {
        for (const Row& row : DataPacket::fromJson(text).rows) {
            if (row.at(mark).toString() == QLatin1String("S")) {
                whole.company = QStringLiteral("01");
                whole.numbers.insert(row.at(number).toString());
            }
        }
    } catch (const DataPacketError& failure) {
        wholeRefusal = failure.text();
    }
    MarkedInvoices marked;
    QString markedRefusal;
    try {
        marked = InvoiceService::markedInvoices(text);
    } catch (const DataPacketError& failure) {
        markedRefusal = failure.text();
    } catch (const ServiceFailure& failure) {
        markedRefusal = failure.message();
    }
    QVERIFY2(markedRefusal.contains(refusal), qPrintable(markedRefusal));
    if (!wholeRefusal.isEmpty())
        QCOMPARE(markedRefusal, wholeRefusal);
    else if (refusal.isEmpty())
        QCOMPARE(marked, whole);
    if (refusal.isEmpty())
        QVERIFY(!marked.numbers.empty());

    // Through the wire: the same notes, or the same message, and nothing written then.
    const QStringList before = snapshot();
    const QByteArray body =
        R"({"jsonrpc":"2.0","id":3,"method":"GeraNF","params":[{"type":"variant","value":)" + text +
        R"(},{"type":"string","value":"Separadas"}]})";
    InvoiceService service(db);
    const QJsonObject answer =
        QJsonDocument::fromJson(RpcDispatcher(service).handle(body).body).object();
    if (change == QLatin1String("cut")) {
        QCOMPARE(answer.value("error").toObject().value("code").toInt(), -32700);
        QCOMPARE(snapshot(), before);
        return;
    }
    QVERIFY2(message(answer).contains(refusal), qPrintable(message(answer)));
    if (!refusal.isEmpty()) {
        QCOMPARE(snapshot(), before);
        return;
    }
    QStringList issued;
    for (const QString& invoice : marked.numbers) {
        if (scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE CDEMPRESA = '01' AND "
                                  "NRINVOICE = '%1' AND IDGERNFINVOI = 'S'")
                       .arg(invoice)) == 1)
            issued.append(invoice);
    }
    QCOMPARE(issued.size(), qsizetype(marked.numbers.size()));
}
