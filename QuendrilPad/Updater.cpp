#include "QuendrilPad/Updater.h"

#include "QuendrilCore/AppFolder.h"
#include "QuendrilCore/SystemVersion.h"
#include "QuendrilCore/UpdateFeed.h"
#include "QuendrilCore/UpdateSchedule.h"
#include "QuendrilCore/UpdateVerifier.h"
#include "QuendrilPad/AppSwap.h"
#include "QuendrilPad/Log.h"
#include "QuendrilPad/UpdateArchive.h"
#include "QuendrilPad/UpdateFetch.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace {

constexpr int firstCheckMs = 60'000;
constexpr int repeatMs = 3'600'000;
constexpr qint64 maxFeedSize = 1'000'000;

const QString stagedFolderName = QStringLiteral("Staged");
const QString previousFolderName = QStringLiteral("Previous");
const QString downloadFolderName = QStringLiteral("Download");

QString appName()
{
    return QString::fromUtf8(AppFolder::fileName);
}

void logUpdate(const QString& line)
{
    Log::write(LogCategory::update, line);
}

void logUpdateError(const QString& line)
{
    Log::write(LogCategory::update, LogLevel::error, line);
}

Updater::Outcome cannotCheck(const QString& reason)
{
    Updater::Outcome outcome;
    outcome.kind = Updater::Outcome::cannotCheck;
    outcome.reason = reason;
    return outcome;
}

Updater::Outcome rejected(UpdateProblem problem)
{
    Updater::Outcome outcome;
    outcome.kind = Updater::Outcome::rejected;
    outcome.problem = problem;
    return outcome;
}

Updater::Outcome staged(const UpdateFeed& feed)
{
    Updater::Outcome outcome;
    outcome.kind = Updater::Outcome::staged;
    outcome.stagedBuild = {feed.build, feed.version};
    return outcome;
}

Updater::Outcome stageSteps(const UpdateConfig& config, const QString& folder,
                            std::optional<qint64> stagedBuild, const std::atomic_bool& cancelled)
{
    auto feedAnswer = UpdateFetch::fetch(config.feedURL, maxFeedSize, config.version, cancelled);
    if (!feedAnswer)
        return cannotCheck(feedAnswer.error());
    if (feedAnswer->tooLong)
        return cannotCheck(QStringLiteral("the update file is too big"));

    const auto feed = UpdateFeed::decode(feedAnswer->bytes, config.allowFileURL);
    if (!feed)
        return cannotCheck(feed.error().reason());
    if (feed->build <= config.build)
        return {Updater::Outcome::upToDate, {}, {}, {}};
    const SystemVersion system = SystemVersion::running();
    if (!feed->runs(system))
        return cannotCheck(
            QString(u"version " + feed->version + u" needs glibc " + feed->minimumMacOS));
    if (stagedBuild && *stagedBuild >= feed->build)
        return staged(*feed);

    auto archive = UpdateFetch::fetch(feed->url, feed->size, config.version, cancelled);
    if (!archive)
        return cannotCheck(archive.error());
    // An answer longer than the feed says is refused on its size, without reading it all.
    if (archive->tooLong)
        return rejected(UpdateProblem::wrongSize);
    if (const auto problem = UpdateVerifier::checkDownload(archive->bytes, *feed, config.publicKey))
        return rejected(*problem);

    const QString download = folder + u'/' + downloadFolderName;
    const QString unzipped = download + u"/unzipped";
    const QString zipPath = download + u"/update.zip";
    AppSwap::removeItem(download);
    if (!QDir().mkpath(unzipped))
        return cannotCheck(QString(u"the folder " + unzipped + u" could not be made"));
    QFile zip(zipPath);
    if (!zip.open(QIODevice::WriteOnly) || zip.write(archive->bytes) != archive->bytes.size() ||
        !zip.flush())
        return cannotCheck(UpdateFetch::plainWords(zip.errorString()));
    zip.close();

    if (cancelled.load())
        return cannotCheck(QStringLiteral("the check was stopped"));
    if (!UpdateArchive::extract(zipPath, unzipped))
        return rejected(UpdateProblem::cannotUnzip);

    const QStringList entries = QDir(unzipped).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    const auto app = std::find_if(entries.begin(), entries.end(),
                                  [](const QString& name) { return name.endsWith(u".app"); });
    if (app == entries.end())
        return rejected(UpdateProblem::cannotUnzip);
    const QString bundle = unzipped + u'/' + *app;

    const std::optional<AppSwap::BundleInfo> info = AppSwap::bundleInfo(bundle);
    if (const auto problem =
            UpdateVerifier::checkBundle(info ? std::optional(info->bundleID) : std::nullopt,
                                        info ? std::optional(info->build) : std::nullopt,
                                        config.bundleID, config.build, feed->build))
        return rejected(*problem);
    if (!AppSwap::validateSignature(bundle, config.publicKey))
        return rejected(UpdateProblem::badCodeSignature);
    if (UpdateVerifier::checkSystem(info->minimumSystemVersion, system))
        return rejected(UpdateProblem::needsNewerMacOS);

    const QString stagedFolder = folder + u'/' + stagedFolderName;
    AppSwap::removeItem(stagedFolder);
    if (!QDir().mkpath(stagedFolder))
        return cannotCheck(QString(u"the folder " + stagedFolder + u" could not be made"));
    if (auto moved = AppSwap::moveItem(bundle, stagedFolder + u'/' + appName()); !moved)
        return cannotCheck(UpdateFetch::plainWords(moved.error()));
    return staged(*feed);
}

} // namespace

Updater::Updater(UpdateConfig config, std::function<bool()> updateAutomatically, QString folder,
                 QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_updateAutomatically(std::move(updateAutomatically))
    , m_folder(std::move(folder))
    , m_cancelled(std::make_shared<std::atomic_bool>(false))
{
}

Updater::~Updater()
{
    if (m_worker) {
        // The worker touches only its own copies, but it must not outlive the folder it writes.
        m_cancelled->store(true);
        m_worker->wait();
        delete m_worker;
    }
}

Updater::Outcome Updater::fetchAndStage(const UpdateConfig& config, const QString& folder,
                                        std::optional<qint64> stagedBuild,
                                        const std::atomic_bool& cancelled)
{
    Outcome outcome = stageSteps(config, folder, stagedBuild, cancelled);
    AppSwap::removeItem(folder + u'/' + downloadFolderName);
    return outcome;
}

QString Updater::stagedBundlePath() const
{
    return m_folder + u'/' + stagedFolderName + u'/' + appName();
}

void Updater::show(const QString& message)
{
    if (onMessage)
        onMessage(message);
}

std::optional<AppSwap::BundleInfo> Updater::stagedBundleInfo(const QString& bundle) const
{
    std::optional<AppSwap::BundleInfo> info = AppSwap::bundleInfo(bundle);
    if (!info)
        return std::nullopt;
    if (UpdateVerifier::checkBundle(info->bundleID, info->build, m_config.bundleID, m_config.build,
                                    std::nullopt))
        return std::nullopt;
    if (UpdateVerifier::checkSystem(info->minimumSystemVersion, SystemVersion::running()))
        return std::nullopt;
    if (!AppSwap::validateSignature(bundle, m_config.publicKey))
        return std::nullopt;
    return info;
}

void Updater::discardStaged()
{
    m_staged.reset();
    AppSwap::removeItem(m_folder + u'/' + stagedFolderName);
}

void Updater::loadStaged()
{
    m_staged.reset();
    const QString bundle = stagedBundlePath();
    if (QFileInfo::exists(bundle)) {
        if (const std::optional<AppSwap::BundleInfo> info = stagedBundleInfo(bundle)) {
            m_staged = StagedBuild{info->build, info->version};
        } else {
            logUpdate(QStringLiteral("dropped a staged app that is not newer or not valid"));
            discardStaged();
        }
    }
    if (onStagedChange)
        onStagedChange();
}

void Updater::start()
{
    if (!m_timers.isEmpty())
        return;
    auto* first = new QTimer(this);
    first->setSingleShot(true);
    first->setInterval(firstCheckMs);
    auto* hourly = new QTimer(this);
    hourly->setInterval(repeatMs);
    for (QTimer* timer : {first, hourly}) {
        connect(timer, &QTimer::timeout, this, &Updater::automaticCheck);
        timer->start();
        m_timers.append(timer);
    }
    // logind says PrepareForSleep(false) when the machine wakes. Without a system bus there is
    // no wake, and the hourly timer is enough.
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
}

void Updater::prepareForSleep(bool sleeping)
{
    if (!sleeping)
        automaticCheck();
}

void Updater::automaticCheck()
{
    if (m_updateAutomatically && !m_updateAutomatically())
        return;
    if (checkIsDue())
        checkNow(false);
}

bool Updater::checkIsDue() const
{
    return UpdateSchedule::isDue(m_lastCheck, QDateTime::currentDateTimeUtc());
}

void Updater::checkNow(bool userAsked)
{
    if (m_isChecking)
        return;
    const UpdatePlace place = AppSwap::place(m_config.appURL);
    if (place.kind != UpdatePlace::ok) {
        logUpdate(QString(u"no check: the app cannot update where it is (" +
                          QLatin1StringView(place.name()) + u')'));
        if (userAsked)
            show(*place.message());
        return;
    }
    m_isChecking = true;
    ++m_checkCount;
    if (userAsked)
        show(QStringLiteral("Checking for updates…"));

    auto outcome = std::make_shared<Outcome>();
    const UpdateConfig config = m_config;
    const QString folder = m_folder;
    const std::optional<qint64> stagedBuild =
        m_staged ? std::optional(m_staged->build) : std::nullopt;
    const std::shared_ptr<std::atomic_bool> cancelled = m_cancelled;
    m_worker = QThread::create([outcome, config, folder, stagedBuild, cancelled] {
        *outcome = fetchAndStage(config, folder, stagedBuild, *cancelled);
    });
    QThread* worker = m_worker;
    connect(worker, &QThread::finished, this, [this, worker, outcome, userAsked] {
        if (m_worker == worker)
            m_worker = nullptr;
        worker->deleteLater();
        finish(*outcome, userAsked);
    });
    worker->start();
}

void Updater::finish(const Outcome& outcome, bool userAsked)
{
    m_isChecking = false;
    if (outcome.kind == Outcome::cannotCheck) {
        logUpdate(QString(u"cannot check: " + outcome.reason));
        if (userAsked)
            show(QString(u"Can't check for updates: " + outcome.reason + u'.'));
        return;
    }
    m_lastCheck = QDateTime::currentDateTimeUtc();
    switch (outcome.kind) {
    case Outcome::rejected:
        logUpdateError(QString(u"update refused: " + QLatin1StringView(caseName(outcome.problem))));
        if (userAsked)
            show(QStringLiteral("The update failed a safety check. It was not installed."));
        break;
    case Outcome::upToDate:
        logUpdate(QString(u"up to date (build " + QString::number(m_config.build) + u')'));
        if (userAsked)
            show(QString(u"Quendril Pad " + m_config.version + u" is up to date."));
        break;
    case Outcome::staged:
        logUpdate(QString(u"staged build " + QString::number(outcome.stagedBuild.build) + u" (" +
                          outcome.stagedBuild.version + u')'));
        m_staged = outcome.stagedBuild;
        if (onStagedChange)
            onStagedChange();
        // An automatic check says nothing: the menu's Restart to Update is the news.
        if (userAsked)
            show(QString(u"Version " + outcome.stagedBuild.version +
                         u" is ready. It goes in when you quit."));
        break;
    case Outcome::cannotCheck:
        break;
    }
}

bool Updater::installStaged()
{
    const QString bundle = stagedBundlePath();
    if (!QFileInfo::exists(bundle))
        return false;
    if (m_isChecking) {
        logUpdate(QStringLiteral(
            "not installed: a check is running; the update waits for the next quit"));
        return false;
    }
    const std::optional<AppSwap::BundleInfo> running = AppSwap::bundleInfo(m_config.appURL);
    if (!running || running->build != m_config.build) {
        logUpdate(
            QStringLiteral("not installed: the app on disk is not the running build any more"));
        discardStaged();
        if (onStagedChange)
            onStagedChange();
        return false;
    }
    const std::optional<AppSwap::BundleInfo> stagedInfo = stagedBundleInfo(bundle);
    if (!stagedInfo) {
        logUpdateError(QStringLiteral("not installed: the staged app failed its checks"));
        discardStaged();
        if (onStagedChange)
            onStagedChange();
        return false;
    }
    const QString previous = m_folder + u'/' + previousFolderName + u'/' + appName();
    if (auto installed = AppSwap::install(bundle, m_config.appURL, previous, m_config.publicKey);
        !installed) {
        logUpdateError(QString(u"not installed: " + installed.error().text()));
        // A swap that failed after the move has removed the staged folder with it.
        if (!QFileInfo::exists(bundle))
            m_staged.reset();
        if (onStagedChange)
            onStagedChange();
        return false;
    }
    logUpdate(QString(u"installed build " + QString::number(stagedInfo->build)));
    m_staged.reset();
    if (onStagedChange)
        onStagedChange();
    return true;
}
