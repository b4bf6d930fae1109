// fas-appserver's exit codes, on which the scripts that start it rely: in particular an
// existing schema refused by --init/--init-demo is told apart from a failure by its code.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstServerExit : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    static QString program()
    {
        return QDir(qEnvironmentVariable("FAS_BIN_DIR")).filePath(QStringLiteral("fas-appserver"));
    }

private slots:
    // One database file through the rows in order: each row's arguments follow --db FILE.
    void exitCode_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no database yet") << QStringList() << 1;
        QTest::newRow("schema created") << QStringList{"--init"} << 0;
        QTest::newRow("schema exists, --init") << QStringList{"--init"} << 3;
        QTest::newRow("schema exists, --init-demo") << QStringList{"--init-demo"} << 3;
        QTest::newRow("bad port") << QStringList{"--init", "--port", "x"} << 2;
    }
    void exitCode()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QVERIFY(dir.isValid());
        QProcess server;
        server.start(program(),
                     QStringList{QStringLiteral("--db"), dir.filePath(QStringLiteral("fas.db"))} +
                         args);
        QVERIFY2(server.waitForFinished(60000), qPrintable(server.errorString()));
        QCOMPARE(server.exitStatus(), QProcess::NormalExit);
        QCOMPARE(server.exitCode(), code);
        // The refusal says what it found.
        if (code == 3)
            QVERIFY(server.readAllStandardError().contains("já tem o esquema"));
    }
};

QTEST_GUILESS_MAIN(TstServerExit)
#include "tst_serverexit.moc"
