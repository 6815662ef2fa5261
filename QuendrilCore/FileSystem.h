#pragma once

#include "QuendrilCore/Result.h"

#include <QByteArray>
#include <QString>

#include <ctime>
#include <optional>

#include <unistd.h>

// Small POSIX helpers shared by the sheet store and the Trash; errors are errno values.
namespace FileSystem {

// The extended attribute that keeps a file's first creation time across rewrites, as text
// "<seconds>.<nanoseconds>", because Linux cannot set a birth time.
inline constexpr const char* createdAttribute = "user.quendrilpad.created";

// The creation time of a file: our attribute when present and well formed, else the birth time
// from statx, else none. `name` is relative to `folder` (a descriptor or AT_FDCWD).
[[nodiscard]] std::optional<timespec> creationTime(int folder, const char* name);
// Records `time` in our attribute on an open file; false if the file system refused it.
bool setCreationTime(int file, const timespec& time);

// The whole file at `path`, read until its end.
[[nodiscard]] Result<QByteArray, int> readFile(const QByteArray& path);
// Writes all of `bytes` through `write`, going on after short writes and signals; 0, or the
// errno of the failure (EIO when nothing could be written), which is also left in errno.
[[nodiscard]] int writeAll(int fd, QByteArrayView bytes,
                           ssize_t (*write)(int fd, const void* data, size_t size) = ::write);

// At most `count` bytes from the start of the file.
[[nodiscard]] Result<QByteArray, int> readPrefix(const QByteArray& path, qsizetype count);

// Creates a folder and its missing parents with mode 0777 (less the umask); an existing folder
// is fine, an existing file of that name is ENOTDIR.
[[nodiscard]] Result<void, int> makePath(const QByteArray& path);

// The parent folder and the last component of an absolute path ("/a/b" gives "/a" and "b").
struct SplitPath {
    QByteArray folder;
    QByteArray name;
};
[[nodiscard]] SplitPath split(const QByteArray& path);

} // namespace FileSystem
