// The application server's methods on PostgreSQL: the same checks as on SQLite, each test
// starting from the demo data; the database is dropped at the end.
#include "AppServerSuite.h"

#include "ServerDatabase.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>

class TstAppServerPg : public AppServerSuite
{
    Q_OBJECT

private:
    ServerDatabase admin;
    QString name;             // the test database, dropped at the end
    QStringList demoSnapshot; // the written tables as the demo data leaves them

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

    bool run(const QString& sql)
    {
        QSqlQuery query(db);
        if (query.exec(sql))
            return true;
        qWarning() << sql << query.lastError().text();
        return false;
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

        name = QStringLiteral("fas_test_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->bounded(1000000));
        QVERIFY(exec(QStringLiteral("CREATE DATABASE ") + name));
        ServerDatabase settings = admin;
        settings.name = name;
        db = settings.open(QStringLiteral("suite"), true);
        fill();

        // A copy of every table beside it, from which each test starts afresh: far cheaper
        // than a new database per test.
        QVERIFY(run(QStringLiteral("CREATE SCHEMA pristine")));
        for (const QString& table : AppServerSuite::tables())
            QVERIFY(run(QStringLiteral("CREATE TABLE pristine.%1 AS SELECT * FROM %1").arg(table)));
        demoSnapshot = snapshot();
        QVERIFY(!demoSnapshot.isEmpty());
    }

    void cleanupTestCase()
    {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("suite"));
        if (!name.isEmpty())
            exec(QStringLiteral("DROP DATABASE IF EXISTS ") + name);
    }

    // Every test starts from the demo data: all tables emptied and filled again from the
    // copies in one transaction, then checked.
    void init()
    {
        const QStringList tables = AppServerSuite::tables();
        QVERIFY(db.transaction());
        bool ok = true;
        // DELETE rather than TRUNCATE: a few thousand rows, and no new files per table.
        for (auto table = tables.crbegin(); table != tables.crend(); ++table)
            ok = ok && run(QStringLiteral("DELETE FROM ") + *table);
        for (const QString& table : tables)
            ok = ok && run(QStringLiteral("INSERT INTO %1 SELECT * FROM pristine.%1").arg(table));
        if (!ok) {
            db.rollback();
            QFAIL("the demo data could not be restored");
        }
        QVERIFY(db.commit());
        QCOMPARE(snapshot(), demoSnapshot);
    }
};

QTEST_GUILESS_MAIN(TstAppServerPg)
#include "tst_appserver_pg.moc"
