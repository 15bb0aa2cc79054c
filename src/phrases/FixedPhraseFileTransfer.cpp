#include "FixedPhraseFileTransfer.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace {

constexpr qsizetype readChunkBytes = 1024 * 1024;

// RFC 3629 UTF-8, fed in pieces: no overlong forms, no surrogates, nothing above U+10FFFF,
// no stray or missing continuation bytes.
class StrictUtf8Validator final
{
public:
    bool feed(const char* data, qsizetype size)
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        qsizetype i = 0;
        while (i < size) {
            if (m_needed == 0) {
                while (i + 8 <= size) {
                    quint64 word;
                    std::memcpy(&word, bytes + i, sizeof word);
                    if ((word & 0x8080808080808080ULL) != 0) {
                        break;
                    }
                    i += 8;
                }
                if (i == size) {
                    break;
                }
                const unsigned char lead = bytes[i++];
                if (lead < 0x80) {
                    continue;
                }
                if (lead < 0xC2) {
                    return false;
                }
                m_lowest = 0x80;
                m_highest = 0xBF;
                if (lead < 0xE0) {
                    m_needed = 1;
                } else if (lead < 0xF0) {
                    m_needed = 2;
                    if (lead == 0xE0) {
                        m_lowest = 0xA0; // overlong below U+0800
                    } else if (lead == 0xED) {
                        m_highest = 0x9F; // surrogates
                    }
                } else if (lead < 0xF5) {
                    m_needed = 3;
                    if (lead == 0xF0) {
                        m_lowest = 0x90; // overlong below U+10000
                    } else if (lead == 0xF4) {
                        m_highest = 0x8F; // above U+10FFFF
                    }
                } else {
                    return false;
                }
                continue;
            }
            const unsigned char next = bytes[i++];
            if (next < m_lowest || next > m_highest) {
                return false;
            }
            m_lowest = 0x80;
            m_highest = 0xBF;
            --m_needed;
        }
        return true;
    }

    bool finish() const { return m_needed == 0; }

private:
    int m_needed = 0;
    unsigned char m_lowest = 0x80;
    unsigned char m_highest = 0xBF;
};

FixedPhraseTransferFailure platformFailure(const QString& description)
{
    return FixedPhraseTransferFailure(description);
}

} // namespace

QString localizedDescription(FixedPhraseFileTransferError error)
{
    switch (error) {
    case FixedPhraseFileTransferError::importFileTooLarge:
        return QStringLiteral("CSVファイルが50MBを超えています");
    case FixedPhraseFileTransferError::invalidUTF8:
        return QStringLiteral("CSVファイルをUTF-8として読み込めません");
    }
    return {};
}

QString FixedPhraseTransferFailure::localizedDescription() const
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
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
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
    QFile file(path);
    // Unbuffered: a buffered device reads ahead past the limit.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
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
        return {{}, FixedPhraseTransferFailure(FixedPhraseFileTransferError::importFileTooLarge)};
    }
    if (!isValidUtf8 || !validator.finish()) {
        return {{}, FixedPhraseTransferFailure(FixedPhraseFileTransferError::invalidUTF8)};
    }
    std::optional<FixedPhraseFolderList> folders = reader.finish();
    if (!folders) {
        return {{}, FixedPhraseTransferFailure(FixedPhraseCSVError::unclosedQuote)};
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
