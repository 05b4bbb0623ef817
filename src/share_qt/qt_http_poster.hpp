// The HTTP poster of shared frames on Qt Network: one QNetworkAccessManager, its own TLS, a
// transfer timeout, and each reply reduced to what the sender needs (status, the first 2 KB of
// the body, Retry-After in seconds, the error when no reply came).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "share/http_poster.hpp"

namespace quorbel {

// The User-Agent of every request: "quorbel/<version>".
std::string ShareUserAgent();

// Retry-After as seconds from `nowMs` (UTC milliseconds): delay-seconds as given, an HTTP-date
// as the seconds until it (0 when past); nothing for any other text.
std::optional<int> ParseRetryAfter(const std::string& value, std::int64_t nowMs);

// Lives on the thread that constructs it, which must run a Qt event loop; Post is called there
// and `done` runs there. Redirects are not followed: a 3xx is handed back as its status, since
// following one would turn the POST into a GET whose 200 would look like an acknowledgement.
// When a kept-alive connection is reset before the reply, Qt sends the request once more on a new
// connection before it reports the error: a server may see one Post twice.
//
// Destroying the poster with requests in flight aborts them, and their `done` is then NOT called,
// nor any `done` whose reply had arrived but not yet been delivered. A `done` may destroy the
// poster.
class QtHttpPoster final : public HttpPoster {
  public:
    // `timeout`: a request with no progress for this long ends as status 0, "timed out".
    explicit QtHttpPoster(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    ~QtHttpPoster() override;
    QtHttpPoster(const QtHttpPoster&) = delete;
    QtHttpPoster& operator=(const QtHttpPoster&) = delete;

    void Post(const std::string& url, const std::string& formBody,
              std::function<void(const HttpReply&)> done) override;

    // Requests whose `done` has not been called yet.
    int Pending() const;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace quorbel
