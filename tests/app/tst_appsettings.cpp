#include "app/AppSettingsModel.h"
#include "common/TestMain.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimLoginItem.h"

#include <QTest>

namespace {

const QString shortcutKey = QStringLiteral("menu.leftClickShortcut");

} // namespace

class AppSettingsModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultsAreWrittenWhenAbsent()
    {
        MemoryDefaultsStore store;
        SimLoginItem loginItem;
        AppSettingsModel model(store, loginItem);
        QCOMPARE(store.value(QStringLiteral("settings.uiScale")), DefaultsValue(1.0));
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.0));
        QCOMPARE(store.value(QStringLiteral("menu.closeOnCopy")), DefaultsValue(false));
        QCOMPARE(store.keys().size(), 3);
    }

    // Both scales, under their keys, normalised when read and when set (from 1.0); what
    // reaches the store is the generic setting's rule.
    void scaleIsNormalised_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<DefaultsValue>("given");
        QTest::addColumn<double>("expected");
        const auto read = [](const char* name, const DefaultsValue& stored, double expected) {
            QTest::newRow(name) << false << stored << expected;
        };
        const auto set = [](const char* name, double value, double expected) {
            QTest::addRow("set %s", name) << true << DefaultsValue(value) << expected;
        };
        read("zero reads as one", 0.0, 1.0);
        read("below range", 0.5, 0.8);
        read("above range", 2.5, 1.8);
        read("to the nearest step", 1.23, 1.25);
        read("half step away from zero", 1.025, 1.05);
        read("not a number", std::nan(""), 1.0);
        read("infinity", std::numeric_limits<double>::infinity(), 1.8);
        set("to the nearest step", 1.03, 1.05);
        set("half step", 1.125, 1.15);
        set("zero is not special", 0.0, 0.8);
        set("below the minimum", 0.1, 0.8);
        set("above the maximum", 7.0, 1.8);
        set("not a number is ignored", std::nan(""), 1.0);
    }

    void scaleIsNormalised()
    {
        QFETCH(bool, set);
        QFETCH(DefaultsValue, given);
        QFETCH(double, expected);
        for (const auto& [key, property] :
            {std::pair {QStringLiteral("menu.uiScale"), "leftClickUIScale"},
                {QStringLiteral("settings.uiScale"), "settingsUIScale"}}) {
            MemoryDefaultsStore store;
            SimLoginItem loginItem;
            if (!set) {
                store.set(key, given);
            }
            AppSettingsModel model(store, loginItem);
            if (set) {
                model.setProperty(property, std::get<double>(given));
            }
            QCOMPARE(model.property(property).toDouble(), expected);
        }
    }

    // What a start reads from menu.leftClickShortcut; bytes that are no shortcut stay until
    // a shortcut is set, and clearing removes the key.
    void shortcutIsLoadedAndSaved_data()
    {
        QTest::addColumn<DefaultsValue>("stored");
        QTest::addColumn<QString>("loaded");
        const QByteArray tap(
            R"({"kind":"modifierDoubleTap","modifiersRawValue":1048576,"primaryModifierRawValue":1048576})");
        QTest::newRow("absent") << DefaultsValue() << QString();
        QTest::newRow("double tap") << DefaultsValue(tap) << QStringLiteral("⌘ double tap");
        QTest::newRow("corrupt") << DefaultsValue(QByteArray("{\"kind\":")) << QString();
        QTest::newRow("not data") << DefaultsValue(QString::fromLatin1(tap)) << QString();
    }

    void shortcutIsLoadedAndSaved()
    {
        QFETCH(DefaultsValue, stored);
        MemoryDefaultsStore store;
        SimLoginItem loginItem;
        store.set(shortcutKey, stored);
        AppSettingsModel model(store, loginItem);
        const auto& shortcut = model.leftClickShortcut();
        QTEST(shortcut ? shortcut->displayText() : QString(), "loaded");
        QCOMPARE(store.value(shortcutKey), stored);

        const auto combination = LeftClickShortcut::modifierCombination(0xc0000);
        model.setLeftClickShortcut(combination);
        QCOMPARE(store.value(shortcutKey),
            DefaultsValue(
                QByteArray(R"({"kind":"modifierCombination","modifiersRawValue":786432})")));
        model.setLeftClickShortcut(std::nullopt);
        QVERIFY(!store.contains(shortcutKey));
    }

    void launchAtLogin_data()
    {
        QTest::addColumn<LoginItemStatus>("status");
        QTest::addColumn<std::optional<QString>>("failure");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("requiresApproval");
        QTest::addColumn<std::optional<QString>>("message");
        const std::optional<QString> none;
        QTest::newRow("not registered")
            << LoginItemStatus::NotRegistered << none << false << false << none;
        QTest::newRow("enabled") << LoginItemStatus::Enabled << none << true << false << none;
        QTest::newRow("requires approval")
            << LoginItemStatus::RequiresApproval << none << false << true
            << std::optional(QStringLiteral("システム設定で承認が必要です"));
        QTest::newRow("not found")
            << LoginItemStatus::NotFound << none << false << false
            << std::optional(QStringLiteral("自動実行サービスが見つかりません"));
        QTest::newRow("unreadable")
            << LoginItemStatus::Unknown << none << false << false
            << std::optional(QStringLiteral("自動実行の状態を確認できません"));
        QTest::newRow("the change fails: the state read back, the reason")
            << LoginItemStatus::Enabled << std::optional(QStringLiteral("Permission denied"))
            << true << false
            << std::optional(
                   QStringLiteral("自動実行の設定を変更できませんでした: Permission denied"));
    }

    // The state as read at construction and after an attempt to switch it off.
    void launchAtLogin()
    {
        QFETCH(LoginItemStatus, status);
        QFETCH(std::optional<QString>, failure);
        MemoryDefaultsStore store;
        SimLoginItem loginItem;
        loginItem.setStatus(status);
        AppSettingsModel model(store, loginItem);
        loginItem.setFailure(failure);
        if (failure) {
            model.setLaunchAtLoginEnabled(false);
        }
        QTEST(model.launchAtLoginEnabled(), "enabled");
        QTEST(model.requiresApproval(), "requiresApproval");
        QTEST(model.statusMessage(), "message");

        // A change that works clears the message and shows the new state.
        loginItem.setFailure(std::nullopt);
        model.setLaunchAtLoginEnabled(!model.launchAtLoginEnabled());
        QCOMPARE(model.statusMessage(), std::optional<QString>());
        QCOMPARE(model.launchAtLoginEnabled(), loginItem.status() == LoginItemStatus::Enabled);
    }
};

NORVALE_TEST_CLASS(AppSettingsModelTest)
#include "tst_appsettings.moc"
