#include "QuendrilCore/JSONFormatter.h"

#include "JSONReference.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

// The parsing cases of the shared JSON test suite, read as bytes: y_ files must be accepted,
// n_ files refused, and the i_ files (either way allowed) go the way the table below says.
namespace {

struct Case {
    QString name;
    QByteArray bytes;
};

QList<Case> suiteCases()
{
    const QDir folder(QStringLiteral(QUENDRIL_TESTDATA "/JSONTestSuite/test_parsing"));
    QList<Case> cases;
    for (const QString& name : folder.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            cases.append({name, file.readAll()});
    }
    return cases;
}

const char* const numbersAreCopied = "numbers are copied as they stand, never converted";
const char* const escapesAreNotDecoded = "\\u escapes are checked for four hex digits, not decoded";
const char* const bytesInStringsAreNotChecked = "bytes inside strings are copied, not decoded";
const char* const onlyUTF8 = "UTF-16 puts NUL or FF FE bytes outside strings";

struct Implementation {
    bool accepted;
    const char* why;
};

const QMap<QString, Implementation> implementationDefined = {
    {"i_number_double_huge_neg_exp.json", {true, numbersAreCopied}},
    {"i_number_huge_exp.json", {true, numbersAreCopied}},
    {"i_number_neg_int_huge_exp.json", {true, numbersAreCopied}},
    {"i_number_pos_double_huge_exp.json", {true, numbersAreCopied}},
    {"i_number_real_neg_overflow.json", {true, numbersAreCopied}},
    {"i_number_real_pos_overflow.json", {true, numbersAreCopied}},
    {"i_number_real_underflow.json", {true, numbersAreCopied}},
    {"i_number_too_big_neg_int.json", {true, numbersAreCopied}},
    {"i_number_too_big_pos_int.json", {true, numbersAreCopied}},
    {"i_number_very_big_negative_int.json", {true, numbersAreCopied}},
    {"i_object_key_lone_2nd_surrogate.json", {true, escapesAreNotDecoded}},
    {"i_string_1st_surrogate_but_2nd_missing.json", {true, escapesAreNotDecoded}},
    {"i_string_1st_valid_surrogate_2nd_invalid.json", {true, escapesAreNotDecoded}},
    {"i_string_incomplete_surrogate_and_escape_valid.json", {true, escapesAreNotDecoded}},
    {"i_string_incomplete_surrogate_pair.json", {true, escapesAreNotDecoded}},
    {"i_string_incomplete_surrogates_escape_valid.json", {true, escapesAreNotDecoded}},
    {"i_string_invalid_lonely_surrogate.json", {true, escapesAreNotDecoded}},
    {"i_string_invalid_surrogate.json", {true, escapesAreNotDecoded}},
    {"i_string_inverted_surrogates_U+1D11E.json", {true, escapesAreNotDecoded}},
    {"i_string_lone_second_surrogate.json", {true, escapesAreNotDecoded}},
    {"i_string_UTF-8_invalid_sequence.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_UTF8_surrogate_U+D800.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_invalid_utf-8.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_iso_latin_1.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_lone_utf8_continuation_byte.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_not_in_unicode_range.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_overlong_sequence_2_bytes.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_overlong_sequence_6_bytes.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_overlong_sequence_6_bytes_null.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_truncated-utf-8.json", {true, bytesInStringsAreNotChecked}},
    {"i_string_UTF-16LE_with_BOM.json", {false, onlyUTF8}},
    {"i_string_utf16BE_no_BOM.json", {false, onlyUTF8}},
    {"i_string_utf16LE_no_BOM.json", {false, onlyUTF8}},
    {"i_structure_500_nested_arrays.json", {true, "500 levels are within the 512 allowed"}},
    {"i_structure_UTF-8_BOM_empty_object.json",
     {false, "a byte order mark is not one of the four blanks allowed around a value"}},
};

TEST(JSONConformance, AcceptsEveryYesRefusesEveryNoAndDecidesEveryMaybe)
{
    const QList<Case> cases = suiteCases();
    ASSERT_GT(cases.size(), 300) << "the shared test suite was not found";
    int yes = 0, no = 0, maybe = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const bool valid = JSONFormatter::isValid(QByteArrayView(c.bytes));
        if (c.name.startsWith(u'y')) {
            EXPECT_TRUE(valid);
            ++yes;
        } else if (c.name.startsWith(u'n')) {
            EXPECT_FALSE(valid);
            ++no;
        } else {
            const auto found = implementationDefined.find(c.name);
            ASSERT_NE(found, implementationDefined.end()) << "an i_ file the table does not know";
            EXPECT_EQ(valid, found->accepted) << found->why;
            ++maybe;
        }
    }
    EXPECT_EQ(maybe, implementationDefined.size());
    std::printf("JSON test suite: %d accepted, %d refused, %d implementation-defined\n", yes, no,
                maybe);
}

// The UTF-16 path sees the files as the editor would, decoded, and must come to the same
// verdict; its tokens must be the text's own and lex exactly when the bytes do.
TEST(JSONConformance, TokenizeAndUTF16AgreeWithIsValid)
{
    for (const Case& c : suiteCases()) {
        SCOPED_TRACE(c.name.toStdString());
        const bool valid = JSONFormatter::isValid(QByteArrayView(c.bytes));
        EXPECT_EQ(JSONReference::isValid(c.bytes), valid) << "the reference disagrees";
        const QString units = JSONReference::decodeUTF8(c.bytes);
        EXPECT_EQ(JSONFormatter::isValid(units), valid);
        const auto tokens = JSONFormatter::tokenize(units, 3);
        EXPECT_EQ(tokens && JSONReference::isValidTokenSequence(*tokens), valid);
        if (valid) {
            ASSERT_TRUE(tokens);
        }
        if (!tokens)
            continue;
        static const char16_t firstUnit[] = u"{}[]:,\"";
        qsizetype previousEnd = 3;
        for (const JSONToken& token : *tokens) {
            ASSERT_LE(previousEnd, token.range.lower);
            ASSERT_LT(token.range.lower, token.range.upper);
            const char16_t first = units[token.range.lower - 3].unicode();
            if (int(token.kind) <= int(JSONTokenKind::string)) {
                EXPECT_EQ(first, firstUnit[int(token.kind)]);
            } else if (token.kind == JSONTokenKind::number) {
                EXPECT_TRUE(first == u'-' || (first >= u'0' && first <= u'9'));
            } else {
                EXPECT_TRUE(first == u't' || first == u'f' || first == u'n');
            }
            previousEnd = token.range.upper;
        }
        EXPECT_LE(previousEnd, units.size() + 3);
    }
}

} // namespace
