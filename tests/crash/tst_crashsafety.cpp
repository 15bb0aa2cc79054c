// A process killed with SIGKILL at any moment while it saves leaves every store file whole:
// the old content or the new one, never a mix, and a damaged file it found is kept aside,
// never lost; the next start completes a save the kill cut short and leaves no temporary file
// behind. The saves run in a separate process (store-save-driver) through the application's
// own models on real files, the history's images streamed from their spill files; the kill
// comes at a random moment, half of the time aimed at the writes.

#include "CrashStores.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "phrases/FixedPhraseStorage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

// Trials over all rows: NORVALE_CRASH_TRIALS, else at least 200 in CI and a quick 24 locally.
int totalTrials()
{
    bool numeric = false;
    const int asked = qEnvironmentVariableIntValue("NORVALE_CRASH_TRIALS", &numeric);
    if (numeric && asked > 0) {
        return asked;
    }
    return qEnvironmentVariable("CI") == QLatin1String("true") ? 200 : 24;
}

std::optional<QByteArray> contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

struct Store
{
    QString name;
    QByteArray (*bytes)(int generation);
    bool (*parses)(const QString& folder);
};

const Store Stores[] = {
    {QStringLiteral("ClipboardHistory.json"), &CrashStores::historyBytes,
        [](const QString& folder) {
            return ClipboardHistoryStorage(folder).load().status ==
                ClipboardHistoryStorage::LoadStatus::Loaded;
        }},
    {QStringLiteral("FixedPhrases.json"), &CrashStores::phraseBytes,
        [](const QString& folder) {
            return FixedPhraseStorage(QDir(folder).filePath(QStringLiteral("FixedPhrases.json")))
                       .load()
                       .state == FixedPhraseStorage::LoadState::Loaded;
        }},
};

// The one thing a kill may leave besides the stores: Linux cannot link an unnamed temporary
// file over an existing name, so the writer links the finished copy to "<store>.XXXXXX" and
// renames it over the store a moment later. A kill between the two leaves that name holding the
// complete new content, never a partial one; the next start must complete that save. The store
// it belongs to, or -1.
int leftoverOf(const QString& name)
{
    for (int s = 0; s < 2; ++s) {
        if (name.size() == Stores[s].name.size() + 7 &&
            name.startsWith(Stores[s].name + QLatin1Char('.')))
            return s;
    }
    return -1;
}

} // namespace

class CrashSafetyTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedWhileSaving_data();
    void killedWhileSaving();
};

void CrashSafetyTest::killedWhileSaving_data()
{
    QTest::addColumn<int>("damaged"); // index into Stores, -1 for none
    QTest::addColumn<int>("trials");
    const int total = totalTrials();
    QTest::newRow("sound stores") << -1 << total - 2 * (total / 4);
    QTest::newRow("damaged history") << 0 << total / 4;
    QTest::newRow("damaged phrases") << 1 << total / 4;
}

void CrashSafetyTest::killedWhileSaving()
{
    QFETCH(int, damaged);
    QFETCH(int, trials);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString folder = home.filePath(QStringLiteral("Norvale"));
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qInfo("seed %u, %d trials", seed, trials);

    const auto run = [&folder](int generation) {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QStringLiteral(STORE_SAVE_DRIVER));
        process->setArguments({folder, QString::number(generation)});
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start();
        return process;
    };

    // Two uncut saves first, each must write both stores whole. The first one's duration is
    // the window the kills are spread over; the second loads what the first wrote, as every
    // trial does, and the time its writes take is the window of the kills aimed at them.
    QElapsedTimer clock;
    qint64 window = 0;
    qint64 writing = 0;
    for (int uncut = 0; uncut < 2; ++uncut) {
        clock.start();
        auto first = run(1);
        QVERIFY(first->waitForReadyRead(60'000));
        const qint64 loadedAfter = clock.elapsed();
        QVERIFY(first->waitForFinished(60'000));
        window = uncut == 0 ? clock.elapsed() : window;
        writing = clock.elapsed() - loadedAfter;
        QCOMPARE(first->exitCode(), 0);
        for (const Store& store : Stores) {
            QCOMPARE(contents(QDir(folder).filePath(store.name)), store.bytes(1));
        }
    }

    QSet<QByteArray> damage; // every damaged file the test wrote must survive somewhere
    int killed = 0;
    for (int generation = 2; generation <= trials + 1; ++generation) {
        if (damaged >= 0) {
            QByteArray garbage = "{\"damaged\" : " + QByteArray::number(generation) + ", [";
            garbage += QByteArray::number(random.generate64());
            QFile file(QDir(folder).filePath(Stores[damaged].name));
            // A damaged file the last trial died before keeping aside is the test's to replace.
            damage.remove(contents(file.fileName()).value_or(QByteArray()));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(garbage), garbage.size());
            file.close();
            damage.insert(garbage);
        }
        std::optional<QByteArray> before[2];
        for (int s = 0; s < 2; ++s) {
            before[s] = contents(QDir(folder).filePath(Stores[s].name));
        }

        auto process = run(generation);
        // Every other kill waits until the loads are done, so that most land in the writes.
        const bool aimed = generation % 2 == 1;
        if (aimed) {
            QVERIFY(process->waitForReadyRead(60'000));
        }
        const int delay = int(random.bounded(aimed ? writing + 1 : window + 1));
        if (!process->waitForFinished(delay)) {
            process->kill();
            QVERIFY(process->waitForFinished(60'000));
            ++killed;
        } else {
            QCOMPARE(process->exitCode(), 0);
        }

        // A kill between the link and the rename has a window of microseconds: now and then the
        // test leaves a finished save in that state itself.
        for (int s = 0; s < 2; ++s) {
            QFile store(QDir(folder).filePath(Stores[s].name));
            if (!before[s] || random.bounded(4) != 0 ||
                contents(store.fileName()) != Stores[s].bytes(generation)) {
                continue;
            }
            const QString copy = store.fileName() + QStringLiteral(".cutOff");
            QVERIFY(store.rename(copy));
            store.setFileName(QDir(folder).filePath(Stores[s].name));
            QVERIFY(store.open(QIODevice::WriteOnly));
            QCOMPARE(store.write(*before[s]), before[s]->size());
            QVERIFY(store.flush());
            QVERIFY(store.setFileTime(
                QFileInfo(copy).lastModified().addSecs(-1), QFileDevice::FileModificationTime));
            store.close();
        }
        // What the kill left: a finished copy not yet renamed holds the whole new content.
        bool interrupted[2] = {false, false};
        for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
            const int s = leftoverOf(entry.fileName());
            if (s >= 0) {
                QCOMPARE(contents(entry.filePath()), Stores[s].bytes(generation));
                interrupted[s] = true;
            }
        }
        // The next start opens the stores.
        auto start = run(0);
        QVERIFY(start->waitForFinished(60'000));
        QCOMPARE(start->exitCode(), 0);

        for (int s = 0; s < 2; ++s) {
            const Store& store = Stores[s];
            const std::optional<QByteArray> after = contents(QDir(folder).filePath(store.name));
            const QByteArray expected = store.bytes(generation);
            // The save the kill cut short is the user's last one: it must not be lost.
            QVERIFY2(!interrupted[s] || after == expected, qPrintable(store.name));
            if (after == expected) {
                QVERIFY2(store.parses(folder), qPrintable(store.name));
            } else if (s == damaged) {
                // The damaged file is still there, or already moved aside.
                QVERIFY2(!after || after == before[s],
                    qPrintable(store.name + QStringLiteral(" changed in trial ") +
                        QString::number(generation)));
            } else {
                QVERIFY2(after == before[s],
                    qPrintable(store.name + QStringLiteral(" neither old nor new in trial ") +
                        QString::number(generation)));
                QVERIFY(store.parses(folder));
            }
        }
        // Nothing but the stores and the files kept aside: no temporary file is left behind.
        QSet<QByteArray> kept;
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo& entry : entries) {
            const QString name = entry.fileName();
            const bool known = name == Stores[0].name || name == Stores[1].name ||
                (damaged >= 0 && name.startsWith(Stores[damaged].name + ".unreadable-"));
            QVERIFY2(known, qPrintable(QStringLiteral("left behind: ") + name));
            kept.insert(contents(entry.filePath()).value_or(QByteArray()));
        }
        for (const QByteArray& garbage : std::as_const(damage)) {
            QVERIFY2(kept.contains(garbage), garbage.constData());
        }
    }
    qInfo(
        "%d of %d trials killed, window %lld ms (writes %lld ms)", killed, trials, window, writing);
    // Kills that never land would prove nothing.
    QVERIFY(killed * 4 >= trials);
}

QTEST_GUILESS_MAIN(CrashSafetyTest)
#include "tst_crashsafety.moc"
