#include "QuickPanelSymbols.h"

#include <QHash>

// Outside any namespace, as the resource's initialiser is declared where this is called.
static void initSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

namespace QuickPanelSymbols {

QIcon icon(const QString& symbol)
{
    static const bool initialised = (initSymbolResources(), true);
    Q_UNUSED(initialised);
    static const QHash<QString, QString> themeNames {
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("edit-clear")},
        {QStringLiteral("xmark.circle"), QStringLiteral("window-close")},
        {QStringLiteral("photo"), QStringLiteral("image-x-generic")},
        {QStringLiteral("text.quote"), QStringLiteral("format-justify-left")},
        {QStringLiteral("chevron.right"), QStringLiteral("go-next")},
        {QStringLiteral("square.stack.3d.up"), QStringLiteral("edit-copy")},
    };
    // Rows paint their symbols on every repaint: each is looked up once.
    static QHash<QString, QIcon> icons;
    auto found = icons.constFind(symbol);
    if (found == icons.cend()) {
        const QIcon drawn(QStringLiteral(":/panel/symbols/%1.svg").arg(symbol));
        found = icons.insert(symbol, QIcon::fromTheme(themeNames.value(symbol), drawn));
    }
    return *found;
}

} // namespace QuickPanelSymbols
