#include "QuendrilCore/CodeResources.h"
#include "QuendrilCore/Crypto.h"

#include "TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Error = CodeResources::Error;

struct SignedFolder {
    TempDir temp;
    QString app = temp.filePath(QStringLiteral("Quendril Pad.app"));
    Crypto::Ed25519KeyPair key = *Crypto::generateEd25519();

    SignedFolder()
    {
        temp.write(QStringLiteral("Quendril Pad.app/Contents/Info.plist"), "<plist/>");
        const QString exe = temp.write(QStringLiteral("Quendril Pad.app/Contents/bin/quendril-pad"),
                                       "#!/bin/sh\necho 1\n");
        ::chmod(QFile::encodeName(exe).constData(), 0755);
        temp.write(QStringLiteral("Quendril Pad.app/Contents/lib/libone space.so"), "lib");
        temp.mkdir(QStringLiteral("Quendril Pad.app/Contents/share/empty"));
        EXPECT_TRUE(CodeResources::sign(app, key.privateKey));
    }
    QString path(const char* relative) const { return app + u'/' + QLatin1StringView(relative); }
    QByteArray native(const char* relative) const { return QFile::encodeName(path(relative)); }
};

std::optional<Error> validationError(const SignedFolder& folder, QByteArrayView publicKey)
{
    const auto result = CodeResources::validate(folder.app, publicKey);
    if (result)
        return std::nullopt;
    return result.error();
}

} // namespace

TEST(CodeResources, ASignedFolderValidatesAndResigningReplacesTheManifest)
{
    SignedFolder folder;
    EXPECT_EQ(validationError(folder, folder.key.publicKey), std::nullopt);
    EXPECT_TRUE(CodeResources::sign(folder.app, folder.key.privateKey));
    EXPECT_EQ(validationError(folder, folder.key.publicKey), std::nullopt);

    QFile manifest(folder.path(CodeResources::relativePath));
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QByteArray text = manifest.readAll();
    EXPECT_TRUE(text.startsWith("QuendrilCodeResources 1\ndir 0755 Contents\n"))
        << text.constData();
    EXPECT_TRUE(text.contains(" Contents/lib/libone space.so\n"));
    EXPECT_TRUE(text.contains("file 0755 17 "));
}

TEST(CodeResources, AnyChangeToTheFolderFailsValidation)
{
    struct Row {
        const char* name;
        std::function<void(const SignedFolder&)> change;
        Error expected;
    };
    const auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    };
    const Row rows[] = {
        {"changed byte, same size",
         [&](const SignedFolder& f) { writeFile(f.path("Contents/Info.plist"), "<plist!>"); },
         {Error::changedFile, "Contents/Info.plist"}},
        {"longer file",
         [&](const SignedFolder& f) { writeFile(f.path("Contents/Info.plist"), "<plist/> "); },
         {Error::changedFile, "Contents/Info.plist"}},
        {"missing file",
         [](const SignedFolder& f) { ::unlink(f.native("Contents/lib/libone space.so")); },
         {Error::missingFile, "Contents/lib/libone space.so"}},
        {"missing folder",
         [](const SignedFolder& f) { ::rmdir(f.native("Contents/share/empty")); },
         {Error::missingFile, "Contents/share/empty"}},
        {"extra file",
         [&](const SignedFolder& f) { writeFile(f.path("Contents/bin/helper"), "x"); },
         {Error::extraFile, "Contents/bin/helper"}},
        {"extra empty folder",
         [](const SignedFolder& f) { ::mkdir(f.native("Contents/plugins"), 0755); },
         {Error::extraFile, "Contents/plugins"}},
        {"extra file beside the manifest",
         [&](const SignedFolder& f) { writeFile(f.path("Contents/_CodeSignature/more"), "x"); },
         {Error::extraFile, "Contents/_CodeSignature/more"}},
        {"executable bit lost",
         [](const SignedFolder& f) { ::chmod(f.native("Contents/bin/quendril-pad"), 0644); },
         {Error::changedFile, "Contents/bin/quendril-pad"}},
        {"file replaced by a link",
         [](const SignedFolder& f) {
             ::unlink(f.native("Contents/Info.plist"));
             ::symlink("/etc/hostname", f.native("Contents/Info.plist"));
         },
         {Error::unsafeFile, "Contents/Info.plist"}},
        {"manifest removed",
         [](const SignedFolder& f) { ::unlink(f.native(CodeResources::relativePath)); },
         {Error::noManifest, {}}},
        {"manifest edited",
         [](const SignedFolder& f) {
             QFile manifest(f.path(CodeResources::relativePath));
             ASSERT_TRUE(manifest.open(QIODevice::ReadWrite));
             QByteArray text = manifest.readAll();
             text.replace("file 0755", "file 0644");
             manifest.seek(0);
             manifest.write(text);
         },
         {Error::badSignature, {}}},
        {"manifest cut short",
         [](const SignedFolder& f) { ::truncate(f.native(CodeResources::relativePath), 30); },
         {Error::badManifest, {}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SignedFolder folder;
        row.change(folder);
        EXPECT_EQ(validationError(folder, folder.key.publicKey), row.expected);
    }
}

TEST(CodeResources, OnlyTheSigningKeyValidates)
{
    SignedFolder folder;
    const Crypto::Ed25519KeyPair other = *Crypto::generateEd25519();
    EXPECT_EQ(validationError(folder, other.publicKey), (Error{Error::badSignature, {}}));
    EXPECT_EQ(validationError(folder, folder.key.publicKey.left(31)),
              (Error{Error::badSignature, {}}));

    // Signed again with another key: the folder is whole but no longer ours.
    ASSERT_TRUE(CodeResources::sign(folder.app, other.privateKey));
    EXPECT_EQ(validationError(folder, folder.key.publicKey), (Error{Error::badSignature, {}}));
    EXPECT_EQ(validationError(folder, other.publicKey), std::nullopt);
}

TEST(CodeResources, SigningRefusesLinksAndSetIdFiles)
{
    SignedFolder folder;
    ::symlink("quendril-pad", folder.native("Contents/bin/link"));
    const auto linked = CodeResources::sign(folder.app, folder.key.privateKey);
    ASSERT_FALSE(linked);
    EXPECT_EQ(linked.error(), (Error{Error::unsafeFile, "Contents/bin/link"}));
    ::unlink(folder.native("Contents/bin/link"));

    ::chmod(folder.native("Contents/bin/quendril-pad"), 04755);
    EXPECT_FALSE(CodeResources::sign(folder.app, folder.key.privateKey));
    EXPECT_FALSE(CodeResources::validate(folder.app, folder.key.publicKey));
    EXPECT_FALSE(
        CodeResources::validate(folder.app + QStringLiteral("-absent"), folder.key.publicKey));
}
