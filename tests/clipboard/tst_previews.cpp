// Thumbnails, dimensions and the bounded preview cache, and how the model feeds them.

#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryImagePreviewRenderer.h"
#include "clipboard/ClipboardPasteboardReader.h"
#include "common/TestMain.h"

#include <QImageReader>
#include <QScopeGuard>
#include <QTest>
#include <QtEndian>

using namespace ClipboardTest;

namespace {

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
    QByteArray jpeg = encodeImage(image, "JPEG");
    // APP1 "Exif": big-endian TIFF header, one IFD entry Orientation (0x0112) SHORT = 6.
    jpeg.insert(2,
        QByteArray::fromHex("FFE10022457869660000"
                            "4D4D002A00000008"
                            "0001"
                            "011200030000000100060000"
                            "00000000"));
    return jpeg;
}

// An RGB TIFF of one grey level, PackBits-compressed row by row: a couple of MB for a picture
// that decodes to hundreds, built in a moment where Qt's own writer takes seconds.
QByteArray greyTiff(quint32 width, quint32 height, char grey)
{
    QByteArray row;
    for (quint32 remaining = width * 3; remaining > 0;) {
        const quint32 run = std::min<quint32>(remaining, 128);
        row.append(static_cast<char>(1 - static_cast<int>(run))); // repeat the next byte run times
        row.append(grey);
        remaining -= run;
    }
    const QByteArray strip = row.repeated(static_cast<qsizetype>(height));

    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    QByteArray tiff("II*\0", 4);
    const auto put = [&tiff](auto v) {
        tiff.append(reinterpret_cast<const char*>(&v), sizeof v);
    };
    constexpr quint16 Entries = 10;
    const quint32 bitsOffset = 8 + 2 + Entries * 12 + 4;
    put(quint32 {8});
    put(Entries);
    // Tag, type (3 SHORT, 4 LONG), count, value; a SHORT sits in the low half.
    const quint32 entries[Entries][4] {{256, 4, 1, width}, {257, 4, 1, height},
        {258, 3, 3, bitsOffset}, // BitsPerSample 8, 8, 8
        {259, 3, 1, 32773}, // PackBits
        {262, 3, 1, 2}, // RGB
        {273, 4, 1, bitsOffset + 6}, {277, 3, 1, 3}, {278, 4, 1, height},
        {279, 4, 1, static_cast<quint32>(strip.size())}, {284, 3, 1, 1}};
    for (const auto& e : entries) {
        put(quint16(e[0]));
        put(quint16(e[1]));
        put(e[2]);
        put(e[3]);
    }
    put(quint32 {0}); // no further directory
    put(quint16 {8});
    put(quint16 {8});
    put(quint16 {8});
    return tiff + strip;
}

ClipboardHistoryItem imageItem(const QByteArray& bytes)
{
    return ClipboardHistoryItem::makeImage(bytes, Now);
}

QImage decodePng(const QByteArray& png)
{
    return QImage::fromData(png, "PNG");
}

// A thumbnail whose cost is about `size` bytes: a valid PNG followed by padding (readers stop
// at the end chunk), so cost bounds can be reached with a few entries.
ClipboardHistoryImagePreview paddedPreview(const QString& fingerprint, qsizetype size)
{
    QByteArray png = pngBytes(2, 2, qRgb(1, 2, 3));
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

        QTest::newRow("portrait") << QSize(3000, 4000) << QSize(600, 800);
        QTest::newRow("exactly 800") << QSize(800, 800) << QSize(800, 800);
        QTest::newRow("801 wide strip") << QSize(801, 2) << QSize(800, 2);
        QTest::newRow("thin never zero") << QSize(4000, 1) << QSize(800, 1);
    }

    void thumbnailSizes()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, thumbnail);

        const ClipboardHistoryItem item =
            imageItem(pngBytes(size.width(), size.height(), qRgb(10, 200, 30)));
        const auto preview = ClipboardHistoryImagePreviewRenderer::render(item);
        QVERIFY(preview.has_value());
        QCOMPARE(preview->fingerprint, item.fingerprint);
        QCOMPARE(item.detail(), QStringLiteral("画像")); // until the preview is known
        ClipboardHistoryImageCache::shared().store({*preview});
        QCOMPARE(item.detail(), QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()));
        const QImage decoded = item.image();
        QCOMPARE(decoded.size(), thumbnail);
        QCOMPARE(decoded.pixel(decoded.width() / 2, decoded.height() / 2), qRgb(10, 200, 30));
    }

    void orientationIsApplied()
    {
        const auto preview = ClipboardHistoryImagePreviewRenderer::render(imageItem(rotatedJpeg()));
        QVERIFY(preview.has_value());
        // The dimensions are the stored pixel width and height, as the image declares them.
        QCOMPARE(QSize(preview->pixelWidth, preview->pixelHeight), QSize(400, 200));
        const QImage thumbnail = decodePng(preview->thumbnailData);
        QCOMPARE(thumbnail.size(), QSize(200, 400));
        // The band that was on the left is now at the top.
        QVERIFY(qBlue(thumbnail.pixel(100, 10)) > 200);
        QVERIFY(qRed(thumbnail.pixel(100, 390)) > 200);
    }

    // 8000 x 5000 decodes to 32 bits a pixel, 160 MB: over Qt's default limit of 128 MB, which
    // each read starts from. Both the capture's conversion to PNG and the preview must read it.
    void imageOverQtsDefaultLimit()
    {
        const QByteArray tiff = greyTiff(8000, 5000, 0x60);
        const int previousLimit = QImageReader::allocationLimit();
        const auto restoreLimit = qScopeGuard([previousLimit] {
            QImageReader::setAllocationLimit(
                std::max(previousLimit, QImageReader::allocationLimit()));
        });
        QImageReader::setAllocationLimit(128);
        const std::optional<QByteArray> png = ClipboardPasteboardReader::pngData(tiff);
        QVERIFY(png);
        QVERIFY(png->startsWith(QByteArray::fromHex("89504e470d0a1a0a")));
        // IHDR: width and height at bytes 16 and 20, big-endian.
        QCOMPARE(qFromBigEndian<quint32>(png->constData() + 16), 8000u);
        QCOMPARE(qFromBigEndian<quint32>(png->constData() + 20), 5000u);

        QImageReader::setAllocationLimit(128);
        const auto preview = ClipboardHistoryImagePreviewRenderer::render(imageItem(tiff));
        QVERIFY(preview.has_value());
        QCOMPARE(QSize(preview->pixelWidth, preview->pixelHeight), QSize(8000, 5000));
        QCOMPARE(decodePng(preview->thumbnailData).size(), QSize(800, 500));
    }

    void batchKeepsOrderAndSkipsFailures()
    {
        const ClipboardHistoryItem a = imageItem(pngBytes(30, 10, qRgb(1, 0, 0)));
        const ClipboardHistoryItem b = imageItem(pngBytes(10, 30, qRgb(0, 1, 0)));
        const QList<ClipboardHistoryItem> failing {imageItem("just some text"),
            imageItem(pngBytes(50, 50, qRgb(1, 1, 1)).left(40)), imageItem(QByteArray()),
            ClipboardHistoryItem::makeText(QStringLiteral("t"), Now)};
        const auto previews = ClipboardHistoryImagePreviewRenderer::render(
            QList<ClipboardHistoryItem> {a} + failing + QList<ClipboardHistoryItem> {b});
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
    }

    void cacheCostBound()
    {
        ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        const qsizetype size = 1024 * 1024 + 1000;
        const int fitting = static_cast<int>(80 * 1024 * 1024 / size);
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
        cache.store({paddedPreview(QStringLiteral("huge"), 80 * 1024 * 1024 + 1)});
        QVERIFY(!cache.hasImage(QStringLiteral("huge")));
        QCOMPARE(cache.detail(QStringLiteral("huge")),
            std::optional<QString>(QStringLiteral("10 x 20")));
        QCOMPARE(cache.count(), fitting);

        // Bytes that are not a readable image are skipped altogether.
        cache.store({ClipboardHistoryImagePreview {QStringLiteral("junk"), "not a png", 5, 5}});
        QVERIFY(!cache.hasImage(QStringLiteral("junk")));
        QCOMPARE(cache.detail(QStringLiteral("junk")), std::nullopt);
    }

    void evictedPreviewIsRenderedAgain()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        const ClipboardHistoryItem item = imageItem(pngBytes(4000, 3000, qRgb(9, 9, 9)));
        model.prepareImagePreviews({item});
        world.settle();
        QCOMPARE(model.imagePreviewGeneration(), 1);

        // Cached: asking again renders nothing.
        model.prepareImagePreviews({item});
        QCOMPARE(world.executor.pendingCount(), 0);

        // Evicted (as under memory pressure): the dimensions stay, the thumbnail is redone.
        ClipboardHistoryImageCache::shared().evictAll();
        QVERIFY(item.image().isNull());
        QCOMPARE(item.detail(), QStringLiteral("4000 x 3000"));
        model.prepareImagePreviews({item});
        world.settle();
        QCOMPARE(model.imagePreviewGeneration(), 2);
        QCOMPARE(item.image().size(), QSize(800, 600));
    }

    void oneRenderTaskAtATime()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        const ClipboardHistoryItem a = imageItem(pngBytes(10, 10, qRgb(1, 0, 0)));
        const ClipboardHistoryItem b = imageItem(pngBytes(10, 10, qRgb(2, 0, 0)));
        const ClipboardHistoryItem c = imageItem(pngBytes(10, 10, qRgb(3, 0, 0)));
        const ClipboardHistoryItem bad = imageItem(QByteArray("not an image"));
        const ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();

        model.prepareImagePreviews({a, ClipboardHistoryItem::makeText(QStringLiteral("t"), Now)});
        // Requests while the render runs wait for it; a, already in flight, is not queued again.
        model.prepareImagePreviews({b, a, c, b, bad});
        QCOMPARE(world.executor.pendingCount(), 1);
        world.executor.runJob(0);
        world.scheduler.runPending();
        QCOMPARE(model.imagePreviewGeneration(), 1);
        QCOMPARE(cache.count(), 1);

        // The rest goes as one batch.
        QCOMPARE(world.executor.pendingCount(), 1);
        world.executor.runJob(0);
        world.scheduler.runPending();
        QCOMPARE(model.imagePreviewGeneration(), 2);
        QCOMPARE(world.executor.pendingCount(), 0);
        QCOMPARE(cache.count(), 3); // a, b and c
    }

    void capturedImageGetsAPreview()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setContents({{PasteboardType::png, pngBytes(1200, 300, qRgb(5, 6, 7))}});
        world.poll(); // the capture, then the preview and the save
        QCOMPARE(model.items().size(), 1);
        QCOMPARE(model.items().first().image().size(), QSize(800, 200));
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryPreviewsTest)

#include "tst_previews.moc"
