#include "QuendrilCore/FencedBlocks.h"

#include "QuendrilCore/LineEditing.h"

namespace FencedBlocks {

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The line's content without its trailing CR and LF units and its surrounding spaces and tabs.
TextSpan trimmedContent(QStringView text, TextRange line)
{
    qsizetype lower = line.lower, upper = line.upper;
    while (upper > lower && (text[upper - 1] == u'\n' || text[upper - 1] == u'\r'))
        --upper;
    while (lower < upper && isSpaceOrTab(text[lower]))
        ++lower;
    while (upper > lower && isSpaceOrTab(text[upper - 1]))
        --upper;
    return {lower, upper - lower};
}

qsizetype backtickRun(QStringView content)
{
    qsizetype n = 0;
    while (n < content.size() && content[n] == u'`')
        ++n;
    return n;
}

} // namespace

QList<FencedBlock> find(QStringView text)
{
    QList<FencedBlock> blocks;
    std::optional<FencedBlock> open;
    for (qsizetype position = 0; position < text.size();) {
        const TextRange line = LineEditing::lineRange(text, position);
        position = line.upper;
        const TextSpan fence = trimmedContent(text, line);
        const QStringView content = text.sliced(fence.location, fence.length);
        const qsizetype run = backtickRun(content);
        if (run < 3)
            continue;
        if (!open) {
            open = FencedBlock{language(content.sliced(run).trimmed()), fence, {line.upper, 0}, {}};
        } else if (run == content.size()) {
            open->body.length = line.lower - open->body.location;
            open->closeFence = fence;
            blocks.append(*open);
            open.reset();
        }
    }
    if (open) {
        open->body.length = text.size() - open->body.location;
        blocks.append(*open);
    }
    return blocks;
}

std::optional<CodeLanguage> language(QStringView afterBackticks)
{
    const auto pieces = afterBackticks.split(u' ', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    const QString word = pieces.front().toString().toLower();
    if (word == u"bash" || word == u"sh" || word == u"shell" || word == u"zsh")
        return CodeLanguage::bash;
    if (word == u"sql")
        return CodeLanguage::sql;
    return std::nullopt;
}

} // namespace FencedBlocks
