#include "app/SimulatedSoftwareUpdates.h"
#include "app/SimulatedWorld.h"
#include "common/TestMain.h"
#include "mouse/MouseSettingsModel.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimScrollEventTap.h"
#include "update/SoftwareUpdaterModel.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
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

    // The update server offers the release after the running one, and a check the user starts
    // goes through every phase of the update window offline: the feed after half a second, the
    // download in four quarter-second steps, then the package in the world's folder.
    void updateServerOffersTheNextRelease_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("offered");
        QTest::newRow("first release") << "0.1.0"
                                       << "0.2.0";
        QTest::newRow("minor past nine") << "1.9.3"
                                         << "1.10.0";
        QTest::newRow("no version known") << ""
                                          << "1.0";
    }
    void updateServerOffersTheNextRelease()
    {
        QFETCH(QString, running);
        QFETCH(QString, offered);
        QTemporaryDir folder;
        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        SimulatedSoftwareUpdates server(scheduler, folder.filePath(QStringLiteral("updates")));
        SoftwareUpdaterModel::Configuration configuration;
        configuration.version = running;
        SoftwareUpdaterModel model(server, defaults, scheduler, configuration);
        const auto phase = [&model] {
            return model.session()->phase;
        };
        using Phase = SoftwareUpdateSession::Phase;

        QVERIFY(model.checkForUpdates());
        scheduler.advance(0.45);
        QCOMPARE(phase(), Phase::Checking);
        scheduler.advance(0.1);
        QCOMPARE(phase(), Phase::Downloading);
        QCOMPARE(model.session()->item.version, offered);
        QVERIFY(model.session()->releaseNotes.startsWith(QStringLiteral("シミュレーション")));
        scheduler.advance(0.5);
        QCOMPARE(model.session()->received * 2, model.session()->total);
        scheduler.advance(0.5);
        QCOMPARE(phase(), Phase::UpdateReady);

        const QString path = model.session()->filePath;
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("norvale_%1_amd64.deb").arg(offered));
        QCOMPARE(QFileInfo(path).size(), model.session()->total);
        QCOMPARE(model.statusMessage().value_or(QString()),
            QStringLiteral("新しいバージョン %1 をダウンロードして検証しました: %2")
                .arg(offered, path));
    }
};

NORVALE_TEST_CLASS(SimulatedWorldTest)
#include "tst_simulatedworld.moc"
