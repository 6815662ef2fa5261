#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

// The undo history of one editor: named steps, each a list of text changes and custom actions.
// Text changes are recorded as the text changes; custom actions register themselves, and an
// action run by undo or redo registers its own inverse, which then lands on the other stack.
// Consecutive typing coalesces into one step until `breakCoalescing`.
class UndoHistory {
public:
    // One replacement as it happened: `removed` was at `position` and `inserted` took its place.
    struct TextChange {
        qsizetype position = 0;
        QString removed;
        QString inserted;
    };

    // How undo puts a text change back: replace [position, position + inserted) by removed.
    std::function<void(const TextChange&)> applyInverse;
    // Called before and after every undo and redo.
    std::function<void()> onWillUndo;
    std::function<void()> onDidUndo;
    std::function<void()> onWillRedo;
    std::function<void()> onDidRedo;

    // Records a change of the text into the open group, or the step that undo or redo builds.
    void recordTextChange(TextChange change);
    // Registers a custom action: run by undo (or redo, when registered while undoing).
    void registerUndo(std::function<void()> action);

    // Groups nest; the outermost group becomes one step. Opening a group ends typing.
    void beginGroup();
    void endGroup();
    // Opens (or keeps open) the typing group that consecutive typing shares.
    void beginTyping();
    // Ends the typing group, so the next change starts a new step.
    void breakCoalescing();
    // Names the open group, or else the last step.
    void setActionName(const QString& name);

    void undo();
    void redo();
    [[nodiscard]] bool canUndo() const { return !m_undo.empty() || hasOpenChanges(); }
    [[nodiscard]] bool canRedo() const { return !m_redo.empty(); }
    [[nodiscard]] QString undoActionName() const;
    [[nodiscard]] QString redoActionName() const;
    [[nodiscard]] bool isUndoing() const { return m_state == State::undoing; }
    [[nodiscard]] bool isRedoing() const { return m_state == State::redoing; }
    [[nodiscard]] int groupingLevel() const { return m_level; }
    [[nodiscard]] qsizetype undoCount() const { return qsizetype(m_undo.size()); }
    [[nodiscard]] qsizetype redoCount() const { return qsizetype(m_redo.size()); }
    // Forgets every step (after a load).
    void removeAllActions();
    // While disabled nothing is recorded.
    void setEnabled(bool enabled) { m_enabled = enabled; }

private:
    struct Action {
        std::optional<TextChange> text;
        std::function<void()> custom;
    };
    struct Step {
        QString name;
        std::vector<Action> actions;
    };
    enum class State { idle, undoing, redoing };

    bool hasOpenChanges() const { return m_open && !m_open->actions.empty(); }
    Step& target();
    void closeOpen();
    static bool merge(TextChange& last, const TextChange& next);
    void run(Step step, State state, std::vector<Step>& destination);

    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    std::optional<Step> m_open;
    std::optional<Step> m_building;
    int m_level = 0;
    bool m_typing = false;
    bool m_enabled = true;
    State m_state = State::idle;
};
