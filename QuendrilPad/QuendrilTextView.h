#pragma once

#include "QuendrilCore/EditResult.h"
#include "QuendrilCore/FoundLink.h"
#include "QuendrilCore/TextEdit.h"
#include "QuendrilCore/TextRange.h"
#include "QuendrilCore/TextSpan.h"
#include "QuendrilPad/TextChangeTracker.h"
#include "QuendrilPad/TextPositions.h"
#include "QuendrilPad/UndoHistory.h"

#include <Qsci/qsciscintilla.h>

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QAction;

// The editing surface of a tab or the quick note. It holds the sheet's text unchanged (any line
// ending, any Unicode), speaks UTF-16 positions to everyone else, and applies every command as
// one named undo step of its own history. Typed text, Return, Tab and pastes go through this
// class, never through Scintilla's own conversions.
class QuendrilTextView : public QsciScintilla {
    Q_OBJECT

public:
    explicit QuendrilTextView(QWidget* parent = nullptr);
    ~QuendrilTextView() override;

    // Number of command edits in progress; while above 0 every change is a command edit.
    int commandDepth() const { return m_commandDepth; }
    // Spaces one outdent removes.
    int tabWidth() const { return m_tabWidth; }
    void setTabWidth(int width) { m_tabWidth = width; }
    // Edits of the characters so far; the controller adds one per change.
    qint64 editCount() const { return m_editCount; }
    void addEditCount() { ++m_editCount; }

    // The plain text that pastes read; by default the system clipboard's text, none without one.
    std::function<std::optional<QString>()> pasteboardForPaste;
    std::function<void(const QString&)> onStatus;
    std::function<void()> onDraw;
    std::function<void()> onCancel;
    // By default opens the URL with the desktop.
    std::function<void(const QUrl&)> onOpenURL;
    // The add-on items for a right-click with this selection; they go after a separator.
    std::function<QList<QAction*>(QMenu* menu)> addOnItems;
    // Escape asks these before `onCancel`: whether a find bar is open, and to close it.
    std::function<bool()> isFindBarVisible;
    std::function<void()> hideFindBar;

    // Hooks for the controller: every change before it happens (exactly one call per change,
    // in the positions of the text before it), and after it (where the new text lies and the
    // change in length).
    std::function<void(const TextEdit&)> onWillChangeText;
    std::function<void(TextSpan edited, qsizetype changeInLength)> onDidChangeText;
    std::function<void()> onSelectionChanged;
    std::function<void()> onScrolled;

    UndoHistory& undoHistory() { return m_undo; }
    const TextPositions& positions() const { return m_positions; }

    // The whole text, kept in step with every change (read without copying).
    const QString& storage() const { return const_cast<TextChangeTracker&>(m_tracker).text(); }
    qsizetype length() const { return m_tracker.length(); }
    TextRange selectedRange() const;
    void setSelectedRange(TextRange range);
    // Caret at the start of `range`, and the range scrolled into view.
    void scrollRangeToVisible(TextRange range);
    // The text of one range, reading only that range.
    QString textIn(TextRange range) const;

    // Replaces `range` by `replacement` as one change (reported once), recorded in the history.
    void replaceRange(TextRange range, const QString& replacement);
    // A command result as one undo step named `undoName`, reported as a command edit.
    void applyCommand(const EditResult& result, const QString& undoName);
    // Several replacements as one command step, applied last first (so ranges stay valid).
    void applyCommandEdits(QList<TextEdit> edits, const QString& undoName);
    // Replaces the selection by `text` as its own "Paste" step, caret after it.
    void insertPlain(const QString& text);
    // Replaces the selection by `text` as typing (coalescing into the typing step).
    void insertTyping(const QString& text);
    // Moves the text of `range` to `to` (a position of the text as it is) as one "Move" step,
    // the moved text selected after; nothing when `to` lies within the range.
    void moveText(TextRange range, qsizetype to);
    // Sets the whole text without any report or undo step (used by the controller's load).
    void setWholeText(const QString& text);

    // Space between the gutter and the text on both sides, and above and below the text.
    void setTextInsets(int horizontal, int vertical);

    // The link under a point of the viewport, if any.
    std::optional<FoundLink> link(QPoint viewportPoint) const;
    // Whether the pastes can run: the view is editable and the paste source holds plain text.
    // Menus enable their paste items by it.
    bool canPaste() const;
    // The right-click menu, built fresh for a click with the current selection.
    std::unique_ptr<QMenu> makeContextMenu();

public Q_SLOTS:
    void duplicateLine();
    void deleteLine();
    void moveLineUp();
    void moveLineDown();
    void indentLines();
    void outdentLines();
    void joinLines();
    void insertLineBelow();
    void insertLineAbove();
    void selectLine();
    void formatJSON();
    void paste() override;
    void pasteRaw();
    void pasteAsPlainText();
    void markAsBash();
    void markAsSQL();
    void removeCodeMarkers();
    void insertNewline();
    void insertTab();
    void insertBacktab();
    void cancelOperation();
    void undo() override;
    void redo() override;
    void cut() override;
    // Backspace and Delete: the selection, or else the character before or after the caret (a
    // CR LF pair and a surrogate pair count as one).
    void deleteBackward();
    void deleteForward();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;

private:
    void snapSelectionToCharacters();
    // An edit as part of the typing step.
    void applyTyping(const EditResult& result);
    // The text position nearest a point of the viewport.
    qsizetype unitAt(QPoint point) const;
    void updateUI(int updated);
    void paintDamageNow();
    long sci(unsigned int message, qsizetype w = 0, qsizetype l = 0) const;

    TextPositions m_positions;
    UndoHistory m_undo;
    TextChangeTracker m_tracker;
    int m_commandDepth = 0;
    int m_tabWidth = 4;
    qint64 m_editCount = 0;
    std::optional<FoundLink> m_pressedLink;
    bool m_pointing = false;
    long m_lastCaretByte = 0;
    // Milliseconds: keys closer together than this share one paint.
    static constexpr qint64 immediatePaintInterval = 12;
    QElapsedTimer m_lastImmediatePaint;
};
