#include "LinuxPasteboard.h"

#include "XcbOwnerChangeFilter.h"
#include "XcbSelectionReader.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QMutex>
#include <QPointer>
#include <qguiapplication_platform.h>

#include <atomic>
#include <cstdint>
#include <utility>

namespace {

using Items = QList<QPair<QString, QByteArray>>;

// Text targets in the order we prefer to read them: UTF-8 first, Latin-1 and the
// owner's-choice TEXT last.
const QList<QByteArray>& textTargets()
{
    static const QList<QByteArray> targets = {
        "UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING", "TEXT", "COMPOUND_TEXT"};
    return targets;
}

bool isTextTarget(const QByteArray& target)
{
    for (const QByteArray& text : textTargets()) {
        if (target.compare(text, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

bool isProtocolTarget(const QByteArray& target)
{
    return target == "TARGETS" || target == "MULTIPLE" || target == "TIMESTAMP" ||
        target == "SAVE_TARGETS" || target == "DELETE";
}

// Last value wins for a repeated type, as in QMimeData; the order is that of first mention.
Items uniqueItems(const Items& items)
{
    Items result;
    for (const auto& item : items) {
        bool replaced = false;
        for (auto& existing : result) {
            if (existing.first == item.first) {
                existing.second = item.second;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            result.append(item);
        }
    }
    return result;
}

} // namespace

class LinuxClipboardState final : public QObject
{
    Q_OBJECT

public:
    LinuxClipboardState()
    {
        auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (application == nullptr) {
            return;
        }
        m_clipboard = QGuiApplication::clipboard();
        connect(m_clipboard, &QClipboard::changed, this,
            [this](QClipboard::Mode mode) { noteChanged(mode); });
        const QByteArray display = qgetenv("DISPLAY");
        if (QGuiApplication::platformName() != QLatin1String("xcb") || display.isEmpty()) {
            return;
        }
        m_reader = std::make_unique<XcbSelectionReader>(
            display, QByteArrayLiteral("CLIPBOARD"), XcbSelectionReader::Limits {});
        auto* x11 = application->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 != nullptr && x11->connection() != nullptr) {
            m_ownerChanges = std::make_unique<XcbOwnerChangeFilter>(
                x11->connection(), [this] { countChange(); });
        }
    }

    static std::shared_ptr<LinuxClipboardState> shared()
    {
        static QMutex mutex;
        static std::weak_ptr<LinuxClipboardState> existing;
        QMutexLocker locker(&mutex);
        std::shared_ptr<LinuxClipboardState> state = existing.lock();
        if (!state) {
            state = std::make_shared<LinuxClipboardState>();
            existing = state;
        }
        return state;
    }

    qint64 changeCount() const { return m_changeCount.load(); }
    bool canRead() const { return m_reader != nullptr; }

    void write(const Items& items)
    {
        if (m_clipboard.isNull()) {
            return;
        }
        auto* mime = new QMimeData;
        const Items unique = uniqueItems(items);
        for (const auto& [type, bytes] : unique) {
            if (type == PasteboardType::string) {
                // setText makes Qt offer UTF8_STRING, STRING and TEXT as well.
                mime->setText(QString::fromUtf8(bytes));
            } else {
                mime->setData(type, bytes);
            }
        }
        {
            QMutexLocker locker(&m_ownMutex);
            m_ownItems = unique;
        }
        m_inOwnWrite = true;
        m_clipboard->setMimeData(mime, QClipboard::Clipboard);
        m_inOwnWrite = false;
    }

    QStringList types()
    {
        if (!m_reader) {
            return {};
        }
        if (const std::optional<Items> own = ownItems()) {
            QStringList result;
            for (const auto& item : *own) {
                result.append(item.first);
            }
            return result;
        }
        QMutexLocker locker(&m_readMutex);
        QList<QByteArray> targets;
        if (fetchTargets(&targets) != XcbSelectionReader::Status::Ok) {
            return {};
        }
        return LinuxPasteboard::typesForTargets(targets);
    }

    std::optional<QString> string(const QString& type)
    {
        if (!m_reader) {
            return std::nullopt;
        }
        if (const std::optional<Items> own = ownItems()) {
            const std::optional<QByteArray> bytes = itemBytes(*own, type);
            return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
        }
        QMutexLocker locker(&m_readMutex);
        if (type == PasteboardType::string) {
            return readText();
        }
        const std::optional<QByteArray> bytes = readOffered(type.toUtf8());
        return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
    }

    std::optional<QByteArray> data(const QString& type)
    {
        if (!m_reader) {
            return std::nullopt;
        }
        if (const std::optional<Items> own = ownItems()) {
            return itemBytes(*own, type);
        }
        QMutexLocker locker(&m_readMutex);
        if (type == PasteboardType::string) {
            const std::optional<QString> text = readText();
            return text ? std::optional<QByteArray>(text->toUtf8()) : std::nullopt;
        }
        return readOffered(type.toUtf8());
    }

Q_SIGNALS:
    void changeCounted();

private:
    void noteChanged(QClipboard::Mode mode)
    {
        if (mode != QClipboard::Clipboard) {
            return;
        }
        if (m_ownerChanges) {
            m_ownerChanges->reportedByQt();
        }
        countChange();
    }

    void countChange()
    {
        if (!m_inOwnWrite) {
            // Dropped before the count moves: a worker that sees the new count never answers
            // from the copy of contents that are no longer ours.
            QMutexLocker locker(&m_ownMutex);
            m_ownItems.reset();
        }
        m_changeCount.fetch_add(1);
        Q_EMIT changeCounted();
    }

    // A copy (the bytes are shared, not duplicated), so that no reader holds m_ownMutex for
    // longer than the copy takes.
    std::optional<Items> ownItems() const
    {
        QMutexLocker locker(&m_ownMutex);
        return m_ownItems;
    }

    static std::optional<QByteArray> itemBytes(const Items& items, const QString& type)
    {
        for (const auto& [itemType, bytes] : items) {
            if (itemType == type) {
                return bytes;
            }
        }
        return std::nullopt;
    }

    XcbSelectionReader::Result convert(const QByteArray& target)
    {
        const std::uint32_t owner = m_reader->owner();
        if (owner == 0) {
            return {XcbSelectionReader::Status::NoOwner, {}, {}};
        }
        const std::pair<std::uint32_t, qint64> key {owner, m_changeCount.load()};
        if (m_unresponsiveOwner == key) {
            return {XcbSelectionReader::Status::TimedOut, {}, {}};
        }
        XcbSelectionReader::Result result = m_reader->convert(target);
        if (result.status == XcbSelectionReader::Status::TimedOut) {
            m_unresponsiveOwner = key;
        }
        return result;
    }

    // One copy is asked for its TARGETS once: a capture asks for the types and then reads
    // formats that each need the list, and every question waits for the owner to answer.
    XcbSelectionReader::Status fetchTargets(QList<QByteArray>* targets)
    {
        const std::pair<std::uint32_t, qint64> key {m_reader->owner(), m_changeCount.load()};
        if (m_offeredTargets && m_offeredTargets->first == key) {
            *targets = m_offeredTargets->second;
            return XcbSelectionReader::Status::Ok;
        }
        const XcbSelectionReader::Result result = convert(QByteArrayLiteral("TARGETS"));
        targets->clear();
        if (result.status != XcbSelectionReader::Status::Ok) {
            return result.status;
        }
        const XcbSelectionReader::Status status = m_reader->targetNames(result.bytes, targets);
        if (status == XcbSelectionReader::Status::Ok && key.first != 0) {
            m_offeredTargets.emplace(key, *targets);
        }
        return status;
    }

    // Only what the owner lists in TARGETS: some owners (xclip) answer every target with
    // their one content, which would turn a text into "image/png" bytes.
    std::optional<QByteArray> readOffered(const QByteArray& target)
    {
        QList<QByteArray> offered;
        const XcbSelectionReader::Status status = fetchTargets(&offered);
        if (status == XcbSelectionReader::Status::Ok
                ? !offered.contains(target)
                : status != XcbSelectionReader::Status::Refused) {
            return std::nullopt;
        }
        const XcbSelectionReader::Result result = convert(target);
        if (result.status != XcbSelectionReader::Status::Ok) {
            return std::nullopt;
        }
        return result.bytes;
    }

    std::optional<QString> readText()
    {
        QList<QByteArray> offered;
        const XcbSelectionReader::Status status = fetchTargets(&offered);
        QList<QByteArray> candidates;
        if (status == XcbSelectionReader::Status::Ok) {
            for (const QByteArray& preferred : textTargets()) {
                for (const QByteArray& target : offered) {
                    if (target.compare(preferred, Qt::CaseInsensitive) == 0) {
                        candidates.append(target);
                    }
                }
            }
        } else if (status == XcbSelectionReader::Status::Refused) {
            // An owner without TARGETS: ask for the common text targets directly.
            candidates = {"UTF8_STRING", "STRING"};
        }
        for (const QByteArray& target : std::as_const(candidates)) {
            const XcbSelectionReader::Result result = convert(target);
            if (result.status == XcbSelectionReader::Status::Ok) {
                if (std::optional<QString> text =
                        LinuxPasteboard::decodeText(result.type, result.bytes)) {
                    return text;
                }
            } else if (result.status != XcbSelectionReader::Status::Refused) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    QPointer<QClipboard> m_clipboard;
    std::atomic<qint64> m_changeCount {0};
    // Main thread only: set while our own setMimeData runs (Qt signals inside it).
    bool m_inOwnWrite = false;

    // Two locks, because the main thread must never wait for another client: m_ownMutex is
    // taken by the main thread and held only to copy or swap m_ownItems; m_readMutex lets one
    // worker at a time talk to X, for as long as a slow owner takes.
    mutable QMutex m_ownMutex;
    // What we wrote, while the selection is still ours.
    std::optional<Items> m_ownItems;
    QMutex m_readMutex;
    std::unique_ptr<XcbSelectionReader> m_reader;
    // Counts the foreign changes Qt does not report.
    std::unique_ptr<XcbOwnerChangeFilter> m_ownerChanges;
    // Guarded by m_readMutex.
    std::optional<std::pair<std::uint32_t, qint64>> m_unresponsiveOwner;
    // The TARGETS of one owner at one change count.
    std::optional<std::pair<std::pair<std::uint32_t, qint64>, QList<QByteArray>>> m_offeredTargets;
};

LinuxPasteboard::LinuxPasteboard()
    : m_state(LinuxClipboardState::shared())
{
    connect(m_state.get(), &LinuxClipboardState::changeCounted, this, &Pasteboard::changed);
}

LinuxPasteboard::~LinuxPasteboard() = default;

QString LinuxPasteboard::name() const
{
    return QStringLiteral("CLIPBOARD");
}

qint64 LinuxPasteboard::changeCount() const
{
    return m_state->changeCount();
}

QStringList LinuxPasteboard::types() const
{
    return m_state->types();
}

std::optional<QString> LinuxPasteboard::string(const QString& type) const
{
    return m_state->string(type);
}

std::optional<QByteArray> LinuxPasteboard::data(const QString& type) const
{
    return m_state->data(type);
}

void LinuxPasteboard::clear()
{
    m_state->write({});
}

void LinuxPasteboard::write(const QList<QPair<QString, QByteArray>>& items)
{
    m_state->write(items);
}

bool LinuxPasteboard::canReadContents() const
{
    return m_state->canRead();
}

QStringList LinuxPasteboard::typesForTargets(const QList<QByteArray>& targets)
{
    QStringList result;
    bool hasText = false;
    for (const QByteArray& target : targets) {
        if (isProtocolTarget(target)) {
            continue;
        }
        if (isTextTarget(target)) {
            if (!hasText) {
                result.append(PasteboardType::string);
                hasText = true;
            }
            continue;
        }
        const QString type = QString::fromLatin1(target);
        if (!result.contains(type)) {
            result.append(type);
        }
    }
    return result;
}

std::optional<QString> LinuxPasteboard::decodeText(const QByteArray& type, const QByteArray& bytes)
{
    if (type == "STRING") {
        return QString::fromLatin1(bytes);
    }
    if (type == "COMPOUND_TEXT") {
        // Compound text equals ASCII as long as it holds no escape sequences; anything else
        // would need an ISO 2022 decoder, and every current owner offers UTF8_STRING too.
        for (const char c : bytes) {
            if (static_cast<unsigned char>(c) >= 0x80 || c == '\x1b') {
                return std::nullopt;
            }
        }
        return QString::fromLatin1(bytes);
    }
    return QString::fromUtf8(bytes);
}

#include "LinuxPasteboard.moc"
