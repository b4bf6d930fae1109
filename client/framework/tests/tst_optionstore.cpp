#include "EAbort.h"
#include "MessageService.h"
#include "OptionStore.h"

#include <QTemporaryDir>
#include <QTest>

class TestOptionStore : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void saveAndLoad_data();
    void saveAndLoad();
    void perUserAndScreen();
    void saveReplacesTheWholeList();
    void values();
    void unwritableFileIsReported();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestOptionStore::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    qputenv("FAS_OPTIONS_FILE", dir->filePath("sub/options.ini").toUtf8());
}

void TestOptionStore::saveAndLoad_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("keys") << "0001,0002";
    QTest::newRow("quoted keys") << "\"A, B\",\"x\"\"y\",C";
    QTest::newRow("equals and at") << "@Variant(x)=1;#c";
    QTest::newRow("accents and blanks") << "  São Paulo  ";
}

void TestOptionStore::saveAndLoad()
{
    QFETCH(QString, value);
    QStringList lines;
    OptionStore::SetValue(lines, "stCliente", value);
    OptionStore::SetValue(lines, "outra", "1");
    OptionStore::Save("ana", "FAS10001", lines);
    const QStringList loaded = OptionStore::Load("ana", "FAS10001");
    QCOMPARE(loaded, lines);
    QCOMPARE(OptionStore::Value(loaded, "stCliente"), value);
}

void TestOptionStore::perUserAndScreen()
{
    OptionStore::Save("ana", "FAS10001", {"stCliente=1"});
    OptionStore::Save("bia", "FAS10001", {"stCliente=2"});
    OptionStore::Save("ana/x", "FAS10002", {"stCliente=3"});
    QCOMPARE(OptionStore::Load("ana", "FAS10001"), QStringList{"stCliente=1"});
    QCOMPARE(OptionStore::Load("bia", "FAS10001"), QStringList{"stCliente=2"});
    QCOMPARE(OptionStore::Load("ana/x", "FAS10002"), QStringList{"stCliente=3"});
    QCOMPARE(OptionStore::Load("ana", "FAS10002"), QStringList());
    QCOMPARE(OptionStore::Value(OptionStore::Load("caio", "FAS10001"), "stCliente"), QString());
}

void TestOptionStore::saveReplacesTheWholeList()
{
    OptionStore::Save("ana", "FAS10001", {"a=1", "b=2", "c=3"});
    OptionStore::Save("ana", "FAS10001", {"b=9"});
    QCOMPARE(OptionStore::Load("ana", "FAS10001"), QStringList{"b=9"});
}

void TestOptionStore::values()
{
    QStringList lines{"stCliente=1,2", "x=a=b"};
    QCOMPARE(OptionStore::Value(lines, "x"), QString("a=b"));
    QCOMPARE(OptionStore::Value(lines, "stcliente"), QString("1,2"));
    QCOMPARE(OptionStore::Value(lines, "stClienteX"), QString());
    QCOMPARE(OptionStore::Value(lines, "st"), QString());
    OptionStore::SetValue(lines, "stCliente", "");
    QCOMPARE(lines, (QStringList{"stCliente=", "x=a=b"}));
}

void TestOptionStore::unwritableFileIsReported()
{
    // A folder where the file should be: it cannot be written.
    QVERIFY(QDir().mkpath(dir->filePath("blocked.ini")));
    qputenv("FAS_OPTIONS_FILE", dir->filePath("blocked.ini").toUtf8());
    ScopedScriptedMessages messages;
    QVERIFY_THROWS_EXCEPTION(EAbort, OptionStore::Save("ana", "FAS10001", {"a=1"}));
    QCOMPARE(messages->messages.size(), 1);
    QVERIFY(messages->texts().first().startsWith("Não foi possível gravar as opções"));
}

QTEST_MAIN(TestOptionStore)
#include "tst_optionstore.moc"
