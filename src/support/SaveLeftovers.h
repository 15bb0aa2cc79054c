#pragma once

// An atomic save on Linux writes an unnamed file, links the finished copy to "<store>.XXXXXX"
// (a link cannot replace an existing name) and renames that over the store a moment later. A
// kill between the last two steps leaves "<store>.XXXXXX" holding the complete content of the
// save it interrupted: the user's last save, while the store still holds the one before.
//
// settle() runs before a store is read and decides each such leftover, so that the save is not
// lost, nothing that is not ours is touched, and nothing is deleted that is not a copy:
// - only a regular file of ours named exactly "<store>." + 6 letters (QTemporaryFile's
//   alphabet) next to a store that is not a symbolic link counts; anything else stays as it is;
// - the same bytes as the store: removed, it is a copy;
// - readable and newer than the store (or no store): the interrupted rename is completed, so
//   the save survives; a store that cannot be read is kept aside first, as at every load;
// - damaged, or not newer than the store (the clock went back, or an older build left it
//   while later saves went on): kept aside as "<leftover>.unreadable-<UTC stamp>" or
//   "<leftover>.superseded-<UTC stamp>", never deleted.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace SaveLeftovers {

// Whether the file at path reads as a whole store of its kind.
using Parses = std::function<bool(const QString& path)>;

// Settles the leftovers of storePath, oldest first; one line per leftover for the log.
QStringList settle(const QString& storePath, const Parses& parses, const QDateTime& now);

} // namespace SaveLeftovers
