#include "ClipboardHistoryItem.h"

#include "ClipboardHistoryImageCache.h"
#include "support/Text.h"
#include "support/Uuid.h"

#include <QChar>
#include <QCryptographicHash>

namespace {

constexpr qsizetype PreviewMaxCharacters = 72;

} // namespace

QString clipboardHistoryKindName(ClipboardHistoryKind kind)
{
    switch (kind) {
    case ClipboardHistoryKind::Text:
        return QStringLiteral("text");
    case ClipboardHistoryKind::Url:
        return QStringLiteral("url");
    case ClipboardHistoryKind::Image:
        return QStringLiteral("image");
    }
    return QStringLiteral("text");
}

std::optional<ClipboardHistoryKind> clipboardHistoryKindFromName(QStringView name)
{
    if (name == u"text") {
        return ClipboardHistoryKind::Text;
    }
    if (name == u"url") {
        return ClipboardHistoryKind::Url;
    }
    if (name == u"image") {
        return ClipboardHistoryKind::Image;
    }
    return std::nullopt;
}

QString ClipboardHistoryItem::makeFingerprint(ClipboardHistoryKind kind,
    const std::optional<QString>& text, const std::optional<QByteArray>& imageData)
{
    switch (kind) {
    case ClipboardHistoryKind::Text:
    case ClipboardHistoryKind::Url:
        return QStringLiteral("text:") + text.value_or(QString());
    case ClipboardHistoryKind::Image:
        break;
    }
    if (!imageData) {
        return QStringLiteral("image:");
    }
    const QByteArray digest =
        QCryptographicHash::hash(*imageData, QCryptographicHash::Sha256).toHex();
    return QStringLiteral("image:") + QString::number(imageData->size()) + QLatin1Char(':') +
        QString::fromLatin1(digest);
}

ClipboardHistoryKind ClipboardHistoryItem::kindFor(const QString& text)
{
    const QString trimmed = Text::trimmed(text);
    if (trimmed.startsWith(QLatin1String("http://"), Qt::CaseSensitive) ||
        trimmed.startsWith(QLatin1String("https://"), Qt::CaseSensitive)) {
        return ClipboardHistoryKind::Url;
    }
    return ClipboardHistoryKind::Text;
}

void ClipboardHistoryItem::reclassifyLoaded(QList<ClipboardHistoryItem>& items)
{
    for (ClipboardHistoryItem& item : items) {
        if (item.kind == ClipboardHistoryKind::Text && item.text &&
            kindFor(*item.text) == ClipboardHistoryKind::Url) {
            item.kind = ClipboardHistoryKind::Url;
        }
    }
}

ClipboardHistoryItem ClipboardHistoryItem::makeText(const QString& text, const QDateTime& now)
{
    ClipboardHistoryItem item;
    item.id = Uuid::create();
    item.kind = kindFor(text);
    item.createdAt = now;
    item.text = text;
    item.fingerprint = makeFingerprint(item.kind, item.text, std::nullopt);
    return item;
}

ClipboardHistoryItem ClipboardHistoryItem::makeImage(const QByteArray& bytes, const QDateTime& now)
{
    ClipboardHistoryItem item;
    item.id = Uuid::create();
    item.kind = ClipboardHistoryKind::Image;
    item.createdAt = now;
    item.imageData = bytes;
    item.fingerprint = makeFingerprint(item.kind, std::nullopt, bytes);
    return item;
}

std::optional<QByteArray> ClipboardHistoryItem::imageBytes() const
{
    return imageData ? imageData->read() : std::nullopt;
}

QString ClipboardHistoryItem::normalizedTextPreview() const
{
    // Every line break and every tab becomes one blank. Empty pieces between consecutive
    // breaks are kept (each break is one blank).
    QString joined = Text::lineBreaksToBlanks(text.value_or(QString()));
    joined.replace(QLatin1Char('\t'), QLatin1Char(' '));
    const QString trimmed = Text::trimmed(joined);
    if (trimmed.isEmpty()) {
        return QStringLiteral("空のテキスト");
    }
    if (Text::graphemeCount(trimmed) > PreviewMaxCharacters) {
        return Text::graphemePrefix(trimmed, PreviewMaxCharacters) + QStringLiteral("...");
    }
    return trimmed;
}

QString ClipboardHistoryItem::detail() const
{
    switch (kind) {
    case ClipboardHistoryKind::Text:
        return QString::number(Text::graphemeCount(text.value_or(QString()))) +
            QStringLiteral("文字");
    case ClipboardHistoryKind::Url:
        return QStringLiteral("URL");
    case ClipboardHistoryKind::Image:
        break;
    }
    return ClipboardHistoryImageCache::shared()
        .detail(fingerprint)
        .value_or(QStringLiteral("画像"));
}

QImage ClipboardHistoryItem::image() const
{
    if (!imageData) {
        return {};
    }
    return ClipboardHistoryImageCache::shared().image(fingerprint);
}
