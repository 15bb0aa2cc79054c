#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "support/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>

namespace {

bool writePlain(const QString& path, const QByteArray& contents, int mode)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(contents) == contents.size() && ::fchmod(file.handle(), mode_t(mode)) == 0;
}

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

    // Creating and tightening the folder is pinned through the history and settings files.
    void fileInPlaceOfTheFolderIsLeftAlone()
    {
        const QString file = m_dir->filePath(QStringLiteral("Norvale"));
        QVERIFY(writePlain(file, "x", 0644));
        QString error;
        QVERIFY(!PrivateFiles::ensureDirectory(file, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(fileMode(file), 0644);
    }

    void failureLeavesOldFile_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<int>("fileSizeLimit"); // 0: none

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

        QString error;
        {
            FileSizeLimit limit {rlim_t(fileSizeLimit)};
            QVERIFY(!PrivateFiles::writeAtomically(path, writer, &error));
        }
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(path), QByteArray("old contents"));
        QCOMPARE(fileMode(path), 0600);
        // No temporary file is left behind.
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
            QStringList {QStringLiteral("ClipboardHistory.json")});
    }

    void moveAsideNamesAndModes()
    {
        const QString path = m_dir->filePath(QStringLiteral("ClipboardHistory.json"));
        const QDateTime now(QDate(2024, 5, 1), QTime(18, 30, 5), Qt::OffsetFromUTC, 9 * 3600);
        const QString base = path + QStringLiteral(".unreadable-20240501T093005");
        for (const QString& expected : QStringList {base, base + "-2", base + "-3"}) {
            // Unreadable to everyone: moving aside must not need to read it.
            QVERIFY(writePlain(path, expected.toUtf8(), 0));
            QCOMPARE(PrivateFiles::moveAside(path, now), expected);
            QCOMPARE(fileMode(expected), 0600);
            QCOMPARE(readFile(expected), expected.toUtf8());
        }
        // Nothing to move: nothing is created.
        QCOMPARE(PrivateFiles::moveAside(path, now), QString());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    mode_t m_oldUmask = 022;
};

NORVALE_TEST_CLASS(PrivateFilesTest)
#include "tst_privatefiles.moc"
