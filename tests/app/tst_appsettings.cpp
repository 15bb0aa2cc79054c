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

    void quickPanelSize_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("height");
        // (imageRows - 1) * 8 + max(124 s, 136) * imageRows + 62 + 310 + 70 rows + 2
        QTest::newRow("5 rows at 1.0") << 5 << 1.0 << 1148.0;
        QTest::newRow("0 rows as 1") << 0 << 1.0 << 136.0 + 62 + 380 + 2;
        QTest::newRow("2 rows, 2 image rows") << 2 << 1.0 << 8 + 272.0 + 62 + 450 + 2;
        QTest::newRow("13 rows as 12") << 13 << 1.0 << 16 + 408.0 + 62 + 1150 + 2;
        QTest::newRow("scale 1.15 fractional") << 4 << 1.15 << 16 + 3 * 142.6 + 62 + 590 + 2;
    }

    void quickPanelSize()
    {
        QFETCH(int, rows);
        QFETCH(double, scale);
        const QSizeF size = AppSettingsModel::leftClickMenuBaseSize(rows, scale);
        QCOMPARE(size.width(), 780.0);
        QTEST(size.height(), "height");
    }
};

NORVALE_TEST_CLASS(AppSettingsModelTest)
#include "tst_appsettings.moc"
