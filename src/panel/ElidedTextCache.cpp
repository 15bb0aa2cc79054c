#include "ElidedTextCache.h"

#include <QPainter>
#include <QRect>

ElidedTextCache::ElidedTextCache(const QFont& font, int capacity)
    : m_font(font)
    , m_metrics(font)
    , m_lines(capacity)
{ }

const QStaticText& ElidedTextCache::line(const QString& text, int width)
{
    Key key {text, width};
    if (QStaticText* cached = m_lines.object(key)) {
        return *cached;
    }
    auto* laidOut = new QStaticText(m_metrics.elidedText(text, Qt::ElideRight, width));
    laidOut->setTextFormat(Qt::PlainText);
    laidOut->prepare(QTransform(), m_font);
    m_lines.insert(std::move(key), laidOut);
    return *laidOut;
}

void ElidedTextCache::draw(
    QPainter* painter, const QRect& rect, Qt::Alignment alignment, const QString& text)
{
    const QStaticText& laidOut = line(text, rect.width());
    const int width = int(std::ceil(laidOut.size().width()));
    const int x = alignment.testFlag(Qt::AlignRight) ? rect.right() + 1 - width : rect.left();
    const int y = rect.top() + (rect.height() - m_metrics.height()) / 2;
    painter->setFont(m_font);
    painter->drawStaticText(QPoint(x, y), laidOut);
}
