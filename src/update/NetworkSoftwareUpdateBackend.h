#pragma once

// The update backend over QtNetwork. A check fetches the feed, picks its newest release, and
// when that is newer than the running version fetches the release notes (as text, shown and
// never run) and downloads the enclosure into the download folder, then verifies its length and
// signature. A file that fails is deleted; a verified one keeps the enclosure's file name.
//
// Only HTTPS is spoken, except plain HTTP to a loopback address (a feed served on the same
// machine), and a redirect is followed only to an HTTPS address. The feed and the notes are
// refused above 1 MiB; the download is cut off as soon as it passes the feed's length.
// Release notes that cannot be fetched leave the notes empty: they are no reason to withhold
// an update.

#include "SoftwareUpdateBackend.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <optional>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

class NetworkSoftwareUpdateBackend final : public QObject, public SoftwareUpdateBackend
{
    Q_OBJECT

public:
    static constexpr qint64 maximumTextSize = 1024 * 1024;

    // publicKey: the key updates must be signed with; nothing when none is usable (every
    // download then fails its check).
    NetworkSoftwareUpdateBackend(
        QString downloadFolder, std::optional<QByteArray> publicKey, QObject* parent = nullptr);
    ~NetworkSoftwareUpdateBackend() override;

    void check(const QUrl& feedURL, const QString& currentVersion, Callbacks callbacks) override;
    void cancel() override;

    // "Norvale/updates" in the user's cache folder.
    static QString standardDownloadFolder();
    // https, or http to a loopback address.
    static bool isAllowedURL(const QUrl& url);

private:
    struct Text
    {
        QByteArray body;
        QString error; // empty on success
    };

    QNetworkReply* get(const QUrl& url);
    void fetchText(const QUrl& url, std::function<void(const Text&)> done);
    void feedFetched(const Text& feed, const QString& currentVersion);
    void download(const SoftwareUpdateAppcastItem& item, const QString& releaseNotes);
    void downloadFinished(QNetworkReply* reply);
    void finish(SoftwareUpdateOutcome outcome);
    void fail(const QString& error);
    QString refusal(QNetworkReply* reply) const;

    QString m_downloadFolder;
    std::optional<QByteArray> m_publicKey;
    // Made by a check's first request and let go when the check ends: checks come a day apart,
    // and the network stack's caches, kept-alive connections and TLS state would stay
    // resident for nothing in between.
    QNetworkAccessManager* m_network = nullptr;
    Callbacks m_callbacks;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_file;
    SoftwareUpdateOutcome m_outcome;
    quint64 m_generation = 0;
};
