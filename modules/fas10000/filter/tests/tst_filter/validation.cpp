// The filter dialog's date validation and the colouring of its date ranges.

#include "FilterTest.h"

#include "Colors.h"

// ---- validation: one message, the focus on the control named, no server call -----------------

void TestFilter::validation_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QString>("list"); // null: "Todos"; otherwise "Lista" with this list
    QTest::addColumn<bool>("pagoWithoutNote");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    const QStringList none(8, QString());
    auto with = [&none](std::initializer_list<std::pair<int, const char*>> values) {
        QStringList dates = none;
        for (const auto& [index, text] : values)
            dates[index] = QString::fromLatin1(text);
        return dates;
    };
    const QString todos;

    QTest::newRow("issue end before start")
        << with({{0, "02/03/2025"}, {1, "01/03/2025"}}) << todos << false
        << "Data Final de Emissão deve ser maior ou igual à Data Inicial de Emissão."
        << "depEmissFin";
    QTest::newRow("due end before start")
        << with({{2, "02/03/2025"}, {3, "01/03/2025"}}) << todos << false
        << "Data Final de Vencimento deve ser maior ou igual à Data Inicial de Vencimento."
        << "depVencFin";
    QTest::newRow("receipt end before start")
        << with({{4, "02/03/2025"}, {5, "01/03/2025"}}) << todos << false
        << "Data Final de Recebimento deve ser maior ou igual à Data Inicial de Recebimento."
        << "depRecebFin";
    QTest::newRow("exchange end before start")
        << with({{6, "02/03/2025"}, {7, "01/03/2025"}}) << todos << false
        << "Data Final de Câmbio deve ser maior ou igual à Data Inicial de Câmbio."
        << "depCambFin";
    QTest::newRow("issue and receipt wrongly ordered: issue only")
        << with({{0, "02/03/2025"}, {1, "01/03/2025"}, {4, "02/03/2025"}, {5, "01/03/2025"}})
        << todos << false
        << "Data Final de Emissão deve ser maior ou igual à Data Inicial de Emissão."
        << "depEmissFin";
    QTest::newRow("order before a missing bound, whatever the ranges")
        << with({{0, "02/03/2025"}, {6, "02/03/2025"}, {7, "01/03/2025"}}) << todos << false
        << "Data Final de Câmbio deve ser maior ou igual à Data Inicial de Câmbio."
        << "depCambFin";
    QTest::newRow("issue start missing") << with({{1, "01/03/2025"}}) << todos << false
                                         << "Data Inicial de Emissão deve ser informada."
                                         << "depEmissIni";
    QTest::newRow("issue end missing") << with({{0, "01/03/2025"}}) << todos << false
                                       << "Data Final de Emissão deve ser informada."
                                       << "depEmissFin";
    QTest::newRow("due start missing") << with({{3, "01/03/2025"}}) << todos << false
                                       << "Data Inicial de Vencimento deve ser informada."
                                       << "depVencIni";
    QTest::newRow("due end missing") << with({{2, "01/03/2025"}}) << todos << false
                                     << "Data Final de Vencimento deve ser informada."
                                     << "depVencFin";
    QTest::newRow("receipt start missing") << with({{5, "01/03/2025"}}) << todos << false
                                           << "Data Inicial de Recebimento deve ser informada."
                                           << "depRecebIni";
    QTest::newRow("receipt end missing") << with({{4, "01/03/2025"}}) << todos << false
                                         << "Data Final de Recebimento deve ser informada."
                                         << "depRecebFin";
    QTest::newRow("exchange start missing (key in other case)")
        << with({{7, "01/03/2025"}}) << todos << false
        << "Data Inicial de Câmbio deve ser informada."
        << "depCambIni";
    QTest::newRow("exchange end missing")
        << with({{6, "01/03/2025"}}) << todos << false << "Data Final de Câmbio deve ser informada."
        << "depCambFin";
    QTest::newRow("missing bounds in two ranges: the first edit")
        << with({{3, "01/03/2025"}, {0, "01/03/2025"}}) << todos << false
        << "Data Final de Emissão deve ser informada."
        << "depEmissFin";
    QTest::newRow("not a date") << with({{2, "31/02/2025"}}) << todos << false
                                << "Data inválida: 31/02/2025."
                                << "depVencIni";
    QTest::newRow("lista without customers") << none << "" << false << "Cliente deve ser informado."
                                             << "rbtLCliente";
    QTest::newRow("lista of blanks") << none << "   " << false << "Cliente deve ser informado."
                                     << "rbtLCliente";
    QTest::newRow("pago without a note situation")
        << none << todos << true << "Situação da Nota Fiscal deve ser informada."
        << "chbNEmitida";
    QTest::newRow("dates before customers")
        << with({{0, "01/03/2025"}}) << "" << true << "Data Final de Emissão deve ser informada."
        << "depEmissFin";
    QTest::newRow("customers before the note situation")
        << none << "" << true << "Cliente deve ser informado."
        << "rbtLCliente";
}

void TestFilter::validation()
{
    QFETCH(QStringList, dates);
    QFETCH(QString, list);
    QFETCH(bool, pagoWithoutNote);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const QList<TDateEditPlus*> edits = dateEdits(f);
    for (int i = 0; i < 8; ++i)
        edits[i]->setText(dates.at(i));
    if (!list.isNull()) {
        clickIndicator(f.rbtLCliente);
        Cli_FAS10001::stCliente = list;
    }
    if (pagoWithoutNote) {
        QTest::mouseClick(f.chbPago, Qt::LeftButton);
        QTest::mouseClick(f.chbNEmitida, Qt::LeftButton);
        QTest::mouseClick(f.chbEmitida, Qt::LeftButton);
    }
    f.rbtTCliente->setFocus(Qt::OtherFocusReason);
    if (list.isNull())
        f.chbAberto->setFocus(Qt::OtherFocusReason);
    msgs().clear();
    confirm();

    QCOMPARE(msgs().texts(), QStringList{message});
    QCOMPARE(msgs().messages.first().kind, MessageService::Kind::Error);
    QCOMPARE(f.focusWidget()->objectName(), focus);
    QVERIFY(server->calls.isEmpty());
    QVERIFY(f.isVisible());
    QVERIFY(!screen->cdsInvoice->Active());
}

// ---- range colouring --------------------------------------------------------------------------

void TestFilter::rangeColouring_data()
{
    QTest::addColumn<QString>("ini"); // typed digits
    QTest::addColumn<QString>("fin");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("clearAfter");

    QTest::newRow("no bound") << ""
                              << "" << false << false;
    QTest::newRow("start only") << "05012026"
                                << "" << true << false;
    QTest::newRow("end only") << ""
                              << "05012026" << true << false;
    QTest::newRow("both bounds") << "05012026"
                                 << "06012026" << true << false;
    QTest::newRow("unfinished start") << "0501"
                                      << "" << false << false;
    QTest::newRow("unfinished start, valid end") << "0501"
                                                 << "06012026" << true << false;
    QTest::newRow("both cleared again") << "05012026"
                                        << "06012026" << false << true;
}

void TestFilter::rangeColouring()
{
    QFETCH(QString, ini);
    QFETCH(QString, fin);
    QFETCH(bool, active);
    QFETCH(bool, clearAfter);

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const QList<TDateEditPlus*> edits = dateEdits(f);
    for (int range = 0; range < 4; ++range) {
        TDateEditPlus* start = edits[2 * range];
        TDateEditPlus* end = edits[2 * range + 1];
        typeInto(start, ini);
        typeInto(end, fin);
        if (clearAfter) {
            start->setText(QString());
            end->setText(QString());
        }
        const QColor expected = active ? clInfoBk : clWindow;
        QCOMPARE(start->Color(), expected);
        QCOMPARE(end->Color(), expected);
        // The other ranges keep their own state.
        for (int other = range + 1; other < 4; ++other)
            QCOMPARE(edits[2 * other]->Color(), clWindow);
    }
}
