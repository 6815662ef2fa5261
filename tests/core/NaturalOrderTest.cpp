#include "QuendrilCore/NaturalOrder.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
int sign(int value) { return (value > 0) - (value < 0); }
} // namespace

TEST(NaturalOrder, ComparesLikeAFileManager)
{
    struct Row {
        const char* name;
        QString a;
        QString b;
        int expected;
    };
    const Row rows[] = {
        {"digits by value", u"Note 9"_qs, u"Note 10"_qs, -1},
        {"case ignored before ties", u"apple 2"_qs, u"Apple 10"_qs, -1},
        {"accents ignored before ties", u"été 2"_qs, u"ete 10"_qs, -1},
        {"case breaks a tie", u"note"_qs, u"Note"_qs, -1},
        {"equal strings", u"2024-03-05 09.07.03.txt"_qs, u"2024-03-05 09.07.03.txt"_qs, 0},
        {"collision suffixes", u"2024-03-05 09.07.03 2.txt"_qs, u"2024-03-05 09.07.03 10.txt"_qs, -1},
        {"prefix first", u"abc"_qs, u"abcd"_qs, -1},
        {"leading zeros are a tie broken later", u"a01"_qs, u"a1"_qs, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int result = NaturalOrder::compare(row.a, row.b);
        if (row.expected == 0) {
            // Collate alike, yet the order stays total: only identical strings are equal.
            EXPECT_EQ(result == 0, row.a == row.b);
            EXPECT_EQ(sign(result), -sign(NaturalOrder::compare(row.b, row.a)));
        } else {
            EXPECT_EQ(sign(result), row.expected);
            EXPECT_EQ(sign(NaturalOrder::compare(row.b, row.a)), -row.expected);
        }
    }
}

TEST(NaturalOrder, SortKeysOrderAsCompareDoes)
{
    const QString alphabet = u"aAbB01 9.-éE"_qs;
    QRandomGenerator random(42);
    QStringList names;
    for (int i = 0; i < 400; ++i) {
        QString name;
        const int length = random.bounded(1, 8);
        for (int j = 0; j < length; ++j)
            name += alphabet[random.bounded(int(alphabet.size()))];
        names << name;
    }
    for (int i = 0; i + 1 < names.size(); ++i) {
        const QByteArray keyA = NaturalOrder::sortKey(names[i]);
        const QByteArray keyB = NaturalOrder::sortKey(names[i + 1]);
        SCOPED_TRACE(QString(names[i] + u" | " + names[i + 1]).toStdString());
        EXPECT_EQ(sign(keyA.compare(keyB)), sign(NaturalOrder::compare(names[i], names[i + 1])));
    }
}
