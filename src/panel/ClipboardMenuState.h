#pragma once

// Shared between the application and the quick panel: resetToken is renewed every time the
// panel is about to open, and the panel resets its transient state (search text, selection,
// sub-panels) when it changes. The value itself means nothing.
//
// ClipboardHistoryMenuCopySource tells the application what the panel has just put on the
// clipboard: a history entry, or a fixed phrase (which is always pasted at once).

#include <QObject>
#include <QUuid>

enum class ClipboardHistoryMenuCopySource
{
    History,
    FixedPhraseAutoPaste
};

class ClipboardMenuState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUuid resetToken READ resetToken NOTIFY resetTokenChanged)

public:
    explicit ClipboardMenuState(QObject* parent = nullptr);

    QUuid resetToken() const { return m_resetToken; }
    // Assigns a fresh random token (always a change).
    void renewResetToken();

Q_SIGNALS:
    void resetTokenChanged(const QUuid& token);

private:
    QUuid m_resetToken;
};
