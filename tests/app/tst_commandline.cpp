#include "app/ApplicationCommands.h"
#include "app/CommandLineClient.h"
#include "app/CommandRegistry.h"
#include "app/InstanceChannel.h"
#include "clipboard/ClipboardHistoryItem.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "common/TestMain.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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

QByteArray contentsOf(QFile& file)
{
    file.close();
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs work on a thread while this one serves events (a client blocks until it is answered).
bool finishesOnAThread(std::function<void()> work)
{
    std::unique_ptr<QThread> thread(QThread::create(std::move(work)));
    thread->start();
    return QTest::qWaitFor([&thread] { return thread->isFinished(); }, 10000);
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
        row("kind followed by option", "history list --kind --json",
            "option '--kind' needs a value (KIND)");
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

    void helpShowsEachSynopsis()
    {
        const QString help = m_registry.help();
        QVERIFY(help.contains("norvale history list [--kind text|url|image] [--json]"));
        QVERIFY(
            help.contains("norvale config set <key> <value> [--type bool|int|double|string|data]"));
        QString error;
        const auto parsed = m_registry.parse(words("history copy --help"), &error);
        QVERIFY(parsed && parsed->helpRequested);
        QCOMPARE(parsed->spec->words, words("history copy"));
    }

    void classifiesTheProcess_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<CommandLine::Mode>("mode");
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<QString>("tokens");
        using CommandLine::Mode;
        const auto row = [](const char* name, const char* arguments, Mode mode, bool simulated,
                             const char* tokens) {
            QTest::newRow(name) << QString::fromUtf8(arguments) << mode << simulated
                                << QString::fromUtf8(tokens);
        };
        row("simulated start", "norvale --simulate", Mode::Start, true, "");
        row("qt options start", "norvale -platform offscreen", Mode::Start, false,
            "-platform offscreen");
        row("help", "norvale --help", Mode::Help, false, "--help");
        row("simulated command", "norvale --simulate status", Mode::Command, true, "status");
        row("command help", "norvale --help history list", Mode::Command, false,
            "--help history list");
        row("unknown long option is a command error", "norvale --version", Mode::Command, false,
            "--version");
    }

    void classifiesTheProcess()
    {
        QFETCH(QString, arguments);
        const auto classified =
            CommandLine::classify(words(arguments.toUtf8().constData()), m_registry);
        QTEST(classified.mode, "mode");
        QTEST(classified.simulated, "simulated");
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

    void protocolFramesRoundTrip()
    {
        const InstanceRequest request {
            QStringList {QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("2")},
            QStringLiteral("/home/user/日本")};
        const QByteArray frame = InstanceProtocol::encodeRequest(request);
        QCOMPARE(InstanceProtocol::requestFrameLength(frame), frame.size());
        QCOMPARE(InstanceProtocol::requestFrameLength(frame.chopped(1)), 0);
        QCOMPARE(InstanceProtocol::requestFrameLength(frame.left(3)), 0);
        QCOMPARE(InstanceProtocol::decodeRequest(frame), request);
        // 1 MiB announced, or not a request at all.
        QCOMPARE(
            InstanceProtocol::requestFrameLength("NVQ1" + QByteArray::fromHex("00100000")), -1);
        QCOMPARE(InstanceProtocol::requestFrameLength(QByteArray("GET / HTTP/1.1")), -1);

        // Standard error keeps its bytes, NUL included.
        const QByteArray reply =
            InstanceProtocol::encodeReply({3, "out\n", QByteArray("err\0x", 5), {}});
        QCOMPARE(InstanceProtocol::replyFrameLength(reply), reply.size());
        QCOMPARE(InstanceProtocol::replyFrameLength(reply.chopped(2)), 0);
        const auto decoded = InstanceProtocol::decodeReply(reply).value_or(CommandResult());
        QCOMPARE(std::tuple(decoded.exitCode, decoded.standardOutput, decoded.standardError),
            std::tuple(3, QByteArray("out\n"), QByteArray("err\0x", 5)));
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
    void serverRefusesOversizedRequestsAndKeepsItsSocket()
    {
        Runtime runtime;
        int handled = 0;
        InstanceServer server([&handled](const InstanceRequest&) {
            ++handled;
            return CommandResult();
        });
        QCOMPARE(server.listen(runtime.paths.socketPath, &runtime.error),
            InstanceServer::ListenResult::Listening);

        // Answered as a usage error without reaching the handler.
        QLocalSocket socket;
        socket.connectToServer(runtime.paths.socketPath);
        QVERIFY(socket.waitForConnected(1000));
        socket.write("NVQ1" + QByteArray::fromHex("7fffffff") + QByteArray(1000, 'x'));
        socket.flush();
        QByteArray oversized;
        QTRY_VERIFY(
            (oversized += socket.readAll(), InstanceProtocol::replyFrameLength(oversized) > 0));
        QCOMPARE(handled, 0);
        QCOMPARE(InstanceProtocol::decodeReply(oversized)->exitCode, CommandExit::usage);

        // A second server finds the first one answering and does not take its socket (a
        // local connect completes in the listen backlog, without the first server's loop).
        InstanceServer second([](const InstanceRequest&) { return CommandResult(); });
        QCOMPARE(second.listen(runtime.paths.socketPath, &runtime.error),
            InstanceServer::ListenResult::AnotherServerAnswers);
        QVERIFY(server.isListening());
    }

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
        QCOMPARE(missing.exitCode, CommandExit::failure);
        QCOMPARE(missing.standardError, QByteArray("no value is stored under 'nothing.here'\n"));
        QCOMPARE(run(client, "config list").standardOutput,
            QByteArray("a.flag\tbool\ttrue\nb.data\tdata\tbase64:/wAB\n"
                       "menu.uiScale\tdouble\t1.5\n"));

        // An instance holds the lock: config set is refused and changes nothing; get still runs.
        InstanceGuard instance(runtime.paths);
        QCOMPARE(instance.tryLock(&runtime.error), InstanceGuard::LockState::Acquired);
        const CommandResult refused = run(client, "config set menu.uiScale 1.1");
        QCOMPARE(refused.exitCode, CommandExit::instanceRunning);
        QVERIFY(refused.standardError.contains("refused while Norvale is running"));
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.5));
        QCOMPARE(run(client, "config get menu.uiScale").exitCode, 0);
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
        QCOMPARE(contentsOf(file), QByteArray("[{\"id\": 1}]"));

        QVERIFY(file.remove());
        QCOMPARE(run(client, "history list --json").standardOutput, QByteArray("[\n\n]\n"));
    }

    void clientRouteHoldsTheLockOrAsksTheInstance()
    {
        Runtime runtime;
        CommandRegistry registry;
        CommandSpec job;
        job.words = words("job");
        job.route = CommandRoute::Client;
        job.locally = [paths = runtime.paths](
                          const CommandInvocation&, LocalCommandContext& context) {
            if (!context.instanceRunning) {
                // Alone: the lock is ours for the whole run, so no instance can start.
                QString lockError;
                const bool held = InstanceGuard(paths).tryLock(&lockError) ==
                    InstanceGuard::LockState::HeldElsewhere;
                return CommandResult::output(held ? QStringLiteral("locked") : QString());
            }
            return context.askInstance(words("poll"));
        };
        registry.add(job);
        CommandLineClient client(registry, runtime.paths, [] { return LocalCommandContext(); });
        QCOMPARE(run(client, "job").standardOutput, QByteArray("locked"));

        InstanceGuard instance(runtime.paths);
        QCOMPARE(instance.tryLock(&runtime.error), InstanceGuard::LockState::Acquired);
        InstanceServer server([](const InstanceRequest& request) {
            return CommandResult::output(request.arguments.join(QLatin1Char(' ')));
        });
        QCOMPARE(server.listen(runtime.paths.socketPath, &runtime.error),
            InstanceServer::ListenResult::Listening);
        CommandResult result;
        QVERIFY(finishesOnAThread([&] { result = run(client, "job"); }));
        QCOMPARE(result.standardOutput, QByteArray("poll"));
    }
};

NORVALE_TEST_CLASS(CommandLineTest)
#include "tst_commandline.moc"
