// The history model on mock time: every capture, save and render runs only when the test
// drains the executor, so the races the model guards against are produced on purpose.

#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardHistoryImageCache.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"

#include <QFileInfo>
#include <QTest>

Q_DECLARE_METATYPE(DefaultsValue)
using Stored = QList<QPair<QString, DefaultsValue>>;

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

    // A fresh store receives every key with its default and type; each property is stored
    // under its key and read back by a new model.
    void settingsAndTheirKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<DefaultsValue>("byDefault");
        QTest::addColumn<DefaultsValue>("assigned");

        const auto row = [](const QString& key, const DefaultsValue& byDefault,
                             const DefaultsValue& assigned) {
            QTest::newRow(propertyName(key).constData()) << key << byDefault << assigned;
        };
        row(Key::enabled, true, false);
        row(Key::maxTextHistoryCount, qint64 {80}, qint64 {300});
        row(Key::maxImageHistoryCount, qint64 {80}, qint64 {7});
        row(Key::maxURLHistoryCount, qint64 {80}, qint64 {500});
        row(Key::displayHistoryRowCount, qint64 {4}, qint64 {12});
        row(Key::autoPasteAfterSelectingHistory, false, true);
        row(Key::moveSelectedHistoryItemToTop, false, true);
        row(Key::saveExcelCopiesAsText, true, false);
    }

    void settingsAndTheirKeys()
    {
        QFETCH(QString, key);
        QFETCH(DefaultsValue, byDefault);
        QFETCH(DefaultsValue, assigned);
        const QByteArray name =
            key == Key::enabled ? QByteArray("clipboardHistoryEnabled") : propertyName(key);
        const auto asVariant = [](const DefaultsValue& value) {
            const auto* flag = std::get_if<bool>(&value);
            return flag ? QVariant(*flag) : QVariant(int(std::get<qint64>(value)));
        };

        World world;
        QCOMPARE(world.start().property(name.constData()), asVariant(byDefault));
        QCOMPARE(world.defaults.value(key), byDefault);
        QCOMPARE(world.defaults.keys().size(), 8); // not the legacy common limit
        QVERIFY(world.model->setProperty(name.constData(), asVariant(assigned)));
        QCOMPARE(world.defaults.value(key), assigned);
        QCOMPARE(world.start().property(name.constData()), asVariant(assigned));
    }

    // A common limit of earlier versions is taken over when stored as an integer; values out
    // of range are clamped; a value read is not written back, a value set is stored clamped.
    void limits_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("assigned"); // -1: only read
        QTest::addColumn<int>("expected");

        const QString legacy = Key::legacyMaxHistoryCount;
        const auto read = [](const char* name, const Stored& stored, const QString& key,
                              int expected) {
            QTest::newRow(name) << stored << key << -1 << expected;
        };
        read("legacy 30", {{legacy, qint64 {30}}}, Key::maxURLHistoryCount, 30);
        read("legacy as double is ignored", {{legacy, 30.0}}, Key::maxImageHistoryCount, 80);
        read("own key wins over legacy",
            {{legacy, qint64 {30}}, {Key::maxTextHistoryCount, qint64 {200}}},
            Key::maxTextHistoryCount, 200);
        read("read text 0", {{Key::maxTextHistoryCount, qint64 {0}}}, Key::maxTextHistoryCount, 1);
        read("read image 1000", {{Key::maxImageHistoryCount, qint64 {1000}}},
            Key::maxImageHistoryCount, 500);
        read("read rows 40", {{Key::displayHistoryRowCount, qint64 {40}}},
            Key::displayHistoryRowCount, 12);
        QTest::newRow("set url 501") << Stored() << Key::maxURLHistoryCount << 501 << 500;
        QTest::newRow("set rows 0") << Stored() << Key::displayHistoryRowCount << 0 << 1;
    }

    void limits()
    {
        QFETCH(Stored, stored);
        QFETCH(QString, key);
        QFETCH(int, assigned);
        QFETCH(int, expected);

        World world;
        DefaultsValue inStore(qint64 {expected});
        DefaultsValue legacy;
        for (const auto& [storedKey, value] : std::as_const(stored)) {
            world.defaults.set(storedKey, value);
            inStore = storedKey == key && assigned < 0 ? value : inStore;
            legacy = storedKey == Key::legacyMaxHistoryCount ? value : legacy;
        }
        ClipboardHistoryModel& model = world.start();
        const QByteArray name = propertyName(key);
        if (assigned >= 0) {
            QVERIFY(model.setProperty(name.constData(), assigned));
        }
        QCOMPARE(model.property(name.constData()).toInt(), expected);
        QCOMPARE(world.defaults.value(key), inStore);
        QCOMPARE(world.defaults.value(Key::legacyMaxHistoryCount), legacy);
    }

    // When a change is recorded: on the pasteboard's notification at once (a burst of them
    // gives one check), else by the 0.75 s poll; never what was there at start or was copied
    // while monitoring was off (the application's own phrase copies: tst_commandline).
    // A capture in flight when monitoring stops or the clipboard moves on: the stale content
    // is never recorded, one capture runs at a time, and the newest change is captured next,
    // at once. Steps: "copy X" (silent), "notify", "wait S" (seconds), "run" (until
    // nothing is left), "read" (the capture's worker runs), "deliver" (its result comes back),
    // "X read" (the clipboard changes to X while the capture reads it), "checks N" (change
    // checks waiting), "captures N" (captures waiting), "off", "on".
    void whenChangesAreRecorded_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, const char* steps, const QStringList& expected) {
            QTest::newRow(name) << QString::fromLatin1(steps).split(QLatin1String(", "))
                                << expected;
        };
        row("not by the poll at 0.74 s", "copy A, wait 0.74, run", {});
        row("by the poll at 0.76 s", "copy A, wait 0.76, run", {"A"});
        row("at once when notified", "copy A, notify, run", {"A"});
        row("a burst of notifications is one check",
            "copy A, notify, notify, notify, checks 1, run, checks 0, copy B, notify, run",
            {"B", "A"});
        row("a notification without a change", "notify, run, wait 0.76, run", {});
        row("what was on the clipboard at start", "start, wait 0.76, notify, run", {});
        row("copies while monitoring was off",
            "off, copy A, notify, checks 0, wait 2, on, wait 2, run, copy B, notify, run", {"B"});
        row("A, B, A gives one A on top",
            "copy A, notify, run, copy B, notify, run, copy A, notify, run", {"A", "B"});
        row("stopped before the read", "copy A, notify, deliver, captures 1, off, run", {});
        // The worker has read the item; its result reaches the main thread after the stop.
        row("stopped after the read", "copy A, notify, deliver, read, off, run, wait 1, run", {});
        row("stopped and started again",
            "copy A, notify, deliver, off, on, run, wait 1, run, copy B, notify, run", {"B"});
        row("changed while it is read",
            "copy A, B read, notify, deliver, read, deliver, captures 1, run", {"B"});
        row("changed before the result is applied",
            "copy A, notify, deliver, read, copy B, deliver, captures 1, run", {"B"});
        row("changed twice, over two polls",
            "copy A, wait 0.75, copy B, wait 0.75, copy C, wait 0.75, captures 1, run", {"C"});
    }

    void whenChangesAreRecorded()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, expected);
        World world;
        if (steps.first() == QLatin1String("start")) {
            world.setClipboard(QStringLiteral("before the start"));
        }
        ClipboardHistoryModel& model = world.start();
        for (const QString& step : std::as_const(steps)) {
            const QString word = step.section(QLatin1Char(' '), 0, 0);
            const QString argument = step.section(QLatin1Char(' '), 1);
            if (word == QLatin1String("copy")) {
                world.setClipboard(argument);
            } else if (step == QLatin1String("notify")) {
                world.pasteboard.notifyChanged();
            } else if (word == QLatin1String("wait")) {
                world.scheduler.advance(argument.toDouble());
            } else if (step == QLatin1String("run")) {
                world.settle();
            } else if (step == QLatin1String("read")) {
                world.executor.runJob(0);
            } else if (step == QLatin1String("deliver")) {
                world.scheduler.runPending();
            } else if (argument == QLatin1String("read")) {
                world.pasteboard.setOnNextRead([&world, word] { world.setClipboard(word); });
            } else if (word == QLatin1String("checks")) {
                // Besides the poll timer while monitoring is on.
                QCOMPARE(world.scheduler.pendingCount() - (model.clipboardHistoryEnabled() ? 1 : 0),
                    argument.toInt());
            } else if (word == QLatin1String("captures")) {
                QCOMPARE(world.executor.pendingCount(), argument.toInt());
            } else if (step == QLatin1String("off") || step == QLatin1String("on")) {
                model.setClipboardHistoryEnabled(step == QLatin1String("on"));
            } else {
                QCOMPARE(step, QStringLiteral("start"));
            }
        }
        QCOMPARE(world.texts(), expected);
        QCOMPARE(QFile::exists(world.historyPath()), !expected.isEmpty());
    }

    // The same copy again at the top is not a new item.
    void repeatedCopyKeepsFirstIdAndDate()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        world.copy(QStringLiteral("A"));
        const ClipboardHistoryItem first = model.items().first();
        world.scheduler.advance(60);
        world.copy(QStringLiteral("A"));
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({first}));
    }

    void textReplacesUrlWithTheSameText()
    {
        // A history written before URLs were told apart, and an item of the other kind with
        // the same text: the later capture replaces the earlier whatever its kind.
        World world;
        ClipboardHistoryItem legacyUrl = textItem(QStringLiteral(" https://a.example"), Now);
        ClipboardHistoryItem oddUrl = textItem(QStringLiteral("plain"), Now);
        oddUrl.kind = ClipboardHistoryKind::Url;
        world.writeHistory({legacyUrl, oddUrl});

        ClipboardHistoryModel& model = world.start();
        // Reclassified, every other field unchanged.
        legacyUrl.kind = ClipboardHistoryKind::Url;
        QCOMPARE(model.items(), QList<ClipboardHistoryItem>({legacyUrl, oddUrl}));

        world.copy(QStringLiteral("plain"));
        QCOMPARE(world.texts(), QStringList({"plain", " https://a.example"}));
        QCOMPARE(model.items().first().kind, ClipboardHistoryKind::Text);
    }

    // Duplicates and items over the per-kind limits are dropped, in the list and the file,
    // when captured and when a limit is lowered ("limits": the limits are set there).
    void deduplicationAndTrimming_data()
    {
        QTest::addColumn<int>("maxText");
        QTest::addColumn<int>("maxUrl");
        QTest::addColumn<int>("maxImage");
        QTest::addColumn<QStringList>("copies");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("blanks are content")
            << 80 << 80 << 80 << QStringList {"  ", "A"} << QStringList {"A", "  "};
        QTest::newRow("urls untouched by the text limit")
            << 2 << 80 << 80 << QStringList {"https://u1", "T1", "T2", "https://u2", "T3"}
            << QStringList {"T3", "https://u2", "T2", "https://u1"};
        QTest::newRow("limit 1 keeps the newest")
            << 1 << 1 << 80 << QStringList {"T1", "https://u1", "T2", "https://u2"}
            << QStringList {"https://u2", "T2"};
        QTest::newRow("a URL after blanks counts as a URL")
            << 1 << 1 << 80 << QStringList {" \n https://u1", "T1", "T2"}
            << QStringList {"T2", " \n https://u1"};
        QTest::newRow("lowering a limit")
            << 2 << 80 << 80 << QStringList {"T1", "https://u", "T2", "T3", "limits"}
            << QStringList {"T3", "T2", "https://u"};
        QTest::newRow("images have their own limit")
            << 1 << 80 << 2 << QStringList {"image:1", "T1", "image:2", "image:3", "image:2"}
            << QStringList {"image:2", "image:3", "T1"};
    }

    void deduplicationAndTrimming()
    {
        QFETCH(int, maxText);
        QFETCH(int, maxUrl);
        QFETCH(int, maxImage);
        QFETCH(QStringList, copies);
        QFETCH(QStringList, expected);
        World world;
        ClipboardHistoryModel& model = world.start();
        const auto setLimits = [&] {
            model.setMaxTextHistoryCount(maxText);
            model.setMaxURLHistoryCount(maxUrl);
            model.setMaxImageHistoryCount(maxImage);
        };
        if (!copies.contains(QStringLiteral("limits"))) {
            setLimits();
        }
        for (const QString& text : std::as_const(copies)) {
            text == QLatin1String("limits") ? setLimits() : world.copy(text);
        }
        world.settle();
        QCOMPARE(world.texts(), expected);
        QCOMPARE(world.savedTexts(), expected);
    }

    // A history over the limit at start is trimmed and written back.
    void loadingTrimsAndSaves()
    {
        World world;
        world.writeHistory({textItem("T3", Now), textItem("T2", Now), textItem("T1", Now)});
        world.defaults.set(Key::maxTextHistoryCount, qint64 {1});
        world.start();
        world.settle();
        QCOMPARE(world.savedTexts(), QStringList({"T3"}));
    }

    // Copying an item back writes it once, never clearing first, and promotes it; an item
    // without content only clears the clipboard. Neither write is captured again.
    void copyBack_data()
    {
        QTest::addColumn<ClipboardHistoryKind>("kind");
        QTest::addColumn<QByteArray>("bytes"); // null: an item without content
        QTest::addColumn<QString>("expectedType");

        const QByteArray png = pngBytes(4, 4, 0xff00ff00);
        QTest::newRow("text") << ClipboardHistoryKind::Text << QByteArray("こんにちは")
                              << PasteboardType::string;
        QTest::newRow("png") << ClipboardHistoryKind::Image << png << PasteboardType::png;
        QTest::newRow("tiff") << ClipboardHistoryKind::Image << QByteArray("II*\0rest", 8)
                              << PasteboardType::tiff;
        QTest::newRow("png signature cut short")
            << ClipboardHistoryKind::Image << png.left(7) << PasteboardType::tiff;
        QTest::newRow("no content") << ClipboardHistoryKind::Image << QByteArray() << QString();
    }

    void copyBack()
    {
        QFETCH(ClipboardHistoryKind, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expectedType);

        World world;
        ClipboardHistoryModel& model = world.start();
        ClipboardHistoryItem item = kind == ClipboardHistoryKind::Image
            ? ClipboardHistoryItem::makeImage(bytes, Now)
            : ClipboardHistoryItem::makeText(QString::fromUtf8(bytes), Now);
        const bool empty = bytes.isNull();
        if (empty) {
            item.imageData.reset();
        }
        const ClipboardHistoryItem top = textItem(QStringLiteral("top"), Now);
        model.setMoveSelectedHistoryItemToTop(true);
        model.setItems({top, item});
        world.pasteboard.setText(QStringLiteral("before"));
        model.copyToClipboard(item);
        QCOMPARE(world.pasteboard.clearCount(), empty ? 1 : 0);
        QCOMPARE(world.pasteboard.writeCount(), empty ? 0 : 1);
        using Contents = QList<QPair<QString, QByteArray>>;
        const Contents written = empty ? Contents() : Contents {{expectedType, bytes}};
        QCOMPARE(world.pasteboard.contents(), written);
        QCOMPARE(model.statusMessage(),
            empty ? MonitoringOn
                  : std::optional<QString>(QStringLiteral("クリップボードに戻しました")));
        world.poll();
        QCOMPARE(model.items().size(), 2);
        QCOMPARE(model.items().first().id, empty ? top.id : item.id);
    }

    void promotion_data()
    {
        QTest::addColumn<bool>("moveToTop");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("newDate");

        QTest::newRow("bottom item promoted") << true << 2 << QStringList {"A", "C", "B"} << true;
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

    // An unreadable file that cannot be moved aside is never written over this run, and every
    // save says why; the run still records.
    void unmovableBadFileIsNeverOverwritten()
    {
        World world;
        const QString folder = folderNearPathMax(world.dir.path());
        const QString path = folder + QStringLiteral("/ClipboardHistory.json");
        const QByteArray bad = "[{\"broken\"";
        QVERIFY(writeFile(path, bad));
        ClipboardHistoryModel& model = world.start(folder);
        QCOMPARE(model.statusMessage(), MonitoringOn); // loading is silent
        world.copy(QStringLiteral("A"));
        QCOMPARE(model.items().size(), 1);
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
        world.start();
        QCOMPARE(world.executor.pendingCount(), 1); // one render task for the whole batch
        world.settle();
        const ClipboardHistoryImageCache& cache = ClipboardHistoryImageCache::shared();
        QCOMPARE(cache.count(), 120);
        QVERIFY(cache.hasImage(items.at(2 * 119).fingerprint));
        QVERIFY(!cache.hasImage(items.at(2 * 120).fingerprint));
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryModelTest)

#include "tst_model.moc"
