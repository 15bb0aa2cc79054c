#include "EvdevScrollLoop.h"

#include <QSocketNotifier>

EvdevScrollLoop::EvdevScrollLoop(const QList<int>& inputFds, int outputFd,
    const EvdevScrollRewriter::Handler& handler, std::function<void()> ended)
    : m_ended(std::move(ended))
{
    for (const int fd : inputFds) {
        Input input;
        input.rewriter = std::make_unique<EvdevScrollRewriter>(fd, outputFd, handler);
        input.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        EvdevScrollRewriter* rewriter = input.rewriter.get();
        QObject::connect(input.notifier.get(), &QSocketNotifier::activated, input.notifier.get(),
            [this, rewriter] {
                if (m_running && !rewriter->pump()) {
                    stop();
                }
            });
        m_inputs.push_back(std::move(input));
    }
}

EvdevScrollLoop::~EvdevScrollLoop() = default;

void EvdevScrollLoop::stop()
{
    m_running = false;
    for (const Input& input : m_inputs) {
        input.notifier->setEnabled(false);
    }
    if (m_ended) {
        // The owner may destroy this loop from here; nothing of it is touched afterwards.
        std::function<void()> ended = std::move(m_ended);
        ended();
    }
}
