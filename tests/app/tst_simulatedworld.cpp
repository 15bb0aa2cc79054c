#include "app/SimulatedWorld.h"
#include "common/TestMain.h"
#include "mouse/MouseSettingsModel.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimScrollEventTap.h"

#include <QRegularExpression>
#include <QTest>

class SimulatedWorldTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The mouse feature, switched on for either sample mouse, finds both, tunes the chosen one
    // and a later read returns what it wrote; the other mouse keeps its value.
    void miceAnswerTheMouseFeature_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("other");
        QTest::addColumn<qint64>("cursorSpeed");
        QTest::newRow("USB mouse, fast") << QStringLiteral("1133:49298:20")
                                         << QStringLiteral("5426:132:708529245") << qint64 {17};
        QTest::newRow("Bluetooth mouse, slow") << QStringLiteral("5426:132:708529245")
                                               << QStringLiteral("1133:49298:20") << qint64 {2};
    }

    void miceAnswerTheMouseFeature()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, other);
        QFETCH(qint64, cursorSpeed);
        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        SimScrollEventTap tap;
        const MouseSystemTools tools = MouseSystemTools::withDefaultsTool(defaults);
        SimulatedMice mice(tools.hidUtility, tools.processLister);
        ScriptedSystemCommands commands(scheduler);
        commands.setResponder([&mice](const QString& executable, const QStringList& arguments) {
            return mice.answer(executable, arguments);
        });
        defaults.set(QStringLiteral("feature.mouse.selectedDeviceID"), chosen);
        defaults.set(QStringLiteral("feature.mouse.cursorSpeedLevel"), cursorSpeed);
        const auto pointerAcceleration = [&](const QString& id) {
            const QStringList parts = id.split(QLatin1Char(':'));
            const QString matching =
                QStringLiteral(R"({"VendorID":%1,"ProductID":%2,"LocationID":%3})")
                    .arg(parts[0], parts[1], parts[2]);
            const QStringList words =
                mice.answer(tools.hidUtility,
                        {QStringLiteral("property"), QStringLiteral("--matching"), matching,
                            QStringLiteral("--get"), QStringLiteral("HIDPointerAcceleration")})
                    .text()
                    .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            return words.value(words.size() - 1);
        };
        const QHash<QString, QString> before {
            {chosen, pointerAcceleration(chosen)}, {other, pointerAcceleration(other)}};
        MouseSettingsModel model(commands, tap, defaults, scheduler, tools);
        model.setMouseAdjustmentEnabled(true);
        scheduler.runPending();

        QStringList ids;
        for (const MouseDevice& device : model.devices()) {
            ids << device.id();
        }
        ids.sort();
        QCOMPARE(ids,
            (QStringList {QStringLiteral("1133:49298:20"), QStringLiteral("5426:132:708529245")}));
        QCOMPARE(model.selectedDeviceID(), chosen);

        QCOMPARE(pointerAcceleration(other), before.value(other));
        QVERIFY(pointerAcceleration(chosen) != before.value(chosen));
    }
};

NORVALE_TEST_CLASS(SimulatedWorldTest)
#include "tst_simulatedworld.moc"
