#pragma once

// Turns the current pasteboard content into at most one history item. Stateless; called
// on the capture worker. The change count is read before and after building the item so that
// content replaced while it was read is never recorded.

#include "ClipboardHistoryItem.h"

#include <QDateTime>
#include <QStringList>

#include <optional>

class Pasteboard;

namespace ClipboardPasteboardReader {

std::optional<ClipboardHistoryItem> captureItem(const Pasteboard& pasteboard,
    qint64 expectedChangeCount, bool saveExcelCopiesAsText, const QDateTime& now);

std::optional<ClipboardHistoryItem> makeItem(
    const Pasteboard& pasteboard, bool saveExcelCopiesAsText, const QDateTime& now);

bool containsExcelContent(const Pasteboard& pasteboard, const QStringList& availableTypes);

// Content a password manager marked secret is never recorded.
bool isMarkedSecret(const Pasteboard& pasteboard, const QStringList& availableTypes);

// Converts any image Qt can read (TIFF in practice) to PNG; nothing when it cannot.
std::optional<QByteArray> pngData(const QByteArray& data);

} // namespace ClipboardPasteboardReader
