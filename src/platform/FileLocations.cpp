#include "FileLocations.h"

#include <QStandardPaths>

FileLocations::FileLocations(QString applicationSupportDirectory)
    : m_applicationSupport(std::move(applicationSupportDirectory))
{ }

FileLocations FileLocations::standard()
{
    return FileLocations(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/Norvale"));
}

QString FileLocations::filePath(const QString& fileName) const
{
    return m_applicationSupport + QLatin1Char('/') + fileName;
}
