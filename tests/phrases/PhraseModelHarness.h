#pragma once

// A phrase model on mock time: a ManualScheduler, a ManualExecutor whose jobs wait until the
// test runs them (in any order), and a temporary application-support folder.

#include "PhraseTestSupport.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/FileLocations.h"
#include "platform/sim/ManualExecutor.h"
#include "platform/sim/ManualScheduler.h"
#include "support/PrivateFiles.h"

#include <QBuffer>
#include <QDir>
#include <QMutex>
#include <QTemporaryDir>

#include <memory>

struct PhraseModelHarness
{
    PhraseModelHarness()
        : locations(dir.filePath(QStringLiteral("Norvale")))
    { }

    FixedPhraseModel& create()
    {
        model = std::make_unique<FixedPhraseModel>(scheduler, executor, locations);
        return *model;
    }
    // A model that loads folders from its file.
    FixedPhraseModel& createWith(const FixedPhraseFolderList& folders)
    {
        QDir().mkpath(folderPath());
        writeFile(storePath(), FixedPhraseStorage::encode(folders));
        return create();
    }

    QString storePath() const { return locations.filePath(QStringLiteral("FixedPhrases.json")); }
    QString folderPath() const { return locations.applicationSupportDirectory(); }
    QByteArray storeBytes() const { return readFile(storePath()); }
    QString status() const { return model->statusMessage().value_or(QString()); }

    // Runs queued jobs oldest first and delivers their completions until nothing is left.
    void drain()
    {
        scheduler.runPending();
        while (executor.pendingCount() > 0) {
            executor.runAll();
            scheduler.runPending();
        }
    }
    // Lets the delayed save fire and finish.
    void settle()
    {
        scheduler.advance(0.35);
        drain();
    }
    // Runs one job and delivers its completion.
    void runJob(int index = 0)
    {
        executor.runJob(index);
        scheduler.runPending();
    }

    // Records every snapshot that reaches the file and can make writes fail.
    void recordWrites()
    {
        model->writer().setFileWriteForTesting(
            [this](const QString& path, const std::function<bool(QIODevice&)>& encode,
                QString* error) {
                const QMutexLocker lock(&writeMutex);
                if (failWrites > 0) {
                    --failWrites;
                    *error = QStringLiteral("disk full");
                    return false;
                }
                QBuffer buffer;
                buffer.open(QIODevice::WriteOnly);
                encode(buffer);
                writes.append(
                    FixedPhraseStorage::decode(buffer.data()).value_or(FixedPhraseFolderList()));
                return PrivateFiles::writeAtomically(path, buffer.data(), error);
            });
    }

    QString csv(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }

    QTemporaryDir dir;
    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    FileLocations locations;
    std::unique_ptr<FixedPhraseModel> model;
    QMutex writeMutex;
    QList<FixedPhraseFolderList> writes;
    int failWrites = 0;
};
