#include "common/TestMain.h"
#include "support/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <optional>
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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
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

using Writer = std::function<bool(QIODevice&)>;

} // namespace

Q_DECLARE_METATYPE(Writer)

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

    void ensureDirectory()
    {
        // Created with its parents, private.
        const QString path = m_dir->filePath(QStringLiteral("share/deeper/Norvale"));
        QString error;
        QVERIFY2(PrivateFiles::ensureDirectory(path, &error), qPrintable(error));
        QCOMPARE(modeOf(path), 0700);
        // A folder that is too open is tightened.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 02777) == 0);
        QVERIFY(PrivateFiles::ensureDirectory(path));
        QCOMPARE(modeOf(path), 0700);

        // A file in its place is refused and left alone, and nothing is written below it.
        const QString file = m_dir->filePath(QStringLiteral("Norvale"));
        QVERIFY(writePlain(file, "x", 0644));
        QVERIFY(!PrivateFiles::ensureDirectory(file, &error));
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(!PrivateFiles::writeAtomically(
            file + QStringLiteral("/x.json"), QByteArray("{}"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(modeOf(file), 0644);
        QCOMPARE(contentsOf(file), QByteArray("x"));
    }

    void failureLeavesOldFile_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<int>("fileSizeLimit"); // 0: none

        QTest::newRow("writer refuses") << Writer([](QIODevice&) { return false; }) << 0;
        QTest::newRow("writer refuses after writing") << Writer([](QIODevice& device) {
            device.write("partial");
            return false;
        }) << 0;
        QTest::newRow("write cut short, the writer does not notice")
            << Writer([](QIODevice& device) {
                   device.write(QByteArray(1024 * 1024, 'x'));
                   return true;
               })
            << 64 * 1024;
        QTest::newRow("small buffered writes past the limit") << Writer([](QIODevice& device) {
            for (int i = 0; i < 20000; ++i) {
                device.write("0123456789abcdef");
            }
            return true;
        }) << 64 * 1024 + 5;
    }

    void failureLeavesOldFile()
    {
        QFETCH(Writer, writer);
        QFETCH(int, fileSizeLimit);
        const QString folder = m_dir->filePath(QStringLiteral("Norvale"));
        const QString path = folder + QStringLiteral("/ClipboardHistory.json");
        QVERIFY(PrivateFiles::writeAtomically(path, QByteArray("old contents")));

        std::optional<FileSizeLimit> limit;
        if (fileSizeLimit > 0) {
            limit.emplace(rlim_t(fileSizeLimit));
        }
        QString error;
        const bool ok = PrivateFiles::writeAtomically(path, writer, &error);
        limit.reset();
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(contentsOf(path), QByteArray("old contents"));
        QCOMPARE(modeOf(path), 0600);
        // No temporary file is left behind.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("ClipboardHistory.json")});
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

        // Nothing to move: nothing is created.
        QCOMPARE(PrivateFiles::moveAside(path, now), QString());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 4);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    mode_t m_oldUmask = 022;
};

NORVALE_TEST_CLASS(PrivateFilesTest)
#include "tst_privatefiles.moc"
