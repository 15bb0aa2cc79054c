#pragma once

// Version strings compared the way appcast updaters compare them: runs of digits compare by
// value, runs of letters as text, and a letter run marks a pre-release, so 1.2 < 1.10,
// 1.2 == 1.2.0 and 1.2b1 < 1.2. Trailing ".0" parts change nothing; white space separates as a
// period.

#include <QString>

namespace SoftwareUpdateVersion {

// Negative when a is older than b, zero when they are the same version, positive when newer.
int compare(const QString& a, const QString& b);

} // namespace SoftwareUpdateVersion
