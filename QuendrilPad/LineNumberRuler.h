#pragma once

#include "QuendrilCore/LineIndex.h"
#include "QuendrilCore/TextSpan.h"

#include <QColor>
#include <QFont>
#include <QPointer>

#include <optional>

class QuendrilTextView;

// The line numbers beside the text: Scintilla's number margin, styled from the theme, and the
// line index (LF lines) that the caret's line and column and "go to line" read. The index is
// built on first use and then kept up to date edit by edit.
class LineNumberRuler {
public:
    explicit LineNumberRuler(QuendrilTextView* textView);

    // Brings the index up to date after one change, if it is built.
    void textEdited(TextSpan editedRange, qsizetype changeInLength);
    // The index, built first when it is not valid.
    const LineIndex& currentLines();
    // Forgets the index (after a load or a settings change).
    void invalidate() { m_linesValid = false; }
    bool isValid() const { return m_linesValid; }

    // The baseline, in the ruler's (the viewport's) coordinates, of the line starting at
    // `lineStart`; the number of that line is drawn on it. None without a text view.
    std::optional<double> numberBaseline(qsizetype lineStart) const;

    void setNumberFont(const QFont& font);
    // The font of the text, whose ascent places the baseline.
    void setTextFont(const QFont& font) { m_textFont = font; }
    void setNumberColor(const QColor& color);
    void setGutterColor(const QColor& color);
    const QFont& numberFont() const { return m_numberFont; }
    // Shows or hides the margin.
    void setVisible(bool visible);
    bool isVisible() const { return m_visible; }
    // The margin's width: the width of "8" times max(digits of the line count, 2), plus 20.
    int thickness() const { return m_thickness; }

private:
    void updateThickness();
    void applyStyle();

    QPointer<QuendrilTextView> m_textView;
    LineIndex m_lines;
    bool m_linesValid = false;
    QFont m_numberFont;
    QFont m_textFont;
    QColor m_numberColor;
    QColor m_gutterColor;
    bool m_visible = false;
    int m_thickness = 40;
};
