#pragma once

// What `norvale phrases list|export|import` needs from the phrase feature, whoever routes the
// request: the list's output, a transfer run to its end on a model, and the whole flow in a
// process of its own when no instance runs (the caller holds the single-instance lock: the
// instance writes its store at every quit, so a direct write beside a running instance would
// be lost).
//
// `phrases list` prints one line per folder, "<title> (<phrase count>)", and one per phrase,
// two spaces, "<title>: <content>", content on one line (line breaks shown as " ⏎ ") and cut
// to 60 characters with "…"; hidden items end their title with " [非表示]". With --json it
// prints the store exactly as "FixedPhrases.json" holds it, and a line feed.

#include "FixedPhrase.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class FileLocations;
class FixedPhraseModel;

namespace FixedPhraseCommands {

enum class Transfer
{
    exportCSV,
    importCSV
};

struct Outcome
{
    bool succeeded = false;
    // The model's final status line, or why nothing was started.
    QString statusLine;
};

QByteArray formatList(const FixedPhraseFolderList& folders, bool json);

// The store as a process other than its owner reads it: the file is never moved or written.
// No file: an empty store. Nothing (error set) when it cannot be read.
std::optional<FixedPhraseFolderList> readStore(const FileLocations& locations, QString* error);

// Starts the transfer on model (path absolute); done runs once it has ended, or at once
// (failed) when another transfer is running and the request is ignored.
void start(FixedPhraseModel& model, Transfer transfer, const QString& path,
    std::function<void(Outcome)> done);

// start() and a local event loop until done, for callers that must answer synchronously.
Outcome runAndWait(FixedPhraseModel& model, Transfer transfer, const QString& path);

// The flow in this process: a model on the real scheduler and thread pool, the transfer, and
// the final write of the store. Needs a QCoreApplication; the caller holds the instance lock.
Outcome runStandalone(const FileLocations& locations, Transfer transfer, const QString& path);

} // namespace FixedPhraseCommands

// Transfers started for the command line in a running instance, numbered, with how each
// ended: a client starts one, gets its number at once, and asks for its outcome until it has
// one, so that no request keeps the instance waiting while a 50 MB file is read. Lives as a
// child of the model.
class FixedPhraseTransferLog final : public QObject
{
    Q_OBJECT

public:
    static FixedPhraseTransferLog& of(FixedPhraseModel& model);

    // The new transfer's number; nothing when another transfer runs (the request is ignored).
    std::optional<qint64> start(FixedPhraseCommands::Transfer transfer, const QString& path);
    bool contains(qint64 number) const { return m_outcomes.contains(number); }
    // Nothing while that transfer runs (or for a number never given out).
    std::optional<FixedPhraseCommands::Outcome> outcome(qint64 number) const;

private:
    explicit FixedPhraseTransferLog(FixedPhraseModel& model);

    FixedPhraseModel& m_model;
    qint64 m_lastNumber = 0;
    QHash<qint64, std::optional<FixedPhraseCommands::Outcome>> m_outcomes;
};
