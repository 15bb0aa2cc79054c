// The history model on mock time: every capture, save and render runs only when the test
// drains the executor, so the races the model guards against are produced on purpose.

#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(DefaultsValue)

namespace {

namespace Key = ClipboardHistorySettingsKey;

QByteArray pngBytes(int width, int height, QRgb color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

ClipboardHistoryItem textItem(const QString& text, const QDateTime& at)
{
    return ClipboardHistoryItem::makeText(text, at);
}

struct World
{
    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    QTemporaryDir dir;
    std::unique_ptr<ClipboardHistoryModel> model;

    FileLocations locations() const { return FileLocations(dir.path()); }
    QString historyPath() const { return dir.filePath(QStringLiteral("ClipboardHistory.json")); }

    ClipboardHistoryModel& start()
    {
        model = std::make_unique<ClipboardHistoryModel>(
            pasteboard, defaults, scheduler, executor, locations());
        return *model;
    }

    // Runs queued background work and its completions until nothing is left.
    void settle()
    {
        for (int round = 0; round < 100; ++round) {
            scheduler.runPending();
            if (executor.pendingCount() == 0) {
                break;
            }
            executor.runAll();
        }
        scheduler.runPending();
    }

    void copy(const QString& text)
    {
        pasteboard.setText(text);
        scheduler.advance(ClipboardHistoryModel::pollInterval);
        settle();
    }

    void copyContents(const QList<QPair<QString, QByteArray>>& contents)
    {
        pasteboard.setContents(contents);
        scheduler.advance(ClipboardHistoryModel::pollInterval);
        settle();
    }

    QStringList texts() const
    {
        QStringList result;
        for (const ClipboardHistoryItem& item : model->items()) {
            result << item.text.value_or(QStringLiteral("<image>"));
        }
        return result;
    }

    void writeHistory(const QList<ClipboardHistoryItem>& items)
    {
        ClipboardHistoryStorage storage(dir.path());
        QString error;
        QVERIFY2(storage.saveSynchronously(items, &error), qPrintable(error));
    }

    std::optional<QList<ClipboardHistoryItem>> savedHistory() const
    {
        QFile file(historyPath());
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        return ClipboardHistoryStorage::decode(file.readAll());
    }

    QStringList savedTexts() const
    {
        QStringList result;
        for (const ClipboardHistoryItem& item :
            savedHistory().value_or(QList<ClipboardHistoryItem>())) {
            result << item.text.value_or(QStringLiteral("<image>"));
        }
        return result;
    }
};

} // namespace

class ClipboardHistoryModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { ClipboardHistoryImageCache::shared().resetForTesting(); }

    void defaultsRegisteredAtStart_data()
    {
        QTest::addColumn<DefaultsValue>("legacy");
        QTest::addColumn<DefaultsValue>("storedTextLimit");
        QTest::addColumn<int>("textLimit");
        QTest::addColumn<int>("otherLimits");

        const DefaultsValue absent;
        QTest::newRow("fresh install") << absent << absent << 80 << 80;
        QTest::newRow("legacy 30") << DefaultsValue(qint64 {30}) << absent << 30 << 30;
        QTest::newRow("legacy as text is ignored")
            << DefaultsValue(QStringLiteral("30")) << absent << 80 << 80;
        QTest::newRow("legacy as double is ignored") << DefaultsValue(30.0) << absent << 80 << 80;
        QTest::newRow("own key wins over legacy")
            << DefaultsValue(qint64 {30}) << DefaultsValue(qint64 {200}) << 200 << 30;
    }

    void defaultsRegisteredAtStart()
    {
        QFETCH(DefaultsValue, legacy);
        QFETCH(DefaultsValue, storedTextLimit);
        QFETCH(int, textLimit);
        QFETCH(int, otherLimits);

        World world;
        if (defaultsTypeOf(legacy) != DefaultsType::Absent) {
            world.defaults.set(Key::legacyMaxHistoryCount, legacy);
        }
        if (defaultsTypeOf(storedTextLimit) != DefaultsType::Absent) {
            world.defaults.set(Key::maxTextHistoryCount, storedTextLimit);
        }
        ClipboardHistoryModel& model = world.start();

        QCOMPARE(model.maxTextHistoryCount(), textLimit);
        QCOMPARE(model.maxImageHistoryCount(), otherLimits);
        QCOMPARE(model.maxURLHistoryCount(), otherLimits);
        const MemoryDefaultsStore& store = world.defaults;
        QCOMPARE(store.value(Key::maxTextHistoryCount), DefaultsValue(qint64 {textLimit}));
        QCOMPARE(store.value(Key::maxImageHistoryCount), DefaultsValue(qint64 {otherLimits}));
        QCOMPARE(store.value(Key::maxURLHistoryCount), DefaultsValue(qint64 {otherLimits}));
        QCOMPARE(store.value(Key::enabled), DefaultsValue(true));
        QCOMPARE(store.value(Key::displayHistoryRowCount), DefaultsValue(qint64 {4}));
        QCOMPARE(store.value(Key::autoPasteAfterSelectingHistory), DefaultsValue(false));
        QCOMPARE(store.value(Key::moveSelectedHistoryItemToTop), DefaultsValue(false));
        QCOMPARE(store.value(Key::saveExcelCopiesAsText), DefaultsValue(true));
        // The legacy key is only read, never written or removed.
        QCOMPARE(store.value(Key::legacyMaxHistoryCount), legacy);
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(QStringLiteral("クリップボード監視: オン")));
    }

    void clampingOnRead_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("stored");
        QTest::addColumn<int>("expected");

        QTest::newRow("text 0") << Key::maxTextHistoryCount << DefaultsValue(qint64 {0}) << 1;
        QTest::newRow("image 1000")
            << Key::maxImageHistoryCount << DefaultsValue(qint64 {1000}) << 500;
        QTest::newRow("url -3") << Key::maxURLHistoryCount << DefaultsValue(qint64 {-3}) << 1;
        QTest::newRow("rows 40") << Key::displayHistoryRowCount << DefaultsValue(qint64 {40}) << 12;
        QTest::newRow("rows 0") << Key::displayHistoryRowCount << DefaultsValue(qint64 {0}) << 1;
        QTest::newRow("text stored as double")
            << Key::maxTextHistoryCount << DefaultsValue(7.0) << 7;
    }

    void clampingOnRead()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, stored);
        QFETCH(int, expected);

        World world;
        world.defaults.set(key, stored);
        ClipboardHistoryModel& model = world.start();
        const QByteArray name = key.section(QLatin1Char('.'), -1).toLatin1();
        QCOMPARE(model.property(name.constData()).toInt(), expected);
        // Clamping a read value does not write it back.
        QCOMPARE(world.defaults.value(key), stored);
    }

    void clampingOnSet_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("assigned");
        QTest::addColumn<int>("expected");

        for (const QString& key :
            {Key::maxTextHistoryCount, Key::maxImageHistoryCount, Key::maxURLHistoryCount}) {
            const QByteArray kind = key.section(QLatin1Char('.'), -1).toLatin1();
            QTest::addRow("%s 0", kind.constData()) << key << 0 << 1;
            QTest::addRow("%s 1000", kind.constData()) << key << 1000 << 500;
            QTest::addRow("%s 501", kind.constData()) << key << 501 << 500;
            QTest::addRow("%s 500", kind.constData()) << key << 500 << 500;
            QTest::addRow("%s 1", kind.constData()) << key << 1 << 1;
        }
        QTest::newRow("rows 0") << Key::displayHistoryRowCount << 0 << 1;
        QTest::newRow("rows 13") << Key::displayHistoryRowCount << 13 << 12;
        QTest::newRow("rows 12") << Key::displayHistoryRowCount << 12 << 12;
    }

    void clampingOnSet()
    {
        QFETCH(QString, key);
        QFETCH(int, assigned);
        QFETCH(int, expected);

        World world;
        ClipboardHistoryModel& model = world.start();
        const QByteArray name = key.section(QLatin1Char('.'), -1).toLatin1();
        QVERIFY(model.setProperty(name.constData(), assigned));
        QCOMPARE(model.property(name.constData()).toInt(), expected);
        QCOMPARE(world.defaults.value(key), DefaultsValue(qint64 {expected}));
    }

    void switchesAreStored()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        QSignalSpy autoPaste(&model, &ClipboardHistoryModel::autoPasteAfterSelectingHistoryChanged);
        model.setAutoPasteAfterSelectingHistory(true);
        model.setMoveSelectedHistoryItemToTop(true);
        model.setSaveExcelCopiesAsText(false);
        model.setClipboardHistoryEnabled(false);
        QCOMPARE(autoPaste.count(), 1);
        QCOMPARE(world.defaults.value(Key::autoPasteAfterSelectingHistory), DefaultsValue(true));
        QCOMPARE(world.defaults.value(Key::moveSelectedHistoryItemToTop), DefaultsValue(true));
        QCOMPARE(world.defaults.value(Key::saveExcelCopiesAsText), DefaultsValue(false));
        QCOMPARE(world.defaults.value(Key::enabled), DefaultsValue(false));
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(QStringLiteral("クリップボード監視: オフ")));

        // A restart reads them back.
        world.model.reset();
        ClipboardHistoryModel& again = world.start();
        QVERIFY(again.autoPasteAfterSelectingHistory());
        QVERIFY(again.moveSelectedHistoryItemToTop());
        QVERIFY(!again.saveExcelCopiesAsText());
        QVERIFY(!again.clipboardHistoryEnabled());
        QCOMPARE(again.statusMessage(), std::nullopt);
    }

    void deduplication_data()
    {
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("same text twice") << QStringList {"A", "A"} << QStringList {"A"};
        QTest::newRow("A B A") << QStringList {"A", "B", "A"} << QStringList {"A", "B"};
        QTest::newRow("A B C B") << QStringList {"A", "B", "C", "B"} << QStringList {"B", "C", "A"};
        QTest::newRow("blanks are content") << QStringList {"  ", "A"} << QStringList {"A", "  "};
        QTest::newRow("url and text")
            << QStringList {"https://a", "x", "https://a"} << QStringList {"https://a", "x"};
    }

    void deduplication()
    {
        QFETCH(QStringList, copies);
        QFETCH(QStringList, expected);

        World world;
        world.start();
        for (const QString& text : std::as_const(copies)) {
            world.copy(text);
        }
        QCOMPARE(world.texts(), expected);
        QCOMPARE(world.savedTexts(), expected);
    }

    void repeatedCopyKeepsFirstIdAndDate()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.copy(QStringLiteral("A"));
        const ClipboardHistoryItem first = model.items().first();
        world.scheduler.advance(60);
        world.copy(QStringLiteral("A"));
        QCOMPARE(model.items().size(), 1);
        QCOMPARE(model.items().first(), first);

        // A, B, A: the new A has a new id and date and there is no second A.
        world.copy(QStringLiteral("B"));
        world.scheduler.advance(60);
        world.copy(QStringLiteral("A"));
        QCOMPARE(world.texts(), QStringList({"A", "B"}));
        QVERIFY(model.items().first().id != first.id);
        QVERIFY(model.items().first().createdAt > first.createdAt);
    }

    void textReplacesUrlWithTheSameText()
    {
        // A history written before URLs were told apart, and an item of the other kind with
        // the same text: the later capture replaces the earlier whatever its kind.
        World world;
        const QDateTime at = world.scheduler.now().addDays(-1);
        ClipboardHistoryItem legacyUrl = textItem(QStringLiteral(" https://a.example"), at);
        legacyUrl.kind = ClipboardHistoryKind::Text;
        ClipboardHistoryItem oddUrl = textItem(QStringLiteral("plain"), at);
        oddUrl.kind = ClipboardHistoryKind::Url;
        world.writeHistory({legacyUrl, oddUrl});

        ClipboardHistoryModel& model = world.start();
        QCOMPARE(model.items().size(), 2);
        // Reclassified, every other field unchanged.
        ClipboardHistoryItem reclassified = legacyUrl;
        reclassified.kind = ClipboardHistoryKind::Url;
        QCOMPARE(model.items().at(0), reclassified);

        world.copy(QStringLiteral("plain"));
        QCOMPARE(world.texts(), QStringList({"plain", " https://a.example"}));
        QCOMPARE(model.items().first().kind, ClipboardHistoryKind::Text);
    }

    void trimming_data()
    {
        QTest::addColumn<int>("maxText");
        QTest::addColumn<int>("maxUrl");
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("texts only")
            << 2 << 80 << QStringList {"T1", "T2", "T3"} << QStringList {"T3", "T2"};
        QTest::newRow("urls untouched by the text limit")
            << 2 << 80 << QStringList {"https://u1", "T1", "T2", "https://u2", "T3"}
            << QStringList {"T3", "https://u2", "T2", "https://u1"};
        QTest::newRow("url limit") << 80 << 1 << QStringList {"https://u1", "T1", "https://u2"}
                                   << QStringList {"https://u2", "T1"};
        QTest::newRow("limit 1 keeps the newest")
            << 1 << 1 << QStringList {"T1", "https://u1", "T2", "https://u2"}
            << QStringList {"https://u2", "T2"};
    }

    void trimming()
    {
        QFETCH(int, maxText);
        QFETCH(int, maxUrl);
        QFETCH(QStringList, copies);
        QFETCH(QStringList, expected);

        World world;
        ClipboardHistoryModel& model = world.start();
        model.setMaxTextHistoryCount(maxText);
        model.setMaxURLHistoryCount(maxUrl);
        for (const QString& text : std::as_const(copies)) {
            world.copy(text);
        }
        QCOMPARE(world.texts(), expected);
        QCOMPARE(world.savedTexts(), expected);
    }

    void loweringALimitTrimsAndSaves()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        for (const char* text : {"T1", "https://u", "T2", "T3"}) {
            world.copy(QString::fromLatin1(text));
        }
        model.setMaxTextHistoryCount(1);
        QCOMPARE(world.texts(), QStringList({"T3", "https://u"}));
        QCOMPARE(world.executor.pendingCount(), 1);
        world.settle();
        QCOMPARE(world.savedTexts(), QStringList({"T3", "https://u"}));
    }

    void trimAtLoadSaves()
    {
        World world;
        world.defaults.set(Key::maxTextHistoryCount, qint64 {2});
        const QDateTime at = world.scheduler.now().addDays(-1);
        world.writeHistory({textItem("T3", at), textItem("T2", at), textItem("T1", at)});
        world.start();
        QCOMPARE(world.texts(), QStringList({"T3", "T2"}));
        world.settle();
        QCOMPARE(world.savedTexts(), QStringList({"T3", "T2"}));
    }

    void stopDuringCaptureDropsIt_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("stopped") << false;
        QTest::newRow("stopped and started again") << true;
    }

    void stopDuringCaptureDropsIt()
    {
        QFETCH(bool, restart);
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        QCOMPARE(world.executor.pendingCount(), 1);
        model.setClipboardHistoryEnabled(false);
        if (restart) {
            model.setClipboardHistoryEnabled(true);
        }
        world.settle();
        world.scheduler.advance(3);
        world.settle();
        QVERIFY(model.items().isEmpty());
        QVERIFY(!QFile::exists(world.historyPath()));

        if (restart) {
            // Monitoring goes on: the next copy is recorded.
            world.copy(QStringLiteral("B"));
            QCOMPARE(world.texts(), QStringList({"B"}));
        }
    }

    void captureFinishingAfterStopIsDiscarded()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        // The worker has read the item; its result reaches the main thread only after the stop.
        world.executor.runJob(0);
        model.setClipboardHistoryEnabled(false);
        world.scheduler.runPending();
        QVERIFY(model.items().isEmpty());
        QCOMPARE(world.executor.pendingCount(), 0);
        world.scheduler.advance(3);
        QCOMPARE(world.executor.pendingCount(), 0);
    }

    void contentChangedDuringRead()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        world.pasteboard.setOnNextRead([&world] { world.pasteboard.setText(QStringLiteral("B")); });
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.settle();
        // A was replaced while it was read: never recorded. B is captured right away, without
        // waiting for the next poll.
        QCOMPARE(world.texts(), QStringList({"B"}));
        QCOMPARE(model.items().first().text, std::optional<QString>(QStringLiteral("B")));
    }

    void contentChangedBeforeResultApplied()
    {
        World world;
        world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.executor.runJob(0); // read A while it was current
        world.pasteboard.setText(QStringLiteral("B"));
        world.scheduler.runPending(); // A's result arrives after the change: dropped
        QCOMPARE(world.executor.pendingCount(), 1); // B's capture started at once
        world.settle();
        QCOMPARE(world.texts(), QStringList({"B"}));
    }

    void newestPendingChangeWins()
    {
        // Changes while a capture is in flight collapse into the newest one.
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval); // capture A in flight
        world.pasteboard.setText(QStringLiteral("B"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval); // B pending
        world.pasteboard.setText(QStringLiteral("C"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval); // C replaces B
        QCOMPARE(world.executor.pendingCount(), 1); // one capture at a time
        world.executor.runJob(0); // A's read fails: the content moved on
        world.scheduler.runPending();
        QCOMPARE(world.executor.pendingCount(), 1); // C's capture, at once
        world.settle();
        QCOMPARE(world.texts(), QStringList({"C"}));
        QCOMPARE(model.lastChangeCount(), world.pasteboard.changeCount());
    }

    void secretContentIsNotRecorded()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.copyContents({{PasteboardType::string, QByteArrayLiteral("hunter2")},
            {PasteboardType::passwordManagerHint, QByteArrayLiteral("secret")}});
        QVERIFY(model.items().isEmpty());
        QVERIFY(!QFile::exists(world.historyPath()));
        world.copy(QStringLiteral("visible"));
        QCOMPARE(world.texts(), QStringList({"visible"}));
        QFile file(world.historyPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("hunter2"));
    }

    void fixedPhraseCopyIsNotRecorded()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        model.pasteboard().writeString(QStringLiteral("定型文"));
        model.setLastChangeCount(model.pasteboard().changeCount());
        world.scheduler.advance(3);
        world.settle();
        QVERIFY(model.items().isEmpty());
    }

    void copyBack_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expectedType");

        const QByteArray png = pngBytes(4, 4, 0xff00ff00);
        QTest::newRow("text") << int(ClipboardHistoryKind::Text) << QByteArray("こんにちは")
                              << PasteboardType::string;
        QTest::newRow("url") << int(ClipboardHistoryKind::Url) << QByteArray("https://a")
                             << PasteboardType::string;
        QTest::newRow("png") << int(ClipboardHistoryKind::Image) << png << PasteboardType::png;
        QTest::newRow("tiff") << int(ClipboardHistoryKind::Image) << QByteArray("II*\0rest", 8)
                              << PasteboardType::tiff;
        QTest::newRow("png signature cut short")
            << int(ClipboardHistoryKind::Image) << png.left(7) << PasteboardType::tiff;
    }

    void copyBack()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expectedType);

        World world;
        ClipboardHistoryModel& model = world.start();
        ClipboardHistoryItem item =
            static_cast<ClipboardHistoryKind>(kind) == ClipboardHistoryKind::Image
            ? ClipboardHistoryItem::makeImage(bytes, world.scheduler.now())
            : ClipboardHistoryItem::makeText(QString::fromUtf8(bytes), world.scheduler.now());
        model.setItems({item});

        model.copyToClipboard(item);
        // One write of the content, never a clear first.
        QCOMPARE(world.pasteboard.clearCount(), 0);
        QCOMPARE(world.pasteboard.writeCount(), 1);
        const QList<QPair<QString, QByteArray>> expected {{expectedType, bytes}};
        QCOMPARE(world.pasteboard.contents(), expected);
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(QStringLiteral("クリップボードに戻しました")));
        QCOMPARE(model.lastChangeCount(), world.pasteboard.changeCount());

        // The write is not captured again.
        world.scheduler.advance(3);
        world.settle();
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({item}));
    }

    void copyBackWithoutContentClears_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("text") << int(ClipboardHistoryKind::Text);
        QTest::newRow("url") << int(ClipboardHistoryKind::Url);
        QTest::newRow("image") << int(ClipboardHistoryKind::Image);
    }

    void copyBackWithoutContentClears()
    {
        QFETCH(int, kind);
        World world;
        ClipboardHistoryModel& model = world.start();
        model.setMoveSelectedHistoryItemToTop(true);
        ClipboardHistoryItem first =
            ClipboardHistoryItem::makeText(QStringLiteral("first"), world.scheduler.now());
        ClipboardHistoryItem empty;
        empty.id = QUuid::createUuid();
        empty.kind = static_cast<ClipboardHistoryKind>(kind);
        empty.createdAt = world.scheduler.now();
        empty.fingerprint =
            ClipboardHistoryItem::makeFingerprint(empty.kind, std::nullopt, std::nullopt);
        model.setItems({first, empty});
        const auto status = model.statusMessage();
        world.pasteboard.setText(QStringLiteral("before"));
        const qint64 lastSeen = model.lastChangeCount();

        model.copyToClipboard(empty);
        QCOMPARE(world.pasteboard.clearCount(), 1);
        QCOMPARE(world.pasteboard.writeCount(), 0);
        QVERIFY(world.pasteboard.contents().isEmpty());
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({first, empty})); // not promoted
        QCOMPARE(model.statusMessage(), status);
        QCOMPARE(model.lastChangeCount(), lastSeen);
    }

    void promotion_data()
    {
        QTest::addColumn<bool>("moveToTop");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("newDate");

        QTest::newRow("bottom item promoted") << true << 2 << QStringList {"A", "C", "B"} << true;
        QTest::newRow("middle item promoted") << true << 1 << QStringList {"B", "C", "A"} << true;
        QTest::newRow("top item keeps its date")
            << true << 0 << QStringList {"C", "B", "A"} << false;
        QTest::newRow("switch off") << false << 2 << QStringList {"C", "B", "A"} << false;
    }

    void promotion()
    {
        QFETCH(bool, moveToTop);
        QFETCH(int, chosen);
        QFETCH(QStringList, expected);
        QFETCH(bool, newDate);

        World world;
        ClipboardHistoryModel& model = world.start();
        model.setMoveSelectedHistoryItemToTop(moveToTop);
        for (const char* text : {"A", "B", "C"}) {
            world.copy(QString::fromLatin1(text));
            world.scheduler.advance(10);
        }
        const ClipboardHistoryItem item = model.items().at(chosen);
        world.scheduler.advance(100);
        const QDateTime choiceTime = world.scheduler.now();
        model.copyToClipboard(item);
        world.settle();

        QCOMPARE(world.texts(), expected);
        const ClipboardHistoryItem& after =
            *std::find_if(model.items().cbegin(), model.items().cend(),
                [&item](const ClipboardHistoryItem& i) { return i.id == item.id; });
        QCOMPARE(after.createdAt, newDate ? choiceTime : item.createdAt);
        QCOMPARE(after.fingerprint, item.fingerprint);
        QCOMPARE(after.text, item.text);
        QCOMPARE(world.savedTexts(), expected);
    }

    void saveCoalescing()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        const QDateTime at = world.scheduler.now();
        model.setItems({textItem("first", at)});
        model.saveItems();
        QCOMPARE(world.executor.pendingCount(), 1); // the write starts now

        // A burst while the first write is in flight.
        for (int i = 0; i < 5; ++i) {
            model.setItems({textItem(QStringLiteral("burst %1").arg(i), at)});
            model.saveItems();
        }
        QCOMPARE(world.executor.pendingCount(), 1);
        QVERIFY(model.isSaving());

        world.executor.runJob(0);
        QCOMPARE(world.savedTexts(), QStringList({"first"})); // the snapshot taken at start
        world.scheduler.runPending();
        QCOMPARE(world.executor.pendingCount(), 1); // exactly one more write
        world.executor.runJob(0);
        world.scheduler.runPending();
        QCOMPARE(world.savedTexts(), QStringList({"burst 4"}));
        QCOMPARE(world.executor.pendingCount(), 0);
        QVERIFY(!model.isSaving());
    }

    void removeItemSaves()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.copy(QStringLiteral("keep"));
        world.copy(QStringLiteral("drop"));
        const QUuid id = model.items().first().id;
        model.removeItem(id);
        world.settle();
        QCOMPARE(world.texts(), QStringList({"keep"}));
        QCOMPARE(world.savedTexts(), QStringList({"keep"}));
        model.removeItem(QUuid::createUuid()); // unknown id: nothing to write
        QCOMPARE(world.executor.pendingCount(), 0);
    }

    void failedSaveReportsAndRetries()
    {
        World world;
        // A file where the folder should be: the folder cannot be created.
        const QString blocked = world.dir.filePath(QStringLiteral("blocked"));
        {
            QFile file(blocked);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ClipboardHistoryModel model(world.pasteboard, world.defaults, world.scheduler,
            world.executor, FileLocations(blocked + QStringLiteral("/Norvale")));
        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.settle();
        QCOMPARE(model.items().size(), 1); // the list is unaffected
        const QString prefix = QStringLiteral("保存に失敗しました: ");
        QVERIFY(model.statusMessage().has_value());
        QVERIFY2(model.statusMessage()->startsWith(prefix), qPrintable(*model.statusMessage()));
        QVERIFY(model.statusMessage()->size() > prefix.size());

        // The next change retries.
        QVERIFY(QFile::remove(blocked));
        world.pasteboard.setText(QStringLiteral("B"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.settle();
        QFile file(blocked + QStringLiteral("/Norvale/ClipboardHistory.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto saved = ClipboardHistoryStorage::decode(file.readAll());
        QVERIFY(saved.has_value());
        QCOMPARE(saved->size(), 2);
    }

    void unreadableFileStartsEmptyAndIsKept()
    {
        World world;
        QFile bad(world.historyPath());
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("[{\"id\":1}]");
        bad.close();
        ClipboardHistoryModel& model = world.start();
        QVERIFY(model.items().isEmpty());
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(QStringLiteral("クリップボード監視: オン")));
        world.copy(QStringLiteral("new"));
        QCOMPARE(world.savedTexts(), QStringList({"new"}));
        // The bad file was moved aside, not overwritten.
        const QStringList aside =
            QDir(world.dir.path())
                .entryList({QStringLiteral("ClipboardHistory.json.unreadable-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(world.dir.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("[{\"id\":1}]"));
    }

    void badFileThatCannotBeMovedAsideIsNeverWritten()
    {
        // The kept-aside name would pass PATH_MAX while the file's own path does not, so the
        // rename fails even for root.
        World world;
        QString folder = world.dir.path();
        constexpr int wanted = 4060;
        while (folder.size() < wanted) {
            const int room = wanted - static_cast<int>(folder.size()) - 1;
            folder += QLatin1Char('/') + QString(std::min(room, 200), QLatin1Char('d'));
        }
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/ClipboardHistory.json");
        const QByteArray bad = "[{\"broken\"";
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bad);
        }
        ClipboardHistoryModel model(world.pasteboard, world.defaults, world.scheduler,
            world.executor, FileLocations(folder));
        QVERIFY(model.isStorageWriteProtected());
        QVERIFY(model.items().isEmpty());

        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.executor.runAll();
        world.scheduler.runPending();
        QCOMPARE(model.items().size(), 1); // still recorded for this run
        QCOMPARE(world.executor.pendingCount(), 0); // but no write is even attempted
        model.saveItems();
        QCOMPARE(world.executor.pendingCount(), 0);
        QVERIFY(model.waitForPendingSave(0));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bad);
        // Silent, as for any unreadable history.
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(QStringLiteral("クリップボード監視: オン")));
    }

    void storageUsage()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        const QDateTime at = world.scheduler.now();
        model.setItems({textItem(QStringLiteral("日本"), at), textItem(QStringLiteral("abc"), at),
            textItem(QStringLiteral("https://ä.example"), at), textItem(QStringLiteral("😀"), at),
            ClipboardHistoryItem::makeImage(QByteArray(1234, 'x'), at),
            ClipboardHistoryItem::makeImage(QByteArray(66, 'y'), at)});
        const ClipboardHistoryStorageUsage usage = model.storageUsage();
        QCOMPARE(usage.textBytes, qint64 {6 + 3 + 4});
        QCOMPARE(usage.urlBytes, qint64 {18});
        QCOMPARE(usage.imageBytes, qint64 {1300});
    }

    void previewsAtStartForTheFirst120Images()
    {
        World world;
        const QDateTime at = world.scheduler.now().addDays(-1);
        QList<ClipboardHistoryItem> items;
        for (int i = 0; i < 125; ++i) {
            items.append(ClipboardHistoryItem::makeImage(pngBytes(2, 2, qRgb(i, 0, 0)), at));
            items.append(textItem(QStringLiteral("t%1").arg(i), at));
        }
        world.defaults.set(Key::maxImageHistoryCount, qint64 {500});
        world.defaults.set(Key::maxTextHistoryCount, qint64 {500});
        world.writeHistory(items);
        ClipboardHistoryModel& model = world.start();
        QCOMPARE(world.executor.pendingCount(), 1); // one render task for the whole batch
        world.settle();
        QCOMPARE(model.imagePreviewGeneration(), 1);
        const ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        QCOMPARE(cache.count(), 120);
        QVERIFY(cache.hasImage(items.at(2 * 119).fingerprint));
        QVERIFY(!cache.hasImage(items.at(2 * 120).fingerprint));
        QCOMPARE(items.at(2 * 120).detail(), QStringLiteral("画像"));
        QCOMPARE(items.at(0).detail(), QStringLiteral("2 x 2"));
    }

    void terminationWaitsForTheSaveInFlight()
    {
        QtScheduler scheduler;
        ThreadPoolExecutor executor(scheduler);
        SimPasteboard pasteboard;
        MemoryDefaultsStore defaults;
        QTemporaryDir dir;
        ClipboardHistoryModel model(
            pasteboard, defaults, scheduler, executor, FileLocations(dir.path()));
        const QDateTime at = scheduler.now();
        model.setItems({textItem("first", at)});
        model.saveItems();
        model.setItems({textItem("second", at), textItem("first", at)});
        model.saveItems(); // pending behind the first write

        // The event loop does not run at quit: the wait must not depend on it.
        QVERIFY(model.waitForPendingSave(20000));
        QVERIFY(!model.isSaving());
        QFile file(dir.filePath(QStringLiteral("ClipboardHistory.json")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto saved = ClipboardHistoryStorage::decode(file.readAll());
        QVERIFY(saved.has_value());
        QCOMPARE(saved->size(), 2);
        QCOMPARE(saved->first().text, std::optional<QString>(QStringLiteral("second")));

        // The completions already posted do not start another write.
        const QDateTime modified = QFileInfo(file).lastModified();
        QCoreApplication::processEvents();
        QVERIFY(!model.isSaving());
        QVERIFY(executor.waitForDone(20000));
        QCOMPARE(QFileInfo(file).lastModified(), modified);
    }

    void terminationWaitIsBounded()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        QVERIFY(model.waitForPendingSave(0)); // nothing to wait for
        model.setItems({textItem("held", world.scheduler.now())});
        model.saveItems();
        // The executor holds the write: the wait gives up at its bound.
        QVERIFY(!model.waitForPendingSave(0));
        QVERIFY(model.isSaving());
        world.settle();
        QVERIFY(!model.isSaving());
        QCOMPARE(world.savedTexts(), QStringList({"held"}));
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryModelTest)

#include "tst_model.moc"
