#include "SoftwareVersion.h"

namespace {

std::optional<QString> nonEmpty(const char* text)
{
    const QString value = QString::fromUtf8(text).trimmed();
    return value.isEmpty() ? std::nullopt : std::optional(value);
}

} // namespace

std::optional<QString> SoftwareVersion::version()
{
    return nonEmpty(NORVALE_VERSION);
}

std::optional<QString> SoftwareVersion::build()
{
    return nonEmpty(NORVALE_BUILD_NUMBER);
}
