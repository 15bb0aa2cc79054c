#pragma once

// SIGTERM (logout, `kill`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went away)
// end Norvale the normal way, so that the termination sequence runs and nothing in flight is
// lost. The handlers only write the signal's number into a pipe (the one thing a signal
// handler may safely do); a socket notifier turns it into terminationRequested() on the main
// thread. After the first request the default dispositions come back, so a second signal
// ends a process whose clean exit got stuck.

#include <QObject>

class QSocketNotifier;

class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers (call it early, before threads start, so that a signal during
    // start-up is kept for the event loop; calling it again re-arms them). False when the
    // pipe or a handler could not be set up.
    static bool install();

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignals();

    QSocketNotifier* m_notifier = nullptr;
};
