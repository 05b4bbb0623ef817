// The HTTP poster on Qt Network: each POST is one QNetworkReply whose outcome is handed to `done`
// from a queued call, so never from within Post nor from within Qt's own reply signals.
#include "qt_http_poster.hpp"

#include <QDateTime>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimeZone>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <unordered_map>

namespace quorbel {
namespace {

constexpr qsizetype kBodyKeptBytes = 2048;

// The three forms of an HTTP-date: IMF-fixdate, then the obsolete RFC 850 and asctime forms.
std::optional<QDateTime> ParseHttpDate(const QString& text) {
    static const struct {
        const char* format;
        bool twoDigitYear;
    } kForms[] = {
        {"ddd, dd MMM yyyy hh:mm:ss 'GMT'", false},
        {"dd-MMM-yy hh:mm:ss 'GMT'", true},  // its weekday is left out below
        {"ddd MMM d hh:mm:ss yyyy", false},
    };
    const QString simplified = text.simplified();  // asctime pads one-digit days with a space
    for (const auto& form : kForms) {
        // Qt would check RFC 850's weekday against the year it reads as 19xx.
        const QString dateText =
            form.twoDigitYear ? simplified.section(QStringLiteral(", "), 1) : simplified;
        QDateTime parsed = QLocale::c().toDateTime(dateText, QString::fromLatin1(form.format));
        if (!parsed.isValid())
            continue;
        parsed.setTimeZone(QTimeZone::utc());
        // Qt reads a two-digit year as 19xx; this century's dates are the ones servers send.
        if (form.twoDigitYear && parsed.date().year() < 1970)
            parsed = parsed.addYears(100);
        return parsed;
    }
    return std::nullopt;
}

// The reply's body is read as it arrives; what comes past the first 2 KB is dropped.
void KeepFirstBytes(QByteArray& kept, const QByteArray& arrived) {
    kept.append(arrived.left(std::max<qsizetype>(0, kBodyKeptBytes - kept.size())));
}

std::string ErrorText(const QNetworkReply& reply) {
    switch (reply.error()) {
        case QNetworkReply::OperationCanceledError:  // only the transfer timeout aborts a reply
        case QNetworkReply::TimeoutError:
            return "timed out";
        default:
            return reply.errorString().toStdString();
    }
}

}  // namespace

std::string ShareUserAgent() {
    return std::string("quorbel/") + QUORBEL_VERSION;
}

std::optional<int> ParseRetryAfter(const std::string& value, std::int64_t nowMs) {
    const QString text = QString::fromStdString(value).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.isDigit(); })) {
        bool ok = false;
        const qulonglong seconds = text.toULongLong(&ok);
        return ok && seconds <= INT_MAX ? static_cast<int>(seconds) : INT_MAX;
    }
    const std::optional<QDateTime> when = ParseHttpDate(text);
    if (!when)
        return std::nullopt;
    const std::int64_t aheadMs = when->toMSecsSinceEpoch() - nowMs;
    if (aheadMs <= 0)
        return 0;
    return static_cast<int>(std::min<std::int64_t>((aheadMs + 999) / 1000, INT_MAX));
}

struct QtHttpPoster::State {
    explicit State(std::chrono::milliseconds timeout) : timeout(timeout) {}

    std::chrono::milliseconds timeout;
    // Also the context of every connection and queued `done`: they go with it.
    QNetworkAccessManager network;
    struct Request {
        std::function<void(const HttpReply&)> done;
        QByteArray body;  // the reply's first bytes
    };
    std::unordered_map<QNetworkReply*, Request> inFlight;
    int delivering = 0;  // replies finished whose `done` is queued

    void Finish(QNetworkReply* reply);
};

void QtHttpPoster::State::Finish(QNetworkReply* reply) {
    const auto found = inFlight.find(reply);
    if (found == inFlight.end())
        return;
    Request request = std::move(found->second);
    inFlight.erase(found);
    reply->disconnect(&network);

    HttpReply result;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.status = status.isValid() ? status.toInt() : 0;
    if (result.status == 0)
        result.error = ErrorText(*reply);
    if (reply->isOpen())  // closed when no reply came
        KeepFirstBytes(request.body, reply->readAll());
    result.body = request.body.toStdString();
    if (reply->hasRawHeader("Retry-After"))
        result.retryAfterSeconds = ParseRetryAfter(reply->rawHeader("Retry-After").toStdString(),
                                                   QDateTime::currentMSecsSinceEpoch());
    reply->deleteLater();

    // Delivered from the event loop, never inside Qt's signal; dropped with `network` when the
    // poster goes first.
    ++delivering;
    QMetaObject::invokeMethod(
        &network,
        [this, done = std::move(request.done), result = std::move(result)] {
            --delivering;
            done(result);  // may destroy the poster: nothing after this touches it
        },
        Qt::QueuedConnection);
}

QtHttpPoster::QtHttpPoster(std::chrono::milliseconds timeout)
    : m_state(std::make_unique<State>(timeout)) {
    m_state->network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QtHttpPoster::~QtHttpPoster() {
    // Aborting emits finished at once: cut the connections first so that no `done` runs.
    for (auto& [reply, request] : m_state->inFlight) {
        reply->disconnect(&m_state->network);
        reply->abort();
        delete reply;
    }
    m_state->inFlight.clear();
}

void QtHttpPoster::Post(const std::string& url, const std::string& formBody,
                        std::function<void(const HttpReply&)> done) {
    QNetworkRequest request{QUrl(QString::fromStdString(url))};
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArray::fromStdString(ShareUserAgent()));
    request.setTransferTimeout(static_cast<int>(m_state->timeout.count()));
    QNetworkReply* reply = m_state->network.post(request, QByteArray::fromStdString(formBody));
    m_state->inFlight.emplace(reply, State::Request{std::move(done), {}});

    State* state = m_state.get();
    QObject::connect(reply, &QNetworkReply::readyRead, &state->network, [state, reply] {
        const auto found = state->inFlight.find(reply);
        if (found == state->inFlight.end())
            return;
        KeepFirstBytes(found->second.body, reply->readAll());
    });
    QObject::connect(reply, &QNetworkReply::finished, &state->network,
                     [state, reply] { state->Finish(reply); });
    if (reply->isFinished())  // an error decided at once: still reported from the event loop
        state->Finish(reply);
}

int QtHttpPoster::Pending() const {
    return static_cast<int>(m_state->inFlight.size()) + m_state->delivering;
}

}  // namespace quorbel
