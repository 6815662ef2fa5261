#pragma once

#include <QtGlobal>

// One version of a file as the file system reports it: size in bytes and modification time
// (seconds and nanoseconds since 1970 UTC). Two stamps are equal when all three fields are.
struct FileStamp {
    qint64 size = 0;
    qint64 seconds = 0;
    qint64 nanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};
