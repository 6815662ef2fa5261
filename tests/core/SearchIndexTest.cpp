#include "QuendrilCore/SearchIndex.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QDateTime at(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

QString sheet(int i)
{
    return QStringLiteral("/notes/sheet %1.txt").arg(i);
}

QStringList urls(const QList<SearchResult>& results)
{
    QStringList list;
    for (const SearchResult& result : results)
        list << result.url;
    return list;
}

QStringList search(const SearchIndex& index, const QString& query, qsizetype limit = 500)
{
    return urls(index.search(SearchQuery(query), limit));
}

} // namespace

TEST(SearchIndex, MatchesEveryTermBlindToCaseAndAccents)
{
    const struct {
        const char* name;
        QString text;
        QString query;
        bool matches;
    } rows[] = {
        {"plain query, accented capitals", u"Menu: CAFÉ NOIR"_qs, u"cafe"_qs, true},
        {"accented query, plain text", u"the Cafe on the corner"_qs, u"CAFÉ"_qs, true},
        {"combining mark in the text", u"cafe\u0301"_qs, u"Café"_qs, true},
        {"umlaut", u"Zürich HB"_qs, u"zurich"_qs, true},
        {"sharp s", u"STRASSE"_qs, u"straße"_qs, true},
        {"ligature", u"the \uFB01le"_qs, u"file"_qs, true},
        {"two words in any order", u"beta then alpha"_qs, u"alpha beta"_qs, true},
        {"two words, one missing", u"alpha only"_qs, u"alpha beta"_qs, false},
        {"phrase as written", u"in New York today"_qs, u"\"new york\""_qs, true},
        {"phrase with the words apart", u"New and York"_qs, u"\"new york\""_qs, false},
        {"phrase spaces count", u"new york"_qs, u"\"new  york\""_qs, false},
        {"term longer than the text", u"ab"_qs, u"abc"_qs, false},
        {"path is not searched", u"text"_qs, u"notes"_qs, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SearchIndex index;
        index.upsert(u"/notes/a.txt"_qs, at(10), row.text);
        EXPECT_EQ(search(index, row.query).size(), row.matches ? 1 : 0);
    }
}

TEST(SearchIndex, ListsNewestFirstWithNaturalNameOrderForEqualDates)
{
    SearchIndex index;
    index.upsert(u"/notes/b.txt"_qs, at(100), u"x"_qs);
    index.upsert(u"/notes/Note 9.txt"_qs, at(200), u"x"_qs);
    index.upsert(u"/notes/note 10.txt"_qs, at(200), u"x"_qs);
    index.upsert(u"/notes/c.txt"_qs, at(300), u"x"_qs);
    index.upsert(u"/notes/a.txt"_qs, at(50), u"x"_qs);
    const QStringList expected = {u"/notes/c.txt"_qs, u"/notes/note 10.txt"_qs,
                                  u"/notes/Note 9.txt"_qs, u"/notes/b.txt"_qs, u"/notes/a.txt"_qs};
    EXPECT_EQ(search(index, u"x"_qs), expected);

    for (const QString& empty : {u""_qs, u"  \n "_qs, u"\"\""_qs}) {
        SCOPED_TRACE(empty.toStdString());
        EXPECT_EQ(search(index, empty, 3), expected.mid(0, 3));
    }
    const QList<SearchResult> results = index.search(SearchQuery(u"x"), 1);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].date, at(300));
    EXPECT_TRUE(index.search(SearchQuery(u"x"), 0).isEmpty());
}

TEST(SearchIndex, SameDateRewritesInPlaceWhenTheTextFits)
{
    SearchIndex index;
    index.upsert(u"/notes/new.txt"_qs, at(300), u"new"_qs);
    index.upsert(u"/notes/mid.txt"_qs, at(200), QString(100, u'm'));
    index.upsert(u"/notes/old.txt"_qs, at(100), u"old"_qs);
    const qsizetype path = QByteArray("/notes/mid.txt").size();
    const SearchIndex::StorageSize before = index.storageSize();

    index.upsert(u"/notes/mid.txt"_qs, at(200), u"shorter text"_qs);
    EXPECT_EQ(index.storageSize(), before) << "rewritten in place, the rest stays reserved";
    EXPECT_EQ(search(index, u"shorter"_qs), QStringList{u"/notes/mid.txt"_qs});
    EXPECT_TRUE(search(index, u"mmm"_qs).isEmpty())
        << "old bytes past the new text are not searched";
    EXPECT_EQ(search(index, u""_qs),
              (QStringList{u"/notes/new.txt"_qs, u"/notes/mid.txt"_qs, u"/notes/old.txt"_qs}));

    index.upsert(u"/notes/mid.txt"_qs, at(200), QString(150, u'l'));
    EXPECT_EQ(index.storageSize().used, before.used - (path + 100) + (path + 150))
        << "the old reservation became garbage";
    EXPECT_EQ(search(index, u""_qs),
              (QStringList{u"/notes/new.txt"_qs, u"/notes/mid.txt"_qs, u"/notes/old.txt"_qs}));
    EXPECT_EQ(search(index, u"lll"_qs), QStringList{u"/notes/mid.txt"_qs});
}

TEST(SearchIndex, AnotherDateMovesTheEntry)
{
    SearchIndex index;
    index.upsert(u"/notes/a.txt"_qs, at(300), u"x"_qs);
    index.upsert(u"/notes/b.txt"_qs, at(200), u"x"_qs);
    index.upsert(u"/notes/c.txt"_qs, at(100), u"x"_qs);
    index.upsert(u"/notes/c.txt"_qs, at(400), u"x"_qs);
    EXPECT_EQ(index.count(), 3);
    EXPECT_EQ(search(index, u""_qs),
              (QStringList{u"/notes/c.txt"_qs, u"/notes/a.txt"_qs, u"/notes/b.txt"_qs}));
    EXPECT_EQ(index.search(SearchQuery(), 1).value(0).date, at(400));
}

TEST(SearchIndex, RemovesOnlyWhatIsIndexed)
{
    SearchIndex index;
    index.upsert(u"/notes/a.txt"_qs, at(1), u"alpha"_qs);
    index.upsert(u"/notes/b.txt"_qs, at(2), u"beta"_qs);
    const SearchIndex::StorageSize before = index.storageSize();

    index.remove(u"/notes/missing.txt"_qs);
    index.remove(u"/notes/a.tx"_qs);
    EXPECT_EQ(index.count(), 2);
    EXPECT_EQ(index.storageSize(), before);

    index.remove(u"/notes/a.txt"_qs);
    EXPECT_EQ(index.count(), 1);
    EXPECT_TRUE(search(index, u"alpha"_qs).isEmpty());
    index.remove(u"/notes/a.txt"_qs);
    EXPECT_EQ(index.count(), 1);
    index.upsert(u"/notes/a.txt"_qs, at(1), u"alpha again"_qs);
    EXPECT_EQ(search(index, u"alpha"_qs), QStringList{u"/notes/a.txt"_qs});
}

TEST(SearchIndex, ReservationNeverShrinks)
{
    SearchIndex index;
    index.reserveCapacity(4096);
    EXPECT_EQ(index.storageSize(), (SearchIndex::StorageSize{0, 4096}));
    index.reserveCapacity(100);
    EXPECT_EQ(index.storageSize().capacity, 4096);
    index.upsert(u"/n/a.txt"_qs, at(1), u"abc"_qs);
    EXPECT_EQ(index.storageSize(), (SearchIndex::StorageSize{11, 4096}));
}

TEST(SearchIndex, CompactsAfterManyLargeReindexings)
{
    SearchIndex index;
    for (int i = 0; i < 5; ++i)
        index.upsert(sheet(i), at(i), QString(1000, u'a'));
    for (int round = 1; round <= 12; ++round)
        index.upsert(sheet(2), at(2), QString(round * 100'000, u'b'));

    qsizetype expected = 0;
    for (int i = 0; i < 5; ++i)
        expected += sheet(i).toUtf8().size() + (i == 2 ? 1'200'000 : 1000);
    const SearchIndex::StorageSize size = index.storageSize();
    EXPECT_EQ(size.used, expected);
    // Without compaction the arena would hold every version, 7.8 MB of them.
    EXPECT_LT(size.capacity, 4 * expected);
    EXPECT_EQ(search(index, u"bbbb"_qs), QStringList{sheet(2)});
    EXPECT_EQ(search(index, u"aaaa"_qs).size(), 4);
}

TEST(SearchIndex, ParallelChunksKeepOrderAndLimit)
{
    for (const int entries : {999, 2000, 40'000}) {
        SCOPED_TRACE(entries);
        SearchIndex index;
        QStringList newestFirst;
        for (int i = 0; i < entries; ++i)
            index.upsert(sheet(i), at(i), i % 3 == 0 ? u"common rare"_qs : u"common"_qs);
        for (int i = entries - 1; i >= 0; --i)
            newestFirst << sheet(i);
        QStringList rare;
        for (const QString& url : newestFirst) {
            if (url.section(u' ', 1).section(u'.', 0, 0).toInt() % 3 == 0)
                rare << url;
        }
        EXPECT_EQ(search(index, u"rare"_qs, entries), rare);
        EXPECT_EQ(search(index, u"common"_qs, 700), newestFirst.mid(0, 700));
        EXPECT_EQ(search(index, u"common rare"_qs, 5), rare.mid(0, 5));
        EXPECT_TRUE(search(index, u"absent"_qs).isEmpty());
    }
}

// Two writers and a reader at once: every search must see a consistent index.
TEST(SearchIndex, WritersAndSearchesRunTogether)
{
    SearchIndex index;
    constexpr int sheets = 3000;
    for (int i = 0; i < sheets; ++i)
        index.upsert(sheet(i), at(i), u"stable text"_qs);

    std::atomic<bool> writing{true};
    std::atomic<int> searches{0};
    const auto writer = [&](int first) {
        for (int round = 0; round < 4; ++round) {
            for (int i = first; i < sheets; i += 2) {
                if ((i + round) % 5 == 0)
                    index.remove(sheet(i));
                else
                    index.upsert(
                        sheet(i), at(i + (round % 2) * sheets),
                        QString(u"stable text round %1 "_qs.arg(round) + QString(i % 200, u'p')));
            }
        }
    };
    std::thread reader([&] {
        while (writing.load()) {
            const QList<SearchResult> results = index.search(SearchQuery(u"stable"), 5000);
            for (qsizetype i = 1; i < results.size(); ++i)
                ASSERT_GE(results[i - 1].date, results[i].date);
            ASSERT_LE(results.size(), sheets);
            searches.fetch_add(1);
        }
    });
    std::thread even(writer, 0);
    std::thread odd(writer, 1);
    even.join();
    odd.join();
    writing = false;
    reader.join();

    EXPECT_GT(searches.load(), 0);
    qsizetype expected = 0;
    for (int i = 0; i < sheets; ++i)
        expected += (i + 3) % 5 == 0 ? 0 : 1;
    EXPECT_EQ(index.count(), expected);
    EXPECT_EQ(index.search(SearchQuery(u"\"round 3\""), sheets).size(), expected);
}
