// Ending a headless program's event loop on SIGINT or SIGTERM: the signal only writes a byte to a
// pipe, and the event loop wakes on it at its next turn and runs the program's own way of stopping.
#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace quorbel::live {

class StopOnSignals {
  public:
    // Catches SIGINT and SIGTERM from now on; onStop runs once, in the event loop, after one came.
    explicit StopOnSignals(std::function<void()> onStop);
    // Gives both signals their previous handlers back.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // True once a signal came, before onStop has run: long work may look and end early.
    bool Requested() const;

  private:
    int m_readFd = -1;
    int m_writeFd = -1;
    std::unique_ptr<QSocketNotifier> m_wake;
    void (*m_previousInt)(int) = SIG_DFL;
    void (*m_previousTerm)(int) = SIG_DFL;
};

}  // namespace quorbel::live
