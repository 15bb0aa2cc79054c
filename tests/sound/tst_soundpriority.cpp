#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimSoundSystem.h"
#include "sound/SoundPriorityModel.h"

#include <QJsonDocument>
#include <QTest>

#include <memory>

// Sound priority on the simulated sound system and mock time. Each row is a script of steps,
// one per line: actions on the world or the model, and checks of what follows.
//   plug ID [NAME]   an output device (no NAME: its name cannot be read)
//   input ID NAME    a device without outputs
//   unplug ID | hand ID (the user picks the output) | fail STATUS | refuse-listeners
//   model (creates the model again on the same store) | on | off | slot N ID|none
//   advance SECONDS | refresh | prune | reset
//   default ID|none | status TEXT | devices ID=NAME+|- … | stored N=ID|none … | switches N
class SoundPriorityTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scenarios_data()
    {
        QTest::addColumn<QStringList>("script");
        auto row = [](const char* name, const QString& script) {
            QTest::newRow(name) << script.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        };
        row("follows the slots across plug and unplug",
            "plug spk Speakers\nplug hs Headset\nmodel\nslot 1 hs\nslot 2 spk\non\n"
            "default hs\nstatus 出力先: Headset\n"
            "unplug hs\ndefault spk\nstatus 出力先: Speakers\n"
            "devices spk=Speakers+ hs=Headset-\n"
            "plug hs Headset\ndefault hs\nadvance 2\nstatus 出力先: Headset\nswitches 3");
        row("a choice by hand is undone at the next 2 s refresh",
            "plug spk Speakers\nplug hs Headset\nrefuse-listeners\nmodel\nslot 1 hs\non\n"
            "status 出力先を Headset に切り替えました\nhand spk\nadvance 1.9\ndefault spk\n"
            "advance 0.1\ndefault hs\nstatus 出力先を Headset に切り替えました");
        row("a change of default reported by the sound system is undone at once",
            "plug spk Speakers\nplug hs Headset\nmodel\nslot 1 hs\non\nhand spk\ndefault hs");
        row("every slot empty never touches the output",
            "plug spk Speakers\nplug hs Headset\nhand spk\nmodel\non\nadvance 4\n"
            "status 利用可能な優先デバイスがありません\ndefault spk\nswitches 0");
        row("a disconnected first slot is skipped",
            "plug hs Headset\nmodel\non\nunplug hs\nplug spk Speakers\nslot 1 hs\nslot 2 spk\n"
            "default spk\nstatus 出力先: Speakers");
        row("a refused switch",
            "plug spk Speakers\nplug hs Headset\nhand spk\nfail -50\nmodel\nslot 1 hs\non\n"
            "status 出力先の切り替えに失敗しました: PulseAudio エラー -50\ndefault spk");
        row("off stops switching",
            "plug spk Speakers\nplug hs Headset\nmodel\nslot 1 hs\non\noff\n"
            "status サウンド優先度: オフ\nhand spk\nadvance 10\ndefault spk\n"
            "refresh\nstatus サウンド優先度: オフ");
        row("created on: the current output, or none",
            "plug spk Speakers\nhand spk\nrefuse-listeners\nmodel\non\nrefresh\n"
            "status 出力先: Speakers\nhand none\nrefresh\nstatus 現在の出力先を確認できません");
        row("a device goes to one slot only",
            "plug hs Headset\nmodel\nslot 2 hs\nslot 1 hs\nstored 1=hs 2=none\n"
            "slot 1 none\nstored 1=none 2=none\nslot 7 hs\nstored 1=none");
        row("input-only devices never listed; no name gives the identifier",
            "input mic Microphone\nplug usb-2\nplug b Beta\nmodel\nrefresh\n"
            "devices b=Beta+ usb-2=usb-2+");
        row("unplugged devices stay, sorted last; pruning keeps slotted ones",
            "plug a Alpha\nplug item10 Item 10\nplug item2 Item 2\nmodel\nrefresh\n"
            "devices a=Alpha+ item2=Item 2+ item10=Item 10+\nslot 3 item2\n"
            "unplug a\nunplug item2\nrefresh\ndevices item10=Item 10+ a=Alpha- item2=Item 2-\n"
            "prune\ndevices item10=Item 10+ item2=Item 2-");
        row("reset with the first default device connected",
            "plug spk Speakers\nplug hs Headset\nhand spk\nmodel\nslot 1 hs\non\ndefault hs\n"
            "unplug hs\nreset\ndefault spk\nstored 1=none\ndevices spk=Speakers+\n"
            "status サウンド優先度の設定をリセットしました\nplug hs Headset\nadvance 4\n"
            "default spk");
        row("reset with the first default device gone",
            "plug spk Speakers\nplug hs Headset\nhand spk\nmodel\nslot 1 hs\non\nunplug spk\n"
            "reset\ndefault hs");
    }

    void scenarios()
    {
        QFETCH(QStringList, script);
        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        SimSoundSystem sound;
        std::unique_ptr<SoundPriorityModel> model;
        for (const QString& line : std::as_const(script)) {
            const QString command = line.section(QLatin1Char(' '), 0, 0);
            const QString rest = line.section(QLatin1Char(' '), 1);
            const QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const auto id = [&](const QString& word) {
                return word == QLatin1String("none") ? std::nullopt : std::optional(word);
            };
            if (command == QLatin1String("plug")) {
                sound.plug({words[0],
                    words.size() > 1 ? std::optional(rest.section(QLatin1Char(' '), 1))
                                     : std::nullopt,
                    true});
            } else if (command == QLatin1String("input")) {
                sound.plug({words[0], words[1], false});
            } else if (command == QLatin1String("unplug")) {
                sound.unplug(rest);
            } else if (command == QLatin1String("hand")) {
                sound.chooseDefaultByHand(id(rest));
            } else if (command == QLatin1String("fail")) {
                sound.setSwitchStatus(rest.toInt());
            } else if (command == QLatin1String("refuse-listeners")) {
                sound.setRefusesListeners(true);
            } else if (command == QLatin1String("model")) {
                model.reset();
                model = std::make_unique<SoundPriorityModel>(sound, defaults, scheduler);
            } else if (command == QLatin1String("on") || command == QLatin1String("off")) {
                model->setSoundPriorityEnabled(command == QLatin1String("on"));
            } else if (command == QLatin1String("slot")) {
                model->setDeviceID(id(words[1]), words[0].toInt());
            } else if (command == QLatin1String("advance")) {
                scheduler.advance(rest.toDouble());
            } else if (command == QLatin1String("refresh")) {
                model->refreshDevices();
            } else if (command == QLatin1String("prune")) {
                model->clearUnknownDevices();
            } else if (command == QLatin1String("reset")) {
                model->resetAllSettings();
            } else if (command == QLatin1String("default")) {
                QCOMPARE(sound.defaultOutputDeviceIdentifier(), id(rest));
            } else if (command == QLatin1String("status")) {
                QCOMPARE(model->statusMessage().value_or(QStringLiteral("(none)")), rest);
            } else if (command == QLatin1String("switches")) {
                QCOMPARE(sound.switchCount(), rest.toInt());
            } else if (command == QLatin1String("devices")) {
                QStringList shown;
                for (const SoundOutputDevice& device : model->devices()) {
                    shown << device.id + QLatin1Char('=') + device.name +
                            QLatin1Char(device.isAvailable ? '+' : '-');
                }
                QCOMPARE(shown.join(QLatin1Char(' ')), rest);
            } else if (command == QLatin1String("stored")) {
                for (const QString& entry : words) {
                    const int slot = entry.section(QLatin1Char('='), 0, 0).toInt();
                    const QString key =
                        QStringLiteral("soundPriority.priority%1.deviceID").arg(slot);
                    const std::optional<QString> expected = id(entry.section(QLatin1Char('='), 1));
                    QCOMPARE(defaults.stringValue(key), expected);
                    QCOMPARE(model->priorityDeviceIDs().value(slot), expected);
                }
            } else {
                QFAIL(qPrintable(QStringLiteral("unknown step: ") + line));
            }
            // What the sound system's callbacks handed to the main thread.
            scheduler.runPending();
        }
    }

    void storedDevicesNeedEveryKey_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("devices");
        QTest::newRow("complete") << QByteArray(R"([{"id":"a","name":"Alpha","isAvailable":true}])")
                                  << QStringLiteral("a=Alpha-");
        QTest::newRow("a missing key spoils the list")
            << QByteArray(R"([{"id":"a","name":"Alpha","isAvailable":true},{"id":"b"}])")
            << QString();
        QTest::newRow("a wrong type spoils the list")
            << QByteArray(R"([{"id":"a","name":"Alpha","isAvailable":1}])") << QString();
        QTest::newRow("not JSON") << QByteArray("[{") << QString();
    }

    void storedDevicesNeedEveryKey()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, devices);
        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        SimSoundSystem sound;
        defaults.set(QStringLiteral("soundPriority.knownDevices"), stored);
        defaults.set(QStringLiteral("soundPriority.priority1.deviceID"), QStringLiteral("a"));
        SoundPriorityModel model(sound, defaults, scheduler);
        // Nothing loaded counts as connected: pruning before any refresh keeps only slotted ones.
        model.clearUnknownDevices();
        QStringList shown;
        for (const SoundOutputDevice& device : model.devices()) {
            shown << device.id + QLatin1Char('=') + device.name +
                    QLatin1Char(device.isAvailable ? '+' : '-');
        }
        QCOMPARE(shown.join(QLatin1Char(' ')), devices);
        QCOMPARE(QJsonDocument::fromJson(
                     *defaults.dataValue(QStringLiteral("soundPriority.knownDevices")))
                     .isArray(),
            true);
    }
};

QTEST_GUILESS_MAIN(SoundPriorityTest)

#include "tst_soundpriority.moc"
