// The history model on mock time: every capture, save and render runs only when the test
// drains the executor, so the races the model guards against are produced on purpose.

#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTest>

Q_DECLARE_METATYPE(DefaultsValue)

using namespace ClipboardTest;

namespace {

namespace Key = ClipboardHistorySettingsKey;

const std::optional<QString> MonitoringOn = QStringLiteral("クリップボード監視: オン");

ClipboardHistoryItem textItem(const QString& text, const QDateTime& at)
{
    return ClipboardHistoryItem::makeText(text, at);
}

QByteArray propertyName(const QString& key)
{
    return key.section(QLatin1Char('.'), -1).toLatin1();
}

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

        // The migrated limits are registered; the legacy key is only read, never written.
        QCOMPARE(
            world.defaults.value(Key::maxURLHistoryCount), DefaultsValue(qint64 {otherLimits}));
        QCOMPARE(world.defaults.value(Key::legacyMaxHistoryCount), legacy);
        QCOMPARE(model.statusMessage(), MonitoringOn);
    }

    // The switches are stored under the keys earlier versions and the command line use, and
    // a new model on the same store reads them back.
    void switchesSurviveARestart_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("byDefault");

        QTest::newRow("enabled") << QByteArray("clipboardHistoryEnabled")
                                 << QStringLiteral("feature.clipboardHistory.enabled") << true;
        QTest::newRow("auto paste")
            << QByteArray("autoPasteAfterSelectingHistory")
            << QStringLiteral("feature.clipboardHistory.autoPasteAfterSelectingHistory") << false;
        QTest::newRow("move to top")
            << QByteArray("moveSelectedHistoryItemToTop")
            << QStringLiteral("feature.clipboardHistory.moveSelectedHistoryItemToTop") << false;
        QTest::newRow("excel as text")
            << QByteArray("saveExcelCopiesAsText")
            << QStringLiteral("feature.clipboardHistory.saveExcelCopiesAsText") << true;
    }

    void switchesSurviveARestart()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, key);
        QFETCH(bool, byDefault);

        World world;
        QCOMPARE(world.start().property(property.constData()).toBool(), byDefault);
        QVERIFY(world.model->setProperty(property.constData(), !byDefault));
        QCOMPARE(world.defaults.value(key), DefaultsValue(!byDefault));
        QCOMPARE(world.start().property(property.constData()).toBool(), !byDefault);
    }

    // Out-of-range limits are clamped; a value read from the store is not written back, a
    // value set is stored clamped.
    void clamping_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("value");
        QTest::addColumn<bool>("set");
        QTest::addColumn<int>("expected");

        const auto read = [](const char* name, const QString& key, const DefaultsValue& value,
                              int expected) {
            QTest::newRow(name) << key << value << false << expected;
        };
        read("read text 0", Key::maxTextHistoryCount, qint64 {0}, 1);
        read("read image 1000", Key::maxImageHistoryCount, qint64 {1000}, 500);
        read("read url -3", Key::maxURLHistoryCount, qint64 {-3}, 1);
        read("read rows 40", Key::displayHistoryRowCount, qint64 {40}, 12);
        read("read rows 0", Key::displayHistoryRowCount, qint64 {0}, 1);
        read("read text stored as double", Key::maxTextHistoryCount, 7.0, 7);

        for (const QString& key :
            {Key::maxTextHistoryCount, Key::maxImageHistoryCount, Key::maxURLHistoryCount}) {
            const QByteArray kind = propertyName(key);
            const std::pair<int, int> cases[] {{0, 1}, {501, 500}, {500, 500}};
            for (const auto& [assigned, expected] : cases) {
                QTest::addRow("set %s %d", kind.constData(), assigned)
                    << key << DefaultsValue(qint64 {assigned}) << true << expected;
            }
        }
        QTest::newRow("set rows 0")
            << Key::displayHistoryRowCount << DefaultsValue(qint64 {0}) << true << 1;
        QTest::newRow("set rows 13")
            << Key::displayHistoryRowCount << DefaultsValue(qint64 {13}) << true << 12;
    }

    void clamping()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, value);
        QFETCH(bool, set);
        QFETCH(int, expected);

        World world;
        if (!set) {
            world.defaults.set(key, value);
        }
        ClipboardHistoryModel& model = world.start();
        const QByteArray name = propertyName(key);
        if (set) {
            QVERIFY(model.setProperty(name.constData(), int(std::get<qint64>(value))));
        }
        QCOMPARE(model.property(name.constData()).toInt(), expected);
        QCOMPARE(world.defaults.value(key), set ? DefaultsValue(qint64 {expected}) : value);
    }

    void repeatedCopyKeepsFirstIdAndDate()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.copy(QStringLiteral("A"));
        const ClipboardHistoryItem first = model.items().first();
        world.scheduler.advance(60);
        world.copy(QStringLiteral("A"));
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({first}));

        // A, B, A: the new A has a new id and date.
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
        // Reclassified, every other field unchanged.
        ClipboardHistoryItem reclassified = legacyUrl;
        reclassified.kind = ClipboardHistoryKind::Url;
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({reclassified, oddUrl}));

        world.copy(QStringLiteral("plain"));
        QCOMPARE(world.texts(), QStringList({"plain", " https://a.example"}));
        QCOMPARE(model.items().first().kind, ClipboardHistoryKind::Text);
    }

    // Duplicates and items over the per-kind limits are dropped, in the list and the file.
    void deduplicationAndTrimming_data()
    {
        QTest::addColumn<int>("maxText");
        QTest::addColumn<int>("maxUrl");
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("same text twice") << 80 << 80 << QStringList {"A", "A"} << QStringList {"A"};
        QTest::newRow("A B C B") << 80 << 80 << QStringList {"A", "B", "C", "B"}
                                 << QStringList {"B", "C", "A"};
        QTest::newRow("blanks are content")
            << 80 << 80 << QStringList {"  ", "A"} << QStringList {"A", "  "};
        QTest::newRow("url and text") << 80 << 80 << QStringList {"https://a", "x", "https://a"}
                                      << QStringList {"https://a", "x"};
        QTest::newRow("texts only")
            << 2 << 80 << QStringList {"T1", "T2", "T3"} << QStringList {"T3", "T2"};
        QTest::newRow("urls untouched by the text limit")
            << 2 << 80 << QStringList {"https://u1", "T1", "T2", "https://u2", "T3"}
            << QStringList {"T3", "https://u2", "T2", "https://u1"};
        QTest::newRow("limit 1 keeps the newest")
            << 1 << 1 << QStringList {"T1", "https://u1", "T2", "https://u2"}
            << QStringList {"https://u2", "T2"};
    }

    void deduplicationAndTrimming()
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

    void loweringALimitAndLoadingTrimAndSave()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        for (const char* text : {"T1", "https://u", "T2", "T3"}) {
            world.copy(QString::fromLatin1(text));
        }
        model.setMaxTextHistoryCount(2);
        QCOMPARE(world.texts(), QStringList({"T3", "T2", "https://u"}));
        QCOMPARE(world.executor.pendingCount(), 1);
        world.settle();
        QCOMPARE(world.savedTexts(), world.texts());

        // A history over the limit at start is trimmed and written back.
        world.model.reset();
        world.writeHistory({textItem("T3", Now), textItem("T2", Now), textItem("T1", Now)});
        world.defaults.set(Key::maxTextHistoryCount, qint64 {1});
        world.start();
        QCOMPARE(world.texts(), QStringList({"T3"}));
        world.settle();
        QCOMPARE(world.savedTexts(), QStringList({"T3"}));
    }

    void stopDuringCaptureDropsIt_data()
    {
        QTest::addColumn<bool>("readFirst");
        QTest::addColumn<bool>("restart");
        QTest::newRow("stopped before the read") << false << false;
        // The worker has read the item; its result reaches the main thread after the stop.
        QTest::newRow("stopped after the read") << true << false;
        QTest::newRow("stopped and started again") << false << true;
    }

    void stopDuringCaptureDropsIt()
    {
        QFETCH(bool, readFirst);
        QFETCH(bool, restart);
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        QCOMPARE(world.executor.pendingCount(), 1);
        if (readFirst) {
            world.executor.runJob(0);
        }
        model.setClipboardHistoryEnabled(false);
        if (restart) {
            model.setClipboardHistoryEnabled(true);
        }
        world.settle();
        world.scheduler.advance(3);
        world.settle();
        QVERIFY(model.items().isEmpty());
        QVERIFY(!QFile::exists(world.historyPath()));
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(restart ? QStringLiteral("クリップボード監視: オン")
                                           : QStringLiteral("クリップボード監視: オフ")));
        if (restart) {
            // Monitoring goes on: the next copy is recorded.
            world.copy(QStringLiteral("B"));
            QCOMPARE(world.texts(), QStringList({"B"}));
        }
    }

    void contentChangedDuringCapture_data()
    {
        QTest::addColumn<bool>("duringRead");
        QTest::newRow("while it is read") << true;
        QTest::newRow("before the result is applied") << false;
    }

    void contentChangedDuringCapture()
    {
        // A is replaced by B mid-capture: A is never recorded, and B is captured at once,
        // without waiting for the next poll.
        QFETCH(bool, duringRead);
        World world;
        world.start();
        world.pasteboard.setText(QStringLiteral("A"));
        if (duringRead) {
            world.pasteboard.setOnNextRead(
                [&world] { world.pasteboard.setText(QStringLiteral("B")); });
        }
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.executor.runJob(0);
        if (!duringRead) {
            world.pasteboard.setText(QStringLiteral("B"));
        }
        world.scheduler.runPending();
        QCOMPARE(world.executor.pendingCount(), 1);
        world.settle();
        QCOMPARE(world.texts(), QStringList({"B"}));
    }

    void newestPendingChangeWins()
    {
        // Changes while a capture is in flight collapse into the newest one.
        World world;
        ClipboardHistoryModel& model = world.start();
        for (const char* text : {"A", "B", "C"}) {
            world.pasteboard.setText(QString::fromLatin1(text));
            world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        }
        QCOMPARE(world.executor.pendingCount(), 1); // one capture at a time
        world.executor.runJob(0); // A's read fails: the content moved on
        world.scheduler.runPending();
        QCOMPARE(world.executor.pendingCount(), 1); // C's capture, at once
        world.settle();
        QCOMPARE(world.texts(), QStringList({"C"}));
        QCOMPARE(model.lastChangeCount(), world.pasteboard.changeCount());
    }

    void secretAndFixedPhraseCopiesAreNotRecorded()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.pasteboard.setContents({{PasteboardType::string, QByteArrayLiteral("hunter2")},
            {PasteboardType::passwordManagerHint, QByteArrayLiteral("secret")}});
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.settle();
        QVERIFY(model.items().isEmpty());
        QVERIFY(!QFile::exists(world.historyPath()));

        // The application writes a fixed phrase and marks the change as its own.
        model.pasteboard().writeString(QStringLiteral("定型文"));
        model.setLastChangeCount(model.pasteboard().changeCount());
        world.scheduler.advance(3);
        world.settle();
        QVERIFY(model.items().isEmpty());

        world.copy(QStringLiteral("visible"));
        QCOMPARE(world.texts(), QStringList({"visible"}));
        QVERIFY(!readFile(world.historyPath()).contains("hunter2"));
    }

    void copyBack_data()
    {
        QTest::addColumn<ClipboardHistoryKind>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expectedType");

        const QByteArray png = pngBytes(4, 4, 0xff00ff00);
        QTest::newRow("text") << ClipboardHistoryKind::Text << QByteArray("こんにちは")
                              << PasteboardType::string;
        QTest::newRow("url") << ClipboardHistoryKind::Url << QByteArray("https://a")
                             << PasteboardType::string;
        QTest::newRow("png") << ClipboardHistoryKind::Image << png << PasteboardType::png;
        QTest::newRow("tiff") << ClipboardHistoryKind::Image << QByteArray("II*\0rest", 8)
                              << PasteboardType::tiff;
        QTest::newRow("png signature cut short")
            << ClipboardHistoryKind::Image << png.left(7) << PasteboardType::tiff;
    }

    void copyBack()
    {
        QFETCH(ClipboardHistoryKind, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expectedType);

        World world;
        ClipboardHistoryModel& model = world.start();
        const ClipboardHistoryItem item = kind == ClipboardHistoryKind::Image
            ? ClipboardHistoryItem::makeImage(bytes, world.scheduler.now())
            : ClipboardHistoryItem::makeText(QString::fromUtf8(bytes), world.scheduler.now());
        // An item without content clears the clipboard and changes nothing else.
        ClipboardHistoryItem empty = item;
        empty.id = QUuid::createUuid();
        empty.text.reset();
        empty.imageData.reset();
        empty.fingerprint = ClipboardHistoryItem::makeFingerprint(kind, std::nullopt, std::nullopt);
        model.setMoveSelectedHistoryItemToTop(true);
        model.setItems({item, empty});
        world.pasteboard.setText(QStringLiteral("before"));
        const qint64 lastSeen = model.lastChangeCount();
        model.copyToClipboard(empty);
        QCOMPARE(world.pasteboard.clearCount(), 1);
        QCOMPARE(world.pasteboard.writeCount(), 0);
        QVERIFY(world.pasteboard.contents().isEmpty());
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({item, empty})); // not promoted
        QCOMPARE(model.lastChangeCount(), lastSeen);
        QCOMPARE(model.statusMessage(), MonitoringOn);

        // An item with content: one write, never a clear first.
        model.copyToClipboard(item);
        QCOMPARE(world.pasteboard.clearCount(), 1);
        QCOMPARE(world.pasteboard.writeCount(), 1);
        QCOMPARE(world.pasteboard.contents(),
            (QList<QPair<QString, QByteArray>> {{expectedType, bytes}}));
        QCOMPARE(model.statusMessage(),
            std::optional<QString>(QStringLiteral("クリップボードに戻しました")));
        QCOMPARE(model.lastChangeCount(), world.pasteboard.changeCount());

        // The write is not captured again.
        world.scheduler.advance(3);
        world.settle();
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({item, empty}));
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
        QCOMPARE(world.savedTexts(), expected);
        ClipboardHistoryItem after = item;
        after.createdAt = newDate ? choiceTime : item.createdAt;
        QVERIFY(model.items().contains(after));
    }

    void saveCoalescing()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        QVERIFY(model.waitForPendingSave(0)); // nothing to wait for
        model.setItems({textItem("first", Now)});
        model.saveItems();
        QCOMPARE(world.executor.pendingCount(), 1); // the write starts now

        // A burst while the first write is in flight.
        for (int i = 0; i < 5; ++i) {
            model.setItems({textItem(QStringLiteral("burst %1").arg(i), Now)});
            model.saveItems();
        }
        QCOMPARE(world.executor.pendingCount(), 1);
        // The executor holds the write: a wait at quit gives up at its bound.
        QVERIFY(!model.waitForPendingSave(0));
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
        model.removeItem(model.items().first().id);
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
        QVERIFY(writeFile(blocked, QByteArray()));
        ClipboardHistoryModel& model = world.start(blocked + QStringLiteral("/Norvale"));
        world.copy(QStringLiteral("A"));
        QCOMPARE(model.items().size(), 1); // the list is unaffected
        const QString prefix = QStringLiteral("保存に失敗しました: ");
        QVERIFY(model.statusMessage().has_value());
        QVERIFY2(model.statusMessage()->startsWith(prefix), qPrintable(*model.statusMessage()));
        QVERIFY(model.statusMessage()->size() > prefix.size());

        // The next change retries.
        QVERIFY(QFile::remove(blocked));
        world.copy(QStringLiteral("B"));
        const auto saved = ClipboardHistoryStorage::decode(
            readFile(blocked + QStringLiteral("/Norvale/ClipboardHistory.json")));
        QVERIFY(saved.has_value());
        QCOMPARE(World::textsOf(*saved), QStringList({"B", "A"}));
    }

    void badFileThatCannotBeMovedAsideIsNeverWritten()
    {
        World world;
        const QString folder = folderNearPathMax(world.dir.path());
        const QString path = folder + QStringLiteral("/ClipboardHistory.json");
        const QByteArray bad = "[{\"broken\"";
        QVERIFY(writeFile(path, bad));
        ClipboardHistoryModel& model = world.start(folder);
        QVERIFY(model.isStorageWriteProtected());
        QVERIFY(model.items().isEmpty());
        QCOMPARE(model.statusMessage(), MonitoringOn); // loading is silent

        world.pasteboard.setText(QStringLiteral("A"));
        world.scheduler.advance(ClipboardHistoryModel::pollInterval);
        world.executor.runAll();
        world.scheduler.runPending();
        QCOMPARE(model.items().size(), 1); // still recorded for this run
        QCOMPARE(world.executor.pendingCount(), 0); // but no write is even attempted
        model.saveItems();
        QCOMPARE(world.executor.pendingCount(), 0);
        QVERIFY(model.waitForPendingSave(0));
        QCOMPARE(readFile(path), bad);
        QCOMPARE(model.statusMessage(),
            QStringLiteral("保存に失敗しました: "
                           "読み込めなかった履歴ファイルを上書きしないよう、保存を止めています (") +
                path + QStringLiteral(")"));
    }

    void storageUsage()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        model.setItems({textItem(QStringLiteral("日本"), Now), textItem(QStringLiteral("abc"), Now),
            textItem(QStringLiteral("https://ä.example"), Now), textItem(QStringLiteral("😀"), Now),
            ClipboardHistoryItem::makeImage(QByteArray(1234, 'x'), Now),
            ClipboardHistoryItem::makeImage(QByteArray(66, 'y'), Now)});
        const ClipboardHistoryStorageUsage usage = model.storageUsage();
        QCOMPARE(usage.textBytes, qint64 {6 + 3 + 4});
        QCOMPARE(usage.urlBytes, qint64 {18});
        QCOMPARE(usage.imageBytes, qint64 {1300});
    }

    void previewsAtStartForTheFirst120Images()
    {
        World world;
        QList<ClipboardHistoryItem> items;
        for (int i = 0; i < 125; ++i) {
            items.append(ClipboardHistoryItem::makeImage(pngBytes(2, 2, qRgb(i, 0, 0)), Now));
            items.append(textItem(QStringLiteral("t%1").arg(i), Now));
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
        model.setItems({textItem("first", Now)});
        model.saveItems();
        model.setItems({textItem("second", Now), textItem("first", Now)});
        model.saveItems(); // pending behind the first write

        // The event loop does not run at quit: the wait must not depend on it.
        QVERIFY(model.waitForPendingSave(20000));
        QVERIFY(!model.isSaving());
        const QString path = dir.filePath(QStringLiteral("ClipboardHistory.json"));
        const auto saved = ClipboardHistoryStorage::decode(readFile(path));
        QVERIFY(saved.has_value());
        QCOMPARE(World::textsOf(*saved), QStringList({"second", "first"}));

        // The completions already posted do not start another write.
        const QDateTime modified = QFileInfo(path).lastModified();
        QCoreApplication::processEvents();
        QVERIFY(!model.isSaving());
        QVERIFY(executor.waitForDone(20000));
        QCOMPARE(QFileInfo(path).lastModified(), modified);
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryModelTest)

#include "tst_model.moc"
