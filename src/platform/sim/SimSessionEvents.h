#pragma once

// The session resuming on the test's word.

#include "platform/SessionEvents.h"

class SimSessionEvents final : public SessionEvents
{
    Q_OBJECT

public:
    using SessionEvents::SessionEvents;

    void resume() { Q_EMIT sessionResumed(); }
};
