// The settlement screen's list: how it is drawn, the record rules of its invoices and items,
// and reading it by keyboard.

#include "SettlementTest.h"

#include "Cli_FAS10000.h"
#include "FormatFloat.h"
#include "OptionStore.h"

#include <QHeaderView>

// ---- presentation ---------------------------------------------------------------------------

void TestSettlement::markImages_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QPoint>("pixel"); // column, row
    QTest::addColumn<QColor>("colour");

    const QColor olive(0x80, 0x80, 0x00), black(Qt::black), white(Qt::white),
        grey(0xC0, 0xC0, 0xC0);
    for (const char* image : {"imgCheck", "imgUnCheck", "imgNoCheck"}) {
        const QString name = QString::fromLatin1(image);
        QTest::addRow("%s corner", image) << name << QPoint(0, 0) << olive;
        QTest::addRow("%s frame top", image) << name << QPoint(11, 2) << black;
        QTest::addRow("%s frame left", image) << name << QPoint(2, 11) << black;
        QTest::addRow("%s no frame right", image) << name << QPoint(12, 5) << olive;
        QTest::addRow("%s no frame bottom", image) << name << QPoint(5, 12) << olive;
        QTest::addRow("%s shadow right", image) << name << QPoint(13, 1) << grey;
        QTest::addRow("%s shadow bottom", image) << name << QPoint(1, 13) << grey;
        QTest::addRow("%s shadow corner", image) << name << QPoint(13, 13) << grey;
        QTest::addRow("%s beyond shadow", image) << name << QPoint(14, 14) << olive;
        QTest::addRow("%s before frame", image) << name << QPoint(1, 1) << olive;
    }
    QTest::newRow("unchecked interior") << "imgUnCheck" << QPoint(10, 4) << white;
    QTest::newRow("unchecked last interior") << "imgUnCheck" << QPoint(11, 11) << white;
    QTest::newRow("no-check interior") << "imgNoCheck" << QPoint(6, 10) << grey;
    QTest::newRow("check mark top") << "imgCheck" << QPoint(10, 4) << black;
    QTest::newRow("check mark left arm") << "imgCheck" << QPoint(4, 6) << black;
    QTest::newRow("check mark gap") << "imgCheck" << QPoint(6, 7) << white;
    QTest::newRow("check mark run") << "imgCheck" << QPoint(8, 8) << black;
    QTest::newRow("check mark tip") << "imgCheck" << QPoint(6, 10) << black;
    QTest::newRow("check beside tip") << "imgCheck" << QPoint(7, 10) << white;
    QTest::newRow("check interior") << "imgCheck" << QPoint(4, 4) << white;
}

void TestSettlement::markImages()
{
    QFETCH(QString, image);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, colour);
    auto* label = screen()->findChild<QLabel*>(image);
    QVERIFY(label);
    QVERIFY(!label->isVisible());
    const QImage bitmap = label->pixmap().toImage();
    QCOMPARE(bitmap.size(), QSize(16, 16));
    QCOMPARE(bitmap.pixelColor(pixel).rgb(), colour.rgb());
}

void TestSettlement::toolButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("shortcut");

    QTest::newRow("filter") << "sbtFiltrar"
                            << "Filtrar"
                            << "mnuFiltrar"
                            << "Ctrl+L";
    QTest::newRow("registration") << "sbtCadAuto"
                                  << "Cadastro Automático"
                                  << ""
                                  << "";
    QTest::newRow("fiscal note") << "sbtGerarNF"
                                 << "Gerar Nota Fiscal"
                                 << "mnuGerarNF"
                                 << "Ctrl+N";
    QTest::newRow("more") << "sbtMais"
                          << "Mais"
                          << "mnuMais"
                          << "Ctrl+M";
}

// The screen's own commands, left to right, all disabled at start with their menu items.
void TestSettlement::toolButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, hint);
    QFETCH(QString, menu);
    QFETCH(QString, shortcut);

    const QStringList order{"sbtFiltrar",  "sbtCadAuto", "sbtGerarNF", "sbtMais",
                            "sbtImprimir", "sbtAjuda",   "sbtFechar"};
    auto* sbt = screen()->findChild<TButtonFlat*>(button);
    QVERIFY(sbt);
    QCOMPARE(sbt->Hint(), hint);
    QVERIFY(!sbt->isEnabled());
    QVERIFY(!screen()->ui->sbtImprimir->isEnabled());
    const int index = order.indexOf(button);
    auto* next = screen()->findChild<QWidget*>(order.at(index + 1));
    QVERIFY(sbt->x() < next->x());
    if (!menu.isEmpty()) {
        auto* action = screen()->findChild<QAction*>(menu);
        QVERIFY(action);
        QVERIFY(!action->isEnabled());
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    }
    QVERIFY(!screen()->ui->mnuCadAuto->isEnabled());
    QCOMPARE(screen()->windowTitle(), QStringLiteral("Baixa C. Receber (INVOICE)"));
    QCOMPARE(screen()->ui->lblCodTela->text(), QStringLiteral("FAS10000"));
    QVERIFY(!screen()->ui->panTaxaCambio->isVisible());
    QVERIFY(sbt->isVisible());
}

void TestSettlement::gridColumns_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");

    // The mark column's title is the check mark of the symbol font it is written for.
    const QList<std::pair<const char*, int>> invoice{
        {"\u2714", 16},          {"Tipo", 68},        {"Invoice", 69},
        {"Cliente", 152},        {"Dt. Emissão", 74}, {"Dt. Vencimento", 80},
        {"Dt. Recebimento", 84}, {"Dt. Câmbio", 71},  {"Nº NF", 67},
        {"Vr. Câmbio (R$)", -1}, {"Valor (U$)", 72}};
    for (int i = 0; i < invoice.size(); ++i)
        QTest::newRow(qPrintable(QStringLiteral("invoice %1").arg(i + 1)))
            << "dbgPadrao" << i << QString::fromUtf8(invoice.at(i).first) << invoice.at(i).second;
    const QList<std::pair<const char*, int>> item{
        {"Item", 163}, {"Descrição", 484}, {"Vr. Unitário", 93}, {"Vr. Ajustado", 93}};
    for (int i = 0; i < item.size(); ++i)
        QTest::newRow(qPrintable(QStringLiteral("item %1").arg(i + 1)))
            << "dbgItem" << i << QString::fromUtf8(item.at(i).first) << item.at(i).second;
}

void TestSettlement::gridColumns()
{
    QFETCH(QString, grid);
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(int, width);
    auto* dbg = screen()->findChild<TDBGrid*>(grid);
    QCOMPARE(dbg->ColumnCount(), grid == QLatin1String("dbgPadrao") ? 11 : 4);
    QCOMPARE(dbg->model()->headerData(column, Qt::Horizontal).toString(), title);
    if (width > 0)
        QCOMPARE(dbg->columnWidth(column), width);
    else
        QVERIFY(dbg->columnWidth(column) > 0);
}

// ---- record rules ---------------------------------------------------------------------------

void TestSettlement::typeWord_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("shown");
    QTest::newRow("M") << "M"
                       << "Manual";
    QTest::newRow("A") << "A"
                       << "Automático";
    QTest::newRow("lower-case m") << "m"
                                  << "";
    QTest::newRow("lower-case a") << "a"
                                  << "";
    QTest::newRow("blank") << " "
                           << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("other") << "X"
                           << "";
}

void TestSettlement::typeWord()
{
    QFETCH(QString, type);
    QFETCH(QString, shown);
    // The type of the second invoice is changed; the first keeps a word, so the cell shows
    // the row's own type and not the current record's.
    loadCompany(QStringLiteral("01"), [&](DataPacket& packet) {
        const int field = packet.indexOf(QStringLiteral("IDTIPOINVOICE"));
        packet.rows[0][field] = QStringLiteral("M");
        packet.rows[1][field] = type;
    });
    QCOMPARE(screen()->cdsInvoice->RecNo(), 1);
    QCOMPARE(cell(screen()->ui->dbgPadrao, 0, 1), QStringLiteral("Manual"));
    QCOMPARE(cell(screen()->ui->dbgPadrao, 1, 1), shown);
}

void TestSettlement::amountsAsDisplayed_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("exchange zero") << "VRCAMBIOINVOICE" << 0.0 << " ";
    QTest::newRow("exchange three decimals") << "VRCAMBIOINVOICE" << 5.12345 << "5,123";
    QTest::newRow("exchange thousands") << "VRCAMBIOINVOICE" << 1234.5 << "1.234,500";
    QTest::newRow("total zero") << "TOTALINVOICE" << 0.0 << "0,00";
    QTest::newRow("total two decimals") << "TOTALINVOICE" << 1234.5 << "1.234,50";
    QTest::newRow("total rounded") << "TOTALINVOICE" << 10.005 << "10,01";
    QTest::newRow("payment order zero") << "VRORDPGTOINVOI" << 0.0 << " ";
    QTest::newRow("payment order") << "VRORDPGTOINVOI" << 2500.0 << "2.500,00";
    QTest::newRow("rate zero") << "VRTXCAMBIOINVOI" << 0.0 << " ";
    QTest::newRow("rate") << "VRTXCAMBIOINVOI" << 5.1 << "5,10";
}

// As the grid shows the two value columns and the detail panel its two amounts.
void TestSettlement::amountsAsDisplayed()
{
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(QString, shown);
    loadCompany(QStringLiteral("01"),
                [&](DataPacket& packet) { packet.rows[0][packet.indexOf(field)] = value; });
    TfrmBCRInvoice* frm = screen();
    if (field == QLatin1String("VRCAMBIOINVOICE"))
        QCOMPARE(cell(frm->ui->dbgPadrao, 0, 9), shown);
    else if (field == QLatin1String("TOTALINVOICE"))
        QCOMPARE(cell(frm->ui->dbgPadrao, 0, 10), shown);
    else
        QCOMPARE((field == QLatin1String("VRORDPGTOINVOI") ? frm->ui->dbeOrdPgto
                                                           : frm->ui->dbeTaxaCambio)
                     ->text(),
                 shown);
}

void TestSettlement::itemsFollowCurrentInvoice()
{
    chooseCompany(QStringLiteral("02"));
    loadCompany(QStringLiteral("02"));
    TfrmBCRInvoice* frm = screen();
    const DataPacket items = fetch(QStringLiteral("GetItem"), QStringLiteral("02"));
    const int invoiceField = items.indexOf(QStringLiteral("NRINVOICE"));
    const int productField = items.indexOf(QStringLiteral("NMPRODUTO"));
    QVERIFY(frm->cdsInvoice->RecordCount() > 5);

    frm->ui->dbgPadrao->setFocus();
    for (int row = 0; row < 6; ++row) {
        if (row > 0)
            QTest::keyClick(frm->ui->dbgPadrao, Qt::Key_Down);
        QCOMPARE(frm->cdsInvoice->RecNo(), row + 1);
        const QString invoice =
            frm->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
        QStringList expected;
        for (const Row& item : items.rows)
            if (item.at(invoiceField).toString() == invoice)
                expected << item.at(productField).toString();
        QVERIFY2(!expected.isEmpty(), qPrintable(invoice));
        QStringList seen;
        for (int r = 0; r < frm->ui->dbgItem->model()->rowCount(); ++r)
            seen << cell(frm->ui->dbgItem, r, 0);
        QCOMPARE(seen, expected);
    }
}

void TestSettlement::secondInvoiceItems_data()
{
    QTest::addColumn<QString>("number"); // the second invoice's new number, with its items
    QTest::addColumn<bool>("dropItems");
    QTest::newRow("without items") << QString() << true;
    QTest::newRow("quote in the number") << "12'34" << false;
    QTest::newRow("quotes at the ends") << "'1234'" << false;
    QTest::newRow("blank in the number") << "12 34" << false;
}

// The item grid of the second invoice: empty when it has none, and its own items whatever
// characters its number holds.
void TestSettlement::secondInvoiceItems()
{
    QFETCH(QString, number);
    QFETCH(bool, dropItems);
    QString second;
    int itemCount = 0;
    chooseCompany(QStringLiteral("01"));
    loadCompany(
        QStringLiteral("01"),
        [&](DataPacket& packet) {
            const int field = packet.indexOf(QStringLiteral("NRINVOICE"));
            second = packet.rows.at(1).at(field).toString();
            if (!number.isEmpty())
                packet.rows[1][field] = number;
        },
        [&](DataPacket& packet) {
            const int field = packet.indexOf(QStringLiteral("NRINVOICE"));
            if (dropItems) {
                packet.rows.removeIf(
                    [&](const Row& row) { return row.at(field).toString() == second; });
                return;
            }
            for (Row& row : packet.rows) {
                if (row.at(field).toString() == second) {
                    row[field] = number;
                    ++itemCount;
                }
            }
        });
    QVERIFY(dropItems || itemCount > 0);
    TfrmBCRInvoice* frm = screen();
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('|')));
    QVERIFY(frm->ui->dbgItem->model()->rowCount() > 0);
    frm->ui->dbgPadrao->setFocus();
    QTest::keyClick(frm->ui->dbgPadrao, Qt::Key_Down);
    QCOMPARE(frm->cdsInvoice->RecNo(), 2);
    QCOMPARE(frm->ui->dbgItem->model()->rowCount(), itemCount);
    QVERIFY2(shown().messages.isEmpty(), qPrintable(shown().texts().join('|')));
    QTest::keyClick(frm->ui->dbgPadrao, Qt::Key_Up);
    QVERIFY(frm->ui->dbgItem->model()->rowCount() > 0);
}

void TestSettlement::openingInvoicesResetsMarkAll()
{
    Cli_FAS10000::boTodos = true;
    loadCompany(QStringLiteral("03"));
    QVERIFY(!Cli_FAS10000::boTodos);
    Cli_FAS10000::boTodos = true;
    screen()->cdsInvoice->Close();
    QVERIFY(Cli_FAS10000::boTodos);
    loadCompany(QStringLiteral("01"));
    QVERIFY(!Cli_FAS10000::boTodos);
}

// ---- reading and keyboard ---------------------------------------------------------------------

void TestSettlement::summaryOfTheList()
{
    listCompany(QStringLiteral("01"));
    const QString listed = QLocale().toString(screen()->cdsInvoice->RecordCount());
    QTRY_COMPARE(screen()->lblResumo->text(), listed + QStringLiteral(" invoices"));
    const QList<int> open = openInvoices();
    clickMark(open.at(0));
    clickMark(open.at(1));
    const double total = invoiceValue(open.at(0), "TOTALINVOICE").toDouble() +
                         invoiceValue(open.at(1), "TOTALINVOICE").toDouble();
    QTRY_COMPARE(screen()->lblResumo->text(), listed +
                                                  QStringLiteral(" invoices — 2 marcadas: US$ ") +
                                                  FormatFloat(QStringLiteral("#,##0.00"), total));
    loadCompany(QStringLiteral("01"), [](DataPacket& invoices) { invoices.rows.clear(); });
    QTRY_COMPARE(screen()->lblResumo->text(),
                 QStringLiteral("Nenhuma invoice encontrada para os critérios do filtro."));
}

void TestSettlement::gridKeepsColumnsAndCurrentInvoice()
{
    chooseCompany(QStringLiteral("01"));
    TDBGrid* grid = screen()->ui->dbgPadrao;
    QHeaderView* titles = grid->horizontalHeader();
    for (int column = 0; column < grid->ColumnCount(); ++column)
        QVERIFY2(titles->sectionSizeHint(column) <= grid->columnWidth(column),
                 qPrintable(QString::number(column)));
    // The window widened for them: none starts off screen.
    QVERIFY2(
        titles->length() <= grid->viewport()->width(),
        qPrintable(QStringLiteral("%1 > %2").arg(titles->length()).arg(grid->viewport()->width())));

    // Tab leaves the grid and the current invoice; "Mais" keeps the current invoice in sight.
    const int last = grid->rowAt(grid->viewport()->height() - 2);
    screen()->cdsInvoice->SetRecNo(last + 1);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != grid);
    QCOMPARE(screen()->cdsInvoice->RecNo(), last + 1);
    QTest::keyClick(screen(), Qt::Key_M, Qt::ControlModifier);
    QVERIFY(screen()->ui->panTaxaCambio->isVisible());
    QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())));
    // The refresh stays on it too.
    const QString current =
        screen()->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString();
    QTest::mouseClick(screen()->ui->sbtVerificar, Qt::LeftButton);
    QCOMPARE(screen()->cdsInvoice->FieldByName(QStringLiteral("NRINVOICE")).AsString(), current);

    // A width the user drags comes back with the next opening.
    titles->resizeSection(3, 251);
    QTRY_VERIFY(OptionStore::Value(OptionStore::Load(QStringLiteral("FAS10000")),
                                   QStringLiteral("dbgPadrao"))
                    .contains(QStringLiteral(",251,")));
    {
        const TfrmBCRInvoice another;
        QCOMPARE(another.ui->dbgPadrao->columnWidth(3), 251);
    }
    OptionStore::Save(QStringLiteral("FAS10000"), {});
}
