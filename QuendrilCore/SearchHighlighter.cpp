#include "QuendrilCore/SearchHighlighter.h"

#include "QuendrilCore/TextFolding.h"

#include <QTextBoundaryFinder>

namespace {

constexpr qsizetype wholeLineLimit = 300;
constexpr qsizetype contextBefore = 60;
constexpr qsizetype contextAfter = 200;
const QString ellipsis = QStringLiteral("\u2026");

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// Moves `start` back and `end` forward to the edges of the composed characters they cut.
void widenToGraphemes(QStringView line, qsizetype& start, qsizetype& end)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line.data(), line.size());
    finder.setPosition(start);
    if (!finder.isAtBoundary())
        start = std::max<qsizetype>(0, finder.toPreviousBoundary());
    finder.setPosition(end);
    if (!finder.isAtBoundary()) {
        const qsizetype next = finder.toNextBoundary();
        end = next < 0 ? line.size() : next;
    }
}

} // namespace

namespace SearchHighlighter {

std::optional<SearchHit> firstMatch(QStringView text, const SearchQuery& query)
{
    if (query.isEmpty())
        return std::nullopt;
    const TextFolding::Mapped mapped = TextFolding::foldWithMap(text);
    qsizetype location = -1;
    qsizetype end = -1;
    for (const QString& term : query.terms) {
        if (term.isEmpty())
            continue;
        const qsizetype at = mapped.folded.indexOf(term);
        if (at < 0)
            continue;
        const qsizetype start = mapped.originStart[size_t(at)];
        if (location < 0 || start < location) {
            location = start;
            end = mapped.originEnd[size_t(at + term.size() - 1)];
        }
    }
    if (location < 0)
        return std::nullopt;

    qsizetype lineStart = location;
    while (lineStart > 0 && text[lineStart - 1] != u'\n')
        --lineStart;
    qsizetype lineEnd = location;
    while (lineEnd < text.size() && text[lineEnd] != u'\n')
        ++lineEnd;
    while (lineEnd > lineStart && isLineBreak(text[lineEnd - 1]))
        --lineEnd;
    const QStringView line = text.sliced(lineStart, lineEnd - lineStart);

    SearchHit hit;
    hit.location = location;
    hit.length = end - location;
    // A phrase may run past the line it starts on; the range shown stops with the line.
    const qsizetype inLine = location - lineStart;
    const qsizetype shownLength =
        std::max<qsizetype>(0, std::min(hit.length, line.size() - inLine));
    if (line.size() <= wholeLineLimit) {
        hit.line = line.toString();
        hit.rangeInLine = {inLine, shownLength};
        return hit;
    }
    qsizetype windowStart = std::max<qsizetype>(0, inLine - contextBefore);
    qsizetype windowEnd = std::min(line.size(), inLine + shownLength + contextAfter);
    widenToGraphemes(line, windowStart, windowEnd);
    const bool cutBefore = windowStart > 0;
    const bool cutAfter = windowEnd < line.size();
    hit.line = QString((cutBefore ? ellipsis : QString()) +
                       line.sliced(windowStart, windowEnd - windowStart) +
                       (cutAfter ? ellipsis : QString()));
    hit.rangeInLine = {inLine - windowStart + (cutBefore ? 1 : 0), shownLength};
    return hit;
}

} // namespace SearchHighlighter
