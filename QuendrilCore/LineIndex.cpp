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

QList<qsizetype> LineIndex::starts() const
{
    if (m_shift == 0)
        return m_starts;
    QList<qsizetype> result = m_starts;
    for (qsizetype k = m_shiftFrom; k < result.size(); ++k)
        result[k] += m_shift;
    return result;
}

bool LineIndex::operator==(const LineIndex& other) const
{
    if (lineCount() != other.lineCount())
        return false;
    for (qsizetype k = 0; k < lineCount(); ++k) {
        if (entry(k) != other.entry(k))
            return false;
    }
    return true;
}

qsizetype LineIndex::firstAfter(qsizetype position, qsizetype from) const
{
    qsizetype low = from, high = m_starts.size();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (entry(middle) <= position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype LineIndex::lineNumber(qsizetype position) const
{
    return firstAfter(position);
}

qsizetype LineIndex::lineStart(qsizetype position) const
{
    if (m_starts.isEmpty())
        return 0;
    return entry(std::max<qsizetype>(lineNumber(position) - 1, 0));
}

void LineIndex::rebuild(QStringView text)
{
    m_starts.clear();
    m_starts.append(0);
    appendNewlineStarts(text, {0, text.size()}, m_starts);
    m_shiftFrom = m_starts.size();
    m_shift = 0;
}

void LineIndex::moveShiftTo(qsizetype index)
{
    if (m_shift != 0) {
        qsizetype* data = m_starts.data();
        for (qsizetype k = m_shiftFrom; k < index; ++k)
            data[k] += m_shift;
        for (qsizetype k = index; k < m_shiftFrom; ++k)
            data[k] -= m_shift;
    }
    m_shiftFrom = index;
}

void LineIndex::update(TextSpan editedRange, qsizetype changeInLength, QStringView text)
{
    const qsizetype location = editedRange.location;
    const qsizetype oldEnd = editedRange.end() - changeInLength;
    const qsizetype i = firstAfter(location);
    const qsizetype j = firstAfter(oldEnd, i);

    // Entries from j on move by the change: fold it into the pending shift starting there.
    moveShiftTo(j);
    m_shift += changeInLength;

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
    m_shiftFrom = i + inserted.size();
}

QList<qsizetype> LineIndex::newlineStarts(QStringView text, TextSpan range)
{
    QList<qsizetype> starts;
    appendNewlineStarts(text, range, starts);
    return starts;
}
