#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> handledSignals {SIGTERM, SIGINT, SIGHUP};
std::array<int, 2> g_pipe {-1, -1};

extern "C" void writeSignalToPipe(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a pending request: dropping this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

void restoreDefaultDispositions()
{
    for (const int signalNumber : handledSignals) {
        struct sigaction action = {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }
}

} // namespace

bool TerminationSignals::install()
{
    if (g_pipe[0] < 0) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            return false;
        }
        g_pipe = {fds[0], fds[1]};
    }
    for (const int signalNumber : handledSignals) {
        struct sigaction action = {};
        action.sa_handler = writeSignalToPipe;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(signalNumber, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (g_pipe[0] < 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::readSignals()
{
    unsigned char bytes[16];
    int last = 0;
    for (;;) {
        const ssize_t count = ::read(g_pipe[0], bytes, sizeof(bytes));
        if (count <= 0) {
            break;
        }
        last = bytes[count - 1];
    }
    if (last != 0) {
        restoreDefaultDispositions();
        Q_EMIT terminationRequested(last);
    }
}
