#pragma once

// Where Norvale keeps its files. Production: the generic data location + "/Norvale", and for
// what can be rebuilt from those files the generic cache location + "/Norvale"; tests pass a
// temporary folder, whose "Cache" subfolder is then the cache.

#include <QString>

class FileLocations final
{
public:
    explicit FileLocations(QString applicationSupportDirectory, QString cacheDirectory = {});
    static FileLocations standard();

    QString applicationSupportDirectory() const { return m_applicationSupport; }
    QString filePath(const QString& fileName) const;
    QString cacheDirectory() const { return m_cache; }

private:
    QString m_applicationSupport;
    QString m_cache;
};
