#include "SoftwareUpdaterModel.h"

#include "SoftwareVersion.h"

#include <QProcess>

#include <algorithm>

namespace {

std::optional<QDateTime> parseDate(const QString& text)
{
    const QDateTime date = QDateTime::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

bool openWithDesktop(const QString& path)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}

} // namespace

bool SoftwareUpdaterModel::startsUpdater()
{
    return !qEnvironmentVariableIsSet("NORVALE_DISABLE_SOFTWARE_UPDATES");
}

SoftwareUpdaterModel::Configuration SoftwareUpdaterModel::standardConfiguration()
{
    Configuration configuration;
    configuration.startingUpdater = startsUpdater();
    configuration.version = SoftwareVersion::version().value_or(QString());
    configuration.build = SoftwareVersion::build();
    return configuration;
}

SoftwareUpdaterModel::SoftwareUpdaterModel(SoftwareUpdateBackend& backend, DefaultsStore& defaults,
    Scheduler& scheduler, Configuration configuration, QObject* parent)
    : QObject(parent)
    , m_backend(backend)
    , m_defaults(defaults)
    , m_scheduler(scheduler)
    , m_configuration(std::move(configuration))
    , m_firstLaunch(!defaults.contains(automaticallyChecksKey))
    , m_automaticallyChecks(defaults, automaticallyChecksKey, true,
          {.changed =
                  [this](bool on) {
                      scheduleAutomaticCheck();
                      Q_EMIT automaticallyChecksForUpdatesChanged(on);
                  }})
    , m_lastUpdateCheckDate(defaults, lastUpdateCheckDateKey, QString())
{
    if (!m_configuration.openFile) {
        m_configuration.openFile = openWithDesktop;
    }
    m_automaticallyChecks.registerDefault();
    m_automaticallyChecks.load();
    m_lastUpdateCheckDate.load();
    scheduleAutomaticCheck();
}

SoftwareUpdaterModel::~SoftwareUpdaterModel()
{
    if (m_checking) {
        m_backend.cancel();
    }
}

std::optional<QDateTime> SoftwareUpdaterModel::lastUpdateCheckDate() const
{
    return parseDate(m_lastUpdateCheckDate.value());
}

QUrl SoftwareUpdaterModel::feedURL() const
{
    const std::optional<QString> stored = m_defaults.stringValue(feedURLKey);
    return stored && !stored->trimmed().isEmpty() ? QUrl(stored->trimmed()) : defaultFeedURL;
}

void SoftwareUpdaterModel::scheduleAutomaticCheck()
{
    m_automaticCheck.cancel();
    if (!isStarted() || m_firstLaunch || !automaticallyChecksForUpdates()) {
        return;
    }
    double delay = 0;
    if (const auto last = lastUpdateCheckDate()) {
        // A date in the future (the clock was set back) waits one interval at most.
        delay = std::clamp(m_scheduler.now().msecsTo(*last) / 1000.0 + automaticCheckInterval, 0.0,
            automaticCheckInterval);
    }
    m_automaticCheck = m_scheduler.postDelayed(delay, [this] {
        if (!checkForUpdates(CheckOrigin::Automatic)) {
            scheduleAutomaticCheck(); // one running now reschedules when it ends
        }
    });
}

bool SoftwareUpdaterModel::checkForUpdates(CheckOrigin origin)
{
    if (!canCheckForUpdates()) {
        return false;
    }
    m_automaticCheck.cancel();
    SoftwareUpdateSession session;
    session.userInitiated = origin == CheckOrigin::User;
    m_session = session;
    setChecking(true);
    Q_EMIT sessionChanged();
    if (origin == CheckOrigin::User) {
        Q_EMIT presentationRequested();
    }
    SoftwareUpdateBackend::Callbacks callbacks;
    callbacks.updateFound = [this, origin](
                                const SoftwareUpdateAppcastItem& item, const QString& notes) {
        m_session->phase = SoftwareUpdateSession::Phase::Downloading;
        m_session->item = item;
        m_session->releaseNotes = notes;
        m_session->total = item.length;
        Q_EMIT sessionChanged();
        if (origin == CheckOrigin::Automatic) {
            Q_EMIT presentationRequested();
        }
    };
    callbacks.progress = [this](qint64 received, qint64 total) {
        m_session->received = received;
        if (total >= 0) {
            m_session->total = total;
        }
        Q_EMIT sessionChanged();
    };
    callbacks.finished = [this](const SoftwareUpdateOutcome& outcome) {
        checkFinishedWith(outcome);
    };
    m_backend.check(feedURL(), m_configuration.version, std::move(callbacks));
    return true;
}

void SoftwareUpdaterModel::checkFinishedWith(const SoftwareUpdateOutcome& outcome)
{
    if (outcome.feedRead) {
        m_lastUpdateCheckDate.set(m_scheduler.now().toUTC().toString(Qt::ISODate));
        Q_EMIT lastUpdateCheckDateChanged();
    }
    using Phase = SoftwareUpdateSession::Phase;
    switch (outcome.kind) {
    case SoftwareUpdateOutcome::Kind::UpToDate:
        m_session->phase = Phase::UpToDate;
        setStatusMessage(QStringLiteral("最新です"));
        break;
    case SoftwareUpdateOutcome::Kind::UpdateReady:
        m_session->phase = Phase::UpdateReady;
        m_session->item = outcome.item;
        m_session->releaseNotes = outcome.releaseNotes;
        m_session->filePath = outcome.filePath;
        setStatusMessage(QStringLiteral("新しいバージョン %1 をダウンロードして検証しました: %2")
                             .arg(outcome.item.displayVersion(), outcome.filePath));
        break;
    case SoftwareUpdateOutcome::Kind::Failed:
        m_session->phase = Phase::Failed;
        m_session->message = outcome.error;
        setStatusMessage(outcome.error);
        break;
    }
    setChecking(false);
    Q_EMIT sessionChanged();
    scheduleAutomaticCheck();
    Q_EMIT checkFinished(outcome);
}

bool SoftwareUpdaterModel::installUpdate()
{
    if (!m_session || m_session->phase != SoftwareUpdateSession::Phase::UpdateReady) {
        return false;
    }
    if (!m_configuration.openFile(m_session->filePath)) {
        setStatusMessage(
            QStringLiteral("インストーラを開けませんでした: %1").arg(m_session->filePath));
        return false;
    }
    return true;
}

void SoftwareUpdaterModel::setChecking(bool checking)
{
    m_checking = checking;
    Q_EMIT canCheckForUpdatesChanged(canCheckForUpdates());
}

void SoftwareUpdaterModel::setStatusMessage(const QString& message)
{
    m_statusMessage = message;
    Q_EMIT statusMessageChanged();
}
