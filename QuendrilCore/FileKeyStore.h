#pragma once

#include "QuendrilCore/SheetKeyStore.h"

// The key of a test run: the recovery key text in one plain file, readable by its owner only.
// Saving replaces whatever the file held; callers check for a stored key first.
class FileKeyStore : public SheetKeyStore {
public:
    explicit FileKeyStore(QString url)
        : m_url(std::move(url))
    {
    }

    [[nodiscard]] const QString& url() const { return m_url; }

    // None when no file is there; a file that cannot be read is an error.
    [[nodiscard]] Result<std::optional<QString>, SheetKeyStoreError> loadKey() override;

    // Creates the folder with its parents, then puts the text's UTF-8 bytes in place of the
    // file in one rename, with mode 0600 whatever the old file's mode was.
    [[nodiscard]] Result<void, SheetKeyStoreError> saveKey(const QString& text) override;

private:
    QString m_url;
};
