// Ending the event loop on SIGINT or SIGTERM.
#include "stop_request.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace quorbel::live {
namespace {

// The end of a pipe the signal handler writes to: the event loop wakes on it at its next turn.
volatile std::sig_atomic_t g_wakeFd = -1;
volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void RequestStop(int) {
    g_stopRequested = 1;
    const int saved = errno;
    const char byte = 1;
    if (g_wakeFd >= 0)
        (void)!::write(g_wakeFd, &byte, 1);
    errno = saved;
}

}  // namespace

StopOnSignals::StopOnSignals(std::function<void()> onStop) {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;  // no pipe: the signals keep their previous handlers
    m_readFd = ends[0];
    m_writeFd = ends[1];
    m_wake = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    QObject::connect(m_wake.get(), &QSocketNotifier::activated, m_wake.get(),
                     [this, stop = std::move(onStop)] {
                         m_wake->setEnabled(false);
                         stop();
                     });
    g_stopRequested = 0;
    g_wakeFd = m_writeFd;
    m_previousInt = std::signal(SIGINT, RequestStop);
    m_previousTerm = std::signal(SIGTERM, RequestStop);
}

StopOnSignals::~StopOnSignals() {
    if (m_writeFd < 0)
        return;
    std::signal(SIGINT, m_previousInt);
    std::signal(SIGTERM, m_previousTerm);
    g_wakeFd = -1;
    m_wake.reset();
    ::close(m_readFd);
    ::close(m_writeFd);
}

bool StopOnSignals::Requested() const {
    return g_stopRequested != 0;
}

}  // namespace quorbel::live
