#include "QuendrilPad/JSONHighlighter.h"

#include "QuendrilCore/BashTokenizer.h"
#include "QuendrilCore/FencedBlocks.h"
#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/JSONRegions.h"
#include "QuendrilCore/LinkFinder.h"
#include "QuendrilCore/SQLTokenizer.h"
#include "QuendrilPad/QuendrilTextView.h"

#include <QColor>

#include <algorithm>

namespace {

QColor toColor(const RGBA& c)
{
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), float(c.a));
}

long sci(QuendrilTextView* view, unsigned int message, qsizetype w = 0, qsizetype l = 0)
{
    return view->SendScintilla(message, static_cast<unsigned long>(w), static_cast<long>(l));
}

// Walks forward through a text, keeping the UTF-8 byte position of a UTF-16 position, so that
// converting all the tokens of a window costs the window once.
class ByteCursor {
public:
    ByteCursor(QStringView text, qsizetype unit, qsizetype byte)
        : m_text(text)
        , m_unit(unit)
        , m_byte(byte)
    {
    }
    qsizetype advanceTo(qsizetype unit)
    {
        unit = std::min<qsizetype>(unit, m_text.size());
        while (m_unit < unit)
            m_byte += TextPositions::utf8Step(m_text, m_unit);
        return m_byte;
    }

private:
    QStringView m_text;
    qsizetype m_unit;
    qsizetype m_byte;
};

int jsonStyle(JSONTokenKind kind, bool isKey)
{
    switch (kind) {
    case JSONTokenKind::string:
        return isKey ? JSONHighlighter::jsonKey : JSONHighlighter::jsonString;
    case JSONTokenKind::number:
        return JSONHighlighter::jsonNumber;
    case JSONTokenKind::literal:
        return JSONHighlighter::jsonLiteral;
    case JSONTokenKind::colon:
    case JSONTokenKind::comma:
        return JSONHighlighter::jsonPunctuation;
    default:
        return JSONHighlighter::jsonBracket;
    }
}

int codeStyle(CodeTokenKind kind)
{
    switch (kind) {
    case CodeTokenKind::keyword:
        return JSONHighlighter::codeKeyword;
    case CodeTokenKind::command:
        return JSONHighlighter::codeCommand;
    case CodeTokenKind::string:
        return JSONHighlighter::jsonString;
    case CodeTokenKind::number:
        return JSONHighlighter::jsonNumber;
    case CodeTokenKind::comment:
        return JSONHighlighter::codeComment;
    case CodeTokenKind::variable:
        return JSONHighlighter::codeVariable;
    case CodeTokenKind::flag:
        return JSONHighlighter::jsonKey;
    case CodeTokenKind::operator_:
        return JSONHighlighter::jsonPunctuation;
    }
    return JSONHighlighter::plain;
}

// Styles for one long line: pieces of 8 to maxPiece bytes, each ending where a hash of its last
// four bytes says so (or at maxPiece), in one of the piece styles, never the same as the piece
// before. The pieces after an edit fall back into step within a few pieces.
QByteArray layoutPieces(const char* bytes, qsizetype length, int firstStyle, int maxPiece)
{
    QByteArray styles(length, char(firstStyle));
    quint32 window = 0;
    qsizetype pieceStart = 0;
    int previous = -1;
    const auto finish = [&](qsizetype end) {
        int style = int((quint32(window) * 2654435761u) >> 30) % 3;
        if (style == previous)
            style = (style + 1) % 3;
        std::fill(styles.begin() + pieceStart, styles.begin() + end, char(firstStyle + style));
        previous = style;
        pieceStart = end;
    };
    for (qsizetype i = 0; i < length; ++i) {
        window = (window << 8) | static_cast<unsigned char>(bytes[i]);
        const qsizetype piece = i + 1 - pieceStart;
        if (piece >= maxPiece || (piece >= 8 && ((window * 2654435761u) >> 29) == 0))
            finish(i + 1);
    }
    if (pieceStart < length)
        finish(length);
    return styles;
}

} // namespace

JSONHighlighter::JSONHighlighter(QuendrilTextView* textView, const Theme& theme)
    : m_textView(textView)
    , m_theme(theme)
{
    m_pending.setSingleShot(true);
    QObject::connect(&m_pending, &QTimer::timeout, [this] { run(); });
    defineStyles();
}

void JSONHighlighter::schedule(double seconds)
{
    m_pending.start(int(seconds * 1000));
}

void JSONHighlighter::textChanged()
{
    m_tokensValid = false;
    m_colored.reset();
}

void JSONHighlighter::setTheme(const Theme& theme)
{
    m_theme = theme;
    m_colored.reset();
    defineStyles();
}

void JSONHighlighter::defineStyles()
{
    QuendrilTextView* view = m_textView;
    if (!view)
        return;
    const auto fore = [&](int style, const RGBA& colour) {
        view->SendScintilla(QsciScintillaBase::SCI_STYLESETFORE, static_cast<unsigned long>(style),
                            toColor(colour));
    };
    fore(jsonKey, Theme::rgba(m_theme.jsonKey));
    fore(jsonString, Theme::rgba(m_theme.jsonString));
    fore(jsonNumber, Theme::rgba(m_theme.jsonNumber));
    fore(jsonLiteral, Theme::rgba(m_theme.jsonLiteral));
    fore(jsonPunctuation, Theme::rgba(m_theme.jsonPunctuation));
    fore(jsonBracket, Theme::rgba(m_theme.jsonBracket));
    fore(codeKeyword, m_theme.optionalColor(&Theme::codeKeyword, &Theme::jsonLiteral));
    fore(codeCommand, m_theme.optionalColor(&Theme::codeCommand, &Theme::jsonKey));
    fore(codeComment, m_theme.optionalColor(&Theme::codeComment, &Theme::jsonPunctuation));
    fore(codeVariable, m_theme.optionalColor(&Theme::codeVariable, &Theme::jsonNumber));
    sci(view, QsciScintillaBase::SCI_STYLESETITALIC, jsonLiteral, m_theme.jsonLiteralItalic);
    const QColor link = toColor(m_theme.linkColor());
    sci(view, QsciScintillaBase::SCI_INDICSETSTYLE, linkUnderlineIndicator,
        QsciScintillaBase::INDIC_PLAIN);
    view->SendScintilla(QsciScintillaBase::SCI_INDICSETFORE,
                        static_cast<unsigned long>(linkUnderlineIndicator), link);
    sci(view, QsciScintillaBase::SCI_INDICSETSTYLE, linkColorIndicator,
        QsciScintillaBase::INDIC_TEXTFORE);
    view->SendScintilla(QsciScintillaBase::SCI_INDICSETFORE,
                        static_cast<unsigned long>(linkColorIndicator), link);
}

TextRange JSONHighlighter::visibleRange() const
{
    QuendrilTextView* view = m_textView;
    if (!view)
        return {};
    // The corners of the viewport, not whole lines: the part of a very long line beside or below
    // the view is not visible, and the window grows by at least 20,000 units on each side anyway.
    const QRect area = view->viewport()->rect();
    const long first = sci(view, QsciScintillaBase::SCI_POSITIONFROMPOINT, 0, 0);
    const long last =
        sci(view, QsciScintillaBase::SCI_POSITIONFROMPOINT, area.width(), area.height());
    const qsizetype lower = view->positions().toUnits(std::min(first, last));
    const qsizetype upper = view->positions().toUnits(std::max(first, last));
    return {lower, upper};
}

void JSONHighlighter::clearStyles(TextRange range)
{
    QuendrilTextView* view = m_textView;
    const qsizetype from = view->positions().toBytes(range.lower);
    const qsizetype to = view->positions().toBytes(range.upper);
    if (to <= from)
        return;
    sci(view, QsciScintillaBase::SCI_STARTSTYLING, from, 0);
    sci(view, QsciScintillaBase::SCI_SETSTYLING, to - from, plain);
}

void JSONHighlighter::tokenize()
{
    const QString& text = m_textView->storage();
    m_tokens.clear();
    m_codeTokens.clear();
    QList<TextSpan> blockSpans;
    for (const FencedBlock& block : FencedBlocks::find(text)) {
        m_codeTokens.append(CodeToken{CodeTokenKind::comment, block.openFence});
        if (block.closeFence)
            m_codeTokens.append(CodeToken{CodeTokenKind::comment, *block.closeFence});
        if (block.language == CodeLanguage::bash)
            m_codeTokens.append(BashTokenizer::tokens(text, block.body));
        else if (block.language == CodeLanguage::sql)
            m_codeTokens.append(SQLTokenizer::tokens(text, block.body));
        const qsizetype end = block.closeFence ? block.closeFence->end() : block.body.end();
        blockSpans.append(TextSpan{block.openFence.location, end - block.openFence.location});
    }
    std::stable_sort(
        m_codeTokens.begin(), m_codeTokens.end(),
        [](const CodeToken& a, const CodeToken& b) { return a.range.location < b.range.location; });
    for (const TextRange& region : JSONRegions::find(text)) {
        const bool inBlock = std::any_of(blockSpans.begin(), blockSpans.end(), [&](TextSpan s) {
            return region.lower < s.end() && s.location < region.upper;
        });
        if (inBlock)
            continue;
        if (auto tokens = JSONFormatter::tokenize(
                QStringView(text).mid(region.lower, region.length()), region.lower))
            m_tokens.append(*tokens);
    }
    m_tokensValid = true;
    clearStyles({0, text.size()});
    setLinkIndicators(QsciScintillaBase::SCI_INDICATORCLEARRANGE, 0,
                      sci(m_textView, QsciScintillaBase::SCI_GETLENGTH));
    m_colored.reset();
}

void JSONHighlighter::run()
{
    m_pending.stop();
    QuendrilTextView* view = m_textView;
    if (!view)
        return;
    const QString& text = view->storage();
    const qsizetype n = text.size();
    const TextRange visible = visibleRange();
    const qsizetype grow = std::max<qsizetype>(2 * visible.length(), 20'000);
    const TextRange window{std::max<qsizetype>(0, visible.lower - grow),
                           std::min<qsizetype>(n, visible.upper + grow)};
    if (n > largeTextLimit) {
        // Colours of JSON or code exist only while the sheet was smaller; without them a clear of
        // the window is enough, and clearing millions of units after every edit would stall
        // typing for a quarter of a second.
        const bool whole = !m_tokens.isEmpty() || !m_codeTokens.isEmpty();
        clearStyles(whole ? TextRange{0, n} : window);
        m_tokens.clear();
        m_codeTokens.clear();
        m_tokensValid = true;
        styleLinks(window);
        prepareLongLines(window);
        m_colored.reset();
        return;
    }
    if (!m_tokensValid)
        tokenize();
    if (m_colored && m_colored->lower <= window.lower && window.upper <= m_colored->upper)
        return;
    colorWindow(window);
    prepareLongLines(window);
    m_colored = window;
}

void JSONHighlighter::prepareLongLines()
{
    QuendrilTextView* view = m_textView;
    if (!view)
        return;
    const QString& text = view->storage();
    // A line of more than longLineLimit bytes has more than a third as many UTF-16 units; the
    // candidates found by line feeds alone are checked against Scintilla's own lines.
    const qsizetype candidate = longLineLimit / 3;
    if (text.size() <= candidate)
        return;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        if (end - start > candidate)
            prepareLongLines(TextRange{start, end});
        start = end + 1;
    }
}

void JSONHighlighter::prepareLongLines(TextRange window)
{
    QuendrilTextView* view = m_textView;
    prepareLongLines(
        sci(view, QsciScintillaBase::SCI_LINEFROMPOSITION, view->positions().toBytes(window.lower)),
        sci(view, QsciScintillaBase::SCI_LINEFROMPOSITION,
            view->positions().toBytes(window.upper)));
}

void JSONHighlighter::prepareLongLines(long firstLine, long lastLine)
{
    QuendrilTextView* view = m_textView;
    lastLine = std::min(lastLine, sci(view, QsciScintillaBase::SCI_GETLINECOUNT) - 1);
    qsizetype longBytes = 0;
    for (long line = std::max(0L, firstLine); line <= lastLine; ++line) {
        const long start = sci(view, QsciScintillaBase::SCI_POSITIONFROMLINE, line);
        const long length = sci(view, QsciScintillaBase::SCI_GETLINEENDPOSITION, line) - start;
        if (length <= longLineLimit)
            continue;
        longBytes += length;
        const char* bytes = reinterpret_cast<const char*>(
            sci(view, QsciScintillaBase::SCI_GETRANGEPOINTER, start, length));
        const QByteArray styles = layoutPieces(bytes, length, layoutPieceFirst, maxLayoutPiece);
        sci(view, QsciScintillaBase::SCI_STARTSTYLING, start, 0);
        view->SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX,
                            static_cast<unsigned long>(styles.size()), styles.constData());
        setLinkIndicators(QsciScintillaBase::SCI_INDICATORCLEARRANGE, start, length);
    }
    // The cache is two-way associative: room for about twice the pieces, grown, never shrunk
    // (a new size empties it).
    const qsizetype wanted = std::min<qsizetype>(qsizetype(1) << 20, longBytes / 8);
    if (wanted > m_positionCacheSize) {
        qsizetype size = 1024;
        while (size < wanted)
            size *= 2;
        sci(view, QsciScintillaBase::SCI_SETPOSITIONCACHE, size);
        m_positionCacheSize = size;
    }
}

void JSONHighlighter::colorWindow(TextRange window)
{
    QuendrilTextView* view = m_textView;
    const QString& text = view->storage();
    const qsizetype n = text.size();
    const qsizetype byteStart = view->positions().toBytes(window.lower);
    ByteCursor end(text, window.lower, byteStart);
    const qsizetype byteEnd = end.advanceTo(window.upper);
    QByteArray styles(byteEnd - byteStart, char(plain));
    ByteCursor cursor(text, window.lower, byteStart);
    const auto paint = [&](qsizetype lower, qsizetype upper, int style) {
        lower = std::max(lower, window.lower);
        upper = std::min(upper, window.upper);
        if (upper <= lower)
            return;
        const qsizetype from = cursor.advanceTo(lower) - byteStart;
        const qsizetype to = cursor.advanceTo(upper) - byteStart;
        std::fill(styles.begin() + from, styles.begin() + to, char(style));
    };
    auto first =
        std::upper_bound(m_tokens.begin(), m_tokens.end(), window.lower,
                         [](qsizetype p, const JSONToken& t) { return p < t.range.upper; });
    for (auto it = first; it != m_tokens.end() && it->range.lower < window.upper; ++it) {
        if (it->range.upper > n)
            continue;
        const bool isKey = it->kind == JSONTokenKind::string && it + 1 != m_tokens.end() &&
                           (it + 1)->kind == JSONTokenKind::colon;
        paint(it->range.lower, it->range.upper, jsonStyle(it->kind, isKey));
    }
    // Code tokens come after, so they win where both apply; a new cursor, since they are in
    // their own order.
    cursor = ByteCursor(text, window.lower, byteStart);
    auto code = std::upper_bound(m_codeTokens.begin(), m_codeTokens.end(), window.lower,
                                 [](qsizetype p, const CodeToken& t) { return p < t.range.end(); });
    for (auto it = code; it != m_codeTokens.end() && it->range.location < window.upper; ++it) {
        if (it->range.end() > n)
            continue;
        paint(it->range.location, it->range.end(), codeStyle(it->kind));
    }
    if (!styles.isEmpty()) {
        sci(view, QsciScintillaBase::SCI_STARTSTYLING, byteStart, 0);
        view->SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX,
                            static_cast<unsigned long>(styles.size()), styles.constData());
    }
    styleLinks(window);
}

// Fills or clears (`message`) both link indicators over a byte range.
void JSONHighlighter::setLinkIndicators(unsigned int message, qsizetype from, qsizetype length)
{
    for (int indicator : {linkUnderlineIndicator, linkColorIndicator}) {
        sci(m_textView, QsciScintillaBase::SCI_SETINDICATORCURRENT, indicator);
        sci(m_textView, message, from, length);
    }
}

void JSONHighlighter::styleLinks(TextRange window)
{
    QuendrilTextView* view = m_textView;
    const QString& text = view->storage();
    const qsizetype byteStart = view->positions().toBytes(window.lower);
    ByteCursor end(text, window.lower, byteStart);
    const qsizetype byteEnd = end.advanceTo(window.upper);
    setLinkIndicators(QsciScintillaBase::SCI_INDICATORCLEARRANGE, byteStart, byteEnd - byteStart);
    ByteCursor cursor(text, window.lower, byteStart);
    for (const FoundLink& link : LinkFinder::links(text, TextSpan::of(window))) {
        const qsizetype from = cursor.advanceTo(link.range.location);
        const qsizetype to = cursor.advanceTo(link.range.end());
        setLinkIndicators(QsciScintillaBase::SCI_INDICATORFILLRANGE, from, to - from);
    }
}
