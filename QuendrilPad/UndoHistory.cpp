#include "QuendrilPad/UndoHistory.h"

#include <utility>

UndoHistory::Step& UndoHistory::target()
{
    if (m_state != State::idle)
        return *m_building;
    m_redo.clear();
    if (!m_open)
        m_open = Step{};
    return *m_open;
}

bool UndoHistory::merge(TextChange& last, const TextChange& next)
{
    const qsizetype lastEnd = last.position + last.inserted.size();
    if (next.removed.isEmpty() && next.position == lastEnd) {
        last.inserted += next.inserted; // typing on
        return true;
    }
    if (next.inserted.isEmpty() && next.position >= last.position &&
        next.position + next.removed.size() == lastEnd &&
        next.removed.size() <= last.inserted.size()) {
        last.inserted.chop(next.removed.size()); // backspace over what was typed
        return true;
    }
    if (last.inserted.isEmpty() && next.inserted.isEmpty() &&
        next.position + next.removed.size() == last.position) {
        last.position = next.position; // backspace over older text
        last.removed.prepend(next.removed);
        return true;
    }
    if (last.inserted.isEmpty() && next.removed.isEmpty() && next.position == last.position) {
        last.inserted = next.inserted; // a replacement arrives as delete, then insert
        return true;
    }
    return false;
}

void UndoHistory::recordTextChange(TextChange change)
{
    if (!m_enabled)
        return;
    const bool automatic = m_state == State::idle && m_level == 0 && !m_typing;
    Step& step = target();
    if (!step.actions.empty() && step.actions.back().text &&
        merge(*step.actions.back().text, change)) {
        // A change that came to nothing (a letter typed, then erased) would leave a step that
        // undo runs without any visible effect.
        const TextChange& merged = *step.actions.back().text;
        if (merged.removed == merged.inserted)
            step.actions.pop_back();
    } else if (change.removed != change.inserted) {
        step.actions.push_back(Action{std::move(change), {}});
    }
    if (automatic)
        closeOpen();
}

void UndoHistory::registerUndo(std::function<void()> action)
{
    if (!m_enabled)
        return;
    const bool automatic = m_state == State::idle && m_level == 0 && !m_typing;
    target().actions.push_back(Action{std::nullopt, std::move(action)});
    if (automatic)
        closeOpen();
}

void UndoHistory::closeOpen()
{
    if (m_open && !m_open->actions.empty())
        m_undo.push_back(std::move(*m_open));
    m_open.reset();
}

void UndoHistory::beginGroup()
{
    if (m_state != State::idle)
        return;
    if (m_level == 0) {
        breakCoalescing();
        m_open = Step{};
    }
    ++m_level;
}

void UndoHistory::endGroup()
{
    if (m_state != State::idle || m_level == 0)
        return;
    if (--m_level == 0)
        closeOpen();
}

void UndoHistory::beginTyping()
{
    if (m_state != State::idle || m_level > 0 || m_typing)
        return;
    m_typing = true;
    m_open = Step{QStringLiteral("Typing"), {}};
}

void UndoHistory::breakCoalescing()
{
    if (!m_typing)
        return;
    m_typing = false;
    closeOpen();
}

void UndoHistory::setActionName(const QString& name)
{
    if (m_state != State::idle)
        return;
    if (m_open)
        m_open->name = name;
    else if (!m_undo.empty())
        m_undo.back().name = name;
}

QString UndoHistory::undoActionName() const
{
    if (hasOpenChanges())
        return m_open->name;
    return m_undo.empty() ? QString() : m_undo.back().name;
}

QString UndoHistory::redoActionName() const
{
    return m_redo.empty() ? QString() : m_redo.back().name;
}

void UndoHistory::run(Step step, State state, std::vector<Step>& destination)
{
    m_state = state;
    m_building = Step{step.name, {}};
    for (auto it = step.actions.rbegin(); it != step.actions.rend(); ++it) {
        if (it->text) {
            if (applyInverse)
                applyInverse(*it->text);
        } else if (it->custom) {
            it->custom();
        }
    }
    Step built = std::move(*m_building);
    m_building.reset();
    m_state = State::idle;
    if (!built.actions.empty())
        destination.push_back(std::move(built));
}

void UndoHistory::undo()
{
    if (m_state != State::idle)
        return;
    if (m_level == 0)
        breakCoalescing();
    if (m_undo.empty())
        return;
    if (onWillUndo)
        onWillUndo();
    if (m_undo.empty()) // the callback may have changed the history
        return;
    Step step = std::move(m_undo.back());
    m_undo.pop_back();
    run(std::move(step), State::undoing, m_redo);
    if (onDidUndo)
        onDidUndo();
}

void UndoHistory::redo()
{
    if (m_state != State::idle || m_redo.empty())
        return;
    if (onWillRedo)
        onWillRedo();
    if (m_redo.empty())
        return;
    Step step = std::move(m_redo.back());
    m_redo.pop_back();
    std::vector<Step> redone;
    run(std::move(step), State::redoing, redone);
    // Redoing must not clear the redo stack that remains.
    for (auto& s : redone)
        m_undo.push_back(std::move(s));
    if (onDidRedo)
        onDidRedo();
}

void UndoHistory::removeAllActions()
{
    m_undo.clear();
    m_redo.clear();
    m_open.reset();
    m_building.reset();
    m_level = 0;
    m_typing = false;
}
