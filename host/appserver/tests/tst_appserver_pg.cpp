// The application server's methods on PostgreSQL: the same checks as on SQLite, each test
// function on a fresh database of its own name, dropped at the end.
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

    void drop()
    {
        suite.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("suite"));
        if (name.isEmpty())
            return;
        QSqlDatabase db = admin.open(QStringLiteral("admin"), true);
        QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
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
    }

    void init()
    {
        drop();
        name = QStringLiteral("fas_test_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->bounded(1000000));
        {
            QSqlDatabase db = admin.open(QStringLiteral("admin"), true);
            QSqlQuery create(db);
            QVERIFY2(create.exec(QStringLiteral("CREATE DATABASE ") + name),
                     qPrintable(create.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
        ServerDatabase settings = admin;
        settings.name = name;
        suite.db = settings.open(QStringLiteral("suite"), true);
        suite.fill();
    }
    void cleanup() { drop(); }

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
