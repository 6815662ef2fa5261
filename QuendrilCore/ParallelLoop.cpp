#include "QuendrilCore/ParallelLoop.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// A few threads kept for the loop's whole life. Plain standard threads rather than a Qt pool, so
// that every hand-over is visible to ThreadSanitizer.
class Workers {
public:
    explicit Workers(int count)
    {
        for (int i = 0; i < count; ++i)
            std::thread([this] { serve(); }).detach();
        m_count = count;
    }

    int count() const { return m_count; }

    void start(std::function<void()> task)
    {
        {
            std::lock_guard guard(m_lock);
            m_tasks.push_back(std::move(task));
        }
        m_ready.notify_one();
    }

private:
    void serve()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock guard(m_lock);
                m_ready.wait(guard, [&] { return !m_tasks.empty(); });
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_tasks;
    int m_count = 0;
};

// Never destroyed: its threads live as long as the process.
Workers& workers()
{
    static Workers* pool = new Workers(std::max(1, QThread::idealThreadCount() - 1));
    return *pool;
}

// Shared with the helpers: one that starts late finds no iteration left and touches nothing of
// the caller's, which may be gone by then.
struct Job {
    explicit Job(int total, const std::function<void(int)>& body)
        : total(total)
        , body(&body)
    {
    }

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
    const int helpers = std::min(iterations - 1, workers().count());
    for (int h = 0; h < helpers; ++h)
        workers().start([job] { job->work(); });
    job->work();
    std::unique_lock guard(job->lock);
    job->allDone.wait(guard, [&] { return job->finished == job->total; });
}

} // namespace ParallelLoop
