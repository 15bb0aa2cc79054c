// What a start costs with the largest image history: 500 images of 2.55 MB (incompressible),
// the history file on disk. The first start finds no spill files of an earlier run and writes
// every image into its spill folder, as every start did before spill files were kept; the
// second start follows a quit of the first and adopts the files it left. Prints, per start,
// the bytes the process wrote (write calls, /proc/self/io wchar) and read, wall and CPU time.
//
//     bench_restart [folder]   (a temporary folder by default; needs about 3 GiB there)

#include "clipboard/ClipboardHistoryModel.h"
#include "clipboard/ClipboardHistoryStorage.h"
#include "clipboard/ClipboardImageSpill.h"
#include "platform/FileLocations.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "platform/sim/MemoryDefaultsStore.h"
#include "platform/sim/SimPasteboard.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

constexpr int Images = 500;
constexpr qsizetype ImageBytes = 2'550'000;

qint64 ioCounter(const QByteArray& key)
{
    QFile file(QStringLiteral("/proc/self/io"));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(QByteArray(key + ':'))) {
            return line.mid(key.size() + 1).trimmed().toLongLong();
        }
    }
    return -1;
}

double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void writeHistory(const QString& folder, const QString& scratch)
{
    ClipboardImageSpill spill(scratch);
    QList<ClipboardHistoryItem> items;
    const QDateTime start(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
    for (int i = 0; i < Images; ++i) {
        QByteArray bytes(ImageBytes, Qt::Uninitialized);
        QRandomGenerator(quint32(i))
            .fillRange(reinterpret_cast<quint32*>(bytes.data()), ImageBytes / 4);
        ClipboardHistoryItem item = ClipboardHistoryItem::makeImage(bytes, start.addSecs(-i));
        item.imageData = spill.spill(bytes);
        items.append(item);
    }
    QString error;
    if (!ClipboardHistoryStorage(folder).saveSynchronously(items, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        std::exit(1);
    }
}

void measureStart(const char* name, const FileLocations& locations)
{
    ManualScheduler scheduler;
    ManualExecutor executor(scheduler);
    SimPasteboard pasteboard;
    MemoryDefaultsStore defaults;
    defaults.set(ClipboardHistorySettingsKey::maxImageHistoryCount, qint64(Images));
    const qint64 written = ioCounter("wchar");
    const qint64 read = ioCounter("rchar");
    const double cpu = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    ClipboardHistoryModel model(pasteboard, defaults, scheduler, executor, locations);
    std::printf("%s: %lld images, wrote %.0f MiB, read %.0f MiB, %.2f s wall, %.2f s CPU\n", name,
        qlonglong(model.items().size()), double(ioCounter("wchar") - written) / 1048576.0,
        double(ioCounter("rchar") - read) / 1048576.0, double(wall.nsecsElapsed()) / 1e9,
        processCpuSeconds() - cpu);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString root = app.arguments().value(1, temporary.path());
    const FileLocations locations(
        QDir(root).filePath(QStringLiteral("data")), QDir(root).filePath(QStringLiteral("cache")));
    writeHistory(
        locations.applicationSupportDirectory(), QDir(root).filePath(QStringLiteral("scratch")));
    measureStart("start without spill files of an earlier run", locations);
    measureStart("start after a quit", locations);
    return 0;
}
