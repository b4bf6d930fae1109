#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The configuration both programs share: where the application server listens (or is
// reached) and which database it uses. Read from an INI file (fas.ini beside the program, or
// the one named with --config), then overridden by the FAS_* environment variables:
//
//   [web]       url, port            FAS_WEB_URL, FAS_WEB_PORT
//               token                FAS_TOKEN       the calls' bearer token (both programs)
//               tls, ca              FAS_WEB_TLS, FAS_WEB_CA   the suite: TLS ("1"), and the
//                                                    CA certificate (PEM) that signs the server's
//               cert, key            FAS_TLS_CERT, FAS_TLS_KEY the server's certificate and key
//               hosts                FAS_WEB_HOSTS   more names clients may reach the server by
//               timeout              FAS_WEB_TIMEOUT the server: seconds a connection may idle
//   [database]  driver, name, host,  FAS_DB_DRIVER, FAS_DB_NAME, FAS_DB_HOST,
//               port, user, password FAS_DB_PORT, FAS_DB_USER, FAS_DB_PASSWORD
struct FasConfig
{
    static constexpr int DefaultWebPort = 8211;

    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = DefaultWebPort;
    QString dbDriver = QStringLiteral("QSQLITE");
    QString dbName;
    QString dbHost;
    int dbPort = 0;
    QString dbUser;
    QString dbPassword;
    QString webToken;
    QString webTls; // "1", "true" or "sim": the suite reaches the server with TLS
    QString webCaFile;
    QString tlsCertFile;
    QString tlsKeyFile;
    QString webHosts; // comma-separated
    int webTimeout = 60;

    bool tls() const;

    // Values that could not be used (a port that is no number), in Portuguese; the value
    // before them stays in force.
    QStringList problems;

    // fas.ini in the folder of the running program.
    static QString defaultPath();

    // The file (when it exists; an empty path means defaultPath()) and then the environment.
    static FasConfig load(const QString& iniPath = {});
    static FasConfig load(const QString& iniPath, const QProcessEnvironment& environment);
};
