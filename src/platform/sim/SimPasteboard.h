#pragma once

// A scriptable pasteboard: tests set contents as a foreign application would (each set is
// one change), bump the count, or arrange for the contents to change in the middle of a read.
// Changes are silent until the test sends the notification itself (notifyChanged), so it
// decides whether a change is noticed at once, late, several times or only by polling.
// The capture reads on a worker thread while the simulated world copies on the main thread, so
// the contents are guarded.

#include "platform/Pasteboard.h"

#include <QMap>
#include <QMutex>

#include <atomic>
#include <functional>

class SimPasteboard final : public Pasteboard
{
public:
    QString name() const override { return QStringLiteral("CLIPBOARD"); }
    qint64 changeCount() const override { return m_changeCount.load(); }
    QStringList types() const override;
    std::optional<QString> string(const QString& type) const override;
    std::optional<QByteArray> data(const QString& type) const override;
    void clear() override;
    void write(const QList<QPair<QString, QByteArray>>& items) override;

    // A foreign copy: replaces the contents and counts one change.
    void setContents(const QList<QPair<QString, QByteArray>>& items);
    void setText(const QString& text);
    void bumpChangeCount();
    void notifyChanged() { Q_EMIT changed(); }
    // Called once, on the next read of contents (a change racing the capture).
    void setOnNextRead(std::function<void()> hook);

    int writeCount() const { return m_writes; }
    int clearCount() const { return m_clears; }
    QList<QPair<QString, QByteArray>> contents() const;

private:
    // Runs the pending read hook (outside the lock: it usually changes the contents) and returns
    // the contents as they are afterwards.
    QList<QPair<QString, QByteArray>> read() const;
    void replace(const QList<QPair<QString, QByteArray>>& items);

    mutable QMutex m_mutex;
    QList<QPair<QString, QByteArray>> m_items;
    std::atomic<qint64> m_changeCount {0};
    mutable std::function<void()> m_onNextRead;
    int m_writes = 0;
    int m_clears = 0;
};
