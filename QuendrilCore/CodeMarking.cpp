#include "QuendrilCore/CodeMarking.h"

#include "QuendrilCore/FencedBlocks.h"
#include "QuendrilCore/LineEditing.h"

namespace CodeMarking {

std::optional<FencedBlock> block(TextRange selection, QStringView text)
{
    const qsizetype s = selection.lower;
    for (const FencedBlock& b : FencedBlocks::find(text)) {
        const qsizetype end = b.closeFence ? b.closeFence->end() : b.body.end();
        if (b.openFence.location <= s && s <= end)
            return b;
    }
    return std::nullopt;
}

EditResult mark(QStringView text, TextRange selection, CodeLanguage language)
{
    QString fence = QStringLiteral("```");
    fence.append(codeLanguageValue(language));
    if (const auto b = block(selection, text)) {
        const qsizetype shift = fence.size() - b->openFence.length;
        return {{b->openFence.range(), fence}, {b->body.location + shift, b->body.end() + shift}};
    }
    const TextRange lines = LineEditing::linesBlock(text, selection);
    QString body = text.sliced(lines.lower, lines.length()).toString();
    QStringView closing = u"```\n";
    if (!body.endsWith(u'\n')) {
        body.append(u'\n');
        closing = u"```";
    }
    const qsizetype bodyStart = lines.lower + fence.size() + 1;
    QString replacement = fence;
    replacement.append(u'\n').append(body).append(closing);
    return {{lines, replacement}, {bodyStart, bodyStart + body.size()}};
}

std::optional<EditResult> removeMarkers(QStringView text, TextRange selection)
{
    const auto b = block(selection, text);
    if (!b)
        return std::nullopt;
    const qsizetype start = LineEditing::lineRange(text, b->openFence.location).lower;
    QStringView body = text.sliced(b->body.location, b->body.length);
    qsizetype end = b->body.end();
    if (b->closeFence) {
        const TextRange closingLine = LineEditing::lineRange(text, b->closeFence->location);
        end = closingLine.upper;
        const bool closingEndsWithLF = !closingLine.isEmpty() && text[end - 1] == u'\n';
        if (!closingEndsWithLF && body.endsWith(u'\n'))
            body.chop(body.endsWith(u"\r\n") ? 2 : 1);
    }
    return EditResult{{{start, end}, body.toString()}, {start, start + body.size()}};
}

} // namespace CodeMarking
