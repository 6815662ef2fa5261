#include "QuendrilCore/CodeResources.h"
#include "QuendrilCore/Crypto.h"
#include "QuendrilPad/AppSwap.h"
#include "QuendrilPad/UpdateArchive.h"

#include "TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray plist(const QByteArray& entries)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" +
           entries + "</dict>\n</plist>\n";
}

QByteArray infoFor(const char* identifier, const char* build)
{
    return plist(QByteArray("<key>CFBundleIdentifier</key><string>") + identifier +
                 "</string>\n<key>CFBundleVersion</key><string>" + build + "</string>\n");
}

// A signed application folder at `path`.
QString makeSignedApp(const TempDir& temp, const QString& path, const QByteArray& info,
                      const QByteArray& privateKey)
{
    temp.write(path + QStringLiteral("/Contents/Info.plist"), info);
    temp.write(path + QStringLiteral("/Contents/bin/quendril-pad"), "#!/bin/sh\n");
    const QString app = temp.filePath(path);
    EXPECT_TRUE(CodeResources::sign(app, privateKey));
    return app;
}

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

// Writes a zip with Python's zipfile; `entries` is Python code adding to the ZipFile `z`, with
// the helpers f(name, data, mode) and link(name, target).
void makeZip(const QString& path, const QString& entries)
{
    const QString program = QStringLiteral("import sys, zipfile\n"
                                           "def f(name, data, mode=0o644):\n"
                                           "    i = zipfile.ZipInfo(name); i.create_system = 3; "
                                           "i.external_attr = (0o100000 | mode) << 16\n"
                                           "    i.compress_type = zipfile.ZIP_DEFLATED\n"
                                           "    z.writestr(i, data)\n"
                                           "def link(name, target):\n"
                                           "    i = zipfile.ZipInfo(name); i.create_system = 3; "
                                           "i.external_attr = (0o120777) << 16\n"
                                           "    z.writestr(i, target)\n"
                                           "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n") +
                            QStringLiteral("    ") + entries + u'\n';
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), program, path});
    ASSERT_TRUE(python.waitForFinished(30'000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
}

} // namespace

TEST(UpdateArchive, UnpacksFilesAndFoldersWithTheirModes)
{
    TempDir temp;
    const QString zip = temp.filePath(QStringLiteral("a.zip"));
    makeZip(zip, QStringLiteral("f('A.app/Contents/bin/run', b'#!/bin/sh\\n', 0o755); "
                                "f('A.app/Contents/Info.plist', b'x' * 5000); "
                                "f('A.app/Contents/suid', b's', 0o4755); "
                                "link('A.app/Contents/inner', 'bin/run')"));
    const QString out = temp.mkdir(QStringLiteral("out"));
    const auto result = UpdateArchive::extract(zip, out);
    ASSERT_TRUE(result) << result.error().toStdString();
    EXPECT_EQ(modeOf(out + QStringLiteral("/A.app/Contents/bin/run")) & 07777, 0755u);
    EXPECT_EQ(QFileInfo(out + QStringLiteral("/A.app/Contents/Info.plist")).size(), 5000);
    EXPECT_EQ(modeOf(out + QStringLiteral("/A.app/Contents/suid")) & 07777, 0755u)
        << "set-ID bits dropped";
    EXPECT_TRUE(QFileInfo(out + QStringLiteral("/A.app/Contents/inner")).isSymLink());
}

TEST(UpdateArchive, RefusesWhatReachesOutsideAndStopsAtItsBounds)
{
    struct Row {
        const char* name;
        const char* entries;
        UpdateArchive::Limits limits;
    };
    const Row rows[] = {
        {"dot-dot", "f('../escaped', b'x')", {}},
        {"dot-dot inside", "f('A.app/../../escaped', b'x')", {}},
        {"absolute", "f('/tmp/quendril-escaped', b'x')", {}},
        {"absolute link", "link('A.app/etc', '/etc')", {}},
        {"link out", "link('A.app/up', '../../escaped')", {}},
        {"link then write through it", "link('A.app/up', '.'); f('A.app/up/x', b'x')", {}},
        {"zip bomb", "f('A.app/zeros', bytes(20 * 1024 * 1024))", {1024 * 1024, 100}},
        {"many small bombs",
         "[f('A.app/z%d' % n, bytes(300 * 1024)) for n in range(8)]",
         {1024 * 1024, 100}},
        {"too many entries", "[f('A.app/%d' % n, b'') for n in range(20)]", {1'000'000, 10}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir temp;
        const QString zip = temp.filePath(QStringLiteral("bad.zip"));
        makeZip(zip, QString::fromLatin1(row.entries));
        const QString out = temp.mkdir(QStringLiteral("deep/out"));
        EXPECT_FALSE(UpdateArchive::extract(zip, out, row.limits));
        EXPECT_FALSE(QFileInfo::exists(temp.filePath(QStringLiteral("deep/escaped"))));
        EXPECT_FALSE(QFileInfo::exists(temp.filePath(QStringLiteral("escaped"))));
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/quendril-escaped")));
        EXPECT_LE(QFileInfo(out + QStringLiteral("/A.app/zeros")).size(), 1024 * 1024);
    }
    TempDir temp;
    EXPECT_FALSE(
        UpdateArchive::extract(temp.write(QStringLiteral("x.zip"), "not a zip"), temp.path()));
}

TEST(AppSwap, BundleInfoNeedsAnIdentifierAndADecimalBuild)
{
    struct Row {
        const char* name;
        QByteArray info;
        std::optional<AppSwap::BundleInfo> expected;
    };
    const QByteArray id = "<key>CFBundleIdentifier</key><string>local.quendrilpad</string>\n";
    const Row rows[] = {
        {"full",
         plist(id + "<key>CFBundleVersion</key><string>7</string>"
                    "<key>CFBundleShortVersionString</key><string>1.7</string>"
                    "<key>LSMinimumSystemVersion</key><string>2.31</string>"),
         AppSwap::BundleInfo{"local.quendrilpad", 7, "1.7", QStringLiteral("2.31")}},
        {"no short version", plist(id + "<key>CFBundleVersion</key><string>7</string>"),
         AppSwap::BundleInfo{"local.quendrilpad", 7, "7", std::nullopt}},
        {"signed build", plist(id + "<key>CFBundleVersion</key><string>+8</string>"),
         AppSwap::BundleInfo{"local.quendrilpad", 8, "8", std::nullopt}},
        {"minimum not a string",
         plist(id + "<key>CFBundleVersion</key><string>7</string>"
                    "<key>LSMinimumSystemVersion</key><integer>2</integer>"),
         AppSwap::BundleInfo{"local.quendrilpad", 7, "7", std::nullopt}},
        {"build as integer", plist(id + "<key>CFBundleVersion</key><integer>7</integer>"),
         std::nullopt},
        {"build with letters", plist(id + "<key>CFBundleVersion</key><string>7a</string>"),
         std::nullopt},
        {"build with a space", plist(id + "<key>CFBundleVersion</key><string> 7</string>"),
         std::nullopt},
        {"no identifier", plist("<key>CFBundleVersion</key><string>7</string>"), std::nullopt},
        {"not a dictionary", "<plist><array><string>x</string></array></plist>", std::nullopt},
        {"not a property list", "{\"CFBundleVersion\": \"7\"}", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir temp;
        temp.write(QStringLiteral("A.app/Contents/Info.plist"), row.info);
        EXPECT_EQ(AppSwap::bundleInfo(temp.filePath(QStringLiteral("A.app"))), row.expected);
    }
    TempDir temp;
    EXPECT_EQ(AppSwap::bundleInfo(temp.filePath(QStringLiteral("Missing.app"))), std::nullopt);
}

TEST(AppSwap, PlaceOfAWritableFolder)
{
    TempDir temp;
    const QString app = temp.mkdir(QStringLiteral("Quendril Pad.app"));
    EXPECT_EQ(AppSwap::place(app).kind, UpdatePlace::ok);
    const QString moved = temp.mkdir(QStringLiteral("AppTranslocation/1/Quendril Pad.app"));
    EXPECT_EQ(AppSwap::place(moved).kind, UpdatePlace::translocated);
}

TEST(AppSwap, AFailedInstallLeavesTheRunningFolderAsItWas)
{
    const Crypto::Ed25519KeyPair key = *Crypto::generateEd25519();
    const Crypto::Ed25519KeyPair other = *Crypto::generateEd25519();
    struct Row {
        const char* name;
        QByteArray stagedInfo; // empty: no staged folder
        bool signWithOtherKey;
        AppSwap::SwapError::Kind kind;
    };
    const Row rows[] = {
        {"staged folder missing", {}, false, AppSwap::SwapError::moveStaged},
        {"staged folder of another identifier", infoFor("local.other", "2"), false,
         AppSwap::SwapError::recheck},
        {"staged folder signed with another key", infoFor("local.quendrilpad", "2"), true,
         AppSwap::SwapError::recheck},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir temp;
        const QString running = makeSignedApp(temp, QStringLiteral("apps/Quendril Pad.app"),
                                              infoFor("local.quendrilpad", "1"), key.privateKey);
        QString staged = temp.filePath(QStringLiteral("Updates/Staged/Quendril Pad.app"));
        if (!row.stagedInfo.isEmpty())
            staged = makeSignedApp(temp, QStringLiteral("Updates/Staged/Quendril Pad.app"),
                                   row.stagedInfo,
                                   row.signWithOtherKey ? other.privateKey : key.privateKey);
        const QString previous = temp.filePath(QStringLiteral("Updates/Previous/Quendril Pad.app"));

        const auto installed = AppSwap::install(staged, running, previous, key.publicKey);
        ASSERT_FALSE(installed);
        EXPECT_EQ(installed.error().kind, row.kind) << installed.error().text().toStdString();
        EXPECT_EQ(AppSwap::bundleInfo(running)->build, 1);
        EXPECT_TRUE(CodeResources::validate(running, key.publicKey));
        EXPECT_FALSE(
            QFileInfo::exists(temp.filePath(QStringLiteral("apps/.Quendril Pad.update.app"))));
        EXPECT_FALSE(QFileInfo::exists(previous));
    }
    EXPECT_EQ((AppSwap::SwapError{AppSwap::SwapError::swap, "Invalid argument"}.text()),
              "could not swap the apps: Invalid argument");
    EXPECT_EQ(
        (AppSwap::SwapError{AppSwap::SwapError::moveStaged, "No such file or directory"}.text()),
        "could not move the new app next to the old one: No such file or directory");
    EXPECT_EQ((AppSwap::SwapError{AppSwap::SwapError::recheck, {}}.text()),
              "the new app was not whole or not valid after the move");
}

TEST(AppSwap, TheRelaunchWaitsForTheProcessToEndThenStartsTheFolder)
{
    TempDir temp;
    const QString marker = temp.filePath(QStringLiteral("started"));
    const QString exe = temp.write(QStringLiteral("Quendril Pad.app/Contents/bin/quendril-pad"),
                                   QByteArray("#!/bin/sh\necho \"$@\" started > '") +
                                       QFile::encodeName(marker) + "'\n");
    ::chmod(QFile::encodeName(exe).constData(), 0755);

    // An orphaned sleep stands for this process: its parent shell exits at once, so nothing here
    // keeps a zombie of it alive.
    QProcess sleeper;
    sleeper.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("sleep 1 >/dev/null 2>&1 & echo $!")});
    ASSERT_TRUE(sleeper.waitForFinished(5000));
    const qint64 pid = sleeper.readAllStandardOutput().trimmed().toLongLong();
    ASSERT_GT(pid, 0);

    QProcess relaunch;
    relaunch.start(
        QStringLiteral("/bin/sh"),
        AppSwap::relaunchArguments(pid, temp.filePath(QStringLiteral("Quendril Pad.app"))));
    ASSERT_TRUE(relaunch.waitForStarted());
    EXPECT_FALSE(relaunch.waitForFinished(300)) << "it waits while the process lives";
    EXPECT_FALSE(QFileInfo::exists(marker));
    ASSERT_TRUE(relaunch.waitForFinished(10'000));
    EXPECT_EQ(::kill(pid_t(pid), 0), -1) << "started only after the process had gone";
    EXPECT_EQ(temp.read(QStringLiteral("started")), "started\n");
}

TEST(AppSwap, MoveItemKeepsModesAndRefusesToReplace)
{
    TempDir temp;
    const QString exe = temp.write(QStringLiteral("a/bin/run"), "x");
    ::chmod(QFile::encodeName(exe).constData(), 0750);
    temp.mkdir(QStringLiteral("taken"));
    temp.write(QStringLiteral("taken/file"), "y");
    EXPECT_FALSE(AppSwap::moveItem(temp.filePath(QStringLiteral("a")),
                                   temp.filePath(QStringLiteral("taken"))));
    ASSERT_TRUE(
        AppSwap::moveItem(temp.filePath(QStringLiteral("a")), temp.filePath(QStringLiteral("b"))));
    EXPECT_EQ(modeOf(temp.filePath(QStringLiteral("b/bin/run"))) & 07777, 0750u);
    EXPECT_EQ(
        AppSwap::moveItem(temp.filePath(QStringLiteral("a")), temp.filePath(QStringLiteral("c")))
            .error(),
        "No such file or directory");

    // Read-only folders, as an archive may unpack them, are removed all the same.
    ::chmod(QFile::encodeName(temp.filePath(QStringLiteral("b/bin"))).constData(), 0555);
    AppSwap::removeItem(temp.filePath(QStringLiteral("b")));
    EXPECT_FALSE(QFileInfo::exists(temp.filePath(QStringLiteral("b"))));
}
