#pragma once

// The base of the quick panel's delegates: the scale they paint at (sizes change with it, so
// the views lay their rows out again), the fonts of that scale and the view model their clicks
// go to. The fonts, their metrics and their laid-out lines are made once per scale, not for
// every row painted.

#include "ElidedTextCache.h"

#include <QFont>
#include <QFontMetrics>
#include <QStyledItemDelegate>

#include <optional>

class ClipboardHistoryMenuViewModel;

class QuickPanelDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    void setUiScale(double scale);
    double uiScale() const { return m_scale; }

protected:
    struct Fonts
    {
        // base's family at the three sizes of scale.
        Fonts(const QFont& base, double scale);

        QFont small; // 11 × scale
        QFont secondary; // 12 × scale
        QFont body; // 13 × scale
        QFontMetrics smallMetrics;
        QFontMetrics secondaryMetrics;
        QFontMetrics bodyMetrics;
        // Lines in each font, for texts a row paints elided (or that repeat from row to row).
        mutable ElidedTextCache smallLines;
        mutable ElidedTextCache secondaryLines;
        mutable ElidedTextCache bodyLines;
    };

    explicit QuickPanelDelegate(ClipboardHistoryMenuViewModel& menu, QObject* parent = nullptr);

    ClipboardHistoryMenuViewModel& menu() const { return m_menu; }
    // In the application font's family.
    const Fonts& fonts() const;

private:
    ClipboardHistoryMenuViewModel& m_menu;
    double m_scale = 1.0;
    mutable std::optional<Fonts> m_fonts;
};
