#include "QuendrilPad/FolderWatcher.h"

#include "TempDir.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>

using namespace std::chrono_literals;

namespace {

// Collects the batches a watcher delivers, from its thread.
class Batches {
public:
    FolderWatcher::Handler handler()
    {
        return [this](const QStringList& paths) {
            std::lock_guard guard(m_lock);
            m_batches.append(paths);
            m_threads.insert(QThread::currentThreadId());
        };
    }
    QList<QStringList> all() const
    {
        std::lock_guard guard(m_lock);
        return m_batches;
    }
    QStringList paths() const
    {
        QStringList flat;
        for (const QStringList& batch : all())
            flat += batch;
        return flat;
    }
    qsizetype threadCount() const
    {
        std::lock_guard guard(m_lock);
        return m_threads.size();
    }
    // Waits until every path in `expected` was reported, then a little longer for strays.
    QStringList waitFor(const QStringList& expected) const
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            const QStringList seen = paths();
            if (std::all_of(expected.begin(), expected.end(),
                            [&](const QString& path) { return seen.contains(path); }))
                break;
            QThread::msleep(20);
        }
        QThread::msleep(400);
        return paths();
    }

private:
    mutable std::mutex m_lock;
    QList<QStringList> m_batches;
    QSet<Qt::HANDLE> m_threads;
};

} // namespace

TEST(FolderWatcher, SeesTheWaysOtherProgramsWriteFiles)
{
    TempDir folder;
    folder.write(QStringLiteral("old.txt"), "old");
    folder.write(QStringLiteral("gone.txt"), "gone");
    folder.write(QStringLiteral("away.txt"), "away");
    folder.write(QStringLiteral("edited.txt"), "one two");
    folder.write(QStringLiteral("replaced.txt"), "before");
    folder.mkdir(QStringLiteral("sub"));
    const auto at = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };

    const struct {
        const char* name;
        QString script;
        QStringList reported;
    } rows[] = {
        {"cp of a new file", u"cp old.txt copy.txt"_qs, {at("copy.txt")}},
        {"written in place", u"printf more >> old.txt"_qs, {at("old.txt")}},
        {"mv over an existing file",
         u"printf new > /tmp/qp-watch-$$ && mv /tmp/qp-watch-$$ replaced.txt"_qs,
         {at("replaced.txt")}},
        {"sed -i", u"sed -i s/one/three/ edited.txt"_qs, {at("edited.txt")}},
        {"rm", u"rm gone.txt"_qs, {at("gone.txt")}},
        {"renamed away and in", u"mv away.txt moved.txt"_qs, {at("away.txt"), at("moved.txt")}},
        {"our own save: hidden temporary renamed over",
         u"printf x > .quendril-1.tmp && mv .quendril-1.tmp old.txt"_qs,
         {at(".quendril-1.tmp"), at("old.txt")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Batches batches;
        auto watcher = FolderWatcher::create(folder.path(), 100ms, batches.handler());
        ASSERT_TRUE(watcher);
        folder.shell(row.script);
        const QStringList seen = batches.waitFor(row.reported);
        for (const QString& path : row.reported)
            EXPECT_TRUE(seen.contains(path))
                << path.toStdString() << " in " << seen.join(u", ").toStdString();
        // Writers' own scratch files (sed's) may show up too; no other sheet may.
        for (const QString& path : seen) {
            EXPECT_TRUE(row.reported.contains(path) || !path.endsWith(u".txt"_qs))
                << "unexpected " << path.toStdString();
        }
        for (const QStringList& batch : batches.all())
            EXPECT_EQ(QSet<QString>(batch.begin(), batch.end()).size(), batch.size())
                << "duplicates in a batch";
    }
}

TEST(FolderWatcher, BatchesABurstOnOneThreadAndSkipsSubfolders)
{
    TempDir folder;
    folder.mkdir(QStringLiteral("sub"));
    Batches batches;
    auto watcher = FolderWatcher::create(folder.path(), 300ms, batches.handler());
    ASSERT_TRUE(watcher);
    folder.shell(u"for i in 1 2 3 4 5; do printf $i >> a.txt; printf $i > b.txt; done; "
                         "printf x > sub/inner.txt; mkdir sub2"_qs);
    const QStringList seen =
        batches.waitFor({folder.filePath(u"a.txt"_qs), folder.filePath(u"b.txt"_qs)});
    EXPECT_EQ(seen, (QStringList{folder.filePath(u"a.txt"_qs), folder.filePath(u"b.txt"_qs)}));
    EXPECT_EQ(batches.all().size(), 1);

    folder.shell(u"printf y > c.txt"_qs);
    batches.waitFor({folder.filePath(u"c.txt"_qs)});
    EXPECT_EQ(batches.all().size(), 2);
    EXPECT_EQ(batches.threadCount(), 1);
}

TEST(FolderWatcher, StopsCleanly)
{
    TempDir folder;
    Batches batches;
    auto watcher = FolderWatcher::create(folder.path(), 50ms, batches.handler());
    ASSERT_TRUE(watcher);
    watcher->stop();
    watcher->stop();
    folder.write(QStringLiteral("late.txt"), "x");
    QThread::msleep(300);
    EXPECT_TRUE(batches.paths().isEmpty());

    EXPECT_FALSE(FolderWatcher::create(folder.filePath(u"missing"_qs), 50ms, batches.handler()));

    // Stopping from inside the handler, and destroying the watcher there, must not hang.
    std::unique_ptr<FolderWatcher> selfStopping;
    std::atomic<int> calls{0};
    std::mutex lock;
    selfStopping = FolderWatcher::create(folder.path(), 50ms, [&](const QStringList&) {
        ++calls;
        std::lock_guard guard(lock);
        selfStopping.reset();
    });
    ASSERT_TRUE(selfStopping);
    folder.write(QStringLiteral("one.txt"), "x");
    QElapsedTimer timer;
    timer.start();
    while (calls.load() == 0 && timer.elapsed() < 5000)
        QThread::msleep(20);
    folder.write(QStringLiteral("two.txt"), "x");
    QThread::msleep(300);
    EXPECT_EQ(calls.load(), 1);
    std::lock_guard guard(lock);
    EXPECT_FALSE(selfStopping);
}
