#pragma once

// The attached displays reduced to two strings: the monitor signature, which identifies a
// configuration and is compared character for character, and a short description for people.
// Frames are in the bottom-up space (origin at the primary display's bottom-left corner, y
// upwards), so that a signature reads the same whatever order the desktop lists its screens
// in: parts are sorted by origin, and which display is primary shows only in the description.
//
// stableMonitorSignature() brings signatures written by earlier versions (extra "id:" and
// "main:" components, parts in any order) into the current form; a current signature is a
// fixed point of it.

#include "platform/Displays.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <utility>

struct MonitorDescriptor
{
    bool isBuiltIn = false;
    qint64 frameOriginX = 0;
    qint64 frameOriginY = 0;
    qint64 frameWidth = 0;
    qint64 frameHeight = 0;
    qint64 pixelWidth = 0;
    qint64 pixelHeight = 0;
    bool isPrimary = false;

    QString signaturePart() const;
    QString readablePart() const;

    bool operator==(const MonitorDescriptor& other) const = default;
};

struct MonitorConfiguration
{
    QString signature;
    QString description;
};

// One descriptor per display, in the platform's order; the first display is the primary one.
QList<MonitorDescriptor> monitorDescriptors(const QList<DisplayInfo>& displays);
MonitorConfiguration monitorConfiguration(QList<MonitorDescriptor> descriptors);

QString stableMonitorSignature(const QString& signature);
// (x, y) of the part's "origin:" component; both the largest qint64 when it has none that
// reads as two integers.
std::pair<qint64, qint64> monitorSignatureSortKey(QStringView part);
