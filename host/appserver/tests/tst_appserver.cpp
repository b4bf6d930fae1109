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

    // Every test function starts from a fresh demo database.
    void reset()
    {
        suite.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("suite"));
        const QString file = dir.filePath(QStringLiteral("demo.db"));
        QFile::remove(file);
        ServerDatabase settings;
        settings.name = file;
        suite.db = settings.open(QStringLiteral("suite"), false);
        suite.fill();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void init() { reset(); }
    void cleanupTestCase()
    {
        suite.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("suite"));
    }

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
        const QStringList first = suite.snapshot();
        reset();
        QCOMPARE(suite.snapshot(), first);
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
