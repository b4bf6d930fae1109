// Placeholder: the hostile request corpus and the mutation run over the request reader and
// the dispatcher live here.
#include <QtTest>

class TstRequestFuzz : public QObject
{
    Q_OBJECT
};

QTEST_GUILESS_MAIN(TstRequestFuzz)
#include "tst_requestfuzz.moc"
