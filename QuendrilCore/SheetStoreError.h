#pragma once

#include "QuendrilCore/SheetCipherError.h"

#include <optional>

// A failure of the sheet store. Its own causes are `writeFailed` (a system call on the write path
// failed; `code` is its errno), `emptyText` (nothing was written) and `locked` (the text would
// have to be sealed or opened and there is no usable key). Failures from below pass through:
// `fileError` with the errno of reading a file, creating a folder or moving to the Trash;
// `fileReadNoSuchFile` when a scan could not open the folder (whatever the cause, errno in
// `code`); `wrongKey` and `damaged` from the cipher.
struct SheetStoreError {
    enum class Kind {
        writeFailed,
        emptyText,
        locked,
        fileError,
        fileReadNoSuchFile,
        wrongKey,
        damaged
    };

    Kind kind = Kind::writeFailed;
    int code = 0;

    [[nodiscard]] static SheetStoreError writeFailed(int errorNumber)
    {
        return {Kind::writeFailed, errorNumber};
    }
    [[nodiscard]] static SheetStoreError fileError(int errorNumber)
    {
        return {Kind::fileError, errorNumber};
    }
    [[nodiscard]] static SheetStoreError of(SheetCipherError error)
    {
        return {error == SheetCipherError::wrongKey ? Kind::wrongKey : Kind::damaged, 0};
    }

    // The cipher's error when this is one, else none.
    [[nodiscard]] std::optional<SheetCipherError> cipherError() const
    {
        if (kind == Kind::wrongKey)
            return SheetCipherError::wrongKey;
        if (kind == Kind::damaged)
            return SheetCipherError::damaged;
        return std::nullopt;
    }

    bool operator==(const SheetStoreError&) const = default;
};
