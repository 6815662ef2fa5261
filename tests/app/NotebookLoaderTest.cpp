#include "QuendrilPad/NotebookLoader.h"

#include "QuendrilCore/SheetCipher.h"

#include "TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace {

SheetEncryption encryptionOn()
{
    return SheetEncryption::on(SheetCipher(SheetCipher::makeKey().value_or(QByteArray(32, 'k'))));
}

// Runs the main thread's events until `done` holds or five seconds have passed.
bool waitUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

QStringList found(const SearchIndex& index, const QString& query)
{
    QStringList urls;
    for (const SearchResult& result : index.search(SearchQuery(query), 1000))
        urls << result.url.mid(result.url.lastIndexOf(u'/') + 1);
    return urls;
}

struct Loaded {
    std::shared_ptr<SheetStore> store;
    std::shared_ptr<SearchIndex> index = std::make_shared<SearchIndex>();
    std::unique_ptr<NotebookLoader> loader;
    std::optional<qsizetype> count;
    QStringList changed;
};

std::unique_ptr<Loaded> load(const QString& folder, SheetEncryption encryption)
{
    auto loaded = std::make_unique<Loaded>();
    loaded->store = std::make_shared<SheetStore>(folder, QTimeZone::utc(), std::move(encryption));
    loaded->loader = std::make_unique<NotebookLoader>(loaded->store, loaded->index);
    EXPECT_TRUE(loaded->loader->loading());
    Loaded* raw = loaded.get();
    loaded->loader->start([raw](const QString& url) { raw->changed << url; },
                          [raw](qsizetype count) { raw->count = count; });
    EXPECT_TRUE(waitUntil([&] { return raw->count.has_value(); }));
    EXPECT_FALSE(loaded->loader->loading());
    return loaded;
}

} // namespace

TEST(NotebookLoader, LoadsTheFolderAndListsPlainSheets)
{
    TempDir folder;
    SheetEncryption encryption = encryptionOn();
    {
        SheetStore writer(folder.path(), QTimeZone::utc(), encryption);
        ASSERT_TRUE(
            writer.write(u"sealed café"_qs, folder.filePath(u"2024-01-03 10.00.00.txt"_qs)));
    }
    folder.write(u"2024-01-02 10.00.00.txt"_qs, "plain CAFE");
    folder.write(u"2024-01-01 10.00.00.txt"_qs, "");
    folder.write(u"Notes.TXT"_qs, "loose notes");
    folder.write(u"huge.txt"_qs, QByteArray(11 * 1024 * 1024, 'h'));
    folder.write(u".hidden.txt"_qs, "hidden");
    folder.write(u"other.md"_qs, "other");
    folder.write(u"sub/inner.txt"_qs, "inner");

    const auto loaded = load(folder.path(), encryption);
    EXPECT_EQ(loaded->count, 4) << "the indexed sheets, not the five scanned";
    EXPECT_EQ(loaded->index->count(), 4);
    EXPECT_EQ(found(*loaded->index, u"café"_qs),
              (QStringList{u"2024-01-03 10.00.00.txt"_qs, u"2024-01-02 10.00.00.txt"_qs}));
    EXPECT_TRUE(found(*loaded->index, u"hhhh"_qs).isEmpty());
    EXPECT_TRUE(found(*loaded->index, u"hidden"_qs).isEmpty());
    QStringList plain = loaded->loader->plainNames();
    plain.sort();
    EXPECT_EQ(plain, (QStringList{u"2024-01-02 10.00.00.txt"_qs, u"Notes.TXT"_qs, u"huge.txt"_qs}));

    const auto unencrypted = load(folder.path(), SheetEncryption::off());
    EXPECT_EQ(unencrypted->count, 3) << "the sealed sheet cannot be read";
    EXPECT_TRUE(unencrypted->loader->plainNames().isEmpty());
}

TEST(NotebookLoader, FollowsRealWritersIntoTheIndex)
{
    TempDir folder;
    folder.write(u"a.txt"_qs, "alpha");
    folder.write(u"b.txt"_qs, "bravo");
    folder.write(u"c.txt"_qs, "charlie");
    folder.mkdir(u"sub"_qs);
    const auto loaded = load(folder.path(), SheetEncryption::off());
    ASSERT_EQ(loaded->count, 3);
    const auto url = [&](const char* name) { return folder.filePath(QString::fromUtf8(name)); };

    const struct {
        const char* name;
        QString script;
        QStringList changed;
        QString query;
        QStringList found;
    } rows[] = {
        {"cp of a new sheet",
         u"cp a.txt new.txt"_qs,
         {url("new.txt")},
         u"alpha"_qs,
         {u"new.txt"_qs, u"a.txt"_qs}},
        {"mv over",
         u"printf delta > /tmp/qp-loader-$$ && mv /tmp/qp-loader-$$ b.txt"_qs,
         {url("b.txt")},
         u"delta"_qs,
         {u"b.txt"_qs}},
        {"sed -i", u"sed -i s/charlie/echo/ c.txt"_qs, {url("c.txt")}, u"echo"_qs, {u"c.txt"_qs}},
        {"rm", u"rm new.txt"_qs, {url("new.txt")}, u"alpha"_qs, {u"a.txt"_qs}},
        {"capital extension",
         u"printf foxtrot > UP.TXT"_qs,
         {url("UP.TXT")},
         u"foxtrot"_qs,
         {u"UP.TXT"_qs}},
        {"ignored: md, hidden, subfolder, our temporary file",
         u"printf golf > x.md; printf golf > .h.txt; printf golf > sub/s.txt; printf golf > .quendril-1.tmp"_qs,
         {},
         u"golf"_qs,
         {}},
        {"our own save: temporary renamed over",
         u"printf hotel > .quendril-2.tmp && mv .quendril-2.tmp a.txt"_qs,
         {url("a.txt")},
         u"hotel"_qs,
         {u"a.txt"_qs}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        loaded->changed.clear();
        folder.shell(row.script);
        if (row.changed.isEmpty()) {
            // Give a stray event time to arrive.
            QElapsedTimer timer;
            timer.start();
            waitUntil([&] { return timer.elapsed() > 600; });
        } else {
            EXPECT_TRUE(waitUntil([&] { return loaded->changed.size() >= row.changed.size(); }));
            QThread::msleep(300);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(loaded->changed, row.changed);
        EXPECT_EQ(found(*loaded->index, row.query), row.found);
    }

    loaded->loader->stopWatching();
    loaded->changed.clear();
    folder.shell(u"printf india > a.txt"_qs);
    QThread::msleep(400);
    QCoreApplication::processEvents();
    EXPECT_TRUE(loaded->changed.isEmpty());
}

TEST(NotebookLoader, EncryptsPlainSheetsExceptSkippedOnes)
{
    TempDir folder;
    folder.write(u"2024-01-02 10.00.00.txt"_qs, "open in a tab");
    folder.write(u"2024-01-01 10.00.00.txt"_qs, "old plain zürich");
    const auto loaded = load(folder.path(), encryptionOn());
    ASSERT_EQ(loaded->loader->plainNames().size(), 2);

    std::optional<int> encrypted;
    loaded->loader->encryptPlainSheets({folder.filePath(u"2024-01-02 10.00.00.txt"_qs)},
                                       [&](int count) { encrypted = count; });
    ASSERT_TRUE(waitUntil([&] { return encrypted.has_value(); }));
    EXPECT_EQ(encrypted, 1);
    EXPECT_FALSE(loaded->store->isEncryptedFile(folder.filePath(u"2024-01-02 10.00.00.txt"_qs)));
    const QString old = folder.filePath(u"2024-01-01 10.00.00.txt"_qs);
    EXPECT_TRUE(loaded->store->isEncryptedFile(old));
    EXPECT_EQ(loaded->store->read(old)->text, u"old plain zürich"_qs);
    EXPECT_EQ(found(*loaded->index, u"ZURICH"_qs), QStringList{u"2024-01-01 10.00.00.txt"_qs});
    EXPECT_TRUE(loaded->loader->plainNames().isEmpty());

    // The rename of the sealed file reaches the watcher; the index still finds the text.
    QThread::msleep(400);
    QCoreApplication::processEvents();
    EXPECT_EQ(found(*loaded->index, u"zurich"_qs), QStringList{u"2024-01-01 10.00.00.txt"_qs});

    encrypted.reset();
    loaded->loader->encryptPlainSheets({}, [&](int count) { encrypted = count; });
    ASSERT_TRUE(waitUntil([&] { return encrypted.has_value(); }));
    EXPECT_EQ(encrypted, 0);
}

TEST(NotebookLoader, NoCallbackAfterTheLoaderIsGone)
{
    TempDir folder;
    for (int i = 0; i < 200; ++i)
        folder.write(QStringLiteral("%1.txt").arg(i), QByteArray(20'000, 'x'));
    auto store =
        std::make_shared<SheetStore>(folder.path(), QTimeZone::utc(), SheetEncryption::off());
    auto index = std::make_shared<SearchIndex>();
    bool called = false;
    {
        NotebookLoader loader(store, index);
        loader.start([&](const QString&) { called = true; }, [&](qsizetype) { called = true; });
    }
    // Written once the load has scanned, so that only a live watcher could index it.
    waitUntil([&] { return index->count() == 200; });
    folder.write(u"late.txt"_qs, "late");
    QThread::msleep(300);
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
    EXPECT_EQ(index->count(), 200)
        << "the load ran to its end; the watcher stopped with the loader";
}
