#pragma once

// One-line texts of one font, elided at the right to a width and laid out once: a row shown
// again (by the next keystroke, by scrolling back) paints without shaping its text again,
// which for Japanese text is most of a row's painting. The least recently used lines go first
// when more than capacity are kept.

#include <QCache>
#include <QFont>
#include <QFontMetrics>
#include <QStaticText>
#include <QString>

class QPainter;
class QRect;

class ElidedTextCache final
{
public:
    explicit ElidedTextCache(const QFont& font, int capacity = 512);

    // text elided to width, laid out in the font.
    const QStaticText& line(const QString& text, int width);
    // Paints line(text, rect's width) in the font, centred vertically, to the left or the right.
    void draw(QPainter* painter, const QRect& rect, Qt::Alignment alignment, const QString& text);

private:
    struct Key
    {
        QString text;
        int width = 0;
        bool operator==(const Key& other) const = default;
        friend size_t qHash(const Key& key, size_t seed = 0) noexcept
        {
            return qHashMulti(seed, key.text, key.width);
        }
    };

    QFont m_font;
    QFontMetrics m_metrics;
    QCache<Key, QStaticText> m_lines;
};
