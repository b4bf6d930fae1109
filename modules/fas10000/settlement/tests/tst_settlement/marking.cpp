// Marking invoices on the settlement screen and saving the marks.

#include "SettlementTest.h"

#include "BusyAnimation.h"
#include "Cli_FAS10000.h"
#include "EventDispatch.h"
#include "MarkImages.h"

#include <QHeaderView>

void TestSettlement::toggleMark_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("noteIssued"); // IDGERNFINVOI
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("after");
    const char* const cases[][5] = {
        {"click marks", "N", "N", "click", "S"},
        {"click unmarks", "S", "N", "click", "N"},
        {"space marks", "N", "N", "space", "S"},
        {"space unmarks", "S", "N", "space", "N"},
        {"not markable", "D", "N", "click", "D"},
        {"empty mark", "", "N", "space", ""},
        {"other value", "X", "N", "click", "X"},
        {"note issued, marked", "S", "S", "click", "D"},
        {"note issued, unmarked", "N", "S", "space", "D"},
        {"note issued, other value", "X", "S", "click", "D"},
        {"other column", "N", "N", "other column", "N"},
    };
    for (const auto& c : cases)
        QTest::newRow(c[0]) << QString(c[1]) << QString(c[2]) << QString(c[3]) << QString(c[4]);
}

// Marks change locally only: the toggled invoice is a pending change, nothing is saved.
void TestSettlement::toggleMark()
{
    QFETCH(QString, before);
    QFETCH(QString, noteIssued);
    QFETCH(QString, how);
    QFETCH(QString, after);
    listCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        packet.rows[1][packet.indexOf(QStringLiteral("IDCHECK"))] = before;
        packet.rows[1][packet.indexOf(QStringLiteral("IDGERNFINVOI"))] = noteIssued;
    });
    TDBGrid* grid = screen()->ui->dbgPadrao;
    grid->setFocus();
    if (how == QLatin1String("space")) {
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Space);
    } else {
        const int column = how == QLatin1String("click") ? 0 : 3;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(1, column)).center());
    }
    QCOMPARE(screen()->cdsInvoice->RecNo(), 2);
    QCOMPARE(mark(1), after);
    QCOMPARE(screen()->cdsInvoice->GetChangeCount(), after == before ? 0 : 1);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('|')));
}

void TestSettlement::markAllAcrossLoads()
{
    listCompany(QStringLiteral("01"), [](DataPacket& packet) {
        const int at = packet.indexOf(QStringLiteral("IDCHECK"));
        packet.rows[2][at] = QStringLiteral("");
        packet.rows[3][at] = QStringLiteral("X");
        packet.rows[4][packet.indexOf(QStringLiteral("IDGERNFINVOI"))] = QStringLiteral("S");
    });
    TfrmBCRInvoice* frm = screen();
    QHeaderView* titles = frm->ui->dbgPadrao->horizontalHeader();
    const auto clickTitle = [&](int column) {
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {},
                          QPoint(titles->sectionViewportPosition(column) + 4, 5));
    };
    const auto marks = [&] {
        QStringList all;
        for (int row = 0; row < frm->cdsInvoice->RecordCount(); ++row)
            all << mark(row);
        return all;
    };
    const QStringList initial = marks();
    QVERIFY(initial.contains(QStringLiteral("D")));
    QStringList allMarked = initial;
    allMarked.replaceInStrings(QRegularExpression(QStringLiteral("^N$")), QStringLiteral("S"));

    frm->cdsInvoice->SetRecNo(6);
    clickTitle(2); // another column: nothing changes
    QCOMPARE(marks(), initial);
    QCOMPARE(frm->cdsInvoice->RecNo(), 6);

    clickTitle(0); // marks every "N", the invoice with its note included
    QCOMPARE(marks(), allMarked);
    QCOMPARE(frm->cdsInvoice->RecNo(), 1);
    // The item list follows the invoice where the walk ended, not the one it started from.
    const QString first = frm->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    const int itemInvoice = frm->cdsItem->FieldByName(QStringLiteral("NRINVOICE")).Index();
    QVERIFY(frm->cdsItem->RecordCount() > 0);
    for (int row = 0; row < frm->cdsItem->RecordCount(); ++row)
        QCOMPARE(frm->cdsItem->valueAt(row, itemInvoice).toString(), first);
    QVERIFY(Cli_FAS10000::boTodos);
    clickMark(1); // one unmarked by hand: the next title click still unmarks
    clickTitle(0);
    QCOMPARE(marks(), initial);
    clickTitle(0);
    QCOMPARE(marks(), allMarked);
    QCOMPARE(frm->cdsInvoice->GetChangeCount(), initial.count(QStringLiteral("N")));
    QVERIFY(shown().messages.isEmpty());

    loadCompany(QStringLiteral("01")); // a new list: the first title click marks again
    clickTitle(0);
    QCOMPARE(mark(0), initial.at(0) == QLatin1String("N") ? QStringLiteral("S") : initial.at(0));
    QVERIFY(Cli_FAS10000::boTodos);
}

// The mark cells show the check boxes on the cell's own background, the selection colour on
// the current row; the letters are gone.
void TestSettlement::drawnMarkCells()
{
    listCompany(QStringLiteral("01"), [](DataPacket& packet) {
        const int at = packet.indexOf(QStringLiteral("IDCHECK"));
        const QStringList marks{"S", "N", "D", "", "X"};
        for (int row = 0; row < marks.size(); ++row)
            packet.rows[row][at] = marks.at(row);
        packet.rows[5][at] = QVariant();
    });
    TDBGrid* grid = screen()->ui->dbgPadrao;
    const QImage shot = grid->viewport()->grab().toImage();
    const QList<QImage> boxes{MarkImages::checkImage(),
                              MarkImages::unCheckImage(),
                              MarkImages::noCheckImage(),
                              MarkImages::noCheckImage(),
                              QImage(),
                              MarkImages::noCheckImage()};
    for (int row = 0; row < boxes.size(); ++row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        const QColor background =
            grid->palette().color(row == 0 ? QPalette::Highlight : QPalette::Base);
        QImage expected(cell.size(), QImage::Format_RGB32);
        expected.fill(background);
        for (int y = 0; y < qMin(cell.height(), boxes.at(row).height()); ++y)
            for (int x = 0; x < boxes.at(row).width() && x + 1 < cell.width(); ++x) {
                const QColor pixel = boxes.at(row).pixelColor(x, y);
                expected.setPixelColor(x + 1, y,
                                       pixel == MarkImages::background() ? background : pixel);
            }
        QCOMPARE(shot.copy(cell).convertToFormat(QImage::Format_RGB32), expected);
    }
}

void TestSettlement::saveSendsPendingMarks_data()
{
    QTest::addColumn<QString>("noteIssued"); // of the invoice changed after the marks
    QTest::addColumn<bool>("stored");
    QTest::newRow("stored with the marks") << "N" << true;
    QTest::newRow("refused, marks reverted") << "S" << false;
}

void TestSettlement::saveSendsPendingMarks()
{
    QFETCH(QString, noteIssued);
    QFETCH(bool, stored);
    listCompany(QStringLiteral("01"));
    TClientDataSet& invoices = *screen()->cdsInvoice;
    QVERIFY(invoices.Locate(QStringLiteral("IDGERNFINVOI"), noteIssued));
    const int changed = invoices.RecNo() - 1;
    QList<int> marked;
    for (int row = 0; marked.size() < 3; ++row)
        if (row != changed && mark(row) == QLatin1String("N"))
            marked << row;
    for (int row : marked)
        clickMark(row);
    QCOMPARE(invoices.GetChangeCount(), 3);

    invoices.SetRecNo(changed + 1);
    const QString note = QStringLiteral("Conferido %1").arg(QTime::currentTime().toString());
    Dispatch([&] {
        invoices.Edit();
        invoices.FieldByName(QStringLiteral("DSOBSPGTOINVOI")).SetAsString(note);
        invoices.Post();
    });
    QCOMPARE(invoices.GetChangeCount(), 0);
    QCOMPARE(BusyAnimationDepth(), 0);
    for (int row : marked)
        QCOMPARE(mark(row), stored ? QStringLiteral("S") : QStringLiteral("N"));
    QCOMPARE(invoices.FieldByName(QStringLiteral("DSOBSPGTOINVOI")).AsString() == note, stored);
    QCOMPARE(shown().messages.size(), stored ? 0 : 1);

    const DataPacket server = fetch(QStringLiteral("GetInvoice"), QStringLiteral("01"));
    const QString number = invoices.FieldByName(QStringLiteral("NRINVOICE")).AsString();
    bool found = false;
    for (const Row& row : server.rows)
        if (row.at(server.indexOf(QStringLiteral("NRINVOICE"))).toString() == number)
            found = row.at(server.indexOf(QStringLiteral("DSOBSPGTOINVOI"))).toString() == note;
    QCOMPARE(found, stored);
}
