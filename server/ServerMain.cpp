#include "ServerMain.h"

#include "AppServer.h"
#include "DemoData.h"
#include "FasConfig.h"
#include "Schema.h"
#include "ServerDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end of the pipe through which the signal handler wakes the event loop: the only
// thing a signal handler may safely touch.
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Quits the application when SIGTERM or SIGINT arrives; restores the default handlers when
// it goes.
class SignalQuit
{
public:
    SignalQuit()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
            return;
        notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
            char byte;
            [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
            qCInfo(lcAppServer) << "signal received, stopping";
            QCoreApplication::quit();
        });
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
    }
    ~SignalQuit()
    {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        notifier.reset();
        for (int& fd : signalPipe) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
    }
    SignalQuit(const SignalQuit&) = delete;
    SignalQuit& operator=(const SignalQuit&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier;
};

void printError(const QString& text)
{
    QTextStream(stderr) << "fas-appserver: " << text << Qt::endl;
}

int number(const QCommandLineParser& parser, const QString& option, int fallback, bool& ok)
{
    if (!parser.isSet(option))
        return fallback;
    bool valid = false;
    const int value = parser.value(option).toInt(&valid);
    if (!valid || value < 0) {
        printError(
            QStringLiteral("valor inválido para --%1: \"%2\".").arg(option, parser.value(option)));
        ok = false;
    }
    return value;
}

// The exit codes (docs/appserver.md): the scripts that create the database on first use tell
// an existing schema from a failure by the code alone.
constexpr int ExitFailure = 1;      // the database cannot be opened, has no schema; port taken
constexpr int ExitBadCommand = 2;   // the command line does not fit
constexpr int ExitSchemaExists = 3; // --init/--init-demo on a database that has the schema

} // namespace

int runAppServer(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fas-appserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Servidor de aplicação do módulo FAS10000.rdmBCRInvoice (JSON-RPC sobre "
                       "HTTP)."));
    parser.addHelpOption();
    const auto option = [&parser](const char* name, const char* help, const char* value = "") {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(help),
                                            QString::fromLatin1(value)));
    };
    option("config", "Arquivo de configuração (padrão: fas.ini ao lado do programa).", "arquivo");
    option("db", "Banco: arquivo SQLite ou nome da base PostgreSQL.", "banco");
    option("driver", "QSQLITE (padrão) ou QPSQL.", "driver");
    option("db-host", "Servidor PostgreSQL.", "host");
    option("db-port", "Porta do PostgreSQL.", "porta");
    option("db-user", "Usuário do PostgreSQL.", "usuario");
    option("db-password", "Senha do PostgreSQL (prefira FAS_DB_PASSWORD).", "senha");
    option("listen", "Endereço em que escutar (padrão 127.0.0.1).", "endereco");
    option("port", "Porta HTTP (padrão 8211; 0 escolhe uma porta livre).", "porta");
    option("init", "Cria o esquema e termina (recusa um esquema existente).");
    option("init-demo", "Cria o esquema com dados de demonstração e termina.");
    option("invoices", "Número de invoices da demonstração (padrão 1200).", "n");
    option("workers",
           "Chamadas atendidas ao mesmo tempo, cada uma com sua conexão ao banco "
           "(padrão 4).",
           "n");
    option("demo-day", "Dia para o qual a demonstração é criada (AAAA-MM-DD; padrão: hoje).",
           "dia");
    parser.process(app);

    const FasConfig config = FasConfig::load(parser.value(QStringLiteral("config")));
    for (const QString& problem : config.problems)
        printError(problem);

    bool ok = true;
    ServerDatabase database;
    database.driver = parser.isSet(QStringLiteral("driver"))
                          ? parser.value(QStringLiteral("driver"))
                          : config.dbDriver;
    database.name =
        parser.isSet(QStringLiteral("db")) ? parser.value(QStringLiteral("db")) : config.dbName;
    database.host = parser.isSet(QStringLiteral("db-host"))
                        ? parser.value(QStringLiteral("db-host"))
                        : config.dbHost;
    database.port = number(parser, QStringLiteral("db-port"), config.dbPort, ok);
    database.user = parser.isSet(QStringLiteral("db-user"))
                        ? parser.value(QStringLiteral("db-user"))
                        : config.dbUser;
    database.password = parser.isSet(QStringLiteral("db-password"))
                            ? parser.value(QStringLiteral("db-password"))
                            : config.dbPassword;
    const int port = number(parser, QStringLiteral("port"), config.webPort, ok);
    const int invoices = number(parser, QStringLiteral("invoices"), DemoData::DefaultInvoices, ok);
    const int workers = number(parser, QStringLiteral("workers"), 4, ok);
    const QDate demoDay =
        parser.isSet(QStringLiteral("demo-day"))
            ? QDate::fromString(parser.value(QStringLiteral("demo-day")), Qt::ISODate)
            : QDate::currentDate();
    if (!demoDay.isValid()) {
        printError(QStringLiteral("dia inválido para --demo-day: \"%1\" (use AAAA-MM-DD).")
                       .arg(parser.value(QStringLiteral("demo-day"))));
        ok = false;
    }
    if (port > 65535) {
        printError(QStringLiteral("porta fora do intervalo: %1.").arg(port));
        ok = false;
    }
    const QString listenText = parser.isSet(QStringLiteral("listen"))
                                   ? parser.value(QStringLiteral("listen"))
                                   : QStringLiteral("127.0.0.1");
    const QHostAddress address(listenText);
    if (address.isNull()) {
        printError(QStringLiteral("endereço inválido para --listen: \"%1\".").arg(listenText));
        ok = false;
    }
    // Beyond this machine only with a token and TLS: the calls carry the company's money.
    AppServer::Options serverOptions;
    serverOptions.workers.workers = workers;
    serverOptions.token = config.webToken.toUtf8();
    serverOptions.hosts = config.webHosts.split(QLatin1Char(','), Qt::SkipEmptyParts);
    serverOptions.idleTimeoutSeconds = unsigned(std::max(1, config.webTimeout));
    if (!config.tlsCertFile.isEmpty() || !config.tlsKeyFile.isEmpty()) {
        QFile cert(config.tlsCertFile);
        QFile key(config.tlsKeyFile);
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
            printError(QStringLiteral("não foi possível ler o certificado \"%1\" e a chave "
                                      "\"%2\" do TLS.")
                           .arg(config.tlsCertFile, config.tlsKeyFile));
            ok = false;
        }
        serverOptions.tlsCert = cert.readAll();
        serverOptions.tlsKey = key.readAll();
    }
    if (ok && !address.isNull() && !address.isLoopback() &&
        (serverOptions.token.isEmpty() || serverOptions.tlsCert.isEmpty())) {
        printError(QStringLiteral("para escutar em %1, fora desta máquina, configure um token "
                                  "(FAS_TOKEN ou [web] token) e o certificado e a chave do TLS "
                                  "(FAS_TLS_CERT e FAS_TLS_KEY, ou [web] cert e key).")
                       .arg(address.toString()));
        ok = false;
    }
    if (!ok)
        return ExitBadCommand;

    const bool init = parser.isSet(QStringLiteral("init"));
    const bool initDemo = parser.isSet(QStringLiteral("init-demo"));
    try {
        QSqlDatabase db = database.open(QStringLiteral("fas-appserver"), !(init || initDemo));
        if (init || initDemo) {
            if (Schema::exists(db)) {
                printError(QStringLiteral("o banco %1 já tem o esquema; nada foi alterado.")
                               .arg(database.describe()));
                return ExitSchemaExists;
            }
            Schema::create(db);
            if (initDemo)
                DemoData(invoices, demoDay).fill(db);
            QTextStream(stdout) << "fas-appserver: "
                                << (initDemo ? QStringLiteral("esquema e dados de demonstração "
                                                              "criados em ")
                                             : QStringLiteral("esquema criado em "))
                                << database.describe() << Qt::endl;
            return 0;
        }
        if (!Schema::exists(db)) {
            printError(QStringLiteral("o banco %1 não tem o esquema (crie-o com --init ou "
                                      "--init-demo).")
                           .arg(database.describe()));
            return ExitFailure;
        }
        Schema::upgrade(db);

        // The workers open connections of their own.
        db.close();
        SignalQuit signalQuit;
        AppServer server(database, serverOptions);
        const quint16 chosen = server.listen(address, quint16(port));
        if (chosen == 0) {
            printError(QStringLiteral("não foi possível escutar em %1:%2 (porta em uso ou "
                                      "endereço indisponível).")
                           .arg(address.toString())
                           .arg(port));
            return ExitFailure;
        }
        QTextStream(stdout) << "fas-appserver listening on " << address.toString() << ':' << chosen
                            << Qt::endl;
        qCInfo(lcAppServer).noquote()
            << "serving" << RpcDispatcher::ModuleName << "from" << database.describe()
            << (serverOptions.tlsCert.isEmpty() ? "over HTTP" : "over HTTPS");
        if (serverOptions.token.isEmpty())
            qCWarning(lcAppServer) << "no token configured: any program on this machine may call "
                                      "the server (set FAS_TOKEN to require one)";
        const int code = QCoreApplication::exec();
        qCInfo(lcAppServer) << "stopped";
        return code;
    } catch (const std::exception& failure) {
        printError(QString::fromUtf8(failure.what()));
        return ExitFailure;
    }
}
