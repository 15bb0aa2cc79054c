#pragma once

// Fixtures shared by the clipboard tests: files, images, and a history model on mock time
// whose captures, saves and renders run only when the test drains the executor.

#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestFiles.h"
#include "platform/FileLocations.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace ClipboardTest {

inline const QDateTime Now = QDateTime(QDate(2024, 5, 1), QTime(9, 30), Qt::UTC);

inline QByteArray encodeImage(const QImage& image, const char* format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QImage solid(int width, int height, QRgb color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

inline QByteArray pngBytes(int width, int height, QRgb color)
{
    return encodeImage(solid(width, height, color));
}

struct World
{
    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    QTemporaryDir dir;
    std::unique_ptr<ClipboardHistoryModel> model;

    QString historyPath() const { return dir.filePath(QStringLiteral("ClipboardHistory.json")); }

    ClipboardHistoryModel& start(const QString& folder = QString())
    {
        model = std::make_unique<ClipboardHistoryModel>(pasteboard, defaults, scheduler, executor,
            FileLocations(folder.isEmpty() ? dir.path() : folder));
        return *model;
    }

    // Runs queued background work and its completions until nothing is left.
    void settle()
    {
        for (int round = 0; round < 100; ++round) {
            scheduler.runPending();
            if (executor.pendingCount() == 0) {
                return;
            }
            executor.runAll();
        }
    }

    // One poll period, and everything it starts.
    void poll()
    {
        scheduler.advance(0.75);
        settle();
    }

    // A foreign copy; "image:N" copies an N × 1 PNG.
    void setClipboard(const QString& text)
    {
        if (text.startsWith(QLatin1String("image:"))) {
            pasteboard.setContents({{PasteboardType::png, pngBytes(text.mid(6).toInt(), 1, 0)}});
        } else {
            pasteboard.setText(text);
        }
    }

    void copy(const QString& text)
    {
        setClipboard(text);
        poll();
    }

    // Texts; an image as "image:" and its width.
    static QStringList textsOf(const QList<ClipboardHistoryItem>& items)
    {
        QStringList result;
        for (const ClipboardHistoryItem& item : items) {
            result << item.text.value_or(
                QStringLiteral("image:%1")
                    .arg(QImage::fromData(item.imageBytes().value_or(QByteArray())).width()));
        }
        return result;
    }
    QStringList texts() const { return textsOf(model->items()); }
    QStringList savedTexts() const
    {
        const auto items = ClipboardHistoryStorage::decode(readFile(historyPath()));
        return items ? textsOf(*items) : QStringList {QStringLiteral("<unreadable>")};
    }

    void writeHistory(const QList<ClipboardHistoryItem>& items)
    {
        QString error;
        QVERIFY2(ClipboardHistoryStorage(dir.path()).saveSynchronously(items, &error),
            qPrintable(error));
    }
};

} // namespace ClipboardTest
