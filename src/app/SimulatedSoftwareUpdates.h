#pragma once

// The update server of `norvale --simulate`, so that the update window can be tried offline.
// It publishes the running version and the one after it, and a check reads that feed with the
// real feed reader; the newer release is then fetched in four steps of a quarter second into the
// world's private folder. Whatever address is asked, this feed answers. Its package is a sample
// that nobody signs and that installs nothing.

#include "platform/Scheduler.h"
#include "update/SoftwareUpdateBackend.h"

#include <QByteArray>
#include <QString>

class SimulatedSoftwareUpdates final : public SoftwareUpdateBackend
{
public:
    SimulatedSoftwareUpdates(Scheduler& scheduler, QString downloadFolder);

    void check(const QUrl& feedURL, const QString& currentVersion, Callbacks callbacks) override;
    void cancel() override;

    // The feed a build of currentVersion is served.
    static QByteArray feed(const QString& currentVersion);

private:
    void feedArrived(const QString& currentVersion);
    void downloadStep(int step);
    void finish(SoftwareUpdateOutcome::Kind kind, const QString& error = {});

    Scheduler& m_scheduler;
    QString m_downloadFolder;
    Callbacks m_callbacks;
    SoftwareUpdateOutcome m_outcome;
    QByteArray m_package;
    TimerHandle m_next;
};
