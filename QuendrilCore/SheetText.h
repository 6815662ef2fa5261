#pragma once

#include <QString>

// A sheet as read: its text; `wasUTF8` false only when the bytes were not valid UTF-8 and were
// read as ISO 8859-1; `wasEncrypted` true when the file was in the encrypted format.
struct SheetText {
    QString text;
    bool wasUTF8 = true;
    bool wasEncrypted = false;

    bool operator==(const SheetText&) const = default;
};
