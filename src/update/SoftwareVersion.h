#pragma once

// This build's version (the project's version in CMake) and build number (the git commit
// count at configure time, or the cache value NORVALE_BUILD_NUMBER); nothing when unknown.

#include <QString>

#include <optional>

namespace SoftwareVersion {

std::optional<QString> version();
std::optional<QString> build();

} // namespace SoftwareVersion
