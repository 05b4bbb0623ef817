// What sharing needs of HTTP: one asynchronous POST of a form body. The front ends give it with
// their toolkit's network access; the core never opens a connection itself.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quorbel {

struct HttpReply {
    int status = 0;     // the HTTP status; 0 when no reply came (refused, reset, timed out)
    std::string body;   // the reply's body, cut to its first 2 KB
    std::string error;  // status 0: what went wrong ("Connection refused", "timed out")
    std::optional<int> retryAfterSeconds;  // the Retry-After header, in seconds, when given
};

class HttpPoster {
  public:
    virtual ~HttpPoster() = default;
    // Starts a POST of an application/x-www-form-urlencoded body and returns at once. `done` is
    // called exactly once, later, on the thread that called Post (its event loop), never from
    // within Post. A request with no reply after 30 s ends as status 0, "timed out".
    virtual void Post(const std::string& url, const std::string& formBody,
                      std::function<void(const HttpReply&)> done) = 0;
};

}  // namespace quorbel
