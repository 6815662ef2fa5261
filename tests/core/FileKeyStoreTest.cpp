#include "QuendrilCore/FileKeyStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace {
const QString key = QStringLiteral("q83vEjRWeJCrze8SNFZ4kKvN7xI0VniQq83vEjRWeJA=");

mode_t modeOf(const QString& path)
{
    struct stat info;
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    return info.st_mode & 07777;
}
} // namespace

TEST_F(TempDirTest, FileKeyStoreHasNoKeyUntilOneIsSaved)
{
    FileKeyStore store(temp.filePath(QStringLiteral("support/dev-sheet-key.txt")));
    const auto nothing = store.loadKey();
    ASSERT_TRUE(nothing);
    EXPECT_FALSE(nothing->has_value());
    EXPECT_FALSE(QDir(temp.filePath(QStringLiteral("support"))).exists())
        << "loading writes nothing";
}

TEST_F(TempDirTest, FileKeyStoreSavesOwnerOnlyFilesInNewFolders)
{
    const QString url = temp.filePath(QStringLiteral("a/b/dev-sheet-key.txt"));
    FileKeyStore store(url);
    ASSERT_TRUE(store.saveKey(key));
    EXPECT_EQ(temp.read(QStringLiteral("a/b/dev-sheet-key.txt")), key.toUtf8());
    EXPECT_EQ(modeOf(url), 0600u);
    EXPECT_EQ(store.loadKey().value(), key);
    EXPECT_EQ(QDir(temp.filePath(QStringLiteral("a/b"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("dev-sheet-key.txt")});
}

TEST_F(TempDirTest, FileKeyStoreNarrowsTheModeOfAFileItReplaces)
{
    const QString url =
        temp.write(QStringLiteral("dev-sheet-key.txt"), "old text that is longer than the key");
    ASSERT_EQ(::chmod(QFile::encodeName(url).constData(), 0666), 0);
    FileKeyStore store(url);
    ASSERT_TRUE(store.saveKey(key));
    EXPECT_EQ(modeOf(url), 0600u);
    EXPECT_EQ(temp.read(QStringLiteral("dev-sheet-key.txt")), key.toUtf8());
}

TEST_F(TempDirTest, FileKeyStoreTrimsTheKeyItLoads)
{
    temp.write(QStringLiteral("key.txt"), QByteArray(" \t" + key.toUtf8() + "\r\n\n"));
    FileKeyStore store(temp.filePath(QStringLiteral("key.txt")));
    EXPECT_EQ(store.loadKey().value(), key);

    temp.write(QStringLiteral("blank.txt"), "\n");
    EXPECT_EQ(FileKeyStore(temp.filePath(QStringLiteral("blank.txt"))).loadKey().value(),
              QString());
}

TEST_F(TempDirTest, FileKeyStoreReportsEachFailureWithItsErrno)
{
    temp.mkdir(QStringLiteral("folder-at-the-key"));
    temp.write(QStringLiteral("plain-file"), "x");
    using Kind = SheetKeyStoreError::Kind;

    FileKeyStore folderAtKey(temp.filePath(QStringLiteral("folder-at-the-key")));
    const auto read = folderAtKey.loadKey();
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error(), (SheetKeyStoreError{Kind::fileRead, EISDIR}));

    const auto write = folderAtKey.saveKey(key);
    ASSERT_FALSE(write);
    EXPECT_EQ(write.error().kind, Kind::fileWrite);
    EXPECT_EQ(
        QDir(temp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
        2)
        << "no temporary file is left behind";

    const auto folder =
        FileKeyStore(temp.filePath(QStringLiteral("plain-file/sub/key.txt"))).saveKey(key);
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), (SheetKeyStoreError{Kind::folderCreate, ENOTDIR}));
    EXPECT_EQ(temp.read(QStringLiteral("plain-file")), "x");
}

TEST(SheetKeyStoreError, DescribesAKeyringFailureByItsStatus)
{
    EXPECT_EQ((SheetKeyStoreError{SheetKeyStoreError::Kind::keyring, -25308}).description(),
              QStringLiteral("Keyring error -25308"));
    EXPECT_EQ((SheetKeyStoreError{SheetKeyStoreError::Kind::keyring, 2}).description(),
              QStringLiteral("Keyring error 2"));
    EXPECT_TRUE((SheetKeyStoreError{SheetKeyStoreError::Kind::fileRead, EACCES})
                    .description()
                    .contains(u"Permission denied"));
}
