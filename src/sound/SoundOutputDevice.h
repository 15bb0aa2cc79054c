#pragma once

#include <QString>

// An output device as the sound priority feature remembers it.
struct SoundOutputDevice
{
    QString id;
    QString name; // the identifier when the sound system gives no name
    bool isAvailable = false; // connected now

    bool operator==(const SoundOutputDevice& other) const = default;
};

// A switch of the default output that the sound system refused, with its status code.
class SoundPriorityError final
{
public:
    SoundPriorityError(QString soundSystemName, int status)
        : m_soundSystemName(std::move(soundSystemName))
        , m_status(status)
    { }

    int status() const { return m_status; }
    // "PulseAudio エラー -3": the name of the sound system that gave the status, since naming
    // another system's audio layer would mislead.
    QString errorDescription() const
    {
        return m_soundSystemName + QStringLiteral(" エラー ") + QString::number(m_status);
    }

private:
    QString m_soundSystemName;
    int m_status;
};
