#pragma once

// The defaults store on Linux: QSettings' INI form in ~/.config/Norvale/Norvale.conf.
//
// INI reads every scalar back as a string, so each value is stored as tagged text that keeps
// its type: "bool:true", "int:-3", "double:0.1" (shortest text that reads back to the same
// double), "string:<text>", "data:<Base64>", and "utf16:<Base64 of UTF-16LE>" for the rare
// string that UTF-8 cannot carry (a lone surrogate). A hand-written value without a tag reads
// as a string; a tagged value that does not parse reads as absent.
//
// QSettings splits keys at '/' and '\' into groups and folds repeated separators, so those
// two characters and '%' are written as %2F, %5C and %25 in the key; dots are kept as they
// are ("feature.clipboardHistory.enabled").
//
// Every change is synced to disk at once; setting a value the store already holds writes
// nothing, unless the file changed since the store last synced it (feature models store their
// unchanged lists on every periodic refresh). The folder is 0700 and the file 0600: the file is
// created 0600 before QSettings first writes it, and QSettings' atomic save keeps the mode of
// the file it replaces.

#include "platform/DefaultsStore.h"

#include <memory>

class QSettings;

class LinuxDefaultsStore final : public DefaultsStore
{
public:
    // The standard location: the generic config folder + "/Norvale/Norvale.conf".
    LinuxDefaultsStore();
    explicit LinuxDefaultsStore(const QString& filePath);
    ~LinuxDefaultsStore() override;
    LinuxDefaultsStore(const LinuxDefaultsStore&) = delete;
    LinuxDefaultsStore& operator=(const LinuxDefaultsStore&) = delete;

    static QString standardFilePath();
    QString filePath() const { return m_filePath; }

    DefaultsValue value(const QString& key) const override;
    void set(const QString& key, const DefaultsValue& value) override;
    void remove(const QString& key) override;
    QStringList keys() const override;

private:
    // The file as a sync leaves it; any writer replaces or rewrites it, changing one of these.
    struct FileStamp
    {
        qint64 inode = -1;
        qint64 size = -1;
        qint64 modifiedNs = -1;
        bool operator==(const FileStamp&) const = default;
    };

    void sync();
    FileStamp fileStamp() const;

    QString m_filePath;
    std::unique_ptr<QSettings> m_settings;
    FileStamp m_synced;
};
