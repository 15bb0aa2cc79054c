// Thumbnails, dimensions and the bounded preview cache, and how the model feeds them.

#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryImagePreviewRenderer.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "common/TestMain.h"
#include "platform/FileLocations.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage solid(int width, int height, QRgb color, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(color);
    return image;
}

// A JPEG whose pixels are stored 400 wide and 200 high, with a blue band on the left, and
// an EXIF orientation of 6: shown rotated a quarter turn clockwise, the band at the top.
QByteArray rotatedJpeg()
{
    QImage image = solid(400, 200, qRgb(255, 0, 0));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < 40; ++x) {
            image.setPixel(x, y, qRgb(0, 0, 255));
        }
    }
    QByteArray jpeg = encode(image, "JPEG");
    // APP1 "Exif": big-endian TIFF header, one IFD entry Orientation (0x0112) SHORT = 6.
    const QByteArray exif = QByteArray::fromHex("FFE10022457869660000"
                                                "4D4D002A00000008"
                                                "0001"
                                                "011200030000000100060000"
                                                "00000000");
    jpeg.insert(2, exif);
    return jpeg;
}

ClipboardHistoryItem imageItem(const QByteArray& bytes)
{
    return ClipboardHistoryItem::makeImage(
        bytes, QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC));
}

QImage decodePng(const QByteArray& png)
{
    QImage image;
    image.loadFromData(png, "PNG");
    return image;
}

// A thumbnail whose cost is about `size` bytes: a valid PNG followed by padding (readers stop
// at the end chunk), so cost bounds can be reached with a few entries.
ClipboardHistoryImagePreview paddedPreview(const QString& fingerprint, qsizetype size)
{
    QByteArray png = encode(solid(2, 2, qRgb(1, 2, 3)), "PNG");
    png.append(QByteArray(std::max<qsizetype>(0, size - png.size()), '\0'));
    return ClipboardHistoryImagePreview {fingerprint, png, 10, 20};
}

} // namespace

class ClipboardHistoryPreviewsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ClipboardHistoryImageCache::shared().resetForTesting(); }

    void thumbnailSizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("thumbnail");
        QTest::addColumn<QString>("detail");

        QTest::newRow("4000 x 3000")
            << QSize(4000, 3000) << QSize(800, 600) << QStringLiteral("4000 x 3000");
        QTest::newRow("portrait") << QSize(3000, 4000) << QSize(600, 800)
                                  << QStringLiteral("3000 x 4000");
        QTest::newRow("small stays")
            << QSize(100, 50) << QSize(100, 50) << QStringLiteral("100 x 50");
        QTest::newRow("exactly 800")
            << QSize(800, 800) << QSize(800, 800) << QStringLiteral("800 x 800");
        QTest::newRow("801 wide strip")
            << QSize(801, 2) << QSize(800, 2) << QStringLiteral("801 x 2");
        QTest::newRow("thin never zero")
            << QSize(4000, 1) << QSize(800, 1) << QStringLiteral("4000 x 1");
    }

    void thumbnailSizes()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, thumbnail);
        QFETCH(QString, detail);

        const ClipboardHistoryItem item =
            imageItem(encode(solid(size.width(), size.height(), qRgb(10, 200, 30)), "PNG"));
        const auto preview = ClipboardHistoryImagePreviewRenderer::render(item);
        QVERIFY(preview.has_value());
        QCOMPARE(preview->fingerprint, item.fingerprint);
        QCOMPARE(QSize(preview->pixelWidth, preview->pixelHeight), size);
        const QImage decoded = decodePng(preview->thumbnailData);
        QCOMPARE(decoded.size(), thumbnail);
        QCOMPARE(decoded.pixel(decoded.width() / 2, decoded.height() / 2), qRgb(10, 200, 30));

        ClipboardHistoryImageCache::shared().store({*preview});
        QCOMPARE(item.detail(), detail);
        QCOMPARE(item.image().size(), thumbnail);
    }

    void orientationIsApplied()
    {
        const ClipboardHistoryItem item = imageItem(rotatedJpeg());
        const auto preview = ClipboardHistoryImagePreviewRenderer::render(item);
        QVERIFY(preview.has_value());
        // The dimensions are the stored pixel width and height, as the image declares them.
        QCOMPARE(QSize(preview->pixelWidth, preview->pixelHeight), QSize(400, 200));
        const QImage thumbnail = decodePng(preview->thumbnailData);
        QCOMPARE(thumbnail.size(), QSize(200, 400));
        // The band that was on the left is now at the top.
        QVERIFY(qBlue(thumbnail.pixel(100, 10)) > 200);
        QVERIFY(qRed(thumbnail.pixel(100, 390)) > 200);
    }

    void imageOverTheDefaultDecodeLimit()
    {
        // 6000 x 6000 with alpha decodes to 144 MB, over Qt's default 128 MB refusal.
        const QSize size(6000, 6000);
        QVERIFY(qint64 {size.width()} * size.height() * 4 > qint64 {128} * 1024 * 1024);
        const ClipboardHistoryItem item = imageItem(
            encode(solid(size.width(), size.height(), qRgba(0, 0, 200, 255), QImage::Format_ARGB32),
                "PNG"));
        const auto preview = ClipboardHistoryImagePreviewRenderer::render(item);
        QVERIFY(preview.has_value());
        QCOMPARE(QSize(preview->pixelWidth, preview->pixelHeight), size);
        QCOMPARE(decodePng(preview->thumbnailData).size(), QSize(800, 800));
        QVERIFY(QImageReader::allocationLimit() >=
            ClipboardHistoryImagePreviewRenderer::allocationLimitMegabytes);
    }

    void nothingToRender_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not an image")
            << int(ClipboardHistoryKind::Image) << QByteArray("just some text");
        QTest::newRow("truncated png") << int(ClipboardHistoryKind::Image)
                                       << encode(solid(50, 50, qRgb(1, 1, 1)), "PNG").left(40);
        QTest::newRow("empty bytes") << int(ClipboardHistoryKind::Image) << QByteArray();
        QTest::newRow("text item") << int(ClipboardHistoryKind::Text) << QByteArray();
    }

    void nothingToRender()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, bytes);
        ClipboardHistoryItem item =
            static_cast<ClipboardHistoryKind>(kind) == ClipboardHistoryKind::Image
            ? imageItem(bytes)
            : ClipboardHistoryItem::makeText(
                  QStringLiteral("text"), QDateTime::currentDateTimeUtc());
        QVERIFY(!ClipboardHistoryImagePreviewRenderer::render(item).has_value());
        if (item.kind == ClipboardHistoryKind::Image) {
            QCOMPARE(item.detail(), QStringLiteral("画像"));
            QVERIFY(item.image().isNull());
        }
    }

    void batchKeepsOrderAndSkipsFailures()
    {
        const ClipboardHistoryItem a = imageItem(encode(solid(30, 10, qRgb(1, 0, 0)), "PNG"));
        const ClipboardHistoryItem bad = imageItem(QByteArray("nope"));
        const ClipboardHistoryItem b = imageItem(encode(solid(10, 30, qRgb(0, 1, 0)), "PNG"));
        const auto previews = ClipboardHistoryImagePreviewRenderer::render({a, bad, b});
        QCOMPARE(previews.size(), 2);
        QCOMPARE(previews.at(0).fingerprint, a.fingerprint);
        QCOMPARE(previews.at(1).fingerprint, b.fingerprint);

        CancelToken cancelled;
        cancelled.cancel();
        QVERIFY(ClipboardHistoryImagePreviewRenderer::render({a, b}, &cancelled).isEmpty());
    }

    void cacheEntryBound()
    {
        ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        QList<ClipboardHistoryImagePreview> previews;
        for (int i = 0; i < 161; ++i) {
            previews.append(paddedPreview(QStringLiteral("fp%1").arg(i), 100));
        }
        cache.store(previews.mid(0, 1));
        cache.store(previews.mid(1, 1));
        // A lookup counts as a use: fp0 becomes newer than fp1.
        QVERIFY(!cache.image(QStringLiteral("fp0")).isNull());
        cache.store(previews.mid(2));
        QCOMPARE(cache.count(), 160);
        QVERIFY(cache.hasImage(QStringLiteral("fp0")));
        QVERIFY(!cache.hasImage(QStringLiteral("fp1")));
        QVERIFY(cache.hasImage(QStringLiteral("fp160")));
        // The evicted entry keeps its dimensions.
        QCOMPARE(
            cache.detail(QStringLiteral("fp1")), std::optional<QString>(QStringLiteral("10 x 20")));
        QVERIFY(cache.totalCost() <= ClipboardHistoryImageCache::maxCost);
    }

    void cacheCostBound()
    {
        ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        const qsizetype size = 1024 * 1024 + 1000;
        const int fitting = static_cast<int>(ClipboardHistoryImageCache::maxCost / size);
        QList<ClipboardHistoryImagePreview> previews;
        for (int i = 0; i < fitting + 5; ++i) {
            previews.append(paddedPreview(QStringLiteral("big%1").arg(i), size));
        }
        cache.store(previews);
        QCOMPARE(cache.count(), fitting);
        QCOMPARE(cache.totalCost(), qint64 {fitting} * size);
        QVERIFY(!cache.hasImage(QStringLiteral("big4")));
        QVERIFY(cache.hasImage(QStringLiteral("big5")));

        // Replacing an entry counts its cost once.
        cache.store({paddedPreview(QStringLiteral("big5"), 500)});
        QCOMPARE(cache.totalCost(), qint64 {fitting - 1} * size + 500);

        // A thumbnail larger than the whole budget is not kept, but its size is known.
        cache.store(
            {paddedPreview(QStringLiteral("huge"), ClipboardHistoryImageCache::maxCost + 1)});
        QVERIFY(!cache.hasImage(QStringLiteral("huge")));
        QCOMPARE(cache.detail(QStringLiteral("huge")),
            std::optional<QString>(QStringLiteral("10 x 20")));
        QCOMPARE(cache.count(), fitting);
    }

    void storeSkipsUnreadableThumbnails()
    {
        ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        cache.store(
            {ClipboardHistoryImagePreview {QStringLiteral("junk"), QByteArray("not a png"), 5, 5},
                paddedPreview(QStringLiteral("good"), 10)});
        QVERIFY(!cache.hasImage(QStringLiteral("junk")));
        QCOMPARE(cache.detail(QStringLiteral("junk")), std::nullopt);
        QVERIFY(cache.hasImage(QStringLiteral("good")));
        QCOMPARE(cache.count(), 1);
    }

    void evictedPreviewIsRenderedAgain()
    {
        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        SimPasteboard pasteboard;
        MemoryDefaultsStore defaults;
        QTemporaryDir dir;
        ClipboardHistoryModel model(
            pasteboard, defaults, scheduler, executor, FileLocations(dir.path()));
        QSignalSpy generations(&model, &ClipboardHistoryModel::imagePreviewGenerationChanged);

        const ClipboardHistoryItem item =
            imageItem(encode(solid(4000, 3000, qRgb(9, 9, 9)), "PNG"));
        model.prepareImagePreviews({item});
        QCOMPARE(executor.pendingCount(), 1);
        executor.runAll();
        scheduler.runPending();
        QCOMPARE(model.imagePreviewGeneration(), 1);
        QCOMPARE(generations.count(), 1);
        QCOMPARE(item.image().size(), QSize(800, 600));
        QCOMPARE(item.detail(), QStringLiteral("4000 x 3000"));

        // Cached: asking again renders nothing.
        model.prepareImagePreviews({item});
        QCOMPARE(executor.pendingCount(), 0);

        ClipboardHistoryImageCache::shared().evictAll();
        QVERIFY(item.image().isNull());
        QCOMPARE(item.detail(), QStringLiteral("4000 x 3000"));
        model.prepareImagePreviews({item});
        QCOMPARE(executor.pendingCount(), 1);
        executor.runAll();
        scheduler.runPending();
        QCOMPARE(model.imagePreviewGeneration(), 2);
        QCOMPARE(item.image().size(), QSize(800, 600));
    }

    void oneRenderTaskAtATime()
    {
        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        SimPasteboard pasteboard;
        MemoryDefaultsStore defaults;
        QTemporaryDir dir;
        ClipboardHistoryModel model(
            pasteboard, defaults, scheduler, executor, FileLocations(dir.path()));

        const ClipboardHistoryItem a = imageItem(encode(solid(10, 10, qRgb(1, 0, 0)), "PNG"));
        const ClipboardHistoryItem b = imageItem(encode(solid(10, 10, qRgb(2, 0, 0)), "PNG"));
        const ClipboardHistoryItem c = imageItem(encode(solid(10, 10, qRgb(3, 0, 0)), "PNG"));
        const ClipboardHistoryItem bad = imageItem(QByteArray("not an image"));
        const ClipboardHistoryItem text =
            ClipboardHistoryItem::makeText(QStringLiteral("t"), scheduler.now());

        model.prepareImagePreviews({a, text});
        QCOMPARE(executor.pendingCount(), 1);
        // Requests while the render runs wait for it; a, already in flight, is not queued again.
        model.prepareImagePreviews({b, a, c, b, bad});
        QCOMPARE(executor.pendingCount(), 1);
        executor.runJob(0);
        scheduler.runPending();
        QCOMPARE(model.imagePreviewGeneration(), 1);
        QVERIFY(ClipboardHistoryImageCache::shared().hasImage(a.fingerprint));
        QVERIFY(!ClipboardHistoryImageCache::shared().hasImage(b.fingerprint));

        // The rest goes as one batch.
        QCOMPARE(executor.pendingCount(), 1);
        executor.runJob(0);
        scheduler.runPending();
        QCOMPARE(model.imagePreviewGeneration(), 2);
        QCOMPARE(executor.pendingCount(), 0);
        QVERIFY(ClipboardHistoryImageCache::shared().hasImage(b.fingerprint));
        QVERIFY(ClipboardHistoryImageCache::shared().hasImage(c.fingerprint));
        QCOMPARE(ClipboardHistoryImageCache::shared().count(), 3);
        QCOMPARE(bad.detail(), QStringLiteral("画像"));
    }

    void capturedImageGetsAPreview()
    {
        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        SimPasteboard pasteboard;
        MemoryDefaultsStore defaults;
        QTemporaryDir dir;
        ClipboardHistoryModel model(
            pasteboard, defaults, scheduler, executor, FileLocations(dir.path()));

        pasteboard.setContents(
            {{PasteboardType::png, encode(solid(1200, 300, qRgb(5, 6, 7)), "PNG")}});
        scheduler.advance(ClipboardHistoryModel::pollInterval);
        executor.runAll(); // the capture
        scheduler.runPending();
        QCOMPARE(model.items().size(), 1);
        executor.runAll(); // the preview and the save
        scheduler.runPending();
        const ClipboardHistoryItem item = model.items().first();
        QCOMPARE(item.detail(), QStringLiteral("1200 x 300"));
        QCOMPARE(item.image().size(), QSize(800, 200));
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryPreviewsTest)

#include "tst_previews.moc"
