#pragma once

// The record the clipboard history keeps for every capture. Items are values: equality
// compares every field. Two captures of the same content share a fingerprint, which is the
// key for de-duplication and for the preview cache. Image bytes are a shared handle that reads
// them on demand (ClipboardImageBytes): copying an item never copies its image.

#include "ClipboardImageBytes.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

enum class ClipboardHistoryKind
{
    Text,
    Url,
    Image
};

QString clipboardHistoryKindName(ClipboardHistoryKind kind); // "text", "url", "image"
std::optional<ClipboardHistoryKind> clipboardHistoryKindFromName(QStringView name);

struct ClipboardHistoryItem
{
    QUuid id;
    ClipboardHistoryKind kind = ClipboardHistoryKind::Text;
    QDateTime createdAt;
    std::optional<QString> text;
    std::optional<ClipboardImageBytes> imageData;
    QString fingerprint;

    bool operator==(const ClipboardHistoryItem& other) const = default;

    static QString makeFingerprint(ClipboardHistoryKind kind, const std::optional<QString>& text,
        const std::optional<QByteArray>& imageData);
    // url when the text, trimmed of white space and line breaks, starts with "http://" or
    // "https://" (case-sensitive); text otherwise.
    static ClipboardHistoryKind kindFor(const QString& text);
    // Files from before URLs were told apart hold them as text: such items become url items,
    // every other field unchanged.
    static void reclassifyLoaded(QList<ClipboardHistoryItem>& items);

    static ClipboardHistoryItem makeText(const QString& text, const QDateTime& now);
    static ClipboardHistoryItem makeImage(const QByteArray& bytes, const QDateTime& now);

    // The image bytes, read now: nothing for an item without them, and nothing when they can
    // no longer be read (an image whose bytes are unreadable). May block on the disk: off the
    // main thread where the image is large.
    std::optional<QByteArray> imageBytes() const;
    qint64 imageByteCount() const { return imageData ? imageData->size() : 0; }

    // Display properties for the quick panel.
    QString normalizedTextPreview() const;
    // "12文字", "URL", "4000 x 3000" or "画像" (dimensions from the preview cache).
    QString detail() const;
    // The cached preview, or a null image until it is rendered. Reads its file now: painting
    // goes through the quick panel's thumbnail loader instead.
    QImage image() const;
};
