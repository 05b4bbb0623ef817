// Ending a headless program's event loop on SIGINT or SIGTERM: the signal only sets a flag, and
// a timer of the event loop looks at it and runs the program's own way of stopping.
#pragma once

#include <functional>
#include <memory>

class QTimer;

namespace quorbel::live {

class StopOnSignals {
  public:
    // Catches SIGINT and SIGTERM from now on; onStop runs once, in the event loop, after one came.
    explicit StopOnSignals(std::function<void()> onStop);
    // Gives both signals their previous handlers back.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

  private:
    std::unique_ptr<QTimer> m_poll;
    void (*m_previousInt)(int);
    void (*m_previousTerm)(int);
};

}  // namespace quorbel::live
