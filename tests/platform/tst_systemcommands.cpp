#include "common/TestMain.h"
#include "platform/SystemCommands.h"
#include "platform/linux/ProcProcessList.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

Q_DECLARE_METATYPE(SystemCommandResult)
Q_DECLARE_METATYPE(std::optional<ToolOutput>)

namespace {

SystemCommandResult ok(const QString& text)
{
    return SystemCommandResult::success(text);
}

SystemCommandResult failed(const QString& output, const QString& errorOutput)
{
    return SystemCommandResult::failure(SystemCommandError::nonZeroExit(output, errorOutput));
}

SystemCommandResult runOnCommandExecutor(
    const QString& tool, const QStringList& arguments, std::vector<InProcessCommand> inProcess = {})
{
    ManualScheduler scheduler;
    ManualExecutor executor(scheduler);
    ProcessSystemCommandExecutor runner(executor, std::move(inProcess));
    std::optional<SystemCommandResult> delivered;
    TaskHandle task =
        runner.run(tool, arguments, [&](const SystemCommandResult& result) { delivered = result; });
    executor.runAll();
    if (delivered) {
        return SystemCommandResult::launchFailure(QStringLiteral("delivered on the worker"));
    }
    scheduler.runPending();
    return delivered.value_or(SystemCommandResult::launchFailure(QStringLiteral("nothing")));
}

QMap<qint64, QByteArray> procProcessNamesByID()
{
    QMap<qint64, QByteArray> names;
    const auto processes = ProcProcessList().processes();
    for (const ProcProcessList::Process& process :
        processes.value_or(QList<ProcProcessList::Process>())) {
        names.insert(process.pid, process.name);
    }
    return names;
}

} // namespace

// The real runners against small shell scripts the test writes; each is started by its path,
// without a shell of the runner's own.
class SystemCommandsTest final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    QString writeTool(const QByteArray& body)
    {
        const QString path = m_dir.filePath(QStringLiteral("tool%1").arg(++m_count));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return {};
        }
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    static void compareResult(
        const SystemCommandResult& actual, const SystemCommandResult& expected)
    {
        if (expected.launchError()) {
            // The platform's own wording; only that it is a launch failure is ours.
            QVERIFY(actual.launchError());
            QVERIFY(!actual.errorDescription().isEmpty());
            return;
        }
        QCOMPARE(actual, expected);
        QCOMPARE(actual.errorDescription(), expected.errorDescription());
    }

private Q_SLOTS:
    void runners_data()
    {
        QTest::addColumn<QByteArray>("body"); // empty: a path that does not exist
        QTest::addColumn<SystemCommandResult>("separate");
        QTest::addColumn<SystemCommandResult>("merged");
        QTest::addColumn<QString>("description");

        QTest::newRow("success keeps the trailing newline")
            << QByteArray("printf 'a b\\n'") << ok("a b\n") << ok("a b\n") << QString();
        QTest::newRow("error output on success")
            << QByteArray("printf 'warn' >&2") << ok("") << ok("warn") << QString();
        QTest::newRow("both streams, exit 1")
            << QByteArray("printf 'out '; printf 'err\\n' >&2; exit 1") << failed("out ", "err\n")
            << failed("out err\n", "out err\n") << "err\n";
        QTest::newRow("standard output only, exit 1")
            << QByteArray("printf ' out '; exit 1") << failed(" out ", "")
            << failed(" out ", " out ") << " out ";
        QTest::newRow("nothing printed, exit 1")
            << QByteArray("exit 1") << failed("", "") << failed("", "")
            << QStringLiteral("コマンドが失敗しました");
        QTest::newRow("killed by a signal")
            << QByteArray("printf x; kill -9 $$") << failed("x", "") << failed("x", "x") << "x";
        QTest::newRow("invalid UTF-8, exit 0")
            << QByteArray("printf 'ok\\377\\376'") << ok("") << ok("") << QString();
        QTest::newRow("UTF-8 text")
            << QByteArray("printf '出力先'") << ok("出力先") << ok("出力先") << QString();
        const QString big(300000, QLatin1Char('a'));
        QTest::newRow("both pipes over their capacity")
            << QByteArray("head -c 300000 /dev/zero | tr '\\0' a; "
                          "head -c 300000 /dev/zero | tr '\\0' a >&2")
            << ok(big) << ok(big + big) << QString();
        QTest::newRow("missing executable")
            << QByteArray() << SystemCommandResult::launchFailure({})
            << SystemCommandResult::launchFailure({}) << QString();
    }

    void runners()
    {
        QFETCH(QByteArray, body);
        QFETCH(SystemCommandResult, separate);
        QFETCH(SystemCommandResult, merged);
        QFETCH(QString, description);
        QVERIFY(m_dir.isValid());
        const QString tool =
            body.isEmpty() ? m_dir.filePath(QStringLiteral("missing")) : writeTool(body);
        const QStringList arguments {QStringLiteral("an argument"), QStringLiteral("$HOME")};

        ProcessSystemDefaults defaults;
        const SystemCommandResult direct = defaults.run(tool, arguments);
        compareResult(direct, separate);
        if (!description.isEmpty()) {
            QCOMPARE(direct.errorDescription(), description);
        }

        compareResult(runOnCommandExecutor(tool, arguments), merged);
    }

    // The tool, registered with the arguments "list", prints "real" and exits with 3.
    void inProcessAnswers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<std::optional<ToolOutput>>("answer");
        QTest::addColumn<SystemCommandResult>("result");

        const QStringList list {QStringLiteral("list")};
        QTest::newRow("answered") << list << std::optional(ToolOutput {"a\n"}) << ok("a\n");
        QTest::newRow("failure reads as the tool's")
            << list << std::optional(ToolOutput {"oops", 2}) << failed("oops", "oops");
        QTest::newRow("invalid UTF-8, exit 0")
            << list << std::optional(ToolOutput {"ok\377"}) << ok("");
        QTest::newRow("no answer runs the tool")
            << list << std::optional<ToolOutput>() << failed("real", "real");
        QTest::newRow("other arguments run the tool")
            << QStringList {QStringLiteral("list"), QStringLiteral("-v")}
            << std::optional(ToolOutput {"a"}) << failed("real", "real");
    }

    void inProcessAnswers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(std::optional<ToolOutput>, answer);
        QFETCH(SystemCommandResult, result);
        const QString tool = writeTool("printf real; exit 3");
        QCOMPARE(runOnCommandExecutor(tool, arguments,
                     {{{tool, QStringLiteral("list")},
                         [answer] {
                             return answer;
                         }}}),
            result);
    }

    // Every process alive before and after ps ran must be listed by ps under the same name,
    // and every one ps lists that is still alive afterwards must have been read.
    void processListMatchesPs()
    {
        const QStringList psArguments {QStringLiteral("-axo"), QStringLiteral("comm")};
        const SystemCommandResult listing = runOnCommandExecutor(
            QStringLiteral("/bin/ps"), psArguments, {ProcProcessList::inProcessCommand()});
        const SystemCommandResult ps =
            ProcessSystemDefaults().run(QStringLiteral("/bin/ps"), psArguments);
        QCOMPARE(listing.text().section(QLatin1Char('\n'), 0, 0),
            ps.text().section(QLatin1Char('\n'), 0, 0));

        const QMap<qint64, QByteArray> before = procProcessNamesByID();
        const QString psRows = ProcessSystemDefaults()
                                   .run(QStringLiteral("/bin/ps"),
                                       {QStringLiteral("-axo"), QStringLiteral("pid=,comm=")})
                                   .text();
        const QMap<qint64, QByteArray> after = procProcessNamesByID();
        QMap<qint64, QByteArray> listed;
        for (const QString& row : psRows.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString trimmed = row.trimmed();
            listed.insert(trimmed.section(QLatin1Char(' '), 0, 0).toLongLong(),
                trimmed.section(QLatin1Char(' '), 1).toUtf8());
        }
        QVERIFY(listed.size() > 1);
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (after.value(it.key()) == it.value()) {
                QCOMPARE(listed.value(it.key()), it.value());
            }
        }
        for (auto it = listed.cbegin(); it != listed.cend(); ++it) {
            if (::kill(static_cast<pid_t>(it.key()), 0) == 0 || errno == EPERM) {
                QVERIFY2(after.contains(it.key()), it.value().constData());
            }
        }
    }

    void argumentsReachTheToolUnexpanded()
    {
        const QString tool = writeTool("for a in \"$@\"; do printf '[%s]' \"$a\"; done");
        ProcessSystemDefaults defaults;
        QCOMPARE(defaults
                     .run(tool,
                         {QStringLiteral("a b"), QStringLiteral("$HOME"), QStringLiteral("*"),
                             QStringLiteral("'q'")})
                     .text(),
            QStringLiteral("[a b][$HOME][*]['q']"));
    }

    void hungToolIsStoppedAfterTheTimeOut()
    {
        const QString tool = writeTool("printf started; exec sleep 60");
        ProcessSystemDefaults defaults(0.3);
        QElapsedTimer clock;
        clock.start();
        const SystemCommandResult result = defaults.run(tool, {});
        QVERIFY(result.launchError());
        QVERIFY(clock.elapsed() < 10000);
    }
};

NORVALE_TEST_CLASS(SystemCommandsTest)

#include "tst_systemcommands.moc"
