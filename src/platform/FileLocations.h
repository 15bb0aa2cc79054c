#pragma once

// Where Norvale keeps its files. Production: the generic data location + "/Norvale";
// tests pass a temporary folder.

#include <QString>

class FileLocations final
{
public:
    explicit FileLocations(QString applicationSupportDirectory);
    static FileLocations standard();

    QString applicationSupportDirectory() const { return m_applicationSupport; }
    QString filePath(const QString& fileName) const;

private:
    QString m_applicationSupport;
};
