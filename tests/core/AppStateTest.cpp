#include "QuendrilCore/AppState.h"
#include "QuendrilCore/GeometryText.h"

#include "TempDir.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

namespace {
AppState sample()
{
    return {{TabState{u"/notes/2024-03-05 09.07.03.txt"_qs, 12, 40.5, true, u"2024-03-05"_qs},
             TabState{std::nullopt, 0, 0, false, std::nullopt}},
            1,
            u"{{200, 150}, {900, 640}}"_qs,
            {u"2024-03-04"_qs, u"2024-03-05"_qs},
            std::nullopt};
}
} // namespace

TEST(AppState, WritesSortedKeysAndReadsBackEqual)
{
    TempDir temp;
    const QString url = temp.filePath(u"deeper/folder/state.json"_qs);
    ASSERT_TRUE(sample().save(url));
    EXPECT_EQ(AppState::load(url), sample());

    const QByteArray json = temp.read(u"deeper/folder/state.json"_qs);
    const QList<QByteArray> order = {"\"activeIndex\"", "\"tabs\"", "\"caret\"", "\"lastUsed\"",
                                     "\"path\"", "\"pinned\"", "\"scrollY\"", "\"caret\"",
                                     "\"pinned\"", "\"scrollY\"", "\"windowFrame\"", "\"writingDays\""};
    qsizetype at = 0;
    for (const QByteArray& key : order) {
        const qsizetype found = json.indexOf(key, at);
        ASSERT_GT(found, -1) << key.constData() << " in order in\n" << json.constData();
        at = found + 1;
    }
    EXPECT_FALSE(json.contains("null"));
    EXPECT_FALSE(json.contains("quickNoteSize"));
    EXPECT_TRUE(json.contains("\"scrollY\": 40.5"));
    EXPECT_TRUE(json.contains("\"scrollY\": 0\n"));
}

TEST(AppState, AnyBadValueDiscardsTheWholeFile)
{
    struct Row {
        const char* name;
        const char* json;
        bool valid;
    };
    const Row rows[] = {
        {"minimal", R"({"tabs": [], "activeIndex": 0})", true},
        {"nulls are absent", R"({"tabs": [{"caret": 1, "scrollY": 2, "path": null, "pinned": null}],
            "activeIndex": 0, "writingDays": null, "windowFrame": null, "extra": [1]})", true},
        {"tabs missing", R"({"activeIndex": 0})", false},
        {"activeIndex missing", R"({"tabs": []})", false},
        {"activeIndex fractional", R"({"tabs": [], "activeIndex": 0.5})", false},
        {"a tab without caret", R"({"tabs": [{"scrollY": 0}], "activeIndex": 0})", false},
        {"scrollY as text", R"({"tabs": [{"caret": 0, "scrollY": "0"}], "activeIndex": 0})", false},
        {"pinned as number", R"({"tabs": [{"caret": 0, "scrollY": 0, "pinned": 1}], "activeIndex": 0})", false},
        {"a day that is not text", R"({"tabs": [], "activeIndex": 0, "writingDays": [20240305]})", false},
        {"not an object", R"([])", false},
        {"not JSON", "tabs", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AppState::decode(row.json).has_value(), row.valid);
    }
    const auto lenient = AppState::decode(R"({"tabs": [{"caret": 3, "scrollY": 1}], "activeIndex": 0})");
    ASSERT_TRUE(lenient);
    EXPECT_FALSE(lenient->tabs[0].pinned);
    EXPECT_TRUE(lenient->writingDays.isEmpty());
    EXPECT_FALSE(AppState::load(u"/nonexistent/state.json"_qs));
}

TEST(AppState, RestoredDropsGoneTabsAndKeepsTheFrontNearby)
{
    const QString today = u"2024-03-07"_qs;
    auto tab = [](const char* path, const char* lastUsed = "2024-03-01") {
        return TabState{path ? std::optional(QString::fromLatin1(path)) : std::nullopt, 0, 0, false,
                        lastUsed ? std::optional(QString::fromLatin1(lastUsed)) : std::nullopt};
    };
    struct Row {
        const char* name;
        QList<TabState> tabs;
        qint64 activeIndex;
        QSet<QString> existing;
        QStringList keptPaths;
        qint64 expectedActive;
    };
    const Row rows[] = {
        {"front tab deleted: the one before it", {tab("/a"), tab("/b"), tab("/c")}, 1, {u"/a"_qs, u"/c"_qs},
         {u"/a"_qs, u"/c"_qs}, 0},
        {"first deleted and in front: the next one", {tab("/a"), tab("/b"), tab("/c")}, 0, {u"/b"_qs, u"/c"_qs},
         {u"/b"_qs, u"/c"_qs}, 0},
        {"front kept", {tab("/a"), tab("/b"), tab("/c")}, 2, {u"/a"_qs, u"/b"_qs, u"/c"_qs},
         {u"/a"_qs, u"/b"_qs, u"/c"_qs}, 2},
        {"index past the end", {tab("/a"), tab("/b")}, 9, {u"/a"_qs, u"/b"_qs}, {u"/a"_qs, u"/b"_qs}, 1},
        {"negative index", {tab("/a"), tab("/b")}, -3, {u"/a"_qs, u"/b"_qs}, {u"/a"_qs, u"/b"_qs}, 0},
        {"tabs without a path go", {tab(nullptr), tab("/b")}, 0, {u"/b"_qs}, {u"/b"_qs}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AppState state;
        state.tabs = row.tabs;
        state.activeIndex = row.activeIndex;
        const AppState result = state.restored([&](const QString& p) { return row.existing.contains(p); }, today);
        QStringList paths;
        for (const TabState& kept : result.tabs)
            paths << kept.path.value_or(QString());
        EXPECT_EQ(paths, row.keptPaths);
        EXPECT_EQ(result.activeIndex, row.expectedActive);
    }

    AppState onlyNew;
    onlyNew.tabs = {tab(nullptr), tab("/gone", nullptr)};
    onlyNew.windowFrame = u"{{1, 2}, {3, 4}}"_qs;
    onlyNew.writingDays = {u"2024-03-01"_qs};
    const AppState fresh = onlyNew.restored([](const QString&) { return false; }, today);
    ASSERT_EQ(fresh.tabs.size(), 1);
    EXPECT_EQ(fresh.tabs[0], (TabState{std::nullopt, 0, 0, false, today}));
    EXPECT_EQ(fresh.activeIndex, 0);
    EXPECT_EQ(fresh.windowFrame, onlyNew.windowFrame);
    EXPECT_EQ(fresh.writingDays, onlyNew.writingDays);

    AppState undated;
    undated.tabs = {tab("/a", nullptr)};
    EXPECT_EQ(undated.restored([](const QString&) { return true; }, today).tabs[0].lastUsed, today);
}

TEST(GeometryText, PrintsShortestNumbersAndParsesItsOwnForms)
{
    using namespace GeometryText;
    EXPECT_EQ(rectText({200, 150, 900, 640}), u"{{200, 150}, {900, 640}}"_qs);
    EXPECT_EQ(rectText({-0.5, 0, 1e21, 0.1}), u"{{-0.5, 0}, {1e+21, 0.1}}"_qs);
    EXPECT_EQ(sizeText({640, 320}), u"{640, 320}"_qs);
    EXPECT_EQ(parseRect(u"{{200, 150}, {900, 640}}"_qs), (Rect{200, 150, 900, 640}));
    EXPECT_EQ(parseRect(rectText({-0.5, 3.25, 1e21, 0.1})), (Rect{-0.5, 3.25, 1e21, 0.1}));
    EXPECT_EQ(parseSize(u"{640,320}"_qs), (Size{640, 320}));
    for (const QString& bad : {u""_qs, u"{640, 320"_qs, u"{640}"_qs, u"{a, b}"_qs, u"{1, 2} x"_qs,
                               u"{{1, 2}, {3}}"_qs, u"{nan, 1}"_qs, u"{inf, 1}"_qs}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_FALSE(parseSize(bad));
        EXPECT_FALSE(parseRect(bad));
    }
}
