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
#include <QLocalServer>
#include <QLocalSocket>
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
    ClipboardHistoryItem item = ClipboardHistoryItem::makeText(
        text, QDateTime(QDate(2026, 3, 1), QTime(10, minute), Qt::UTC));
    return item;
}

QByteArray pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A socket file that nobody listens on, as a killed instance leaves it.
void leaveStaleSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    QVERIFY(QFileInfo::exists(path));
}

} // namespace

class CommandLineTest final : public QObject
{
    Q_OBJECT

private:
    CommandRegistry m_registry;

private Q_SLOTS:
    void initTestCase() { registerApplicationCommands(m_registry); }

    void parsesCommands_data()
    {
        QTest::addColumn<QStringList>("tokens");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("options"); // "name=value;..." sorted
        QTest::newRow("show") << words("show") << words("show") << QStringList() << QString();
        QTest::newRow("history list")
            << words("history list") << words("history list") << QStringList() << QString();
        QTest::newRow("kind and json")
            << words("history list --kind url --json") << words("history list") << QStringList()
            << QStringLiteral("json=;kind=url");
        QTest::newRow("inline value") << words("history list --kind=image") << words("history list")
                                      << QStringList() << QStringLiteral("kind=image");
        QTest::newRow("options before argument")
            << words("history copy 3") << words("history copy") << words("3") << QString();
        QTest::newRow("config set typed")
            << words("config set menu.uiScale 1.25 --type double") << words("config set")
            << words("menu.uiScale 1.25") << QStringLiteral("type=double");
        QTest::newRow("option between arguments")
            << words("config set --type int some.key 5") << words("config set")
            << words("some.key 5") << QStringLiteral("type=int");
        QTest::newRow("negative number is a value")
            << words("config set k -3 --type int") << words("config set") << words("k -3")
            << QStringLiteral("type=int");
        QTest::newRow("double dash ends options")
            << QStringList {QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("k"),
                   QStringLiteral("--"), QStringLiteral("--json")}
            << words("config set") << words("k --json") << QString();
    }

    void parsesCommands()
    {
        QFETCH(QStringList, tokens);
        QFETCH(QStringList, words);
        QFETCH(QStringList, arguments);
        QFETCH(QString, options);
        QString error;
        const auto parsed = m_registry.parse(tokens, &error);
        QVERIFY2(parsed.has_value(), qPrintable(error));
        QVERIFY(!parsed->helpRequested);
        QCOMPARE(parsed->invocation.words, words);
        QCOMPARE(parsed->invocation.arguments, arguments);
        QStringList pairs;
        for (auto it = parsed->invocation.options.cbegin(); it != parsed->invocation.options.cend();
             ++it) {
            pairs.append(it.key() + QLatin1Char('=') + it.value());
        }
        pairs.sort();
        QCOMPARE(pairs.join(QLatin1Char(';')), options);
    }

    void rejectsWrongUsage_data()
    {
        QTest::addColumn<QStringList>("tokens");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown command")
            << words("frobnicate") << QStringLiteral("unknown command 'frobnicate'");
        QTest::newRow("bare group")
            << words("history") << QStringLiteral("'history' needs a sub-command: list, copy");
        QTest::newRow("unknown sub-command")
            << words("history wipe")
            << QStringLiteral("unknown sub-command 'history wipe' (expected one of: list, copy)");
        QTest::newRow("bad kind")
            << words("history list --kind video")
            << QStringLiteral("option '--kind' must be one of text|url|image, not 'video'");
        QTest::newRow("kind without value")
            << words("history list --kind")
            << QStringLiteral("option '--kind' needs a value (KIND)");
        QTest::newRow("kind followed by option")
            << words("history list --kind --json")
            << QStringLiteral("option '--kind' needs a value (KIND)");
        QTest::newRow("flag with value")
            << words("history list --json=yes") << QStringLiteral("option '--json' takes no value");
        QTest::newRow("unknown option")
            << words("history list --all")
            << QStringLiteral("unknown option '--all' for 'history list'");
        QTest::newRow("short option")
            << words("history list -j") << QStringLiteral("unknown option '-j'");
        QTest::newRow("repeated option")
            << words("history list --json --json") << QStringLiteral("option '--json' given twice");
        QTest::newRow("missing index")
            << words("history copy")
            << QStringLiteral("missing <index>\nusage: norvale history copy <index>");
        QTest::newRow("extra argument")
            << words("show now")
            << QStringLiteral("unexpected argument 'now'\nusage: norvale show");
        QTest::newRow("missing value")
            << words("config set k")
            << QStringLiteral("missing <value>\nusage: norvale config set <key> "
                              "<value> [--type bool|int|double|string|data]");
        QTest::newRow("bad type")
            << words("config set k v --type float")
            << QStringLiteral(
                   "option '--type' must be one of bool|int|double|string|data, not 'float'");
        QTest::newRow("nothing") << QStringList() << QStringLiteral("no command given");
    }

    void rejectsWrongUsage()
    {
        QFETCH(QStringList, tokens);
        QFETCH(QString, error);
        QString message;
        QVERIFY(!m_registry.parse(tokens, &message).has_value());
        QCOMPARE(message, error);
    }

    void helpDocumentsEveryCommand()
    {
        const QString help = m_registry.help();
        for (const char* synopsis : {"norvale show", "norvale settings", "norvale quit",
                 "norvale status", "norvale history list [--kind text|url|image] [--json]",
                 "norvale history copy <index>", "norvale config list", "norvale config get <key>",
                 "norvale config set <key> <value> [--type bool|int|double|string|data]"}) {
            QVERIFY2(help.contains(QLatin1String(synopsis)), synopsis);
        }
        QString error;
        const auto parsed = m_registry.parse(words("history copy --help"), &error);
        QVERIFY(parsed && parsed->helpRequested);
        QCOMPARE(parsed->spec->words, words("history copy"));
    }

    void classifiesTheProcess_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<QStringList>("tokens");
        using CommandLine::Mode;
        QTest::newRow("plain start")
            << words("norvale") << int(Mode::Start) << false << QStringList();
        QTest::newRow("simulated start")
            << words("norvale --simulate") << int(Mode::Start) << true << QStringList();
        QTest::newRow("qt options start")
            << words("norvale -platform offscreen") << int(Mode::Start) << false
            << words("-platform offscreen");
        QTest::newRow("help") << words("norvale --help") << int(Mode::Help) << false
                              << words("--help");
        QTest::newRow("command") << words("norvale history list") << int(Mode::Command) << false
                                 << words("history list");
        QTest::newRow("simulated command")
            << words("norvale --simulate status") << int(Mode::Command) << true << words("status");
        QTest::newRow("command help") << words("norvale --help history list") << int(Mode::Command)
                                      << false << words("--help history list");
        QTest::newRow("unknown long option is a command error")
            << words("norvale --version") << int(Mode::Command) << false << words("--version");
        QTest::newRow("unknown word is a command error")
            << words("norvale bogus") << int(Mode::Command) << false << words("bogus");
    }

    void classifiesTheProcess()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(bool, simulated);
        QFETCH(QStringList, tokens);
        const auto classified = CommandLine::classify(arguments, m_registry);
        QCOMPARE(int(classified.mode), mode);
        QCOMPARE(classified.simulated, simulated);
        QCOMPARE(classified.tokens, tokens);
    }

    void configValuesRoundTrip_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<DefaultsValue>("value");
        QTest::addColumn<QString>("printed");
        QTest::newRow("bool true") << "bool"
                                   << "true" << DefaultsValue(true) << "true";
        QTest::newRow("bool no") << "bool"
                                 << "no" << DefaultsValue(false) << "false";
        QTest::newRow("int") << "int"
                             << "-42" << DefaultsValue(qint64(-42)) << "-42";
        QTest::newRow("big int") << "int"
                                 << "9007199254740993" << DefaultsValue(qint64(9007199254740993))
                                 << "9007199254740993";
        QTest::newRow("double") << "double"
                                << "1.25" << DefaultsValue(1.25) << "1.25";
        QTest::newRow("double shortest") << "double"
                                         << "0.1" << DefaultsValue(0.1) << "0.1";
        QTest::newRow("string") << "string"
                                << "日本語 text" << DefaultsValue(QStringLiteral("日本語 text"))
                                << "日本語 text";
        QTest::newRow("data json") << "data"
                                   << R"({"kind":"modifierDoubleTap"})"
                                   << DefaultsValue(QByteArray(R"({"kind":"modifierDoubleTap"})"))
                                   << R"({"kind":"modifierDoubleTap"})";
        QTest::newRow("data utf8")
            << "data"
            << "定型文" << DefaultsValue(QStringLiteral("定型文").toUtf8()) << "定型文";
    }

    void configValuesRoundTrip()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(DefaultsValue, value);
        QFETCH(QString, printed);
        QString error;
        const auto parsed = ConfigCommands::parseValue(text, type, &error);
        QVERIFY2(parsed.has_value(), qPrintable(error));
        QCOMPARE(*parsed, value);
        QCOMPARE(ConfigCommands::formatValue(*parsed), printed);
    }

    void configRejectsBadValues_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("bool") << "bool"
                              << "maybe";
        QTest::newRow("int fraction") << "int"
                                      << "1.5";
        QTest::newRow("int words") << "int"
                                   << "ten";
        QTest::newRow("double words") << "double"
                                      << "one";
        QTest::newRow("double infinity") << "double"
                                         << "inf";
        QTest::newRow("double nan") << "double"
                                    << "nan";
    }

    void configRejectsBadValues()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QString error;
        QVERIFY(!ConfigCommands::parseValue(text, type, &error).has_value());
        QVERIFY(!error.isEmpty());
    }

    void binaryDataPrintsAsBase64()
    {
        QCOMPARE(ConfigCommands::formatValue(DefaultsValue(QByteArray("\xff\x00\x01", 3))),
            QStringLiteral("base64:/wAB"));
    }

    void historyListFormats()
    {
        const QByteArray png = pngBytes(4, 3);
        QList<ClipboardHistoryItem> items {textItem(QStringLiteral("first\nline"), 3),
            ClipboardHistoryItem::makeImage(
                png, QDateTime(QDate(2026, 3, 1), QTime(10, 2), Qt::UTC)),
            textItem(QStringLiteral("https://example.com/a"), 1)};
        items[2].kind = ClipboardHistoryKind::Url;

        const QString text =
            QString::fromUtf8(HistoryCommands::formatList(items, QString(), false));
        QCOMPARE(text,
            QStringLiteral("0\ttext\t2026-03-01T10:03:00Z\tfirst line\n"
                           "1\timage\t2026-03-01T10:02:00Z\t4 x 3, %1 bytes\n"
                           "2\turl\t2026-03-01T10:01:00Z\thttps://example.com/a\n")
                .arg(png.size()));

        // The filter keeps the indices of the whole history.
        QCOMPARE(
            QString::fromUtf8(HistoryCommands::formatList(items, QStringLiteral("url"), false)),
            QStringLiteral("2\turl\t2026-03-01T10:01:00Z\thttps://example.com/a\n"));

        const QByteArray json = HistoryCommands::formatList(items, QStringLiteral("image"), true);
        QVERIFY(!json.contains(png.toBase64()));
        const QJsonArray array = QJsonDocument::fromJson(json).array();
        QCOMPARE(array.size(), 1);
        const QJsonObject image = array.first().toObject();
        QCOMPARE(image.value(QStringLiteral("index")).toInt(), 1);
        QCOMPARE(image.value(QStringLiteral("kind")).toString(), QStringLiteral("image"));
        QCOMPARE(image.value(QStringLiteral("imageByteCount")).toInteger(), png.size());
        QVERIFY(!image.contains(QStringLiteral("imageData")));
        QVERIFY(!image.contains(QStringLiteral("text")));
        QCOMPARE(image.value(QStringLiteral("fingerprint")).toString(), items[1].fingerprint);

        const QJsonArray all =
            QJsonDocument::fromJson(HistoryCommands::formatList(items, QString(), true)).array();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all.at(0).toObject().value(QStringLiteral("text")).toString(),
            QStringLiteral("first\nline"));
        QCOMPARE(all.at(0).toObject().value(QStringLiteral("id")).toString(),
            items[0].id.toString(QUuid::WithoutBraces).toUpper());
        QCOMPARE(QString::fromUtf8(HistoryCommands::formatList({}, QString(), true)),
            QStringLiteral("[\n\n]\n"));
    }

    void protocolFramesRoundTrip()
    {
        const InstanceRequest request {
            QStringList {QStringLiteral("history"), QStringLiteral("copy"), QStringLiteral("2")},
            QStringLiteral("/home/user/日本")};
        const QByteArray frame = InstanceProtocol::encodeRequest(request);
        QCOMPARE(InstanceProtocol::requestFrameLength(frame), frame.size());
        QCOMPARE(InstanceProtocol::requestFrameLength(frame.left(frame.size() - 1)), 0);
        QCOMPARE(InstanceProtocol::requestFrameLength(frame.left(3)), 0);
        QCOMPARE(InstanceProtocol::decodeRequest(frame), request);
        QVERIFY(!InstanceProtocol::decodeRequest(frame.left(frame.size() - 1)).has_value());

        QByteArray oversized("NVQ1");
        oversized.append(QByteArray::fromHex("00100000")); // 1 MiB announced
        QCOMPARE(InstanceProtocol::requestFrameLength(oversized), -1);
        QCOMPARE(InstanceProtocol::requestFrameLength(QByteArray("GET / HTTP/1.1")), -1);

        CommandResult result;
        result.exitCode = 3;
        result.standardOutput = "out\n";
        result.standardError = QByteArray("err\0x", 5);
        const QByteArray reply = InstanceProtocol::encodeReply(result);
        QCOMPARE(InstanceProtocol::replyFrameLength(reply), reply.size());
        QCOMPARE(InstanceProtocol::replyFrameLength(reply.left(reply.size() - 2)), 0);
        const auto decoded = InstanceProtocol::decodeReply(reply);
        QVERIFY(decoded.has_value());
        QCOMPARE(decoded->exitCode, 3);
        QCOMPARE(decoded->standardOutput, result.standardOutput);
        QCOMPARE(decoded->standardError, result.standardError);
    }

    void runtimeFolderIsPrivate()
    {
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(
            runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString folder = runtime.filePath(QStringLiteral("norvale"));
        QVERIFY(QDir().mkdir(folder));
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        QVERIFY2(paths.has_value(), qPrintable(error));
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QCOMPARE(paths->socketPath, folder + QStringLiteral("/norvale.sock"));
        QCOMPARE(paths->lockPath, folder + QStringLiteral("/norvale.lock"));
        const auto simulated = InstancePaths::prepare(true, &error, runtime.path());
        QCOMPARE(simulated->socketPath, folder + QStringLiteral("/norvale-sim.sock"));

        // A symbolic link in place of the folder is refused, whatever it points to.
        QTemporaryDir other;
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QFile::link(other.path(), folder));
        QVERIFY(!InstancePaths::prepare(false, &error, runtime.path()).has_value());
        QVERIFY(error.contains(QStringLiteral("not a folder")));
    }

    void staleSocketIsReplaced()
    {
        QTemporaryDir runtime;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        QVERIFY(paths);
        leaveStaleSocket(paths->socketPath);

        InstanceServer server([](const InstanceRequest& request) {
            return CommandResult::output(request.arguments.join(QLatin1Char('+')));
        });
        QCOMPARE(server.listen(paths->socketPath, &error), InstanceServer::ListenResult::Listening);

        // The server answers (served while the client blocks: run the client on a thread).
        CommandResult reply;
        InstanceClient::Outcome outcome = InstanceClient::Outcome::Failed;
        std::unique_ptr<QThread> client(QThread::create([&] {
            outcome = InstanceClient::send(paths->socketPath,
                InstanceRequest {QStringList {QStringLiteral("a"), QStringLiteral("b")}, QString()},
                &reply, &error);
        }));
        client->start();
        QTRY_VERIFY(client->isFinished());
        QCOMPARE(outcome, InstanceClient::Outcome::Replied);
        QCOMPARE(reply.standardOutput, QByteArray("a+b"));

        // A second server finds the first one answering and does not take its socket (a
        // local connect completes in the listen backlog, without the first server's loop).
        InstanceServer second([](const InstanceRequest&) { return CommandResult(); });
        QCOMPARE(second.listen(paths->socketPath, &error),
            InstanceServer::ListenResult::AnotherServerAnswers);
        QVERIFY(!second.isListening());
        QVERIFY(server.isListening());
    }

    void clientReportsNoInstanceOnStaleSocket()
    {
        QTemporaryDir runtime;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        leaveStaleSocket(paths->socketPath);
        CommandResult reply;
        QCOMPARE(InstanceClient::send(paths->socketPath,
                     InstanceRequest {words("status"), QString()}, &reply, &error),
            InstanceClient::Outcome::NotListening);

        MemoryDefaultsStore store;
        CommandLineClient client(m_registry, *paths, [&store] {
            LocalCommandContext context;
            context.defaults = &store;
            return context;
        });
        const CommandResult status = client.run(words("status"), QString());
        QCOMPARE(status.exitCode, CommandExit::noInstance);
        QCOMPARE(status.standardError,
            QByteArray("norvale: Norvale is not running (start it with 'norvale')\n"));
        QVERIFY(status.standardOutput.isEmpty());
    }

    void peerUidIsOurs()
    {
        int fds[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        QCOMPARE(InstanceServer::peerUid(fds[0]), std::optional<uint>(::getuid()));
        ::close(fds[0]);
        ::close(fds[1]);
        QVERIFY(!InstanceServer::peerUid(-1).has_value());
    }

    void oversizedRequestIsDropped()
    {
        QTemporaryDir runtime;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        int handled = 0;
        InstanceServer server([&handled](const InstanceRequest&) {
            ++handled;
            return CommandResult();
        });
        QCOMPARE(server.listen(paths->socketPath, &error), InstanceServer::ListenResult::Listening);

        QLocalSocket socket;
        socket.connectToServer(paths->socketPath);
        QVERIFY(socket.waitForConnected(1000));
        QByteArray frame("NVQ1");
        frame.append(QByteArray::fromHex("7fffffff"));
        frame.append(QByteArray(1000, 'x'));
        socket.write(frame);
        socket.flush();
        QByteArray reply;
        QTRY_VERIFY((reply += socket.readAll(), InstanceProtocol::replyFrameLength(reply) > 0));
        QCOMPARE(handled, 0);
        const auto decoded = InstanceProtocol::decodeReply(reply);
        QVERIFY(decoded.has_value());
        QCOMPARE(decoded->exitCode, CommandExit::usage);
    }

    void configSetIsRefusedWhileAnInstanceRuns()
    {
        QTemporaryDir runtime;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        MemoryDefaultsStore store;
        CommandLineClient client(m_registry, *paths, [&store] {
            LocalCommandContext context;
            context.defaults = &store;
            return context;
        });

        CommandResult set =
            client.run(words("config set menu.uiScale 1.25 --type double"), QString());
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.25));
        // The existing type is kept without --type.
        set = client.run(words("config set menu.uiScale 1.5"), QString());
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.5));
        set = client.run(words("config set new.key 1"), QString());
        QCOMPARE(set.exitCode, CommandExit::usage);
        QVERIFY(!store.contains(QStringLiteral("new.key")));
        set = client.run(words("config set menu.uiScale big"), QString());
        QCOMPARE(set.exitCode, CommandExit::usage);
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.5));

        const CommandResult get = client.run(words("config get menu.uiScale"), QString());
        QCOMPARE(get.standardOutput, QByteArray("1.5\n"));
        const CommandResult missing = client.run(words("config get nothing.here"), QString());
        QCOMPARE(missing.exitCode, CommandExit::failure);
        QCOMPARE(missing.standardError, QByteArray("no value is stored under 'nothing.here'\n"));
        store.set(QStringLiteral("a.flag"), true);
        QCOMPARE(client.run(words("config list"), QString()).standardOutput,
            QByteArray("a.flag\tbool\ttrue\nmenu.uiScale\tdouble\t1.5\n"));

        // An instance holds the lock: config set is refused and changes nothing.
        InstanceGuard instance(*paths);
        QCOMPARE(instance.tryLock(&error), InstanceGuard::LockState::Acquired);
        const CommandResult refused = client.run(words("config set menu.uiScale 1.1"), QString());
        QCOMPARE(refused.exitCode, CommandExit::instanceRunning);
        QVERIFY(refused.standardError.contains("refused while Norvale is running"));
        QCOMPARE(store.value(QStringLiteral("menu.uiScale")), DefaultsValue(1.5));
        // Reading still works.
        QCOMPARE(client.run(words("config get menu.uiScale"), QString()).exitCode, 0);
    }

    void historyListReadsTheFileWithoutAnInstance()
    {
        QTemporaryDir runtime;
        QTemporaryDir data;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        const QList<ClipboardHistoryItem> items {
            textItem(QStringLiteral("https://norvale.example"), 2),
            textItem(QStringLiteral("plain"), 1)};
        QByteArray encoded = ClipboardHistoryStorage::encode(items);
        // Stored as a text before the URL kind existed: listed as the instance would load it.
        encoded.replace("\"kind\" : \"url\"", "\"kind\" : \"text\"");
        const QString file = data.filePath(QStringLiteral("ClipboardHistory.json"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(encoded);
        out.close();

        CommandLineClient client(m_registry, *paths, [&data] {
            LocalCommandContext context;
            context.files.emplace(data.path());
            return context;
        });
        const CommandResult list = client.run(words("history list --kind url"), QString());
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(list.standardOutput,
            QByteArray("0\turl\t2026-03-01T10:02:00Z\thttps://norvale.example\n"));

        // An unreadable file is reported and left exactly where and as it is.
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write("[{\"id\": 1}]");
        out.close();
        const CommandResult bad = client.run(words("history list"), QString());
        QCOMPARE(bad.exitCode, CommandExit::failure);
        QVERIFY(bad.standardError.contains("is not a readable history file"));
        QCOMPARE(QDir(data.path()).entryList(QDir::Files),
            QStringList {QStringLiteral("ClipboardHistory.json")});
        QFile check(file);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("[{\"id\": 1}]"));

        QVERIFY(QFile::remove(file));
        QCOMPARE(client.run(words("history list --json"), QString()).standardOutput,
            QByteArray("[\n\n]\n"));

        // Commands that need the instance say that it does not run.
        const CommandResult copy = client.run(words("history copy 0"), QString());
        QCOMPARE(copy.exitCode, CommandExit::noInstance);
    }

    void clientRouteHoldsTheLockOrAsksTheInstance()
    {
        QTemporaryDir runtime;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        CommandRegistry registry;
        CommandSpec poll;
        poll.words = words("job poll");
        poll.hidden = true;
        poll.inInstance = [](const CommandInvocation&, AppDelegate&) {
            return CommandResult();
        };
        registry.add(poll);
        CommandSpec run;
        run.words = words("job run");
        run.summary = QStringLiteral("A long job.");
        run.route = CommandRoute::Client;
        InstancePaths lockPaths = *paths;
        run.locally = [lockPaths](const CommandInvocation&, LocalCommandContext& context) {
            if (!context.instanceRunning) {
                // Alone: the lock is ours for the whole run, so no instance can start.
                InstanceGuard other(lockPaths);
                QString lockError;
                const bool held =
                    other.tryLock(&lockError) == InstanceGuard::LockState::HeldElsewhere;
                return CommandResult::output(
                    held ? QStringLiteral("alone, locked") : QStringLiteral("alone"));
            }
            const CommandResult answer = context.askInstance(words("job poll"));
            return CommandResult::output(
                QStringLiteral("asked: ") + QString::fromUtf8(answer.standardOutput));
        };
        registry.add(run);
        QVERIFY(!registry.help().contains(QStringLiteral("job poll")));
        QVERIFY(registry.help().contains(QStringLiteral("norvale job run")));

        CommandLineClient client(registry, *paths, [] { return LocalCommandContext(); });
        QCOMPARE(
            client.run(words("job run"), QString()).standardOutput, QByteArray("alone, locked"));

        InstanceGuard instance(*paths);
        QCOMPARE(instance.tryLock(&error), InstanceGuard::LockState::Acquired);
        QStringList received;
        InstanceServer server([&received](const InstanceRequest& request) {
            received = request.arguments;
            return CommandResult::output(QStringLiteral("polled"));
        });
        QCOMPARE(server.listen(paths->socketPath, &error), InstanceServer::ListenResult::Listening);
        CommandResult result;
        std::unique_ptr<QThread> thread(
            QThread::create([&] { result = client.run(words("job run"), QString()); }));
        thread->start();
        QTRY_VERIFY(thread->isFinished());
        QCOMPARE(result.standardOutput, QByteArray("asked: polled"));
        QCOMPARE(received, words("job poll"));
    }

    void secondStartHandsOver()
    {
        QTemporaryDir runtime;
        QString error;
        const auto paths = InstancePaths::prepare(false, &error, runtime.path());
        InstanceGuard first(*paths);
        CommandResult reply;
        QCOMPARE(first.becomePrimaryOrHandOver(
                     InstanceRequest {words("settings"), QString()}, &reply, &error),
            InstanceGuard::StartResult::Primary);
        QStringList received;
        InstanceServer server([&received](const InstanceRequest& request) {
            received = request.arguments;
            return CommandResult::output(QStringLiteral("opened"));
        });
        QCOMPARE(server.listen(paths->socketPath, &error), InstanceServer::ListenResult::Listening);

        InstanceGuard::StartResult result = InstanceGuard::StartResult::Failed;
        std::unique_ptr<QThread> second(QThread::create([&] {
            InstanceGuard guard(*paths);
            QString secondError;
            result = guard.becomePrimaryOrHandOver(
                InstanceRequest {words("settings"), QString()}, &reply, &secondError);
        }));
        second->start();
        QTRY_VERIFY(second->isFinished());
        QCOMPARE(result, InstanceGuard::StartResult::HandedOver);
        QCOMPARE(received, words("settings"));
        QCOMPARE(reply.standardOutput, QByteArray("opened"));

        // Once the first instance has gone (its lock released), the next start is primary
        // again even though the socket file is still there.
        server.close();
        first.unlock();
        leaveStaleSocket(paths->socketPath);
        InstanceGuard third(*paths);
        QCOMPARE(third.becomePrimaryOrHandOver(
                     InstanceRequest {words("settings"), QString()}, &reply, &error),
            InstanceGuard::StartResult::Primary);
        InstanceServer thirdServer([](const InstanceRequest&) { return CommandResult(); });
        QCOMPARE(
            thirdServer.listen(paths->socketPath, &error), InstanceServer::ListenResult::Listening);
    }
};

NORVALE_TEST_CLASS(CommandLineTest)
#include "tst_commandline.moc"
