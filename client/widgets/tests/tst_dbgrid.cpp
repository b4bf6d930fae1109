#include "MessageService.h"
#include "TDBGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

DataPacket packet(int rows)
{
    DataPacket p;
    p.fields = {{QStringLiteral("IDCHECK"), FieldType::String, 1, true},
                {QStringLiteral("NRINVOICE"), FieldType::String, 10, false},
                {QStringLiteral("TOTALINVOICE"), FieldType::Float, 0, false}};
    for (int i = 0; i < rows; ++i)
        p.rows.append({QStringLiteral("N"), QStringLiteral("INV%1").arg(i, 3, 10, QChar(u'0')),
                       1000.5 * (rows - i)});
    return p;
}

struct Fixture
{
    TClientDataSet cds;
    TDataSource dts;
    TDBGrid grid;
    Fixture(int rows = 30)
    {
        cds.SetData(packet(rows));
        cds.FieldByName("TOTALINVOICE").SetDisplayFormat("#,##0.00");
        dts.SetDataSet(&cds);
        grid.SetDataSource(&dts);
        grid.AddColumn("IDCHECK", "4", 16);
        grid.AddColumn("NRINVOICE", {}, 80);
        grid.AddColumn("TOTALINVOICE", {}, 90);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
    }
    QPoint cellCenter(int row, int column)
    {
        return grid.visualRect(grid.GridModel().index(row, column)).center();
    }
};

} // namespace

class TestDBGrid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil)); }

    void shape()
    {
        Fixture f;
        QCOMPARE(f.grid.GridModel().rowCount(), 30);
        QCOMPARE(f.grid.GridModel().headerData(0, Qt::Horizontal).toString(), QStringLiteral("4"));
        QCOMPARE(f.grid.GridModel().headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("NRINVOICE"));
        QCOMPARE(f.grid.GridModel().data(f.grid.GridModel().index(0, 2)).toString(),
                 QStringLiteral("30.015,00"));
        QCOMPARE(f.grid.columnWidth(0), 16);
        QCOMPARE(f.grid.selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(f.grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void clickMakesRowCurrentBeforeHandler()
    {
        Fixture f;
        int recNoInHandler = -1;
        QString columnInHandler;
        f.grid.OnCellClick = [&](TColumn& column) {
            recNoInHandler = f.cds.RecNo();
            columnInHandler = column.FieldName;
        };
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.cellCenter(4, 0));
        QCOMPARE(recNoInHandler, 5);
        QCOMPARE(columnInHandler, QStringLiteral("IDCHECK"));
        QCOMPARE(f.cds.FieldByName("NRINVOICE").AsString(), QStringLiteral("INV004"));
    }

    void titleClickChangesNoOrder()
    {
        Fixture f;
        QString clicked;
        f.grid.OnTitleClick = [&](TColumn& column) { clicked = column.FieldName; };
        f.cds.SetRecNo(3);
        QHeaderView* header = f.grid.horizontalHeader();
        const QPoint title(header->sectionViewportPosition(2) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(clicked, QStringLiteral("TOTALINVOICE"));
        QCOMPARE(f.grid.GridModel().data(f.grid.GridModel().index(0, 1)).toString(),
                 QStringLiteral("INV000"));
        QCOMPARE(f.cds.RecNo(), 3);
    }

    void keyPressReachesHandler_data()
    {
        QTest::addColumn<bool>("clear");
        QTest::newRow("kept") << false;
        QTest::newRow("cleared") << true;
    }

    void keyPressReachesHandler()
    {
        QFETCH(bool, clear);
        Fixture f;
        QList<QChar> keys;
        f.grid.OnKeyPress = [&](QChar& key) {
            keys << key;
            if (clear)
                key = QChar();
        };
        f.grid.setFocus();
        f.cds.SetRecNo(2);
        QTest::keyClick(&f.grid, Qt::Key_Space, {}, 5);
        QTest::keyClick(&f.grid, Qt::Key_A);
        QCOMPARE(keys, QList<QChar>({u' ', u'a'}));
        QCOMPARE(f.cds.RecNo(), 2);
    }

    void handlerFailureStaysOutOfEventLoop()
    {
        Fixture f;
        auto scripted = std::make_unique<ScriptedMessageService>();
        ScriptedMessageService* messages = scripted.get();
        auto previous = MessageService::install(std::move(scripted));
        f.grid.OnCellClick = [](TColumn&) { throw EDatabaseError("falha"); };
        // Dispatch reports it; the click must simply return.
        QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.cellCenter(1, 1));
        QCOMPARE(f.cds.RecNo(), 2);
        QCOMPARE(messages->messages.size(), 1);
        MessageService::install(std::move(previous));
    }

    void drawingHookRunsAfterDefaultDrawing()
    {
        Fixture f(5);
        QList<int> drawnColumns;
        f.grid.OnDrawColumnCell = [&](QPainter& painter, const QRect& rect, int column,
                                      TColumn& gridColumn, TGridDrawState state) {
            drawnColumns << column;
            if (gridColumn.FieldName == QLatin1String("IDCHECK")) {
                painter.fillRect(rect, QColor(0, 200, 0));
            } else if (gridColumn.FieldName == QLatin1String("TOTALINVOICE")) {
                painter.fillRect(rect, Qt::white);
                f.grid.DefaultDrawDataCell(painter, rect, *gridColumn.Field(), state);
            }
        };
        const QImage image = f.grid.viewport()->grab().toImage();
        QVERIFY(drawnColumns.contains(0) && drawnColumns.contains(2));
        // The hook's fill covers the default text of the mark column.
        const QRect mark = f.grid.visualRect(f.grid.GridModel().index(1, 0)).adjusted(2, 2, -2, -2);
        for (int x = mark.left(); x <= mark.right(); ++x)
            for (int y = mark.top(); y <= mark.bottom(); ++y)
                QCOMPARE(image.pixelColor(x, y), QColor(0, 200, 0));
        // DefaultDrawDataCell wrote the value text over the white fill.
        const QRect total = f.grid.visualRect(f.grid.GridModel().index(1, 2));
        bool ink = false;
        for (int x = total.left(); x <= total.right() && !ink; ++x)
            for (int y = total.top(); y <= total.bottom() && !ink; ++y)
                ink = image.pixelColor(x, y).lightness() < 128;
        QVERIFY(ink);
        // The hook ran with fields reading the row being drawn; the cursor did not move.
        QCOMPARE(f.cds.RecNo(), 1);
    }

    void gridAndCursorFollowEachOther()
    {
        Fixture f;
        f.cds.SetRecNo(7);
        QCOMPARE(f.grid.currentIndex().row(), 6);
        f.cds.Last();
        QCOMPARE(f.grid.currentIndex().row(), 29);
        int scrolls = 0;
        f.cds.AfterScroll = [&](TClientDataSet&) { ++scrolls; };
        f.grid.setFocus();
        f.grid.setCurrentIndex(f.grid.GridModel().index(2, 1));
        QCOMPARE(f.cds.RecNo(), 3);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QCOMPARE(f.cds.RecNo(), 4);
        QCOMPARE(scrolls, 2);
        // A filter shows only the matching rows.
        f.cds.SetFilter("NRINVOICE ='INV010'");
        f.cds.SetFiltered(true);
        QCOMPARE(f.grid.GridModel().rowCount(), 1);
        QCOMPARE(f.grid.currentIndex().row(), 0);
    }

    void disabledControlsFreezeTheView()
    {
        Fixture f;
        QSignalSpy resets(&f.grid.GridModel(), &QAbstractItemModel::modelReset);
        f.cds.DisableControls();
        f.cds.SetFilter("NRINVOICE ='INV010'");
        f.cds.SetFiltered(true);
        f.cds.Next();
        QCOMPARE(resets.size(), 0);
        QCOMPARE(f.grid.GridModel().rowCount(), 30); // stale, but safe to draw
        f.grid.viewport()->grab();
        f.cds.EnableControls();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(f.grid.GridModel().rowCount(), 1);
    }
    // The model checker follows the grid's model through a whole working session of its
    // record set; in Fatal mode any inconsistency ends the test run.
    void modelStaysConsistent_data()
    {
        QTest::addColumn<bool>("columnsFirst");
        QTest::newRow("columns, then data") << true;
        QTest::newRow("data, then columns") << false;
    }

    void modelStaysConsistent()
    {
        QFETCH(bool, columnsFirst);
        TClientDataSet cds;
        TDataSource dts;
        TDBGrid grid;
        DataSetTableModel& model = grid.GridModel();
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        dts.SetDataSet(&cds);
        grid.SetDataSource(&dts);
        auto addColumns = [&] {
            grid.AddColumn("IDCHECK", "4", 16);
            grid.AddColumn("NRINVOICE", {}, 80);
        };
        auto setField = [&](const char* name, const QString& value) {
            cds.Edit();
            cds.FieldByName(name).SetAsString(value);
            cds.Post();
        };
        if (columnsFirst)
            addColumns();
        cds.SetData(packet(12));
        cds.SetRecNo(3);
        setField("IDCHECK", QStringLiteral("S")); // marked
        if (!columnsFirst)
            addColumns();
        QCOMPARE(model.data(model.index(2, 0)).toString(), QStringLiteral("S"));

        cds.SetFilter("NRINVOICE ='INV004'");
        cds.SetFiltered(true);
        QCOMPARE(model.rowCount(), 1);
        setField("IDCHECK", QStringLiteral("S"));
        setField("NRINVOICE", QStringLiteral("INV099")); // edited out of the filter
        QCOMPARE(model.rowCount(), 0);
        cds.SetFiltered(false);

        cds.DisableControls();
        for (cds.First(); !cds.Eof(); cds.Next())
            setField("IDCHECK", QStringLiteral("S"));
        cds.EnableControls();
        QCOMPARE(model.data(model.index(11, 0)).toString(), QStringLiteral("S"));
        cds.CancelUpdates();
        QCOMPARE(model.data(model.index(11, 0)).toString(), QStringLiteral("N"));

        cds.SetData(packet(0)); // emptied
        QCOMPARE(model.rowCount(), 0);
        cds.Close();
        cds.SetData(packet(5)); // reloaded
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.data(model.index(4, 1)).toString(), QStringLiteral("INV004"));
    }

    // Fields cleared on the closed record set: the grid keeps its columns and reads nothing
    // of fields that are gone, until new data brings fields again.
    void clearedFieldsReadAsMissing()
    {
        Fixture f(3);
        f.cds.Close();
        f.cds.ClearFields();
        DataSetTableModel& model = f.grid.GridModel();
        QCOMPARE(model.fieldOf(1), nullptr);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("NRINVOICE"));
        f.grid.viewport()->grab();
        f.cds.SetData(packet(2));
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("INV001"));
    }
};

QTEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"
