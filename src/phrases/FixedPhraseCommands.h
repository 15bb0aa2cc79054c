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
//
// `phrases copy` finds its phrase by exact titles (no case folding, no trimming). Hidden
// folders and phrases count: hiding takes a phrase out of the quick panel's lists, and a
// desktop shortcut that names a phrase by its title is a deliberate request that should not
// break because the list was tidied. Among several matches (titles need not be unique) the
// first the quick panel shows wins, else the first hidden one, in the user's order, folders
// of the same title taken in turn.

#include "FixedPhrase.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class FileLocations;
class FixedPhraseModel;

namespace FixedPhraseCommands {

enum class Transfer
{
    ExportCSV,
    ImportCSV
};

struct Outcome
{
    bool succeeded = false;
    // The model's final status line.
    QString statusLine;
};

QByteArray formatList(const FixedPhraseFolderList& folders, bool json);

// The phrase `phrases copy <folder title> <phrase title>` copies; nothing, with *error set to
// the message for the user, when there is none.
std::optional<FixedPhrase> findForCopy(const FixedPhraseFolderList& folders,
    const QString& folderTitle, const QString& phraseTitle, QString* error);

// The store as a process other than its owner reads it: the file is never moved or written.
// No file: an empty store. Nothing (error set) when it cannot be read.
std::optional<FixedPhraseFolderList> readStore(const FileLocations& locations, QString* error);

// Starts the transfer on model (path absolute); done runs once, when it has ended. False, and
// done never runs, when another transfer is running and this one is ignored.
bool start(FixedPhraseModel& model, Transfer transfer, const QString& path,
    std::function<void(Outcome)> done);

// The flow in this process: a model on the real scheduler and thread pool, the transfer, and
// the final write of the store. Needs a QCoreApplication; the caller holds the instance lock.
Outcome runStandalone(const FileLocations& locations, Transfer transfer, const QString& path);

} // namespace FixedPhraseCommands
