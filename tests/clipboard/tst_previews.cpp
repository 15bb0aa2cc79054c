// Thumbnails, dimensions and the bounded preview cache, and how the model feeds them.

#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryImagePreviewRenderer.h"
#include "clipboard/ClipboardImageSpill.h"
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

QImage decodePng(const ClipboardImageBytes& png)
{
    return QImage::fromData(png.read().value_or(QByteArray()), "PNG");
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

    // Previews stored in order "0", "1", ..., each costing cost bytes; with touchFirst, "0" is
    // looked up after "1" was stored.
    void evictionBounds_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<qint64>("cost");
        QTest::addColumn<bool>("touchFirst");
        QTest::addColumn<QList<int>>("evicted");

        QTest::newRow("161 entries: the oldest goes")
            << 161 << qint64 {100} << false << QList<int> {0};
        QTest::newRow("a lookup counts as a use") << 161 << qint64 {100} << true << QList<int> {1};
        QTest::newRow("160 entries of exactly 80 MiB: all stay")
            << 160 << qint64 {80 * 1024 * 1024 / 160} << false << QList<int> {};
        QTest::newRow("a byte over 80 MiB: the oldest goes")
            << 160 << qint64 {80 * 1024 * 1024 / 160 + 1} << false << QList<int> {0};
        QTest::newRow("larger than 80 MiB: never kept")
            << 1 << qint64 {80 * 1024 * 1024 + 1} << false << QList<int> {0};
    }
    void evictionBounds()
    {
        QFETCH(int, entries);
        QFETCH(qint64, cost);
        QFETCH(bool, touchFirst);
        QFETCH(QList<int>, evicted);
        ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        QTemporaryDir folder;
        for (int i = 0; i < entries; ++i) {
            // The cost is the handle's size; the file holds a few bytes only (the cache never
            // reads it), so the bounds are reached without writing 80 MiB.
            const QString path = folder.filePath(QString::number(i));
            QVERIFY(writeFile(path, "png"));
            cache.store({{QString::number(i), ClipboardImageBytes::spilled(path, cost), 10, 20}});
            if (touchFirst && i == 1) {
                cache.image(QStringLiteral("0"));
            }
        }
        QCOMPARE(cache.count(), int(entries - evicted.size()));
        QCOMPARE(cache.totalCost(), (entries - evicted.size()) * cost);
        for (int i = 0; i < entries; ++i) {
            const bool gone = evicted.contains(i);
            QCOMPARE(cache.hasImage(QString::number(i)), !gone);
            // An evicted entry leaves no file behind, and keeps its dimensions.
            QCOMPARE(QFile::exists(folder.filePath(QString::number(i))), !gone);
            QCOMPARE(cache.detail(QString::number(i)), std::optional(QStringLiteral("10 x 20")));
        }
    }

    // Replacing an entry counts its cost once; bytes that are not a readable image are skipped
    // altogether.
    void replacementAndUnreadableBytes()
    {
        ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        const QByteArray small = pngBytes(2, 2, qRgb(1, 2, 3));
        cache.store({{QStringLiteral("a"), pngBytes(90, 90, qRgb(1, 2, 3)), 5, 5},
            {QStringLiteral("a"), small, 5, 5},
            {QStringLiteral("junk"), QByteArray("no png"), 5, 5}});
        QCOMPARE(cache.totalCost(), qint64 {small.size()});
        QVERIFY(!cache.hasImage(QStringLiteral("junk")));
        QCOMPARE(cache.detail(QStringLiteral("junk")), std::nullopt);
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
        // The render job left the thumbnail in a file of the preview folder.
        const QString folder = ClipboardHistoryImageCache::shared().spill()->directory();
        QVERIFY(folder.startsWith(world.dir.filePath(QStringLiteral("Cache/ClipboardPreviews/"))));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryPreviewsTest)

#include "tst_previews.moc"
