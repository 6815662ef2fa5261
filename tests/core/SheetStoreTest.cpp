#include "QuendrilCore/FileSystem.h"
#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QTimeZone berlin("Europe/Berlin");

SheetCipher newCipher()
{
    return SheetCipher(SheetCipher::makeKey().value_or(QByteArray(32, 'k')));
}

QDateTime at(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), berlin);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::optional<timespec> created(const QString& path)
{
    return FileSystem::creationTime(AT_FDCWD, QFile::encodeName(path).constData());
}

void setModificationTime(const QString& path, qint64 secondsAgo)
{
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - secondsAgo;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

void PrintTo(const ScannedSheet& sheet, std::ostream* out)
{
    *out << sheet.name.toStdString() << " (" << sheet.size << " bytes, "
         << sheet.date.toString(Qt::ISODateWithMs).toStdString() << ')';
}

void PrintTo(const FileStamp& stamp, std::ostream* out)
{
    *out << stamp.size << " bytes at " << stamp.seconds << '.' << stamp.nanoseconds;
}

namespace {

class SheetStoreTest : public TempDirTest {
protected:
    SheetStore plain{temp.path(), berlin, SheetEncryption::off()};
};

} // namespace

TEST_F(SheetStoreTest, WriteThenReadInEveryEncryptionState)
{
    const SheetCipher cipher = newCipher();
    const struct {
        const char* name;
        SheetEncryption encryption;
        bool encrypted;
    } rows[] = {
        {"off", SheetEncryption::off(), false},
        {"on", SheetEncryption::on(cipher), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SheetStore store(temp.path(), berlin, row.encryption);
        const QString url = temp.filePath(QString::fromLatin1(row.name) + u".txt");
        const QString text = u"Grüße\nzweite Zeile 🙂"_qs;
        ASSERT_TRUE(store.write(text, url));
        const QByteArray bytes = temp.read(QFileInfo(url).fileName());
        EXPECT_EQ(SheetCipher::isEncrypted(bytes), row.encrypted);
        if (!row.encrypted) {
            EXPECT_EQ(bytes, text.toUtf8());
        }
        EXPECT_EQ(store.read(url).value(), (SheetText{text, true, row.encrypted}));
        EXPECT_EQ(store.isEncryptedFile(url), row.encrypted);
        EXPECT_EQ(QFileInfo(url).permissions() & QFile::ReadOwner, QFile::ReadOwner);

        // A rewrite keeps the first version's creation time.
        const std::optional<timespec> first = created(url);
        ASSERT_TRUE(first);
        ::usleep(20000);
        ASSERT_TRUE(store.write(u"second version", url));
        const std::optional<timespec> second = created(url);
        ASSERT_TRUE(second);
        EXPECT_EQ(second->tv_sec, first->tv_sec);
        EXPECT_EQ(second->tv_nsec, first->tv_nsec);
        EXPECT_EQ(store.read(url)->text, u"second version");
    }
    EXPECT_EQ(entries(temp.path()), (QStringList{u"off.txt"_qs, u"on.txt"_qs}))
        << "no temporary file left";
}

TEST_F(SheetStoreTest, NewFilesAreCreatedWithModeRwRR)
{
    const mode_t old = ::umask(022);
    const QString url = temp.filePath(u"mode.txt"_qs);
    ASSERT_TRUE(plain.write(u"x", url));
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(url).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST_F(SheetStoreTest, EmptyTextAndLockedStoresTouchNothing)
{
    const QString url = temp.write(u"2024-03-05 09.07.03.txt"_qs, "old text");
    SheetStore locked(temp.path(), berlin, SheetEncryption::locked());
    const struct {
        const char* name;
        SheetStore* store;
        QString text;
        SheetStoreError::Kind expected;
    } rows[] = {
        {"empty text", &plain, QString(), SheetStoreError::Kind::emptyText},
        {"locked", &locked, u"new"_qs, SheetStoreError::Kind::locked},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Result<void, SheetStoreError> written = row.store->write(row.text, url);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().kind, row.expected);
        const Result<SheetFile, SheetStoreError> made =
            row.store->create(row.text, at(2024, 1, 1, 0, 0, 0));
        ASSERT_FALSE(made);
        EXPECT_EQ(made.error().kind, row.expected);
        EXPECT_EQ(temp.read(u"2024-03-05 09.07.03.txt"_qs), "old text");
        EXPECT_EQ(entries(temp.path()), QStringList{u"2024-03-05 09.07.03.txt"_qs});
    }
    // A locked store still reads plain sheets.
    EXPECT_EQ(locked.read(url)->text, u"old text");
}

TEST_F(SheetStoreTest, CreateNeverOverwrites)
{
    const QDateTime date = at(2024, 3, 5, 9, 7, 3);
    const Result<SheetFile, SheetStoreError> first = plain.create(u"first", date);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->url, temp.filePath(u"2024-03-05 09.07.03.txt"_qs));
    EXPECT_EQ(first->date, date);
    const Result<SheetFile, SheetStoreError> second = plain.create(u"second", date.addMSecs(400));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->url, temp.filePath(u"2024-03-05 09.07.03 2.txt"_qs));
    EXPECT_EQ(second->date, date) << "the date parsed back from the name";

    // Another program takes the next plain name first.
    temp.write(u"2024-03-05 09.07.04.txt"_qs, "theirs");
    const Result<SheetFile, SheetStoreError> third = plain.create(u"mine", date.addSecs(1));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->url, temp.filePath(u"2024-03-05 09.07.04 2.txt"_qs));
    EXPECT_EQ(temp.read(u"2024-03-05 09.07.04.txt"_qs), "theirs");
    EXPECT_EQ(temp.read(u"2024-03-05 09.07.03.txt"_qs), "first");
    EXPECT_EQ(entries(temp.path()).size(), 4);
}

TEST_F(SheetStoreTest, ReadDecodesEveryKindOfFile)
{
    const SheetCipher cipher = newCipher();
    const SheetCipher other = newCipher();
    SheetStore on(temp.path(), berlin, SheetEncryption::on(cipher));
    SheetStore locked(temp.path(), berlin, SheetEncryption::locked());
    const QByteArray sealed = *cipher.encrypt(u"secret");
    using Kind = SheetStoreError::Kind;
    const struct {
        const char* name;
        const SheetStore* store;
        QByteArray bytes;
        std::optional<SheetText> text;
        Kind error;
    } rows[] = {
        {"UTF-8", &plain, "caf\xc3\xa9", SheetText{u"café"_qs, true, false}, {}},
        {"empty", &plain, "", SheetText{QString(), true, false}, {}},
        {"byte-order mark kept",
         &plain,
         "\xef\xbb\xbfx",
         SheetText{QString(QChar(0xFEFF)) + u"x", true, false},
         {}},
        {"ISO 8859-1", &plain, "caf\xe9 \xff", SheetText{u"café ÿ"_qs, false, false}, {}},
        {"overlong UTF-8 is not UTF-8", &plain, "\xc0\xaf", SheetText{u"À¯"_qs, false, false}, {}},
        {"encrypted, store on", &on, sealed, SheetText{u"secret"_qs, true, true}, {}},
        {"encrypted, store off", &plain, sealed, std::nullopt, Kind::locked},
        {"encrypted, store locked", &locked, sealed, std::nullopt, Kind::locked},
        {"another key", &on, *other.encrypt(u"x"), std::nullopt, Kind::wrongKey},
        {"header only", &on, SheetCipher::header.toByteArray(), std::nullopt, Kind::damaged},
        {"truncated", &on, sealed.chopped(1), std::nullopt, Kind::damaged},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString url = temp.write(u"sheet.txt"_qs, row.bytes);
        const Result<SheetText, SheetStoreError> read = row.store->read(url);
        ASSERT_EQ(read.has_value(), row.text.has_value());
        if (row.text)
            EXPECT_EQ(*read, *row.text);
        else
            EXPECT_EQ(read.error().kind, row.error);
        EXPECT_EQ(temp.read(u"sheet.txt"_qs), row.bytes) << "reading changes nothing";
    }
    const Result<SheetText, SheetStoreError> missing = plain.read(temp.filePath(u"missing.txt"_qs));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), SheetStoreError::fileError(ENOENT));
}

TEST_F(SheetStoreTest, ScanFindsOnlySheetsNewestFirst)
{
    temp.write(u"2024-03-05 09.07.03.txt"_qs, "a");
    temp.write(u"2024-03-05 09.07.03 2.txt"_qs, "bb");
    temp.write(u"2024-03-05 09.07.03 10.txt"_qs, "ccc");
    temp.write(u"2023-01-01 00.00.00.txt"_qs, "old");
    temp.write(u"Notes.TXT"_qs, "no date in the name");
    temp.write(u".hidden.txt"_qs, "x");
    temp.write(u".quendril-0b9f1c2e-5d2a-4d7e-9a63-3f3f1e2d4c5b.tmp"_qs, "x");
    temp.write(u"readme.md"_qs, "x");
    temp.write(u"sub/2025-01-01 00.00.00.txt"_qs, "inside a subfolder");
    temp.mkdir(u"folder.txt"_qs);
    ASSERT_EQ(::symlink("2023-01-01 00.00.00.txt",
                        QFile::encodeName(temp.filePath(u"link.txt"_qs)).constData()),
              0);
    ASSERT_EQ(
        ::symlink("missing", QFile::encodeName(temp.filePath(u"dangling.txt"_qs)).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(temp.filePath(u"pipe.txt"_qs)).constData(), 0600), 0);
    // Not ASCII, and dated by our creation attribute.
    const QString cafe = temp.write(u"Café 9.txt"_qs, "non-ASCII name");
    const QByteArray cafeCreated = "1000000000.250000000";
    ASSERT_EQ(::setxattr(QFile::encodeName(cafe).constData(), FileSystem::createdAttribute,
                         cafeCreated.constData(), size_t(cafeCreated.size()), 0),
              0);

    const std::optional<timespec> birth = created(temp.filePath(u"Notes.TXT"_qs));
    ASSERT_TRUE(birth) << "this file system keeps birth times";
    auto asDate = [](const timespec& time) {
        return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000,
                                              Qt::UTC);
    };
    const QDateTime notesDate = asDate(*birth);
    // A symbolic link counts as the file it points to, creation time included.
    const QDateTime linkDate = asDate(*created(temp.filePath(u"2023-01-01 00.00.00.txt"_qs)));

    const Result<QList<ScannedSheet>, SheetStoreError> scanned = plain.scan();
    ASSERT_TRUE(scanned);
    const QList<ScannedSheet> expected{
        {u"Notes.TXT"_qs, 19, notesDate},
        {u"link.txt"_qs, 3, linkDate},
        // Same second: descending natural order, so " 10" before " 2", and the plain name (a
        // full stop sorts after a space) first.
        {u"2024-03-05 09.07.03.txt"_qs, 1, at(2024, 3, 5, 9, 7, 3)},
        {u"2024-03-05 09.07.03 10.txt"_qs, 3, at(2024, 3, 5, 9, 7, 3)},
        {u"2024-03-05 09.07.03 2.txt"_qs, 2, at(2024, 3, 5, 9, 7, 3)},
        {u"2023-01-01 00.00.00.txt"_qs, 3, at(2023, 1, 1, 0, 0, 0)},
        {u"Café 9.txt"_qs, 14, QDateTime::fromMSecsSinceEpoch(1000000000250, Qt::UTC)},
    };
    ASSERT_EQ(scanned->size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((*scanned)[i], expected[i]);
    }

    const Result<QList<SheetFile>, SheetStoreError> listed = plain.listSheets();
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), scanned->size());
    for (qsizetype i = 0; i < listed->size(); ++i) {
        EXPECT_EQ((*listed)[i], plain.sheetFile(temp.filePath((*scanned)[i].name)));
        EXPECT_EQ((*listed)[i].date, (*scanned)[i].date);
        if (i > 0) {
            EXPECT_TRUE(SheetStore::newestFirst((*listed)[i - 1], (*listed)[i]));
        }
        EXPECT_FALSE(SheetStore::newestFirst((*listed)[i], (*listed)[i]));
    }

    SheetStore missing(temp.filePath(u"missing"_qs), berlin, SheetEncryption::off());
    const Result<QList<ScannedSheet>, SheetStoreError> failed = missing.scan();
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().kind, SheetStoreError::Kind::fileReadNoSuchFile);
    EXPECT_FALSE(missing.listSheets());
}

TEST_F(SheetStoreTest, SheetDatesFallBackToCreationThenEpoch)
{
    const QString named = temp.write(u"2024-03-05 09.07.03 2.txt"_qs, "x");
    EXPECT_EQ(plain.sheetFile(named).date, at(2024, 3, 5, 9, 7, 3));

    // Our attribute wins over the birth time.
    const QString kept = temp.write(u"kept.txt"_qs, "x");
    const QByteArray value = "1000000000.250000000";
    ASSERT_EQ(::setxattr(QFile::encodeName(kept).constData(), FileSystem::createdAttribute,
                         value.constData(), size_t(value.size()), 0),
              0);
    EXPECT_EQ(plain.sheetFile(kept).date, QDateTime::fromMSecsSinceEpoch(1000000000250, Qt::UTC));

    EXPECT_EQ(plain.sheetFile(temp.filePath(u"missing.txt"_qs)).date,
              QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
}

TEST(SheetStoreOrder, EqualDatesSortByDescendingNaturalOrder)
{
    const QDateTime date = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
    const SheetFile nine{u"/n/Note 9.txt"_qs, date};
    const SheetFile ten{u"/n/note 10.txt"_qs, date};
    const SheetFile newer{u"/n/a.txt"_qs, date.addMSecs(1)};
    EXPECT_TRUE(SheetStore::newestFirst(ten, nine));
    EXPECT_FALSE(SheetStore::newestFirst(nine, ten));
    EXPECT_TRUE(SheetStore::newestFirst(newer, ten));
    EXPECT_FALSE(SheetStore::newestFirst(ten, newer));
}

TEST_F(SheetStoreTest, StampsChangeWithEveryVersion)
{
    const QString url = temp.write(u"s.txt"_qs, "abc");
    const std::optional<FileStamp> first = plain.stamp(url);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size, 3);
    EXPECT_EQ(plain.stamp(url), first);
    ::usleep(20000); // modification times advance in clock ticks of a few milliseconds
    ASSERT_TRUE(plain.write(u"abd", url));
    const std::optional<FileStamp> second = plain.stamp(url);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size, 3);
    EXPECT_NE(second, first) << "a new version has a new modification time";
    EXPECT_FALSE(plain.stamp(temp.filePath(u"missing.txt"_qs)));
}

TEST_F(SheetStoreTest, EncryptIfPlain)
{
    const SheetCipher cipher = newCipher();
    SheetStore on(temp.path(), berlin, SheetEncryption::on(cipher));
    const QByteArray sealed = *cipher.encrypt(u"already");

    const struct {
        const char* name;
        SheetStore* store;
        QByteArray bytes;
    } unchanged[] = {
        {"encryption off", &plain, "plain"},
        {"empty file", &on, ""},
        {"already encrypted", &on, sealed},
    };
    for (const auto& row : unchanged) {
        SCOPED_TRACE(row.name);
        const QString url = temp.write(u"s.txt"_qs, row.bytes);
        EXPECT_EQ(row.store->encryptIfPlain(url).value(), false);
        EXPECT_EQ(temp.read(u"s.txt"_qs), row.bytes);
    }
    EXPECT_EQ(on.encryptIfPlain(temp.filePath(u"missing.txt"_qs)).value(), false);

    // A save that lands between the read and the rename wins.
    const QString url = temp.write(u"s.txt"_qs, "version one");
    const Result<bool, SheetStoreError> raced = on.encryptIfPlain(url, [&] {
        ::usleep(10000);
        ASSERT_TRUE(on.write(u"version two, longer", url));
    });
    EXPECT_EQ(raced.value(), false);
    EXPECT_EQ(on.read(url)->text, u"version two, longer");

    // A plain sheet, even one in ISO 8859-1, becomes the same text sealed.
    const QString latin = temp.write(u"latin.txt"_qs, "caf\xe9");
    const std::optional<timespec> birth = created(latin);
    bool called = false;
    EXPECT_EQ(on.encryptIfPlain(latin, [&] { called = true; }).value(), true);
    EXPECT_TRUE(called);
    EXPECT_EQ(on.read(latin).value(), (SheetText{u"café"_qs, true, true}));
    ASSERT_TRUE(birth);
    EXPECT_EQ(created(latin)->tv_sec, birth->tv_sec);
    EXPECT_EQ(created(latin)->tv_nsec, birth->tv_nsec);
    EXPECT_EQ(entries(temp.path()), (QStringList{u"latin.txt"_qs, u"s.txt"_qs}));
}

TEST_F(SheetStoreTest, EncryptedSheetsAreFoundByTheirHeader)
{
    const SheetCipher cipher = newCipher();
    temp.write(u"2024-01-01 00.00.00.txt"_qs, "plain");
    temp.write(u".hidden.txt"_qs, *cipher.encrypt(u"not a sheet"));
    temp.write(u"other.md"_qs, *cipher.encrypt(u"not a sheet"));
    EXPECT_FALSE(plain.hasEncryptedSheet());
    const QString sealed = temp.write(u"2023-01-01 00.00.00.txt"_qs, *cipher.encrypt(u""));
    EXPECT_TRUE(plain.hasEncryptedSheet());
    EXPECT_TRUE(plain.isEncryptedFile(sealed));
    temp.write(u"2023-01-01 00.00.00.txt"_qs, SheetCipher::header.toByteArray().chopped(1));
    EXPECT_FALSE(plain.isEncryptedFile(sealed));
    EXPECT_FALSE(plain.isEncryptedFile(temp.filePath(u"missing.txt"_qs)));
    EXPECT_FALSE(SheetStore(temp.filePath(u"missing"_qs), berlin, SheetEncryption::off())
                     .hasEncryptedSheet());
}

TEST_F(SheetStoreTest, ExportPlain)
{
    const SheetCipher cipher = newCipher();
    SheetStore on(temp.path(), berlin, SheetEncryption::on(cipher));
    temp.write(u"b.txt"_qs, *cipher.encrypt(u"sealed b"));
    temp.write(u"a.txt"_qs, "caf\xe9");
    temp.write(u"c.txt"_qs, *newCipher().encrypt(u"another key"));
    const QString out = temp.filePath(u"out/deeper"_qs);
    temp.write(u"out/deeper/a.txt"_qs, "to be replaced");

    EXPECT_EQ(on.exportPlain(out), (SheetStore::ExportResult{2, {u"c.txt"_qs}}));
    EXPECT_EQ(QFile(out + u"/a.txt").size(), 5);
    QFile a(out + u"/a.txt");
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), "caf\xc3\xa9");
    EXPECT_EQ(entries(out), (QStringList{u"a.txt"_qs, u"b.txt"_qs}));

    // With encryption off, sealed sheets fail.
    EXPECT_EQ(plain.exportPlain(temp.filePath(u"out2"_qs)),
              (SheetStore::ExportResult{1, {u"b.txt"_qs, u"c.txt"_qs}}));

    // Into the notes folder itself, by any path: nothing written, every sheet failed.
    const QString link = temp.filePath(u"../link-" + QFileInfo(temp.path()).fileName());
    ASSERT_EQ(
        ::symlink(QFile::encodeName(temp.path()).constData(), QFile::encodeName(link).constData()),
        0);
    const SheetStore::ExportResult refused{0, {u"a.txt"_qs, u"b.txt"_qs, u"c.txt"_qs}};
    for (const QString& destination :
         {temp.path(), QString(temp.path() + u"/./"), QString(temp.path() + u"/out/.."), link}) {
        SCOPED_TRACE(destination.toStdString());
        EXPECT_EQ(on.exportPlain(destination), refused);
    }
    ::unlink(QFile::encodeName(link).constData());
    EXPECT_EQ(SheetCipher::isEncrypted(temp.read(u"b.txt"_qs)), true);

    // A destination that cannot be made.
    temp.write(u"file"_qs, "x");
    EXPECT_EQ(on.exportPlain(temp.filePath(u"file/sub"_qs)), refused);
}

TEST_F(SheetStoreTest, MoveToTrashFollowsTheFreedesktopLayout)
{
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + u"/Trash";
    ASSERT_TRUE(trash.startsWith(QDir::tempPath())) << "tests never touch the real Trash";
    const QString first = temp.write(u"2024-03-05 09.07.03.txt"_qs, "one");
    const Result<std::optional<QString>, SheetStoreError> moved = plain.moveToTrash(first);
    ASSERT_TRUE(moved);
    ASSERT_TRUE(moved->has_value());
    EXPECT_EQ(**moved, trash + u"/files/2024-03-05 09.07.03.txt");
    EXPECT_FALSE(QFile::exists(first));
    QFile info(trash + u"/info/2024-03-05 09.07.03.txt.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    const QByteArray content = info.readAll();
    EXPECT_TRUE(
        content.startsWith(QByteArray("[Trash Info]\nPath=" + QFile::encodeName(temp.path()) +
                                      "/2024-03-05%2009.07.03.txt\nDeletionDate=")))
        << content.toStdString();
    EXPECT_TRUE(
        QDateTime::fromString(QString::fromLatin1(content.split('=').last().trimmed()), Qt::ISODate)
            .isValid());

    // The same name again does not replace the first item.
    const QString second = temp.write(u"2024-03-05 09.07.03.txt"_qs, "two");
    const Result<std::optional<QString>, SheetStoreError> again = plain.moveToTrash(second);
    ASSERT_TRUE(again);
    EXPECT_EQ(**again, trash + u"/files/2024-03-05 09.07.03.2.txt");
    QFile kept(trash + u"/files/2024-03-05 09.07.03.txt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "one");
    EXPECT_TRUE(QFile::exists(trash + u"/info/2024-03-05 09.07.03.2.txt.trashinfo"));

    const Result<std::optional<QString>, SheetStoreError> missing =
        plain.moveToTrash(temp.filePath(u"missing.txt"_qs));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), SheetStoreError::fileError(ENOENT));
}

TEST_F(SheetStoreTest, EnsureFolderMakesParentsAndClearsOnlyOldTemporaryFiles)
{
    SheetStore deep(temp.filePath(u"a/b/notes"_qs), berlin, SheetEncryption::off());
    ASSERT_TRUE(deep.ensureFolder());
    EXPECT_TRUE(QFileInfo(deep.folder()).isDir());
    ASSERT_TRUE(deep.ensureFolder()) << "an existing folder is no error";

    const QString old = temp.write(u".quendril-0b9f1c2e-5d2a-4d7e-9a63-3f3f1e2d4c5b.tmp"_qs, "x");
    const QString young = temp.write(u".quendril-1b9f1c2e-5d2a-4d7e-9a63-3f3f1e2d4c5b.tmp"_qs, "x");
    const QString notOurs = temp.write(u".quendril-notauuid.tmp"_qs, "x");
    const QString sheet = temp.write(u"2020-01-01 00.00.00.txt"_qs, "x");
    for (const QString& path : {old, notOurs, sheet})
        setModificationTime(path, 2 * 24 * 3600);
    setModificationTime(young, 23 * 3600);
    ASSERT_TRUE(plain.ensureFolder());
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(young));
    EXPECT_TRUE(QFile::exists(notOurs));
    EXPECT_TRUE(QFile::exists(sheet));

    temp.write(u"file"_qs, "x");
    SheetStore blocked(temp.filePath(u"file/notes"_qs), berlin, SheetEncryption::off());
    const Result<void, SheetStoreError> failed = blocked.ensureFolder();
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), SheetStoreError::fileError(ENOTDIR));
}
