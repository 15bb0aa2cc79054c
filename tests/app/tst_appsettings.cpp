#include "app/AppSettingsModel.h"
#include "common/TestMain.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QSignalSpy>
#include <QTest>

class AppSettingsModelTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaultsAreWrittenWhenAbsentAndReadBack()
    {
        MemoryDefaultsStore store;
        {
            AppSettingsModel model(store);
            QCOMPARE(store.value(QStringLiteral("settings.uiScale")), DefaultsValue(1.0));
            QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.0));
            QCOMPARE(store.value(QStringLiteral("menu.closeOnCopy")), DefaultsValue(false));
            QCOMPARE(store.keys().size(), 3);
            QSignalSpy spy(&model, &AppSettingsModel::closeLeftClickMenuOnCopyChanged);
            model.setCloseLeftClickMenuOnCopy(true);
            model.setCloseLeftClickMenuOnCopy(true);
            QCOMPARE(spy.size(), 1);
            model.setSettingsUIScale(1.4);
        }
        AppSettingsModel reopened(store);
        QVERIFY(reopened.closeLeftClickMenuOnCopy());
        QCOMPARE(reopened.settingsUIScale(), 1.4);
    }

    void storedScaleIsNormalisedOnRead_data()
    {
        QTest::addColumn<DefaultsValue>("stored");
        QTest::addColumn<double>("expected");
        QTest::newRow("zero reads as one") << DefaultsValue(0.0) << 1.0;
        QTest::newRow("integer zero") << DefaultsValue(qint64(0)) << 1.0;
        QTest::newRow("below range") << DefaultsValue(0.5) << 0.8;
        QTest::newRow("above range") << DefaultsValue(2.5) << 1.8;
        QTest::newRow("half step away from zero") << DefaultsValue(1.025) << 1.05;
        QTest::newRow("string is unreadable") << DefaultsValue(QStringLiteral("1.5")) << 1.0;
        QTest::newRow("not a number") << DefaultsValue(std::nan("")) << 1.0;
        QTest::newRow("infinity") << DefaultsValue(std::numeric_limits<double>::infinity()) << 1.8;
        QTest::newRow("in range stays") << DefaultsValue(1.35) << 1.35;
    }

    void storedScaleIsNormalisedOnRead()
    {
        QFETCH(DefaultsValue, stored);
        QFETCH(double, expected);
        for (const QString& key :
            {QStringLiteral("menu.uiScale"), QStringLiteral("settings.uiScale")}) {
            MemoryDefaultsStore store;
            store.set(key, stored);
            AppSettingsModel model(store);
            QCOMPARE(key == QStringLiteral("menu.uiScale") ? model.leftClickUIScale()
                                                           : model.settingsUIScale(),
                expected);
            // Reading never writes the normalised value back (NaN never equals itself).
            const DefaultsValue after = store.value(key);
            const auto* number = std::get_if<double>(&after);
            QVERIFY(after == stored || (number != nullptr && std::isnan(*number)));
        }
    }

    // From 1.5, each setter stores the normalised value and signals only a change.
    void scaleIsNormalisedOnSet_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("stored");
        QTest::newRow("half step") << 1.125 << 1.15;
        QTest::newRow("zero is not special when set") << 0.0 << 0.8;
        QTest::newRow("minimum") << 0.8 << 0.8;
        QTest::newRow("above maximum") << 7.0 << 1.8;
        QTest::newRow("the same value") << 1.5 << 1.5;
        QTest::newRow("not a number is ignored") << std::nan("") << 1.5;
    }

    void scaleIsNormalisedOnSet()
    {
        QFETCH(double, value);
        QFETCH(double, stored);
        MemoryDefaultsStore store;
        AppSettingsModel model(store);
        model.setSettingsUIScale(1.5);
        model.setLeftClickUIScale(1.5);
        QSignalSpy settingsSpy(&model, &AppSettingsModel::settingsUIScaleChanged);
        QSignalSpy menuSpy(&model, &AppSettingsModel::leftClickUIScaleChanged);
        model.setSettingsUIScale(value);
        model.setLeftClickUIScale(value);
        QCOMPARE(model.settingsUIScale(), stored);
        QCOMPARE(model.leftClickUIScale(), stored);
        QCOMPARE(store.value(QStringLiteral("settings.uiScale")), DefaultsValue(stored));
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(stored));
        QCOMPARE(settingsSpy.size(), stored == 1.5 ? 0 : 1);
        QCOMPARE(menuSpy.size(), stored == 1.5 ? 0 : 1);
    }
};

NORVALE_TEST_CLASS(AppSettingsModelTest)
#include "tst_appsettings.moc"
