#include "QuendrilCore/ParallelLoop.h"

#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

QThreadPool& workers()
{
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        created->setExpiryTimeout(-1);
        return created;
    }();
    return *pool;
}

// Shared with the helpers: one that starts late finds no iteration left and touches nothing of
// the caller's, which may be gone by then.
struct Job {
    explicit Job(int total, const std::function<void(int)>& body) : total(total), body(&body) {}

    void work()
    {
        for (;;) {
            const int i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= total)
                return;
            (*body)(i);
            std::lock_guard guard(lock);
            if (++finished == total)
                allDone.notify_all();
        }
    }

    const int total;
    const std::function<void(int)>* body;
    std::atomic<int> next{0};
    std::mutex lock;
    std::condition_variable allDone;
    int finished = 0;
};

} // namespace

namespace ParallelLoop {

void run(int iterations, const std::function<void(int)>& body)
{
    if (iterations <= 0)
        return;
    if (iterations == 1) {
        body(0);
        return;
    }
    auto job = std::make_shared<Job>(iterations, body);
    const int helpers = std::min(iterations, workers().maxThreadCount()) - 1;
    for (int h = 0; h < helpers; ++h)
        workers().start([job] { job->work(); });
    job->work();
    std::unique_lock guard(job->lock);
    job->allDone.wait(guard, [&] { return job->finished == job->total; });
}

} // namespace ParallelLoop
