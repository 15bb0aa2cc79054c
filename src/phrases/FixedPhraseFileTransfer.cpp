#include "FixedPhraseFileTransfer.h"

#include "StrictUtf8.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype readChunkBytes = 1024 * 1024;

FixedPhraseTransferFailure platformFailure(const QString& description)
{
    return FixedPhraseTransferFailure(description);
}

} // namespace

QString localizedDescription(FixedPhraseFileTransferError error)
{
    switch (error) {
    case FixedPhraseFileTransferError::ImportFileTooLarge:
        return QStringLiteral("CSVファイルが50MBを超えています");
    case FixedPhraseFileTransferError::InvalidUTF8:
        return QStringLiteral("CSVファイルをUTF-8として読み込めません");
    case FixedPhraseFileTransferError::ImportFileNotRegular:
        return QStringLiteral("CSVファイルが通常のファイルではありません");
    }
    return {};
}

QString FixedPhraseTransferFailure::description() const
{
    return std::visit(
        [](const auto& reason) -> QString {
            using T = std::decay_t<decltype(reason)>;
            if constexpr (std::is_same_v<T, QString>) {
                return reason;
            } else {
                return ::localizedDescription(reason);
            }
        },
        m_reason);
}

FixedPhraseFileTransfer::ExportResult FixedPhraseFileTransfer::writeCSV(
    const FixedPhraseFolderList& folders, const QString& path)
{
    // The target is a document in a folder the user chose: written atomically, but its folder
    // and its mode are the user's business (the private-files helper would tighten them).
    // Unbuffered, so that each chunk's count is checked: a buffered save file reports a full
    // disk (or the file-size limit) as a short write nobody sees, and commits a cut-off file.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return platformFailure(file.errorString());
    }
    bool written = file.write(FixedPhraseCSV::utf8BOM, 3) == 3;
    written = written && FixedPhraseCSV::encodeUtf8(folders, [&file](const QByteArray& chunk) {
        return file.write(chunk) == chunk.size();
    });
    if (!written) {
        const QString description = file.errorString();
        file.cancelWriting();
        return platformFailure(description);
    }
    if (!file.commit()) {
        return platformFailure(file.errorString());
    }
    return std::nullopt;
}

FixedPhraseFileTransfer::ImportResult FixedPhraseFileTransfer::readCSV(const QString& path)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return {{}, platformFailure(qt_error_string(errno))};
    }
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        return {{}, FixedPhraseTransferFailure(FixedPhraseFileTransferError::ImportFileNotRegular)};
    }
    QFile file;
    // Unbuffered: a buffered device reads ahead past the limit.
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
            QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return {{}, platformFailure(file.errorString())};
    }
    ImportResult result = readCSV(file);
    file.close();
    return result;
}

FixedPhraseFileTransfer::ImportResult FixedPhraseFileTransfer::readCSV(QIODevice& device)
{
    const qint64 readLimit = importSizeLimit + 1;
    StrictUtf8Validator validator;
    FixedPhraseCSVReader reader;
    bool isValidUtf8 = true;
    QByteArray buffer(readChunkBytes, Qt::Uninitialized);
    qint64 total = 0;
    while (total < readLimit) {
        const qint64 wanted = std::min<qint64>(buffer.size(), readLimit - total);
        const qint64 count = device.read(buffer.data(), wanted);
        if (count < 0) {
            return {{}, platformFailure(device.errorString())};
        }
        if (count == 0) {
            break;
        }
        total += count;
        // After an encoding error the rest is only counted: a file that is too large is
        // reported as such, whatever its bytes.
        if (isValidUtf8) {
            isValidUtf8 = validator.feed(buffer.constData(), count);
            if (isValidUtf8) {
                reader.feed(buffer.constData(), count);
            }
        }
    }
    if (total >= readLimit) {
        return {{}, FixedPhraseTransferFailure(FixedPhraseFileTransferError::ImportFileTooLarge)};
    }
    if (!isValidUtf8 || !validator.finish()) {
        return {{}, FixedPhraseTransferFailure(FixedPhraseFileTransferError::InvalidUTF8)};
    }
    std::optional<FixedPhraseFolderList> folders = reader.finish();
    if (!folders) {
        return {{}, FixedPhraseTransferFailure(FixedPhraseCSVError::UnclosedQuote)};
    }
    return {std::move(*folders), std::nullopt};
}

TaskHandle FixedPhraseFileTransfer::exportCSV(Executor& executor, FixedPhraseFolderList folders,
    QString path, std::function<void(ExportResult)> done)
{
    return executor.run<ExportResult>(
        Executor::Priority::UserInitiated,
        [folders = std::move(folders), path = std::move(path)](const CancelToken&) mutable {
            ExportResult result = writeCSV(folders, path);
            // Possibly the last reference to a store the main thread has since replaced.
            folders = {};
            return result;
        },
        std::move(done));
}

TaskHandle FixedPhraseFileTransfer::importCSV(
    Executor& executor, QString path, std::function<void(ImportResult)> done)
{
    return executor.run<ImportResult>(
        Executor::Priority::UserInitiated,
        [path = std::move(path)](const CancelToken&) { return readCSV(path); }, std::move(done));
}
