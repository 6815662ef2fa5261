// Lexer, automaton and pretty printer over arbitrary bytes, checked against the tests' plain
// reference recognizer and against the printer's own guarantees.
#include "QuendrilCore/JSONFormatter.h"

#include "../tests/support/JSONReference.cpp"

#include <QStringDecoder>

#include <cstdlib>

static void check(bool condition)
{
    if (!condition)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const bool valid = JSONFormatter::isValid(bytes);
    check(valid == JSONReference::isValid(bytes));

    // The same input as UTF-16 code units, two bytes each: a unit above 0x7F means what a
    // non-ASCII byte means to the reference.
    QString units;
    QByteArray unitsAsBytes;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = char16_t(data[i] | (data[i + 1] << 8));
        units.append(QChar(unit));
        unitsAsBytes.append(unit > 0x7f ? char(0x80) : char(unit));
    }
    const bool unitsValid = JSONFormatter::isValid(units);
    check(unitsValid == JSONReference::isValid(unitsAsBytes));
    const auto tokens = JSONFormatter::tokenize(units, 7);
    check((tokens && JSONReference::isValidTokenSequence(*tokens)) == unitsValid);
    if (tokens) {
        qsizetype previous = 7;
        for (const JSONToken& token : *tokens) {
            check(previous <= token.range.lower && token.range.lower < token.range.upper);
            previous = token.range.upper;
        }
        check(previous <= units.size() + 7);
    }

    const auto printed = JSONFormatter::prettyPrintUTF8(bytes, 4);
    if (printed) {
        check(JSONFormatter::isValid(QByteArrayView(*printed)));
        check(JSONFormatter::prettyPrintUTF8(*printed, 4) == printed);
        // Only layout changes: what is left once blanks are taken out is the input's, up to the
        // white space trimmed off its ends.
        const QByteArray compact = JSONReference::withoutLayout(*printed);
        const QByteArray compactInput = JSONReference::withoutLayout(bytes);
        const qsizetype at = compactInput.indexOf(compact);
        check(at >= 0);
        const QByteArray around = compactInput.first(at) + compactInput.sliced(at + compact.size());
        for (const char c : around)
            check(c < 0x21 || c > 0x7e);
        check(!printed->endsWith('\n'));
    }
    // Valid bytes that begin with a bracket always print: the input is small, so is the output.
    const QByteArrayView trimmed = bytes.trimmed();
    if (valid && (trimmed.startsWith('{') || trimmed.startsWith('[')))
        check(printed.has_value());

    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(bytes);
    const auto printedText = JSONFormatter::prettyPrint(text, 2);
    check(printedText.has_value() == JSONFormatter::prettyPrintUTF8(text.toUtf8(), 2).has_value());
    if (printedText)
        check(JSONFormatter::isValid(*printedText));
    return 0;
}
