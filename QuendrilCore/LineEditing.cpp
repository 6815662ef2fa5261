#include "QuendrilCore/LineEditing.h"

namespace LineEditing {

namespace {

constexpr char16_t LF = u'\n';
constexpr char16_t CR = u'\r';

bool endsWithNewline(QStringView line)
{
    return !line.isEmpty() && (line.back() == LF || line.back() == CR);
}

// The start of the line holding `position` in a text whose units before `position` are those of
// `before` and whose unit at `position` is LF exactly when `lfAtPosition` (so a text after an edit
// can be asked without being built).
qsizetype lineStartWith(QStringView before, qsizetype position, bool lfAtPosition)
{
    for (qsizetype i = position; i > 0; --i) {
        const QChar unit = before[i - 1];
        if (!isLineTerminator(unit))
            continue;
        // A CR whose LF follows ends its terminator one unit later, inside the line.
        if (unit == CR && i == position && lfAtPosition)
            continue;
        return i;
    }
    return 0;
}

// Drops the last character of a line's text, counting a final CR LF as one.
QString withoutLastCharacter(QStringView line)
{
    if (line.endsWith(u"\r\n"))
        return line.chopped(2).toString();
    return line.isEmpty() ? QString() : line.chopped(1).toString();
}

qsizetype count(const QList<qsizetype>& sorted, qsizetype below)
{
    return std::lower_bound(sorted.begin(), sorted.end(), below) - sorted.begin();
}

} // namespace

bool isLineTerminator(QChar unit)
{
    const char16_t c = unit.unicode();
    return c == LF || c == CR || c == 0x85 || c == 0x2028 || c == 0x2029;
}

TextRange lineRange(QStringView text, qsizetype position)
{
    const qsizetype length = text.size();
    const bool lfAt = position < length && text[position] == LF;
    const qsizetype start = lineStartWith(text, position, lfAt);
    for (qsizetype j = position; j < length; ++j) {
        const QChar unit = text[j];
        if (!isLineTerminator(unit))
            continue;
        if (unit == CR && j + 1 < length && text[j + 1] == LF)
            return {start, j + 2};
        return {start, j + 1};
    }
    return {start, length};
}

TextRange linesTouched(QStringView text, TextRange range)
{
    if (range.isEmpty())
        return lineRange(text, range.lower);
    return {lineRange(text, range.lower).lower, lineRange(text, range.upper - 1).upper};
}

TextRange linesBlock(QStringView text, TextRange selection)
{
    qsizetype end = selection.upper;
    if (selection.lower < end && end <= text.size() && (text[end - 1] == LF || text[end - 1] == CR))
        end -= 1;
    return linesTouched(text, {selection.lower, end});
}

QList<qsizetype> lineStarts(QStringView text, TextRange block)
{
    QList<qsizetype> starts{block.lower};
    qsizetype current = block.lower;
    for (;;) {
        const TextRange line = lineRange(text, current);
        if (line.upper >= block.upper || line.isEmpty())
            break;
        starts.append(line.upper);
        current = line.upper;
    }
    return starts;
}

QString leadingWhitespace(QStringView text, qsizetype lineStart, qsizetype limit)
{
    const qsizetype end = std::min(limit, text.size());
    qsizetype i = lineStart;
    while (i < end && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    return i > lineStart ? text.sliced(lineStart, i - lineStart).toString() : QString();
}

TextRange selectLine(QStringView text, TextRange selection)
{
    const TextRange block = linesBlock(text, selection);
    if (selection != block)
        return block;
    if (!selection.isEmpty() && selection.upper < text.size())
        return {selection.lower, lineRange(text, selection.upper).upper};
    return selection;
}

EditResult duplicateLine(QStringView text, TextRange selection)
{
    if (!selection.isEmpty()) {
        const qsizetype a = selection.lower, b = selection.upper;
        return {{{b, b}, text.sliced(a, b - a).toString()}, {b, b + (b - a)}};
    }
    const qsizetype p = selection.lower;
    const TextRange line = lineRange(text, p);
    const QStringView lineText = text.sliced(line.lower, line.length());
    const qsizetype e = line.upper;
    if (endsWithNewline(lineText)) {
        const qsizetype caret = p + line.length();
        return {{{e, e}, lineText.toString()}, {caret, caret}};
    }
    const qsizetype caret = p + line.length() + 1;
    return {{{e, e}, QString(u'\n' + lineText)}, {caret, caret}};
}

EditResult deleteLine(QStringView text, TextRange selection)
{
    const TextRange block = linesBlock(text, selection);
    qsizetype s = block.lower;
    const qsizetype e = block.upper;
    const QStringView blockText = text.sliced(s, block.length());
    if ((blockText.isEmpty() || !endsWithNewline(blockText)) && s > 0) {
        // The break before the last line goes with it, both units of a CR LF pair, so that
        // no lone CR is left behind as an empty line.
        s -= (s >= 2 && text.sliced(s - 2, 2) == u"\r\n") ? 2 : 1;
    }
    // After the deletion the units before s are unchanged and the unit at s is the old one at e.
    const bool lfAfter = e < text.size() && text[e] == LF;
    const qsizetype caret = lineStartWith(text, s, lfAfter);
    return {{{s, e}, QString()}, {caret, caret}};
}

std::optional<EditResult> moveLines(QStringView text, TextRange selection, bool up)
{
    const TextRange block = linesBlock(text, selection);
    const qsizetype s = block.lower, e = block.upper;
    const QStringView blockText = text.sliced(s, block.length());
    const bool blockEndsWithNewline = endsWithNewline(blockText);
    if (up) {
        if (s == 0)
            return std::nullopt;
        const TextRange previous = lineRange(text, s - 1);
        const QStringView previousText = text.sliced(previous.lower, previous.length());
        const QString replacement =
            blockEndsWithNewline ? QString(blockText + previousText)
                                 : QString(blockText + u'\n' + withoutLastCharacter(previousText));
        const qsizetype shift = previous.length();
        return EditResult{{{previous.lower, e}, replacement},
                          {selection.lower - shift, selection.upper - shift}};
    }
    if (!blockEndsWithNewline || e == text.size())
        return std::nullopt;
    const TextRange next = lineRange(text, e);
    QString nextText = text.sliced(next.lower, next.length()).toString();
    QString movedText = blockText.toString();
    if (!endsWithNewline(nextText)) {
        nextText.append(u'\n');
        movedText = withoutLastCharacter(blockText);
    }
    const qsizetype shift = nextText.size();
    // A selection that took in the dropped final break would reach past the moved text.
    const qsizetype movedEnd = s + shift + movedText.size();
    return EditResult{
        {{s, next.upper}, QString(nextText + movedText)},
        {std::min(selection.lower + shift, movedEnd), std::min(selection.upper + shift, movedEnd)}};
}

EditResult indent(QStringView text, TextRange selection)
{
    const TextRange block = linesBlock(text, selection);
    const QList<qsizetype> starts = lineStarts(text, block);
    QString replacement;
    replacement.reserve(block.length() + starts.size());
    for (qsizetype k = 0; k < starts.size(); ++k) {
        const qsizetype end = k + 1 < starts.size() ? starts[k + 1] : block.upper;
        replacement.append(u'\t');
        replacement.append(text.sliced(starts[k], end - starts[k]));
    }
    const auto map = [&](qsizetype p) {
        qsizetype mapped = p + count(starts, p);
        if (selection.isEmpty() && std::binary_search(starts.begin(), starts.end(), p))
            mapped += 1;
        return mapped;
    };
    return {{block, replacement}, {map(selection.lower), map(selection.upper)}};
}

EditResult outdent(QStringView text, TextRange selection, int tabWidth)
{
    const TextRange block = linesBlock(text, selection);
    const QList<qsizetype> starts = lineStarts(text, block);
    QString replacement;
    replacement.reserve(block.length());
    QList<TextRange> removed;
    for (qsizetype k = 0; k < starts.size(); ++k) {
        const qsizetype g = starts[k];
        const qsizetype h = k + 1 < starts.size() ? starts[k + 1] : block.upper;
        qsizetype n = 0;
        if (g < h && text[g] == u'\t') {
            n = 1;
        } else if (tabWidth >= 1) {
            while (n < tabWidth && g + n < h && text[g + n] == u' ')
                ++n;
        }
        if (n > 0)
            removed.append({g, g + n});
        replacement.append(text.sliced(g + n, h - g - n));
    }
    const auto map = [&](qsizetype p) {
        qsizetype mapped = p;
        for (const TextRange& prefix : removed) {
            if (prefix.lower >= p)
                break;
            mapped -= std::min(prefix.upper, p) - prefix.lower;
        }
        return mapped;
    };
    return {{block, replacement}, {map(selection.lower), map(selection.upper)}};
}

EditResult joinLines(QStringView text, TextRange selection)
{
    TextRange block = linesBlock(text, selection);
    const bool oneLine = lineStarts(text, block).size() == 1;
    if (oneLine) {
        const QStringView line = text.sliced(block.lower, block.length());
        if (line.isEmpty() || !endsWithNewline(line) || block.upper >= text.size())
            return {{{selection.lower, selection.lower}, QString()}, selection};
        block.upper = lineRange(text, block.upper).upper;
    }
    QStringView rest = text.sliced(block.lower, block.length());
    // The final line break, LF or CR LF, is kept as it was.
    QStringView finalBreak;
    if (rest.endsWith(u"\r\n"))
        finalBreak = rest.last(2);
    else if (rest.endsWith(LF))
        finalBreak = rest.last(1);
    rest.chop(finalBreak.size());

    QList<QStringView> pieces;
    for (qsizetype from = 0;;) {
        const qsizetype lf = rest.indexOf(LF, from);
        if (lf < 0) {
            pieces.append(rest.sliced(from));
            break;
        }
        QStringView piece = rest.sliced(from, lf - from);
        // A CR LF pair breaks the line as one; only a lone CR stays in the line's text.
        if (piece.endsWith(CR))
            piece.chop(1);
        pieces.append(piece);
        from = lf + 1;
    }
    QString joined = pieces.front().toString();
    for (qsizetype k = 1; k < pieces.size(); ++k) {
        QStringView piece = pieces[k];
        while (!piece.isEmpty() && (piece.front() == u' ' || piece.front() == u'\t'))
            piece = piece.sliced(1);
        if (!joined.isEmpty() && !piece.isEmpty())
            joined.append(u' ');
        joined.append(piece);
    }
    const qsizetype firstPieceLength = pieces.front().size();
    const qsizetype joinedLength = joined.size();
    joined.append(finalBreak);
    const qsizetype s = block.lower;
    if (oneLine && selection.isEmpty())
        return {{block, joined}, {s + firstPieceLength, s + firstPieceLength}};
    return {{block, joined}, {s, s + joinedLength}};
}

EditResult insertLine(QStringView text, TextRange selection, bool below)
{
    const TextRange line = lineRange(text, selection.lower);
    const QString ws = leadingWhitespace(text, line.lower, line.upper);
    if (below) {
        qsizetype end = line.upper;
        while (end > line.lower && (text[end - 1] == LF || text[end - 1] == CR))
            --end;
        const QString inserted = QString(u'\n' + ws);
        const qsizetype caret = end + inserted.size();
        return {{{end, end}, inserted}, {caret, caret}};
    }
    const qsizetype s = line.lower;
    const qsizetype caret = s + ws.size();
    return {{{s, s}, QString(ws + u'\n')}, {caret, caret}};
}

EditResult newline(QStringView text, TextRange selection)
{
    const qsizetype start = selection.lower;
    const QString ws = leadingWhitespace(text, lineRange(text, start).lower, start);
    const qsizetype caret = start + 1 + ws.size();
    return {{selection, QString(u'\n' + ws)}, {caret, caret}};
}

namespace {

// Whether [at, at + 2) holds one character of two units: a CR LF pair or a surrogate pair.
bool isPair(QStringView text, qsizetype at)
{
    if (at < 0 || at + 1 >= text.size())
        return false;
    return (text[at] == u'\r' && text[at + 1] == u'\n') ||
           (text[at].isHighSurrogate() && text[at + 1].isLowSurrogate());
}

std::optional<EditResult> removal(TextRange range)
{
    return EditResult{{range, QString()}, {range.lower, range.lower}};
}

} // namespace

std::optional<EditResult> deleteBackward(QStringView text, TextRange selection)
{
    if (!selection.isEmpty())
        return removal(selection);
    const qsizetype caret = selection.lower;
    if (caret <= 0)
        return std::nullopt;
    return removal({caret - (isPair(text, caret - 2) ? 2 : 1), caret});
}

std::optional<EditResult> deleteForward(QStringView text, TextRange selection)
{
    if (!selection.isEmpty())
        return removal(selection);
    const qsizetype caret = selection.lower;
    if (caret >= text.size())
        return std::nullopt;
    return removal({caret, caret + (isPair(text, caret) ? 2 : 1)});
}

} // namespace LineEditing
