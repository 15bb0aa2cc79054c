#include "SimDisplays.h"

void SimDisplays::setDisplays(const QList<DisplayInfo>& displays)
{
    if (displays == m_displays) {
        return;
    }
    m_displays = displays;
    Q_EMIT displaysChanged();
}

DisplayInfo SimDisplays::display(const QString& id, const QRect& frame, bool primary)
{
    DisplayInfo info;
    info.id = id;
    info.name = id;
    info.frame = frame;
    info.visibleFrame = frame;
    info.isPrimary = primary;
    return info;
}
