#pragma once

// Reading and writing fixed phrase CSV files. Exports are written atomically (a temporary
// file replaces the target) with the byte order mark. Imports read at most 52,428,801 bytes
// of the file as it is (the byte order mark counts; the size the file system reports is not
// trusted, since a file can grow while it is read) and only of a regular file (opened without
// blocking, so that a FIFO nobody writes to cannot hold the worker), check strict UTF-8, and
// tokenize and map
// rows in the same single pass, so memory stays near the size of the resulting folders.
//
// The synchronous forms are for worker threads; exportCSV() and importCSV() run them on an
// Executor and deliver the result on the main thread.

#include "FixedPhraseCSV.h"
#include "platform/Executor.h"

#include <QString>

#include <optional>
#include <variant>

class QIODevice;

enum class FixedPhraseFileTransferError
{
    ImportFileTooLarge,
    InvalidUTF8,
    // A FIFO, a device or a folder: reading one could block forever or never end.
    ImportFileNotRegular
};
QString localizedDescription(FixedPhraseFileTransferError error);

// What a transfer fails with: one of the typed errors, or the platform's file error (held as
// its description).
class FixedPhraseTransferFailure final
{
public:
    using Reason = std::variant<FixedPhraseFileTransferError, FixedPhraseCSVError, QString>;

    explicit FixedPhraseTransferFailure(Reason reason)
        : m_reason(std::move(reason))
    { }

    const Reason& reason() const { return m_reason; }
    // The typed error's localized description, or the platform's own text for a file error.
    QString description() const;

    friend bool operator==(
        const FixedPhraseTransferFailure&, const FixedPhraseTransferFailure&) = default;

private:
    Reason m_reason;
};

class FixedPhraseFileTransfer final
{
public:
    // The largest file an import accepts: 50 MiB.
    static constexpr qint64 importSizeLimit = 52'428'800;

    struct ImportResult
    {
        FixedPhraseFolderList folders;
        std::optional<FixedPhraseTransferFailure> failure;
    };
    using ExportResult = std::optional<FixedPhraseTransferFailure>;

    static ExportResult writeCSV(const FixedPhraseFolderList& folders, const QString& path);
    static ImportResult readCSV(const QString& path);
    // Reads from an open device; never reads more than importSizeLimit + 1 bytes of it (open
    // it unbuffered: a buffered device reads ahead on its own).
    static ImportResult readCSV(QIODevice& device);

    [[nodiscard]] static TaskHandle exportCSV(Executor& executor, FixedPhraseFolderList folders,
        QString path, std::function<void(ExportResult)> done);
    [[nodiscard]] static TaskHandle importCSV(
        Executor& executor, QString path, std::function<void(ImportResult)> done);
};
