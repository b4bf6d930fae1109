// The filter dialog's Nota Fiscal group, and the dialog driven by keyboard alone.

#include "FilterTest.h"

#include "Colors.h"
#include "LookupListDialog.h"
#include "ModalHelper.h"

#include <QLabel>

// ---- the Nota Fiscal group --------------------------------------------------------------------

void TestFilter::notaFiscalFollowsPago()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const auto captionColour = [&f] {
        return f.grbNotaFiscal->palette().color(QPalette::Active, QPalette::WindowText);
    };
    QCOMPARE(captionColour(), clInactiveCaptionText);

    QTest::mouseClick(f.chbPago, Qt::LeftButton);
    QVERIFY(f.grbNotaFiscal->isEnabled());
    QVERIFY(f.chbNEmitida->isEnabled() && f.chbEmitida->isEnabled());
    QVERIFY(f.chbNEmitida->isChecked() && f.chbEmitida->isChecked());
    QCOMPARE(captionColour(), clWindowText);

    // One box kept: ticking "Pago" again later does not tick the other one.
    QTest::mouseClick(f.chbEmitida, Qt::LeftButton);
    QTest::mouseClick(f.chbAberto, Qt::LeftButton);
    QVERIFY(f.chbNEmitida->isChecked() && !f.chbEmitida->isChecked());

    QTest::mouseClick(f.chbPago, Qt::LeftButton);
    QVERIFY(!f.grbNotaFiscal->isEnabled());
    QVERIFY(!f.chbNEmitida->isChecked() && !f.chbEmitida->isChecked());
    QCOMPARE(captionColour(), clInactiveCaptionText);
    QVERIFY(f.chbAberto->isChecked()); // independent of the three

    // Set by code (as the restore does), the group follows too.
    f.chbNEmitida->setChecked(false);
    f.chbEmitida->setChecked(true);
    f.chbPago->setChecked(true);
    QVERIFY(f.grbNotaFiscal->isEnabled());
    QVERIFY(!f.chbNEmitida->isChecked() && f.chbEmitida->isChecked());
}

// ---- by keyboard alone -----------------------------------------------------------------------

// Arrows and Space choose, Tab walks, Enter opens the focused lookup and confirms elsewhere;
// a refusal leaves the focus where the typing goes on.
void TestFilter::keyboardOnly()
{
    TfrmFiltroBCRInvoice& f = dialog();
    showDialog();
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
    const auto tabTo = [&](QWidget* target) {
        for (int i = 0; i < 20 && QApplication::focusWidget() != target; ++i)
            press(Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    };
    QTRY_COMPARE(QApplication::focusWidget(), f.rbtTCliente);
    press(Qt::Key_Down);
    QVERIFY(f.rbtLCliente->isChecked());
    QVERIFY(tabTo(f.btpCliente));
    ModalHelper::whenModal(
        [](QDialog& shown) {
            static_cast<LookupListDialog&>(shown).setChecked(0, true);
            // The dialog's own focus: the application's may not have moved to it yet when
            // the machine is busy.
            QTest::keyClick(shown.focusWidget() ? shown.focusWidget() : &shown, Qt::Key_Return);
        },
        "LookupListDialog");
    press(Qt::Key_Return);
    QVERIFY(!Cli_FAS10001::stCliente.isEmpty());
    QCOMPARE(f.findChild<QLabel*>("lblClientes")->text(), QStringLiteral("1 cliente"));
    showDialog(); // the offscreen platform does not give the activation back
    QCOMPARE(QApplication::focusWidget(), f.btpCliente);
    QVERIFY(tabTo(f.chbAberto));
    press(Qt::Key_Space);
    QVERIFY(tabTo(f.depEmissIni));
    QTest::keyClicks(f.depEmissIni, QStringLiteral("01022025"));
    press(Qt::Key_Return);
    QCOMPARE(msgs().texts(), QStringList{"Data Final de Emissão deve ser informada."});
    QCOMPARE(QApplication::focusWidget(), f.depEmissFin);
    QTest::keyClicks(f.depEmissFin, QStringLiteral("28022025"));
    press(Qt::Key_Enter);
    QVERIFY(!f.isVisible());
    QCOMPARE(server->methods(), (QStringList{"GetInvoice", "GetItem"}));
    const QStringList sent = paramValues(server->calls[0]);
    QCOMPARE(sent.mid(1, 3), (QStringList{"A_", "", ""}));
    QCOMPARE(sent.mid(8, 2), (QStringList{"2025-02-01T00:00:00", "2025-02-28T00:00:00"}));
}
