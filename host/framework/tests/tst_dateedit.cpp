#include "Colors.h"
#include "EAbort.h"
#include "MessageService.h"
#include "TDateEditPlus.h"

#include <QLabel>
#include <QTest>

class TestDateEdit : public QObject
{
    Q_OBJECT
private slots:
    void typedTexts_data();
    void typedTexts();
    void checkValidDate_data();
    void checkValidDate();
    void setDateAndClear();
    void changeHookAndColour();
    void weekdayBesideTheWholeDate_data();
    void weekdayBesideTheWholeDate();
};

void TestDateEdit::typedTexts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("weekday");

    QTest::newRow("valid") << "07122026"
                           << "07/12/2026" << true << QDate(2026, 12, 7) << "Segunda";
    QTest::newRow("sunday") << "06122026"
                            << "06/12/2026" << true << QDate(2026, 12, 6) << "Domingo";
    QTest::newRow("leap day") << "29022024"
                              << "29/02/2024" << true << QDate(2024, 2, 29) << "Quinta";
    QTest::newRow("no such day") << "31022026"
                                 << "31/02/2026" << false << TDateEditPlus::EmptyDate() << "";
    QTest::newRow("month 13") << "01132026"
                              << "01/13/2026" << false << TDateEditPlus::EmptyDate() << "";
    QTest::newRow("partial") << "1203"
                             << "12/03/" << false << TDateEditPlus::EmptyDate() << "";
    QTest::newRow("two-digit year") << "120326"
                                    << "12/03/26" << false << TDateEditPlus::EmptyDate() << "";
    QTest::newRow("empty") << ""
                           << "" << false << TDateEditPlus::EmptyDate() << "";
    QTest::newRow("letters ignored") << "ab"
                                     << "" << false << TDateEditPlus::EmptyDate() << "";
}

void TestDateEdit::typedTexts()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QDate, date);
    QFETCH(QString, weekday);

    TDateEditPlus edit;
    edit.show();
    edit.setFocus();
    edit.home(false);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), text);
    QCOMPARE(edit.IsDateValid(), valid);
    QCOMPARE(edit.GetDate(), date);
    QCOMPARE(edit.WeekdayName(), weekday);
    QCOMPARE(edit.findChild<QLabel*>("lblDiaSemana")->text(), weekday);
    QCOMPARE(edit.palette().color(QPalette::Text) == clBlue, valid);
}

void TestDateEdit::checkValidDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("errors");
    QTest::newRow("valid passes") << "01/01/2026" << QStringList();
    QTest::newRow("empty passes") << "" << QStringList();
    QTest::newRow("invalid reported") << "31/04/2026" << QStringList{"Data inválida: 31/04/2026."};
    QTest::newRow("partial reported") << "12/03/" << QStringList{"Data inválida: 12/03/."};
}

void TestDateEdit::checkValidDate()
{
    QFETCH(QString, text);
    QFETCH(QStringList, errors);
    ScopedScriptedMessages messages;
    TDateEditPlus edit;
    edit.setText(text);
    bool aborted = false;
    try {
        edit.CheckValidDate();
    } catch (const EAbort&) {
        aborted = true;
    }
    QCOMPARE(aborted, !errors.isEmpty());
    QCOMPARE(messages->texts(), errors);
}

void TestDateEdit::setDateAndClear()
{
    TDateEditPlus edit;
    edit.SetDate(QDate(2025, 1, 31));
    QCOMPARE(edit.text(), QString("31/01/2025"));
    QCOMPARE(edit.GetDate(), QDate(2025, 1, 31));
    edit.SetDate(QDate());
    QCOMPARE(edit.text(), QString());
    edit.setText("05/06/2025");
    QCOMPARE(edit.GetDate(), QDate(2025, 6, 5));
    edit.setText("");
    QCOMPARE(edit.text(), QString());
    QVERIFY(!edit.IsDateValid());
}

void TestDateEdit::changeHookAndColour()
{
    ScopedScriptedMessages messages;
    TDateEditPlus edit;
    QStringList seen;
    edit.OnChange = [&] {
        seen.append(edit.text());
        edit.SetColor(edit.IsDateValid() ? clInfoBk : clWindow);
        if (edit.text() == "13/13/1313")
            throw EAbort(); // must stay inside the edit's dispatch
    };
    edit.setText("01/02/2026");
    QCOMPARE(edit.Color(), clInfoBk);
    edit.setText("13/13/1313");
    QCOMPARE(edit.Color(), clWindow);
    edit.setText("");
    QCOMPARE(seen, (QStringList{"01/02/2026", "13/13/1313", ""}));
    QVERIFY(messages->messages.isEmpty());
}

void TestDateEdit::weekdayBesideTheWholeDate_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<QString>("width"); // "preferred", "minimum" or a fixed number of pixels
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("shown");
    QTest::newRow("preferred") << 11 << "preferred"
                               << "28/12/2026"
                               << "Segunda";
    QTest::newRow("minimum") << 11 << "minimum"
                             << "31/12/2025"
                             << "Qua";
    QTest::newRow("fixed narrower") << 11 << "40"
                                    << "29/12/2029"
                                    << "Sáb";
    QTest::newRow("larger font") << 16 << "100"
                                 << "27/12/2026"
                                 << "Dom";
}

void TestDateEdit::weekdayBesideTheWholeDate()
{
    QFETCH(int, pixelSize);
    QFETCH(QString, width);
    QFETCH(QString, date);
    QFETCH(QString, shown);

    QWidget form;
    QFont font = form.font();
    font.setPixelSize(pixelSize);
    form.setFont(font);
    auto* edit = new TDateEditPlus(&form);
    if (width == QLatin1String("preferred") || width == QLatin1String("minimum")) {
        edit->resize(width == QLatin1String("preferred") ? edit->sizeHint().width()
                                                         : edit->minimumSizeHint().width(),
                     edit->sizeHint().height());
    } else { // as a form fixes it
        edit->setMinimumWidth(width.toInt());
        edit->setMaximumWidth(width.toInt());
        edit->resize(width.toInt(), edit->sizeHint().height());
    }
    edit->setText(date);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const auto* weekday = edit->findChild<QLabel*>("lblDiaSemana");
    QCOMPARE(weekday->text(), shown);
    QVERIFY(QFontMetrics(weekday->font()).horizontalAdvance(shown) <= weekday->width());
    // The cursor at either end of the text, as painted: the first digit is where the line
    // starts (nothing scrolled away) and the last ends before the weekday.
    edit->home(false);
    edit->grab();
    const QRect start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    edit->end(false);
    edit->grab();
    const QRect end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QCOMPARE(edit->cursorPositionAt(start.center()), 0);
    QVERIFY(end.x() - start.x() >= QFontMetrics(edit->font()).horizontalAdvance(date) - 1);
    QVERIFY2(end.right() < weekday->geometry().left(),
             qPrintable(QStringLiteral("%1 %2").arg(end.right()).arg(weekday->x())));
}

QTEST_MAIN(TestDateEdit)
#include "tst_dateedit.moc"
