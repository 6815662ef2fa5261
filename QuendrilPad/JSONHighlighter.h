#pragma once

#include "QuendrilCore/CodeToken.h"
#include "QuendrilCore/JSONToken.h"
#include "QuendrilCore/TextRange.h"
#include "QuendrilCore/Theme.h"

#include <QList>
#include <QPointer>
#include <QTimer>

#include <optional>

class QuendrilTextView;

// Colours JSON values, fenced bash and sql blocks and links with Scintilla styles and
// indicators, which live outside the text, the undo history and the sheet's dirty state. The
// whole text is tokenized once after changes settle; only a window around the visible range is
// coloured, and scrolling inside that window costs nothing.
class JSONHighlighter {
public:
    // Style numbers; 0 is the plain text.
    enum Style : int {
        plain = 0,
        jsonKey,
        jsonString,
        jsonNumber,
        jsonLiteral,
        jsonPunctuation,
        jsonBracket,
        codeKeyword,
        codeCommand,
        codeComment,
        codeVariable,
        // Plain-looking styles that cut very long lines into short pieces (below).
        layoutPieceFirst,
        layoutPieceLast = layoutPieceFirst + 2,
        styleCount
    };
    // Indicators: the link's underline and its colour.
    static constexpr int linkUnderlineIndicator = 8;
    static constexpr int linkColorIndicator = 9;
    // Sheets longer than this get links only.
    static constexpr qsizetype largeTextLimit = 5'000'000;
    // Lines longer than this (UTF-8 bytes) get no colours or links. Scintilla lays out a whole
    // line on every change of it and caches the widths of pieces under 30 bytes of one style
    // only, so such a line is cut into pieces of 8 to 24 bytes in plain-looking styles; where a
    // piece ends depends only on the few bytes before it, so after an edit all pieces but those
    // at the edit are the same and their widths come from the cache.
    static constexpr qsizetype longLineLimit = 20'000;
    static constexpr int maxLayoutPiece = 24;

    JSONHighlighter(QuendrilTextView* textView, const Theme& theme);

    // Runs `run` after `seconds`, replacing any pending run.
    void schedule(double seconds);
    // Tokenizes if needed and colours the window around the visible range.
    void run();
    // The text changed: tokens are stale and nothing is known to be coloured.
    void textChanged();
    // A new theme: colours are redone, tokens kept.
    void setTheme(const Theme& theme);

    bool tokensValid() const { return m_tokensValid; }
    std::optional<TextRange> colored() const { return m_colored; }
    bool isPending() const { return m_pending.isActive(); }
    // The visible range of the view in UTF-16 units.
    TextRange visibleRange() const;
    // Cuts every long line of the view's text into pieces; a load does this before anything
    // lays the text out, so that not even the first layout of a long line goes without them.
    void prepareLongLines();

private:
    void tokenize();
    void colorWindow(TextRange window);
    void styleLinks(TextRange window);
    void setLinkIndicators(unsigned int message, qsizetype from, qsizetype length);
    void clearStyles(TextRange range);
    void defineStyles();
    void prepareLongLines(TextRange window);
    void prepareLongLines(long firstLine, long lastLine);

    QPointer<QuendrilTextView> m_textView;
    Theme m_theme;
    QList<JSONToken> m_tokens;
    QList<CodeToken> m_codeTokens;
    bool m_tokensValid = false;
    std::optional<TextRange> m_colored;
    QTimer m_pending;
    qsizetype m_positionCacheSize = 1024;
};
