#include "QuendrilCore/SheetDocument.h"
#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

#include <cerrno>

// Random operations against one document and its folder, as typing, undo, saves and other
// programs would make them, checking after every step that no text is ever lost.
namespace {

struct Fixture {
    explicit Fixture(quint32 seed) : random(seed) {}

    TempDir temp;
    SheetStore store{temp.path(), QTimeZone::utc(), SheetEncryption::off()};
    SheetDocument document;
    QRandomGenerator random;
    QDateTime now = QDateTime::fromString(u"2024-03-05T09:00:00Z"_qs, Qt::ISODate);
    int writes = 0;

    // Texts another program wrote that the document has neither taken over nor copied yet,
    // by the file they were written to.
    QHash<QString, QString> outsideTexts;
    // Every sheet file seen so far, less those another program deleted or we moved away.
    QSet<QString> knownFiles;
    // Clears that can be undone: the old file and the text it must still hold.
    QList<std::pair<SheetFile, QString>> undoStack;

    QString randomText(int atMost)
    {
        static const QString alphabet = u"ab c\néß😀"_qs;
        QString text;
        const int length = random.bounded(1, atMost + 1);
        for (int i = 0; i < length; ++i) {
            const QChar c = alphabet[random.bounded(int(alphabet.size()))];
            if (c.isHighSurrogate())
                text += u"😀"_qs;
            else if (!c.isLowSurrogate())
                text += c;
        }
        return text.isEmpty() ? u"x"_qs : text;
    }

    QByteArray contents(const QString& url) const
    {
        QFile file(url);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList sheetPaths() const
    {
        QStringList paths;
        for (const QString& name : QDir(temp.path()).entryList({u"*.txt"_qs}, QDir::Files))
            paths << temp.filePath(name);
        return paths;
    }

    void edit(EditOrigin origin, bool wholeText)
    {
        const qsizetype length = document.length();
        TextEdit edit;
        if (wholeText) {
            edit = {{0, length}, random.bounded(4) == 0 ? QString() : randomText(8)};
        } else {
            // The editor never splits a surrogate pair.
            const QString& text = document.text();
            auto boundary = [&](qsizetype at) {
                return at > 0 && at < length && text[at].isLowSurrogate() ? at - 1 : at;
            };
            const qsizetype lower = boundary(random.bounded(int(length) + 1));
            const qsizetype upper = std::max(lower, boundary(lower + random.bounded(int(length - lower) + 1) / 3));
            edit = {{lower, upper}, random.bounded(3) == 0 ? QString() : randomText(3)};
        }
        const EditEffect effect = document.apply(edit, origin, now, store);
        if (effect.kind == EditEffect::Kind::startedNewSheet) {
            ASSERT_EQ(QString::fromUtf8(contents(effect.old.url)), effect.text)
                << "a cleared sheet's old text is in its old file";
            undoStack.append({effect.old, effect.text});
        }
    }

    void save()
    {
        const auto event = document.saveIfNeeded(store);
        if (event && event->kind == SaveEvent::Kind::finishedClear) {
            ASSERT_EQ(QString::fromUtf8(contents(event->file.url)), event->text);
            undoStack.append({event->file, event->text});
            document.saveIfNeeded(store);
        }
    }

    void outsideRewrite()
    {
        if (!document.file())
            return;
        const QString url = document.file()->url;
        const QString text = u"outside "_qs + randomText(6);
        const QByteArray bytes = text.toUtf8();
        if (random.bounded(2)) {
            QFile file(url);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        } else {
            const QString other = temp.write(u"other.tmp"_qs, bytes);
            ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(url).constData()), 0);
        }
        // Each outside version gets a later mtime; file systems may round within a tick.
        now = now.addSecs(1);
        outsideTexts.insert(url, text);
        knownFiles.insert(url);
    }

    void outsideDelete()
    {
        if (!document.file())
            return;
        const QString url = document.file()->url;
        QFile::remove(url);
        outsideTexts.remove(url);
        knownFiles.remove(url);
    }

    // What the tabs controller does with a file event.
    void fileEvent()
    {
        if (!document.file())
            return;
        const QString url = document.file()->url;
        if (document.isOwnSave(store.stamp(url)))
            return;
        const auto disk = store.read(url);
        if (!disk)
            return;
        const ReloadOutcome outcome = document.reload(disk->text, store, now);
        if (outcome.kind == ReloadOutcome::Kind::keptBoth) {
            ASSERT_EQ(QString::fromUtf8(contents(outcome.diskCopy.url)), disk->text);
        }
    }

    // Undo across a clear, as the tabs controller swaps: saved first, then back to the old file if
    // it still holds the expected text, else the text becomes a sheet of its own.
    void undoClear()
    {
        if (undoStack.isEmpty())
            return;
        save();
        const auto [file, expected] = undoStack.takeLast();
        const auto disk = store.read(file.url);
        if (disk && disk->text == expected)
            document.reattach(file, expected, store.stamp(file.url));
        else
            document.detach(now);
    }

    void failingSave()
    {
        SheetStore::SystemCalls failing = SheetStore::realSystemCalls();
        failing.renameat = [](int, const char*, int, const char*) { errno = EIO; return -1; };
        failing.renameat2 = [](int, const char*, int, const char*, unsigned) { errno = EIO; return -1; };
        failing.linkat = [](int, const char*, int, const char*, int) { errno = EIO; return -1; };
        store.setSystemCalls(failing);
        save();
        store.setSystemCalls(SheetStore::realSystemCalls());
    }

    void check(int step)
    {
        const QStringList paths = sheetPaths();
        QSet<QString> texts;
        for (const QString& path : paths) {
            const QByteArray bytes = contents(path);
            ASSERT_FALSE(bytes.isEmpty()) << "no file is ever written empty: " << path.toStdString();
            texts.insert(QString::fromUtf8(bytes));
            knownFiles.insert(path);
        }
        for (const QString& known : std::as_const(knownFiles))
            ASSERT_TRUE(paths.contains(known)) << "no file disappears: " << known.toStdString() << " step " << step;

        // An outside text is done with once the document holds it or a file keeps it.
        for (auto it = outsideTexts.begin(); it != outsideTexts.end();) {
            const bool takenOver = document.lastSavedText() == it.value() && document.file() &&
                                   document.file()->url == it.key();
            if (takenOver) {
                it = outsideTexts.erase(it);
                continue;
            }
            ASSERT_TRUE(texts.contains(it.value()))
                << "outside text replaced before a copy existed at step " << step;
            if (QString::fromUtf8(contents(it.key())) != it.value())
                it = outsideTexts.erase(it); // a copy exists elsewhere
            else
                ++it;
        }
    }
};

} // namespace

TEST(SheetDocumentModel, RandomOperationsNeverLoseText)
{
    for (const quint32 seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        Fixture model(seed);
        for (int step = 0; step < 1200; ++step) {
            model.now = model.now.addSecs(1);
            switch (model.random.bounded(12)) {
            case 0: case 1: case 2: model.edit(EditOrigin::userInput, false); break;
            case 3: model.edit(EditOrigin::userInput, true); break;
            case 4: model.edit(EditOrigin::command, model.random.bounded(2)); break;
            case 5: case 6: model.save(); break;
            case 7: model.outsideRewrite(); break;
            case 8: if (model.random.bounded(4) == 0) model.outsideDelete(); break;
            case 9: model.fileEvent(); break;
            case 10: model.undoClear(); break;
            case 11: model.failingSave(); break;
            }
            if (::testing::Test::HasFatalFailure())
                return;
            model.check(step);
            if (::testing::Test::HasFatalFailure())
                return;
        }
    }
}
