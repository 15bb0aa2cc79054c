#include "SimulatedSoftwareUpdates.h"

#include "support/PrivateFiles.h"
#include "update/SoftwareUpdateVersion.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr double feedSeconds = 0.5;
constexpr double stepSeconds = 0.25;
constexpr int downloadSteps = 4;

// The release after current: its minor number one up ("0.1.0" gives "0.2.0"); "1.0" for a
// build that knows no version.
QString nextVersion(const QString& current)
{
    const QStringList parts = current.split(QLatin1Char('.'));
    bool hasMajor = false;
    bool hasMinor = false;
    const int major = parts.value(0).toInt(&hasMajor);
    const int minor = parts.value(1).toInt(&hasMinor);
    if (!hasMajor) {
        return QStringLiteral("1.0");
    }
    return QStringLiteral("%1.%2.0").arg(major).arg(hasMinor ? minor + 1 : 1);
}

QByteArray samplePackage(const QString& version)
{
    return QStringLiteral("Norvale %1: a sample package of the simulated world.\n")
        .arg(version)
        .toUtf8()
        .repeated(1024);
}

QString packageURL(const QString& version)
{
    return QStringLiteral("https://updates.norvale.app/norvale_%1_amd64.deb").arg(version);
}

} // namespace

SimulatedSoftwareUpdates::SimulatedSoftwareUpdates(Scheduler& scheduler, QString downloadFolder)
    : m_scheduler(scheduler)
    , m_downloadFolder(std::move(downloadFolder))
{ }

QByteArray SimulatedSoftwareUpdates::feed(const QString& currentVersion)
{
    const QString next = nextVersion(currentVersion);
    const QString item = QStringLiteral("    <item>\n"
                                        "      <title>Norvale %1</title>\n"
                                        "      <sparkle:version>%1</sparkle:version>\n"
                                        "      <description>%2</description>\n"
                                        "      <enclosure url=\"%3\" length=\"%4\" "
                                        "type=\"application/vnd.debian.binary-package\"/>\n"
                                        "    </item>\n");
    return (
        QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<rss version=\"2.0\" "
                       "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
                       "  <channel>\n"
                       "    <title>Norvale</title>\n") +
        item.arg(next,
            QStringLiteral("シミュレーション用の更新です。\n"
                           "・クイックパネルの検索を速くしました\n"
                           "・ウィンドウ配置のルールを画面構成ごとに一覧できるようにしました"),
            packageURL(next), QString::number(samplePackage(next).size())) +
        item.arg(currentVersion, QStringLiteral("このバージョンです。"), packageURL(currentVersion),
            QString::number(samplePackage(currentVersion).size())) +
        QStringLiteral("  </channel>\n"
                       "</rss>\n"))
        .toUtf8();
}

void SimulatedSoftwareUpdates::check(
    const QUrl& feedURL, const QString& currentVersion, Callbacks callbacks)
{
    Q_UNUSED(feedURL)
    cancel();
    m_callbacks = std::move(callbacks);
    m_outcome = {};
    m_next = m_scheduler.postDelayed(
        feedSeconds, [this, currentVersion] { feedArrived(currentVersion); });
}

void SimulatedSoftwareUpdates::cancel()
{
    m_next.cancel();
    m_callbacks = {};
}

void SimulatedSoftwareUpdates::feedArrived(const QString& currentVersion)
{
    QString error;
    const auto items = SoftwareUpdateAppcast::parse(feed(currentVersion), &error);
    if (!items) {
        return finish(SoftwareUpdateOutcome::Kind::Failed,
            QStringLiteral("更新フィードを読み取れませんでした: ") + error);
    }
    m_outcome.feedRead = true;
    const auto newest = SoftwareUpdateAppcast::newest(*items);
    if (!newest || SoftwareUpdateVersion::compare(newest->version, currentVersion) <= 0) {
        return finish(SoftwareUpdateOutcome::Kind::UpToDate);
    }
    m_outcome.item = *newest;
    m_outcome.releaseNotes = newest->description;
    m_package = samplePackage(newest->version);
    if (m_callbacks.updateFound) {
        m_callbacks.updateFound(m_outcome.item, m_outcome.releaseNotes);
    }
    downloadStep(0);
}

void SimulatedSoftwareUpdates::downloadStep(int step)
{
    if (m_callbacks.progress) {
        m_callbacks.progress(m_package.size() * step / downloadSteps, m_package.size());
    }
    if (step < downloadSteps) {
        m_next = m_scheduler.postDelayed(stepSeconds, [this, step] { downloadStep(step + 1); });
        return;
    }
    m_outcome.filePath =
        QDir(m_downloadFolder)
            .absoluteFilePath(QFileInfo(m_outcome.item.enclosureURL.path()).fileName());
    QString error;
    if (!PrivateFiles::writeAtomically(m_outcome.filePath, m_package, &error)) {
        m_outcome.filePath.clear();
        return finish(SoftwareUpdateOutcome::Kind::Failed,
            QStringLiteral("アップデートを保存できませんでした: ") + error);
    }
    finish(SoftwareUpdateOutcome::Kind::UpdateReady);
}

void SimulatedSoftwareUpdates::finish(SoftwareUpdateOutcome::Kind kind, const QString& error)
{
    m_outcome.kind = kind;
    m_outcome.error = error;
    const auto finished = std::move(m_callbacks.finished);
    m_callbacks = {};
    if (finished) {
        finished(m_outcome);
    }
}
