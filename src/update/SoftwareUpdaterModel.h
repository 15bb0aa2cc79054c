#pragma once

// Software update for the rest of the application: whether the updater runs at all, the
// automatic-check switch, whether a check may start now, the last check's date, and the check
// itself with its outcome for the update dialog.
//
// The updater starts unless the environment holds NORVALE_DISABLE_SOFTWARE_UPDATES (with any
// value, even empty); unstarted, it never checks and canCheckForUpdates stays false.
// canCheckForUpdates is also false while a check runs.
//
// Automatic checks (update.automaticallyChecksForUpdates, on by default) run at most once a day:
// the next one falls due a day after the last check, or at once when there never was one, but
// never during the very first launch (the one that finds the key absent), so that a fresh
// installation does not reach the network before its user has seen the switch. A check that
// fails before reading the feed keeps the old date, and the next attempt is a day later.
//
// update.lastUpdateCheckDate holds the date of the last check that read the feed, in UTC
// ISO 8601. update.feedURL, when present, replaces the built-in feed address; it is not
// written when absent, so that a later built-in address reaches every user who never chose one.
//
// Presentation: a check the user started (menu, settings tab) asks for the dialog at once and
// shows its outcome there, "no update" and errors included; an automatic check asks for it only
// when it has found an update; a check from the command line never does. Every outcome ends in
// statusMessage.

#include "SoftwareUpdateBackend.h"
#include "platform/DefaultsStore.h"
#include "platform/Scheduler.h"
#include "platform/Setting.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

struct SoftwareUpdateSession
{
    enum class Phase
    {
        Checking,
        Downloading,
        UpdateReady,
        UpToDate,
        Failed
    };

    Phase phase = Phase::Checking;
    bool userInitiated = false;
    SoftwareUpdateAppcastItem item;
    QString releaseNotes;
    qint64 received = 0;
    qint64 total = -1;
    QString filePath;
    QString message; // the status line of a failure
};

class SoftwareUpdaterModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
            setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)
    Q_PROPERTY(std::optional<QDateTime> lastUpdateCheckDate READ lastUpdateCheckDate NOTIFY
            lastUpdateCheckDateChanged)
    Q_PROPERTY(std::optional<QString> statusMessage READ statusMessage NOTIFY statusMessageChanged)

public:
    static inline const QString automaticallyChecksKey =
        QStringLiteral("update.automaticallyChecksForUpdates");
    static inline const QString lastUpdateCheckDateKey =
        QStringLiteral("update.lastUpdateCheckDate");
    static inline const QString feedURLKey = QStringLiteral("update.feedURL");
    static inline const QUrl defaultFeedURL =
        QUrl(QStringLiteral("https://updates.norvale.app/appcast.xml"));
    static constexpr double automaticCheckInterval = 24 * 60 * 60;

    enum class CheckOrigin
    {
        User,
        CommandLine,
        Automatic
    };

    struct Configuration
    {
        bool startingUpdater = true;
        QString version;
        std::optional<QString> build;
        // Opens a verified package with the desktop's installer; true when it could start.
        std::function<bool(const QString& path)> openFile;
    };

    // False when NORVALE_DISABLE_SOFTWARE_UPDATES is in the environment.
    static bool startsUpdater();
    // This build's version and build number, started as the environment says, packages opened
    // with xdg-open.
    static Configuration standardConfiguration();

    SoftwareUpdaterModel(SoftwareUpdateBackend& backend, DefaultsStore& defaults,
        Scheduler& scheduler, Configuration configuration, QObject* parent = nullptr);
    ~SoftwareUpdaterModel() override;

    bool isStarted() const { return m_configuration.startingUpdater; }
    bool canCheckForUpdates() const { return isStarted() && !m_checking; }
    bool automaticallyChecksForUpdates() const { return m_automaticallyChecks.value(); }
    void setAutomaticallyChecksForUpdates(bool on) { m_automaticallyChecks.set(on); }
    std::optional<QDateTime> lastUpdateCheckDate() const;
    std::optional<QString> statusMessage() const { return m_statusMessage; }
    QUrl feedURL() const;
    QString version() const { return m_configuration.version; }
    std::optional<QString> build() const { return m_configuration.build; }
    // The running or last check; nothing before the first.
    const std::optional<SoftwareUpdateSession>& session() const { return m_session; }

    // False (and nothing happens) when no check can start now.
    bool checkForUpdates(CheckOrigin origin = CheckOrigin::User);
    // Opens the verified update of the last check with the desktop's installer.
    bool installUpdate();

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void automaticallyChecksForUpdatesChanged(bool on);
    void lastUpdateCheckDateChanged();
    void statusMessageChanged();
    void sessionChanged();
    // The update dialog should be shown (it shows session()).
    void presentationRequested();
    void checkFinished(const SoftwareUpdateOutcome& outcome);

private:
    void scheduleAutomaticCheck();
    void checkFinishedWith(const SoftwareUpdateOutcome& outcome);
    void setChecking(bool checking);
    void setStatusMessage(const QString& message);

    SoftwareUpdateBackend& m_backend;
    DefaultsStore& m_defaults;
    Scheduler& m_scheduler;
    Configuration m_configuration;
    bool m_firstLaunch = false;
    Setting<bool> m_automaticallyChecks;
    Setting<QString> m_lastUpdateCheckDate;
    bool m_checking = false;
    std::optional<SoftwareUpdateSession> m_session;
    std::optional<QString> m_statusMessage;
    TimerHandle m_automaticCheck;
};
