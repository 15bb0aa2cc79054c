#pragma once

// What looks for, fetches and verifies updates, for SoftwareUpdaterModel: one check at a time,
// from reading the feed through the verified download. The network backend is the real one;
// tests of the model's schedule may put a scripted one in its place.

#include "SoftwareUpdateAppcast.h"

#include <QMetaType>
#include <QString>
#include <QUrl>

#include <functional>

struct SoftwareUpdateOutcome
{
    enum class Kind
    {
        UpToDate,
        UpdateReady, // downloaded and verified at filePath
        Failed
    };

    Kind kind = Kind::Failed;
    // The feed was fetched and read: the check reached the server, whatever followed.
    bool feedRead = false;
    SoftwareUpdateAppcastItem item; // the newer release (UpdateReady, and failures after it)
    QString releaseNotes;
    QString filePath;
    QString error; // the status line of a failure
};
Q_DECLARE_METATYPE(SoftwareUpdateOutcome)

class SoftwareUpdateBackend
{
public:
    struct Callbacks
    {
        // A newer release was found; its download starts now.
        std::function<void(const SoftwareUpdateAppcastItem&, const QString& releaseNotes)>
            updateFound;
        // Bytes of the download so far, of total (-1 when unknown).
        std::function<void(qint64 received, qint64 total)> progress;
        // Runs once per check, never from within check() itself.
        std::function<void(const SoftwareUpdateOutcome&)> finished;
    };

    virtual ~SoftwareUpdateBackend() = default;

    // Starts a check against the feed for a newer version than currentVersion, cancelling one
    // that runs (a cancelled check calls nothing more).
    virtual void check(const QUrl& feedURL, const QString& currentVersion, Callbacks callbacks) = 0;
    virtual void cancel() = 0;

protected:
    SoftwareUpdateBackend() = default;
    SoftwareUpdateBackend(const SoftwareUpdateBackend&) = default;
    SoftwareUpdateBackend& operator=(const SoftwareUpdateBackend&) = default;
};
