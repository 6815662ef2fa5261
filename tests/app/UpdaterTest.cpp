#include "QuendrilCore/AppFolder.h"
#include "QuendrilCore/CodeResources.h"
#include "QuendrilPad/AppSwap.h"
#include "QuendrilPad/Log.h"
#include "QuendrilPad/Updater.h"

#include "TempDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

// Updates end to end, with application folders, archives and feeds made by the release tools.
namespace {

const QString toolExe = QStringLiteral(QUENDRIL_TOOL_EXE);
const QString toolsDir = QStringLiteral(QUENDRIL_SOURCE_DIR "/tools");

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60'000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Waits on the event loop, so that the check's outcome can come back to this thread.
bool waitFor(const std::function<bool()>& done, int ms = 30'000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

struct Release {
    int build;
    QString version;
};

// Keys, a running build 1 and an Updates folder in a throwaway folder.
class UpdateBench {
public:
    TempDir temp;
    QString key = temp.filePath(QStringLiteral("update.key"));
    QString otherKey = temp.filePath(QStringLiteral("other.key"));
    QString serverDir = temp.mkdir(QStringLiteral("server"));
    QString feedPath = serverDir + QStringLiteral("/feed.json");
    QString zipPath = serverDir + QStringLiteral("/update.zip");
    QString updates = temp.mkdir(QStringLiteral("support/Updates"));
    QString runningApp;
    std::vector<QString> messages;
    std::vector<QString> logLines;
    int stagedChanges = 0;

    UpdateBench()
    {
        Log::setSink([this](LogCategory category, const QString& line) {
            if (category == LogCategory::update)
                logLines.push_back(line);
        });
        run(toolExe, {QStringLiteral("update-keygen"), key});
        run(toolExe, {QStringLiteral("update-keygen"), otherKey});
        runningApp = makeApp(QStringLiteral("installed"), {1, QStringLiteral("1.0")});
    }
    ~UpdateBench() { Log::setSink({}); }

    // A signed application folder for `release`, made by tools/make-app-folder from a prefix whose
    // executable is a script that names its build.
    QString makeApp(const QString& where, const Release& release,
                    const QString& minimumGlibc = QStringLiteral("2.0"))
    {
        const QString prefix = temp.mkdir(where + QStringLiteral("-prefix"));
        const QString exe =
            temp.write(where + QStringLiteral("-prefix/bin/quendril-pad"),
                       "#!/bin/sh\necho build " + QByteArray::number(release.build) + "\n");
        ::chmod(QFile::encodeName(exe).constData(), 0755);
        temp.write(where + QStringLiteral("-prefix/share/applications/local.quendrilpad.desktop"),
                   "[Desktop Entry]\nName=Quendril Pad\n");
        const QString out = temp.mkdir(where);
        run(toolsDir + QStringLiteral("/make-app-folder"),
            {QStringLiteral("--prefix"), prefix, QStringLiteral("--out"), out,
             QStringLiteral("--build"), QString::number(release.build), QStringLiteral("--version"),
             release.version, QStringLiteral("--feed-url"),
             QUrl::fromLocalFile(feedPath).toString(), QStringLiteral("--key"), key,
             QStringLiteral("--minimum-glibc"), minimumGlibc, QStringLiteral("--no-libraries"),
             QStringLiteral("--tool"), toolExe});
        return out + u'/' + QLatin1StringView(AppFolder::fileName);
    }

    void publish(const QString& app, const Release& feedRelease, const QString& signingKey,
                 const QString& minimumGlibc = QStringLiteral("2.0"))
    {
        QFile::remove(zipPath);
        run(toolsDir + QStringLiteral("/zip-app-folder"), {app, zipPath});
        writeFeed(feedRelease, signingKey, minimumGlibc);
    }

    void writeFeed(const Release& feedRelease, const QString& signingKey,
                   const QString& minimumGlibc = QStringLiteral("2.0"))
    {
        writeFile(feedPath,
                  run(toolExe, {QStringLiteral("update-feed"), zipPath,
                                QUrl::fromLocalFile(zipPath).toString(), feedRelease.version,
                                QString::number(feedRelease.build), minimumGlibc, signingKey}));
    }

    QProcessEnvironment testRun() const
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("QUENDRIL_APP_SUPPORT"),
                           temp.filePath(QStringLiteral("support")));
        environment.insert(QStringLiteral("QUENDRIL_NOTES_FOLDER"),
                           temp.filePath(QStringLiteral("notes")));
        return environment;
    }

    std::unique_ptr<Updater> makeUpdater(const QString& app, bool automatic = true)
    {
        const std::optional<UpdateConfig> config = UpdateConfig::load(app, testRun());
        EXPECT_TRUE(config);
        auto updater = std::make_unique<Updater>(
            config.value_or(UpdateConfig{}), [automatic] { return automatic; }, updates);
        updater->onMessage = [this](const QString& text) { messages.push_back(text); };
        updater->onStagedChange = [this] { ++stagedChanges; };
        return updater;
    }

    void check(Updater& updater, bool userAsked)
    {
        updater.checkNow(userAsked);
        ASSERT_TRUE(waitFor([&] { return !updater.isChecking(); }));
    }

    bool hasLog(const QString& line) const
    {
        return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
    }

    QString staged() const { return updates + QStringLiteral("/Staged/Quendril Pad.app"); }
    QString previous() const { return updates + QStringLiteral("/Previous/Quendril Pad.app"); }
};

class UpdaterEndToEnd : public ::testing::Test, public UpdateBench {};

} // namespace

TEST_F(UpdaterEndToEnd, ANewerBuildIsStagedQuietlyAndSwappedInAtQuit)
{
    const QString build2 = makeApp(QStringLiteral("build2"), {2, QStringLiteral("2.0")});
    publish(build2, {2, QStringLiteral("2.0")}, key);

    auto updater = makeUpdater(runningApp);
    updater->loadStaged();
    EXPECT_EQ(stagedChanges, 1);
    check(*updater, false);

    EXPECT_EQ(updater->staged(), (Updater::StagedBuild{2, QStringLiteral("2.0")}));
    EXPECT_TRUE(messages.empty()) << "an automatic check says nothing";
    EXPECT_EQ(stagedChanges, 2);
    EXPECT_TRUE(hasLog(QStringLiteral("staged build 2 (2.0)")));
    EXPECT_TRUE(updater->lastCheck());
    EXPECT_EQ(AppSwap::bundleInfo(staged())->build, 2);
    EXPECT_FALSE(QFileInfo::exists(updates + QStringLiteral("/Download")));

    // Already staged: the second check neither downloads nor stages again.
    QFile::remove(zipPath);
    check(*updater, true);
    EXPECT_EQ(messages, (std::vector<QString>{
                            QStringLiteral("Checking for updates…"),
                            QStringLiteral("Version 2.0 is ready. It goes in when you quit.")}));
    EXPECT_EQ(updater->checkCount(), 2);

    EXPECT_TRUE(updater->installStaged());
    EXPECT_EQ(AppSwap::bundleInfo(runningApp)->build, 2);
    EXPECT_EQ(readFile(runningApp + QStringLiteral("/Contents/bin/quendril-pad")),
              "#!/bin/sh\necho build 2\n");
    EXPECT_TRUE(AppSwap::validateSignature(runningApp, updater->config().publicKey));
    EXPECT_EQ(AppSwap::bundleInfo(previous())->build, 1);
    EXPECT_FALSE(QFileInfo::exists(staged()));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(runningApp).absolutePath() +
                                   QStringLiteral("/.Quendril Pad.update.app")));
    EXPECT_EQ(updater->staged(), std::nullopt);
    EXPECT_TRUE(hasLog(QStringLiteral("installed build 2")));
    EXPECT_FALSE(updater->installStaged()) << "nothing is staged any more";

    // The next launch runs build 2; a leftover staged build 2 is no longer newer and goes.
    ASSERT_TRUE(AppSwap::moveItem(previous(), updates + QStringLiteral("/old.app")));
    QDir().mkpath(updates + QStringLiteral("/Staged"));
    run(QStringLiteral("/bin/cp"), {QStringLiteral("-a"), runningApp, staged()});
    auto relaunched = makeUpdater(runningApp);
    EXPECT_EQ(relaunched->config().build, 2);
    relaunched->loadStaged();
    EXPECT_EQ(relaunched->staged(), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(updates + QStringLiteral("/Staged")));
    EXPECT_TRUE(hasLog(QStringLiteral("dropped a staged app that is not newer or not valid")));
}

TEST_F(UpdaterEndToEnd, RefusedUpdatesLeaveNothingStaged)
{
    struct Row {
        const char* name;
        std::function<void(UpdateBench&)> prepare;
        QString message;
        QString log;
        bool concluded; // lastCheck set
    };
    const auto build2 = [](UpdateBench& t) {
        return t.makeApp(QStringLiteral("build2"), {2, QStringLiteral("2.0")});
    };
    const QString refused =
        QStringLiteral("The update failed a safety check. It was not installed.");
    const Row rows[] = {
        {"altered archive",
         [&](UpdateBench& t) {
             t.publish(build2(t), {2, QStringLiteral("2.0")}, t.key);
             QByteArray bytes = readFile(t.zipPath);
             bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
             writeFile(t.zipPath, bytes);
         },
         refused, QStringLiteral("update refused: wrongHash"), true},
        {"archive signed with another key",
         [&](UpdateBench& t) {
             t.publish(build2(t), {2, QStringLiteral("2.0")}, t.otherKey);
         },
         refused, QStringLiteral("update refused: badSignature"), true},
        {"folder whose manifest lists a changed file",
         [&](UpdateBench& t) {
             const QString app = build2(t);
             writeFile(app +
                           QStringLiteral("/Contents/share/applications/local.quendrilpad.desktop"),
                       "[Desktop Entry]\nName=Quendril Pax\n");
             t.publish(app, {2, QStringLiteral("2.0")}, t.key);
         },
         refused, QStringLiteral("update refused: badCodeSignature"), true},
        {"folder signed with another key",
         [&](UpdateBench& t) {
             const QString app = build2(t);
             run(toolExe, {QStringLiteral("update-sign-app"), app, t.otherKey});
             t.publish(app, {2, QStringLiteral("2.0")}, t.key);
         },
         refused, QStringLiteral("update refused: badCodeSignature"), true},
        {"feed names another build than the folder",
         [&](UpdateBench& t) {
             t.publish(build2(t), {3, QStringLiteral("3.0")}, t.key);
         },
         refused, QStringLiteral("update refused: wrongBuild"), true},
        {"folder needs a newer C library",
         [&](UpdateBench& t) {
             t.publish(t.makeApp(QStringLiteral("build2"), {2, QStringLiteral("2.0")},
                                 QStringLiteral("999.0")),
                       {2, QStringLiteral("2.0")}, t.key);
         },
         refused, QStringLiteral("update refused: needsNewerMacOS"), true},
        {"not a zip",
         [&](UpdateBench& t) {
             writeFile(t.zipPath, "not a zip at all");
             t.writeFeed({2, QStringLiteral("2.0")}, t.key);
         },
         refused, QStringLiteral("update refused: cannotUnzip"), true},
        {"feed of an older build",
         [&](UpdateBench& t) {
             t.publish(t.makeApp(QStringLiteral("build0"), {0, QStringLiteral("0.9")}),
                       {1, QStringLiteral("1.0")}, t.key);
         },
         QStringLiteral("Quendril Pad 1.0 is up to date."), QStringLiteral("up to date (build 1)"),
         true},
        {"feed needs a newer C library",
         [&](UpdateBench& t) {
             t.publish(build2(t), {2, QStringLiteral("2.0")}, t.key, QStringLiteral("999.0"));
         },
         QStringLiteral("Can't check for updates: version 2.0 needs glibc 999.0."),
         QStringLiteral("cannot check: version 2.0 needs glibc 999.0"), false},
        {"feed missing", [](UpdateBench&) {},
         QStringLiteral("Can't check for updates: no such file or directory."),
         QStringLiteral("cannot check: no such file or directory"), false},
        {"feed with two members",
         [](UpdateBench& t) { writeFile(t.feedPath, R"({"version":"2.0","build":2})"); },
         QStringLiteral("Can't check for updates: the update file has no minimum_macos."),
         QStringLiteral("cannot check: the update file has no minimum_macos"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UpdateBench fresh;
        row.prepare(fresh);
        auto updater = fresh.makeUpdater(fresh.runningApp);
        fresh.check(*updater, true);
        ASSERT_EQ(fresh.messages.size(), 2u);
        EXPECT_EQ(fresh.messages[1], row.message);
        EXPECT_TRUE(fresh.hasLog(row.log))
            << (fresh.logLines.empty() ? "" : fresh.logLines.back().toStdString());
        EXPECT_EQ(updater->lastCheck().has_value(), row.concluded);
        EXPECT_EQ(updater->staged(), std::nullopt);
        EXPECT_FALSE(QFileInfo::exists(fresh.staged()));
        EXPECT_FALSE(QFileInfo::exists(fresh.updates + QStringLiteral("/Download")));
        EXPECT_EQ(AppSwap::bundleInfo(fresh.runningApp)->build, 1);
    }
}

TEST_F(UpdaterEndToEnd, OneCheckAtATimeAndNoInstallDuringIt)
{
    publish(makeApp(QStringLiteral("build2"), {2, QStringLiteral("2.0")}),
            {2, QStringLiteral("2.0")}, key);
    auto updater = makeUpdater(runningApp);
    check(*updater, false);
    ASSERT_TRUE(updater->staged());

    updater->checkNow(false);
    updater->checkNow(true);
    EXPECT_TRUE(updater->isChecking());
    EXPECT_EQ(updater->checkCount(), 2) << "the second call while checking does nothing";
    EXPECT_FALSE(updater->installStaged());
    EXPECT_TRUE(hasLog(
        QStringLiteral("not installed: a check is running; the update waits for the next quit")));
    ASSERT_TRUE(waitFor([&] { return !updater->isChecking(); }));
    EXPECT_TRUE(QFileInfo::exists(staged()));
    EXPECT_EQ(AppSwap::bundleInfo(runningApp)->build, 1);
}

TEST_F(UpdaterEndToEnd, AFolderReplacedSinceLaunchDropsTheStagedBuild)
{
    publish(makeApp(QStringLiteral("build2"), {2, QStringLiteral("2.0")}),
            {2, QStringLiteral("2.0")}, key);
    auto updater = makeUpdater(runningApp);
    check(*updater, false);
    ASSERT_TRUE(updater->staged());

    // Someone put build 5 in place of the running build 1.
    QByteArray plist = readFile(runningApp + QStringLiteral("/Contents/Info.plist"));
    plist.replace("<string>1</string>", "<string>5</string>");
    writeFile(runningApp + QStringLiteral("/Contents/Info.plist"), plist);
    const int changes = stagedChanges;
    EXPECT_FALSE(updater->installStaged());
    EXPECT_TRUE(
        hasLog(QStringLiteral("not installed: the app on disk is not the running build any more")));
    EXPECT_EQ(updater->staged(), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(updates + QStringLiteral("/Staged")));
    EXPECT_EQ(stagedChanges, changes + 1);
}

TEST_F(UpdaterEndToEnd, AStagedFolderThatWasAlteredIsNotInstalled)
{
    publish(makeApp(QStringLiteral("build2"), {2, QStringLiteral("2.0")}),
            {2, QStringLiteral("2.0")}, key);
    auto updater = makeUpdater(runningApp);
    check(*updater, false);
    ASSERT_TRUE(updater->staged());
    writeFile(staged() + QStringLiteral("/Contents/bin/quendril-pad"), "#!/bin/sh\necho evil\n");
    EXPECT_FALSE(updater->installStaged());
    EXPECT_TRUE(hasLog(QStringLiteral("not installed: the staged app failed its checks")));
    EXPECT_EQ(AppSwap::bundleInfo(runningApp)->build, 1);
    EXPECT_FALSE(QFileInfo::exists(staged()));
}

TEST_F(UpdaterEndToEnd, AppsThatCannotReplaceThemselvesNeverCheck)
{
    const QString translocated = temp.mkdir(QStringLiteral("AppTranslocation/x"));
    ASSERT_TRUE(AppSwap::moveItem(runningApp, translocated + QStringLiteral("/Quendril Pad.app")));
    auto updater = makeUpdater(translocated + QStringLiteral("/Quendril Pad.app"));
    updater->checkNow(true);
    EXPECT_FALSE(updater->isChecking());
    EXPECT_EQ(updater->checkCount(), 0);
    EXPECT_EQ(messages, (std::vector<QString>{QStringLiteral(
                            "Move Quendril Pad to your Applications folder to get updates.")}));
    EXPECT_TRUE(
        hasLog(QStringLiteral("no check: the app cannot update where it is (translocated)")));
    EXPECT_FALSE(updater->lastCheck());
}

TEST_F(UpdaterEndToEnd, TimersRunAutomaticChecksOnlyWhenTheSettingIsOn)
{
    publish(makeApp(QStringLiteral("build0"), {0, QStringLiteral("0.9")}),
            {1, QStringLiteral("1.0")}, key);
    auto off = makeUpdater(runningApp, false);
    off->start();
    ASSERT_EQ(off->timers().size(), 2);
    EXPECT_TRUE(off->timers()[0]->isSingleShot());
    EXPECT_EQ(off->timers()[0]->interval(), 60'000);
    EXPECT_FALSE(off->timers()[1]->isSingleShot());
    EXPECT_EQ(off->timers()[1]->interval(), 3'600'000);
    off->timers()[0]->start(0);
    waitFor([] { return false; }, 200);
    EXPECT_EQ(off->checkCount(), 0);
    off->checkNow(true);
    EXPECT_EQ(off->checkCount(), 1) << "asking still checks";
    ASSERT_TRUE(waitFor([&] { return !off->isChecking(); }));

    auto on = makeUpdater(runningApp, true);
    EXPECT_TRUE(on->checkIsDue());
    on->start();
    on->timers()[0]->start(0);
    ASSERT_TRUE(waitFor([&] { return on->checkCount() == 1 && !on->isChecking(); }));
    EXPECT_TRUE(on->lastCheck());
    EXPECT_FALSE(on->checkIsDue());
    on->automaticCheck();
    EXPECT_EQ(on->checkCount(), 1) << "not due again for a day";
}

TEST_F(UpdaterEndToEnd, AServerErrorIsReportedAndTriedAgainLater)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&server] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            socket->readAll();
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: "
                          "close\r\n\r\nnot found");
            socket->disconnectFromHost();
        });
    });
    std::optional<UpdateConfig> config = UpdateConfig::load(runningApp, testRun());
    ASSERT_TRUE(config);
    // Only a hand-made configuration reaches plain HTTP; the folder's own allows https or file.
    config->feedURL =
        QUrl(QStringLiteral("http://127.0.0.1:%1/feed.json").arg(server.serverPort()));
    Updater updater(
        *config, [] { return true; }, updates);
    updater.onMessage = [this](const QString& text) { messages.push_back(text); };
    check(updater, true);
    EXPECT_EQ(messages.back(), "Can't check for updates: the server answered 404.");
    EXPECT_TRUE(hasLog(QStringLiteral("cannot check: the server answered 404")));
    EXPECT_FALSE(updater.lastCheck());
    EXPECT_TRUE(updater.checkIsDue()) << "the next hourly timer checks again";
}
