#pragma once

#include "QuendrilCore/EditOrigin.h"
#include "QuendrilCore/Settings.h"
#include "QuendrilCore/TextEdit.h"
#include "QuendrilCore/TextRange.h"
#include "QuendrilCore/Theme.h"

#include <QObject>
#include <QSize>

#include <functional>
#include <memory>
#include <utility>

class FindBar;
class JSONHighlighter;
class LineNumberRuler;
class QuendrilTextView;
class UndoHistory;
class QWidget;

// The controller behind one editing surface: it builds the view, its line numbers, find bar and
// highlighter, owns the undo history, applies settings and themes, and reports every change of
// the text as a TextEdit with its origin before the change happens.
class TextViewEditor : public QObject {
    Q_OBJECT

public:
    TextViewEditor(const Settings& settings, const Theme& theme, QWidget* parent = nullptr);
    ~TextViewEditor() override;

    // The widget to place in a window: the find bar above the text view.
    QWidget* scrollView() const { return m_container; }
    QuendrilTextView* textView() const { return m_textView; }
    LineNumberRuler& ruler() const { return *m_ruler; }
    UndoHistory& undoManager() const;
    JSONHighlighter& highlighter() const { return *m_highlighter; }
    FindBar* findBar() const { return m_findBar; }
    const Settings& settings() const { return m_settings; }
    const Theme& theme() const { return m_theme; }

    // Every change of the text, before it happens.
    std::function<void(const TextEdit&, EditOrigin)> onEdit;
    // After every change.
    std::function<void()> onDidChange;
    std::function<void()> onSelectionChange;
    // Status messages; also given to the text view.
    void setOnStatus(std::function<void(const QString&)> onStatus);

    // Colours, caret, selection, tab width, margins, line spacing, line numbers, word wrap and
    // font; never touches the text or the undo history.
    void apply(const Settings& settings, const Theme& theme);
    // Replaces the whole text with no report and no undo step; the caret is clamped to the text
    // and scrollY (pixels) is restored when above 0.
    void load(const QString& text, qsizetype caret, double scrollY);
    // The vertical scroll position in pixels, as `load` takes it.
    double scrollY() const;
    // The text, read without copying.
    const QString& storage() const;
    // 1-based line and column (UTF-16 units) of the caret, lines counted by LF.
    std::pair<qsizetype, qsizetype> caretLineAndColumn();
    // Moves the caret to the start of line n (clamped to the lines there are) and shows it.
    void goToLine(qsizetype n);
    // Selects the range (clamped to the text), shows it and flashes it when not empty.
    void reveal(TextRange range);
    // The text inset of a theme: width and height in pixels.
    static QSizeF inset(const Theme& theme);
    // Whether the scroll bars get light knobs: on a dark background, or one that does not parse.
    static bool lightScrollerKnobs(const Theme& theme);

private:
    void willChange(const TextEdit& edit);
    void styleScrollBars(const Theme& theme);
    void flash(TextRange range);

    Settings m_settings;
    Theme m_theme;
    QWidget* m_container = nullptr;
    QuendrilTextView* m_textView = nullptr;
    FindBar* m_findBar = nullptr;
    std::unique_ptr<LineNumberRuler> m_ruler;
    std::unique_ptr<JSONHighlighter> m_highlighter;
    std::function<void(const QString&)> m_onStatus;
};
