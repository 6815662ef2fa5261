#include "ToolCommand.h"

#include "QuendrilCore/SheetStore.h"

#include <QDateTime>
#include <QFileInfo>

#include <cstdio>

// Sheet files from the command line, through the same store the application uses. The key, when
// the sheets are encrypted, comes as a recovery key text in QUENDRIL_SHEET_KEY.

namespace {

std::optional<SheetEncryption> encryptionFromEnvironment()
{
    const QString recoveryKey = qEnvironmentVariable("QUENDRIL_SHEET_KEY");
    if (recoveryKey.isEmpty())
        return SheetEncryption::off();
    std::optional<SheetCipher> cipher = SheetCipher::fromRecoveryKey(recoveryKey);
    if (!cipher)
        return std::nullopt;
    return SheetEncryption::on(std::move(*cipher));
}

int fail(const char* what, const SheetStoreError& error)
{
    std::fprintf(stderr, "%s failed: kind %d, errno %d\n", what, int(error.kind), error.code);
    return 1;
}

int withStore(const QString& folder, const std::function<int(SheetStore&)>& body)
{
    const std::optional<SheetEncryption> encryption = encryptionFromEnvironment();
    if (!encryption) {
        std::fprintf(stderr, "QUENDRIL_SHEET_KEY is not a recovery key\n");
        return 2;
    }
    SheetStore store(QFileInfo(folder).absoluteFilePath(), QTimeZone::systemTimeZone(), *encryption);
    return body(store);
}

const ToolCommand::Registration write{
    "sheet-write", "<file>: replace a sheet with standard input", [](const QStringList& arguments) {
        if (arguments.size() != 1)
            return 2;
        const QString url = QFileInfo(arguments[0]).absoluteFilePath();
        return withStore(QFileInfo(url).absolutePath(), [&](SheetStore& store) {
            const Result<void, SheetStoreError> written =
                store.write(QString::fromUtf8(ToolCommand::readStandardInput()), url);
            return written ? 0 : fail("write", written.error());
        });
    }};

const ToolCommand::Registration create{
    "sheet-create", "<folder>: a new sheet named after now, from standard input",
    [](const QStringList& arguments) {
        if (arguments.size() != 1)
            return 2;
        return withStore(arguments[0], [&](SheetStore& store) {
            const Result<SheetFile, SheetStoreError> made =
                store.create(QString::fromUtf8(ToolCommand::readStandardInput()), QDateTime::currentDateTimeUtc());
            if (!made)
                return fail("create", made.error());
            std::printf("%s\n", made->url.toUtf8().constData());
            return 0;
        });
    }};

const ToolCommand::Registration read{
    "sheet-read", "<file>: print a sheet's text", [](const QStringList& arguments) {
        if (arguments.size() != 1)
            return 2;
        const QString url = QFileInfo(arguments[0]).absoluteFilePath();
        return withStore(QFileInfo(url).absolutePath(), [&](SheetStore& store) {
            const Result<SheetText, SheetStoreError> text = store.read(url);
            if (!text)
                return fail("read", text.error());
            ToolCommand::writeStandardOutput(text->text.toUtf8());
            return 0;
        });
    }};

} // namespace
