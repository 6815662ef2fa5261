#include "QuendrilCore/SheetDocument.h"
#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

const QDateTime t0 = QDateTime::fromString(u"2024-03-05T09:07:03Z"_qs, Qt::ISODate);

class SheetDocumentTest : public ::testing::Test {
protected:
    TempDir temp;
    SheetStore store{temp.path(), QTimeZone::utc(), SheetEncryption::off()};

    QStringList sheetNames() const
    {
        return QDir(temp.path()).entryList({u"*.txt"_qs}, QDir::Files, QDir::Name);
    }
    QByteArray contents(const QString& url) const
    {
        QFile file(url);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Another program's write: in place, keeping the inode.
    void rewriteInPlace(const QString& url, const QByteArray& bytes)
    {
        QFile file(url);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // Another program's save through a temporary file renamed over the sheet (a new inode).
    void renameOver(const QString& url, const QByteArray& bytes)
    {
        const QString temporary = temp.write(u"other-editor.swp"_qs, bytes);
        ASSERT_EQ(::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(url).constData()), 0);
    }
    // A document attached to a saved sheet holding `text`.
    SheetDocument savedSheet(const QString& text)
    {
        const auto file = store.create(text, t0);
        EXPECT_TRUE(file);
        return SheetDocument(*file, text, store.stamp(file->url));
    }
    static TextEdit replaceAll(const SheetDocument& document, const QString& with)
    {
        return {{0, document.length()}, with};
    }
};

} // namespace

TEST_F(SheetDocumentTest, TypingOverTheWholeTextStartsANewSheetOnlyForTyping)
{
    struct Row {
        const char* name;
        QString text;
        EditOrigin origin;
        QString replacement;
        bool startsNewSheet;
    };
    const Row rows[] = {
        {"select all and type", u"old text"_qs, EditOrigin::userInput, u"new"_qs, true},
        {"select all and delete", u"old text"_qs, EditOrigin::userInput, u""_qs, true},
        {"a command keeps the sheet", u"old text"_qs, EditOrigin::command, u"OLD TEXT"_qs, false},
        {"undo keeps the sheet", u"old text"_qs, EditOrigin::undoRedo, u"x"_qs, false},
        {"one character stays the same sheet", u"a"_qs, EditOrigin::userInput, u"b"_qs, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir folder;
        SheetStore rowStore(folder.path(), QTimeZone::utc(), SheetEncryption::off());
        const auto file = rowStore.create(row.text, t0);
        ASSERT_TRUE(file);
        SheetDocument document(*file, row.text, rowStore.stamp(file->url));

        const EditEffect effect = document.apply({{0, document.length()}, row.replacement}, row.origin,
                                                 t0.addSecs(60), rowStore);
        EXPECT_EQ(effect.kind == EditEffect::Kind::startedNewSheet, row.startsNewSheet);
        EXPECT_EQ(document.text(), row.replacement);
        const auto event = document.saveIfNeeded(rowStore);
        if (row.startsNewSheet) {
            EXPECT_EQ(effect.old, *file);
            EXPECT_EQ(effect.text, row.text);
            EXPECT_EQ(rowStore.read(file->url)->text, row.text) << "the old file keeps its text";
            if (row.replacement.isEmpty()) {
                EXPECT_FALSE(event) << "an empty new sheet is not written";
                EXPECT_FALSE(document.file());
            } else {
                ASSERT_TRUE(event);
                EXPECT_EQ(event->kind, SaveEvent::Kind::created);
                EXPECT_NE(event->file.url, file->url);
                EXPECT_EQ(rowStore.read(event->file.url)->text, row.replacement);
            }
        } else {
            EXPECT_EQ(document.file(), file);
            EXPECT_EQ(rowStore.read(file->url)->text, row.replacement);
        }
    }
}

TEST_F(SheetDocumentTest, TextTypedBeforeItsFirstSaveIsSavedBeforeAClear)
{
    SheetDocument document;
    document.apply({{0, 0}, u"typed, never saved"_qs}, EditOrigin::userInput, t0, store);
    EXPECT_EQ(document.startTime(), t0);
    const EditEffect effect = document.apply(replaceAll(document, u"fresh"_qs), EditOrigin::userInput,
                                             t0.addSecs(1), store);
    ASSERT_EQ(effect.kind, EditEffect::Kind::startedNewSheet);
    EXPECT_EQ(store.read(effect.old.url)->text, u"typed, never saved"_qs);
    EXPECT_EQ(effect.old.date, t0) << "named after the moment typing began";
    EXPECT_FALSE(document.file());
    EXPECT_EQ(document.startTime(), t0.addSecs(1));
}

TEST_F(SheetDocumentTest, AClearThatCannotBeSavedStaysPendingUntilASaveWorks)
{
    SheetDocument document = savedSheet(u"keep me"_qs);
    const QString url = document.file()->url;
    document.apply({{7, 7}, u"!"_qs}, EditOrigin::userInput, t0, store); // unsaved change

    SheetStore::SystemCalls failing = SheetStore::realSystemCalls();
    failing.openat = [](int, const char*, int, mode_t) { errno = ENOSPC; return -1; };
    store.setSystemCalls(failing);
    EXPECT_EQ(document.apply(replaceAll(document, u"new"_qs), EditOrigin::userInput, t0, store).kind,
              EditEffect::Kind::normal);
    EXPECT_TRUE(document.pendingClear());
    EXPECT_EQ(document.pendingClear()->text, u"keep me!"_qs);
    EXPECT_FALSE(document.saveIfNeeded(store));
    EXPECT_TRUE(document.lastSaveFailed());
    EXPECT_EQ(contents(url), "keep me") << "nothing reached the disk";
    EXPECT_EQ(document.closeAction(), CloseAction::none());

    store.setSystemCalls(SheetStore::realSystemCalls());
    const auto finished = document.saveIfNeeded(store);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->kind, SaveEvent::Kind::finishedClear);
    EXPECT_EQ(finished->text, u"keep me!"_qs);
    EXPECT_EQ(contents(url), "keep me!");
    EXPECT_FALSE(document.file());
    const auto created = document.saveIfNeeded(store);
    ASSERT_TRUE(created);
    EXPECT_EQ(created->kind, SaveEvent::Kind::created);
    EXPECT_EQ(contents(created->file.url), "new");
}

TEST_F(SheetDocumentTest, UndoingAClearBeforeItIsSavedDropsIt)
{
    SheetDocument document = savedSheet(u"abc"_qs);
    SheetStore::SystemCalls failing = SheetStore::realSystemCalls();
    failing.openat = [](int, const char*, int, mode_t) { errno = EIO; return -1; };
    store.setSystemCalls(failing);
    document.apply({{3, 3}, u"d"_qs}, EditOrigin::userInput, t0, store);
    document.apply(replaceAll(document, u"x"_qs), EditOrigin::userInput, t0, store);
    ASSERT_TRUE(document.pendingClear());
    document.apply(replaceAll(document, u"abcd"_qs), EditOrigin::undoRedo, t0, store);
    EXPECT_FALSE(document.pendingClear());
    store.setSystemCalls(SheetStore::realSystemCalls());
    const auto event = document.saveIfNeeded(store);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, SaveEvent::Kind::wrote);
    EXPECT_EQ(sheetNames().size(), 1);
}

TEST_F(SheetDocumentTest, UndoAndRedoAcrossAClearSwapFilesWithoutNewOnes)
{
    SheetDocument document = savedSheet(u"first sheet"_qs);
    const EditEffect effect = document.apply(replaceAll(document, u"second"_qs), EditOrigin::userInput,
                                             t0.addSecs(5), store);
    ASSERT_EQ(effect.kind, EditEffect::Kind::startedNewSheet);
    const auto second = document.saveIfNeeded(store);
    ASSERT_TRUE(second);
    EXPECT_EQ(sheetNames().size(), 2);

    document.reattach(effect.old, effect.text, store.stamp(effect.old.url)); // undo
    EXPECT_FALSE(document.isDirty());
    EXPECT_FALSE(document.saveIfNeeded(store));
    document.reattach(second->file, u"second"_qs, store.stamp(second->file.url)); // redo
    EXPECT_FALSE(document.saveIfNeeded(store));
    EXPECT_EQ(sheetNames().size(), 2);
    EXPECT_EQ(contents(effect.old.url), "first sheet");

    // When the old file changed meanwhile, undo makes the text a sheet of its own.
    rewriteInPlace(effect.old.url, "changed elsewhere");
    document.detach(t0.addSecs(9));
    EXPECT_FALSE(document.file());
    EXPECT_EQ(document.startTime(), t0.addSecs(9));
    const auto own = document.saveIfNeeded(store);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->kind, SaveEvent::Kind::created);
    EXPECT_EQ(contents(effect.old.url), "changed elsewhere");
}

TEST_F(SheetDocumentTest, AnEmptiedSheetIsNeverWrittenAndGoesToTheTrashOnClose)
{
    SheetDocument document = savedSheet(u"ab"_qs);
    const QString url = document.file()->url;
    document.apply({{1, 2}, {}}, EditOrigin::userInput, t0, store);
    document.apply({{0, 1}, {}}, EditOrigin::userInput, t0, store);
    EXPECT_TRUE(document.isEmpty());
    EXPECT_FALSE(document.saveIfNeeded(store));
    EXPECT_FALSE(document.lastSaveFailed());
    EXPECT_EQ(contents(url), "ab");
    EXPECT_EQ(document.closeAction(), CloseAction::moveToTrash(url));
    EXPECT_EQ(SheetDocument().closeAction(), CloseAction::none());
}

TEST_F(SheetDocumentTest, OutsideChangesAreTakenOverOrKeptBeside)
{
    struct Row {
        const char* name;
        bool throughATemporaryFile;
    };
    const Row rows[] = {{"rewritten in place", false}, {"renamed over", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto change = [&](const QString& url, const QByteArray& bytes) {
            row.throughATemporaryFile ? renameOver(url, bytes) : rewriteInPlace(url, bytes);
        };
        // Nothing unsaved: the tab takes the change over.
        SheetDocument clean = savedSheet(u"v1"_qs);
        QThread::msleep(5);
        change(clean.file()->url, "v2 from another app");
        ASSERT_FALSE(clean.isOwnSave(store.stamp(clean.file()->url)));
        EXPECT_EQ(clean.reload(u"v2 from another app"_qs, store, t0).kind, ReloadOutcome::Kind::reloaded);
        EXPECT_EQ(clean.text(), u"v2 from another app"_qs);
        EXPECT_TRUE(clean.isOwnSave(store.stamp(clean.file()->url)));

        // Unsaved text: both versions are kept, and the save finds the change by itself.
        SheetDocument dirty = savedSheet(u"v1"_qs);
        const QString url = dirty.file()->url;
        dirty.apply({{2, 2}, u" mine"_qs}, EditOrigin::userInput, t0, store);
        QThread::msleep(5);
        change(url, "theirs");
        const auto event = dirty.saveIfNeeded(store);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->kind, SaveEvent::Kind::wrote);
        EXPECT_EQ(contents(url), "v1 mine");
        const QStringList names = sheetNames();
        int copies = 0;
        for (const QString& name : names)
            copies += contents(temp.filePath(name)) == "theirs";
        EXPECT_EQ(copies, 1);
        for (const QString& name : names)
            QFile::remove(temp.filePath(name));
    }
}

TEST_F(SheetDocumentTest, ADeletedFileIsWrittenAgainAndAnUnreadableOneIsLeftAlone)
{
    SheetDocument document = savedSheet(u"text"_qs);
    const QString url = document.file()->url;
    document.apply({{4, 4}, u"!"_qs}, EditOrigin::userInput, t0, store);
    QFile::remove(url);
    ASSERT_TRUE(document.saveIfNeeded(store));
    EXPECT_EQ(contents(url), "text!");

    // Another instance sealed the file with a key this one does not have: the document lets go
    // of it and saves its text as a new sheet, and the store that is locked writes nothing.
    const SheetCipher cipher(*SheetCipher::makeKey());
    SheetStore sealing(temp.path(), QTimeZone::utc(), SheetEncryption::on(cipher));
    QThread::msleep(5);
    ASSERT_TRUE(sealing.write(u"sealed elsewhere"_qs, url));
    const QByteArray sealed = contents(url);
    SheetStore locked(temp.path(), QTimeZone::utc(), SheetEncryption::locked());
    document.apply({{5, 5}, u"?"_qs}, EditOrigin::userInput, t0, locked);
    EXPECT_FALSE(document.saveIfNeeded(locked));
    EXPECT_TRUE(document.lastSaveFailed());
    EXPECT_EQ(contents(url), sealed);
    EXPECT_FALSE(document.file()) << "the unreadable file was let go";
    const auto event = document.saveIfNeeded(store);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, SaveEvent::Kind::created);
    EXPECT_EQ(contents(url), sealed);
    EXPECT_EQ(contents(event->file.url), "text!?");
}

TEST_F(SheetDocumentTest, KeepingBothNeverReplacesTheOutsideTextBeforeACopyExists)
{
    SheetDocument document = savedSheet(u"v1"_qs);
    const QString url = document.file()->url;
    document.apply({{2, 2}, u" mine"_qs}, EditOrigin::userInput, t0, store);
    QThread::msleep(5);
    rewriteInPlace(url, "theirs");

    // The copy cannot be created (exclusive renames fail), though plain replacing would work.
    SheetStore::SystemCalls noCreate = SheetStore::realSystemCalls();
    noCreate.renameat2 = [](int, const char*, int, const char*, unsigned) { errno = ENOSPC; return -1; };
    noCreate.linkat = [](int, const char*, int, const char*, int) { errno = ENOSPC; return -1; };
    store.setSystemCalls(noCreate);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(document.saveIfNeeded(store));
        EXPECT_TRUE(document.lastSaveFailed());
        EXPECT_EQ(contents(url), "theirs");
        EXPECT_EQ(sheetNames().size(), 1);
    }

    // The copy is made but the user's text cannot be written: a retry makes no second copy.
    SheetStore::SystemCalls noReplace = SheetStore::realSystemCalls();
    noReplace.renameat = [](int, const char*, int, const char*) { errno = EROFS; return -1; };
    store.setSystemCalls(noReplace);
    EXPECT_FALSE(document.saveIfNeeded(store));
    EXPECT_EQ(contents(url), "theirs");
    EXPECT_EQ(sheetNames().size(), 2);
    EXPECT_FALSE(document.saveIfNeeded(store));
    EXPECT_EQ(sheetNames().size(), 2);

    store.setSystemCalls(SheetStore::realSystemCalls());
    const auto event = document.saveIfNeeded(store);
    ASSERT_TRUE(event);
    EXPECT_FALSE(document.lastSaveFailed());
    EXPECT_EQ(contents(url), "v1 mine");
    ASSERT_EQ(sheetNames().size(), 2);
    QStringList texts;
    for (const QString& name : sheetNames())
        texts << QString::fromUtf8(contents(temp.filePath(name)));
    EXPECT_TRUE(texts.contains(u"theirs"_qs));
}

TEST_F(SheetDocumentTest, PrefixKeepsComposedCharactersWhole)
{
    const QString family = u"👩‍👩‍👧"_qs; // 8 code units
    SheetDocument document;
    document.sync(u"ab"_qs + family + u"e\u0301z"_qs, t0);
    struct Row {
        qsizetype count;
        QString expected;
    };
    const Row rows[] = {
        {0, u""_qs},
        {2, u"ab"_qs},
        {3, u"ab"_qs + family},
        {9, u"ab"_qs + family},
        {10, u"ab"_qs + family},
        {11, u"ab"_qs + family + u"e\u0301"_qs},
        {99, document.text()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.count);
        EXPECT_EQ(document.prefix(row.count), row.expected);
    }
}

TEST_F(SheetDocumentTest, SyncComparesHugeTextsAtBothEndsOnly)
{
    SheetDocument document;
    QString huge(2'000'001, u'a');
    document.sync(huge, t0);
    QString middle = huge;
    middle[1'000'000] = u'b';
    document.syncWith(middle, t0);
    EXPECT_EQ(document.text()[1'000'000], u'a') << "only the ends are compared";
    document.sync(middle, t0);
    EXPECT_EQ(document.text()[1'000'000], u'b');
    QString end = middle;
    end[end.size() - 1] = u'c';
    document.syncWith(end, t0);
    EXPECT_EQ(document.text().back(), u'c');

    SheetDocument small;
    small.sync(u"abc"_qs, t0);
    small.syncWith(u"abd"_qs, t0);
    EXPECT_EQ(small.text(), u"abd"_qs);
}

TEST_F(SheetDocumentTest, AClearAfterAnUnseenOutsideChangeKeepsBothTexts)
{
    // The other program's write has not reached the tab yet when the user clears the sheet.
    SheetDocument document = savedSheet(u"what the user saw"_qs);
    const QString url = document.file()->url;
    QThread::msleep(5);
    rewriteInPlace(url, "theirs");
    const EditEffect effect = document.apply(replaceAll(document, u"new"_qs), EditOrigin::userInput,
                                             t0, store);
    ASSERT_EQ(effect.kind, EditEffect::Kind::startedNewSheet);
    EXPECT_NE(effect.old.url, url);
    EXPECT_EQ(contents(effect.old.url), "what the user saw");
    EXPECT_EQ(contents(url), "theirs");
}
