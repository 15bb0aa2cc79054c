#include "StatusItemIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// Resources of a static library must be registered by hand; outside any namespace.
static void initialiseStatusItemResources()
{
    Q_INIT_RESOURCE(norvale);
}

QIcon statusItemIcon()
{
    initialiseStatusItemResources();
    QSvgRenderer renderer(QStringLiteral(":/norvale/norvale.svg"));
    if (!renderer.isValid()) {
        return QIcon::fromTheme(QStringLiteral("edit-paste"));
    }
    QIcon result;
    for (const int side : {16, 18, 22, 24, 32, 36, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}
