#include "QuendrilCore/LineIndex.h"

#include <algorithm>

namespace {

// The LF scan walks the range in blocks of this many code units; each block is searched with
// the vectorised character search.
constexpr qsizetype scanBlock = 4096;

void appendNewlineStarts(QStringView text, TextSpan range, QList<qsizetype>& out)
{
    const qsizetype end = std::min(range.end(), text.size());
    for (qsizetype blockStart = std::max<qsizetype>(range.location, 0); blockStart < end;
         blockStart += scanBlock) {
        const QStringView block = text.sliced(blockStart, std::min(scanBlock, end - blockStart));
        for (qsizetype at = block.indexOf(u'\n'); at >= 0; at = block.indexOf(u'\n', at + 1))
            out.append(blockStart + at + 1);
    }
}

} // namespace

LineIndex::LineIndex(QStringView text)
{
    rebuild(text);
}

qsizetype LineIndex::lineNumber(qsizetype position) const
{
    return std::upper_bound(m_starts.cbegin(), m_starts.cend(), position) - m_starts.cbegin();
}

qsizetype LineIndex::lineStart(qsizetype position) const
{
    if (m_starts.isEmpty())
        return 0;
    return m_starts[std::max<qsizetype>(lineNumber(position) - 1, 0)];
}

void LineIndex::rebuild(QStringView text)
{
    m_starts.clear();
    m_starts.append(0);
    appendNewlineStarts(text, {0, text.size()}, m_starts);
}

void LineIndex::update(TextSpan editedRange, qsizetype changeInLength, QStringView text)
{
    const qsizetype location = editedRange.location;
    const qsizetype oldEnd = editedRange.end() - changeInLength;
    const auto begin = m_starts.begin();
    const qsizetype i = std::upper_bound(begin, m_starts.end(), location) - begin;
    const qsizetype j = std::upper_bound(begin + i, m_starts.end(), oldEnd) - begin;

    QList<qsizetype> inserted;
    appendNewlineStarts(text, editedRange, inserted);

    // Reuse the removed slots for the new entries, then move the tail only once.
    const qsizetype reused = std::min(j - i, inserted.size());
    std::copy_n(inserted.cbegin(), reused, m_starts.begin() + i);
    if (j - i > reused)
        m_starts.remove(i + reused, j - i - reused);
    else if (inserted.size() > reused)
        m_starts.insert(i + reused, inserted.size() - reused, 0);
    std::copy(inserted.cbegin() + reused, inserted.cend(), m_starts.begin() + i + reused);

    if (changeInLength != 0) {
        qsizetype* tail = m_starts.data() + i + inserted.size();
        qsizetype* const stop = m_starts.data() + m_starts.size();
        for (; tail != stop; ++tail)
            *tail += changeInLength;
    }
}

QList<qsizetype> LineIndex::newlineStarts(QStringView text, TextSpan range)
{
    QList<qsizetype> starts;
    appendNewlineStarts(text, range, starts);
    return starts;
}
