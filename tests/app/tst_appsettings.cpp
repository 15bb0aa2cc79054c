#include "app/AppSettingsModel.h"
#include "common/TestMain.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QTest>

class AppSettingsModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultsAreWrittenWhenAbsent()
    {
        MemoryDefaultsStore store;
        AppSettingsModel model(store);
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
            if (!set) {
                store.set(key, given);
            }
            AppSettingsModel model(store);
            if (set) {
                model.setProperty(property, std::get<double>(given));
            }
            QCOMPARE(model.property(property).toDouble(), expected);
        }
    }
};

NORVALE_TEST_CLASS(AppSettingsModelTest)
#include "tst_appsettings.moc"
