#include "SettingsWorld.h"
#include "common/TestMain.h"
#include "settings/SettingsRows.h"
#include "settings/SoftwareUpdateSettingsView.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

namespace {

template<typename T>
T* byAccessibleName(QWidget& root, const QString& name)
{
    for (T* widget : root.findChildren<T*>()) {
        if (widget->accessibleName() == name) {
            return widget;
        }
    }
    return nullptr;
}

ClipboardHistoryItem item(const QString& text, ClipboardHistoryKind kind)
{
    ClipboardHistoryItem made;
    made.id = QUuid::createUuid();
    made.kind = kind;
    made.text = text;
    made.createdAt = QDateTime::fromSecsSinceEpoch(0);
    return made;
}

} // namespace

class SettingsTabsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedCountsComeBackClamped_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<int>("before");
        QTest::newRow("600 texts") << QStringLiteral("テキスト保存件数") << "600" << 500
                                   << QByteArray("maxTextHistoryCount") << 100;
        QTest::newRow("600 texts at the limit") << QStringLiteral("テキスト保存件数") << "600"
                                                << 500 << QByteArray("maxTextHistoryCount") << 500;
        QTest::newRow("0 images") << QStringLiteral("画像保存件数") << "0" << 1
                                  << QByteArray("maxImageHistoryCount") << 30;
        QTest::newRow("20 rows") << QStringLiteral("履歴表示行数") << "20" << 12
                                 << QByteArray("displayHistoryRowCount") << 2;
        QTest::newRow("42 URLs") << QStringLiteral("URL保存件数") << "42" << 42
                                 << QByteArray("maxURLHistoryCount") << 30;
    }

    void typedCountsComeBackClamped()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, shown);
        QFETCH(QByteArray, property);
        QFETCH(int, before);
        SettingsWorld world;
        SettingsView& view = world.start();
        world.clipboardHistory->setProperty(property, before);
        view.setSelectedTab(SettingsTab::ClipboardMonitoring);
        auto* box = byAccessibleName<QSpinBox>(view, field);
        QVERIFY(box != nullptr);
        box->selectAll();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->value(), shown);
        QCOMPARE(world.clipboardHistory->property(property).toInt(), shown);
    }

    void scaleStepsAndText_data()
    {
        QTest::addColumn<int>("steps");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("text");
        QTest::newRow("as stored") << 0 << 1.25 << QStringLiteral("1.25x");
        QTest::newRow("one up") << 1 << 1.30 << QStringLiteral("1.30x");
        QTest::newRow("one down") << -1 << 1.20 << QStringLiteral("1.20x");
    }

    void scaleStepsAndText()
    {
        QFETCH(int, steps);
        QFETCH(double, scale);
        SettingsWorld world;
        world.defaults.set(QStringLiteral("menu.uiScale"), 1.25);
        SettingsView& view = world.start();
        auto* stepper = byAccessibleName<QDoubleSpinBox>(view, QStringLiteral("左クリック画面"));
        QVERIFY(stepper != nullptr);
        stepper->stepBy(steps);
        QCOMPARE(world.appSettings->leftClickUIScale(), scale);
        auto* row = qobject_cast<ScaleControlRow*>(stepper->parentWidget());
        QTEST(row->valueText(), "text");
    }

    void storageUsage_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("rows"); // テキスト, URL, 画像, 合計: "count|bytes"
        QTest::newRow("no history")
            << QStringList()
            << QStringList {"0件|0 bytes", "0件|0 bytes", "0件|0 bytes", "0件|0 bytes"};
        QTest::newRow("a text and a URL")
            << QStringList {"定型", "https://example.com/" + QString(990, QLatin1Char('a'))}
            << QStringList {"1件|6 bytes", "1件|1.0 kB", "0件|0 bytes", "2件|1.0 kB"};
    }

    void storageUsage()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, rows);
        SettingsWorld world;
        SettingsView& view = world.start();
        QList<ClipboardHistoryItem> items;
        for (const QString& text : texts) {
            items.append(item(text, ClipboardHistoryItem::kindFor(text)));
        }
        world.clipboardHistory->setItems(items);
        view.setSelectedTab(SettingsTab::ClipboardMonitoring);
        const auto usage = view.findChildren<ClipboardStorageUsageRow*>();
        QCOMPARE(usage.size(), 4);
        for (int index = 0; index < 4; ++index) {
            QCOMPARE(usage[index]->countText() + "|" + usage[index]->bytesText(), rows[index]);
        }
    }

    void byteCounts_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("one") << qint64(1) << QStringLiteral("1 byte");
        QTest::newRow("999") << qint64(999) << QStringLiteral("999 bytes");
        QTest::newRow("decimal kilo") << qint64(1000) << QStringLiteral("1.0 kB");
        QTest::newRow("mega") << qint64(1250000) << QStringLiteral("1.3 MB");
        QTest::newRow("giga caps the units")
            << qint64(2500000000000) << QStringLiteral("2500.0 GB");
    }

    void byteCounts()
    {
        QFETCH(qint64, bytes);
        QTEST(formatByteCount(bytes), "text");
    }

    void updateTabTexts_data()
    {
        using View = SoftwareUpdateSettingsView;
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("version and build")
            << View::versionDescription(QStringLiteral("1.4.2"), QStringLiteral("87"))
            << "1.4.2 (87)";
        QTest::newRow("no build") << View::versionDescription(QStringLiteral("1.4.2"), std::nullopt)
                                  << "1.4.2 (不明)";
        QTest::newRow("nothing") << View::versionDescription(std::nullopt, std::nullopt)
                                 << "不明 (不明)";
        QTest::newRow("checked") << View::lastCheckDescription(
                                        QDateTime(QDate(2026, 12, 7), QTime(6, 5, 9)))
                                 << "2026/12/07 06:05:09";
        QTest::newRow("never checked") << View::lastCheckDescription(std::nullopt) << "未確認";
    }

    void updateTabTexts()
    {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void loginItemNote_data()
    {
        QTest::addColumn<bool>("fails");
        QTest::newRow("registered") << false;
        QTest::newRow("refused") << true;
    }

    void loginItemNote()
    {
        QFETCH(bool, fails);
        SettingsWorld world;
        SettingsView& view = world.start();
        view.show();
        if (fails) {
            world.loginItem.setFailure(QStringLiteral("登録できませんでした"));
        }
        auto* box = byAccessibleName<QAbstractButton>(view, QStringLiteral("OS起動時に自動実行"));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        QCOMPARE(box->isChecked(), !fails);
        auto* open = view.findChild<QAbstractButton*>(QStringLiteral("openLoginItemSettings"));
        QCOMPARE(open->isVisible(), fails);
    }

    void recorderRowFromTheKeyboard()
    {
        SettingsWorld world;
        SettingsView& view = world.start();
        view.show();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QWidget& general = *view.tabWidget()->widget(0); // "ウィンドウ固定" has a recorder too
        auto* box = general.findChild<QAbstractButton*>(QStringLiteral("shortcutRecorderBox"));
        QCOMPARE(box->text(), QStringLiteral("未設定"));
        QTest::mouseClick(box, Qt::LeftButton);
        world.scheduler.runPending();
        QCOMPARE(box->text(), QStringLiteral("入力待ち"));
        QWidget* capture = QApplication::focusWidget();
        QVERIFY(capture != box && capture != nullptr);
        QTest::keyClick(capture, Qt::Key_A);
        QCOMPARE(box->text(), QStringLiteral("修飾キーと一緒に入力"));
        QTest::keyPress(capture, Qt::Key_Control, Qt::NoModifier);
        QTest::keyClick(capture, Qt::Key_K, Qt::ControlModifier);
        QTest::keyRelease(capture, Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(world.appSettings->leftClickShortcut()->toJson(),
            QByteArray(
                R"({"kind":"keyCombination","keyCode":40,"characters":"K","modifiersRawValue":262144})"));
        QCOMPARE(box->text(), QStringLiteral("⌃ K"));
        QTest::mouseClick(box, Qt::LeftButton);
        world.scheduler.runPending();
        // As the desktop sends them: QTest would add releases of its own.
        const auto send = [capture](QEvent::Type type, int key, Qt::KeyboardModifiers held) {
            QKeyEvent event(type, key, held);
            QApplication::sendEvent(capture, &event);
        };
        send(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
        send(QEvent::KeyPress, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
        send(QEvent::KeyRelease, Qt::Key_Shift, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("⌃ ⇧ ..."));
        send(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
        QCOMPARE(box->text(), QStringLiteral("⌃ ⇧"));
        general.findChild<QAbstractButton*>(QStringLiteral("shortcutRecorderClear"))->click();
        QVERIFY(!world.appSettings->leftClickShortcut());
        QCOMPARE(box->text(), QStringLiteral("未設定"));
    }
};

NORVALE_TEST_CLASS(SettingsTabsTest)
#include "tst_settingstabs.moc"
