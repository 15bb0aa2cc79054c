#include "common/TestMain.h"
#include "platform/SystemCommands.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SystemCommandResult)

namespace {

SystemCommandResult ok(const QString& text)
{
    return SystemCommandResult::success(text);
}

SystemCommandResult failed(const QString& output, const QString& errorOutput)
{
    return SystemCommandResult::failure(SystemCommandError::nonZeroExit(output, errorOutput));
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

        ManualScheduler scheduler;
        ManualExecutor executor(scheduler);
        ProcessSystemCommandExecutor asynchronous(executor);
        std::optional<SystemCommandResult> delivered;
        TaskHandle task = asynchronous.run(
            tool, arguments, [&](const SystemCommandResult& result) { delivered = result; });
        QVERIFY(!delivered);
        executor.runAll();
        QVERIFY(!delivered);
        scheduler.runPending();
        QVERIFY(delivered);
        compareResult(*delivered, merged);
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
