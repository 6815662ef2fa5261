#include "QuendrilPad/QuendrilTextView.h"

#include "QuendrilCore/CodeMarking.h"
#include "QuendrilCore/JSONFormatter.h"
#include "QuendrilCore/LineEditing.h"
#include "QuendrilCore/LinkFinder.h"
#include "QuendrilPad/EditorAccessibility.h"
#include "QuendrilPad/EditorKeyMap.h"

#include <Qsci/qscicommandset.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

QuendrilTextView::QuendrilTextView(QWidget* parent)
    : QsciScintilla(parent)
    , m_positions(this)
    , m_tracker(this, m_positions, m_undo)
{
    m_tracker.onWillChange = [this](const TextEdit& edit) {
        if (onWillChangeText)
            onWillChangeText(edit);
    };
    m_tracker.onDidChange = [this](TextSpan edited, qsizetype changeInLength) {
        if (onDidChangeText)
            onDidChangeText(edited, changeInLength);
    };
    installEditorAccessibility();
    setUtf8(true);
    sci(SCI_SETUNDOCOLLECTION, 0);
    sci(SCI_EMPTYUNDOBUFFER);
    sci(SCI_SETMODEVENTMASK, SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE | SC_MOD_CONTAINER);
    sci(SCI_ALLOCATELINECHARACTERINDEX, SC_LINECHARACTERINDEX_UTF16);
    sci(SCI_SETMULTIPLESELECTION, 0);
    sci(SCI_SETADDITIONALSELECTIONTYPING, 0);
    sci(SCI_SETPASTECONVERTENDINGS, 0);
    sci(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    SendScintilla(SCI_SETREPRESENTATION, "\xe2\x80\xa8", "LS");
    setMarginWidth(0, 0);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setWrapMode(WrapNone);
    setAutoIndent(false);
    setBraceMatching(NoBraceMatch);
    setAutoCompletionSource(AcsNone);
    setCaretLineVisible(false);
    setEolVisibility(false);
    EditorKeyMap::removeScintillaKeys(*standardCommands());
    viewport()->setMouseTracking(true);

    onOpenURL = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    pasteboardForPaste = []() -> std::optional<QString> {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data || !data->hasText())
            return std::nullopt;
        return data->text();
    };
    m_undo.applyInverse = [this](const UndoHistory::TextChange& change) {
        const TextRange range{change.position, change.position + change.inserted.size()};
        replaceRange(range, change.removed);
        const qsizetype caret = change.position + change.removed.size();
        setSelectedRange({caret, caret});
        sci(SCI_SCROLLCARET);
    };

    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int length, int, int, int, int, int, int) {
                m_tracker.modified(position, type, length);
            });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this,
            [this](int updated) { updateUI(updated); });
}

QuendrilTextView::~QuendrilTextView() = default;

long QuendrilTextView::sci(unsigned int message, qsizetype w, qsizetype l) const
{
    return SendScintilla(message, static_cast<unsigned long>(w), static_cast<long>(l));
}

void QuendrilTextView::updateUI(int updated)
{
    m_tracker.finish();
    if (updated & SC_UPDATE_SELECTION)
        snapSelectionToCharacters();
    if ((updated & SC_UPDATE_SELECTION) && onSelectionChanged)
        onSelectionChanged();
    if ((updated & (SC_UPDATE_V_SCROLL | SC_UPDATE_H_SCROLL)) && onScrolled)
        onScrolled();
}

// Scintilla takes the noncharacters U+FDD0 ... U+FDEF, U+FFFE and U+FFFF for invalid bytes and
// moves the caret into them byte by byte; a caret or anchor inside a character's bytes would let
// its own editing split the character. Such a position goes to the character's start, or to its
// end when the caret is moving forward.
void QuendrilTextView::snapSelectionToCharacters()
{
    const long length = sci(SCI_GETLENGTH);
    const auto inside = [this, length](long position) {
        return position > 0 && position < length && (sci(SCI_GETCHARAT, position) & 0xC0) == 0x80;
    };
    const auto snap = [&](long position, bool forward) {
        while (inside(position))
            position += forward ? 1 : -1;
        return position;
    };
    const long caret = sci(SCI_GETCURRENTPOS);
    const long anchor = sci(SCI_GETANCHOR);
    const bool forward = caret > m_lastCaretByte;
    const long snappedCaret = snap(caret, forward);
    const long snappedAnchor = anchor == caret ? snappedCaret : snap(anchor, anchor > caret);
    if (snappedCaret != caret || snappedAnchor != anchor)
        sci(SCI_SETSEL, snappedAnchor, snappedCaret);
    m_lastCaretByte = snappedCaret;
}

TextRange QuendrilTextView::selectedRange() const
{
    const qsizetype start = m_positions.toUnits(sci(SCI_GETSELECTIONSTART));
    const qsizetype end = m_positions.toUnits(sci(SCI_GETSELECTIONEND));
    return {start, std::max(start, end)};
}

void QuendrilTextView::setSelectedRange(TextRange range)
{
    const qsizetype length = this->length();
    const qsizetype lower = std::clamp<qsizetype>(range.lower, 0, length);
    const qsizetype upper = std::clamp<qsizetype>(range.upper, lower, length);
    m_lastCaretByte = m_positions.toBytes(upper);
    sci(SCI_SETSEL, m_positions.toBytes(lower), m_lastCaretByte);
}

void QuendrilTextView::scrollRangeToVisible(TextRange range)
{
    sci(SCI_SCROLLRANGE, m_positions.toBytes(range.upper), m_positions.toBytes(range.lower));
}

QString QuendrilTextView::textIn(TextRange range) const
{
    const qsizetype lower = m_positions.toBytes(range.lower);
    const qsizetype upper = m_positions.toBytes(range.upper);
    if (upper <= lower)
        return QString();
    const char* bytes =
        reinterpret_cast<const char*>(sci(SCI_GETRANGEPOINTER, lower, upper - lower));
    return QString::fromUtf8(bytes, upper - lower);
}

void QuendrilTextView::replaceRange(TextRange range, const QString& replacement)
{
    m_tracker.replace(range, replacement);
}

void QuendrilTextView::setWholeText(const QString& text)
{
    m_tracker.load(text);
    m_undo.removeAllActions();
}

void QuendrilTextView::applyCommand(const EditResult& result, const QString& undoName)
{
    if (result.edit.isNoOp())
        return;
    ++m_commandDepth;
    m_undo.beginGroup();
    m_undo.setActionName(undoName);
    replaceRange(result.edit.range, result.edit.replacement);
    m_undo.endGroup();
    setSelectedRange(result.selection);
    scrollRangeToVisible(result.selection);
    --m_commandDepth;
}

void QuendrilTextView::applyCommandEdits(QList<TextEdit> edits, const QString& undoName)
{
    std::sort(edits.begin(), edits.end(),
              [](const TextEdit& a, const TextEdit& b) { return a.range.lower > b.range.lower; });
    ++m_commandDepth;
    m_undo.beginGroup();
    m_undo.setActionName(undoName);
    for (const TextEdit& edit : edits)
        replaceRange(edit.range, edit.replacement);
    m_undo.endGroup();
    --m_commandDepth;
}

void QuendrilTextView::insertPlain(const QString& text)
{
    const TextRange selection = selectedRange();
    m_undo.breakCoalescing();
    m_undo.beginGroup();
    m_undo.setActionName(QStringLiteral("Paste"));
    replaceRange(selection, text);
    m_undo.endGroup();
    const qsizetype caret = selection.lower + text.size();
    setSelectedRange({caret, caret});
    sci(SCI_SCROLLCARET);
    m_undo.breakCoalescing();
}

void QuendrilTextView::insertTyping(const QString& text)
{
    const TextRange selection = selectedRange();
    const qsizetype caret = selection.lower + text.size();
    applyTyping({{selection, text}, {caret, caret}});
}

void QuendrilTextView::setTextInsets(int horizontal, int vertical)
{
    sci(SCI_SETMARGINLEFT, 0, horizontal);
    sci(SCI_SETMARGINRIGHT, 0, horizontal);
    setViewportMargins(0, vertical, 0, vertical);
}

// Line commands.

void QuendrilTextView::duplicateLine()
{
    applyCommand(LineEditing::duplicateLine(storage(), selectedRange()),
                 QStringLiteral("Duplicate Line"));
}

void QuendrilTextView::deleteLine()
{
    if (length() == 0)
        return;
    applyCommand(LineEditing::deleteLine(storage(), selectedRange()),
                 QStringLiteral("Delete Line"));
}

void QuendrilTextView::moveLineUp()
{
    if (const auto result = LineEditing::moveLines(storage(), selectedRange(), true))
        applyCommand(*result, QStringLiteral("Move Line Up"));
}

void QuendrilTextView::moveLineDown()
{
    if (const auto result = LineEditing::moveLines(storage(), selectedRange(), false))
        applyCommand(*result, QStringLiteral("Move Line Down"));
}

void QuendrilTextView::indentLines()
{
    applyCommand(LineEditing::indent(storage(), selectedRange()), QStringLiteral("Indent"));
}

void QuendrilTextView::outdentLines()
{
    const QString& text = storage();
    const EditResult result = LineEditing::outdent(text, selectedRange(), m_tabWidth);
    const TextRange range = result.edit.range;
    if (QStringView(text).mid(range.lower, range.length()) == result.edit.replacement)
        return;
    applyCommand(result, QStringLiteral("Outdent"));
}

void QuendrilTextView::joinLines()
{
    applyCommand(LineEditing::joinLines(storage(), selectedRange()), QStringLiteral("Join Lines"));
}

void QuendrilTextView::insertLineBelow()
{
    applyCommand(LineEditing::insertLine(storage(), selectedRange(), true),
                 QStringLiteral("Insert Line"));
}

void QuendrilTextView::insertLineAbove()
{
    applyCommand(LineEditing::insertLine(storage(), selectedRange(), false),
                 QStringLiteral("Insert Line"));
}

void QuendrilTextView::selectLine()
{
    const TextRange range = LineEditing::selectLine(storage(), selectedRange());
    setSelectedRange(range);
    scrollRangeToVisible(range);
}

// JSON.

void QuendrilTextView::formatJSON()
{
    const auto result = JSONFormatter::formatSelection(storage(), selectedRange());
    if (result) {
        applyCommand(*result, QStringLiteral("Format JSON"));
        return;
    }
    if (!onStatus)
        return;
    switch (result.error()) {
    case JSONFormatProblem::tooLarge:
        onStatus(QStringLiteral("Too large to format (over 5 MB)"));
        break;
    case JSONFormatProblem::notValid:
        onStatus(QStringLiteral("Not valid JSON"));
        break;
    case JSONFormatProblem::alreadyFormatted:
        onStatus(QStringLiteral("JSON is already formatted"));
        break;
    }
}

void QuendrilTextView::paste()
{
    const std::optional<QString> raw = pasteboardForPaste ? pasteboardForPaste() : std::nullopt;
    if (!raw || isReadOnly())
        return;
    const std::optional<QString> pretty = JSONFormatter::prettyPrint(*raw, 4);
    if (!pretty) {
        insertPlain(*raw);
        return;
    }
    const qsizetype start = selectedRange().lower;
    insertPlain(*raw);
    const qsizetype caret = start + pretty->size();
    applyCommand({TextEdit{{start, start + raw->size()}, *pretty}, {caret, caret}},
                 QStringLiteral("Format JSON"));
}

void QuendrilTextView::pasteRaw()
{
    const std::optional<QString> raw = pasteboardForPaste ? pasteboardForPaste() : std::nullopt;
    if (raw && !isReadOnly())
        insertPlain(*raw);
}

void QuendrilTextView::pasteAsPlainText()
{
    pasteRaw();
}

// Code marking.

void QuendrilTextView::markAsBash()
{
    applyCommand(CodeMarking::mark(storage(), selectedRange(), CodeLanguage::bash),
                 QStringLiteral("Mark as Bash"));
}

void QuendrilTextView::markAsSQL()
{
    applyCommand(CodeMarking::mark(storage(), selectedRange(), CodeLanguage::sql),
                 QStringLiteral("Mark as SQL"));
}

void QuendrilTextView::removeCodeMarkers()
{
    if (const auto result = CodeMarking::removeMarkers(storage(), selectedRange()))
        applyCommand(*result, QStringLiteral("Remove Code Marker"));
}

// Keys.

void QuendrilTextView::insertNewline()
{
    applyTyping(LineEditing::newline(storage(), selectedRange()));
}

void QuendrilTextView::insertTab()
{
    const TextRange selection = selectedRange();
    if (!selection.isEmpty() && textIn(selection).contains(QLatin1Char('\n'))) {
        indentLines();
        return;
    }
    insertTyping(QStringLiteral("\t"));
}

void QuendrilTextView::insertBacktab()
{
    outdentLines();
}

void QuendrilTextView::cancelOperation()
{
    if (isFindBarVisible && isFindBarVisible()) {
        if (hideFindBar)
            hideFindBar();
        return;
    }
    if (onCancel)
        onCancel();
}

void QuendrilTextView::undo()
{
    m_undo.undo();
}

void QuendrilTextView::redo()
{
    m_undo.redo();
}

void QuendrilTextView::cut()
{
    const TextRange selection = selectedRange();
    if (selection.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(textIn(selection));
    m_undo.breakCoalescing();
    m_undo.beginGroup();
    m_undo.setActionName(QStringLiteral("Cut"));
    replaceRange(selection, QString());
    m_undo.endGroup();
    setSelectedRange({selection.lower, selection.lower});
}

void QuendrilTextView::deleteBackward()
{
    if (const auto result = LineEditing::deleteBackward(storage(), selectedRange()))
        applyTyping(*result);
}

void QuendrilTextView::deleteForward()
{
    if (const auto result = LineEditing::deleteForward(storage(), selectedRange()))
        applyTyping(*result);
}

void QuendrilTextView::applyTyping(const EditResult& result)
{
    m_undo.beginTyping();
    replaceRange(result.edit.range, result.edit.replacement);
    setSelectedRange(result.selection);
    sci(SCI_SCROLLCARET);
}

void QuendrilTextView::keyPressEvent(QKeyEvent* event)
{
    if (const auto binding = EditorKeyMap::binding(*event)) {
        if (!binding->edits || !isReadOnly())
            (this->*binding->action)();
        event->accept();
        return;
    }
    if (EditorKeyMap::isTypedText(*event)) {
        // Typed text goes in whole, surrogate pairs and several characters at once included.
        if (!isReadOnly())
            insertTyping(event->text());
        event->accept();
        paintDamageNow();
        return;
    }
    const bool plainOrShift =
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plainOrShift && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        // Scintilla's own Backspace removes one byte of a noncharacter; ours removes characters.
        if (!isReadOnly())
            event->key() == Qt::Key_Backspace ? deleteBackward() : deleteForward();
        event->accept();
        paintDamageNow();
        return;
    }
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        m_undo.beginTyping();
    else
        m_undo.breakCoalescing();
    if (event->text().size() > 1) {
        // Scintilla throws on a key event holding more than one character; it gets the key alone.
        QKeyEvent keyOnly(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                          event->nativeVirtualKey(), event->nativeModifiers(), QString(),
                          event->isAutoRepeat(), quint16(event->count()));
        QsciScintilla::keyPressEvent(&keyOnly);
        event->setAccepted(keyOnly.isAccepted());
    } else {
        QsciScintilla::keyPressEvent(event);
    }
    m_tracker.finish();
    snapSelectionToCharacters();
    paintDamageNow();
}

// Shows a handled key at once: what the key damaged is painted and flushed now, instead of when
// the event loop next reaches the posted update request. Keys coming faster than a frame are
// left to the posted, coalesced update, so a burst of keys is not painted key by key.
void QuendrilTextView::paintDamageNow()
{
    if (m_lastImmediatePaint.isValid() && m_lastImmediatePaint.elapsed() < immediatePaintInterval)
        return;
    QWidget* top = window();
    if (!top->isVisible())
        return;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(top, &request);
    m_lastImmediatePaint.start();
}

void QuendrilTextView::inputMethodEvent(QInputMethodEvent* event)
{
    // Only committed text reaches the text: a composition shown inside the text would reach the
    // sheet as edits.
    if (!event->commitString().isEmpty() && !isReadOnly()) {
        if (event->replacementLength() > 0) {
            const qsizetype caret = selectedRange().lower;
            const qsizetype from = std::max<qsizetype>(0, caret + event->replacementStart());
            setSelectedRange({from, from + event->replacementLength()});
        }
        insertTyping(event->commitString());
        paintDamageNow();
    }
    event->accept();
}

// Mouse and menu.

std::optional<FoundLink> QuendrilTextView::link(QPoint point) const
{
    const long position = sci(SCI_CHARPOSITIONFROMPOINTCLOSE, point.x(), point.y());
    if (position < 0)
        return std::nullopt; // beside the text
    return LinkFinder::linkAt(m_positions.toUnits(position), storage());
}

qsizetype QuendrilTextView::unitAt(QPoint point) const
{
    return m_positions.toUnits(sci(SCI_POSITIONFROMPOINT, point.x(), point.y()));
}

bool QuendrilTextView::canPaste() const
{
    return !isReadOnly() && pasteboardForPaste && pasteboardForPaste().has_value();
}

std::unique_ptr<QMenu> QuendrilTextView::makeContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(QStringLiteral("Mark as Bash"), this, &QuendrilTextView::markAsBash);
    menu->addAction(QStringLiteral("Mark as SQL"), this, &QuendrilTextView::markAsSQL);
    if (CodeMarking::block(selectedRange(), storage()))
        menu->addAction(QStringLiteral("Remove Code Marker"), this,
                        &QuendrilTextView::removeCodeMarkers);
    if (addOnItems) {
        const QList<QAction*> items = addOnItems(menu.get());
        if (!items.isEmpty()) {
            menu->addSeparator();
            menu->addActions(items);
        }
    }
    return menu;
}

void QuendrilTextView::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu = makeContextMenu();
    menu->exec(event->globalPos());
    event->accept();
}

void QuendrilTextView::mousePressEvent(QMouseEvent* event)
{
    m_undo.breakCoalescing();
    if (event->button() == Qt::MiddleButton) {
        // The X11 primary selection, pasted where the click is; Scintilla's own middle-click
        // paste would convert its line endings.
        const QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection() && !isReadOnly()) {
            const QString text = clipboard->text(QClipboard::Selection);
            const qsizetype units = unitAt(event->position().toPoint());
            setSelectedRange({units, units});
            if (!text.isEmpty())
                insertPlain(text);
        }
        event->accept();
        return;
    }
    m_pressedLink.reset();
    const bool plain = (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                              Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (plain && event->button() == Qt::LeftButton)
        m_pressedLink = link(event->position().toPoint());
    QsciScintilla::mousePressEvent(event);
    m_tracker.finish();
    snapSelectionToCharacters();
}

void QuendrilTextView::mouseReleaseEvent(QMouseEvent* event)
{
    QsciScintilla::mouseReleaseEvent(event);
    m_tracker.finish();
    snapSelectionToCharacters();
    const std::optional<FoundLink> pressed = std::exchange(m_pressedLink, std::nullopt);
    if (!pressed || event->button() != Qt::LeftButton)
        return;
    const TextRange selection = selectedRange();
    if (selection.isEmpty() && selection.lower >= pressed->range.location &&
        selection.lower <= pressed->range.end() && onOpenURL)
        onOpenURL(pressed->url);
}

void QuendrilTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_pressedLink.reset();
    QsciScintilla::mouseDoubleClickEvent(event);
}

void QuendrilTextView::mouseMoveEvent(QMouseEvent* event)
{
    QsciScintilla::mouseMoveEvent(event); // a drag that moves text deletes it from here
    m_tracker.finish();
    snapSelectionToCharacters();
    if (event->buttons() != Qt::NoButton)
        return;
    const bool overLink = link(event->position().toPoint()).has_value();
    if (overLink)
        viewport()->setCursor(Qt::PointingHandCursor);
    else if (m_pointing)
        viewport()->setCursor(Qt::IBeamCursor);
    m_pointing = overLink;
}

void QuendrilTextView::wheelEvent(QWheelEvent* event)
{
    // Scintilla zooms on Ctrl with the wheel; the text size is a setting, so the text is not
    // zoomed behind its back.
    if (event->modifiers() & Qt::ControlModifier) {
        event->ignore();
        return;
    }
    QsciScintilla::wheelEvent(event);
}

void QuendrilTextView::paintEvent(QPaintEvent* event)
{
    QsciScintilla::paintEvent(event);
    if (onDraw)
        onDraw();
}

bool QuendrilTextView::canInsertFromMimeData(const QMimeData* source) const
{
    return source && source->hasText();
}

void QuendrilTextView::dropEvent(QDropEvent* event)
{
    // Scintilla converts line endings of dropped text; it is inserted here, as it was dragged.
    if (!event->mimeData()->hasText() || isReadOnly()) {
        event->ignore();
        return;
    }
    const qsizetype units = unitAt(event->position().toPoint());
    const bool fromHere = event->source() == this || event->source() == viewport();
    if (fromHere && event->dropAction() == Qt::MoveAction) {
        // Within the editor a drag moves the selection; the drag source sees a move onto
        // itself and leaves the text alone.
        moveText(selectedRange(), units);
        event->setDropAction(Qt::MoveAction);
    } else {
        setSelectedRange({units, units});
        insertPlain(event->mimeData()->text());
        event->setDropAction(Qt::CopyAction);
    }
    event->accept();
}

void QuendrilTextView::moveText(TextRange range, qsizetype to)
{
    if (range.isEmpty() || (to >= range.lower && to <= range.upper))
        return;
    const QString moved = textIn(range);
    m_undo.breakCoalescing();
    m_undo.beginGroup();
    m_undo.setActionName(QStringLiteral("Move"));
    qsizetype at = to;
    if (to > range.upper) {
        replaceRange({to, to}, moved); // the later edit first, so the earlier range stays valid
        replaceRange(range, QString());
        at = to - moved.size();
    } else {
        replaceRange(range, QString());
        replaceRange({to, to}, moved);
    }
    m_undo.endGroup();
    setSelectedRange({at, at + moved.size()});
    sci(SCI_SCROLLCARET);
}
