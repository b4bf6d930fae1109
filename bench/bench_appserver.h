#pragma once

// The parts of bench_appserver: the helpers every figure uses, the real server process, and
// the three figures (bench_appserver_load.cpp: figure 1; bench_appserver_write.cpp: 2 and 3).

#include "DataPacket.h"
#include "DemoDay.h"
#include "HttpChannel.h"
#include "InvoiceLayout.h"
#include "InvoiceService.h"
#include "Schema.h"
#include "ServerDatabase.h"
#include "TClientDataSet.h"
#include "TField.h"
#include "TNetConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

inline const QString moduleName = QStringLiteral("FAS10000.rdmBCRInvoice");

[[noreturn]] void fail(const QString& text);
double median(QList<double> values);
double percentile(QList<double> values, double share);
double msSince(const QElapsedTimer& timer);
// Runs the function `runs` times and returns the median milliseconds.
double medianMs(int runs, const std::function<void()>& work);
// The cached demo database, made once by the real server program.
QString cachedDatabase(const QString& server, int invoices);
QString workingCopy(const QString& pristine);
QJsonObject dataOf(const ServerResult& result, const char* method);
QByteArray packetOf(const ServerResult& result, const char* method);
void declare(TClientDataSet& cds, const QList<FieldDef>& fields);

// The real fas-appserver on a free loopback port, stopped when this goes.
class ServerProcess
{
public:
    ServerProcess(const QString& program, const QString& database)
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program,
                      {QStringLiteral("--db"), database, QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QStringLiteral("0")});
        static const QRegularExpression listening(QStringLiteral("listening on [^:]+:(\\d+)"));
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            process.waitForReadyRead(1000);
            out += process.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(out));
            if (match.hasMatch()) {
                port = match.captured(1).toInt();
                return;
            }
            if (process.state() == QProcess::NotRunning)
                break;
        }
        fail(QStringLiteral("fas-appserver did not start: %1")
                 .arg(QString::fromUtf8(process.readAllStandardError())));
    }
    ~ServerProcess()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(5000);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // The milliseconds the server logged for each call of the method so far.
    QList<double> loggedMs(const QString& method)
    {
        log += QString::fromUtf8(process.readAllStandardError());
        QList<double> found;
        const QRegularExpression line(QRegularExpression::escape(method) +
                                      QStringLiteral(" rows=-?\\d+ ms=([\\d.]+)"));
        for (auto it = line.globalMatch(log); it.hasNext();)
            found.append(it.next().captured(1).toDouble());
        return found;
    }

    int port = 0;

private:
    QProcess process;
    QString log;
};

struct Sizes
{
    qint64 invoices = 0;
    qint64 items = 0;
    qint64 allInvoices = 0;
    qint64 allItems = 0;
};

Sizes countRows(const QString& database, const QString& company);

// Figure 1, and where its time goes. Returns the end-to-end median of the first load.
double loadCompany(ServerProcess& server, TNetConnection& connection, const QString& database,
                   const QString& company, int runs, TClientDataSet& cdsInvoice);

// Figure 2: one changed invoice, again and again, as the screen sends it (the delta's bytes),
// beside a bare GET on the same server and a durable single-row update, interleaved so that
// all three see the same load.
void setInvoiceRoundTrip(ServerProcess& server, TNetConnection& connection, const QString& database,
                         const QString& company, TClientDataSet& cdsInvoice);

// Figure 3: 1,000 invoices that may have a note marked "S" in the invoice record set, sent as
// the screen sends them (the packet's bytes), against the same run's retrieval of the list.
void geraNF(ServerProcess& server, TNetConnection& connection, TClientDataSet& cdsInvoice, int runs,
            double retrievalMs);
