#include "QuendrilPad/TextViewEditor.h"

#include "QuendrilCore/ColorParser.h"
#include "QuendrilPad/FindBar.h"
#include "QuendrilPad/JSONHighlighter.h"
#include "QuendrilPad/LineNumberRuler.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/ThemeFonts.h"
#include "QuendrilPad/UndoHistory.h"

#include <QFontMetricsF>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int flashIndicator = 10;

QColor toColor(const RGBA& c)
{
    return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), float(c.a));
}

// Scintilla draws margins without transparency, so a translucent colour is mixed with the
// background it would be drawn over.
QColor over(const RGBA& top, double alpha, const RGBA& bottom)
{
    return QColor::fromRgbF(float(top.r * alpha + bottom.r * (1 - alpha)),
                            float(top.g * alpha + bottom.g * (1 - alpha)),
                            float(top.b * alpha + bottom.b * (1 - alpha)));
}

} // namespace

TextViewEditor::TextViewEditor(const Settings& settings, const Theme& theme, QWidget* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_theme(theme)
{
    m_container = new QWidget(parent);
    m_container->resize(800, 600);
    m_textView = new QuendrilTextView(m_container);
    m_findBar = new FindBar(m_textView, m_container);
    auto* layout = new QVBoxLayout(m_container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_findBar);
    layout->addWidget(m_textView, 1);
    m_ruler = std::make_unique<LineNumberRuler>(m_textView);
    m_highlighter = std::make_unique<JSONHighlighter>(m_textView, theme);

    QuendrilTextView* view = m_textView;
    view->isFindBarVisible = [this] { return !m_findBar->isHidden(); };
    view->hideFindBar = [this] { m_findBar->hideBar(); };
    view->onWillChangeText = [this](const TextEdit& edit) { willChange(edit); };
    view->onDidChangeText = [this](TextSpan edited, qsizetype changeInLength) {
        m_textView->addEditCount();
        m_ruler->textEdited(edited, changeInLength);
        m_highlighter->textChanged();
        m_highlighter->schedule(0.1);
        if (onDidChange)
            onDidChange();
    };
    view->onSelectionChanged = [this] {
        if (onSelectionChange)
            onSelectionChange();
    };
    view->onScrolled = [this] { m_highlighter->schedule(0); };
    apply(settings, theme);
}

TextViewEditor::~TextViewEditor()
{
    m_highlighter.reset();
    m_ruler.reset();
    if (m_container && !m_container->parent())
        delete m_container;
}

UndoHistory& TextViewEditor::undoManager() const
{
    return m_textView->undoHistory();
}

void TextViewEditor::setOnStatus(std::function<void(const QString&)> onStatus)
{
    m_onStatus = onStatus;
    m_textView->onStatus = std::move(onStatus);
}

const QString& TextViewEditor::storage() const
{
    return m_textView->storage();
}

void TextViewEditor::willChange(const TextEdit& edit)
{
    const UndoHistory& undo = m_textView->undoHistory();
    EditOrigin origin = EditOrigin::userInput;
    if (undo.isUndoing() || undo.isRedoing())
        origin = EditOrigin::undoRedo;
    else if (m_textView->commandDepth() > 0)
        origin = EditOrigin::command;
    if (onEdit)
        onEdit(edit, origin);
}

QSizeF TextViewEditor::inset(const Theme& theme)
{
    const double margin = theme.textMargin();
    const double width = margin;
    const double height =
        (!theme.margin || *theme.margin < 0) ? 8.0 : std::max(std::min(margin, 200.0) * 0.5, 8.0);
    return {width, height};
}

bool TextViewEditor::lightScrollerKnobs(const Theme& theme)
{
    const std::optional<RGBA> background = ColorParser::parse(theme.background);
    if (!background)
        return true;
    return 0.299 * background->r + 0.587 * background->g + 0.114 * background->b < 0.5;
}

// The platform style's scroll bars would keep the desktop's colours beside a themed text, so
// they are drawn as thin knobs that contrast with the theme's background.
void TextViewEditor::styleScrollBars(const Theme& theme)
{
    const QString knob = lightScrollerKnobs(theme) ? QStringLiteral("rgba(255, 255, 255, 0.35)")
                                                   : QStringLiteral("rgba(0, 0, 0, 0.35)");
    const QString track = toColor(Theme::rgba(theme.background)).name(QColor::HexArgb);
    const QString sheet =
        QStringLiteral("QScrollBar { background: %1; border: none; margin: 0; }"
                       "QScrollBar:vertical { width: 12px; }"
                       "QScrollBar:horizontal { height: 12px; }"
                       "QScrollBar::handle { background: %2; border-radius: 4px; margin: 2px; }"
                       "QScrollBar::handle:vertical { min-height: 24px; }"
                       "QScrollBar::handle:horizontal { min-width: 24px; }"
                       "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
                       "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
            .arg(track, knob);
    m_textView->verticalScrollBar()->setStyleSheet(sheet);
    m_textView->horizontalScrollBar()->setStyleSheet(sheet);
}

void TextViewEditor::apply(const Settings& settings, const Theme& theme)
{
    m_settings = settings;
    m_theme = theme;
    QuendrilTextView* view = m_textView;
    const RGBA background = Theme::rgba(theme.background);
    const RGBA foreground = Theme::rgba(theme.foreground);
    const auto send = [view](unsigned int message, qsizetype w, qsizetype l = 0) {
        view->SendScintilla(message, static_cast<unsigned long>(w), static_cast<long>(l));
    };

    const QFont font = ThemeFonts::font(theme, settings.fontFace, settings.fontSize);
    const QByteArray family = font.family().toUtf8();
    view->SendScintilla(QsciScintillaBase::SCI_STYLESETFONT,
                        static_cast<uintptr_t>(QsciScintillaBase::STYLE_DEFAULT),
                        family.constData());
    send(QsciScintillaBase::SCI_STYLESETSIZEFRACTIONAL, QsciScintillaBase::STYLE_DEFAULT,
         qsizetype(std::lround(font.pointSizeF() * 100)));
    send(QsciScintillaBase::SCI_STYLESETBOLD, QsciScintillaBase::STYLE_DEFAULT, font.bold());
    send(QsciScintillaBase::SCI_STYLESETITALIC, QsciScintillaBase::STYLE_DEFAULT, font.italic());
    view->SendScintilla(QsciScintillaBase::SCI_STYLESETBACK,
                        static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT),
                        toColor(background));
    view->SendScintilla(QsciScintillaBase::SCI_STYLESETFORE,
                        static_cast<unsigned long>(QsciScintillaBase::STYLE_DEFAULT),
                        toColor(foreground));
    send(QsciScintillaBase::SCI_STYLECLEARALL, 0);
    m_highlighter->setTheme(theme);

    view->SendScintilla(QsciScintillaBase::SCI_SETCARETFORE, toColor(Theme::rgba(theme.caret)));
    send(QsciScintillaBase::SCI_SETCARETWIDTH, 2);
    const RGBA selection = Theme::rgba(theme.selection);
    send(QsciScintillaBase::SCI_SETSELFORE, 0, 0);
    view->SendScintilla(QsciScintillaBase::SCI_SETSELBACK, 1UL, toColor(selection));
    send(QsciScintillaBase::SCI_SETSELALPHA, selection.a < 1
                                                 ? qsizetype(std::lround(selection.a * 255))
                                                 : qsizetype(QsciScintillaBase::SC_ALPHA_NOALPHA));
    styleScrollBars(theme);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, toColor(background));
    palette.setColor(QPalette::Base, toColor(background));
    view->setPalette(palette);
    view->setAutoFillBackground(true);

    view->setTabWidth(settings.tabSize);
    send(QsciScintillaBase::SCI_SETTABWIDTH, std::max(1, settings.tabSize));

    m_ruler->setTextFont(font);
    m_ruler->setGutterColor(toColor(background));
    m_ruler->setNumberColor(over(foreground, 0.4, background));
    m_ruler->setNumberFont(
        ThemeFonts::font(theme, settings.fontFace, std::max(0.8 * settings.fontSize, 9.0)));

    const QSizeF insets = inset(theme);
    view->setTextInsets(int(std::lround(insets.width())), int(std::lround(insets.height())));

    // A line height multiple becomes extra space split above and below the line.
    const double spacing = theme.textLineSpacing();
    const int extra = int(std::lround((spacing - 1.0) * QFontMetricsF(font).height()));
    send(QsciScintillaBase::SCI_SETEXTRAASCENT, extra / 2);
    send(QsciScintillaBase::SCI_SETEXTRADESCENT, extra - extra / 2);

    m_ruler->invalidate();
    m_ruler->setVisible(settings.lineNumbers);

    if (settings.wordWrap) {
        send(QsciScintillaBase::SCI_SETWRAPMODE, QsciScintillaBase::SC_WRAP_WORD);
        send(QsciScintillaBase::SCI_SETHSCROLLBAR, 0);
    } else {
        send(QsciScintillaBase::SCI_SETWRAPMODE, QsciScintillaBase::SC_WRAP_NONE);
        send(QsciScintillaBase::SCI_SETHSCROLLBAR, 1);
        send(QsciScintillaBase::SCI_SETSCROLLWIDTHTRACKING, 1);
    }

    send(QsciScintillaBase::SCI_INDICSETSTYLE, flashIndicator, QsciScintillaBase::INDIC_ROUNDBOX);
    view->SendScintilla(QsciScintillaBase::SCI_INDICSETFORE,
                        static_cast<unsigned long>(flashIndicator),
                        toColor(Theme::rgba(theme.findHighlight)));
    send(QsciScintillaBase::SCI_INDICSETALPHA, flashIndicator, 160);
    send(QsciScintillaBase::SCI_INDICSETUNDER, flashIndicator, 1);

    m_highlighter->schedule(0);
}

void TextViewEditor::load(const QString& text, qsizetype caret, double scrollY)
{
    QuendrilTextView* view = m_textView;
    // Wrapping a large text while it is set costs seconds; wrap once it is in.
    const long wrap = view->SendScintilla(QsciScintillaBase::SCI_GETWRAPMODE);
    if (wrap != QsciScintillaBase::SC_WRAP_NONE)
        view->SendScintilla(QsciScintillaBase::SCI_SETWRAPMODE,
                            static_cast<unsigned long>(QsciScintillaBase::SC_WRAP_NONE));
    view->setWholeText(text);
    m_highlighter->prepareLongLines();
    if (wrap != QsciScintillaBase::SC_WRAP_NONE)
        view->SendScintilla(QsciScintillaBase::SCI_SETWRAPMODE, static_cast<unsigned long>(wrap));
    m_ruler->invalidate();
    m_ruler->setVisible(m_settings.lineNumbers);
    m_highlighter->textChanged();
    m_highlighter->schedule(0.1);
    const qsizetype at = std::clamp<qsizetype>(caret, 0, text.size());
    view->setSelectedRange({at, at});
    if (scrollY > 0) {
        const long height = view->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT);
        view->SendScintilla(
            QsciScintillaBase::SCI_SETFIRSTVISIBLELINE,
            static_cast<unsigned long>(std::lround(scrollY / std::max(1L, height))));
    } else {
        view->SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
    }
}

double TextViewEditor::scrollY() const
{
    const long first = m_textView->SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    const long height = m_textView->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT);
    return double(first) * double(height);
}

std::pair<qsizetype, qsizetype> TextViewEditor::caretLineAndColumn()
{
    const LineIndex& lines = m_ruler->currentLines();
    const qsizetype caret = std::min(m_textView->positions().toUnits(m_textView->SendScintilla(
                                         QsciScintillaBase::SCI_GETCURRENTPOS)),
                                     m_textView->length());
    return {lines.lineNumber(caret), caret - lines.lineStart(caret) + 1};
}

void TextViewEditor::goToLine(qsizetype n)
{
    const LineIndex& lines = m_ruler->currentLines();
    const QList<qsizetype> starts = lines.starts();
    const qsizetype line = std::clamp<qsizetype>(n, 1, starts.size());
    const qsizetype length = m_textView->length();
    const qsizetype start = std::min(starts[line - 1], length);
    const qsizetype end = line < starts.size() ? starts[line] - 1 : length; // before the LF
    m_textView->setSelectedRange({start, start});
    m_textView->SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
    if (end > start)
        flash({start, end});
}

void TextViewEditor::reveal(TextRange range)
{
    const qsizetype length = m_textView->length();
    const qsizetype lower = std::clamp<qsizetype>(range.lower, 0, length);
    const qsizetype upper = std::clamp<qsizetype>(range.upper, lower, length);
    m_textView->setSelectedRange({lower, upper});
    m_textView->scrollRangeToVisible({lower, upper});
    if (upper > lower)
        flash({lower, upper});
}

void TextViewEditor::flash(TextRange range)
{
    QuendrilTextView* view = m_textView;
    const qsizetype from = view->positions().toBytes(range.lower);
    const qsizetype to = view->positions().toBytes(range.upper);
    view->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, flashIndicator);
    view->SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(from),
                        static_cast<long>(to - from));
    QTimer::singleShot(1000, view, [view = QPointer<QuendrilTextView>(view)] {
        if (!view)
            return;
        view->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, flashIndicator);
        view->SendScintilla(QsciScintillaBase::SCI_INDICATORCLEARRANGE, 0UL,
                            view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
    });
}
