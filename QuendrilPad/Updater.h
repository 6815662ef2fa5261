#pragma once

#include "QuendrilCore/UpdateProblem.h"
#include "QuendrilPad/AppSwap.h"
#include "QuendrilPad/UpdateConfig.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QThread;
class QTimer;

// Checks the update feed on a schedule or when asked, downloads, verifies and stages a newer
// build in the Updates folder, and swaps it in at quit. One check runs at a time, in the
// background; its outcome is handled on the main thread.
//
//   Updater updater(*config, [&] { return settings.updateAutomatically; }, updatesFolder);
//   updater.onMessage = [&](const QString& text) { statusLine.show(text); };
//   updater.loadStaged();
//   updater.start();
//   ...at quit: updater.installStaged();
class Updater : public QObject {
    Q_OBJECT

public:
    struct StagedBuild {
        qint64 build = 0;
        QString version;
        bool operator==(const StagedBuild&) const = default;
    };

    struct Outcome {
        enum Kind { staged, cannotCheck, rejected, upToDate };
        Kind kind = cannotCheck;
        StagedBuild stagedBuild;                          // staged
        QString reason;                                   // cannotCheck
        UpdateProblem problem = UpdateProblem::wrongSize; // rejected
    };

    // `updateAutomatically` answers the "update_automatically" setting each time it is asked;
    // `folder` is the Updates folder in the application-support folder.
    Updater(UpdateConfig config, std::function<bool()> updateAutomatically, QString folder,
            QObject* parent = nullptr);
    ~Updater() override;

    std::function<void(const QString&)> onMessage;
    std::function<void()> onStagedChange;

    // Takes over a build staged by an earlier run, or drops it when it is not newer or not valid.
    void loadStaged();
    // A first automatic check 60 seconds from now, then hourly and on wake from sleep.
    void start();
    // Starts one check unless one is running; only a check the user asked for shows messages.
    void checkNow(bool userAsked);
    // Whether a scheduled check is due: none concluded yet, a day since the last, or the clock
    // went back.
    [[nodiscard]] bool checkIsDue() const;
    // Swaps the staged build in (at quit); whether it did.
    bool installStaged();
    // What the timers and the wake run: a check when automatic updating is on and one is due.
    void automaticCheck();

    [[nodiscard]] const UpdateConfig& config() const { return m_config; }
    [[nodiscard]] const QString& folder() const { return m_folder; }
    [[nodiscard]] const std::optional<StagedBuild>& staged() const { return m_staged; }
    [[nodiscard]] bool isChecking() const { return m_isChecking; }
    [[nodiscard]] int checkCount() const { return m_checkCount; }
    [[nodiscard]] const std::optional<QDateTime>& lastCheck() const { return m_lastCheck; }
    [[nodiscard]] const QList<QTimer*>& timers() const { return m_timers; }

    // The background steps of one check: fetch and decode the feed, download and verify the
    // archive, unzip it, check the application inside and stage it. Works only on its arguments.
    [[nodiscard]] static Outcome fetchAndStage(const UpdateConfig& config, const QString& folder,
                                               std::optional<qint64> stagedBuild,
                                               const std::atomic_bool& cancelled);

private Q_SLOTS:
    void prepareForSleep(bool sleeping);

private:
    void finish(const Outcome& outcome, bool userAsked);
    void show(const QString& message);
    void discardStaged();
    // The staged bundle's info when it is newer, fits this system and is signed; none otherwise.
    [[nodiscard]] std::optional<AppSwap::BundleInfo> stagedBundleInfo(const QString& bundle) const;
    [[nodiscard]] QString stagedBundlePath() const;

    UpdateConfig m_config;
    std::function<bool()> m_updateAutomatically;
    QString m_folder;
    std::optional<StagedBuild> m_staged;
    bool m_isChecking = false;
    int m_checkCount = 0;
    std::optional<QDateTime> m_lastCheck;
    QList<QTimer*> m_timers;
    QThread* m_worker = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancelled;
};
