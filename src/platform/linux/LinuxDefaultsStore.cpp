#include "LinuxDefaultsStore.h"

#include "support/Base64.h"
#include "support/PrivateFiles.h"
#include "support/SaveLeftovers.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString BoolTag = QStringLiteral("bool:");
const QString IntegerTag = QStringLiteral("int:");
const QString DoubleTag = QStringLiteral("double:");
const QString StringTag = QStringLiteral("string:");
const QString DataTag = QStringLiteral("data:");
const QString Utf16Tag = QStringLiteral("utf16:");

QString encodeKey(const QString& key)
{
    QString result;
    result.reserve(key.size());
    for (const QChar ch : key) {
        switch (ch.unicode()) {
        case u'%':
            result += QLatin1String("%25");
            break;
        case u'/':
            result += QLatin1String("%2F");
            break;
        case u'\\':
            result += QLatin1String("%5C");
            break;
        default:
            result += ch;
        }
    }
    return result;
}

QString decodeKey(const QString& stored)
{
    QString result;
    result.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == u'%' && i + 2 < stored.size()) {
            const QStringView code = QStringView(stored).sliced(i + 1, 2);
            if (code == u"25") {
                result += u'%';
                i += 2;
                continue;
            }
            if (code == u"2F") {
                result += u'/';
                i += 2;
                continue;
            }
            if (code == u"5C") {
                result += u'\\';
                i += 2;
                continue;
            }
        }
        result += stored[i];
    }
    return result;
}

QString doubleText(double d)
{
    char text[40];
    const auto result = std::to_chars(std::begin(text), std::end(text), d);
    return QString::fromLatin1(text, result.ptr - text);
}

std::optional<double> parseDouble(QStringView text)
{
    const QByteArray latin1 = text.toLatin1();
    double d = 0;
    const auto result = std::from_chars(latin1.constData(), latin1.constData() + latin1.size(), d);
    if (result.ec != std::errc() || result.ptr != latin1.constData() + latin1.size()) {
        return std::nullopt;
    }
    return d;
}

std::optional<qint64> parseInteger(QStringView text)
{
    const QByteArray latin1 = text.toLatin1();
    qint64 n = 0;
    const auto result = std::from_chars(latin1.constData(), latin1.constData() + latin1.size(), n);
    if (result.ec != std::errc() || result.ptr != latin1.constData() + latin1.size()) {
        return std::nullopt;
    }
    return n;
}

QString encodeValue(const DefaultsValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) {
        return BoolTag + (*b ? QLatin1String("true") : QLatin1String("false"));
    }
    if (const auto* n = std::get_if<qint64>(&value)) {
        return IntegerTag + QString::number(*n);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return DoubleTag + doubleText(*d);
    }
    if (const auto* s = std::get_if<QString>(&value)) {
        // The INI file is UTF-8, which has no form for a lone surrogate.
        if (QString::fromUtf8(s->toUtf8()) != *s) {
            const QByteArray utf16(reinterpret_cast<const char*>(s->utf16()), s->size() * 2);
            return Utf16Tag + QString::fromLatin1(Base64::encode(utf16));
        }
        return StringTag + *s;
    }
    if (const auto* bytes = std::get_if<QByteArray>(&value)) {
        return DataTag + QString::fromLatin1(Base64::encode(*bytes));
    }
    return {};
}

DefaultsValue decodeText(const QString& text)
{
    const QStringView view(text);
    if (text.startsWith(StringTag)) {
        return text.sliced(StringTag.size());
    }
    if (text.startsWith(BoolTag)) {
        const QStringView rest = view.sliced(BoolTag.size());
        if (rest == u"true") {
            return true;
        }
        if (rest == u"false") {
            return false;
        }
        return {};
    }
    if (text.startsWith(IntegerTag)) {
        if (const auto n = parseInteger(view.sliced(IntegerTag.size()))) {
            return *n;
        }
        return {};
    }
    if (text.startsWith(DoubleTag)) {
        if (const auto d = parseDouble(view.sliced(DoubleTag.size()))) {
            return *d;
        }
        return {};
    }
    if (text.startsWith(DataTag)) {
        const QByteArray latin1 = view.sliced(DataTag.size()).toLatin1();
        if (const auto bytes = Base64::decode({latin1.constData(), std::size_t(latin1.size())})) {
            return *bytes;
        }
        return {};
    }
    if (text.startsWith(Utf16Tag)) {
        const QByteArray latin1 = view.sliced(Utf16Tag.size()).toLatin1();
        const auto bytes = Base64::decode({latin1.constData(), std::size_t(latin1.size())});
        if (!bytes || bytes->size() % 2 != 0) {
            return {};
        }
        return QString(reinterpret_cast<const QChar*>(bytes->constData()), bytes->size() / 2);
    }
    // Hand-written text without a tag.
    return text;
}

DefaultsValue decodeValue(const QVariant& stored)
{
    switch (stored.metaType().id()) {
    case QMetaType::QString:
        return decodeText(stored.toString());
    case QMetaType::QByteArray:
        return stored.toByteArray();
    default:
        // Lists and other shapes that only a hand edit can produce.
        return {};
    }
}

// Creates the file 0600 if it is missing, and tightens an existing file of ours.
void preparePrivateFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning("Norvale: cannot create the settings file %s", native.constData());
        return;
    }
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 07777) != 0600) {
        ::fchmod(fd, 0600);
    }
    ::close(fd);
}

} // namespace

LinuxDefaultsStore::LinuxDefaultsStore()
    : LinuxDefaultsStore(standardFilePath())
{ }

LinuxDefaultsStore::LinuxDefaultsStore(const QString& filePath)
    : m_filePath(filePath)
{
    QString error;
    if (!PrivateFiles::ensureDirectory(QFileInfo(filePath).absolutePath(), &error)) {
        qWarning("Norvale: %s", qUtf8Printable(error));
    } else {
        // The settings, rules and shortcuts are saved atomically by QSettings, whose save a
        // kill can interrupt like any other.
        const QStringList settled = SaveLeftovers::settle(
            filePath,
            [](const QString& path) {
                return QSettings(path, QSettings::IniFormat).status() == QSettings::NoError;
            },
            QDateTime::currentDateTimeUtc());
        for (const QString& line : settled) {
            qWarning("Norvale: %s", qUtf8Printable(line));
        }
        preparePrivateFile(filePath);
    }
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

LinuxDefaultsStore::~LinuxDefaultsStore() = default;

QString LinuxDefaultsStore::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/Norvale/Norvale.conf");
}

DefaultsValue LinuxDefaultsStore::value(const QString& key) const
{
    if (key.isEmpty()) {
        return {};
    }
    const QVariant stored = m_settings->value(encodeKey(key));
    if (!stored.isValid()) {
        return {};
    }
    return decodeValue(stored);
}

void LinuxDefaultsStore::set(const QString& key, const DefaultsValue& value)
{
    if (std::holds_alternative<std::monostate>(value)) {
        remove(key);
        return;
    }
    if (key.isEmpty()) {
        qWarning("Norvale: a defaults key cannot be empty");
        return;
    }
    const QString encoded = encodeValue(value);
    if (m_settings->value(encodeKey(key)) == QVariant(encoded) && fileStamp() == m_synced) {
        return;
    }
    m_settings->setValue(encodeKey(key), encoded);
    sync();
}

void LinuxDefaultsStore::remove(const QString& key)
{
    if (key.isEmpty()) {
        return;
    }
    m_settings->remove(encodeKey(key));
    sync();
}

QStringList LinuxDefaultsStore::keys() const
{
    QStringList result;
    const QStringList stored = m_settings->allKeys();
    result.reserve(stored.size());
    for (const QString& key : stored) {
        result.append(decodeKey(key));
    }
    std::sort(result.begin(), result.end());
    return result;
}

void LinuxDefaultsStore::sync()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        qWarning("Norvale: cannot write the settings file %s", qUtf8Printable(m_filePath));
    }
    // QSettings' atomic save keeps the replaced file's mode; this only matters when the file
    // was removed behind our back and recreated with the umask's mode.
    struct stat info;
    const QByteArray native = QFile::encodeName(m_filePath);
    if (::stat(native.constData(), &info) == 0 && (info.st_mode & 07777) != 0600) {
        PrivateFiles::setPrivateMode(m_filePath);
    }
    m_synced = fileStamp();
}

LinuxDefaultsStore::FileStamp LinuxDefaultsStore::fileStamp() const
{
    struct stat info;
    if (::stat(QFile::encodeName(m_filePath).constData(), &info) != 0) {
        return {};
    }
    return {static_cast<qint64>(info.st_ino), static_cast<qint64>(info.st_size),
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}
