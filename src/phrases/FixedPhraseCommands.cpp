#include "FixedPhraseCommands.h"

#include "FixedPhraseModel.h"
#include "FixedPhraseStorage.h"
#include "platform/FileLocations.h"
#include "platform/QtScheduler.h"
#include "platform/ThreadPoolExecutor.h"
#include "support/Text.h"

#include <QEventLoop>
#include <QPointer>

#include <memory>

namespace {

constexpr qsizetype previewLength = 60;

QString hiddenMark(bool isVisible)
{
    return isVisible ? QString() : QStringLiteral(" [非表示]");
}

QString preview(const QString& content)
{
    QString line = content;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar c : {QChar(u'\r'), QChar(u'\n'), QChar(u'\u2028'), QChar(u'\u2029')}) {
        line.replace(c, QStringLiteral(" ⏎ "));
    }
    if (Text::graphemeCount(line) <= previewLength) {
        return line;
    }
    return Text::graphemePrefix(line, previewLength) + QStringLiteral("…");
}

} // namespace

QByteArray FixedPhraseCommands::formatList(const FixedPhraseFolderList& folders, bool json)
{
    if (json) {
        return FixedPhraseStorage::encode(folders) + '\n';
    }
    QString text;
    for (const FixedPhraseFolder& folder : folders) {
        text += QStringLiteral("%1%2 (%3)\n")
                    .arg(folder.title, hiddenMark(folder.isVisible))
                    .arg(folder.phrases.size());
        for (const FixedPhrase& phrase : folder.phrases) {
            text += QStringLiteral("  %1%2: %3\n")
                        .arg(phrase.title, hiddenMark(phrase.isVisible), preview(phrase.content));
        }
    }
    return text.toUtf8();
}

std::optional<FixedPhrase> FixedPhraseCommands::findForCopy(const FixedPhraseFolderList& folders,
    const QString& folderTitle, const QString& phraseTitle, QString* error)
{
    bool folderFound = false;
    const FixedPhrase* hiddenMatch = nullptr;
    for (const FixedPhraseFolder& folder : folders) {
        if (folder.title != folderTitle) {
            continue;
        }
        folderFound = true;
        for (const FixedPhrase& phrase : folder.phrases) {
            if (phrase.title != phraseTitle) {
                continue;
            }
            if (folder.isVisible && phrase.isVisible) {
                return phrase;
            }
            if (hiddenMatch == nullptr) {
                hiddenMatch = &phrase;
            }
        }
    }
    if (hiddenMatch != nullptr) {
        return *hiddenMatch;
    }
    *error = folderFound
        ? QStringLiteral("norvale: フォルダ「%1」に定型文「%2」が見つかりません")
              .arg(folderTitle, phraseTitle)
        : QStringLiteral("norvale: フォルダ「%1」が見つかりません").arg(folderTitle);
    return std::nullopt;
}

std::optional<FixedPhraseFolderList> FixedPhraseCommands::readStore(
    const FileLocations& locations, QString* error)
{
    const FixedPhraseStorage storage(locations.filePath(FixedPhraseStorage::fileName()));
    FixedPhraseStorage::LoadResult result = storage.load();
    if (result.state == FixedPhraseStorage::LoadState::Unreadable) {
        *error = QStringLiteral("%1 cannot be read (Norvale moves it aside at its next start)")
                     .arg(storage.filePath());
        return std::nullopt;
    }
    return std::move(result.folders);
}

bool FixedPhraseCommands::start(FixedPhraseModel& model, Transfer transfer, const QString& path,
    std::function<void(Outcome)> done)
{
    // One-shot: the connection is dropped as soon as this transfer reports.
    auto connection = std::make_shared<QMetaObject::Connection>();
    QPointer<FixedPhraseModel> guard(&model);
    *connection = QObject::connect(&model, &FixedPhraseModel::fileTransferFinished, &model,
        [connection, guard, done = std::move(done)](bool succeeded) {
            QObject::disconnect(*connection);
            done({succeeded, guard ? guard->statusMessage().value_or(QString()) : QString()});
        });
    const bool started =
        transfer == Transfer::ExportCSV ? model.exportCSV(path) : model.importCSV(path);
    if (!started) {
        QObject::disconnect(*connection);
    }
    return started;
}

FixedPhraseCommands::Outcome FixedPhraseCommands::runStandalone(
    const FileLocations& locations, Transfer transfer, const QString& path)
{
    QtScheduler scheduler;
    ThreadPoolExecutor executor(scheduler);
    Outcome outcome;
    {
        FixedPhraseModel model(scheduler, executor, locations);
        QEventLoop loop;
        // A fresh model runs no other transfer, so this one starts.
        start(model, transfer, path, [&outcome, &loop](Outcome result) {
            outcome = std::move(result);
            loop.quit();
        });
        loop.exec();
        // An import has written the store already; this only makes sure nothing is pending.
        model.prepareForApplicationTermination();
    }
    executor.waitForDone(-1);
    return outcome;
}
