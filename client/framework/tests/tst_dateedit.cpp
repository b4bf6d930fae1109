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
    QTest::addColumn<int>("width"); // 0: the edit's preferred width; -1: its minimum
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("shown");
    QTest::newRow("preferred width") << 0 << "28/12/2026"
                                     << "Segunda";
    QTest::newRow("minimum width") << -1 << "31/12/2025"
                                   << "Qua";
    QTest::newRow("form asks for less") << 40 << "29/12/2029"
                                        << "Sáb";
}

void TestDateEdit::weekdayBesideTheWholeDate()
{
    QFETCH(int, width);
    QFETCH(QString, date);
    QFETCH(QString, shown);
    QWidget form;
    QFont font = form.font();
    font.setPixelSize(11); // the suite's font
    form.setFont(font);
    auto* edit = new TDateEditPlus(&form);
    const int wanted = width == 0    ? edit->sizeHint().width()
                       : width == -1 ? edit->minimumSizeHint().width()
                                     : width;
    edit->setFixedWidth(wanted);
    edit->setText(date);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const auto* weekday = edit->findChild<QLabel*>("lblDiaSemana");
    QCOMPARE(weekday->text(), shown);
    QVERIFY(QFontMetrics(weekday->font()).horizontalAdvance(shown) <= weekday->width());
    // The cursor at either end of the text as painted: nothing scrolled out on the left, and
    // the text ends before the weekday.
    edit->home(false);
    edit->grab();
    const QRect start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    edit->end(false);
    edit->grab();
    const QRect end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QCOMPARE(edit->cursorPositionAt(start.center()), 0);
    QVERIFY(end.right() < weekday->geometry().left());
}

QTEST_MAIN(TestDateEdit)
#include "tst_dateedit.moc"
