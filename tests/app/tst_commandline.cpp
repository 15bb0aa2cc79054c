#include "app/AppCommandContext.h"
#include "app/AppSettingsModel.h"
#include "app/ApplicationCommands.h"
#include "app/CommandLineClient.h"
#include "app/CommandRegistry.h"
#include "app/InstanceChannel.h"
#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "dock/DockMovementPreventionModel.h"
#include "mouse/MouseSettingsModel.h"
#include "phrases/PhraseModelHarness.h"
#include "placement/WindowPlacementModel.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/ScriptedSystemCommands.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimPasteboard.h"
#include "platform/sim/SimScrollEventTap.h"
#include "platform/sim/SimSessionEvents.h"
#include "platform/sim/SimSoundSystem.h"
#include "platform/sim/SimWindowAccess.h"
#include "sound/SoundPriorityModel.h"
#include "update/NetworkSoftwareUpdateBackend.h"
#include "update/SoftwareUpdaterModel.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QStringList words(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

ClipboardHistoryItem textItem(const QString& text, int minute)
{
    return ClipboardHistoryItem::makeText(
        text, QDateTime(QDate(2026, 3, 1), QTime(10, minute), Qt::UTC));
}

// The instance's private folder under a runtime folder of its own.
struct Runtime
{
    QTemporaryDir dir;
    InstancePaths paths;
    QString error;
    Runtime() { paths = InstancePaths::prepare(false, &error, dir.path()).value(); }
};

CommandResult run(CommandLineClient& client, const char* line)
{
    return client.run(words(line), QString());
}

// A running instance on mock time (the phrase harness's clock, executor and data folder): its
// models, its lock, its server on a private socket passing each request to handler (by
// default the application's commands), and a client.
struct Instance final : AppShellActions
{
    PhraseModelHarness h;
    Runtime runtime;
    MemoryDefaultsStore defaults;
    SimPasteboard pasteboard;
    SimDisplays displays;
    SimWindowAccess windows;
    SimSessionEvents session;
    // Written before the models load, when a test asks for damaged stores.
    bool storesDamaged = false;
    ClipboardHistoryModel history {pasteboard, defaults, h.scheduler, h.executor, h.locations};
    FixedPhraseModel& phrases;
    SimLoginItem loginItem;
    AppSettingsModel settings {defaults, loginItem};
    ScriptedSystemCommands commands {h.scheduler};
    DockMovementPreventionModel dock {displays, defaults, commands, h.scheduler};
    SimSoundSystem sound;
    SoundPriorityModel soundPriority {sound, defaults, h.scheduler};
    WindowPlacementModel placement {{defaults, h.scheduler, displays, windows, session}, {}};
    ScriptedSystemCommands mouseCommands {h.scheduler};
    SimScrollEventTap scrollTap;
    MouseSettingsModel mouse {mouseCommands, scrollTap, defaults, h.scheduler,
        MouseSystemTools::withDefaultsTool(defaults)};
    NetworkSoftwareUpdateBackend updateBackend {h.folderPath() + "/updates", std::nullopt};
    SoftwareUpdaterModel updater {
        updateBackend, defaults, h.scheduler, SoftwareUpdaterModel::standardConfiguration()};
    const CommandRegistry& registry;
    InstanceServer::Handler handler = [this](const InstanceRequest& r, const CommandReply& reply) {
        registry.runInInstance(r.arguments, r.workingDirectory,
            {{history, phrases, settings, dock, placement, soundPriority, mouse, updater}, *this,
                displays},
            reply);
    };
    InstanceServer server {
        [this](const InstanceRequest& r, const CommandReply& reply) { handler(r, reply); },
        h.executor};
    InstanceGuard lock {runtime.paths};
    const CommandLineClient client {registry, runtime.paths, {}};

    explicit Instance(const CommandRegistry& commands, const QByteArray& storeBytes = {},
        const FixedPhraseFolderList& folders = {})
        : storesDamaged(!storeBytes.isEmpty() && damageStores(storeBytes))
        , phrases(folders.isEmpty() ? h.create() : h.createWith(folders))
        , registry(commands)
    {
        lock.tryLock(&runtime.error);
        server.listen(runtime.paths.socketPath, &runtime.error);
    }
    bool damageStores(const QByteArray& bytes)
    {
        QDir().mkpath(h.folderPath());
        return writeFile(h.folderPath() + QStringLiteral("/ClipboardHistory.json"), bytes) &&
            writeFile(h.storePath(), bytes);
    }
    // One USB mouse, its values read back, and nothing conflicting running.
    void scriptMouse()
    {
        const QString hid =
            QStringLiteral("/usr/bin/hidutil property --matching "
                           R"({"VendorID":1133,"ProductID":49298,"LocationID":20})");
        const std::pair<QString, const char*> answers[] {
            {QStringLiteral("/usr/bin/hidutil list --matching mouse --ndjson"),
                R"({"PrimaryUsagePage":1,"PrimaryUsage":2,"VendorID":1133,"ProductID":49298,)"
                R"("LocationID":20,"Product":"G Pro","Manufacturer":"Logitech","Transport":"USB"})"},
            {hid + QStringLiteral(" --get HIDMouseAcceleration"), "45055"},
            {hid + QStringLiteral(" --get HIDPointerAcceleration"), "32765"},
            {hid +
                    QStringLiteral(
                        R"( --set {"HIDMouseAcceleration":45055,"HIDPointerAcceleration":32765})"),
                ""},
            {QStringLiteral("/bin/ps -axo comm"), "/sbin/init\n"}};
        for (const auto& [line, output] : answers) {
            const QStringList words = line.split(QLatin1Char(' '));
            mouseCommands.script(words.first(), words.mid(1),
                SystemCommandResult::success(QString::fromUtf8(output)));
        }
    }
    void toggleQuickPanelAtPointer() override { }
    void openSettingsWindow(std::optional<SettingsTab>) override { }
    void terminate() override { }
    QStringList warnings() const override { return shellWarnings; }
    QStringList shellWarnings;
};

// `norvale <line>` on a thread while this one serves the instance (a client blocks until it
// is answered).
struct ClientRun
{
    CommandResult result;
    std::unique_ptr<QThread> thread;

    ClientRun(const Instance& instance, const char* line, const QString& directory = {})
        : thread(QThread::create([this, &instance, line, directory] {
            result = instance.client.run(words(line), directory);
        }))
    {
        thread->start();
    }
    ~ClientRun() { thread->wait(); }

    // Serves events, and runs serve between them, until the client has its answer.
    CommandResult finish(const std::function<void()>& serve = [] {})
    {
        return QTest::qWaitFor([&] { return serve(), thread->isFinished(); }, 10000)
            ? result
            : CommandResult::failure(QStringLiteral("still waiting"));
    }
};

// Titles repeat: two folders "挨拶", the first with "朝" twice and a hidden "夜" before a shown
// one; a hidden folder "秘密"; "Mail" for a title that differs in case only.
FixedPhraseFolderList phraseStore()
{
    using namespace PhraseTest;
    return {folder(1, QStringLiteral("挨拶"),
                {phrase(2, QStringLiteral("夜"), QStringLiteral("hidden night"), false),
                    phrase(3, QStringLiteral("朝"), QStringLiteral("おはようございます")),
                    phrase(4, QStringLiteral("朝"), QStringLiteral("second morning")),
                    phrase(5, QStringLiteral("夜"), QStringLiteral("おやすみなさい"))}),
        folder(
            6, QStringLiteral("挨拶"), {phrase(7, QStringLiteral("昼"), QStringLiteral("noon"))}),
        folder(8, QStringLiteral("秘密"), {phrase(9, QStringLiteral("鍵"), QStringLiteral("key"))},
            false),
        folder(10, QStringLiteral("Mail"), {phrase(11, QStringLiteral("Sign"), "Regards")})};
}

} // namespace

class CommandLineTest final : public QObject
{
    Q_OBJECT

private:
    CommandRegistry m_registry;

private Q_SLOTS:
    void initTestCase() { registerApplicationCommands(m_registry); }

    // Parsed as "words/arguments/options, sorted", or refused with the message shown.
    void parse_data()
    {
        QTest::addColumn<QString>("tokens");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* tokens, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(tokens) << QString::fromUtf8(expected);
        };
        row("kind and json", "history list --kind url --json", "history list//json=,kind=url");
        row("inline value", "history list --kind=image", "history list//kind=image");
        row("option between arguments", "config set --type int some.key 5",
            "config set/some.key 5/type=int");
        row("negative number is a value", "config set k -3 --type int", "config set/k -3/type=int");
        row("double dash ends options", "config set k -- --json", "config set/k --json/");
        row("nothing", "", "no command given");
        row("unknown command", "frobnicate", "unknown command 'frobnicate'");
        row("bare group", "history", "'history' needs a sub-command: list, copy");
        row("unknown sub-command", "history wipe",
            "unknown sub-command 'history wipe' (expected one of: list, copy)");
        row("bad kind", "history list --kind video",
            "option '--kind' must be one of text|url|image, not 'video'");
        row("kind without value", "history list --kind", "option '--kind' needs a value (KIND)");
        row("flag with value", "history list --json=yes", "option '--json' takes no value");
        row("unknown option", "history list --all", "unknown option '--all' for 'history list'");
        row("short option", "history list -j", "unknown option '-j'");
        row("repeated option", "history list --json --json", "option '--json' given twice");
        row("missing index", "history copy",
            "missing <index>\nusage: norvale history copy <index>");
        row("extra argument", "show now", "unexpected argument 'now'\nusage: norvale show");
    }

    void parse()
    {
        QFETCH(QString, tokens);
        QString error;
        const auto parsed = m_registry.parse(words(tokens.toUtf8().constData()), &error);
        if (parsed) {
            QVERIFY(!parsed->helpRequested);
            QStringList options;
            const auto& given = parsed->invocation.options;
            for (auto it = given.cbegin(); it != given.cend(); ++it) {
                options.append(it.key() + QLatin1Char('=') + it.value());
            }
            options.sort();
            error = parsed->invocation.words.join(QLatin1Char(' ')) + "/" +
                parsed->invocation.arguments.join(QLatin1Char(' ')) + "/" +
                options.join(QLatin1Char(','));
        }
        QTEST(error, "expected");
    }

    // The user's guide quotes the whole help: a command added or reworded there is noticed.
    void theGuideQuotesTheHelp()
    {
        QFile readme(QStringLiteral(NORVALE_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString guide = QString::fromUtf8(readme.readAll()), help = m_registry.help();
        const qsizetype start = guide.indexOf(QStringLiteral("```\n") + help.left(40)) + 4;
        QCOMPARE(guide.mid(start, guide.indexOf(QStringLiteral("```\n"), start) - start), help);
    }

    void classifiesTheProcess_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<CommandLine::Mode>("mode");
        QTest::addColumn<QString>("tokens");
        using CommandLine::Mode;
        const auto row = [](const char* name, const char* arguments, Mode mode,
                             const char* tokens) {
            QTest::newRow(name) << QString::fromUtf8(arguments) << mode
                                << QString::fromUtf8(tokens);
        };
        row("simulated start", "norvale --simulate", Mode::Start, "");
        row("qt options start", "norvale -platform offscreen", Mode::Start, "-platform offscreen");
        row("help", "norvale --help", Mode::Help, "--help");
        row("simulated command", "norvale --simulate status", Mode::Command, "status");
        row("command help", "norvale --help history list", Mode::Command, "--help history list");
        row("unknown long option is a command error", "norvale --version", Mode::Command,
            "--version");
    }

    void classifiesTheProcess()
    {
        QFETCH(QString, arguments);
        const auto classified =
            CommandLine::classify(words(arguments.toUtf8().constData()), m_registry);
        QTEST(classified.mode, "mode");
        QTEST(classified.tokens.join(QLatin1Char(' ')), "tokens");
    }

    // A value as `config set --type` reads it and as `config get` prints it; no value: refused.
    void configValues_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<DefaultsValue>("value");
        QTest::addColumn<QString>("printed");
        const auto row = [](const char* name, const char* type, const char* text,
                             const DefaultsValue& value, const char* printed) {
            QTest::newRow(name) << QString::fromUtf8(type) << QString::fromUtf8(text) << value
                                << QString::fromUtf8(printed);
        };
        row("bool no", "bool", "no", false, "false");
        row("big int", "int", "9007199254740993", qint64(9007199254740993), "9007199254740993");
        row("double shortest", "double", "0.1", 0.1, "0.1");
        row("data utf8", "data", "定型文", QStringLiteral("定型文").toUtf8(), "定型文");
        row("bool maybe", "bool", "maybe", {}, "");
        row("int fraction", "int", "1.5", {}, "");
        row("double infinity", "double", "inf", {}, "");
    }

    void configValues()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(DefaultsValue, value);
        QString error;
        const auto parsed = ConfigCommands::parseValue(text, type, &error);
        QCOMPARE(parsed.value_or(DefaultsValue()), value);
        QCOMPARE(error.isEmpty(), parsed.has_value());
        if (parsed) {
            QTEST(ConfigCommands::formatValue(*parsed), "printed");
        }
    }

    void historyListFormats()
    {
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) &&
            QImage(4, 3, QImage::Format_RGB32).save(&buffer, "PNG"));
        QList<ClipboardHistoryItem> items {textItem(QStringLiteral("first\nline"), 3),
            ClipboardHistoryItem::makeImage(
                png, QDateTime(QDate(2026, 3, 1), QTime(10, 2), Qt::UTC)),
            textItem(QStringLiteral("https://example.com/a"), 1)};
        items[2].kind = ClipboardHistoryKind::Url;
        QCOMPARE(QString::fromUtf8(HistoryCommands::formatList(items, QString(), false)),
            QStringLiteral("0\ttext\t2026-03-01T10:03:00Z\tfirst line\n"
                           "1\timage\t2026-03-01T10:02:00Z\t4 x 3, %1 bytes\n"
                           "2\turl\t2026-03-01T10:01:00Z\thttps://example.com/a\n")
                .arg(png.size()));

        // The filter keeps the indices of the whole history; the image itself is not listed.
        const QJsonArray array = QJsonDocument::fromJson(
            HistoryCommands::formatList(items, QStringLiteral("image"), true))
                                     .array();
        QCOMPARE(array.size(), 1);
        QCOMPARE(array.first()[QStringLiteral("index")].toInt(), 1);
        QCOMPARE(array.first()[QStringLiteral("imageByteCount")].toInteger(), png.size());
        QVERIFY(!array.first().toObject().contains(QStringLiteral("imageData")));
    }

    void runtimeFolderIsPrivate()
    {
        QTemporaryDir runtime;
        const QString folder = runtime.filePath(QStringLiteral("norvale"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        QString error;
        const auto paths = InstancePaths::prepare(true, &error, runtime.path());
        QVERIFY2(paths.has_value(), qPrintable(error));
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QCOMPARE(paths->socketPath, folder + QStringLiteral("/norvale-sim.sock"));

        // A symbolic link in place of the folder is refused, whatever it points to.
        QTemporaryDir other;
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QFile::link(other.path(), folder));
        QVERIFY(!InstancePaths::prepare(false, &error, runtime.path()).has_value());
        QVERIFY(error.contains(QStringLiteral("not a folder")));
    }

    // Serving requests, and a stale socket giving way to the next start, are pinned by the
    // shell test; these are what it cannot reach.
    void configCommandsAndTheInstanceLock()
    {
        Runtime runtime;
        MemoryDefaultsStore store;
        CommandLineClient client(m_registry, runtime.paths, [&store] {
            LocalCommandContext context;
            context.defaults = &store;
            return context;
        });
        store.set(QStringLiteral("menu.uiScale"), 1.25);
        store.set(QStringLiteral("a.flag"), true);
        store.set(QStringLiteral("b.data"), QByteArray("\xff\x00\x01", 3));
        // The existing type is kept without --type; a new key needs one.
        QCOMPARE(run(client, "config set menu.uiScale 1.5").exitCode, 0);
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.5));
        QCOMPARE(run(client, "config set new.key 1").exitCode, CommandExit::usage);
        QVERIFY(!store.contains(QStringLiteral("new.key")));
        QCOMPARE(run(client, "config get menu.uiScale").standardOutput, QByteArray("1.5\n"));
        const CommandResult missing = run(client, "config get nothing.here");
        QCOMPARE(missing.standardError, QByteArray("no value is stored under 'nothing.here'\n"));
        QCOMPARE(run(client, "config list").standardOutput,
            QByteArray("a.flag\tbool\ttrue\nb.data\tdata\tbase64:/wAB\n"
                       "menu.uiScale\tdouble\t1.5\n"));
        // A shortcut set as data is what `shortcut` shows; stored bytes that are none show as
        // unset.
        QCOMPARE(
            run(client,
                R"(config set menu.leftClickShortcut {"kind":"modifierDoubleTap",)"
                R"("modifiersRawValue":1048576,"primaryModifierRawValue":1048576} --type data)")
                .exitCode,
            0);
        store.set(QStringLiteral("feature.windowPlacement.applyShortcut"), QByteArray("{"));
        QCOMPARE(run(client, "shortcut").standardOutput,
            QByteArray("leftClickMenu\t⌘ double tap\nwindowPlacementApply\t未設定\n"));

        // An instance holds the lock: config set is refused and changes nothing.
        InstanceGuard instance(runtime.paths);
        QCOMPARE(instance.tryLock(&runtime.error), InstanceGuard::LockState::Acquired);
        const CommandResult refused = run(client, "config set menu.uiScale 1.1");
        QCOMPARE(refused.exitCode, CommandExit::instanceRunning);
        QVERIFY(refused.standardError.contains("refused while Norvale is running"));
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.5));
    }

    void historyListReadsTheFileWithoutAnInstance()
    {
        Runtime runtime;
        QTemporaryDir data;
        QByteArray encoded =
            ClipboardHistoryStorage::encode({textItem(QStringLiteral("https://norvale.example"), 2),
                textItem(QStringLiteral("plain"), 1)});
        // Stored as a text before the URL kind existed: listed as the instance would load it.
        encoded.replace("\"kind\" : \"url\"", "\"kind\" : \"text\"");
        QFile file(data.filePath(QStringLiteral("ClipboardHistory.json")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(encoded) == encoded.size());
        file.close();
        CommandLineClient client(m_registry, runtime.paths, [&data] {
            LocalCommandContext context;
            context.files.emplace(data.path());
            return context;
        });
        QCOMPARE(run(client, "history list --kind url").standardOutput,
            QByteArray("0\turl\t2026-03-01T10:02:00Z\thttps://norvale.example\n"));

        // An unreadable file is reported and left exactly where and as it is.
        QVERIFY(
            file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("[{\"id\": 1}]"));
        const CommandResult bad = run(client, "history list");
        QCOMPARE(bad.exitCode, CommandExit::failure);
        QVERIFY(bad.standardError.contains("is not a readable history file"));
        QCOMPARE(QDir(data.path()).entryList(QDir::Files),
            QStringList {QStringLiteral("ClipboardHistory.json")});
        file.close();
        QCOMPARE(readFile(file.fileName()), QByteArray("[{\"id\": 1}]"));
    }

    // Copies by the running instance: a history entry by its index; a phrase by exact titles,
    // the first the quick panel shows, else a hidden one. A failure writes nothing.
    void copies_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("printed"); // the exit status, then the output or the error
        const auto row = [](const char* line, const char* copied, const char* printed) {
            QTest::newRow(line) << line << QString::fromUtf8(copied) << QString::fromUtf8(printed);
        };
        row("history copy 1", "older", "0");
        row("history copy 2", "", "1 no entry at index 2 (the history has 2, 0 to 1)");
        row("history copy -1", "", "2 <index> must be a whole number from 0, not '-1'");
        row("phrases copy 挨拶 朝", "おはようございます", "0 定型文をコピーしました");
        row("phrases copy 挨拶 夜", "おやすみなさい", "0 定型文をコピーしました");
        row("phrases copy 挨拶 昼", "noon", "0 定型文をコピーしました");
        row("phrases copy 秘密 鍵", "key", "0 定型文をコピーしました");
        row("phrases copy mail Sign", "", "1 norvale: フォルダ「mail」が見つかりません");
        row("phrases copy 挨拶 夕方", "",
            "1 norvale: フォルダ「挨拶」に定型文「夕方」が見つかりません");
    }

    void copies()
    {
        QFETCH(QString, line);
        Instance instance(m_registry, {}, phraseStore());
        instance.history.setItems({textItem(QStringLiteral("newer"), 2), textItem("older", 1)});
        const CommandResult result = ClientRun(instance, line.toUtf8().constData()).finish();
        const QByteArray printed =
            result.exitCode == 0 ? result.standardOutput : result.standardError;
        QTEST(
            QString(QString::number(result.exitCode) + u' ' + QString::fromUtf8(printed)).trimmed(),
            "printed");
        QTEST(instance.pasteboard.string(PasteboardType::string).value_or(QString()), "copied");
    }

    // Feature switches and settings from the command line, on two connected outputs (the
    // speakers the default) and one mouse: the commands of a row run in turn; the last one's
    // exit status and output (for status, its mouse line) are checked, then the facts after
    // it: "output" the default output, else a stored key and its value.
    void featureCommands_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("facts");
        const auto row = [](const char* lines, const char* printed, const char* facts) {
            QTest::newRow(lines) << lines << QString::fromUtf8(printed) << facts;
        };
        row("sound priority 2 hs;sound enable", "0 出力先を Headset に切り替えました", "output=hs");
        row("sound enable;sound priority 1 hs;sound priority 1 none",
            "0 利用可能な優先デバイスがありません", "output=hs");
        row("dock enable;dock disable", "0 Dock移動抑止: オフ", "output=spk");
        row("sound priority 6 hs", "2 the slot is a number from 1 to 5", "output=spk");
        row("mouse set wheel 25", "0 wheel\t20", "feature.mouse.wheelSpeedLevel=20");
        row("mouse set cursor-speed 0", "0 cursor-speed\t1", "feature.mouse.cursorSpeedLevel=1");
        row("mouse set acceleration -3", "0 acceleration\t0",
            "feature.mouse.cursorAccelerationLevel=0");
        row("mouse set speed 3", "2 the setting is wheel, cursor-speed or acceleration",
            "feature.mouse.wheelSpeedLevel=5");
        row("status", "0 mouseAdjustment\toff\tマウス調整: オフ",
            "feature.mouse.mouseAdjustmentEnabled=false");
        row("mouse enable", "0 選択中: G Pro / Logitech (VID:0x46d, PID:0xc092, USB)",
            "feature.mouse.selectedDeviceID=1133:49298:20");
        row("mouse enable;mouse disable;status",
            "0 mouseAdjustment\toff\tマウス調整を無効化しました",
            "feature.mouse.mouseAdjustmentEnabled=false");
        row("mouse devices",
            "0 1133:49298:20\tG Pro / Logitech (VID:0x46d, PID:0xc092, USB)\tselected",
            "feature.mouse.mouseAdjustmentEnabled=false");
        row("sound priority 2 spk;sound devices --json",
            "0 [\n  {\n    \"id\" : \"hs\",\n    \"name\" : \"Headset\",\n"
            "    \"isAvailable\" : true,\n    \"current\" : false\n  },\n  {\n"
            "    \"id\" : \"spk\",\n    \"name\" : \"Speakers\",\n"
            "    \"isAvailable\" : true,\n    \"slot\" : 2,\n    \"current\" : true\n  }\n]",
            "output=spk");
    }

    void featureCommands()
    {
        QFETCH(QString, lines);
        QFETCH(QString, facts);
        Instance instance(m_registry);
        instance.sound.plug(
            SimSoundSystem::output(QStringLiteral("spk"), QStringLiteral("Speakers")));
        instance.sound.plug(
            SimSoundSystem::output(QStringLiteral("hs"), QStringLiteral("Headset")));
        instance.sound.chooseDefaultByHand(QStringLiteral("spk"));
        instance.scriptMouse();
        CommandResult result;
        for (const QString& line : lines.split(QLatin1Char(';'))) {
            result = ClientRun(instance, line.toUtf8().constData()).finish([&instance] {
                instance.h.drain();
            });
        }
        QByteArray printed = result.exitCode == 0 ? result.standardOutput : result.standardError;
        if (lines.endsWith(QLatin1String("status"))) {
            printed = printed.mid(printed.indexOf("mouseAdjustment")).split('\n').first();
        }
        QTEST(
            QString(QString::number(result.exitCode) + u' ' + QString::fromUtf8(printed)).trimmed(),
            "printed");
        const QString key = facts.section(QLatin1Char('='), 0, 0);
        QCOMPARE(key == QLatin1String("output")
                ? instance.sound.defaultOutputDeviceIdentifier().value_or(QString())
                : ConfigCommands::formatValue(instance.defaults.value(key)),
            facts.section(QLatin1Char('='), 1));
    }

    // update check answers once the instance's check has ended, with its error on failure.
    void updateCheckAnswersWithTheOutcome()
    {
        Instance instance(m_registry);
        instance.defaults.set(SoftwareUpdaterModel::feedURLKey,
            QStringLiteral("http://updates.example.org/appcast.xml"));
        const CommandResult result = ClientRun(instance, "update check").finish();
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(QString::fromUtf8(result.standardError),
            QStringLiteral(
                "HTTPSでないアドレスには接続しません: http://updates.example.org/appcast.xml\n"));
    }

    // A phrase copied from the command line is never recorded, whichever change checks follow
    // and whatever capture was under way; the next copy by another application is. Steps:
    // "copy X" (another application, silent), "phrase", "notify", "deliver" (posted checks
    // run), "wait S" (seconds), "run" (every capture to its end).
    void aCopiedPhraseIsNotRecorded_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("checks after the copy")
            << "phrase, notify, deliver, notify, wait 2.25, run, copy B, notify, run";
        QTest::newRow("a capture under way")
            << "copy A, notify, deliver, phrase, run, wait 0.76, run, copy B, wait 0.76, run";
        QTest::newRow("a change waiting behind a capture")
            << "copy A, notify, deliver, copy C, notify, deliver, phrase, notify, run, copy B, "
               "notify, run";
    }

    void aCopiedPhraseIsNotRecorded()
    {
        QFETCH(QString, steps);
        Instance instance(m_registry, {}, phraseStore());
        for (const QString& step : steps.split(QStringLiteral(", "))) {
            const QString argument = step.section(QLatin1Char(' '), 1);
            if (step.startsWith(QLatin1String("copy"))) {
                instance.pasteboard.setText(argument);
            } else if (step == QLatin1String("phrase")) {
                QCOMPARE(ClientRun(instance, "phrases copy 挨拶 朝").finish().exitCode, 0);
            } else if (step == QLatin1String("notify")) {
                instance.pasteboard.notifyChanged();
            } else if (step == QLatin1String("deliver")) {
                instance.h.scheduler.runPending();
            } else if (step.startsWith(QLatin1String("wait"))) {
                instance.h.scheduler.advance(argument.toDouble());
            } else {
                instance.h.drain();
            }
        }
        QCOMPARE(instance.history.items().size(), 1);
        QCOMPARE(instance.history.items().first().text, QStringLiteral("B"));
    }

    // Stores that could not be read start empty in silence; status says where they went, and
    // what the shell cannot do.
    void statusNamesKeptAsideStores()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept it as")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("kept it as")));
        Instance instance(m_registry, "not json");
        instance.shellWarnings = {QStringLiteral("no shortcuts here")};
        const QStringList lines =
            QString::fromUtf8(ClientRun(instance, "status").finish().standardOutput)
                .split(QLatin1Char('\n'));
        const QString folder = instance.h.folderPath();
        for (const QString& name :
            {QStringLiteral("ClipboardHistory.json"), QStringLiteral("FixedPhrases.json")}) {
            const QStringList aside =
                QDir(folder).entryList({name + QStringLiteral(".unreadable-*")}, QDir::Files);
            QCOMPARE(aside.size(), 1);
            QVERIFY2(
                lines.contains(QStringLiteral("warning\tcould not read %1/%2; kept it as %1/%3")
                                   .arg(folder, name, aside.first())),
                qPrintable(lines.join(QLatin1Char('|'))));
        }
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("warning\tno shortcuts here"));
    }

    // An instance that goes away before its handler has answered ends the client's wait at
    // once; the late answer goes nowhere. (Answers that come later while the instance serves
    // others: the phrase transfers and the large listings.)
    void anInstanceGoingAwayEndsTheWait()
    {
        Instance instance(m_registry);
        std::optional<CommandReply> held;
        instance.handler = [&held](const InstanceRequest&, const CommandReply& r) {
            held = r;
        };
        ClientRun abandoned(instance, "show");
        QTRY_VERIFY(held.has_value());
        instance.server.close();
        QCOMPARE(abandoned.finish().standardError,
            QByteArray("norvale: Norvale quit before it answered\n"));
        QVERIFY(!held->isAwaited());
        (*held)(CommandResult::output(QStringLiteral("goes nowhere")));
    }

    // A crowd of large listings: two are built off the main thread at a time, each holding its
    // turn until it has been sent, while the others wait and `status` is answered at once.
    void parallelLargeListings()
    {
        Instance instance(m_registry);
        QList<ClipboardHistoryItem> items(20, textItem(QString(100 * 1024, u'a'), 1));
        instance.history.setItems(items);
        int received = 0;
        instance.handler = [&received, serve = instance.handler](auto& r, auto& reply) {
            ++received, serve(r, reply);
        };
        std::vector<std::unique_ptr<ClientRun>> listings(8);
        std::generate(listings.begin(), listings.end(),
            [&instance] { return std::make_unique<ClientRun>(instance, "history list --json"); });
        QTRY_COMPARE(received, 8);
        ManualExecutor& builds = instance.h.executor;
        QCOMPARE(builds.pendingCount(), 2);
        QCOMPARE(ClientRun(instance, "status").finish().exitCode, 0);

        // A built listing is sent in pieces; the next build waits until it has all gone.
        builds.runJob();
        instance.h.scheduler.runPending();
        QCOMPARE(builds.pendingCount(), 1);
        QTRY_COMPARE(builds.pendingCount(), 2);
        const QByteArray expected = HistoryCommands::formatList(items, QString(), true);
        for (const auto& listing : listings) {
            QCOMPARE(listing->finish([&instance] { instance.h.drain(); }).standardOutput, expected);
        }
    }

    // What the socket withstands: an oversized request, refused without reaching a handler; a
    // second server, which does not take the socket; a full listen backlog, where a client waits
    // for a free connection within its time-out and then says so, and a hundred are answered.
    void socketUnderStrain()
    {
        Instance instance(m_registry);
        const QString path = instance.runtime.paths.socketPath;
        QLocalSocket socket;
        socket.connectToServer(path);
        QVERIFY(socket.waitForConnected(1000));
        socket.write("NVQ1" + QByteArray::fromHex("7fffffff") + QByteArray(1000, 'x'));
        QByteArray oversized;
        QTRY_VERIFY(
            (oversized += socket.readAll(), InstanceProtocol::replyFrameLength(oversized) > 0));
        QCOMPARE(InstanceProtocol::decodeReply(oversized)->standardError,
            QByteArray("Norvale could not read the request\n"));
        sockaddr_un address {AF_UNIX, {}};
        std::memcpy(address.sun_path, QFile::encodeName(path).constData(), size_t(path.size()));
        std::vector<int> queued {::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0)};
        while (
            ::connect(queued.back(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            queued.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
        }
        CommandResult reply;
        QString error;
        InstanceClient::send(path, {words("phrases status"), {}}, &reply, &error, 300);
        QCOMPARE(error, QStringLiteral("Norvale is busy: no connection was free within 0.3 s"));
        std::vector<std::unique_ptr<ClientRun>> clients(100);
        std::generate(clients.begin(), clients.end(),
            [&instance] { return std::make_unique<ClientRun>(instance, "phrases status"); });
        for (const auto& client : clients) {
            QCOMPARE(client->finish().standardOutput, QByteArray("idle\t\n"));
        }
        std::for_each(queued.begin(), queued.end(), ::close);
    }

    // Import and export run in the instance and answer with the final status line, one at a
    // time; a client that leaves stops neither the transfer nor the instance, and the
    // transfer's slot is free again once it has ended.
    void phraseTransfersThroughTheInstance()
    {
        Instance instance(m_registry);
        instance.h.csv(QStringLiteral("in.csv"), "A,,t,c\n");
        const QString directory = instance.h.dir.path();

        ClientRun import(instance, "phrases import in.csv", directory);
        QTRY_VERIFY(instance.phrases.isFileTransferInProgress());
        QCOMPARE(ClientRun(instance, "phrases export out.csv").finish().standardError,
            QByteArray("norvale: a phrase import or export is already running; the request was "
                       "ignored\n"));
        QCOMPARE(import.finish([&instance] { instance.h.drain(); }).standardOutput,
            QStringLiteral("定型文を読み込みました\n").toUtf8());

        QLocalSocket leaving;
        leaving.connectToServer(instance.runtime.paths.socketPath);
        QVERIFY(leaving.waitForConnected(1000));
        leaving.write(
            InstanceProtocol::encodeRequest({words("phrases export out.csv"), directory}));
        QTRY_VERIFY(instance.phrases.isFileTransferInProgress());
        leaving.abort();
        QTRY_VERIFY(instance.server.findChildren<QLocalSocket*>().isEmpty());
        instance.h.drain();
        QCOMPARE(instance.h.status(), QStringLiteral("定型文を書き出しました"));
        const CommandResult failed =
            ClientRun(instance, "phrases import none.csv", directory).finish([&instance] {
                instance.h.drain();
            });
        QCOMPARE(failed.exitCode, CommandExit::failure);
        QVERIFY(failed.standardError.startsWith("定型文を読み込めませんでした: "));
    }
};

NORVALE_TEST_CLASS(CommandLineTest)
#include "tst_commandline.moc"
