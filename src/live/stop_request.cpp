// Ending the event loop on SIGINT or SIGTERM.
#include "stop_request.hpp"

#include <QTimer>
#include <csignal>

namespace quorbel::live {
namespace {

constexpr int kPollMs = 100;

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void RequestStop(int) {
    g_stopRequested = 1;
}

}  // namespace

StopOnSignals::StopOnSignals(std::function<void()> onStop)
    : m_poll(std::make_unique<QTimer>()),
      m_previousInt(std::signal(SIGINT, RequestStop)),
      m_previousTerm(std::signal(SIGTERM, RequestStop)) {
    g_stopRequested = 0;
    QObject::connect(m_poll.get(), &QTimer::timeout, m_poll.get(),
                     [this, stop = std::move(onStop)] {
                         if (!g_stopRequested)
                             return;
                         m_poll->stop();
                         stop();
                     });
    m_poll->start(kPollMs);
}

StopOnSignals::~StopOnSignals() {
    std::signal(SIGINT, m_previousInt);
    std::signal(SIGTERM, m_previousTerm);
}

}  // namespace quorbel::live
