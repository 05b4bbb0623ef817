// The sender of shared frames: which frames to request next, at what pace, and what each reply
// does to the outbox.
#include "share/share_sender.hpp"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "common/number_format.hpp"
#include "share/sids_request.hpp"

namespace quorbel {
namespace {

constexpr std::int64_t kDropIntervalMs = 60'000;
constexpr std::int64_t kDayMs = 86'400'000;
// More dropped frames than this give one line with their count instead of a line each.
constexpr std::size_t kDroppedLinesMax = 5;

// A server's reply as one line of the log: line ends and other control characters as spaces.
std::string OneLine(std::string_view text) {
    std::string line(text);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return line;
}

std::string ReceivedText(std::int64_t rxTimeMs) {
    return FormatUtcMilliseconds(rxTimeMs) + " UTC";
}

// "2 s", "5 min 20 s": a pause as the log says it.
std::string DurationText(std::int64_t ms) {
    const std::int64_t seconds = (ms + 999) / 1000;
    if (seconds < 60)
        return std::to_string(seconds) + " s";
    std::string text = std::to_string(seconds / 60) + " min";
    if (seconds % 60 != 0)
        text += " " + std::to_string(seconds % 60) + " s";
    return text;
}

// No reply, too many requests and server errors are tried again; so is a redirect, which says
// that SIDS_URL names the wrong place: the frames wait for the setting to be mended instead of
// being rejected one after the other (the POST does not follow it: that would make it a GET).
bool IsRetryable(int status) {
    return status == 0 || status == 429 || (status >= 300 && status <= 399) ||
           (status >= 500 && status <= 599);
}

// What the outbox keeps of a failed request: the status with the server's reply, or what kept
// the reply from coming.
std::string FailureText(const HttpReply& reply) {
    if (reply.status == 0)
        return reply.error.empty() ? std::string("no reply") : reply.error;
    return "HTTP " + std::to_string(reply.status) + ": " + reply.body;
}

// The sender's state. The poster's callbacks hold a weak reference to it, so a reply that
// arrives after the sender is gone finds nothing and does nothing.
class SenderCore : public std::enable_shared_from_this<SenderCore> {
  public:
    SenderCore(Outbox& outbox, HttpPoster& poster, std::function<std::int64_t()> nowMs,
               ShareSettings settings, ShareSenderOptions options)
        : m_outbox(outbox),
          m_poster(poster),
          m_nowMs(std::move(nowMs)),
          m_settings(std::move(settings)),
          m_options(options),
          m_nextDueMs(static_cast<double>(m_nowMs())) {}

    void Pump();
    bool Idle() const { return m_inFlight.empty(); }
    ShareStatus Status();
    std::vector<std::string> TakeLog() { return std::exchange(m_log, {}); }

  private:
    struct Request {
        std::int64_t id = 0;
        std::int64_t startedMs = 0;
    };

    void StartRequests(std::int64_t now);
    void DropExpired(std::int64_t now);
    void OnReply(std::int64_t id, std::int64_t rxTimeMs, const HttpReply& reply);
    void MarkReply(const Request& request, std::int64_t rxTimeMs, const HttpReply& reply);
    // Returns how long new requests now wait.
    std::int64_t Pause(std::int64_t startedMs, const HttpReply& reply);
    // An outbox that keeps failing gives one log line, not one a Pump.
    void NoteOutboxError(const OutboxError& error) {
        if (m_outboxProblem == error.what())
            return;
        m_outboxProblem = error.what();
        m_log.push_back("shared frames: " + m_outboxProblem);
    }

    Outbox& m_outbox;
    HttpPoster& m_poster;
    std::function<std::int64_t()> m_nowMs;
    ShareSettings m_settings;
    ShareSenderOptions m_options;

    std::vector<Request> m_inFlight;
    double m_nextDueMs = 0;  // when the rate lets the next request start
    std::optional<std::int64_t> m_lastStartMs;
    std::int64_t m_pausedUntilMs = 0;
    std::int64_t m_pauseSetMs = 0;            // when the last pause began
    std::int64_t m_pauseMs = 0;               // the last pause's length; 0: none since the last 2xx
    std::optional<std::int64_t> m_droppedMs;  // the last look for expired frames
    bool m_failing = false;                   // the last request that ended failed
    std::string m_outboxProblem;              // the outbox's last failure, until it writes again
    std::vector<std::string> m_log;
};

void SenderCore::Pump() {
    const std::int64_t now = m_nowMs();
    try {
        DropExpired(now);
        if (now < m_pausedUntilMs)
            return;
        m_pausedUntilMs = 0;
        StartRequests(now);
    } catch (const OutboxError& error) {
        NoteOutboxError(error);
    }
}

// Each request is due 1/perSecond after the one before, oldest receive time first, while fewer
// than maxInFlight are under way. The front end's timer turns only every pumpIntervalMs: while
// sending goes on, the requests that fell due since the last turn start together (else a rate of
// more than one request a turn would be cut to one a turn, and a late turn would slow a lower
// rate), never more than one turn's worth; after a pause or an idle time the first starts at once
// and the rest follow at the rate.
void SenderCore::StartRequests(std::int64_t now) {
    const double intervalMs = 1e3 / m_settings.perSecond;
    const double nowMs = static_cast<double>(now);
    const double turnMs = static_cast<double>(m_options.pumpIntervalMs);
    const bool sending =
        m_lastStartMs && nowMs - static_cast<double>(*m_lastStartMs) <= intervalMs + turnMs;
    m_nextDueMs = std::max(m_nextDueMs, sending ? nowMs - turnMs : nowMs);
    // After a failure one request tries the server; the others follow once it has answered.
    const int most = m_failing ? 1 : m_options.maxInFlight;
    const int free = most - static_cast<int>(m_inFlight.size());
    int wanted = 0;
    while (wanted < free && m_nextDueMs + wanted * intervalMs <= nowMs)
        ++wanted;
    if (wanted <= 0)
        return;
    std::vector<std::int64_t> skip;
    for (const Request& request : m_inFlight)
        skip.push_back(request.id);
    for (const OutboxFrame& frame : m_outbox.Waiting(wanted, skip)) {
        m_nextDueMs += intervalMs;
        m_lastStartMs = now;
        m_inFlight.push_back({frame.id, now});
        auto done = [weak = weak_from_this(), id = frame.id,
                     rxTimeMs = frame.rxTimeMs](const HttpReply& reply) {
            if (const std::shared_ptr<SenderCore> core = weak.lock())
                core->OnReply(id, rxTimeMs, reply);
        };
        m_poster.Post(m_settings.url, SidsRequestBody(m_settings, frame.bytes, frame.rxTimeMs),
                      std::move(done));
    }
}

void SenderCore::DropExpired(std::int64_t now) {
    if (m_droppedMs && now - *m_droppedMs < kDropIntervalMs)
        return;
    m_droppedMs = now;  // an outbox that fails here is asked again a minute later, not at once
    const std::int64_t maxAgeMs = m_settings.maxAgeDays * kDayMs;
    const std::vector<std::int64_t> dropped =
        m_outbox.DropExpired(now, maxAgeMs, m_options.keepSentMs);
    m_outboxProblem.clear();  // it writes again
    const std::string why = "unsent after " + std::to_string(m_settings.maxAgeDays) +
                            (m_settings.maxAgeDays == 1 ? " day" : " days");
    if (dropped.size() > kDroppedLinesMax) {
        m_log.push_back("shared frames: dropped " + std::to_string(dropped.size()) +
                        " frames received " + ReceivedText(dropped.front()) + " to " +
                        ReceivedText(dropped.back()) + ", " + why);
        return;
    }
    for (std::int64_t rxTimeMs : dropped)
        m_log.push_back("shared frames: dropped the frame received " + ReceivedText(rxTimeMs) +
                        ", " + why);
}

void SenderCore::OnReply(std::int64_t id, std::int64_t rxTimeMs, const HttpReply& reply) {
    const auto request = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                                      [id](const Request& r) { return r.id == id; });
    if (request == m_inFlight.end())
        return;  // a second reply to one request
    const Request ended = *request;
    m_inFlight.erase(request);
    try {
        MarkReply(ended, rxTimeMs, reply);
        m_outboxProblem.clear();  // it writes again
    } catch (const OutboxError& error) {
        // The frame's outcome is not on the disk, so it is sent again, after a pause: an outbox
        // that cannot write does not send the same frame at the full rate.
        NoteOutboxError(error);
        Pause(ended.startedMs, HttpReply{});
    }
    Pump();  // the next frame need not wait for the front end's timer
}

void SenderCore::MarkReply(const Request& request, std::int64_t rxTimeMs, const HttpReply& reply) {
    if (reply.status >= 200 && reply.status <= 299) {
        m_pauseMs = 0;
        if (std::exchange(m_failing, false))
            m_log.push_back("shared frames: the server takes frames again");
        m_outbox.MarkSent(request.id);
        return;
    }
    if (IsRetryable(reply.status)) {
        // The pause holds even when the outbox cannot keep the failure.
        const std::string failure = FailureText(reply);
        const std::int64_t pauseMs = Pause(request.startedMs, reply);
        if (!std::exchange(m_failing, true))
            m_log.push_back("shared frames: the frame received " + ReceivedText(rxTimeMs) +
                            " was not taken (" + OneLine(failure) + "); sending again in " +
                            DurationText(pauseMs));
        m_outbox.MarkFailed(request.id, failure);
        return;
    }
    const std::string status = "HTTP " + std::to_string(reply.status);
    m_log.push_back("shared frames: " + status + " rejected the frame received " +
                    ReceivedText(rxTimeMs) + ": " + OneLine(reply.body));
    m_outbox.MarkRejected(request.id, status + ": " + reply.body);
}

// A retryable failure stops all new requests for a pause that doubles with each failure since
// the last 2xx, never shorter than the server's Retry-After (up to the longest pause). The
// failures of requests that were under way when the pause began belong to the same outage:
// they may lengthen it to their Retry-After but do not double it again.
std::int64_t SenderCore::Pause(std::int64_t startedMs, const HttpReply& reply) {
    const std::int64_t now = m_nowMs();
    std::int64_t asked = 0;
    if (reply.retryAfterSeconds && *reply.retryAfterSeconds > 0)
        asked = std::min(std::int64_t{*reply.retryAfterSeconds} * 1000, m_options.longestPauseMs);
    const bool sameOutage = m_pauseMs > 0 && startedMs < m_pauseSetMs;
    if (!sameOutage) {
        m_pauseMs = m_pauseMs == 0 ? m_options.firstPauseMs
                                   : std::min(2 * m_pauseMs, m_options.longestPauseMs);
        m_pauseSetMs = now;
    }
    m_pausedUntilMs = std::max(m_pausedUntilMs, now + std::max(m_pauseMs, asked));
    return m_pausedUntilMs - now;
}

ShareStatus SenderCore::Status() {
    ShareStatus status;
    try {
        status.counts = m_outbox.Counts();
    } catch (const OutboxError& error) {
        NoteOutboxError(error);
    }
    if (!m_outboxProblem.empty())
        status.counts.lastError = m_outboxProblem;
    status.inFlight = static_cast<int>(m_inFlight.size());
    if (m_nowMs() < m_pausedUntilMs)
        status.pausedUntilMs = m_pausedUntilMs;
    return status;
}

}  // namespace

struct ShareSender::State {
    std::shared_ptr<SenderCore> core;
};

ShareSender::ShareSender(Outbox& outbox, HttpPoster& poster, std::function<std::int64_t()> nowMs,
                         ShareSettings settings, ShareSenderOptions options)
    : m_state(std::make_unique<State>(State{std::make_shared<SenderCore>(
          outbox, poster, std::move(nowMs), std::move(settings), options)})) {}

ShareSender::~ShareSender() = default;

void ShareSender::Pump() {
    m_state->core->Pump();
}

bool ShareSender::Idle() const {
    return m_state->core->Idle();
}

ShareStatus ShareSender::Status() {
    return m_state->core->Status();
}

std::vector<std::string> ShareSender::TakeLog() {
    return m_state->core->TakeLog();
}

}  // namespace quorbel
