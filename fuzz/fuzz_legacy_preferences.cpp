// The preferences property list (XML or binary) an earlier build left under the home folder,
// migrated on the first launch. Whatever migrates must migrate the same way from the same file,
// a second launch must change nothing, every key of the file must arrive (values the store has
// no type for as a property list that reads back), and nothing under the home folder may be
// written, the preferences file included.

#include "FuzzCheck.h"
#include "app/LegacySettingsMigrator.h"
#include "app/PropertyListItems.h"
#include "platform/sim/MemoryDefaultsStore.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <plist/plist.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

const QString bundleIdentifier = QStringLiteral("app.norvale.Norvale");
const QString preferencesFile =
    QStringLiteral("Library/Preferences/") + bundleIdentifier + QStringLiteral(".plist");

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// In memory where the system offers it: on a disk file system, rewriting the file for every
// input makes the kernel write it back, which took most of the time of a run.
QString temporaryTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QFileInfo info(memory);
    return (info.isDir() && info.isWritable() ? memory : QDir::tempPath()) +
        QStringLiteral("/fuzz_legacy_preferences-XXXXXX");
}

const QString& home()
{
    static QTemporaryDir* folder = [] {
        auto* created = new QTemporaryDir(temporaryTemplate());
        FUZZ_CHECK(created->isValid());
        FUZZ_CHECK(QDir(created->path()).mkpath(QStringLiteral("Library/Preferences")));
        // The migration logs one line per launch; thousands per second say nothing here.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return created;
    }();
    static const QString path = folder->path();
    return path;
}

LegacySettingsMigrator::Locations locations()
{
    return {home(), home() + QStringLiteral("/.local/share/Norvale")};
}

// Whether anything under the home folder was written, created, removed, renamed or changed
// its attributes since the last call (reading is no change). The folders there are watched
// from the first call on: comparing the whole tree before and after each launch took half of
// every run.
bool homeChanged()
{
    static const int watch = [] {
        const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        FUZZ_CHECK(descriptor >= 0);
        const std::uint32_t changes = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM |
            IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;
        QDirIterator folders(
            home(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        QStringList paths {home()};
        while (folders.hasNext()) {
            paths.append(folders.next());
        }
        for (const QString& path : std::as_const(paths)) {
            FUZZ_CHECK(
                inotify_add_watch(descriptor, QFile::encodeName(path).constData(), changes) >= 0);
        }
        return descriptor;
    }();
    alignas(inotify_event) char events[4096];
    bool changed = false;
    while (::read(watch, events, sizeof events) > 0) {
        changed = true;
    }
    return changed;
}

// Equal to the bit, so that a NaN read twice counts as the same value.
bool identical(const DefaultsStore& a, const DefaultsStore& b)
{
    QStringList keys = a.keys();
    QStringList otherKeys = b.keys();
    keys.sort();
    otherKeys.sort();
    if (keys != otherKeys) {
        return false;
    }
    for (const QString& key : std::as_const(keys)) {
        const DefaultsValue left = a.value(key);
        const DefaultsValue right = b.value(key);
        const auto* l = std::get_if<double>(&left);
        const auto* r = std::get_if<double>(&right);
        if (l != nullptr && r != nullptr ? std::memcmp(l, r, sizeof(double)) != 0 : left != right) {
            return false;
        }
    }
    return true;
}

// The node types found under each key of the file, by the key's text.
QHash<QString, QSet<plist_type>> fileKeys(const QByteArray& bytes)
{
    plist_t parsed = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &parsed);
    const Plist root(parsed);
    QHash<QString, QSet<plist_type>> keys;
    forEachPropertyListItem(root.get(),
        [&keys](const QString& key, plist_t node) { keys[key].insert(plist_get_node_type(node)); });
    return keys;
}

bool readsBackAs(const QByteArray& xml, const QSet<plist_type>& types)
{
    plist_t parsed = nullptr;
    plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &parsed);
    const Plist node(parsed);
    if (!node) {
        return false;
    }
    const plist_type type = plist_get_node_type(node.get());
    // XML has no UID: it is written, as Apple's keyed archives do, as a dictionary {CF$UID: n}.
    return types.contains(type) ||
        (type == PLIST_DICT && types.contains(PLIST_UID) &&
            plist_dict_get_item(node.get(), "CF$UID") != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(home() + QLatin1Char('/') + preferencesFile);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    homeChanged(); // our own write

    MemoryDefaultsStore first;
    const bool migrated =
        LegacySettingsMigrator::migrateIfNeeded(first, locations(), bundleIdentifier);
    FUZZ_CHECK(!homeChanged());
    FUZZ_CHECK(first.boolValue(LegacySettingsMigrator::checkedKey) == true);
    FUZZ_CHECK(migrated || first.keys() == QStringList {LegacySettingsMigrator::checkedKey});

    MemoryDefaultsStore again;
    FUZZ_CHECK(
        LegacySettingsMigrator::migrateIfNeeded(again, locations(), bundleIdentifier) == migrated);
    FUZZ_CHECK(identical(first, again));
    FUZZ_CHECK(!LegacySettingsMigrator::migrateIfNeeded(again, locations(), bundleIdentifier));
    FUZZ_CHECK(identical(first, again));
    FUZZ_CHECK(!homeChanged());

    if (!migrated) {
        return 0;
    }
    // A file that migrated has passed every check for keys libplist cannot read back.
    const QHash<QString, QSet<plist_type>> keys = fileKeys(bytes);
    for (auto it = keys.cbegin(); it != keys.cend(); ++it) {
        if (it.key().isEmpty()) {
            continue;
        }
        const DefaultsValue value = first.value(it.key());
        FUZZ_CHECK(!std::holds_alternative<std::monostate>(value));
        const auto* stored = std::get_if<QByteArray>(&value);
        if (stored != nullptr && !it.value().contains(PLIST_DATA)) {
            FUZZ_CHECK(readsBackAs(*stored, it.value()));
        }
    }
    for (const QString& key : first.keys()) {
        FUZZ_CHECK(keys.contains(key) || key == LegacySettingsMigrator::checkedKey);
    }
    return 0;
}
