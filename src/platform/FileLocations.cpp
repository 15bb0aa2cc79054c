#include "FileLocations.h"

#include <QStandardPaths>

FileLocations::FileLocations(QString applicationSupportDirectory, QString cacheDirectory)
    : m_applicationSupport(std::move(applicationSupportDirectory))
    , m_cache(cacheDirectory.isEmpty() ? m_applicationSupport + QStringLiteral("/Cache")
                                       : std::move(cacheDirectory))
{ }

FileLocations FileLocations::standard()
{
    return FileLocations(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/Norvale"),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
            QStringLiteral("/Norvale"));
}

QString FileLocations::filePath(const QString& fileName) const
{
    return m_applicationSupport + QLatin1Char('/') + fileName;
}
