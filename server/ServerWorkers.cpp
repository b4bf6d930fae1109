#include "ServerWorkers.h"

#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcAppServer)

namespace {

QString noConnectionText()
{
    return QStringLiteral("Sem conexão com o banco de dados do servidor de aplicação. Tente "
                          "novamente em instantes; nada foi gravado.");
}

} // namespace

struct ServerWorkers::Job
{
    QByteArray body;
    Caller caller;
    std::optional<RpcDispatcher::Answer> answer;
    bool taken = false;
};

// One worker's connection and what is built on it; everything here lives on the worker's
// thread.
class ServerWorkers::Worker
{
public:
    Worker(const ServerDatabase& where, InvoiceService::Options serviceOptions, int index)
        : database(where), options(serviceOptions),
          connectionName(QStringLiteral("fas-appserver-worker-%1").arg(index))
    {
        open();
    }
    ~Worker() { close(); }

    RpcDispatcher::Answer serve(const QByteArray& body, const Caller& caller)
    {
        // A connection the database dropped while it was idle (a restart, a terminated
        // session) is opened again before the call, so the call runs whole on a live one.
        if (dispatcher && database.driver == QLatin1String("QPSQL") && !alive())
            reopen();
        if (!dispatcher && !open())
            return RpcDispatcher::refuse(body, noConnectionText());
        RpcDispatcher::Answer answer = dispatcher->handle(body, caller);
        if (answer.ok || answer.method.isEmpty() || alive())
            return answer;
        // Lost during the call. A listing runs again on a new connection; a write is not run
        // twice, since its commit may have reached the database before the loss.
        const bool listing = answer.method == QLatin1String("GetInvoice") ||
                             answer.method == QLatin1String("GetItem");
        if (!reopen())
            return RpcDispatcher::refuse(body, noConnectionText());
        if (listing)
            return dispatcher->handle(body, caller);
        return RpcDispatcher::refuse(
            body, QStringLiteral("A conexão com o banco de dados do servidor de aplicação caiu "
                                 "durante a gravação, que pode ter sido concluída ou não. "
                                 "Atualize a lista antes de repetir a operação."));
    }

private:
    bool open()
    {
        try {
            db = database.open(connectionName, true);
        } catch (const std::exception& failure) {
            qCWarning(lcAppServer).noquote() << QString::fromUtf8(failure.what());
            return false;
        }
        service = std::make_unique<InvoiceService>(db, options);
        dispatcher = std::make_unique<RpcDispatcher>(*service);
        return true;
    }

    void close()
    {
        dispatcher.reset();
        service.reset();
        if (db.isValid()) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
        }
    }

    bool reopen()
    {
        qCWarning(lcAppServer).noquote()
            << connectionName << "lost its database connection; opening it again";
        close();
        return open();
    }

    bool alive()
    {
        QSqlQuery probe(db);
        return db.isOpen() && probe.exec(QStringLiteral("SELECT 1")) && probe.next();
    }

    const ServerDatabase& database;
    const InvoiceService::Options options;
    const QString connectionName;
    QSqlDatabase db;
    std::unique_ptr<InvoiceService> service;
    std::unique_ptr<RpcDispatcher> dispatcher;
};

ServerWorkers::ServerWorkers(ServerDatabase where, Options workerOptions)
    : database(std::move(where)), options(workerOptions)
{
    // On one SQLite file the workers' writes take turns here rather than poll the file's lock.
    if (database.driver == QLatin1String("QSQLITE") && !options.service.writeTurn)
        options.service.writeTurn = std::make_shared<std::mutex>();
    for (int i = 0; i < std::max(1, options.workers); ++i)
        threads.emplace_back([this, i] { run(i); });
}

ServerWorkers::~ServerWorkers()
{
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    workReady.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

RpcDispatcher::Answer ServerWorkers::call(const QByteArray& body, const Caller& caller)
{
    const auto job = std::make_shared<Job>();
    job->body = body;
    job->caller = caller;
    std::unique_lock lock(mutex);
    jobs.push_back(job);
    workReady.notify_one();
    const bool served = answerReady.wait_for(lock, std::chrono::milliseconds(options.queueWaitMs),
                                             [&] { return job->answer.has_value(); });
    if (served)
        return *job->answer;
    if (!job->taken) {
        // Still waiting for a worker: withdrawn, so that nobody runs it after this answer.
        std::erase(jobs, job);
        return RpcDispatcher::refuse(body, QStringLiteral("O servidor de aplicação está "
                                                          "ocupado. Tente novamente; nada "
                                                          "foi gravado."));
    }
    // A worker has it: its answer is the call's, however long it takes.
    answerReady.wait(lock, [&] { return job->answer.has_value(); });
    return *job->answer;
}

void ServerWorkers::run(int index)
{
    Worker worker(database, options.service, index);
    std::unique_lock lock(mutex);
    while (true) {
        workReady.wait(lock, [&] { return stopping || !jobs.empty(); });
        if (stopping)
            return;
        const std::shared_ptr<Job> job = jobs.front();
        jobs.pop_front();
        job->taken = true;
        lock.unlock();
        RpcDispatcher::Answer answer = worker.serve(job->body, job->caller);
        lock.lock();
        job->answer = std::move(answer);
        answerReady.notify_all();
    }
}
