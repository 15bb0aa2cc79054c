#include "ClipboardImageBytes.h"

#include "support/PrivateFiles.h"

#include <QFile>
#include <QFileInfo>

struct ClipboardImageBytes::Backing
{
    Backing(QByteArray bytes, QString path, qint64 size,
        std::shared_ptr<const std::atomic_bool> keep = {})
        : bytes(std::move(bytes))
        , path(std::move(path))
        , size(size)
        , keep(std::move(keep))
    { }
    Backing(const Backing&) = delete;
    Backing& operator=(const Backing&) = delete;

    const QByteArray bytes; // when not spilled
    const QString path; // the spill file, empty when the bytes are held here
    const qint64 size;
    const std::shared_ptr<const std::atomic_bool> keep;

    ~Backing()
    {
        if (!path.isEmpty() && !(keep && keep->load())) {
            QFile::remove(path);
        }
    }
};

ClipboardImageBytes::ClipboardImageBytes(QByteArray bytes)
    : ClipboardImageBytes(std::make_shared<const Backing>(bytes, QString(), bytes.size()))
{ }

ClipboardImageBytes::ClipboardImageBytes(std::shared_ptr<const Backing> backing)
    : m_backing(std::move(backing))
{ }

ClipboardImageBytes ClipboardImageBytes::spilled(
    QString path, qint64 size, std::shared_ptr<const std::atomic_bool> keep)
{
    return ClipboardImageBytes(
        std::make_shared<const Backing>(QByteArray(), std::move(path), size, std::move(keep)));
}

qint64 ClipboardImageBytes::size() const
{
    return m_backing->size;
}

bool ClipboardImageBytes::isSpilled() const
{
    return !m_backing->path.isEmpty();
}

std::optional<QByteArray> ClipboardImageBytes::read() const
{
    if (!isSpilled()) {
        return m_backing->bytes;
    }
    QByteArray bytes;
    bytes.reserve(m_backing->size);
    const bool whole = readChunks(qsizetype(1) << 20, [&bytes](QByteArrayView chunk) {
        bytes.append(chunk);
        return true;
    });
    if (!whole) {
        return std::nullopt;
    }
    return bytes;
}

bool ClipboardImageBytes::readChunks(
    qsizetype chunkSize, const std::function<bool(QByteArrayView)>& sink) const
{
    const qint64 size = m_backing->size;
    if (!isSpilled()) {
        for (qint64 done = 0; done < size; done += chunkSize) {
            if (!sink(QByteArrayView(m_backing->bytes)
                          .sliced(done, std::min(chunkSize, size - done)))) {
                return false;
            }
        }
        return true;
    }
    QFile file(m_backing->path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != size) {
        return false;
    }
    QByteArray chunk(std::min<qint64>(chunkSize, std::max<qint64>(size, 1)), Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 wanted = std::min<qint64>(chunk.size(), size - done);
        if (file.read(chunk.data(), wanted) != wanted) {
            return false;
        }
        if (!sink(QByteArrayView(chunk.constData(), wanted))) {
            return false;
        }
        done += wanted;
    }
    return true;
}

bool ClipboardImageBytes::isIntact() const
{
    if (!isSpilled()) {
        return true;
    }
    const QFileInfo info(m_backing->path);
    return info.isFile() && info.size() == m_backing->size;
}

bool ClipboardImageBytes::restore(const QByteArray& bytes) const
{
    if (!isSpilled() || bytes.size() != m_backing->size) {
        return false;
    }
    return PrivateFiles::writeAtomically(m_backing->path, bytes);
}

bool ClipboardImageBytes::operator==(const ClipboardImageBytes& other) const
{
    if (m_backing == other.m_backing) {
        return true;
    }
    if (size() != other.size()) {
        return false;
    }
    if (!isSpilled() && !other.isSpilled()) {
        return m_backing->bytes == other.m_backing->bytes;
    }
    return read() == other.read();
}
