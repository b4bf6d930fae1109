// The application server's methods on a SQLite demo database.
#include "AppServerSuite.h"

#include "ServerDatabase.h"

#include <QTemporaryDir>

class TstAppServer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    AppServerSuite suite;

    QString demoFile() const { return dir.filePath(QStringLiteral("demo-template.db")); }

    static QSqlDatabase open(const QString& file, const QString& connection)
    {
        ServerDatabase settings;
        settings.name = file;
        return settings.open(connection, false);
    }

    static void close(AppServerSuite& target, const QString& connection)
    {
        target.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
    }

    // Every test function starts from a copy of the demo database made once.
    void reset()
    {
        close(suite, QStringLiteral("suite"));
        const QString file = dir.filePath(QStringLiteral("demo.db"));
        QFile::remove(file);
        QVERIFY(QFile::copy(demoFile(), file));
        suite.db = open(file, QStringLiteral("suite"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        AppServerSuite maker;
        maker.db = open(demoFile(), QStringLiteral("maker"));
        maker.fill();
        close(maker, QStringLiteral("maker"));
    }
    void init() { reset(); }
    void cleanupTestCase() { close(suite, QStringLiteral("suite")); }

    void filter_data() { AppServerSuite::filterData(); }
    void filter() { suite.filter(); }
    void setInvoiceApplies() { suite.setInvoiceApplies(); }
    void setInvoiceRefused_data() { AppServerSuite::setInvoiceRefusedData(); }
    void setInvoiceRefused() { suite.setInvoiceRefused(); }
    void geraNF_data() { AppServerSuite::geraNFData(); }
    void geraNF() { suite.geraNF(); }
    void geraNFRefused_data() { AppServerSuite::geraNFRefusedData(); }
    void geraNFRefused() { suite.geraNFRefused(); }
    void badRequest_data() { AppServerSuite::badRequestData(); }
    void badRequest() { suite.badRequest(); }

    void initRefusesExistingSchema()
    {
        QVERIFY(Schema::exists(suite.db));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Schema::create(suite.db));
    }

    void demoDataIsDeterministic()
    {
        // A second database made from nothing equals the one every test copies.
        {
            AppServerSuite again;
            again.db = open(dir.filePath(QStringLiteral("again.db")), QStringLiteral("again"));
            again.fill();
            QCOMPARE(again.snapshot(), suite.snapshot());
            close(again, QStringLiteral("again"));
        }
        QCOMPARE(suite.scalar(QStringLiteral("SELECT COUNT(*) FROM EMPRESA")), 3);
        QCOMPARE(suite.scalar(QStringLiteral("SELECT COUNT(*) FROM CLIENTE")), 40);
        // Customers listed by the screen's lookup: abroad, with a main address.
        QCOMPARE(suite.scalar(QStringLiteral(
                     "SELECT COUNT(*) FROM CLIENTE C, ENDECLIE E WHERE C.CDCLIENTE = "
                     "E.CDCLIENTE AND E.IDTPENDECLIE = 'P' AND E.CDPAIS <> '0055'")),
                 34);
        for (const char* condition :
             {"IDTIPOINVOICE = 'M'", "IDTIPOINVOICE = 'A'", "IDTIPOINVOICE = 'E'",
              "IDAPURFATFAS = '6'", "DSOBSPGTOINVOI LIKE '%\n%'"})
            QVERIFY2(suite.scalar(QStringLiteral("SELECT COUNT(*) FROM INVOICE WHERE ") +
                                  QString::fromLatin1(condition)) > 0,
                     condition);
    }
};

QTEST_GUILESS_MAIN(TstAppServer)
#include "tst_appserver.moc"
