#include "SimPasteboard.h"

#include <utility>

QStringList SimPasteboard::types() const
{
    QStringList result;
    for (const auto& [type, bytes] : read()) {
        result.append(type);
    }
    return result;
}

std::optional<QString> SimPasteboard::string(const QString& type) const
{
    if (const std::optional<QByteArray> bytes = data(type)) {
        return QString::fromUtf8(*bytes);
    }
    return std::nullopt;
}

std::optional<QByteArray> SimPasteboard::data(const QString& type) const
{
    for (const auto& [t, bytes] : read()) {
        if (t == type) {
            return bytes;
        }
    }
    return std::nullopt;
}

void SimPasteboard::clear()
{
    replace({});
    ++m_clears;
}

void SimPasteboard::write(const QList<QPair<QString, QByteArray>>& items)
{
    replace(items);
    ++m_writes;
}

void SimPasteboard::setContents(const QList<QPair<QString, QByteArray>>& items)
{
    replace(items);
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
    const QMutexLocker lock(&m_mutex);
    m_onNextRead = std::move(hook);
}

QList<QPair<QString, QByteArray>> SimPasteboard::contents() const
{
    const QMutexLocker lock(&m_mutex);
    return m_items;
}

QList<QPair<QString, QByteArray>> SimPasteboard::read() const
{
    std::function<void()> hook;
    {
        const QMutexLocker lock(&m_mutex);
        hook = std::exchange(m_onNextRead, nullptr);
    }
    if (hook) {
        hook();
    }
    return contents();
}

void SimPasteboard::replace(const QList<QPair<QString, QByteArray>>& items)
{
    const QMutexLocker lock(&m_mutex);
    m_items = items;
    ++m_changeCount;
}
