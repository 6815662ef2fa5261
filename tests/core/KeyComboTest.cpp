#include "QuendrilCore/KeyCombo.h"

#include <QSet>

#include <gtest/gtest.h>

TEST(KeyCombo, ParsesModifiersAndOneKeyInAnyOrderAndCase)
{
    struct Row {
        const char* name;
        QString text;
        quint32 keyCode;
        quint32 modifiers;
    };
    const Row rows[] = {
        {"canonical", QStringLiteral("ctrl+alt+s"), 1, 0x1800},
        {"upper case with blanks", QStringLiteral("CTRL + ALT + S"), 1, 0x1800},
        {"key first", QStringLiteral("s+alt+ctrl"), 1, 0x1800},
        {"tabs as blanks", QStringLiteral("\tctrl\t+ k "), 40, 0x1000},
        {"hyper", QStringLiteral("hyper+s"), 1, 0x1B00},
        {"hyper with a repeat", QStringLiteral("hyper+ctrl+s"), 1, 0x1B00},
        {"three modifiers and a function key", QStringLiteral("ctrl+alt+shift+f12"), 111, 0x1A00},
        {"option and super", QStringLiteral("option+super+space"), 49, 0x0900},
        {"digit", QStringLiteral("cmd+5"), 23, 0x0100},
        {"repeated modifier", QStringLiteral("shift+shift+f1"), 122, 0x0200},
        {"lone key", QStringLiteral("s"), 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto combo = KeyCombo::parse(row.text);
        ASSERT_TRUE(combo);
        EXPECT_EQ(combo->keyCode(), row.keyCode);
        EXPECT_EQ(combo->carbonModifiers(), row.modifiers);
        EXPECT_EQ(combo->text(), row.text);
    }
}

TEST(KeyCombo, RefusesTextWithoutExactlyOneKnownKey)
{
    const char* const texts[] = {"ctrl+alt",    "ctrl+a+b",  "ctrl++s", "ctrl+",
                                 "+s",          "",          " ",       "ctrl+alt+esc",
                                 "ctrl+return", "ctrl+f13",  "ctrl+-",  "ctrl+alt+s+",
                                 "control+s",   "ctrl alt s"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(KeyCombo::parse(QString::fromUtf8(text)));
    }
}

TEST(KeyCombo, EqualityKeepsTheTextWhileSameKeysIgnoresIt)
{
    const auto a = KeyCombo::parse(u"ctrl+alt+s");
    const auto b = KeyCombo::parse(u"CTRL + ALT + S");
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_TRUE(a->hasSameKeys(*b));
    EXPECT_EQ(*a, *KeyCombo::parse(u"ctrl+alt+s"));
    EXPECT_FALSE(a->hasSameKeys(*KeyCombo::parse(u"ctrl+s")));
}

TEST(KeyCombo, MakesTheCanonicalText)
{
    struct Row {
        const char* name;
        quint32 keyCode;
        quint32 modifiers;
        std::optional<QString> text;
    };
    const Row rows[] = {
        {"control and option", 40, 0x1800, QStringLiteral("ctrl+alt+k")},
        {"canonical order", 96, 0x0A00, QStringLiteral("alt+shift+f5")},
        {"all four", 1, 0x1B00, QStringLiteral("hyper+s")},
        {"all four with other bits", 1, 0x1B01, QStringLiteral("hyper+s")},
        {"command and shift", 49, 0x0300, QStringLiteral("shift+cmd+space")},
        {"no modifiers", 40, 0, QStringLiteral("k")},
        {"escape is not a key", 53, 0x1000, std::nullopt},
        {"unused code", 10, 0, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(KeyCombo::text(row.keyCode, row.modifiers), row.text);
    }
}

TEST(KeyCombo, ShowsSymbolsAndTellsWhetherItMayBeGlobal)
{
    struct Row {
        const char* name;
        QString text;
        QString symbols;
        bool allowedGlobal;
    };
    const Row rows[] = {
        {"control and option", QStringLiteral("ctrl+alt+k"), QStringLiteral("⌃⌥K"), true},
        {"hyper", QStringLiteral("hyper+s"), QStringLiteral("Hyper + S"), true},
        {"function key", QStringLiteral("ctrl+alt+shift+f12"), QStringLiteral("⌃⌥⇧F12"), true},
        {"order of symbols", QStringLiteral("cmd+shift+ctrl+f1"), QStringLiteral("⌃⇧⌘F1"), true},
        {"option alone", QStringLiteral("alt+k"), QStringLiteral("⌥K"), true},
        {"space", QStringLiteral("option+space"), QStringLiteral("⌥Space"), true},
        {"command and shift", QStringLiteral("cmd+shift+k"), QStringLiteral("⇧⌘K"), false},
        {"digit", QStringLiteral("shift+1"), QStringLiteral("⇧1"), false},
        {"lone key", QStringLiteral("s"), QStringLiteral("S"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto combo = KeyCombo::parse(row.text);
        ASSERT_TRUE(combo);
        EXPECT_EQ(combo->symbols(), row.symbols);
        EXPECT_EQ(combo->isAllowedGlobal(), row.allowedGlobal);
    }
}

TEST(KeyCombo, TablesHoldTheDesignedKeysOnce)
{
    const auto& keys = KeyCombo::keys();
    EXPECT_EQ(keys.size(), 49);
    QSet<QString> names;
    QSet<quint32> codes;
    for (const auto& key : keys) {
        names.insert(key.name);
        codes.insert(key.value);
        // Every key prints back to its own name, so text and parse agree.
        const auto text = KeyCombo::text(key.value, 0x1000);
        ASSERT_TRUE(text);
        EXPECT_EQ(KeyCombo::parse(*text)->keyCode(), key.value) << text->toStdString();
    }
    EXPECT_EQ(names.size(), 49);
    EXPECT_EQ(codes.size(), 49);
    EXPECT_EQ(KeyCombo::modifiers().size(), 7);
}
