#include "ClipboardTestSupport.h"
#include "clipboard/ClipboardImageSpill.h"
#include "common/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ClipboardTest;

namespace {

using Items = QList<ClipboardHistoryItem>;

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char& byte : bytes) {
        byte = static_cast<char>(random.bounded(256));
    }
    return bytes;
}

quint64 inodeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files);
}

// The folder a model or spill of this test made under cache: there is exactly one.
QString spillFolderIn(const QString& cache)
{
    const QDir parent(cache + QStringLiteral("/ClipboardImages"));
    const QStringList folders = parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return folders.size() == 1 ? parent.filePath(folders.first()) : QString();
}

// The items of a history file as Qt's own JSON classes give them; image is the first
// item's bytes.
QJsonArray referenceJson(const Items& items, const QByteArray& image)
{
    QJsonArray array;
    for (const ClipboardHistoryItem& item : items) {
        QJsonObject object {{"createdAt", "2024-05-01T09:30:00Z"},
            {"fingerprint", item.fingerprint},
            {"id", item.id.toString(QUuid::WithoutBraces).toUpper()},
            {"kind", clipboardHistoryKindName(item.kind)}};
        if (item.text) {
            object.insert("text", *item.text);
        } else {
            object.insert("imageData", QString::fromLatin1(image.toBase64()));
        }
        array.append(object);
    }
    return array;
}

enum class Damage
{
    Removed,
    Truncated,
    Grown,
    FolderRemoved,
};

} // namespace

class ClipboardImageSpillTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Captured images wait on disk, one private file each, and leave with their item.
    void spillFilesFollowTheHistory()
    {
        World world;
        ClipboardHistoryModel& model = world.start();
        model.setMaxImageHistoryCount(2);
        for (const char* copy : {"image:5", "image:6", "image:7"}) {
            world.copy(QString::fromLatin1(copy));
        }
        const QString folder = spillFolderIn(world.dir.filePath(QStringLiteral("Cache")));
        QCOMPARE(fileMode(folder), 0700);
        QCOMPARE(filesIn(folder).size(), 2);
        for (const QString& name : filesIn(folder)) {
            QCOMPARE(fileMode(folder + QLatin1Char('/') + name), 0600);
        }
        QUuid newestId;
        {
            const ClipboardHistoryItem newest = model.items().first();
            QVERIFY(newest.imageData->isSpilled());
            QCOMPARE(QImage::fromData(newest.imageBytes().value_or(QByteArray())).width(), 7);
            newestId = newest.id;
        }
        model.removeItem(newestId);
        world.settle();
        QCOMPARE(filesIn(folder).size(), 1);
    }

    // A restart moves in the spill files the last run left that hold exactly the history's
    // bytes, instead of writing them again; a file that differs is written anew, and the old
    // folder goes.
    void restartAdoptsUnchangedFiles_data()
    {
        QTest::addColumn<qint64>("damage"); // a byte flipped at, or the length cut to; -1: none
        QTest::addColumn<bool>("cut");
        QTest::newRow("unchanged") << qint64(-1) << false;
        QTest::newRow("a byte changed") << qint64(30) << false;
        QTest::newRow("cut short") << qint64(30) << true;
    }

    void restartAdoptsUnchangedFiles()
    {
        QFETCH(qint64, damage);
        QFETCH(bool, cut);
        World world;
        world.start();
        world.copy(QStringLiteral("image:5"));
        world.settle();
        const QString cache = world.dir.filePath(QStringLiteral("Cache"));
        const QString old = spillFolderIn(cache);
        const QString oldFile = old + QLatin1Char('/') + filesIn(old).first();
        const QByteArray bytes = readFile(oldFile);
        world.model.reset();
        QFile file(oldFile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (damage >= 0 && !cut) {
            QVERIFY(file.seek(damage));
            QVERIFY(file.putChar(char(~bytes.at(damage))));
        } else if (cut) {
            QVERIFY(file.resize(damage));
        }
        file.close();
        const quint64 inode = inodeOf(oldFile);

        ClipboardHistoryModel& model = world.start();
        QVERIFY(!QFileInfo::exists(old));
        const QString folder = spillFolderIn(cache);
        QCOMPARE(filesIn(folder).size(), 1);
        const QString adopted = folder + QLatin1Char('/') + filesIn(folder).first();
        QCOMPARE(inodeOf(adopted) == inode, damage < 0);
        QCOMPARE(model.items().first().imageBytes(), std::optional(bytes));
    }

    // Copying a spilled image back reads its file on a worker and writes the clipboard once
    // the bytes are back; an entry deleted or cleared meanwhile, or a copy asked for later,
    // wins over the read.
    void copyBackReadsOnAWorker_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QString>("type"); // on the clipboard afterwards; empty when cleared
        QTest::addColumn<int>("writes");
        const QString text = PasteboardType::string; // the copy before, or the later one
        QTest::newRow("nothing") << QString() << true << PasteboardType::png << 1;
        QTest::newRow("entry deleted") << "delete" << false << text << 0;
        QTest::newRow("history cleared") << "clear" << false << text << 0;
        QTest::newRow("a text copied") << "text" << false << text << 1;
        QTest::newRow("file lost") << "lose" << true << QString() << 0;
    }

    void copyBackReadsOnAWorker()
    {
        QFETCH(QString, meanwhile);
        QFETCH(bool, copied);
        QFETCH(QString, type);
        QFETCH(int, writes);
        World world;
        ClipboardHistoryModel& model = world.start();
        world.copy(QStringLiteral("image:5"));
        world.copy(QStringLiteral("text"));
        const ClipboardHistoryItem image = model.items().last();
        QVERIFY(image.imageData->isSpilled());
        const int before = world.pasteboard.writeCount();
        std::optional<bool> done;
        model.copyToClipboard(image, [&done](bool result) { done = result; });
        QCOMPARE(world.pasteboard.writeCount(), before);
        if (meanwhile == QLatin1String("delete")) {
            model.removeItem(image.id);
        } else if (meanwhile == QLatin1String("clear")) {
            model.setItems({});
        } else if (meanwhile == QLatin1String("text")) {
            model.copyToClipboard(model.items().first());
        } else if (meanwhile == QLatin1String("lose")) {
            const QString folder = spillFolderIn(world.dir.filePath(QStringLiteral("Cache")));
            QVERIFY(QFile::remove(folder + QLatin1Char('/') + filesIn(folder).first()));
        }
        world.settle();
        QCOMPARE(done, std::optional(copied));
        const QList<QPair<QString, QByteArray>> contents = world.pasteboard.contents();
        QCOMPARE(contents.isEmpty() ? QString() : contents.first().first, type);
        QCOMPARE(world.pasteboard.writeCount(), before + writes);
    }

    // At start, the folders of processes that no longer run go; a running one's stay.
    void staleFoldersAtStart_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("lock");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("kept");
        QTest::newRow("folder of a running process") << true << true << true << true;
        QTest::newRow("folder of an ended process") << true << true << false << false;
        QTest::newRow("folder without a lock") << true << false << false << false;
        QTest::newRow("lock without a folder") << false << true << false << false;
    }

    void staleFoldersAtStart()
    {
        QFETCH(bool, folder);
        QFETCH(bool, lock);
        QFETCH(bool, held);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("ClipboardImages/other"));
        const QString lockPath = other + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(folder ? other : dir.filePath(QStringLiteral("ClipboardImages"))));
        if (folder) {
            QVERIFY(writeFile(other + QStringLiteral("/1"), "image"));
        }
        int fd = -1;
        if (lock) {
            fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT, 0600);
            QVERIFY(fd >= 0);
            QVERIFY(!held || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
        }
        {
            ClipboardImageSpill spill(dir.path());
            QVERIFY(spill.spill("bytes").isSpilled());
            QCOMPARE(QFileInfo::exists(other + QStringLiteral("/1")), kept);
            QCOMPARE(QFileInfo::exists(lockPath), kept);
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }

    // A spill file that went missing or changed reads as no bytes; the next save writes it
    // back from the history file, or, for an image the file never held, saves the item
    // without bytes, never failing and never touching the other items.
    void lostSpillFile_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<bool>("inFile");
        QTest::newRow("removed, in the file") << Damage::Removed << true;
        QTest::newRow("cut short, in the file") << Damage::Truncated << true;
        QTest::newRow("grown, in the file") << Damage::Grown << true;
        QTest::newRow("folder removed, in the file") << Damage::FolderRemoved << true;
        QTest::newRow("removed, never saved") << Damage::Removed << false;
        QTest::newRow("cut short, never saved") << Damage::Truncated << false;
    }

    void lostSpillFile()
    {
        QFETCH(Damage, damage);
        QFETCH(bool, inFile);
        QTemporaryDir dir;
        ClipboardImageSpill spill(dir.filePath(QStringLiteral("Cache")));
        const QByteArray bytes = randomBytes(1000, 7);
        ClipboardHistoryItem image = ClipboardHistoryItem::makeImage(bytes, Now);
        image.imageData = spill.spill(bytes);
        const ClipboardHistoryItem text = ClipboardHistoryItem::makeText(QStringLiteral("t"), Now);
        ClipboardHistoryStorage storage(dir.path());
        QVERIFY(storage.saveSynchronously(inFile ? Items {image, text} : Items {text}, nullptr));

        const QString path = spillFolderIn(dir.filePath(QStringLiteral("Cache"))) +
            QLatin1Char('/') +
            filesIn(spillFolderIn(dir.filePath(QStringLiteral("Cache")))).first();
        switch (damage) {
        case Damage::Removed:
            QVERIFY(QFile::remove(path));
            break;
        case Damage::Truncated:
            QVERIFY(QFile::resize(path, 999));
            break;
        case Damage::Grown:
            QVERIFY(QFile::resize(path, 1001));
            break;
        case Damage::FolderRemoved:
            QVERIFY(QDir(QFileInfo(path).path()).removeRecursively());
            break;
        }
        QVERIFY(!image.imageBytes());

        QString error;
        QVERIFY2(storage.saveSynchronously({image, text}, &error), qPrintable(error));
        const ClipboardHistoryStorage::LoadResult loaded = storage.load();
        QCOMPARE(loaded.items.size(), 2);
        QCOMPARE(loaded.items.first().imageBytes(), inFile ? std::optional(bytes) : std::nullopt);
        QCOMPARE(loaded.items.first().fingerprint, image.fingerprint);
        QCOMPARE(loaded.items.last(), text);
        QCOMPARE(image.imageBytes(), inFile ? std::optional(bytes) : std::nullopt);
    }

    // The save streams each image from its spill file in pieces; the output is the same
    // bytes as when the images were in memory (the storage test pins those bytes for every
    // kind, escapes and unicode), and Qt's own parser reads the same items back. Sizes around
    // the 786,432-byte pieces the writer reads.
    void streamedFileIsTheSame_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (const qsizetype size : {0, 1, 2, 3, 786431, 786432, 786433, 2 * 786432 + 2}) {
            QTest::addRow("image of %lld bytes", qlonglong(size)) << size;
        }
    }

    void streamedFileIsTheSame()
    {
        QFETCH(qsizetype, size);
        const QByteArray bytes = randomBytes(size, quint32(size));
        const Items inMemory {ClipboardHistoryItem::makeImage(bytes, Now),
            ClipboardHistoryItem::makeText(QStringLiteral("after"), Now)};
        QTemporaryDir dir;
        ClipboardImageSpill spill(dir.path());
        Items spilled = inMemory;
        spilled.first().imageData = spill.spill(bytes);
        QVERIFY(spilled.first().imageData->isSpilled());

        const QByteArray streamed = ClipboardHistoryStorage::encode(spilled);
        QCOMPARE(streamed, ClipboardHistoryStorage::encode(inMemory));
        QCOMPARE(QJsonDocument::fromJson(streamed), QJsonDocument(referenceJson(inMemory, bytes)));
    }
};

NORVALE_TEST_CLASS(ClipboardImageSpillTest)
#include "tst_imagespill.moc"
