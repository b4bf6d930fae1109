#include "TClientDataSet.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

QList<FieldDef> invoiceFields()
{
    return {{QStringLiteral("NRINVOICE"), FieldType::String, 10, false},
            {QStringLiteral("IDCHECK"), FieldType::String, 1, true},
            {QStringLiteral("DTRECINVOICE"), FieldType::DateTime, 0, false},
            {QStringLiteral("TOTALINVOICE"), FieldType::Float, 0, false}};
}

DataPacket invoicePacket(int rows)
{
    DataPacket packet;
    packet.fields = invoiceFields();
    for (int i = 0; i < rows; ++i)
        packet.rows.append(
            {QStringLiteral("INV%1").arg(i), QStringLiteral("N"),
             i % 2 ? QVariant(QDateTime(QDate(2026, 1, 1 + i % 28), QTime(0, 0))) : QVariant(),
             100.0 * (i + 1)});
    return packet;
}

void declare(TClientDataSet& cds, const QList<FieldDef>& fields)
{
    for (const FieldDef& field : fields)
        cds.AddField(field);
}

} // namespace

class TestClientDataSet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void loadAndRead()
    {
        TClientDataSet cds;
        declare(cds, invoiceFields());
        QVERIFY(!cds.Active());
        cds.SetData(invoicePacket(3).toJson());
        QVERIFY(cds.Active());
        QCOMPARE(cds.State(), TDataSetState::Browse);
        QCOMPARE(cds.RecordCount(), 3);
        QCOMPARE(cds.RecNo(), 1);
        QCOMPARE(cds.FieldByName("nrinvoice").AsString(), QStringLiteral("INV0"));
        QVERIFY(cds.FieldByName("DTRECINVOICE").IsNull());
        cds.Next();
        QCOMPARE(cds.FieldByName("DTRECINVOICE").AsDateTime(),
                 QDateTime(QDate(2026, 1, 2), QTime(0, 0)));
        QCOMPARE(cds.FieldByName("DTRECINVOICE").AsString(), QStringLiteral("02/01/2026"));
        QCOMPARE(cds.displayTextAt(1, 2), QStringLiteral("02/01/2026"));
        QCOMPARE(cds.displayTextAt(0, 2), QString());
        QCOMPARE(cds.FieldByName("TOTALINVOICE").AsFloat(), 200.0);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("NOPE"));
        // Writing outside edit state is refused.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.FieldByName("IDCHECK").SetAsString("S"));
        // The same packet through both entry points gives the same data.
        const QByteArray json = invoicePacket(5).toJson();
        TClientDataSet a, b;
        a.SetData(json);
        b.SetData(DataPacket::fromJson(json));
        QCOMPARE(a.GetData(), json);
        QCOMPARE(b.GetData(), json);
    }

    void nullAndEmptyText()
    {
        TClientDataSet cds;
        DataPacket packet;
        packet.fields = {{QStringLiteral("A"), FieldType::String, 5, false}};
        packet.rows = {{QString("")}, {QVariant()}};
        cds.SetData(packet.toJson());
        QVERIFY(!cds.FieldByName("A").IsNull());
        cds.Next();
        QVERIFY(cds.FieldByName("A").IsNull());
        cds.Edit();
        cds.FieldByName("A").SetAsString(QStringLiteral("abcdefgh"));
        QCOMPARE(cds.FieldByName("A").AsString(), QStringLiteral("abcde")); // cut to size
        cds.Post();
        const QVariant first = DataPacket::fromJson(cds.GetData()).rows.at(0).at(0);
        QCOMPARE(first, QVariant(QString("")));
        QVERIFY(!first.isNull());
    }

    // Equal texts of a column share their storage after a load of the packet's bytes; each
    // cell must still read as its own value (null apart from empty, escapes decoded) and an
    // edit must change that one cell alone.
    void repeatedTexts_data()
    {
        QTest::addColumn<QByteArray>("cells"); // the JSON cells of one text column, in order
        QTest::newRow("runs and returns")
            << QByteArray("\"01\",\"01\",\"02\",\"01\",\"02\",\"02\"");
        QTest::newRow("empty beside null") << QByteArray("\"\",null,\"\",\"\",null,null,\"\"");
        QTest::newRow("null first") << QByteArray("null,\"\",null,\"a\",\"a\"");
        QTest::newRow("escaped and plain alike")
            << QByteArray("\"a\\\"b\",\"a\\\"b\",\"a\",\"a\\u0041\"");
        QTest::newRow("prefixes") << QByteArray("\"ab\",\"a\",\"abc\",\"ab\",\"\"");
        QTest::newRow("non-ASCII")
            << QByteArray("\"S\xc3\xa3o\",\"S\xc3\xa3o\",\"Sao\",\"\xe2\x82\xac\"");
        QByteArray many; // more texts than a column looks through on an edit
        for (int i = 0; i < 20; ++i)
            many += (i ? ",\"" : "\"") + QByteArray::number(i % 3 ? i : 0) + '"';
        QTest::newRow("many texts") << many;
    }

    void repeatedTexts()
    {
        QFETCH(QByteArray, cells);
        const QList<QByteArray> values = cells.split(',');
        QByteArray json =
            "{\"fields\":[{\"name\":\"A\",\"type\":\"string\",\"size\":20,\"fixed\":false},"
            "{\"name\":\"B\",\"type\":\"string\",\"size\":20,\"fixed\":false}],\"rows\":[";
        for (qsizetype r = 0; r < values.size(); ++r)
            json += (r ? ",[" : "[") + values.at(r) + ',' + values.at(values.size() - 1 - r) + ']';
        json += "]}";
        const QJsonArray expectedRows =
            QJsonDocument::fromJson(json).object().value(QLatin1String("rows")).toArray();
        QCOMPARE(expectedRows.size(), values.size());

        TClientDataSet cds;
        cds.SetData(json);
        cds.SetData(json); // a reload into a loaded set
        const auto check = [&](int editedRow, const QString& edited) {
            cds.First();
            for (int r = 0; r < int(values.size()); ++r, cds.Next()) {
                for (int c = 0; c < 2; ++c) {
                    const QJsonValue want = expectedRows.at(r).toArray().at(c);
                    const TField& field = cds.Fields(c);
                    if (r == editedRow && c == 0) {
                        QCOMPARE(field.AsString(), edited);
                        continue;
                    }
                    QCOMPARE(field.IsNull(), want.isNull());
                    QCOMPARE(field.AsString(), want.toString());
                }
            }
        };
        check(-1, {});
        QCOMPARE(cds.GetData(), DataPacket::fromJson(json).toJson());
        for (int r = 0; r < int(values.size()); ++r) {
            cds.SetRecNo(r + 1);
            cds.Edit();
            cds.Fields(0).SetAsString(QStringLiteral("x%1").arg(r));
            cds.Post();
            check(r, QStringLiteral("x%1").arg(r));
            QCOMPARE(cds.GetChangeCount(), 1);
            cds.CancelUpdates();
            check(-1, {});
        }
    }

    void bindingErrors_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing declared field")
            << QByteArray("{\"fields\":[{\"name\":\"NRINVOICE\",\"type\":\"string\",\"size\":10},"
                          "{\"name\":\"IDCHECK\",\"type\":\"string\",\"size\":1},"
                          "{\"name\":\"TOTALINVOICE\",\"type\":\"float\"}],\"rows\":[]}")
            << "DTRECINVOICE";
        QTest::newRow("mistyped declared field")
            << QByteArray("{\"fields\":[{\"name\":\"NRINVOICE\",\"type\":\"string\",\"size\":10},"
                          "{\"name\":\"IDCHECK\",\"type\":\"string\",\"size\":1},"
                          "{\"name\":\"DTRECINVOICE\",\"type\":\"datetime\"},"
                          "{\"name\":\"TOTALINVOICE\",\"type\":\"string\"}],\"rows\":[]}")
            << "TOTALINVOICE";
        QTest::newRow("bad value")
            << QByteArray("{\"fields\":[{\"name\":\"NRINVOICE\",\"type\":\"string\",\"size\":10},"
                          "{\"name\":\"IDCHECK\",\"type\":\"string\",\"size\":1},"
                          "{\"name\":\"DTRECINVOICE\",\"type\":\"datetime\"},"
                          "{\"name\":\"TOTALINVOICE\",\"type\":\"float\"}],"
                          "\"rows\":[[\"1\",\"N\",null,1],[\"2\",\"N\",\"31/01/2026\",1]]}")
            << "linha 2";
        QTest::newRow("rows before fields, bad")
            << QByteArray("{\"rows\":[[\"1\",\"N\",null,\"x\"]],"
                          "\"fields\":[{\"name\":\"NRINVOICE\",\"type\":\"string\",\"size\":10},"
                          "{\"name\":\"IDCHECK\",\"type\":\"string\",\"size\":1},"
                          "{\"name\":\"DTRECINVOICE\",\"type\":\"datetime\"},"
                          "{\"name\":\"TOTALINVOICE\",\"type\":\"float\"}]}")
            << "TOTALINVOICE";
        QTest::newRow("malformed") << QByteArray("{\"fields\":[") << "JSON malformado";
    }

    void bindingErrors()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        TClientDataSet cds;
        declare(cds, invoiceFields());
        cds.SetData(invoicePacket(2).toJson());
        try {
            cds.SetData(json);
            QFAIL("no error");
        } catch (const EDatabaseError& error) {
            QVERIFY2(error.text().contains(expected), qPrintable(error.text()));
        }
        // A failed load leaves the previous data in place.
        QCOMPARE(cds.RecordCount(), 2);
    }

    void extraPacketFieldsTravelBack()
    {
        TClientDataSet cds;
        cds.AddField({QStringLiteral("NRINVOICE"), FieldType::String, 10, false});
        cds.SetData(invoicePacket(2).toJson());
        QCOMPARE(cds.FieldCount(), 4);
        QVERIFY(!cds.FieldByName("TOTALINVOICE").Visible());
        QCOMPARE(DataPacket::fromJson(cds.GetData()).rows.at(1).at(3).toDouble(), 200.0);
    }

    void changeLog()
    {
        TClientDataSet cds;
        declare(cds, invoiceFields());
        cds.SetData(invoicePacket(4).toJson());
        const QByteArray originalJson = cds.GetData();
        const DataPacket original = DataPacket::fromJson(originalJson);
        QCOMPARE(cds.GetChangeCount(), 0);

        // Row 1: one changed field.
        cds.Edit();
        cds.FieldByName("IDCHECK").SetAsString("S");
        QCOMPARE(cds.GetChangeCount(), 0); // not posted yet
        cds.Post();
        QCOMPARE(cds.GetChangeCount(), 1);
        // Row 2: changed, then changed back in a second post: no change.
        cds.Next();
        cds.Edit();
        cds.FieldByName("TOTALINVOICE").SetAsFloat(1);
        cds.Post();
        QCOMPARE(cds.GetChangeCount(), 2);
        cds.Edit();
        cds.FieldByName("TOTALINVOICE").SetAsFloat(200);
        cds.Post();
        QCOMPARE(cds.GetChangeCount(), 1);
        // Row 3: null date set, and a cancelled edit that leaves nothing behind.
        cds.Next();
        cds.Edit();
        cds.FieldByName("DTRECINVOICE").SetAsDateTime(QDateTime(QDate(2026, 5, 4), QTime(0, 0)));
        cds.FieldByName("TOTALINVOICE").SetText("1.234,5");
        cds.Post();
        cds.Edit();
        cds.FieldByName("NRINVOICE").SetAsString("X");
        cds.Cancel();
        QCOMPARE(cds.FieldByName("NRINVOICE").AsString(), QStringLiteral("INV2"));
        QCOMPARE(cds.GetChangeCount(), 2);

        const Delta delta = Delta::fromJson(cds.GetDelta());
        QCOMPARE(delta.changes.size(), 2);
        QCOMPARE(delta.changes.at(0).old, original.rows.at(0));
        QCOMPARE(delta.changes.at(0).set.size(), 1);
        QCOMPARE(delta.changes.at(0).set.at(0).first, QStringLiteral("IDCHECK"));
        QCOMPARE(delta.changes.at(0).set.at(0).second, QVariant(QStringLiteral("S")));
        QCOMPARE(delta.changes.at(1).old, original.rows.at(2));
        QCOMPARE(delta.changes.at(1).set.size(), 2);
        QCOMPARE(delta.changes.at(1).set.at(1).second.toDouble(), 1234.5);

        // CancelUpdates restores every base value and leaves edit state.
        cds.Edit();
        cds.FieldByName("IDCHECK").SetAsString("D");
        cds.CancelUpdates();
        QCOMPARE(cds.State(), TDataSetState::Browse);
        QCOMPARE(cds.GetChangeCount(), 0);
        QCOMPARE(cds.GetData(), originalJson);

        // MergeChangeLog makes current values the base.
        cds.First();
        cds.Edit();
        cds.FieldByName("IDCHECK").SetAsString("S");
        cds.Post();
        cds.MergeChangeLog();
        QCOMPARE(cds.GetChangeCount(), 0);
        QVERIFY(Delta::fromJson(cds.GetDelta()).changes.isEmpty());
        cds.CancelUpdates();
        QCOMPARE(cds.FieldByName("IDCHECK").AsString(), QStringLiteral("S"));
        cds.Edit();
        cds.FieldByName("IDCHECK").SetAsString("N");
        cds.Post();
        QCOMPARE(Delta::fromJson(cds.GetDelta()).changes.at(0).old.at(1),
                 QVariant(QStringLiteral("S")));
    }

    void moveWhileEditingPosts()
    {
        TClientDataSet cds;
        cds.SetData(invoicePacket(3).toJson());
        int posts = 0;
        cds.AfterPost = [&](TClientDataSet&) { ++posts; };
        cds.Edit();
        cds.FieldByName("IDCHECK").SetAsString("S");
        QVERIFY(cds.Locate("NRINVOICE", "inv2", TLocateOption::CaseInsensitive));
        QCOMPARE(posts, 1);
        QCOMPARE(cds.GetChangeCount(), 1);
    }

    void events()
    {
        TClientDataSet cds;
        declare(cds, invoiceFields());
        QStringList log;
        cds.AfterOpen = [&](TClientDataSet&) { log << "open"; };
        cds.AfterScroll = [&](TClientDataSet& d) {
            log << QStringLiteral("scroll%1").arg(d.RecNo());
        };
        cds.AfterPost = [&](TClientDataSet&) { log << "post"; };
        cds.SetData(invoicePacket(3).toJson());
        QCOMPARE(log, QStringList({"open", "scroll1"}));
        log.clear();
        cds.Next();
        cds.Next();
        cds.Next(); // at the end: no move
        QVERIFY(cds.Eof());
        cds.Prior();
        cds.Last();
        cds.First();
        QVERIFY(cds.Bof());
        QCOMPARE(log, QStringList({"scroll2", "scroll3", "scroll2", "scroll3", "scroll1"}));
        log.clear();
        cds.Edit();
        cds.Post();
        const TClientDataSet::Event saved = cds.AfterPost;
        cds.AfterPost = {};
        cds.Edit();
        cds.Post();
        cds.AfterPost = saved;
        cds.Edit();
        cds.Post();
        QCOMPARE(log, QStringList({"post", "post"}));
        // An empty packet opens without a scroll.
        log.clear();
        cds.SetData(invoicePacket(0).toJson());
        QCOMPARE(log, QStringList({"open"}));
        QVERIFY(cds.IsEmpty());
        QVERIFY(cds.Eof() && cds.Bof());
        QCOMPARE(cds.RecNo(), -1);
        QVERIFY(cds.FieldByName("NRINVOICE").IsNull());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Edit());
    }

    void disableControlsStopsViewUpdatesOnly()
    {
        TClientDataSet cds;
        cds.SetData(invoicePacket(5).toJson());
        QSignalSpy resets(&cds, &TClientDataSet::dataReset);
        QSignalSpy moves(&cds, &TClientDataSet::cursorMoved);
        QSignalSpy rows(&cds, &TClientDataSet::rowChanged);
        int scrolls = 0;
        cds.AfterScroll = [&](TClientDataSet&) { ++scrolls; };
        cds.DisableControls();
        cds.DisableControls();
        cds.Next();
        cds.Edit();
        cds.FieldByName("IDCHECK").SetAsString("S");
        cds.Post();
        cds.SetFilter("NRINVOICE ='INV3'");
        cds.SetFiltered(true);
        cds.EnableControls();
        QCOMPARE(resets.size() + moves.size() + rows.size(), 0);
        cds.EnableControls();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(moves.size() + rows.size(), 0);
        QCOMPARE(scrolls, 2);
        cds.EnableControls(); // unbalanced: ignored
        QCOMPARE(resets.size(), 1);
        cds.SetFiltered(false);
        QCOMPARE(resets.size(), 2);
        cds.Next();
        QCOMPARE(moves.size(), 1);
    }

    void locate_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("recNo");
        QTest::newRow("exact") << "INV7" << 0 << 8;
        QTest::newRow("exact, wrong case") << "inv7" << 0 << -1;
        QTest::newRow("case-insensitive") << "inv7" << int(TLocateOption::CaseInsensitive) << 8;
        QTest::newRow("partial") << "INV1" << int(TLocateOption::PartialKey) << 2;
        QTest::newRow("absent") << "INV99" << int(TLocateOption::CaseInsensitive) << -1;
    }

    void locate()
    {
        QFETCH(QString, key);
        QFETCH(int, options);
        QFETCH(int, recNo);
        TClientDataSet cds;
        cds.SetData(invoicePacket(10).toJson());
        cds.Next();
        cds.Next();
        const bool found = cds.Locate("NRINVOICE", key, TLocateOptions::fromInt(options));
        QCOMPARE(found, recNo > 0);
        QCOMPARE(cds.RecNo(), found ? recNo : 3); // no move when not found
    }

    void filterMatchesBruteForce()
    {
        // Items of many invoices; random filter changes and moves against a plain scan.
        QRandomGenerator random(12345);
        DataPacket packet;
        packet.fields = {{QStringLiteral("NRINVOICE"), FieldType::String, 10, false},
                         {QStringLiteral("SEQ"), FieldType::Float, 0, false}};
        for (int i = 0; i < 3000; ++i)
            packet.rows.append(
                {i % 97 == 0 ? QVariant() : QVariant(QString::number(random.bounded(300))),
                 double(i)});
        TClientDataSet cds;
        cds.SetFilter("NRINVOICE ='5'"); // set while closed, applies on open
        cds.SetFiltered(true);
        cds.SetData(packet);
        for (int step = 0; step < 4000; ++step) {
            const QString wanted = QString::number(random.bounded(320));
            if (step % 3 == 0) {
                cds.DisableControls();
                cds.SetFiltered(false);
                cds.SetFilter(QStringLiteral("NRINVOICE ='%1'").arg(wanted));
                cds.SetFiltered(true);
                cds.EnableControls();
            }
            const QString current = cds.Filter().section('\'', 1, 1);
            QList<double> expected;
            for (const Row& row : std::as_const(packet.rows))
                if (row.at(0).toString() == current && row.at(0).isValid())
                    expected.append(row.at(1).toDouble());
            QCOMPARE(cds.RecordCount(), expected.size());
            if (expected.isEmpty()) {
                QVERIFY(cds.IsEmpty() && cds.Eof());
                continue;
            }
            const int target = random.bounded(int(expected.size()));
            cds.First();
            for (int i = 0; i < target; ++i)
                cds.Next();
            QCOMPARE(cds.FieldByName("SEQ").AsFloat(), expected.at(target));
            QCOMPARE(cds.FieldByName("NRINVOICE").AsString(), current);
            QCOMPARE(cds.valueAt(target, 1).toDouble(), expected.at(target));
        }
    }

    void filterErrors_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::newRow("other operator") << "NRINVOICE <> '1'";
        QTest::newRow("unquoted") << "NRINVOICE = 1";
        QTest::newRow("two terms") << "NRINVOICE ='1' AND IDCHECK='S'";
        QTest::newRow("unknown field") << "NOPE ='1'";
        QTest::newRow("float field") << "TOTALINVOICE ='1'";
    }

    void filterErrors()
    {
        QFETCH(QString, filter);
        TClientDataSet cds;
        declare(cds, invoiceFields());
        cds.SetData(invoicePacket(3).toJson());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetFilter(filter));
    }

    void filterFollowsEditsOfTheKey()
    {
        TClientDataSet cds;
        cds.SetData(invoicePacket(3).toJson());
        cds.SetFilter("NRINVOICE ='INV1'");
        cds.SetFiltered(true);
        QCOMPARE(cds.RecordCount(), 1);
        cds.Edit();
        cds.FieldByName("NRINVOICE").SetAsString("ZZ");
        cds.Post();
        QCOMPARE(cds.RecordCount(), 0);
        cds.CancelUpdates();
        QCOMPARE(cds.RecordCount(), 1);
        cds.SetFilter("NRINVOICE ='it''s'");
        QCOMPARE(cds.RecordCount(), 0);
    }

    void bookmarksSurviveFilterChanges()
    {
        TClientDataSet cds;
        DataPacket packet;
        packet.fields = {{QStringLiteral("K"), FieldType::String, 5, false},
                         {QStringLiteral("N"), FieldType::Float, 0, false}};
        for (int i = 0; i < 20; ++i)
            packet.rows.append({QString::number(i % 3), double(i)});
        cds.SetData(packet);
        cds.SetFilter("K ='1'");
        cds.SetFiltered(true);
        cds.Next();
        cds.Next();
        const TBookmark mark = cds.GetBookmark();
        QCOMPARE(cds.FieldByName("N").AsFloat(), 7.0);
        cds.SetFilter("K ='2'");
        QVERIFY(!cds.BookmarkValid(mark));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.GotoBookmark(mark));
        cds.SetFiltered(false);
        QVERIFY(cds.BookmarkValid(mark));
        cds.GotoBookmark(mark);
        QCOMPARE(cds.FieldByName("N").AsFloat(), 7.0);
        QCOMPARE(cds.RecNo(), 8);
        cds.SetFilter("K ='1'");
        cds.SetFiltered(true);
        cds.GotoBookmark(mark);
        QCOMPARE(cds.RecNo(), 3);
        cds.SetData(packet); // a new load invalidates old bookmarks
        QVERIFY(!cds.BookmarkValid(mark));
    }

    void fieldTexts()
    {
        TClientDataSet cds;
        declare(cds, invoiceFields());
        TField& total = cds.FieldByName("TOTALINVOICE");
        total.SetDisplayFormat("#,##0.00;1; ");
        total.SetEditFormat("#,##0.000;1; ");
        DataPacket packet = invoicePacket(2);
        packet.rows[0][3] = 1234.5;
        packet.rows[1][3] = 0.0;
        cds.SetData(packet);
        QCOMPARE(total.DisplayText(), QStringLiteral("1.234,50"));
        QCOMPARE(total.Text(), QStringLiteral("1.234,500"));
        QCOMPARE(total.AsString(), QStringLiteral("1234,5"));
        QCOMPARE(total.Alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(cds.FieldByName("NRINVOICE").Alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignLeft);
        cds.Next();
        QCOMPARE(total.DisplayText(), QStringLiteral(" "));
        cds.Edit();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, total.SetText("abc"));
        total.SetText("");
        QVERIFY(total.IsNull());
        total.SetText("0");
        QCOMPARE(total.AsFloat(), 0.0);
        QVERIFY(!total.IsNull());
        cds.Cancel();

        TField& check = cds.FieldByName("IDCHECK");
        check.OnGetText = [](TField& field, QString& text, bool) {
            text = field.AsString() == QLatin1String("N") ? QStringLiteral("não") : QString();
        };
        QCOMPARE(check.DisplayText(), QStringLiteral("não"));
        QCOMPARE(cds.displayTextAt(0, check.Index()), QStringLiteral("não"));
        QCOMPARE(cds.displayTextAt(0, total.Index()), QStringLiteral("1.234,50"));
        QCOMPARE(cds.RecNo(), 2); // drawing another row does not move the cursor
    }
};

QTEST_GUILESS_MAIN(TestClientDataSet)
#include "tst_clientdataset.moc"
