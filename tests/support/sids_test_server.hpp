// A SiDS server for the tests: HTTP/1.1 on 127.0.0.1 at a free port, on a thread of its own, that
// checks every field of each POSTed frame, records every request and answers as the test scripts.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorbel::testing {

// What the server does with one request.
struct SidsAction {
    enum class Kind { Reply, Stall, Reset };
    Kind kind = Kind::Reply;
    int status = 201;
    std::string body;
    std::string retryAfter;  // the Retry-After header's value; empty: none
    int delayMs = 0;         // the reply is written this long after the request arrived

    static SidsAction Reply(int status, std::string body = {}, std::string retryAfter = {});
    static SidsAction ReplyAfter(int delayMs, int status, std::string body = {});
    static SidsAction Stall();  // reads the request and never answers
    static SidsAction Reset();  // closes the connection at once, with a TCP reset
    std::string Describe()
        const;  // "201", "429 Retry-After 1", "stall", "reset", "201 after 50 ms"
};

// The weights of the random mode's outcomes.
struct SidsRandomWeights {
    int created = 70;     // 201
    int badRequest = 5;   // 400
    int tooMany = 5;      // 429, Retry-After 1
    int serverError = 5;  // 500
    int unavailable = 5;  // 503
    int stall = 5;
    int reset = 5;
};

struct SidsRequest {
    int connection = 0;  // the connection's number, counted from 1 in accepting order
    std::string method, target;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::map<std::string, std::string> fields;  // the form body decoded
    std::vector<std::string> problems;          // what is not as SiDS wants it; empty: a good frame
    std::chrono::steady_clock::time_point arrival;
    SidsAction action;  // what the server did
};

// The server answers each request by the script, then by the random mode when it is set, then by
// the default action; a request whose fields are not a good SiDS frame is answered 400 naming the
// problems, whatever the script says. Every request is recorded, whatever the answer.
class SidsTestServer {
  public:
    // Listens on 127.0.0.1 at a free port before it returns; throws std::runtime_error if it
    // cannot.
    SidsTestServer();
    ~SidsTestServer();  // closes every connection and stops the thread
    SidsTestServer(const SidsTestServer&) = delete;
    SidsTestServer& operator=(const SidsTestServer&) = delete;

    int Port() const;
    std::string Url() const;  // http://127.0.0.1:PORT/api/telemetry/

    // The next requests are answered by these actions, in order (after those scripted before).
    void Script(std::vector<SidsAction> actions);
    // Requests past the script get this (201 at first).
    void SetDefault(SidsAction action);
    // Requests past the script are answered at random with these weights, from this seed; a frame
    // (its `frame` field) answered 400 once is answered 400 ever after.
    void SetRandom(std::uint64_t seed, SidsRandomWeights weights = {});
    // Called on the server's thread for each request, once it is answered or not.
    void OnRequest(std::function<void(const SidsRequest&)> handler);

    std::vector<SidsRequest> Requests() const;
    std::size_t RequestCount() const;
    // Blocks the calling thread until `count` requests arrived; false at the timeout.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    struct Shared;
    class Thread;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<Thread> m_thread;
    int m_port = 0;
};

// The form body's fields, decoded ('+' is a space, %XX a byte).
std::map<std::string, std::string> DecodeForm(const std::string& body);
// What is wrong with the fields of a SiDS frame; empty when nothing.
std::vector<std::string> SidsProblems(const std::map<std::string, std::string>& fields);

}  // namespace quorbel::testing
