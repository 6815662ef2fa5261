#pragma once

#include "QuendrilCore/FileStamp.h"
#include "QuendrilCore/Result.h"
#include "QuendrilCore/ScannedSheet.h"
#include "QuendrilCore/SheetEncryption.h"
#include "QuendrilCore/SheetFile.h"
#include "QuendrilCore/SheetStoreError.h"
#include "QuendrilCore/SheetText.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTimeZone>

#include <sys/types.h>

#include <functional>
#include <mutex>
#include <optional>

// The only code that touches sheet files: one notes folder, the calendar that names and dates
// its sheets, and the folder's encryption state, all fixed at creation. A sheet on disk is always
// either its old or its new complete version: texts go to a ".quendril-<uuid>.tmp" file in the
// same folder, are flushed, and renamed into place; a sheet is never deleted. Safe to share
// between threads; keeps no cache and no open files between calls.
//
//   SheetStore store(folder, QTimeZone::systemTimeZone(), SheetEncryption::off());
//   Result<SheetFile, SheetStoreError> file = store.create(u"first line",
//   QDateTime::currentDateTimeUtc()); store.write(u"first line, edited", file->url);
class SheetStore {
public:
    // The system calls of the write path, replaceable so that tests can make each one fail.
    struct SystemCalls {
        int (*openat)(int folder, const char* path, int flags, mode_t mode);
        ssize_t (*write)(int file, const void* data, size_t size);
        int (*fdatasync)(int file);
        int (*fsync)(int file);
        int (*close)(int file);
        int (*renameat)(int fromFolder, const char* from, int toFolder, const char* to);
        int (*renameat2)(int fromFolder, const char* from, int toFolder, const char* to,
                         unsigned flags);
        int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags);
        int (*unlinkat)(int folder, const char* path, int flags);
    };
    // The calls that go straight to the kernel.
    [[nodiscard]] static const SystemCalls& realSystemCalls();

    // The result of `exportPlain`: how many copies were written and the names that were not,
    // sorted by plain string comparison.
    struct ExportResult {
        int written = 0;
        QStringList failed;

        bool operator==(const ExportResult&) const = default;
    };

    // Touches nothing on disk. `folder` is an absolute path.
    SheetStore(QString folder, QTimeZone calendar, SheetEncryption encryption);
    SheetStore(const SheetStore&) = delete;
    SheetStore& operator=(const SheetStore&) = delete;

    [[nodiscard]] const QString& folder() const { return m_folder; }
    [[nodiscard]] const QTimeZone& calendar() const { return m_calendar; }
    [[nodiscard]] const SheetEncryption& encryption() const { return m_encryption; }

    // For tests only: the system calls the write path uses from now on (copied).
    void setSystemCalls(const SystemCalls& calls) { m_system = calls; }

    // Creates the notes folder and missing parents (an existing folder is fine; other errors as
    // `fileError`), then removes the store's own temporary files there that are more than a day
    // old, left by a crash between creating and renaming; nothing else is ever removed.
    [[nodiscard]] Result<void, SheetStoreError> ensureFolder() const;

    // The sheets directly in the folder, newest first: regular files (symbolic links followed)
    // not starting with "." and ending in ".txt" in any case. One stat per entry; the creation
    // time is read only for names that carry no date. `fileReadNoSuchFile` if the folder does
    // not open.
    [[nodiscard]] Result<QList<ScannedSheet>, SheetStoreError> scan() const;
    // The same sheets as `SheetFile`s, newest first.
    [[nodiscard]] Result<QList<SheetFile>, SheetStoreError> listSheets() const;
    // The date rule applied to one file: the name's date, else its creation time (our attribute,
    // then the birth time), else 1970-01-01 00:00:00 UTC.
    [[nodiscard]] SheetFile sheetFile(const QString& url) const;
    // Size and modification time of the file now at `url` (following symbolic links), or none.
    [[nodiscard]] std::optional<FileStamp> stamp(const QString& url) const;

    // The text of a file: decrypted when it begins with the encrypted-sheet header (`locked`
    // unless encryption is on; `wrongKey`/`damaged` pass through), else UTF-8, else ISO 8859-1,
    // which never fails. Read errors as `fileError`.
    [[nodiscard]] Result<SheetText, SheetStoreError> read(const QString& url) const;

    // Replaces the file at `url` with `text` (sealed when encryption is on), keeping its creation
    // time. `emptyText` and `locked` touch nothing; any failure leaves the old file as it was and
    // no temporary file, and `writeFailed` carries the errno of the step that failed. A failure
    // to flush the folder after the rename is reported too, though the new version is in place.
    [[nodiscard]] Result<void, SheetStoreError> write(QStringView text, const QString& url);

    // A new sheet named after `date` that never replaces an existing file: the plain name, else
    // " 2", " 3", ... Its date is the one parsed back from the name. Failures as for `write`,
    // except that once the file is in place, a failed flush of the folder is not reported (the
    // next write of the sheet flushes it again, and a retry must not make a second sheet).
    [[nodiscard]] Result<SheetFile, SheetStoreError> create(QStringView text,
                                                            const QDateTime& date);

    // Replaces a plain sheet with its encrypted form, unless encryption is not on, the file is
    // missing, empty or already encrypted, the sealed copy does not read back as the same text,
    // or the file changed between its read and the rename (a concurrent save wins): then false
    // and the file is as it was. `beforeRename` runs just before the lock is taken.
    [[nodiscard]] Result<bool, SheetStoreError>
    encryptIfPlain(const QString& url, const std::function<void()>& beforeRename = {});

    // Whether any sheet of the folder begins with the encrypted-sheet header; reads only the
    // header's length of each file and stops at the first.
    [[nodiscard]] bool hasEncryptedSheet() const;
    // Whether the file begins with the encrypted-sheet header; any failure gives false.
    [[nodiscard]] bool isEncryptedFile(const QString& url) const;

    // Writes a plain UTF-8 copy of every sheet into `destination` (created with its parents),
    // replacing files of the same name atomically. The notes folder itself (by path or by
    // identity) is refused: nothing written and every sheet failed.
    [[nodiscard]] ExportResult exportPlain(const QString& destination) const;

    // Moves a file to the freedesktop.org Trash of its volume and returns its place there;
    // errors as `fileError`.
    [[nodiscard]] Result<std::optional<QString>, SheetStoreError> moveToTrash(const QString& url);

    // The order of every list of sheets: later date first; equal dates by descending natural
    // order of the file names.
    [[nodiscard]] static bool newestFirst(const SheetFile& a, const SheetFile& b);
    // Whether a file name in the notes folder names a sheet: not hidden (our temporary files
    // are), ending in ".txt" in any case.
    [[nodiscard]] static bool isSheetName(QByteArrayView name);

private:
    struct Listing;
    [[nodiscard]] Result<Listing, SheetStoreError> scanEntries() const;

    SystemCalls m_system;
    const QString m_folder;
    const QTimeZone m_calendar;
    const SheetEncryption m_encryption;
    std::mutex m_renameLock;
};
