#pragma once

// What the history occupies, shown by the clipboard settings tab: UTF-8 bytes of the texts
// of text items and of URL items, and the image bytes of image items.

#include <QtGlobal>

struct ClipboardHistoryStorageUsage
{
    qint64 textBytes = 0;
    qint64 urlBytes = 0;
    qint64 imageBytes = 0;

    bool operator==(const ClipboardHistoryStorageUsage& other) const = default;
};
