// The image list's thumbnails decoded off the main thread: nothing to paint until the decode
// ran, then a repaint of the one row showing it; repeated and superseded requests, and results
// that arrive after their thumbnail left the cache.

#include "QuickPanelWorld.h"
#include "clipboard/ClipboardImageSpill.h"
#include "common/TestMain.h"
#include "panel/ClipboardHistoryListModel.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

// Two image entries whose 640 x 360 and 320 x 180 thumbnails are cached, each in a file of
// the preview folder.
struct Grid : QuickPanelWorld
{
    Grid()
    {
        for (const QSize size : {QSize(640, 360), QSize(320, 180)}) {
            const QByteArray bytes = png(size, qRgb(size.width() / 4, 0, 0));
            const ClipboardHistoryItem item =
                ClipboardHistoryItem::makeImage(bytes, scheduler.now());
            cache().store(
                {{item.fingerprint, cache().spill()->spill(bytes), size.width(), size.height()}});
            items.append(item);
        }
        history.setItems(items);
    }
    static ClipboardHistoryImageCache& cache() { return ClipboardHistoryImageCache::shared(); }
    static QFileInfoList files()
    {
        return QDir(cache().spill()->directory()).entryInfoList(QDir::Files, QDir::Name);
    }

    QList<ClipboardHistoryItem> items;
    ClipboardHistoryListModel list {menu, ClipboardHistoryKind::Image};
};

} // namespace

class ThumbnailDecodesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The first row asks for its thumbnail in a 160 x 90 cell; then "between" happens before
    // the decodes run; then the row is painted in finalBox.
    void decodes_data()
    {
        QTest::addColumn<QString>("between");
        QTest::addColumn<int>("decodes");
        QTest::addColumn<QSize>("finalBox");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<int>("jobsAfter");
        QTest::addColumn<int>("filesAfter");

        const QSize cell(160, 90);
        QTest::newRow("decoded, fitted") << "" << 1 << cell << QSize(160, 90) << 0 << 2;
        QTest::newRow("asked again: one decode") << "ask" << 1 << cell << QSize(160, 90) << 0 << 2;
        QTest::newRow("other cell size: replaces the decode")
            << "resize" << 2 << QSize(80, 45) << QSize(80, 45) << 0 << 2;
        QTest::newRow("back to the first size: decoded again")
            << "resize" << 2 << cell << QSize(0, 0) << 1 << 2;
        QTest::newRow("cache reset: rendered again, files gone")
            << "reset" << 1 << cell << QSize(0, 0) << 1 << 0;
        QTest::newRow("thumbnail replaced: decoded again")
            << "replace" << 1 << cell << QSize(0, 0) << 1 << 1;
        QTest::newRow("file removed: placeholder, rendered again")
            << "remove file" << 1 << cell << QSize(0, 0) << 1 << 1;
    }
    void decodes()
    {
        QFETCH(QString, between);
        Grid grid;
        QSignalSpy changed(&grid.list, &QAbstractItemModel::dataChanged);
        const QString fingerprint = grid.items.first().fingerprint;

        QVERIFY(grid.list.thumbnail(0, QSize(160, 90)).isNull()); // the placeholder meanwhile
        if (between == u"ask") {
            QVERIFY(grid.list.thumbnail(0, QSize(160, 90)).isNull());
        } else if (between == u"resize") {
            QVERIFY(grid.list.thumbnail(0, QSize(80, 45)).isNull());
        } else if (between == u"reset") {
            Grid::cache().evictAll();
        } else if (between == u"replace") {
            Grid::cache().store(
                {{fingerprint, QuickPanelWorld::png(QSize(64, 36), qRgb(0, 0, 255)), 640, 360}});
        } else if (between == u"remove file") {
            QVERIFY(QFile::remove(Grid::files().first().filePath()));
        }
        QTEST(grid.executor.pendingCount(), "decodes");
        grid.executor.runAll();
        grid.scheduler.runPending();

        // One repaint of the first row alone, whatever came of its decode.
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).value<QModelIndex>().row(), 0);
        QCOMPARE(changed.first().at(1).value<QModelIndex>().row(), 0);
        QFETCH(QSize, finalBox);
        QFETCH(QSize, shown);
        // What the decode left in the memo for the cell, then what painting the row asks for.
        QCOMPARE(
            Grid::cache().decodedThumbnail(fingerprint, finalBox).value_or(QImage()).size(), shown);
        QCOMPARE(grid.list.thumbnail(0, finalBox).size(), shown);
        QCoreApplication::processEvents(); // the list's preview requests leave after a paint
        QTEST(grid.executor.pendingCount(), "jobsAfter");
        // A thumbnail that left the cache left no file once its late decode was refused.
        QTEST(int(Grid::files().size()), "filesAfter");
    }
};

NORVALE_TEST_CLASS(ThumbnailDecodesTest)
#include "tst_thumbnaildecodes.moc"
