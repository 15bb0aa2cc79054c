#include "ClipboardMenuState.h"

ClipboardMenuState::ClipboardMenuState(QObject* parent)
    : QObject(parent)
    , m_resetToken(QUuid::createUuid())
{ }

void ClipboardMenuState::renewResetToken()
{
    QUuid token = QUuid::createUuid();
    while (token == m_resetToken) {
        token = QUuid::createUuid();
    }
    m_resetToken = token;
    Q_EMIT resetTokenChanged(m_resetToken);
}
