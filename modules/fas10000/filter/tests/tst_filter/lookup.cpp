// The filter dialog's customer lookup and its saved options.

#include "FilterTest.h"

#include "LookupListDialog.h"
#include "ModalHelper.h"
#include "OptionStore.h"

#include <QSqlQuery>
#include <QTableWidget>

void TestFilter::customerLookup()
{
    QSqlQuery query(db);
    QVERIFY(query.exec("SELECT DISTINCT C.CDCLIENTE FROM CLIENTE C JOIN ENDECLIE E"
                       " ON C.CDCLIENTE = E.CDCLIENTE"
                       " WHERE E.IDTPENDECLIE = 'P' AND E.CDPAIS <> '0055'"));
    QStringList abroad;
    while (query.next())
        abroad << query.value(0).toString();
    QVERIFY(query.exec("SELECT COUNT(*) FROM CLIENTE"));
    QVERIFY(query.next());
    QVERIFY2(query.value(0).toInt() > abroad.size(), "the demo holds customers left out");

    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    clickIndicator(f.rbtLCliente);
    int rows = -1;
    QString title;
    ModalHelper::whenModal(
        [&](QDialog& shown) {
            auto& list = static_cast<LookupListDialog&>(shown);
            rows = list.table()->rowCount();
            title = list.windowTitle();
            for (int i = 0; i < rows; ++i)
                list.setChecked(i, true);
            shown.accept();
        },
        "LookupListDialog");
    QTest::mouseClick(f.btpCliente, Qt::LeftButton);

    QCOMPARE(rows, abroad.size());
    QCOMPARE(title, QStringLiteral("Cliente"));
    QStringList chosen = Cli_FAS10001::stCliente.split(u',');
    chosen.sort();
    abroad.sort();
    QCOMPARE(chosen, abroad);
}

// Every criterion survives a save and a load, whatever the dialog held meanwhile.
void TestFilter::options()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    // Two sets of criteria that differ in each one.
    const auto set = [&f](bool first) {
        (first ? f.rbtLCliente : f.rbtTCliente)->setChecked(true);
        Cli_FAS10001::stCliente = first ? "C0001,\"C 2\"" : "C0009";
        f.chbAberto->setChecked(!first);
        f.chbPago->setChecked(first);
        f.chbNEmitida->setChecked(false);
        const QStringList dates =
            first ? QStringList{"01/02/2025", "28/02/2025", "", "", "", "", "", "05/03/2025"}
                  : QStringList{"", "", "02/01/2025", "03/01/2025", "04/01/2025", "", "", ""};
        for (int i = 0; i < 8; ++i)
            dateEdits(f)[i]->setText(dates[i]);
    };
    for (const bool first : {true, false}) {
        set(first);
        const QStringList saved = criteria(f);
        OptionStore::Save(QStringLiteral("FAS10001"), {});
        QTest::keyClick(&f, Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(OptionStore::Load(QStringLiteral("FAS10001")).size(), 14);
        set(!first);
        QVERIFY(criteria(f) != saved);
        QTest::keyClick(&f, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(criteria(f), saved);
    }

    // A list saved when only the customers were kept loads; the rest stays as it stands.
    OptionStore::Save(QStringLiteral("FAS10001"), {QStringLiteral("stCliente=C0007")});
    QStringList expected = criteria(f);
    expected[1] = QStringLiteral("C0007");
    QTest::mouseClick(f.btfLoadOpc, Qt::LeftButton);
    QCOMPARE(criteria(f), expected);

    // An invalid date stops the save before anything is stored.
    f.depVencFin->setText(QStringLiteral("99/99/2025"));
    QTest::mouseClick(f.btfSaveOpc, Qt::LeftButton);
    QCOMPARE(msgs().texts().size(), 1);
    QCOMPARE(f.focusWidget(), f.depVencFin);
    QCOMPARE(OptionStore::Load(QStringLiteral("FAS10001")).size(), 1);
}
