// The shared configuration: INI file, FAS_* environment over it, defaults, bad ports.
#include "FasConfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString secret = QStringLiteral("S3nh@-Secreta,42");

using Pairs = QList<QPair<QString, QString>>;

QProcessEnvironment environment(const Pairs& values)
{
    QProcessEnvironment env;
    for (const auto& [name, value] : values)
        env.insert(name, value);
    return env;
}

// The values of a configuration as text, for one comparison.
QStringList described(const FasConfig& c)
{
    return {c.webUrl, QString::number(c.webPort), c.dbDriver, c.dbName,
            c.dbHost, QString::number(c.dbPort),  c.dbUser,   c.dbPassword};
}

} // namespace

class TstFasConfig : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString writeIni(const QByteArray& content, const QString& name = QStringLiteral("fas.ini"))
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        file.write(content);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void load_data()
    {
        QTest::addColumn<QByteArray>("ini"); // empty: no file at all
        QTest::addColumn<Pairs>("env");
        QTest::addColumn<QStringList>("expected"); // url, port, driver, name, host, port, user

        const QByteArray full = "[web]\nurl=10.0.0.5\nport=9100\n"
                                "[database]\ndriver=QPSQL\nname=fas_prod\nhost=db.local\n"
                                "port=5433\nuser=fas\npassword=senha\n";

        QTest::newRow("defaults without file or environment")
            << QByteArray() << Pairs()
            << QStringList{"127.0.0.1", "8211", "QSQLITE", "", "", "0", "", ""};
        QTest::newRow("file only")
            << full << Pairs() << QStringList{"10.0.0.5", "9100", "QPSQL", "fas_prod",
                                              "db.local", "5433", "fas",   "senha"};
        QTest::newRow("environment only")
            << QByteArray() << Pairs{{"FAS_WEB_URL", "192.168.1.9"}, {"FAS_WEB_PORT", "8300"},
                                     {"FAS_DB_DRIVER", "QPSQL"},     {"FAS_DB_NAME", "fas_env"},
                                     {"FAS_DB_HOST", "pg.env"},      {"FAS_DB_PORT", "6543"},
                                     {"FAS_DB_USER", "env_user"},    {"FAS_DB_PASSWORD", "env_pw"}}
            << QStringList{"192.168.1.9", "8300", "QPSQL",    "fas_env",
                           "pg.env",      "6543", "env_user", "env_pw"};
        QTest::newRow("environment overrides every key of the file")
            << full << Pairs{{"FAS_WEB_URL", "192.168.1.9"}, {"FAS_WEB_PORT", "8300"},
                             {"FAS_DB_DRIVER", "QSQLITE"},   {"FAS_DB_NAME", "/var/fas.db"},
                             {"FAS_DB_HOST", "pg.env"},      {"FAS_DB_PORT", "6543"},
                             {"FAS_DB_USER", "env_user"},    {"FAS_DB_PASSWORD", "env_pw"}}
            << QStringList{"192.168.1.9", "8300", "QSQLITE",  "/var/fas.db",
                           "pg.env",      "6543", "env_user", "env_pw"};
        QTest::newRow("environment overrides some keys, the file keeps the others")
            << full << Pairs{{"FAS_WEB_PORT", "0"}, {"FAS_DB_NAME", "outra"}}
            << QStringList{"10.0.0.5", "0", "QPSQL", "outra", "db.local", "5433", "fas", "senha"};
        QTest::newRow("an empty variable still overrides")
            << full << Pairs{{"FAS_DB_HOST", ""}}
            << QStringList{"10.0.0.5", "9100", "QPSQL", "fas_prod", "", "5433", "fas", "senha"};
        QTest::newRow("file with only some keys")
            << QByteArray("[database]\nname=/srv/fas.db\n") << Pairs()
            << QStringList{"127.0.0.1", "8211", "QSQLITE", "/srv/fas.db", "", "0", "", ""};
        QTest::newRow("blanks around a port")
            << QByteArray("[web]\nport=\" 8400 \"\n") << Pairs{{"FAS_DB_PORT", " 5434"}}
            << QStringList{"127.0.0.1", "8400", "QSQLITE", "", "", "5434", "", ""};
        QTest::newRow("accents and a comma survive")
            << QByteArray("[database]\nname=\"Faturação, Matriz\"\npassword=\"a,b;c=d\"\n")
            << Pairs{{"FAS_DB_USER", "joão"}}
            << QStringList{"127.0.0.1", "8211", "QSQLITE", "Faturação, Matriz",
                           "",          "0",    "joão",    "a,b;c=d"};
        QTest::newRow("unquoted comma in a hand-written file")
            << QByteArray("[database]\nuser=fas, matriz\npassword=abc,def\n") << Pairs()
            << QStringList{"127.0.0.1", "8211", "QSQLITE", "", "", "0", "fas, matriz", "abc,def"};
    }

    void load()
    {
        QFETCH(QByteArray, ini);
        QFETCH(Pairs, env);
        QFETCH(QStringList, expected);
        const QString path =
            ini.isEmpty() ? dir.filePath(QStringLiteral("missing.ini")) : writeIni(ini);
        const FasConfig config = FasConfig::load(path, environment(env));
        QCOMPARE(described(config), expected);
        QCOMPARE(config.problems, QStringList());
    }

    // A port that is no port is named with where it came from; the value before it stays.
    void badPort_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<Pairs>("env");
        QTest::addColumn<int>("webPort");
        QTest::addColumn<int>("dbPort");
        QTest::addColumn<QStringList>("sources"); // one problem each, naming this source

        QTest::newRow("letters in the file")
            << QByteArray("[web]\nport=abc\n") << Pairs() << 8211 << 0 << QStringList{"[web] port"};
        QTest::newRow("over 65535 in the file") << QByteArray("[database]\nport=70000\n") << Pairs()
                                                << 8211 << 0 << QStringList{"[database] port"};
        QTest::newRow("negative in the environment")
            << QByteArray() << Pairs{{"FAS_WEB_PORT", "-1"}} << 8211 << 0
            << QStringList{"FAS_WEB_PORT"};
        QTest::newRow("empty variable") << QByteArray() << Pairs{{"FAS_DB_PORT", ""}} << 8211 << 0
                                        << QStringList{"FAS_DB_PORT"};
        QTest::newRow("bad variable keeps the file's port")
            << QByteArray("[web]\nport=9100\n[database]\nport=5433\n")
            << Pairs{{"FAS_WEB_PORT", "81OO"}, {"FAS_DB_PORT", "5432.5"}} << 9100 << 5433
            << QStringList{"FAS_WEB_PORT", "FAS_DB_PORT"};
        QTest::newRow("bad file, good variable")
            << QByteArray("[web]\nport=x\n") << Pairs{{"FAS_WEB_PORT", "8500"}} << 8500 << 0
            << QStringList{"[web] port"};
    }

    void badPort()
    {
        QFETCH(QByteArray, ini);
        QFETCH(Pairs, env);
        QFETCH(int, webPort);
        QFETCH(int, dbPort);
        QFETCH(QStringList, sources);
        const QString path =
            ini.isEmpty() ? dir.filePath(QStringLiteral("missing.ini")) : writeIni(ini);
        const FasConfig config = FasConfig::load(path, environment(env));
        QCOMPARE(config.webPort, webPort);
        QCOMPARE(config.dbPort, dbPort);
        QCOMPARE(config.problems.size(), sources.size());
        for (qsizetype i = 0; i < sources.size(); ++i) {
            const QString& problem = config.problems.at(i);
            QVERIFY2(problem.startsWith(QStringLiteral("Porta inválida em ")), qPrintable(problem));
            QVERIFY2(problem.contains(sources.at(i)), qPrintable(problem));
        }
    }

    // Whatever goes wrong, no text the configuration produces holds the password.
    void passwordNeverInTexts_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<Pairs>("env");

        const QByteArray quoted = "\"" + secret.toUtf8() + "\"";
        QTest::newRow("file") << QByteArray("[web]\nport=nada\n[database]\nport=nada\npassword=" +
                                            quoted + "\n")
                              << Pairs{{"FAS_WEB_PORT", "?"}};
        QTest::newRow("environment") << QByteArray("[database]\nport=-5\n")
                                     << Pairs{{"FAS_DB_PASSWORD", secret},
                                              {"FAS_DB_PORT", "porta"},
                                              {"FAS_WEB_PORT", "99999"}};
    }

    void passwordNeverInTexts()
    {
        QFETCH(QByteArray, ini);
        QFETCH(Pairs, env);
        const FasConfig config = FasConfig::load(writeIni(ini), environment(env));
        QCOMPARE(config.dbPassword, secret); // read, so a leak would show
        QVERIFY(!config.problems.isEmpty());
        for (const QString& problem : config.problems) {
            QVERIFY2(!problem.contains(secret), qPrintable(problem));
            QVERIFY2(!problem.contains(QStringLiteral("S3nh@")), qPrintable(problem));
        }
    }

    void defaultPathIsBesideTheProgram()
    {
        QCOMPARE(FasConfig::defaultPath(),
                 QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("fas.ini")));
    }
};

QTEST_GUILESS_MAIN(TstFasConfig)
#include "tst_fasconfig.moc"
