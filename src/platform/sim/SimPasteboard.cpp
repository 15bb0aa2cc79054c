#include "SimPasteboard.h"

QStringList SimPasteboard::types() const
{
    noteRead();
    QStringList result;
    for (const auto& [type, bytes] : m_items) {
        result.append(type);
    }
    return result;
}

std::optional<QString> SimPasteboard::string(const QString& type) const
{
    noteRead();
    for (const auto& [t, bytes] : m_items) {
        if (t == type) {
            return QString::fromUtf8(bytes);
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> SimPasteboard::data(const QString& type) const
{
    noteRead();
    for (const auto& [t, bytes] : m_items) {
        if (t == type) {
            return bytes;
        }
    }
    return std::nullopt;
}

void SimPasteboard::clear()
{
    m_items.clear();
    ++m_clears;
    ++m_changeCount;
}

void SimPasteboard::write(const QList<QPair<QString, QByteArray>>& items)
{
    m_items = items;
    ++m_writes;
    ++m_changeCount;
}

void SimPasteboard::setContents(const QList<QPair<QString, QByteArray>>& items)
{
    m_items = items;
    ++m_changeCount;
}

void SimPasteboard::setText(const QString& text)
{
    setContents({{PasteboardType::string, text.toUtf8()}});
}

void SimPasteboard::bumpChangeCount()
{
    ++m_changeCount;
}

void SimPasteboard::setOnNextRead(std::function<void()> hook)
{
    m_onNextRead = std::move(hook);
}

void SimPasteboard::noteRead() const
{
    if (m_onNextRead) {
        auto hook = std::move(m_onNextRead);
        m_onNextRead = nullptr;
        hook();
    }
}
