#include "NetworkSoftwareUpdateBackend.h"

#include "SoftwareUpdateSignature.h"
#include "SoftwareUpdateVersion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTimer>

namespace {

// A stalled server ends the check after this long without data.
constexpr int transferTimeoutMs = 60 * 1000;

const char* refusedRedirectProperty = "norvaleRefusedRedirect";
const char* tooLargeProperty = "norvaleTooLarge";

QString refusedURLMessage(const QUrl& url)
{
    return QStringLiteral("HTTPSでないアドレスには接続しません: %1")
        .arg(url.toDisplayString(QUrl::RemoveUserInfo));
}

QString enclosureFileName(const QUrl& url)
{
    const QString name = QFileInfo(url.path()).fileName();
    return name.isEmpty() || name.startsWith(QLatin1Char('.')) ? QStringLiteral("update") : name;
}

} // namespace

NetworkSoftwareUpdateBackend::NetworkSoftwareUpdateBackend(
    QString downloadFolder, std::optional<QByteArray> publicKey, QObject* parent)
    : QObject(parent)
    , m_downloadFolder(std::move(downloadFolder))
    , m_publicKey(std::move(publicKey))
{ }

NetworkSoftwareUpdateBackend::~NetworkSoftwareUpdateBackend()
{
    cancel();
}

QString NetworkSoftwareUpdateBackend::standardDownloadFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
        QStringLiteral("/Norvale/updates");
}

bool NetworkSoftwareUpdateBackend::isAllowedURL(const QUrl& url)
{
    if (url.scheme() == QStringLiteral("https")) {
        return !url.host().isEmpty();
    }
    if (url.scheme() != QStringLiteral("http")) {
        return false;
    }
    const QString host = url.host();
    return host == QStringLiteral("localhost") || QHostAddress(host).isLoopback();
}

void NetworkSoftwareUpdateBackend::check(
    const QUrl& feedURL, const QString& currentVersion, Callbacks callbacks)
{
    cancel();
    m_callbacks = std::move(callbacks);
    m_outcome = {};
    if (!isAllowedURL(feedURL)) {
        // Reported from the event loop, as every other outcome is.
        QTimer::singleShot(
            0, this, [this, generation = m_generation, error = refusedURLMessage(feedURL)] {
                if (generation == m_generation) {
                    fail(error);
                }
            });
        return;
    }
    fetchText(
        feedURL, [this, currentVersion](const Text& feed) { feedFetched(feed, currentVersion); });
}

void NetworkSoftwareUpdateBackend::cancel()
{
    ++m_generation;
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file) {
        m_file->remove();
        m_file.reset();
    }
}

QNetworkReply* NetworkSoftwareUpdateBackend::get(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setTransferTimeout(transferTimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Norvale"));
    if (m_network == nullptr) {
        m_network = new QNetworkAccessManager(this);
    }
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        if (target.scheme() == QStringLiteral("https")) {
            Q_EMIT reply->redirectAllowed();
        } else {
            reply->setProperty(refusedRedirectProperty, target);
            reply->abort();
        }
    });
    m_reply = reply;
    return reply;
}

QString NetworkSoftwareUpdateBackend::refusal(QNetworkReply* reply) const
{
    const QUrl redirect = reply->property(refusedRedirectProperty).toUrl();
    if (!redirect.isEmpty()) {
        return QStringLiteral("HTTPS以外へのリダイレクトは拒否しました: %1")
            .arg(redirect.toDisplayString(QUrl::RemoveUserInfo));
    }
    if (reply->property(tooLargeProperty).toBool()) {
        return QStringLiteral("サーバーからの応答が1 MiBを超えたため拒否しました");
    }
    return reply->errorString();
}

void NetworkSoftwareUpdateBackend::fetchText(const QUrl& url, std::function<void(const Text&)> done)
{
    QNetworkReply* reply = get(url);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > maximumTextSize || total > maximumTextSize) {
            reply->setProperty(tooLargeProperty, true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, done = std::move(done)] {
        reply->deleteLater();
        m_reply = nullptr;
        Text text;
        if (reply->error() != QNetworkReply::NoError ||
            reply->property(tooLargeProperty).toBool() ||
            !reply->property(refusedRedirectProperty).toUrl().isEmpty()) {
            text.error = refusal(reply);
        } else {
            text.body = reply->readAll();
        }
        done(text);
    });
}

void NetworkSoftwareUpdateBackend::feedFetched(const Text& feed, const QString& currentVersion)
{
    if (!feed.error.isEmpty()) {
        return fail(QStringLiteral("アップデートを確認できませんでした: ") + feed.error);
    }
    QString error;
    const auto items = SoftwareUpdateAppcast::parse(feed.body, &error);
    if (!items) {
        return fail(QStringLiteral("更新フィードを読み取れませんでした: ") + error);
    }
    m_outcome.feedRead = true;
    const auto newest = SoftwareUpdateAppcast::newest(*items);
    if (!newest || SoftwareUpdateVersion::compare(newest->version, currentVersion) <= 0) {
        m_outcome.kind = SoftwareUpdateOutcome::Kind::UpToDate;
        return finish(m_outcome);
    }
    m_outcome.item = *newest;
    const QUrl notes = newest->releaseNotesURL;
    if (notes.isEmpty() || !isAllowedURL(notes)) {
        return download(*newest, newest->description);
    }
    fetchText(notes, [this, item = *newest](const Text& text) {
        download(item, text.error.isEmpty() ? QString::fromUtf8(text.body) : item.description);
    });
}

void NetworkSoftwareUpdateBackend::download(
    const SoftwareUpdateAppcastItem& item, const QString& releaseNotes)
{
    m_outcome.releaseNotes = releaseNotes;
    if (!isAllowedURL(item.enclosureURL)) {
        return fail(refusedURLMessage(item.enclosureURL));
    }
    if (!QDir().mkpath(m_downloadFolder)) {
        return fail(
            QStringLiteral("ダウンロード先のフォルダを作れませんでした: ") + m_downloadFolder);
    }
    m_outcome.filePath =
        QDir(m_downloadFolder).absoluteFilePath(enclosureFileName(item.enclosureURL));
    m_file = std::make_unique<QFile>(m_outcome.filePath + QStringLiteral(".part"));
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString message =
            QStringLiteral("アップデートを保存できませんでした: ") + m_file->errorString();
        m_file.reset();
        return fail(message);
    }
    if (m_callbacks.updateFound) {
        m_callbacks.updateFound(item, releaseNotes);
    }
    QNetworkReply* reply = get(item.enclosureURL);
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, length = item.length] {
        const QByteArray chunk = reply->readAll();
        if (m_file->write(chunk) != chunk.size() || (length >= 0 && m_file->size() > length)) {
            // Either the disk is full or the server sends more than the feed announced.
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (m_callbacks.progress) {
            m_callbacks.progress(received, total);
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { downloadFinished(reply); });
}

void NetworkSoftwareUpdateBackend::downloadFinished(QNetworkReply* reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    if (reply->isOpen()) {
        m_file->write(reply->readAll());
    }
    m_file->close();
    const SoftwareUpdateAppcastItem& item = m_outcome.item;
    const bool overlong = item.length >= 0 && m_file->size() > item.length;
    if (reply->error() != QNetworkReply::NoError && !overlong) {
        m_file->remove();
        m_file.reset();
        return fail(
            QStringLiteral("アップデートをダウンロードできませんでした: ") + refusal(reply));
    }
    QString error;
    if (!m_publicKey) {
        error = QStringLiteral("更新を検証する公開鍵が正しくありません");
    } else {
        switch (SoftwareUpdateSignature::verifyFile(
            m_file->fileName(), item.length, item.edSignature, *m_publicKey)) {
        case SoftwareUpdateSignature::Result::Valid:
            break;
        case SoftwareUpdateSignature::Result::Unreadable:
            error = QStringLiteral("ダウンロードした更新を読み取れませんでした");
            break;
        case SoftwareUpdateSignature::Result::WrongLength:
            error = QStringLiteral("ダウンロードした更新のサイズがフィードと一致しません");
            break;
        case SoftwareUpdateSignature::Result::BadSignature:
            error = QStringLiteral("ダウンロードした更新の署名が正しくありません");
            break;
        }
    }
    if (error.isEmpty()) {
        QFile::remove(m_outcome.filePath);
        if (!m_file->rename(m_outcome.filePath)) {
            error = QStringLiteral("アップデートを保存できませんでした: ") + m_file->errorString();
        }
    }
    if (!error.isEmpty()) {
        m_file->remove();
        m_file.reset();
        return fail(error);
    }
    m_file.reset();
    m_outcome.kind = SoftwareUpdateOutcome::Kind::UpdateReady;
    finish(m_outcome);
}

void NetworkSoftwareUpdateBackend::fail(const QString& error)
{
    m_outcome.kind = SoftwareUpdateOutcome::Kind::Failed;
    m_outcome.error = error;
    m_outcome.filePath.clear(); // nothing is left there
    finish(m_outcome);
}

void NetworkSoftwareUpdateBackend::finish(SoftwareUpdateOutcome outcome)
{
    ++m_generation;
    if (m_network != nullptr) {
        // Its replies are its children: they go with it, once the one finishing has returned.
        m_network->deleteLater();
        m_network = nullptr;
    }
    const auto finished = std::move(m_callbacks.finished);
    m_callbacks = {};
    if (finished) {
        finished(outcome);
    }
}
