#pragma once

// Norvale's data folder holds whatever the user copied, so the folder is 0700 and every file
// in it 0600 whatever the umask. Writes are atomic (QSaveFile without the direct-write
// fallback, mode set before the commit) and a file that cannot be read is moved aside before
// anything could replace it.

#include <QDateTime>
#include <QString>

#include <functional>

class QIODevice;

namespace PrivateFiles {

// Creates the folder (and parents) if missing; a folder that exists and that we own is
// tightened to 0700. False with *error set on failure.
bool ensureDirectory(const QString& path, QString* error = nullptr);

// Writes path atomically: the folder is ensured, writer fills the temporary file, the file is
// made 0600 and committed. A writer returning false, or any I/O error, leaves the old file.
// A path that is a symbolic link (a store kept in a synced folder) stays a link: its target is
// replaced atomically, on purpose, and so becomes 0600 too.
bool writeAtomically(
    const QString& path, const std::function<bool(QIODevice&)>& writer, QString* error = nullptr);
bool writeAtomically(const QString& path, const QByteArray& contents, QString* error = nullptr);

// Renames path to "<path>.unreadable-<yyyyMMddTHHmmss UTC>" (then -2, -3, ... on a collision)
// with mode 0600. A link to a file is kept and its target's bytes copied to that name instead,
// so the kept file is never a link. Returns the new path, or an empty string on failure.
QString moveAside(const QString& path, const QDateTime& now,
    const QString& suffix = QStringLiteral("unreadable"));

// Copies the bytes of the file (or of the file a link points to) into a new file, 0600, never
// over an existing one; a failed copy leaves nothing behind. 0 or an errno.
int copyNoReplace(const QByteArray& from, const QByteArray& to);

bool setPrivateMode(const QString& path);

} // namespace PrivateFiles
