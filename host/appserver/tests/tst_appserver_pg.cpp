// The application server's methods on PostgreSQL: the same checks as on SQLite, each test
// on a fresh copy of one demo database; every database is dropped at the end.
#include "AppServerSuite.h"

#include "ServerDatabase.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>

class TstAppServerPg : public QObject
{
    Q_OBJECT

private:
    AppServerSuite suite;
    ServerDatabase admin;
    QString name;
    QString templateName; // filled once; each test copies it

    bool exec(const QString& sql)
    {
        bool ok = false;
        {
            QSqlDatabase db = admin.open(QStringLiteral("admin"), true);
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok)
                qWarning() << query.lastError().text();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
        return ok;
    }

    void drop()
    {
        suite.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("suite"));
        if (name.isEmpty())
            return;
        exec(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
        name.clear();
    }

private slots:
    void initTestCase()
    {
        const QByteArray host = qgetenv("FAS_TEST_PG_HOST");
        if (host.isEmpty())
            QSKIP("FAS_TEST_PG_HOST is not set: no PostgreSQL to test against");
        admin.driver = QStringLiteral("QPSQL");
        admin.host = QString::fromLocal8Bit(host);
        admin.port = qEnvironmentVariableIntValue("FAS_TEST_PG_PORT");
        admin.user = qEnvironmentVariable("FAS_TEST_PG_USER", QStringLiteral("postgres"));
        admin.name = QStringLiteral("postgres");

        templateName = QStringLiteral("fas_test_template_%1_%2")
                           .arg(QCoreApplication::applicationPid())
                           .arg(QRandomGenerator::global()->bounded(1000000));
        QVERIFY(exec(QStringLiteral("CREATE DATABASE ") + templateName));
        {
            ServerDatabase settings = admin;
            settings.name = templateName;
            suite.db = settings.open(QStringLiteral("suite"), true);
            suite.fill();
            suite.db.close();
            suite.db = QSqlDatabase();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("suite"));
    }

    void cleanupTestCase()
    {
        drop();
        if (!templateName.isEmpty())
            exec(QStringLiteral("DROP DATABASE IF EXISTS ") + templateName);
    }

    void init()
    {
        // Read-only checks share one copy; every other test gets its own.
        const QString test = QString::fromLatin1(QTest::currentTestFunction());
        const bool readOnly =
            test == QLatin1String("filter") || test == QLatin1String("badRequest");
        if (readOnly && !name.isEmpty() && name.startsWith(test.toLower()))
            return;
        drop();
        name = QStringLiteral("%1_fas_test_%2_%3")
                   .arg(test.toLower())
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->bounded(1000000));
        QVERIFY(exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2 STRATEGY FILE_COPY")
                         .arg(name, templateName)));
        ServerDatabase settings = admin;
        settings.name = name;
        suite.db = settings.open(QStringLiteral("suite"), true);
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
};

QTEST_GUILESS_MAIN(TstAppServerPg)
#include "tst_appserver_pg.moc"
