#pragma once

#include "QuendrilCore/CloseAction.h"
#include "QuendrilCore/EditEffect.h"
#include "QuendrilCore/EditOrigin.h"
#include "QuendrilCore/FileStamp.h"
#include "QuendrilCore/PendingClear.h"
#include "QuendrilCore/ReloadOutcome.h"
#include "QuendrilCore/SaveEvent.h"
#include "QuendrilCore/SheetFile.h"
#include "QuendrilCore/TextEdit.h"

#include <QDateTime>
#include <QString>

#include <optional>

class SheetStore;

// One open sheet: its text, the file it belongs to, and the rules that decide what reaches the
// disk. A new sheet gets its file at its first save; select-all-and-type starts a new sheet and
// leaves the old file as it was; an emptied sheet is never written; a file another program
// changed is taken over, or kept beside the user's unsaved text. It does no timing and no I/O of
// its own: every operation that may touch the disk is given the store. Main thread only.
class SheetDocument {
public:
    // A new empty sheet without a file.
    SheetDocument() = default;
    // A sheet read from disk; `stamp` is the file's stamp when it was read, if known.
    SheetDocument(SheetFile file, QString text, std::optional<FileStamp> stamp);

    const std::optional<SheetFile>& file() const { return m_file; }
    const QString& text() const { return m_buffer; }
    qsizetype length() const { return m_buffer.size(); }
    bool isEmpty() const { return m_buffer.isEmpty(); }
    bool lastSaveFailed() const { return m_lastSaveFailed; }
    // What the file is known to hold; none without a file.
    const std::optional<QString>& lastSavedText() const { return m_savedText; }
    const std::optional<QDateTime>& startTime() const { return m_startTime; }
    const std::optional<PendingClear>& pendingClear() const { return m_pendingClear; }
    const std::optional<FileStamp>& diskStamp() const { return m_diskStamp; }

    // The first `count` code units, widened so that no composed character is cut.
    [[nodiscard]] QString prefix(qsizetype count) const;
    // Whether a save has anything to do.
    [[nodiscard]] bool isDirty() const;
    // True only for the stamp of the document's own last write or read: a file event to ignore.
    [[nodiscard]] bool isOwnSave(const std::optional<FileStamp>& stamp) const;

    // Applies one edit. Typing over the whole text (more than one code unit) starts a new sheet
    // once the old text is safe on disk; until it is, the clear stays pending.
    EditEffect apply(const TextEdit& edit, EditOrigin origin, const QDateTime& now, SheetStore& store);

    // Pulls the editor's text in if it differs; texts over 2,000,000 code units of equal length
    // are compared at both ends only.
    void syncWith(const QString& text, const QDateTime& now);
    // The same with an exact comparison.
    void sync(const QString& text, const QDateTime& now);

    // Saves if dirty. Never writes an empty text, and never writes over a file another program
    // changed without taking its text in or keeping a copy of it first.
    std::optional<SaveEvent> saveIfNeeded(SheetStore& store);

    // Reacts to `diskText` found in the file: takes it over, or keeps both versions when the user
    // has unsaved text.
    ReloadOutcome reload(const QString& diskText, SheetStore& store, const QDateTime& now);

    // Moving the file to the Trash when the tab closes on an emptied sheet.
    [[nodiscard]] CloseAction closeAction() const;

    // Points the document at `file` holding `text` again (undo and redo across a clear).
    void reattach(SheetFile file, QString text, std::optional<FileStamp> stamp);
    // Makes the document a new sheet holding its current text.
    void detach(const QDateTime& now);

private:
    void textChanged(const QDateTime& now);
    std::optional<SheetFile> saveForClear(SheetStore& store);
    std::optional<SaveEvent> finishPendingClear(SheetStore& store);
    std::optional<SaveEvent> writeText(SheetStore& store);

    std::optional<SheetFile> m_file;
    QString m_buffer;
    bool m_lastSaveFailed = false;
    std::optional<QString> m_savedText;
    std::optional<QDateTime> m_startTime;
    std::optional<PendingClear> m_pendingClear;
    std::optional<FileStamp> m_diskStamp;
    // The other program's text already copied into a sheet of its own while keeping both, so a
    // retried save does not copy it again.
    struct DiskCopy {
        QString diskText;
        SheetFile file;
    };
    std::optional<DiskCopy> m_diskCopy;
};
