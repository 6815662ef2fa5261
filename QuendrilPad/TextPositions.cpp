#include "QuendrilPad/TextPositions.h"

#include <Qsci/qsciscintillabase.h>

#include <algorithm>

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

long sci(const QsciScintillaBase* editor, unsigned int message, qsizetype w = 0, qsizetype l = 0)
{
    return editor->SendScintilla(message, static_cast<unsigned long>(w), static_cast<long>(l));
}

} // namespace

TextPositions::TextPositions(QsciScintillaBase* editor)
    : m_editor(editor)
{
}

void TextPositions::rebuildIndex()
{
    // The index is kept while anyone holds it: released and taken again, it is built afresh.
    sci(m_editor, QsciScintillaBase::SCI_RELEASELINECHARACTERINDEX,
        QsciScintillaBase::SC_LINECHARACTERINDEX_UTF16);
    sci(m_editor, QsciScintillaBase::SCI_ALLOCATELINECHARACTERINDEX,
        QsciScintillaBase::SC_LINECHARACTERINDEX_UTF16);
}

qsizetype TextPositions::unitsIn(const char* bytes, qsizetype length)
{
    qsizetype units = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!isContinuation(byte))
            units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

qsizetype TextPositions::lineStartUnits(qsizetype line) const
{
    return sci(m_editor, QsciScintillaBase::SCI_INDEXPOSITIONFROMLINE, line,
               QsciScintillaBase::SC_LINECHARACTERINDEX_UTF16);
}

qsizetype TextPositions::toUnits(qsizetype bytePosition) const
{
    const qsizetype length = sci(m_editor, QsciScintillaBase::SCI_GETLENGTH);
    bytePosition = std::clamp<qsizetype>(bytePosition, 0, length);
    const qsizetype line = sci(m_editor, QsciScintillaBase::SCI_LINEFROMPOSITION, bytePosition);
    const qsizetype start = sci(m_editor, QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const qsizetype count = bytePosition - start;
    const char* bytes =
        count > 0 ? reinterpret_cast<const char*>(
                        sci(m_editor, QsciScintillaBase::SCI_GETRANGEPOINTER, start, count))
                  : nullptr;
    return lineStartUnits(line) + (bytes ? unitsIn(bytes, count) : 0);
}

qsizetype TextPositions::toBytes(qsizetype unitPosition) const
{
    if (unitPosition <= 0)
        return 0;
    const qsizetype lineCount = sci(m_editor, QsciScintillaBase::SCI_GETLINECOUNT);
    qsizetype line = sci(m_editor, QsciScintillaBase::SCI_LINEFROMINDEXPOSITION, unitPosition,
                         QsciScintillaBase::SC_LINECHARACTERINDEX_UTF16);
    line = std::clamp<qsizetype>(line, 0, lineCount - 1);
    const qsizetype start = sci(m_editor, QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    const qsizetype end =
        line + 1 < lineCount
            ? qsizetype(sci(m_editor, QsciScintillaBase::SCI_POSITIONFROMLINE, line + 1))
            : qsizetype(sci(m_editor, QsciScintillaBase::SCI_GETLENGTH));
    qsizetype wanted = unitPosition - lineStartUnits(line);
    if (end <= start || wanted <= 0)
        return start;
    const auto* bytes = reinterpret_cast<const unsigned char*>(
        sci(m_editor, QsciScintillaBase::SCI_GETRANGEPOINTER, start, end - start));
    qsizetype i = 0;
    while (i < end - start) {
        const qsizetype width = bytes[i] >= 0xF0 ? 2 : 1;
        if (wanted < width)
            break;
        wanted -= width;
        ++i;
        while (i < end - start && isContinuation(bytes[i]))
            ++i;
        if (wanted == 0)
            break;
    }
    return start + i;
}

qsizetype TextPositions::unitLength() const
{
    return toUnits(sci(m_editor, QsciScintillaBase::SCI_GETLENGTH));
}
