#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

// Every system call on the write path fails in turn, the first, second, ... call of its kind,
// with each of the errors a disk or a folder can give.

namespace {

enum class Call { openat, write, fdatasync, fsync, close, renameat, renameat2, linkat, count };
const char* const callNames[] = {"openat", "write", "fdatasync", "fsync", "close", "renameat", "renameat2", "linkat"};

struct Injection {
    Call call = Call::count;
    int nth = 0;
    int error = 0;
    int seen[int(Call::count)] = {};
    bool fired = false;
    // Like a file system that does not know RENAME_NOREPLACE (FUSE without the flag).
    bool refuseNoReplace = false;
    // Partial and interrupted writes, which the writer must continue.
    bool choppyWrites = false;
    int writeTurn = 0;
};
Injection injection;

bool fails(Call call)
{
    const int count = ++injection.seen[int(call)];
    if (call != injection.call || count != injection.nth)
        return false;
    injection.fired = true;
    errno = injection.error;
    return true;
}

const SheetStore::SystemCalls faulty{
    [](int folder, const char* path, int flags, mode_t mode) {
        return fails(Call::openat) ? -1 : ::openat(folder, path, flags, mode);
    },
    [](int file, const void* data, size_t size) -> ssize_t {
        if (fails(Call::write))
            return -1;
        if (injection.choppyWrites) {
            if (++injection.writeTurn % 3 == 1) {
                errno = EINTR;
                return -1;
            }
            size = std::min<size_t>(size, 7);
        }
        return ::write(file, data, size);
    },
    [](int file) { return fails(Call::fdatasync) ? -1 : ::fdatasync(file); },
    [](int file) { return fails(Call::fsync) ? -1 : ::fsync(file); },
    [](int file) {
        if (fails(Call::close)) {
            ::close(file); // the descriptor is gone whatever close reports
            errno = injection.error;
            return -1;
        }
        return ::close(file);
    },
    [](int a, const char* from, int b, const char* to) {
        return fails(Call::renameat) ? -1 : ::renameat(a, from, b, to);
    },
    [](int a, const char* from, int b, const char* to, unsigned flags) {
        if (fails(Call::renameat2))
            return -1;
        if (injection.refuseNoReplace && (flags & RENAME_NOREPLACE)) {
            errno = EINVAL;
            return -1;
        }
        return ::renameat2(a, from, b, to, flags);
    },
    [](int a, const char* from, int b, const char* to, int flags) {
        return fails(Call::linkat) ? -1 : ::linkat(a, from, b, to, flags);
    },
    ::unlinkat,
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

const QString sheetName = u"2024-03-05 09.07.03.txt"_qs;
const QByteArray oldBytes = "the old version, byte for byte\n";

enum class Operation { writePlain, writeEncrypted, create, createWithoutNoReplace, encryptIfPlain };

struct Outcome {
    bool fired;
    Result<bool, SheetStoreError> result;
};

Outcome run(const TempDir& temp, Operation operation, Call call, int nth, int error)
{
    injection = Injection{call, nth, error};
    injection.refuseNoReplace = operation == Operation::createWithoutNoReplace;
    const SheetCipher cipher(QByteArray(32, 'k'));
    const bool encrypted = operation == Operation::writeEncrypted || operation == Operation::encryptIfPlain;
    SheetStore store(temp.path(), QTimeZone("Europe/Berlin"),
                     encrypted ? SheetEncryption::on(cipher) : SheetEncryption::off());
    store.setSystemCalls(faulty);
    const QString url = temp.filePath(sheetName);
    const QString text = u"the new version\n"_qs.repeated(50);
    Result<bool, SheetStoreError> result = false;
    switch (operation) {
    case Operation::writePlain:
    case Operation::writeEncrypted: {
        const Result<void, SheetStoreError> written = store.write(text, url);
        result = written ? Result<bool, SheetStoreError>(true) : unexpected(written.error());
        break;
    }
    case Operation::create:
    case Operation::createWithoutNoReplace: {
        const QDateTime date(QDate(2024, 3, 5), QTime(9, 7, 3), QTimeZone("Europe/Berlin"));
        const Result<SheetFile, SheetStoreError> made = store.create(text, date);
        result = made ? Result<bool, SheetStoreError>(true) : unexpected(made.error());
        break;
    }
    case Operation::encryptIfPlain:
        result = store.encryptIfPlain(url);
        break;
    }
    return {injection.fired, result};
}

} // namespace

TEST(SheetStoreFaults, EveryFailedCallLeavesTheOldSheetAndNoTemporaryFile)
{
    const struct {
        const char* name;
        Operation operation;
    } operations[] = {
        {"write plain", Operation::writePlain},
        {"write encrypted", Operation::writeEncrypted},
        {"create", Operation::create},
        {"create where RENAME_NOREPLACE is refused", Operation::createWithoutNoReplace},
        {"encrypt in place", Operation::encryptIfPlain},
    };
    int injected = 0;
    for (const auto& operation : operations) {
        for (int c = 0; c < int(Call::count); ++c) {
            for (const int error : {EIO, ENOSPC, EACCES, EROFS}) {
                for (int nth = 1;; ++nth) {
                    const std::string trace = std::string(operation.name) + ", " + callNames[c] + " #" +
                                              std::to_string(nth) + " fails with " + strerror(error);
                    SCOPED_TRACE(trace);
                    TempDir temp;
                    temp.write(sheetName, oldBytes);
                    const Outcome outcome = run(temp, operation.operation, Call(c), nth, error);
                    if (!outcome.fired) {
                        // Past the last call of this kind: the operation must have succeeded.
                        EXPECT_TRUE(outcome.result && *outcome.result);
                        break;
                    }
                    ++injected;
                    const bool creating = operation.operation == Operation::create ||
                                          operation.operation == Operation::createWithoutNoReplace;
                    const bool encrypting = operation.operation == Operation::encryptIfPlain;
                    // The second fsync and close are the folder's own: after the rename.
                    const bool afterRename = (Call(c) == Call::fsync || Call(c) == Call::close) && nth == 2;
                    const bool reported = !afterRename || (Call(c) == Call::fsync && !creating && !encrypting);
                    if (!reported) {
                        EXPECT_TRUE(outcome.result && *outcome.result);
                    } else if (encrypting && Call(c) == Call::renameat) {
                        EXPECT_TRUE(outcome.result && !*outcome.result) << "a failed rename is a no";
                    } else {
                        ASSERT_FALSE(outcome.result);
                        EXPECT_EQ(outcome.result.error(), SheetStoreError::writeFailed(error));
                    }
                    const QByteArray now = temp.read(sheetName);
                    if (afterRename && !creating) {
                        EXPECT_NE(now, oldBytes) << "the new version was already in place";
                    } else {
                        EXPECT_TRUE(now == oldBytes) << "the old sheet, byte for byte";
                    }
                    const QStringList files = entries(temp.path());
                    if (creating && afterRename) {
                        EXPECT_EQ(files, (QStringList{u"2024-03-05 09.07.03 2.txt"_qs, sheetName}));
                    } else {
                        EXPECT_EQ(files, QStringList{sheetName}) << "no temporary file is left";
                    }
                }
            }
        }
    }
    EXPECT_GT(injected, 150);
}

TEST(SheetStoreFaults, FolderFlushFailureAfterTheRenameIsReported)
{
    TempDir temp;
    temp.write(sheetName, oldBytes);
    const Outcome outcome = run(temp, Operation::writePlain, Call::fsync, 2, EIO);
    ASSERT_TRUE(outcome.fired);
    ASSERT_FALSE(outcome.result);
    EXPECT_EQ(outcome.result.error(), SheetStoreError::writeFailed(EIO));
    EXPECT_EQ(temp.read(sheetName), u"the new version\n"_qs.repeated(50).toUtf8());
}

TEST(SheetStoreFaults, ShortAndInterruptedWritesAreContinued)
{
    for (const Operation operation : {Operation::writePlain, Operation::writeEncrypted}) {
        TempDir temp;
        injection = Injection{};
        injection.choppyWrites = true;
        const SheetCipher cipher(QByteArray(32, 'k'));
        SheetStore store(temp.path(), QTimeZone::utc(),
                         operation == Operation::writeEncrypted ? SheetEncryption::on(cipher)
                                                                : SheetEncryption::off());
        store.setSystemCalls(faulty);
        const QString text = u"seven bytes at most per call, and EINTR on every third\n"_qs.repeated(20);
        ASSERT_TRUE(store.write(text, temp.filePath(sheetName)));
        EXPECT_GT(injection.writeTurn, 100);
        EXPECT_EQ(store.read(temp.filePath(sheetName))->text, text);
    }
}

TEST(SheetStoreFaults, WithoutRenameNoReplaceCreateStillNeverOverwrites)
{
    TempDir temp;
    temp.write(sheetName, "another program's file");
    temp.write(u"2024-03-05 09.07.03 2.txt"_qs, "and another");
    injection = Injection{};
    injection.refuseNoReplace = true;
    SheetStore store(temp.path(), QTimeZone("Europe/Berlin"), SheetEncryption::off());
    store.setSystemCalls(faulty);
    const QDateTime date(QDate(2024, 3, 5), QTime(9, 7, 3), QTimeZone("Europe/Berlin"));
    const Result<SheetFile, SheetStoreError> made = store.create(u"mine", date);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->url, temp.filePath(u"2024-03-05 09.07.03 3.txt"_qs));
    EXPECT_EQ(injection.seen[int(Call::linkat)], 3) << "each name tried by a hard link";
    EXPECT_EQ(temp.read(sheetName), "another program's file");
    EXPECT_EQ(temp.read(u"2024-03-05 09.07.03 2.txt"_qs), "and another");
    EXPECT_EQ(temp.read(u"2024-03-05 09.07.03 3.txt"_qs), "mine");
    EXPECT_EQ(entries(temp.path()).size(), 3) << "the temporary name is gone after the link";
}
