#include "QuendrilCore/LineIndex.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

TEST(LineIndex, CountsLFOnly)
{
    struct Case {
        const char* name;
        QString text;
        QList<qsizetype> starts;
    } rows[] = {
        {"empty", QString(), {0}},
        {"a LF", u"a\n"_qs, {0, 2}},
        {"CR does not count", u"a\rb"_qs, {0}},
        {"nor do the separators", u"a\u2028b\u2029c\u0085"_qs, {0}},
        {"CR LF counts once", u"a\r\nb\n\n"_qs, {0, 3, 5, 6}},
    };
    for (const Case& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(LineIndex(row.text).starts(), row.starts);
    }
    EXPECT_EQ(LineIndex().starts(), (QList<qsizetype>{0}));

    const LineIndex index(u"a\n"_qs);
    EXPECT_EQ(index.lineCount(), 2);
    EXPECT_EQ(index.lineNumber(2), 2);
    EXPECT_EQ(index.lineNumber(1), 1);
    EXPECT_EQ(index.lineStart(1), 0);
    EXPECT_EQ(index.lineStart(5), 2);
    EXPECT_EQ(index.lineStart(-3), 0);
}

TEST(LineIndex, ScansAcrossBlockBoundaries)
{
    // LFs on both sides of every 4,096-unit block edge, and a range that starts mid-text.
    QString text(3 * 4096 + 10, u'x');
    for (qsizetype at : {0, 4094, 4095, 4096, 8191, 8192, 12295})
        text[at] = u'\n';
    EXPECT_EQ(LineIndex::newlineStarts(text, {0, text.size()}),
              (QList<qsizetype>{1, 4095, 4096, 4097, 8192, 8193, 12296}));
    EXPECT_EQ(LineIndex::newlineStarts(text, {4095, 4097}), (QList<qsizetype>{4096, 4097, 8192}));
}

TEST(LineIndex, UpdateAfterDeletingALine)
{
    LineIndex index(u"a\nb\nc"_qs);
    index.update({1, 0}, -2, u"a\nc"_qs);
    EXPECT_EQ(index.starts(), (QList<qsizetype>{0, 2}));
}

TEST(LineIndex, UpdateAgreesWithRebuildAfterRandomEdits)
{
    QRandomGenerator random(7);
    const char16_t alphabet[] = {u'a', u'\n', u'\r', u'b', u'\n'};
    const auto randomText = [&](int maxLength) {
        QString s;
        for (int k = random.bounded(maxLength + 1); k > 0; --k)
            s.append(QChar(alphabet[random.bounded(int(std::size(alphabet)))]));
        return s;
    };
    for (int run = 0; run < 200; ++run) {
        QString text = randomText(40);
        LineIndex index(text);
        for (int step = 0; step < 30; ++step) {
            const qsizetype lower = random.bounded(text.size() + 1);
            const qsizetype upper = lower + random.bounded(text.size() - lower + 1);
            const QString replacement = randomText(6);
            text.replace(lower, upper - lower, replacement);
            index.update({lower, replacement.size()}, replacement.size() - (upper - lower), text);
            const LineIndex fresh(text);
            ASSERT_EQ(index.starts(), fresh.starts()) << "run " << run << " step " << step;
            ASSERT_EQ(index, fresh);
            const qsizetype probe = random.bounded(text.size() + 1);
            ASSERT_EQ(index.lineNumber(probe), fresh.lineNumber(probe));
            ASSERT_EQ(index.lineStart(probe), fresh.lineStart(probe));
        }
    }
}
