#include "EAbort.h"
#include "MessageService.h"
#include "TADOIBQuery.h"
#include "dtmDBGeral.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QStringList companySql = {"SELECT",
                                "   CDEMPRESA,",
                                "   NMEMPRESA",
                                "FROM",
                                "   EMPRESA",
                                "WHERE",
                                "   :P_TCDEMPRESA = 'T' OR :P_CDEMPRESA = CDEMPRESA",
                                "ORDER BY",
                                "   CDEMPRESA"};
}

class TestDbGeral : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void prepare_data();
    void prepare();
    void companyQuery_data();
    void companyQuery();
    void paramsFollowTheText();
    void readOnly();
    void missingDatabaseIsReported();

private:
    QTemporaryDir dir;
    QString dbPath;
};

void TestDbGeral::initTestCase()
{
    QVERIFY(dir.isValid());
    dbPath = dir.filePath("geral.db");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(dbPath);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2) PRIMARY KEY, "
                       "NMEMPRESA VARCHAR(40), VALOR DOUBLE PRECISION)"));
        QVERIFY(q.exec("INSERT INTO EMPRESA VALUES ('02', 'Filial Sul', 1.5), "
                       "('01', 'Matriz São Paulo', NULL), ('10', 'O''Brien', 3)"));
    }
    QSqlDatabase::removeDatabase("setup");
    FasConfig config;
    config.dbDriver = "QSQLITE";
    config.dbName = dbPath;
    TdtmDBGeral::Configure(config);
}

void TestDbGeral::cleanupTestCase()
{
    TdtmDBGeral::Close();
}

void TestDbGeral::prepare_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("repeated") << ":A = 'T' OR :B = X AND :A = Y"
                              << "? = 'T' OR ? = X AND ? = Y" << QStringList{"A", "B", "A"};
    QTest::newRow("inside quotes") << "X = ':P' AND Y = :P"
                                   << "X = ':P' AND Y = ?" << QStringList{"P"};
    QTest::newRow("cast") << "X::text = :P_X"
                          << "X::text = ?" << QStringList{"P_X"};
    QTest::newRow("comment") << "X = 1 -- :NO\nAND Y = :YES"
                             << "X = 1 -- :NO\nAND Y = ?" << QStringList{"YES"};
    QTest::newRow("time literal digits") << "'10:30' = :T"
                                         << "'10:30' = ?" << QStringList{"T"};
}

void TestDbGeral::prepare()
{
    QFETCH(QString, sql);
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    const auto prepared = TADOIBQuery::prepare(sql);
    QCOMPARE(prepared.text, text);
    QCOMPARE(prepared.names, names);
}

void TestDbGeral::companyQuery_data()
{
    QTest::addColumn<QString>("all");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("every company, ordered")
        << "T"
        << "" << QStringList{"Matriz São Paulo", "Filial Sul", "O'Brien"};
    QTest::newRow("one company") << ""
                                 << "02" << QStringList{"Filial Sul"};
    QTest::newRow("unknown code") << ""
                                  << "99" << QStringList();
    QTest::newRow("quote in a value stays a value") << ""
                                                    << "' OR '1'='1" << QStringList();
}

void TestDbGeral::companyQuery()
{
    QFETCH(QString, all);
    QFETCH(QString, code);
    QFETCH(QStringList, names);
    TADOIBQuery qryEmpresa;
    qryEmpresa.SQL = companySql;
    qryEmpresa.Close();
    qryEmpresa.GetIBParams().ParamByName("P_TCDEMPRESA").AsString = all;
    qryEmpresa.GetIBParams().ParamByName("P_CDEMPRESA").AsString = code;
    qryEmpresa.Open();
    QCOMPARE(qryEmpresa.IsEmpty(), names.isEmpty());
    QStringList seen;
    TClientDataSet* query = qryEmpresa.Query();
    for (query->First(); !query->Eof(); query->Next())
        seen.append(qryEmpresa.FieldByName("NMEMPRESA").AsString());
    QCOMPARE(seen, names);
}

void TestDbGeral::paramsFollowTheText()
{
    TADOIBQuery query;
    query.SQL = companySql;
    QCOMPARE(query.GetIBParams().Count(), 2);
    query.GetIBParams().ParamByName("p_cdempresa").AsString = "01";
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, query.GetIBParams().ParamByName("P_OUTRO"));

    // Reopening with new values and declared fields keeps the declared types.
    query.Query()->AddField({"VALOR", FieldType::Float});
    query.SQL = QStringList{"SELECT CDEMPRESA, VALOR FROM EMPRESA WHERE CDEMPRESA = :P_CDEMPRESA"};
    QCOMPARE(query.GetIBParams().ParamByName("P_CDEMPRESA").AsString, QString("01"));
    query.GetIBParams().ParamByName("P_CDEMPRESA").AsString = "10";
    query.Open();
    QCOMPARE(query.FieldByName("VALOR").AsFloat(), 3.0);
    QCOMPARE(query.FieldByName("CDEMPRESA").AsString(), QString("10"));
    query.Close();
    query.GetIBParams().ParamByName("P_CDEMPRESA").AsString = "01";
    query.Open();
    QVERIFY(query.FieldByName("VALOR").IsNull());
}

void TestDbGeral::readOnly()
{
    QSqlQuery write(TdtmDBGeral::Database());
    QVERIFY(!write.exec("UPDATE EMPRESA SET NMEMPRESA = 'x'"));
    QVERIFY(!write.exec("CREATE TABLE T (A INT)"));
}

void TestDbGeral::missingDatabaseIsReported()
{
    ScopedScriptedMessages messages;
    FasConfig config;
    config.dbDriver = "QSQLITE";
    config.dbName = dir.filePath("nao-existe.db");
    TdtmDBGeral::Configure(config);
    QVERIFY_THROWS_EXCEPTION(EAbort, TdtmDBGeral::Database());
    QCOMPARE(messages->messages.size(), 1);
    QVERIFY(messages->texts().first().startsWith("Não foi possível abrir o banco de dados"));
    QVERIFY(!QFile::exists(config.dbName)); // read-only: never created

    config.dbName = dbPath;
    TdtmDBGeral::Configure(config);
    QVERIFY(TdtmDBGeral::Database().isOpen());
}

QTEST_MAIN(TestDbGeral)
#include "tst_dbgeral.moc"
