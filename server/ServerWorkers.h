#pragma once

#include "InvoiceService.h"
#include "RpcDispatcher.h"
#include "ServerDatabase.h"

#include <QByteArray>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The workers that run the calls: a few threads, each with its own database connection,
// service and dispatcher, so that a call waiting for a lock holds one worker and the other
// calls go on. A connection is opened when its worker starts and opened again on the next
// call after it was lost (a listing that met the loss runs again; a write does not, since it
// may have been committed); while the database cannot be reached the calls are answered with
// "Sem conexão com o banco de dados …". A connection is only ever used by the thread that
// opened it.
class ServerWorkers
{
public:
    struct Options
    {
        int workers = 4;
        // How long a call waits for a free worker before it is answered "ocupado": well within
        // the suite's 30 s, so that the suite hears it rather than giving up on a call that
        // may still run.
        int queueWaitMs = 20000;
        InvoiceService::Options service;
    };

    ServerWorkers(ServerDatabase database, Options options);
    ~ServerWorkers();
    ServerWorkers(const ServerWorkers&) = delete;
    ServerWorkers& operator=(const ServerWorkers&) = delete;

    // Runs one request on a worker and returns its answer; safe to call from any thread.
    RpcDispatcher::Answer call(const QByteArray& body, const Caller& caller = {});

private:
    struct Job;
    class Worker;

    void run(int index);

    const ServerDatabase database;
    Options options;
    std::mutex mutex;
    std::condition_variable workReady;   // a job was queued, or the workers must stop
    std::condition_variable answerReady; // a worker answered a job
    std::deque<std::shared_ptr<Job>> jobs;
    bool stopping = false;
    std::vector<std::thread> threads;
};
