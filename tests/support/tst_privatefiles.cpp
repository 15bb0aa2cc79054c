#include "common/TestMain.h"
#include "support/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

int modeOf(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return -1;
    }
    return int(info.st_mode & 07777);
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<unreadable>";
    }
    return file.readAll();
}

bool writePlain(const QString& path, const QByteArray& contents, int mode)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents) != contents.size()) {
        return false;
    }
    file.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Makes writes past limit bytes fail with EFBIG for as long as it lives.
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_old;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

enum class Failure
{
    WriterRefuses,
    WriterRefusesAfterWriting,
    WriteErrorIgnoredByWriter,
    SmallWritesPastTheLimit,
};

} // namespace

class PrivateFilesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // The widest umask a user can have: nothing may depend on it.
        m_oldUmask = ::umask(0);
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_dir.reset();
        ::umask(m_oldUmask);
    }

    void ensureDirectoryCreatesPrivateFolder()
    {
        const QString path = m_dir->filePath(QStringLiteral("share/deeper/Norvale"));
        QString error;
        QVERIFY2(PrivateFiles::ensureDirectory(path, &error), qPrintable(error));
        QCOMPARE(modeOf(path), 0700);
        // Calling again on a ready folder is fine.
        QVERIFY(PrivateFiles::ensureDirectory(path));
        QCOMPARE(modeOf(path), 0700);
    }

    void ensureDirectoryTightensExistingFolder()
    {
        const QString path = m_dir->filePath(QStringLiteral("Norvale"));
        QVERIFY(QDir().mkdir(path));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 02777) == 0);
        QVERIFY(PrivateFiles::ensureDirectory(path));
        QCOMPARE(modeOf(path), 0700);
    }

    void ensureDirectoryRefusesAFile()
    {
        const QString path = m_dir->filePath(QStringLiteral("Norvale"));
        QVERIFY(writePlain(path, "x", 0644));
        QString error;
        QVERIFY(!PrivateFiles::ensureDirectory(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(modeOf(path), 0644);
    }

    void writeAtomicallyMakesPrivateFiles()
    {
        const QString folder = m_dir->filePath(QStringLiteral("Norvale"));
        const QString path = folder + QStringLiteral("/ClipboardHistory.json");
        QString error;
        QVERIFY2(
            PrivateFiles::writeAtomically(path, QByteArray("[\n\n]"), &error), qPrintable(error));
        QCOMPARE(contentsOf(path), QByteArray("[\n\n]"));
        QCOMPARE(modeOf(path), 0600);
        QCOMPARE(modeOf(folder), 0700);

        // A replaced file that was readable by others does not pass its mode on.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0);
        QVERIFY(PrivateFiles::writeAtomically(
            path, [](QIODevice& device) { return device.write("new") == 3; }));
        QCOMPARE(contentsOf(path), QByteArray("new"));
        QCOMPARE(modeOf(path), 0600);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("ClipboardHistory.json")});
    }

    void failureLeavesOldFile_data()
    {
        QTest::addColumn<int>("failure");
        QTest::newRow("writer refuses") << int(Failure::WriterRefuses);
        QTest::newRow("writer refuses after writing") << int(Failure::WriterRefusesAfterWriting);
        QTest::newRow("write error the writer ignores") << int(Failure::WriteErrorIgnoredByWriter);
        QTest::newRow("small buffered writes past the limit")
            << int(Failure::SmallWritesPastTheLimit);
    }

    void failureLeavesOldFile()
    {
        QFETCH(int, failure);
        const QString folder = m_dir->filePath(QStringLiteral("Norvale"));
        const QString path = folder + QStringLiteral("/ClipboardHistory.json");
        QVERIFY(PrivateFiles::writeAtomically(path, QByteArray("old contents")));

        QString error;
        bool ok = true;
        switch (Failure(failure)) {
        case Failure::WriterRefuses:
            ok = PrivateFiles::writeAtomically(
                path, [](QIODevice&) { return false; }, &error);
            break;
        case Failure::WriterRefusesAfterWriting:
            ok = PrivateFiles::writeAtomically(
                path,
                [](QIODevice& device) {
                    device.write("partial");
                    return false;
                },
                &error);
            break;
        case Failure::WriteErrorIgnoredByWriter: {
            const FileSizeLimit limit(64 * 1024);
            ok = PrivateFiles::writeAtomically(
                path,
                [](QIODevice& device) {
                    device.write(QByteArray(1024 * 1024, 'x'));
                    return true;
                },
                &error);
            break;
        }
        case Failure::SmallWritesPastTheLimit: {
            const FileSizeLimit limit(64 * 1024 + 5);
            ok = PrivateFiles::writeAtomically(
                path,
                [](QIODevice& device) {
                    for (int i = 0; i < 20000; ++i) {
                        device.write("0123456789abcdef");
                    }
                    return true;
                },
                &error);
            break;
        }
        }
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(contentsOf(path), QByteArray("old contents"));
        QCOMPARE(modeOf(path), 0600);
        // No temporary file is left behind.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("ClipboardHistory.json")});
    }

    void failureWhenTheFolderCannotBeMade()
    {
        const QString blocker = m_dir->filePath(QStringLiteral("Norvale"));
        QVERIFY(writePlain(blocker, "a file where the folder should be", 0644));
        QString error;
        QVERIFY(!PrivateFiles::writeAtomically(
            blocker + QStringLiteral("/x.json"), QByteArray("{}"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(contentsOf(blocker), QByteArray("a file where the folder should be"));
    }

    void moveAsideNamesAndModes()
    {
        const QString path = m_dir->filePath(QStringLiteral("ClipboardHistory.json"));
        const QDateTime now(QDate(2024, 5, 1), QTime(18, 30, 5), Qt::OffsetFromUTC, 9 * 3600);
        const QString base = path + QStringLiteral(".unreadable-20240501T093005");

        const QStringList expected {base, base + QStringLiteral("-2"), base + QStringLiteral("-3")};
        for (int i = 0; i < expected.size(); ++i) {
            const QByteArray contents = "broken " + QByteArray::number(i);
            // Unreadable to everyone: moving aside must not need to read it.
            QVERIFY(writePlain(path, contents, 0));
            QCOMPARE(PrivateFiles::moveAside(path, now), expected[i]);
            QVERIFY(!QFile::exists(path));
            QCOMPARE(modeOf(expected[i]), 0600);
            QCOMPARE(contentsOf(expected[i]), contents);
        }

        QVERIFY(writePlain(path, "other", 0644));
        const QString corrupt = PrivateFiles::moveAside(path, now, QStringLiteral("corrupt"));
        QCOMPARE(corrupt, path + QStringLiteral(".corrupt-20240501T093005"));
        QCOMPARE(modeOf(corrupt), 0600);
    }

    void moveAsideMissingFile()
    {
        const QString path = m_dir->filePath(QStringLiteral("missing.json"));
        QCOMPARE(PrivateFiles::moveAside(path, QDateTime::currentDateTimeUtc()), QString());
        QCOMPARE(
            QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    mode_t m_oldUmask = 022;
};

NORVALE_TEST_CLASS(PrivateFilesTest)
#include "tst_privatefiles.moc"
