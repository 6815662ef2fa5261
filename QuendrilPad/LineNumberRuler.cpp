#include "QuendrilPad/LineNumberRuler.h"

#include "QuendrilPad/QuendrilTextView.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

LineNumberRuler::LineNumberRuler(QuendrilTextView* textView)
    : m_textView(textView)
    , m_numberFont(QFontDatabase::systemFont(QFontDatabase::FixedFont))
    , m_numberColor(Qt::gray)
    , m_gutterColor(Qt::white)
{
    m_numberFont.setPointSizeF(12);
    m_textView->setMarginType(0, QsciScintilla::NumberMargin);
    m_textView->setMarginWidth(0, 0);
}

void LineNumberRuler::textEdited(TextSpan editedRange, qsizetype changeInLength)
{
    if (!m_linesValid || !m_textView)
        return;
    m_lines.update(editedRange, changeInLength, m_textView->storage());
    updateThickness();
}

const LineIndex& LineNumberRuler::currentLines()
{
    if (!m_linesValid && m_textView) {
        m_lines.rebuild(m_textView->storage());
        m_linesValid = true;
        updateThickness();
    }
    return m_lines;
}

void LineNumberRuler::updateThickness()
{
    qsizetype count = m_lines.lineCount();
    int digits = 1;
    while (count >= 10) {
        count /= 10;
        ++digits;
    }
    const double width =
        QFontMetricsF(m_numberFont).horizontalAdvance(QLatin1Char('8')) * std::max(digits, 2) + 20;
    if (std::abs(width - m_thickness) > 0.5) {
        m_thickness = int(std::lround(width));
        if (m_visible && m_textView)
            m_textView->setMarginWidth(0, m_thickness);
    }
}

void LineNumberRuler::applyStyle()
{
    if (!m_textView)
        return;
    m_textView->setMarginsFont(m_numberFont);
    m_textView->setMarginsForegroundColor(m_numberColor);
    m_textView->setMarginsBackgroundColor(m_gutterColor);
}

std::optional<double> LineNumberRuler::numberBaseline(qsizetype lineStart) const
{
    if (!m_textView)
        return std::nullopt;
    // Scintilla draws every line, and the number beside it, at the line's top plus the extra
    // ascent plus the largest font ascent, which it truncates to whole pixels.
    const qsizetype byte = m_textView->positions().toBytes(lineStart);
    const long top = m_textView->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL,
                                               static_cast<long>(byte));
    const long extra = m_textView->SendScintilla(QsciScintillaBase::SCI_GETEXTRAASCENT);
    const double ascent = std::max(std::floor(QFontMetricsF(m_textFont).ascent()),
                                   std::floor(QFontMetricsF(m_numberFont).ascent()));
    return double(top + extra) + ascent;
}

void LineNumberRuler::setNumberFont(const QFont& font)
{
    m_numberFont = font;
    applyStyle();
    if (m_linesValid)
        updateThickness();
}

void LineNumberRuler::setNumberColor(const QColor& color)
{
    m_numberColor = color;
    applyStyle();
}

void LineNumberRuler::setGutterColor(const QColor& color)
{
    m_gutterColor = color;
    applyStyle();
}

void LineNumberRuler::setVisible(bool visible)
{
    m_visible = visible;
    if (!m_textView)
        return;
    if (visible) {
        currentLines();
        m_textView->setMarginWidth(0, m_thickness);
    } else {
        m_textView->setMarginWidth(0, 0);
    }
}
