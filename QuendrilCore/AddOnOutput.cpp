#include "QuendrilCore/AddOnOutput.h"

#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/LineEditing.h"

#include <QStringDecoder>

Result<QString, AddOnOutput::Problem> AddOnOutput::clean(QByteArrayView output)
{
    // Stateless: a sequence cut off at the end is an error too. A leading byte order mark is
    // kept as the character it is rather than silently dropped.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(output);
    if (decoder.hasError())
        return unexpected(Problem::notText);

    text.replace(u"\r\n"_qs, u"\n"_qs);
    text.replace(u'\r', u'\n');
    for (QChar unit : std::as_const(text)) {
        if (unit.category() == QChar::Other_Control && unit != u'\t' && unit != u'\n')
            return unexpected(Problem::controlCharacter);
    }
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u'\n')
        --end;
    text.truncate(end);

    if (std::optional<QString> pretty = JSONFormatter::prettyPrint(text, 4))
        return std::move(*pretty);
    return text;
}

std::optional<EditResult> AddOnOutput::insert(QStringView output, TextRange under, QStringView text)
{
    if (output.isEmpty())
        return std::nullopt;

    qsizetype anchor = under.lower;
    if (!under.isEmpty())
        anchor = text[under.upper - 1] == u'\n' ? under.upper - 1 : under.upper;
    const TextRange line = LineEditing::lineRange(text, anchor);
    // Before the line's terminator, so that it stays after the output: for CR LF that is between
    // the two, which ends the line just the same.
    const qsizetype point =
        line.upper -
        (!line.isEmpty() && LineEditing::isLineTerminator(text[line.upper - 1]) ? 1 : 0);
    const QString indent = LineEditing::leadingWhitespace(text, line.lower, line.upper);

    QString replacement;
    replacement.reserve(output.size() + 1 + indent.size() * (output.count(u'\n') + 1));
    for (QStringView piece : output.tokenize(u'\n')) {
        replacement += u'\n';
        if (!piece.isEmpty())
            replacement += indent;
        replacement += piece;
    }
    const qsizetype caret = point + replacement.size();
    return EditResult{TextEdit{{point, point}, std::move(replacement)}, {caret, caret}};
}
