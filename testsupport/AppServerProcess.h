#pragma once

// The real fas-appserver process for screen tests: a demo SQLite database made by
// `fas-appserver --init-demo` in a folder of the test's, the server on a free loopback port,
// and the environment pointing the screens (connection and shared database) at both.

#include "DemoDay.h"

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QString>
#include <csignal>
#include <sys/prctl.h>

class AppServerProcess
{
public:
    ~AppServerProcess()
    {
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            if (!server.waitForFinished(5000))
                server.kill();
        }
    }

    // Returns an empty text on success, otherwise what went wrong.
    QString start(const QString& folder)
    {
        const QString file = QDir(folder).filePath(QStringLiteral("demo.db"));
        const QString problem = createDemo(file);
        return problem.isEmpty() ? serve(file) : problem;
    }

    // The demo database in `file`, made for the tests' fixed day (`initArgs` such as
    // --invoices N go to --init-demo).
    static QString createDemo(const QString& file, const QStringList& initArgs = {})
    {
        QProcess init;
        init.start(program(),
                   QStringList{QStringLiteral("--db"), file, QStringLiteral("--init-demo")} +
                       demoDayArgs() + initArgs);
        if (!init.waitForFinished(-1) || init.exitCode() != 0)
            return QStringLiteral("fas-appserver --init-demo failed: ") +
                   QString::fromLocal8Bit(init.readAllStandardError());
        return {};
    }

    // The server on an existing database.
    QString serve(const QString& file)
    {
        database = file;
        // A test that dies on the way does not leave its server behind.
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server.start(program(), {QStringLiteral("--db"), database, QStringLiteral("--port"),
                                 QStringLiteral("0")});
        if (!server.waitForStarted())
            return QStringLiteral("fas-appserver did not start");
        QByteArray output;
        while (!output.contains('\n') && server.waitForReadyRead(30000))
            output += server.readAllStandardOutput();
        const qsizetype colon = output.lastIndexOf(':');
        port = colon > 0 ? output.mid(colon + 1).trimmed().toInt() : 0;
        if (!output.contains("listening") || port <= 0)
            return QStringLiteral("fas-appserver said: ") + QString::fromLocal8Bit(output);
        qputenv("FAS_WEB_URL", "127.0.0.1");
        qputenv("FAS_WEB_PORT", QByteArray::number(port));
        qputenv("FAS_DB_DRIVER", "QSQLITE");
        qputenv("FAS_DB_NAME", database.toLocal8Bit());
        return {};
    }

    static QString program()
    {
        return QDir(qEnvironmentVariable("FAS_BIN_DIR")).filePath(QStringLiteral("fas-appserver"));
    }

    QString database;
    int port = 0;

private:
    QProcess server;
};
