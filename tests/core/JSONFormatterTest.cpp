#include "QuendrilCore/JSONFormatter.h"

#include "JSONReference.h"

#include <QString>

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace Qt::StringLiterals;

void PrintTo(const JSONToken& token, std::ostream* out)
{
    *out << "{kind " << int(token.kind) << ", " << token.range.lower << ".." << token.range.upper
         << "}";
}

namespace {

using Kind = JSONTokenKind;

QByteArray repeated(const char* unit, qsizetype count)
{
    return QByteArray(unit).repeated(count);
}

TEST(JSONFormatter, IsValidTable)
{
    struct Row {
        const char* name;
        QByteArray text;
        bool valid;
    };
    const Row rows[] = {
        {"empty object", "{}", true},
        {"empty array", "[]", true},
        {"nested", R"({"a":[1,{"b":null}],"c":"d"})", true},
        {"bare number", "42", true},
        {"bare string", R"("s")", true},
        {"bare true", "true", true},
        {"only the four blanks around", " \t\r\n[1]\n\r\t ", true},
        {"negative zero with fraction and exponent", "-0.0e+1", true},
        {"capital exponent, minus sign", "1E-2", true},
        {"every simple escape", R"("\"\\\/\b\f\n\r\t")", true},
        {"unicode escape in either case", R"("\u00aF\uABCD")", true},
        {"raw UTF-8 in a string", "[\"\xc3\xa9\xf0\x9f\x98\x80\"]", true},
        {"empty text", "", false},
        {"blanks only", " \n ", false},
        {"raw tab in a string", "\"a\tb\"", false},
        {"raw LF in a string", "\"a\nb\"", false},
        {"leading zero", "01", false},
        {"full stop without digits", "1.", false},
        {"exponent without digits", "1e", false},
        {"exponent sign without digits", "1e+", false},
        {"lone minus sign", "-", false},
        {"plus sign", "+1", false},
        {"fraction without integer", ".5", false},
        {"short word", "tru", false},
        {"word with a letter after it", "truex", false},
        {"capitalised word", "True", false},
        {"missing comma", "[1 2]", false},
        {"trailing comma in an array", "[1,]", false},
        {"trailing comma in an object", R"({"a":1,})", false},
        {"second top-level value", "1 2", false},
        {"second top-level container", "{}{}", false},
        {"missing colon", R"({"a" 1})", false},
        {"number as key", "{1:2}", false},
        {"unclosed string", R"("abc)", false},
        {"unknown escape", R"("\x")", false},
        {"short unicode escape", R"("\u12")", false},
        {"bad hex digit", R"("\u12G4")", false},
        {"mismatched brackets", "[1}", false},
        {"close before open", "]", false},
        {"unclosed array", "[1,[2]", false},
        {"no-break space around", "\xc2\xa0[1]", false},
        {"byte order mark", "\xef\xbb\xbf{}", false},
        {"NUL after the value", QByteArray("[]\0", 3), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JSONFormatter::isValid(QByteArray(row.text)), row.valid);
        EXPECT_EQ(JSONFormatter::isValid(JSONReference::decodeUTF8(row.text)), row.valid);
        EXPECT_EQ(JSONReference::isValid(row.text), row.valid) << "the reference disagrees";
    }
}

TEST(JSONFormatter, NestingStopsAtMaxDepth)
{
    const QByteArray deepest = repeated("[", 512) + repeated("]", 512);
    const QByteArray tooDeep = repeated("[", 513) + repeated("]", 513);
    const QByteArray deepObjects = repeated("{\"k\":", 511) + "[]" + repeated("}", 511);
    EXPECT_TRUE(JSONFormatter::isValid(QByteArray(deepest)));
    EXPECT_TRUE(JSONFormatter::isValid(QByteArray(deepObjects)));
    EXPECT_FALSE(JSONFormatter::isValid(QByteArray(tooDeep)));
    EXPECT_FALSE(JSONFormatter::isValid(QByteArray(repeated("[", 513))));
    EXPECT_FALSE(JSONFormatter::isValid(QByteArray("{\"k\":" + deepest + "}")));
    EXPECT_TRUE(JSONFormatter::prettyPrintUTF8(deepest, 4).has_value());
    EXPECT_FALSE(JSONFormatter::prettyPrintUTF8(tooDeep, 4).has_value());
    // Depth is about what is open at once, not how many containers there are.
    EXPECT_TRUE(JSONFormatter::isValid(QByteArray("[" + repeated("[[]],", 1000) + "1]")));
}

TEST(JSONFormatter, TokenizeTable)
{
    struct Row {
        const char* name;
        QString text;
        qsizetype offset;
        std::optional<QList<JSONToken>> tokens;
    };
    const Row rows[] = {
        {"positions in UTF-16 units, offset added",
         QString::fromUtf8("[\"\xf0\x9f\x98\x80\", -1.5e3 ,true]"), 10,
         QList<JSONToken>{{Kind::beginArray, {10, 11}},
                          {Kind::string, {11, 15}},
                          {Kind::comma, {15, 16}},
                          {Kind::number, {17, 23}},
                          {Kind::comma, {24, 25}},
                          {Kind::literal, {25, 29}},
                          {Kind::endArray, {29, 30}}}},
        {"object punctuation", u"{\"a\\\"b\":null}"_s, 0,
         QList<JSONToken>{{Kind::beginObject, {0, 1}},
                          {Kind::string, {1, 7}},
                          {Kind::colon, {7, 8}},
                          {Kind::literal, {8, 12}},
                          {Kind::endObject, {12, 13}}}},
        {"order is not checked", u"]]:"_s, 0,
         QList<JSONToken>{
             {Kind::endArray, {0, 1}}, {Kind::endArray, {1, 2}}, {Kind::colon, {2, 3}}}},
        {"a leading zero ends the number", u"01"_s, 0,
         QList<JSONToken>{{Kind::number, {0, 1}}, {Kind::number, {1, 2}}}},
        {"nothing is checked after a word", u"false1"_s, 0,
         QList<JSONToken>{{Kind::literal, {0, 5}}, {Kind::number, {5, 6}}}},
        {"blanks only", u" \t\r\n"_s, 0, QList<JSONToken>{}},
        {"unclosed string", u"[\"a"_s, 0, std::nullopt},
        {"letter after a word", u"nullx"_s, 0, std::nullopt},
        {"lone minus sign", u"[-]"_s, 0, std::nullopt},
        {"non-ASCII outside a string", u"[1]\u00e9"_s, 0, std::nullopt},
        {"form feed between tokens", u"[1,\f2]"_s, 0, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JSONFormatter::tokenize(row.text, row.offset), row.tokens);
    }
}

TEST(JSONFormatter, PrettyPrintTable)
{
    struct Row {
        const char* name;
        QString text;
        int indent;
        std::optional<QString> printed;
    };
    const Row rows[] = {
        {"keys keep their order", uR"({"b":1,"a":[1,2]})"_s, 4, uR"({
    "b": 1,
    "a": [
        1,
        2
    ]
})"_s},
        {"array of numbers", u"[1,2]"_s, 4, u"[\n    1,\n    2\n]"_s},
        {"empty object", u"{}"_s, 4, u"{}"_s},
        {"empty array with blanks inside", u"[ \n ]"_s, 4, u"[]"_s},
        {"member holding an empty object", uR"({"a":{}})"_s, 4, u"{\n    \"a\": {}\n}"_s},
        {"empty containers in an array", u"[[],{}]"_s, 4, u"[\n    [],\n    {}\n]"_s},
        {"existing layout is replaced", u"{ \"a\" :\t[ 1 ,\r\n 2 ] }"_s, 2,
         u"{\n  \"a\": [\n    1,\n    2\n  ]\n}"_s},
        {"scalars spelled as they stand", uR"([1.0E+2,-0,"\u00e9\/",null])"_s, 4, uR"([
    1.0E+2,
    -0,
    "\u00e9\/",
    null
])"_s},
        {"non-ASCII text kept", u"[\"\u00e9\U0001F600\"]"_s, 4,
         u"[\n    \"\u00e9\U0001F600\"\n]"_s},
        {"indent 0", u"[1,[2]]"_s, 0, u"[\n1,\n[\n2\n]\n]"_s},
        {"negative indent counts as 0", u"[1]"_s, -3, u"[\n1\n]"_s},
        {"blank lines around are dropped", u"\n\n  [1]  \n\n"_s, 4, u"[\n    1\n]"_s},
        {"Unicode white space around is dropped", u"\u2028\u00a0\u3000[1]\u2029\u0085"_s, 4,
         u"[\n    1\n]"_s},
        {"already formatted input comes back unchanged", u"[\n    1\n]"_s, 4, u"[\n    1\n]"_s},
        {"bare number", u"42"_s, 4, std::nullopt},
        {"bare string", u"\"s\""_s, 4, std::nullopt},
        {"bare word", u"true"_s, 4, std::nullopt},
        {"empty text", QString(), 4, std::nullopt},
        {"white space only", u" \u00a0\n"_s, 4, std::nullopt},
        {"trailing comma", u"[1,]"_s, 4, std::nullopt},
        {"unclosed", u"{\"a\":1"_s, 4, std::nullopt},
        {"text after the value", u"[1] x"_s, 4, std::nullopt},
        {"second value", u"[1][2]"_s, 4, std::nullopt},
        {"Unicode white space between tokens", u"[1,\u00a02]"_s, 4, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(JSONFormatter::prettyPrint(row.text, row.indent), row.printed);
        const auto bytes = JSONFormatter::prettyPrintUTF8(row.text.toUtf8(), row.indent);
        EXPECT_EQ(bytes.has_value(), row.printed.has_value());
        if (bytes && row.printed) {
            EXPECT_EQ(*bytes, row.printed->toUtf8());
        }
    }
}

// The pretty printer trims exactly what QChar::isSpace calls white space, for every code point.
TEST(JSONFormatter, TrimsTheWholeUnicodeWhiteSpaceSet)
{
    int trimmed = 0;
    for (char32_t c = 1; c <= 0x10ffff; ++c) {
        if (c >= 0xd800 && c <= 0xdfff)
            continue;
        const auto units = QChar::fromUcs4(c); // QString::fromUcs4 would drop U+FEFF
        const QString around = QStringView(units).toString();
        const QString text = around + u"[]"_s + around;
        const bool isSpace = QChar::isSpace(c);
        ASSERT_EQ(JSONFormatter::prettyPrint(text, 4).has_value(), isSpace)
            << "U+" << std::hex << unsigned(c);
        trimmed += isSpace;
    }
    EXPECT_EQ(trimmed, 25); // 6 ASCII and 19 further Unicode separators and breaks
}

TEST(JSONFormatter, InputSizeLimitCountsUTF8BytesBeforeTrimming)
{
    const qsizetype max = JSONFormatter::maxPrettyPrintBytes;
    ASSERT_EQ(max, 5'242'880);
    const auto stringDocument = [](qsizetype bytes) -> QByteArray {
        return "[\"" + QByteArray(bytes - 4, 'a') + "\"]";
    };
    EXPECT_TRUE(JSONFormatter::prettyPrintUTF8(stringDocument(max), 4));
    EXPECT_FALSE(JSONFormatter::prettyPrintUTF8(stringDocument(max + 1), 4));
    EXPECT_TRUE(JSONFormatter::prettyPrint(QString::fromUtf8(stringDocument(max)), 4));
    EXPECT_FALSE(JSONFormatter::prettyPrint(QString::fromUtf8(stringDocument(max + 1)), 4));

    const QByteArray padded = "[1]" + QByteArray(max - 3, ' ');
    EXPECT_TRUE(JSONFormatter::prettyPrintUTF8(padded, 4));
    EXPECT_FALSE(JSONFormatter::prettyPrintUTF8(QByteArray(padded + ' '), 4));

    // Unicode blanks trimmed off either end still count, in bytes: U+00A0 takes two.
    const QString blanks((max - 4) / 4, u'\u00a0');
    const QString surrounded = blanks + u"[1] "_s + blanks;
    ASSERT_EQ(surrounded.toUtf8().size(), max);
    EXPECT_TRUE(JSONFormatter::prettyPrint(surrounded, 4));
    EXPECT_FALSE(JSONFormatter::prettyPrint(QString(surrounded + u' '), 4));

    // Two bytes per "é": the limit counts bytes, not the (half as many) UTF-16 units.
    const auto accents = [](qsizetype bytes) -> QString {
        return u"[\""_s + QString((bytes - 4) / 2, u'\u00e9') + u"\"]"_s;
    };
    ASSERT_EQ(accents(max + 2).toUtf8().size(), max + 2);
    EXPECT_TRUE(JSONFormatter::prettyPrint(accents(max), 4));
    EXPECT_FALSE(JSONFormatter::prettyPrint(accents(max + 2), 4));
}

// A one-element array prints as its indent-0 size plus the indent, which puts the output limit
// at an exact indent; both paths count the limit and the output in UTF-8 bytes.
TEST(JSONFormatter, OutputLimitTable)
{
    const QByteArray accents = QByteArray("\xc3\xa9").repeated(124'998);
    struct Row {
        const char* name;
        QByteArray input;
        qsizetype limit;
    };
    const Row rows[] = {
        {"small input: the floor of 4,000,000", "[1]", 4'000'000},
        {"input of 250,000 bytes: 20 times its size", "[1" + QByteArray(249'997, ' ') + "]",
         5'000'000},
        {"250,000 bytes in half as many UTF-16 units", "[\"" + accents + "\"]", 5'000'000},
        {"input of 5,000,000 bytes: the ceiling", "[1" + QByteArray(4'999'997, '\n') + "]",
         JSONFormatter::maxPrettyPrintOutputBytes},
        {"blanks trimmed off do not count", "[1]" + QByteArray(400'000, ' '), 4'000'000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto flat = JSONFormatter::prettyPrintUTF8(row.input, 0);
        ASSERT_TRUE(flat);
        const int fits = int(row.limit - flat->size());
        const auto printed = JSONFormatter::prettyPrintUTF8(row.input, fits);
        ASSERT_TRUE(printed);
        EXPECT_EQ(printed->size(), row.limit);
        EXPECT_FALSE(JSONFormatter::prettyPrintUTF8(row.input, fits + 1));

        const QString text = QString::fromUtf8(row.input);
        const auto printedText = JSONFormatter::prettyPrint(text, fits);
        ASSERT_TRUE(printedText);
        EXPECT_EQ(printedText->toUtf8(), *printed);
        EXPECT_FALSE(JSONFormatter::prettyPrint(text, fits + 1));
    }
    // Huge indents are refused by the limit, not multiplied into an allocation.
    EXPECT_FALSE(JSONFormatter::prettyPrintUTF8(QByteArray(repeated("[", 500) + repeated("]", 500)),
                                                std::numeric_limits<int>::max()));
    EXPECT_FALSE(JSONFormatter::prettyPrintUTF8("[[1]]", std::numeric_limits<int>::max()));
}

// Random texts built from JSON's pieces, some whole and some broken.
class JSONTextGenerator {
public:
    explicit JSONTextGenerator(unsigned seed)
        : m_random(seed)
    {
    }

    QByteArray validValue(int depth)
    {
        const int choice = pick(depth > 6 ? 5 : 8);
        switch (choice) {
        case 0:
            return pickFrom({"0", "-0", "12", "-3.25", "1e9", "2E-3", "0.5e+10", "1234567890123"});
        case 1:
            return pickFrom({R"("")", R"("a b")", R"("\"\\\/\b\f\n\r\t")",
                             R"("\u00e9\uD83D\ude00")", "\"\xc3\xa9\xe2\x82\xac\"", R"("[{,:}]")"});
        case 2:
            return pickFrom({"true", "false", "null"});
        case 3:
            return "[]";
        case 4:
            return "{}";
        case 5:
        case 6: {
            QByteArray out = "[" + blanks();
            const int count = pick(5);
            for (int i = 0; i < count; ++i)
                out += (i ? "," + blanks() : QByteArray()) + validValue(depth + 1) + blanks();
            return out + "]";
        }
        default: {
            QByteArray out = "{" + blanks();
            const int count = pick(5);
            for (int i = 0; i < count; ++i) {
                out += (i ? "," + blanks() : QByteArray()) +
                       pickFrom({R"("k")", R"("")", R"("a\"")"}) + blanks() + ":" + blanks() +
                       validValue(depth + 1) + blanks();
            }
            return out + "}";
        }
        }
    }

    // A valid document with a few bytes inserted, deleted or replaced.
    QByteArray mutated(QByteArray text)
    {
        static const char pieces[] = "{}[]:,\"\\ \t\n\r-+.eE0123456789tfnurlsax\x01\x7f\xc3";
        const int edits = 1 + pick(3);
        for (int i = 0; i < edits && !text.isEmpty(); ++i) {
            const qsizetype at = qsizetype(m_random() % quint64(text.size()));
            const char piece = pieces[pick(int(sizeof pieces) - 1)];
            switch (pick(3)) {
            case 0:
                text.insert(at, piece);
                break;
            case 1:
                text.remove(at, 1);
                break;
            default:
                text[at] = piece;
                break;
            }
        }
        return text;
    }

    int pick(int count) { return int(m_random() % unsigned(count)); }

private:
    QByteArray pickFrom(std::initializer_list<const char*> choices)
    {
        return *(choices.begin() + pick(int(choices.size())));
    }
    QByteArray blanks() { return pickFrom({"", "", "", " ", "\n", "\t", "\r\n  "}); }

    std::mt19937 m_random;
};

TEST(JSONFormatter, IsValidAgreesWithTheGrammarOnRandomTexts)
{
    JSONTextGenerator generator(20240611);
    int validCount = 0;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray whole = generator.validValue(0);
        const QByteArray text = i % 4 == 0 ? whole : generator.mutated(whole);
        SCOPED_TRACE(text.toStdString());
        const bool expected = JSONReference::isValid(text);
        ASSERT_EQ(JSONFormatter::isValid(QByteArray(text)), expected);
        const QString units = JSONReference::decodeUTF8(text);
        ASSERT_EQ(JSONFormatter::isValid(units), JSONReference::isValid(units.toUtf8()));
        const auto tokens = JSONFormatter::tokenize(units);
        ASSERT_EQ(tokens && JSONReference::isValidTokenSequence(*tokens),
                  JSONReference::isValid(units.toUtf8()));
        validCount += expected;
    }
    // Both kinds must be well represented for the agreement to mean anything.
    EXPECT_GT(validCount, 5000);
    EXPECT_LT(validCount, 15000);
}

TEST(JSONFormatter, PrettyPrintedOutputIsValidStableAndKeepsTheContent)
{
    JSONTextGenerator generator(7);
    int printedCount = 0;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray text = generator.validValue(0);
        SCOPED_TRACE(text.toStdString());
        const auto printed = JSONFormatter::prettyPrintUTF8(text, 4);
        ASSERT_EQ(printed.has_value(), text.startsWith('[') || text.startsWith('{'));
        if (!printed)
            continue;
        ++printedCount;
        EXPECT_TRUE(JSONFormatter::isValid(QByteArray(*printed)));
        EXPECT_EQ(JSONReference::withoutLayout(*printed), JSONReference::withoutLayout(text));
        EXPECT_EQ(JSONFormatter::prettyPrintUTF8(*printed, 4), printed);
        EXPECT_FALSE(printed->endsWith('\n'));
    }
    EXPECT_GT(printedCount, 2500);
}

} // namespace
