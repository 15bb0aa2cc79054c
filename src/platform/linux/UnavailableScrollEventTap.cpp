#include "UnavailableScrollEventTap.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

UnavailableScrollEventTap::UnavailableScrollEventTap(QString inputDirectory, QString uinputPath)
    : m_inputDirectory(std::move(inputDirectory))
    , m_uinputPath(std::move(uinputPath))
{ }

ScrollEventTap::Access UnavailableScrollEventTap::access() const
{
    Access access;
    access.accessibility = ::access(QFile::encodeName(m_uinputPath).constData(), W_OK) == 0;
    const QDir input(m_inputDirectory);
    const QStringList nodes = input.entryList({QStringLiteral("event*")}, QDir::System);
    for (const QString& node : nodes) {
        if (::access(QFile::encodeName(input.filePath(node)).constData(), R_OK) == 0) {
            access.inputMonitoring = true;
            break;
        }
    }
    return access;
}
