#pragma once

#include <Qt>

#include <optional>

class QKeyEvent;
class QsciCommandSet;
class QuendrilTextView;

// The editor's own keys in the Linux key map, and the Scintilla keys taken away because they are
// ours or would change the text behind the editor's back (case changes, line transposes, its own
// undo, paste and newline).
namespace EditorKeyMap {

using Action = void (QuendrilTextView::*)();

struct Binding {
    int key;
    Qt::KeyboardModifiers modifiers;
    Action action;
    // False for actions that only move the selection or close something, which a read-only
    // editor still allows.
    bool edits;
};

// The binding of a key press, if the editor has one; Keypad and other modifiers are ignored.
std::optional<Binding> binding(const QKeyEvent& event);
// Whether the key's text is typed text: it starts with a printable character and no Ctrl, Alt or
// Meta is held.
bool isTypedText(const QKeyEvent& event);
// Clears the Scintilla keys the editor replaces.
void removeScintillaKeys(QsciCommandSet& commands);

} // namespace EditorKeyMap
