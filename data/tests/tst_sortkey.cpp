// The accent- and case-free key that orders and finds names.
#include "SortKey.h"

#include <QtTest>

class TstSortKey : public QObject
{
    Q_OBJECT

private slots:
    void key_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("key");
        QTest::newRow("accents and case") << "Île-de-France Café"
                                          << "ile-de-france cafe";
        QTest::newRow("no decomposition") << "İstanbul Spółka Øre Straße"
                                          << "istanbul spolka ore strasse";
        QTest::newRow("decomposed input") << QString::fromUtf8("Gra\xCC\x83os") << "graos";
    }
    void key()
    {
        QFETCH(QString, text);
        QFETCH(QString, key);
        QCOMPARE(SortKey::of(text), key);
    }
};

QTEST_APPLESS_MAIN(TstSortKey)
#include "tst_sortkey.moc"
