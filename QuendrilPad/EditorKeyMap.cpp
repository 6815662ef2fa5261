#include "QuendrilPad/EditorKeyMap.h"

#include "QuendrilPad/QuendrilTextView.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QKeyEvent>

#include <algorithm>
#include <array>

namespace {

constexpr Qt::KeyboardModifiers relevant =
    Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;

constexpr std::array removedCommands{
    QsciCommand::LineCut,
    QsciCommand::LineDelete,
    QsciCommand::LineTranspose,
    QsciCommand::LineDuplicate,
    QsciCommand::SelectionDuplicate,
    QsciCommand::SelectionLowerCase,
    QsciCommand::SelectionUpperCase,
    QsciCommand::LineCopy,
    QsciCommand::Undo,
    QsciCommand::Redo,
    QsciCommand::Paste,
    QsciCommand::SelectionCut,
    QsciCommand::Newline,
    QsciCommand::Tab,
    QsciCommand::Backtab,
    QsciCommand::Cancel,
    QsciCommand::Formfeed,
    QsciCommand::EditToggleOvertype,
    QsciCommand::ZoomIn,
    QsciCommand::ZoomOut,
    QsciCommand::ParaUp,
    QsciCommand::ParaUpExtend,
    QsciCommand::ParaDown,
    QsciCommand::ParaDownExtend,
    QsciCommand::MoveSelectedLinesUp,
    QsciCommand::MoveSelectedLinesDown,
    QsciCommand::VerticalCentreCaret,
    QsciCommand::ReverseLines,
};

const EditorKeyMap::Binding* findBinding(int key, Qt::KeyboardModifiers modifiers)
{
    using V = QuendrilTextView;
    constexpr auto ctrl = Qt::ControlModifier;
    constexpr auto shift = Qt::ShiftModifier;
    constexpr auto alt = Qt::AltModifier;
    constexpr Qt::KeyboardModifiers none;
    static const EditorKeyMap::Binding bindings[] = {
        {Qt::Key_D, ctrl | shift, &V::duplicateLine, true},
        {Qt::Key_K, ctrl | shift, &V::deleteLine, true},
        {Qt::Key_Up, ctrl | shift, &V::moveLineUp, true},
        {Qt::Key_Down, ctrl | shift, &V::moveLineDown, true},
        {Qt::Key_BracketRight, ctrl, &V::indentLines, true},
        {Qt::Key_BracketLeft, ctrl, &V::outdentLines, true},
        {Qt::Key_J, ctrl | shift, &V::joinLines, true},
        {Qt::Key_Return, ctrl, &V::insertLineBelow, true},
        {Qt::Key_Enter, ctrl, &V::insertLineBelow, true},
        {Qt::Key_Return, ctrl | shift, &V::insertLineAbove, true},
        {Qt::Key_Enter, ctrl | shift, &V::insertLineAbove, true},
        {Qt::Key_L, ctrl, &V::selectLine, false},
        {Qt::Key_J, ctrl | alt, &V::formatJSON, true},
        {Qt::Key_V, ctrl, &V::paste, true},
        {Qt::Key_Insert, shift, &V::paste, true},
        {Qt::Key_V, ctrl | shift, &V::pasteRaw, true},
        {Qt::Key_X, ctrl, &V::cut, true},
        {Qt::Key_Delete, shift, &V::cut, true},
        {Qt::Key_Z, ctrl, &V::undo, true},
        {Qt::Key_Z, ctrl | shift, &V::redo, true},
        {Qt::Key_Y, ctrl, &V::redo, true},
        {Qt::Key_Return, none, &V::insertNewline, true},
        {Qt::Key_Enter, none, &V::insertNewline, true},
        {Qt::Key_Return, shift, &V::insertNewline, true},
        {Qt::Key_Tab, none, &V::insertTab, true},
        {Qt::Key_Backtab, none, &V::insertBacktab, true},
        {Qt::Key_Backtab, shift, &V::insertBacktab, true},
        {Qt::Key_Escape, none, &V::cancelOperation, false},
    };
    for (const EditorKeyMap::Binding& binding : bindings) {
        if (binding.key == key && binding.modifiers == modifiers)
            return &binding;
    }
    return nullptr;
}

} // namespace

namespace EditorKeyMap {

std::optional<Binding> binding(const QKeyEvent& event)
{
    if (const Binding* found = findBinding(event.key(), event.modifiers() & relevant))
        return *found;
    return std::nullopt;
}

bool isTypedText(const QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    // As Qt's own text editors do: a text that starts printable goes in whole, whatever follows.
    const QString text = event.text();
    return !text.isEmpty() && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7F;
}

void removeScintillaKeys(QsciCommandSet& commands)
{
    for (QsciCommand* command : commands.commands()) {
        if (std::find(removedCommands.begin(), removedCommands.end(), command->command()) !=
            removedCommands.end()) {
            command->setKey(0);
            command->setAlternateKey(0);
        }
    }
}

} // namespace EditorKeyMap
