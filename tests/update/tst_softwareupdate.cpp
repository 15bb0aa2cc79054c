#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "settings/SoftwareUpdateDialog.h"
#include "update/NetworkSoftwareUpdateBackend.h"
#include "update/SoftwareUpdateVersion.h"
#include "update/SoftwareUpdaterModel.h"

#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <sodium.h>

namespace {

// python3's http.server on a free loopback port, serving a temporary folder.
class LocalHttpServer final
{
public:
    bool start()
    {
        m_process.start(QStringLiteral("python3"),
            {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                QStringLiteral("--directory"), m_root.path(), QStringLiteral("0")});
        const QRegularExpression serving(QStringLiteral("port (\\d+)"));
        QByteArray output;
        while (m_process.waitForReadyRead(10000)) {
            output += m_process.readAllStandardOutput();
            const auto match = serving.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                m_port = match.captured(1).toInt();
                return true;
            }
        }
        return false;
    }
    ~LocalHttpServer()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    QString path(const QString& name) const { return m_root.filePath(name); }
    QUrl url(const QString& name) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(name));
    }

private:
    QTemporaryDir m_root;
    QProcess m_process;
    int m_port = 0;
};

struct KeyPair
{
    QByteArray publicKey = QByteArray(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secretKey = QByteArray(crypto_sign_SECRETKEYBYTES, '\0');

    KeyPair()
    {
        if (sodium_init() < 0) {
            qFatal("libsodium cannot start");
        }
        crypto_sign_keypair(reinterpret_cast<unsigned char*>(publicKey.data()),
            reinterpret_cast<unsigned char*>(secretKey.data()));
    }
    QByteArray sign(const QByteArray& bytes) const
    {
        QByteArray signature(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
            reinterpret_cast<const unsigned char*>(bytes.constData()),
            static_cast<unsigned long long>(bytes.size()),
            reinterpret_cast<const unsigned char*>(secretKey.constData()));
        return signature;
    }
};

QByteArray appcast(const QString& version, const QUrl& enclosure, qint64 length,
    const QByteArray& signature, const QUrl& notes)
{
    return QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<rss version=\"2.0\" "
        "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">\n"
        "  <channel>\n"
        "    <title>Norvale</title>\n"
        "    <item>\n"
        "      <title>Old</title>\n"
        "      <sparkle:version>0.0.1</sparkle:version>\n"
        "      <enclosure url=\"%2\" length=\"1\" sparkle:edSignature=\"AAAA\"/>\n"
        "    </item>\n"
        "    <item>\n"
        "      <title>Release</title>\n"
        "      <sparkle:version>%1</sparkle:version>\n"
        "      <sparkle:shortVersionString>%1 (beta)</sparkle:shortVersionString>\n"
        "      <sparkle:releaseNotesLink>%5</sparkle:releaseNotesLink>\n"
        "      <enclosure url=\"%2\" length=\"%3\" type=\"application/octet-stream\" "
        "sparkle:edSignature=\"%4\"/>\n"
        "    </item>\n"
        "  </channel>\n"
        "</rss>\n")
        .arg(version, enclosure.toString(), QString::number(length),
            QString::fromLatin1(signature.toBase64()), notes.toString())
        .toUtf8();
}

SoftwareUpdaterModel::Configuration running(bool started = true)
{
    SoftwareUpdaterModel::Configuration configuration;
    configuration.startingUpdater = started;
    configuration.version = QStringLiteral("0.1.0");
    return configuration;
}

// Finishes every check with "up to date" on the next turn of mock time, counting checks.
class ScriptedBackend final : public SoftwareUpdateBackend
{
public:
    explicit ScriptedBackend(Scheduler& scheduler)
        : m_scheduler(scheduler)
    { }
    void check(const QUrl&, const QString&, Callbacks callbacks) override
    {
        checkTimes.append(m_scheduler.uptime());
        m_scheduler.post([done = callbacks.finished] {
            SoftwareUpdateOutcome outcome;
            outcome.kind = SoftwareUpdateOutcome::Kind::UpToDate;
            outcome.feedRead = true;
            done(outcome);
        });
    }
    void cancel() override { }

    QList<double> checkTimes;

private:
    Scheduler& m_scheduler;
};

} // namespace

class SoftwareUpdateTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::newRow("numbers by value") << "1.2"
                                          << "1.10" << -1;
        QTest::newRow("trailing zero") << "1.2"
                                       << "1.2.0" << 0;
        QTest::newRow("beta before release") << "1.2b1"
                                             << "1.2" << -1;
        QTest::newRow("beta of x.0 before release") << "1.2.0b1"
                                                    << "1.2" << -1;
        QTest::newRow("betas by number") << "1.2b2"
                                         << "1.2b10" << -1;
        QTest::newRow("beta before rc") << "1.2b3"
                                        << "1.2rc1" << -1;
        QTest::newRow("patch after release") << "1.2"
                                             << "1.2.1" << -1;
        QTest::newRow("patch after beta") << "1.2.1"
                                          << "1.2b5" << 1;
        QTest::newRow("leading zeros") << "1.02"
                                       << "1.2" << 0;
        QTest::newRow("long numbers") << "1.20261207000000000001"
                                      << "1.20261207000000000002" << -1;
        QTest::newRow("space separates") << "1.2 1"
                                         << "1.2.1" << 0;
    }
    void versionOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(SoftwareUpdateVersion::compare(a, b), order);
        QCOMPARE(SoftwareUpdateVersion::compare(b, a), -order);
    }

    void check_data()
    {
        QTest::addColumn<QString>("feedVersion");
        QTest::addColumn<QString>("breakage");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("dated");

        const QString up = QStringLiteral("最新です");
        QTest::newRow("newer") << "0.2.0"
                               << ""
                               << "新しいバージョン 0.2.0 (beta) をダウンロードして検証しました: "
                               << true;
        QTest::newRow("same") << "0.1.0"
                              << "" << up << true;
        QTest::newRow("older") << "0.0.9"
                               << "" << up << true;
        QTest::newRow("wrong signature") << "0.2.0"
                                         << "signature"
                                         << "ダウンロードした更新の署名が正しくありません" << true;
        QTest::newRow("length too short")
            << "0.2.0"
            << "length-1"
            << "ダウンロードした更新のサイズがフィードと一致しません" << true;
        QTest::newRow("length too long")
            << "0.2.0"
            << "length+1"
            << "ダウンロードした更新のサイズがフィードと一致しません" << true;
        QTest::newRow("malformed feed") << "0.2.0"
                                        << "malformed"
                                        << "更新フィードを読み取れませんでした: " << false;
        QTest::newRow("feed over 1 MiB") << "0.2.0"
                                         << "huge"
                                         << "アップデートを確認できませんでした: "
                                            "サーバーからの応答が1 MiBを超えたため拒否しました"
                                         << false;
        QTest::newRow("unreachable server") << "0.2.0"
                                            << "unreachable"
                                            << "アップデートを確認できませんでした: " << false;
        QTest::newRow("redirect to http")
            << "0.2.0"
            << "redirect"
            << "アップデートを確認できませんでした: HTTPS以外へのリダイレクトは拒否しました: "
               "http://127.0.0.1:"
            << false;
        QTest::newRow("plain http elsewhere")
            << "0.2.0"
            << "remote"
            << "HTTPSでないアドレスには接続しません: http://updates.example.org/appcast.xml"
            << false;
    }
    // A whole check through the model and the network backend against a real HTTP server.
    void check()
    {
        QFETCH(QString, feedVersion);
        QFETCH(QString, breakage);
        QFETCH(QString, status);
        QFETCH(bool, dated);

        LocalHttpServer server;
        QVERIFY(server.start());
        const KeyPair keys;
        const QByteArray package = QByteArray("norvale package ").repeated(4096);
        QVERIFY(writeFile(server.path(QStringLiteral("norvale-0.2.0.deb")), package));
        QVERIFY(writeFile(server.path(QStringLiteral("notes.txt")), "<b>新機能</b>"));
        const qint64 length = package.size() +
            (breakage == QStringLiteral("length+1")          ? 1
                    : breakage == QStringLiteral("length-1") ? -1
                                                             : 0);
        const QByteArray signature =
            keys.sign(breakage == QStringLiteral("signature") ? package + "x" : package);
        QByteArray feed = appcast(feedVersion, server.url(QStringLiteral("norvale-0.2.0.deb")),
            length, signature, server.url(QStringLiteral("notes.txt")));
        if (breakage == QStringLiteral("malformed")) {
            feed.chop(20);
        } else if (breakage == QStringLiteral("huge")) {
            feed.append(QByteArray(1024 * 1024, ' '));
        }
        QVERIFY(writeFile(server.path(QStringLiteral("feed/appcast.xml")), feed));
        QUrl feedURL = server.url(QStringLiteral("feed/appcast.xml"));
        if (breakage == QStringLiteral("redirect")) {
            feedURL = server.url(QStringLiteral("feed")); // answered by a redirect to "feed/"
        } else if (breakage == QStringLiteral("unreachable")) {
            feedURL.setPort(1);
        } else if (breakage == QStringLiteral("remote")) {
            feedURL = QUrl(QStringLiteral("http://updates.example.org/appcast.xml"));
        }

        QTemporaryDir cache;
        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        defaults.set(SoftwareUpdaterModel::feedURLKey, feedURL.toString());
        NetworkSoftwareUpdateBackend backend(cache.path(), keys.publicKey);
        SoftwareUpdaterModel model(backend, defaults, scheduler, running());
        QSignalSpy canCheck(&model, &SoftwareUpdaterModel::canCheckForUpdatesChanged);
        QSignalSpy finished(&model, &SoftwareUpdaterModel::checkFinished);
        QVERIFY(model.canCheckForUpdates());
        // No network stack before the first check asks for it.
        QVERIFY(!backend.findChild<QNetworkAccessManager*>());
        QVERIFY(model.checkForUpdates());
        QVERIFY(!model.canCheckForUpdates());
        QVERIFY(!model.checkForUpdates()); // one at a time
        QVERIFY(finished.wait(20000));
        QTRY_VERIFY(!backend.findChild<QNetworkAccessManager*>()); // nor after the check

        QCOMPARE(canCheck, (QList<QVariantList> {{false}, {true}}));
        QVERIFY2(model.statusMessage().value_or(QString()).startsWith(status),
            qPrintable(model.statusMessage().value_or(QStringLiteral("<none>"))));
        const auto outcome = finished.first().first().value<SoftwareUpdateOutcome>();
        QStringList left = QDir(cache.path()).entryList(QDir::Files);
        if (outcome.kind == SoftwareUpdateOutcome::Kind::UpdateReady) {
            QCOMPARE(left, QStringList {QStringLiteral("norvale-0.2.0.deb")});
            QCOMPARE(readFile(outcome.filePath), package);
            QVERIFY(model.statusMessage()->endsWith(outcome.filePath));
            QCOMPARE(outcome.releaseNotes, QStringLiteral("<b>新機能</b>"));
            SoftwareUpdateDialog dialog(model);
            QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("installUpdateButton"))
                        ->isVisibleTo(&dialog));
            // The notes' markup is shown as text, never interpreted.
            QCOMPARE(
                dialog.findChild<QPlainTextEdit*>(QStringLiteral("releaseNotes"))->toPlainText(),
                QStringLiteral("新機能"));
            QVERIFY(dialog.grab().save(QStringLiteral(QT_TESTCASE_BUILDDIR "/update-dialog.png")));
        } else {
            QCOMPARE(left, QStringList()); // nothing unverified stays behind
        }
        // The date of a check that read the feed, kept for the next launch.
        const QString expectedDate = dated ? QStringLiteral("2026-01-01T09:00:00Z") : QString();
        QCOMPARE(
            defaults.stringValue(SoftwareUpdaterModel::lastUpdateCheckDateKey).value_or(QString()),
            expectedDate);
        SoftwareUpdaterModel relaunched(backend, defaults, scheduler, running());
        QCOMPARE(relaunched.lastUpdateCheckDate().has_value(), dated);
    }

    void disabledByEnvironment_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("starts");
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("0") << QByteArray("0") << false;
        QTest::newRow("absent") << QByteArray() << true;
    }
    void disabledByEnvironment()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, starts);
        const char* name = "NORVALE_DISABLE_SOFTWARE_UPDATES";
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
        const bool startsUpdater = SoftwareUpdaterModel::startsUpdater();
        qunsetenv(name);
        QCOMPARE(startsUpdater, starts);

        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        defaults.set(SoftwareUpdaterModel::automaticallyChecksKey, true); // not the first launch
        ScriptedBackend backend(scheduler);
        SoftwareUpdaterModel model(backend, defaults, scheduler, running(startsUpdater));
        QCOMPARE(model.canCheckForUpdates(), starts);
        QCOMPARE(model.checkForUpdates(), starts);
        scheduler.advance(3 * 86400);
        QCOMPARE(backend.checkTimes.isEmpty(), !starts);
    }

    void automaticChecks_data()
    {
        QTest::addColumn<bool>("firstLaunch");
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<double>("hoursSinceLastCheck"); // NaN: never checked
        QTest::addColumn<QList<double>>("checkHours"); // within the first 50 hours

        const double never = std::nan("");
        QTest::newRow("first launch") << true << true << never << QList<double> {};
        QTest::newRow("never checked") << false << true << never << QList<double> {0, 24, 48};
        QTest::newRow("checked 2 h ago") << false << true << 2.0 << QList<double> {22, 46};
        QTest::newRow("checked 3 days ago") << false << true << 72.0 << QList<double> {0, 24, 48};
        QTest::newRow("clock set back") << false << true << -5.0 << QList<double> {24, 48};
        QTest::newRow("switched off") << false << false << 30.0 << QList<double> {};
    }
    void automaticChecks()
    {
        QFETCH(bool, firstLaunch);
        QFETCH(bool, automatic);
        QFETCH(double, hoursSinceLastCheck);
        QFETCH(QList<double>, checkHours);

        ManualScheduler scheduler;
        MemoryDefaultsStore defaults;
        if (!firstLaunch) {
            defaults.set(SoftwareUpdaterModel::automaticallyChecksKey, automatic);
        }
        if (!std::isnan(hoursSinceLastCheck)) {
            defaults.set(SoftwareUpdaterModel::lastUpdateCheckDateKey,
                scheduler.now()
                    .addSecs(qint64(-hoursSinceLastCheck * 3600))
                    .toUTC()
                    .toString(Qt::ISODate));
        }
        ScriptedBackend backend(scheduler);
        SoftwareUpdaterModel model(backend, defaults, scheduler, running());
        scheduler.advance(50 * 3600);
        QList<double> hours;
        for (double seconds : backend.checkTimes) {
            hours.append(seconds / 3600);
        }
        QCOMPARE(hours, checkHours);
    }
};

NORVALE_TEST_CLASS(SoftwareUpdateTest)
#include "tst_softwareupdate.moc"
