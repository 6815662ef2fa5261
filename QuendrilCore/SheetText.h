#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// A sheet as read: its text; `wasUTF8` false only when the bytes were not valid UTF-8 and were
// read as ISO 8859-1; `wasEncrypted` true when the file was in the encrypted format.
struct SheetText {
    QString text;
    bool wasUTF8 = true;
    bool wasEncrypted = false;

    bool operator==(const SheetText&) const = default;

    // Sheet bytes as UTF-8, strictly: none for an invalid sequence; a leading byte-order mark
    // is kept as text.
    [[nodiscard]] static std::optional<QString> strictUTF8(QByteArrayView bytes);
};
