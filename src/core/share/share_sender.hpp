// Works through the outbox: requests in receive-time order, a few at a time and at a bounded
// rate, asynchronously, so that a slow, stalled or absent server never slows reception. Network
// errors, timeouts, 5xx, 429 and redirects pause all sending with a growing pause (2 s up to 10
// minutes, at least what Retry-After asks) and try the same frames again; any other 4xx rejects the
// frame for good, with the server's reply kept for the log; a 2xx acknowledges it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "share/http_poster.hpp"
#include "share/outbox.hpp"
#include "share/share_settings.hpp"

namespace quorbel {

struct ShareSenderOptions {
    int maxInFlight = 3;                          // requests at a time
    std::int64_t firstPauseMs = 2'000;            // after the first retryable failure
    std::int64_t longestPauseMs = 600'000;        // the pause doubles up to this
    std::int64_t keepSentMs = 30LL * 86'400'000;  // how long acknowledged frames are remembered
    std::int64_t pumpIntervalMs = 100;            // the front end's timer, at the longest
};

// What the status strip and share-status show.
struct ShareStatus {
    OutboxCounts counts;
    int inFlight = 0;
    std::int64_t pausedUntilMs = 0;  // 0: not paused
};

class ShareSender {
  public:
    // `nowMs` gives the current UTC time in milliseconds (the front end's clock; tests set it).
    ShareSender(Outbox& outbox, HttpPoster& poster, std::function<std::int64_t()> nowMs,
                ShareSettings settings, ShareSenderOptions options = {});
    ~ShareSender();
    ShareSender(const ShareSender&) = delete;
    ShareSender& operator=(const ShareSender&) = delete;

    // Starts the requests that are due now. The front end calls it on a timer (every
    // pumpIntervalMs at the longest) and after putting frames; it never waits on the network.
    // After a failure, one request at a time tries the server until one is answered. Replies
    // arrive through the poster's callbacks, which mark the outbox. Drops expired frames at most
    // once a minute.
    void Pump();

    // True when no request is in flight.
    bool Idle() const;
    ShareStatus Status();
    // Lines for the log since the last call: rejections with the server's reply, dropped frames,
    // the first failure after a success and the first success after failures.
    std::vector<std::string> TakeLog();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace quorbel
