#include "MonitorDescriptor.h"

#include <QStringBuilder>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString number(qint64 value)
{
    return QString::number(value);
}

QList<QStringView> nonEmptyPieces(QStringView text, QChar separator)
{
    QList<QStringView> pieces;
    for (const QStringView piece : text.tokenize(separator, Qt::SkipEmptyParts)) {
        pieces.append(piece);
    }
    return pieces;
}

} // namespace

QString MonitorDescriptor::signaturePart() const
{
    return (isBuiltIn ? QStringLiteral("type:builtin") : QStringLiteral("type:external")) %
        QStringLiteral(";origin:") % number(frameOriginX) % QLatin1Char(',') %
        number(frameOriginY) % QStringLiteral(";size:") % number(frameWidth) % QLatin1Char('x') %
        number(frameHeight) % QStringLiteral(";pixel:") % number(pixelWidth) % QLatin1Char('x') %
        number(pixelHeight);
}

QString MonitorDescriptor::readablePart() const
{
    return (isBuiltIn ? QStringLiteral("内蔵") : QStringLiteral("外部")) %
        (isPrimary ? QStringLiteral("*") : QString()) % QLatin1Char(' ') % number(frameWidth) %
        QLatin1Char('x') % number(frameHeight) % QStringLiteral(" @ (") % number(frameOriginX) %
        QStringLiteral(", ") % number(frameOriginY) % QLatin1Char(')');
}

QList<MonitorDescriptor> monitorDescriptors(const QList<DisplayInfo>& displays)
{
    QList<MonitorDescriptor> descriptors;
    for (qsizetype i = 0; i < displays.size(); ++i) {
        const DisplayInfo& display = displays.at(i);
        const QRect frame = bottomUpFrame(display, displays);
        MonitorDescriptor descriptor;
        descriptor.isBuiltIn = display.isBuiltIn;
        descriptor.frameOriginX = frame.x();
        descriptor.frameOriginY = frame.y();
        descriptor.frameWidth = frame.width();
        descriptor.frameHeight = frame.height();
        if (display.pixelSize) {
            descriptor.pixelWidth = display.pixelSize->width();
            descriptor.pixelHeight = display.pixelSize->height();
        } else {
            descriptor.pixelWidth = std::llround(frame.width() * display.devicePixelRatio);
            descriptor.pixelHeight = std::llround(frame.height() * display.devicePixelRatio);
        }
        descriptor.isPrimary = i == 0;
        descriptors.append(descriptor);
    }
    return descriptors;
}

MonitorConfiguration monitorConfiguration(QList<MonitorDescriptor> descriptors)
{
    std::stable_sort(descriptors.begin(), descriptors.end(),
        [](const MonitorDescriptor& a, const MonitorDescriptor& b) {
            return std::tie(a.frameOriginX, a.frameOriginY, a.frameWidth, a.frameHeight) <
                std::tie(b.frameOriginX, b.frameOriginY, b.frameWidth, b.frameHeight);
        });
    QStringList signature;
    QStringList description;
    for (const MonitorDescriptor& descriptor : std::as_const(descriptors)) {
        signature.append(descriptor.signaturePart());
        description.append(descriptor.readablePart());
    }
    return {signature.join(QLatin1Char('|')), description.join(QStringLiteral(" / "))};
}

std::pair<qint64, qint64> monitorSignatureSortKey(QStringView part)
{
    constexpr qint64 Largest = std::numeric_limits<qint64>::max();
    const QStringView prefix = u"origin:";
    for (const QStringView component : nonEmptyPieces(part, QLatin1Char(';'))) {
        if (!component.startsWith(prefix)) {
            continue;
        }
        QList<qint64> values;
        for (const QStringView piece :
            nonEmptyPieces(component.mid(prefix.size()), QLatin1Char(','))) {
            // Qt's reader would also take surrounding blanks, which a number here never has.
            bool ok = piece.trimmed().size() == piece.size();
            const qint64 value = ok ? piece.toLongLong(&ok, 10) : 0;
            if (ok) {
                values.append(value);
            }
        }
        if (values.size() == 2) {
            return {values.at(0), values.at(1)};
        }
        break;
    }
    return {Largest, Largest};
}

QString stableMonitorSignature(const QString& signature)
{
    QStringList parts;
    for (const QStringView part : nonEmptyPieces(signature, QLatin1Char('|'))) {
        QStringList kept;
        for (const QStringView component : nonEmptyPieces(part, QLatin1Char(';'))) {
            if (!component.startsWith(u"main:") && !component.startsWith(u"id:")) {
                kept.append(component.toString());
            }
        }
        // A part that held nothing but dropped components would come back as an empty part,
        // which the next pass drops: keeping it would make the result unstable.
        if (!kept.isEmpty()) {
            parts.append(kept.join(QLatin1Char(';')));
        }
    }
    std::stable_sort(parts.begin(), parts.end(), [](const QString& a, const QString& b) {
        return monitorSignatureSortKey(a) < monitorSignatureSortKey(b);
    });
    return parts.join(QLatin1Char('|'));
}
