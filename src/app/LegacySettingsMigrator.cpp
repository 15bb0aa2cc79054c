#include "LegacySettingsMigrator.h"

#include "PropertyListItems.h"
#include "platform/DefaultsStore.h"
#include "support/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <plist/plist.h>
#include <sys/stat.h>
#include <utility>

namespace LegacySettingsMigrator {

namespace {

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

QString containerData(const QString& home, const QString& bundleIdentifier)
{
    return home + QStringLiteral("/Library/Containers/") + bundleIdentifier +
        QStringLiteral("/Data");
}

QStringList preferenceFiles(const QString& home, const QString& bundleIdentifier)
{
    const QString name =
        QStringLiteral("/Library/Preferences/") + bundleIdentifier + QStringLiteral(".plist");
    return {containerData(home, bundleIdentifier) + name, home + name};
}

QStringList dataFolderCandidates(const QString& home, const QString& bundleIdentifier)
{
    const QString folder = QStringLiteral("/Library/Application Support/Norvale");
    return {home + folder, containerData(home, bundleIdentifier) + folder};
}

// A binary file can hold a key with a NUL inside, which no XML file can. The XML form shows it
// without reading any key back.
bool holdsNul(plist_t root)
{
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    const bool found = xml == nullptr || std::memchr(xml, 0, length) != nullptr;
    plist_to_xml_free(xml);
    return found;
}

Plist readPropertyList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) ||
        file.size() > qint64(std::numeric_limits<uint32_t>::max())) {
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) {
        return nullptr;
    }
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    Plist result(root);
    if (result && bytes.startsWith("bplist") && holdsNul(result.get())) {
        return nullptr; // malformed: reading such a key back aborts inside libplist
    }
    return result;
}

QByteArray xmlPropertyList(plist_t node)
{
    // Serialised on its own, detached from the dictionary it came from.
    const Plist copy(plist_copy(node));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(copy.get(), &xml, &length);
    QByteArray bytes(xml, xml != nullptr ? qsizetype(length) : 0);
    plist_to_xml_free(xml);
    return bytes;
}

DefaultsValue defaultsValue(plist_t node)
{
    uint64_t length = 0;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
        return plist_bool_val_is_true(node) != 0;
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return static_cast<qint64>(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        const char* text = plist_get_string_ptr(node, &length);
        return QString::fromUtf8(text, qsizetype(length));
    }
    case PLIST_DATA: {
        const char* bytes = plist_get_data_ptr(node, &length);
        return QByteArray(bytes, qsizetype(length));
    }
    default: {
        QByteArray bytes = xmlPropertyList(node);
        return bytes.isEmpty() ? DefaultsValue() : DefaultsValue(std::move(bytes));
    }
    }
}

using Entries = QList<std::pair<QString, DefaultsValue>>;

bool containsKey(const Entries& entries, const QString& key)
{
    return std::any_of(
        entries.cbegin(), entries.cend(), [&key](const auto& entry) { return entry.first == key; });
}

// Appends the file's pairs whose keys are not collected yet; returns how many it appended.
int collectPreferences(const QString& path, Entries& collected)
{
    const Plist root = readPropertyList(path);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return 0;
    }
    int count = 0;
    forEachPropertyListItem(root.get(), [&](const QString& key, plist_t node) {
        DefaultsValue value = defaultsValue(node);
        if (key.isEmpty() || std::holds_alternative<std::monostate>(value) ||
            containsKey(collected, key)) {
            return;
        }
        collected.append({key, std::move(value)});
        ++count;
    });
    return count;
}

bool existsWithoutFollowing(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QStringList folderContents(const QString& path)
{
    return QDir(path).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
}

// Copies a file or a folder with its contents to a path where nothing exists yet. True when
// everything arrived; what did arrive of a failed folder copy stays.
bool copyItem(const QString& from, const QString& to)
{
    const QFileInfo source(from);
    if (source.isDir()) {
        if (source.isSymLink() || ::mkdir(QFile::encodeName(to).constData(), 0700) != 0) {
            return false;
        }
        bool complete = true;
        for (const QString& name : folderContents(from)) {
            complete =
                copyItem(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name) && complete;
        }
        return complete;
    }
    // Only regular files carry data; reading a pipe or a device could block the launch.
    return source.isFile() &&
        PrivateFiles::copyNoReplace(QFile::encodeName(from), QFile::encodeName(to)) == 0;
}

} // namespace

bool migrateIfNeeded(
    DefaultsStore& defaults, const Locations& locations, const QString& bundleIdentifier)
{
    if (defaults.boolValue(checkedKey).value_or(false)) {
        return false;
    }
    bool migrated = false;
    if (!bundleIdentifier.isEmpty()) {
        const bool preferences = migrateUserDefaults(defaults, locations.home, bundleIdentifier);
        const bool files = migrateApplicationSupportFiles(locations, bundleIdentifier);
        migrated = preferences || files;
    }
    defaults.set(checkedKey, true);
    return migrated;
}

bool migrateUserDefaults(
    DefaultsStore& defaults, const QString& home, const QString& bundleIdentifier)
{
    if (home.isEmpty() || !defaults.keys().isEmpty()) {
        return false;
    }
    Entries collected;
    for (const QString& path : preferenceFiles(home, bundleIdentifier)) {
        const int count = collectPreferences(path, collected);
        if (count >= 1) {
            for (const auto& [key, value] : std::as_const(collected)) {
                defaults.set(key, value);
            }
            qInfo("Norvale: Debug/旧環境からUserDefaultsを移行しました（%d件）", count);
            return true;
        }
    }
    return false;
}

bool migrateApplicationSupportFiles(const Locations& locations, const QString& bundleIdentifier)
{
    if (locations.home.isEmpty()) {
        return false;
    }
    const QString dataFolder = locations.applicationSupport;
    const QString standardDataFolder = QDir::cleanPath(QDir(dataFolder).absolutePath());
    bool copied = false;
    for (const QString& candidate : dataFolderCandidates(locations.home, bundleIdentifier)) {
        if (QDir::cleanPath(QDir(candidate).absolutePath()) == standardDataFolder) {
            continue;
        }
        const QStringList names = folderContents(candidate);
        if (names.isEmpty()) {
            continue;
        }
        PrivateFiles::ensureDirectory(dataFolder);
        for (const QString& name : names) {
            const QString target = dataFolder + QLatin1Char('/') + name;
            if (!existsWithoutFollowing(target) &&
                copyItem(candidate + QLatin1Char('/') + name, target)) {
                copied = true;
            }
        }
    }
    if (copied) {
        qInfo("Norvale: Debug/旧環境からApplication Supportファイルを移行しました");
    }
    return copied;
}

} // namespace LegacySettingsMigrator
