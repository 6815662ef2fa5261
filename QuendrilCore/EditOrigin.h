#pragma once

// Where an edit came from; only plain typing can turn a whole-text replacement into a new sheet.
enum class EditOrigin {
    // A plain edit the user makes in the text view.
    userInput,
    // An edit made by one of the editor's commands, or one that changes several ranges at once.
    command,
    // An edit made by undo or redo.
    undoRedo,
};
