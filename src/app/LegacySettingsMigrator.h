#pragma once

// Copies what an earlier, sandboxed build of Norvale left behind into the places Norvale reads
// today, once, before anything reads its settings: the preferences (from the sandbox
// container's preferences file, else the ordinary one, both property lists under the home
// folder) and the files of the data folder. The attempt is made once whatever it finds; every
// failure only reduces what is copied.
//
// The preferences become typed defaults values: bool, integer, real, string and data map onto
// the store's own types; anything the store has no type for (arrays, dictionaries, dates) is
// kept as data holding that value as an XML property list, so nothing is lost. Integers are
// read as signed 64-bit values, as the platform's store writes them.
//
// Copied files are 0600 and copied folders 0700, like everything else in the data folder; a
// link to a folder is not followed. The two log lines go through Qt's logging (the journal or
// stderr).

#include <QString>

class DefaultsStore;

namespace LegacySettingsMigrator {

struct Locations
{
    // The user's home folder, under which the earlier build kept its files. Empty: nothing
    // is read (the simulated world).
    QString home;
    // Norvale's data folder.
    QString applicationSupport;
};

inline const QString checkedKey = QStringLiteral("legacyMigration.checked");

// Runs both migrations unless the check flag is set, then sets it. An empty bundle identifier
// migrates nothing. Returns whether anything was copied.
bool migrateIfNeeded(
    DefaultsStore& defaults, const Locations& locations, const QString& bundleIdentifier);
// Returns whether preferences were copied.
bool migrateUserDefaults(
    DefaultsStore& defaults, const QString& home, const QString& bundleIdentifier);
// Returns whether at least one file or folder was copied.
bool migrateApplicationSupportFiles(const Locations& locations, const QString& bundleIdentifier);

} // namespace LegacySettingsMigrator
