// The SiDS test server: a QTcpServer on its own QThread reading HTTP/1.1 requests off keep-alive
// connections, checking each frame's fields and answering as scripted.
#include "support/sids_test_server.hpp"

#include <sys/socket.h>

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <future>
#include <iterator>
#include <mutex>
#include <random>
#include <regex>
#include <set>
#include <stdexcept>

namespace quorbel::testing {

SidsAction SidsAction::Reply(int status, std::string body, std::string retryAfter) {
    SidsAction action;
    action.status = status;
    action.body = std::move(body);
    action.retryAfter = std::move(retryAfter);
    return action;
}

SidsAction SidsAction::ReplyAfter(int delayMs, int status, std::string body) {
    SidsAction action = Reply(status, std::move(body));
    action.delayMs = delayMs;
    return action;
}

SidsAction SidsAction::Stall() {
    SidsAction action;
    action.kind = Kind::Stall;
    return action;
}

SidsAction SidsAction::Reset() {
    SidsAction action;
    action.kind = Kind::Reset;
    return action;
}

std::string SidsAction::Describe() const {
    if (kind == Kind::Stall)
        return "stall";
    if (kind == Kind::Reset)
        return "reset";
    std::string text = std::to_string(status);
    if (!retryAfter.empty())
        text += " Retry-After " + retryAfter;
    if (delayMs > 0)
        text += " after " + std::to_string(delayMs) + " ms";
    return text;
}

std::map<std::string, std::string> DecodeForm(const std::string& body) {
    const auto decode = [](const std::string& text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '+') {
                out += ' ';
            } else if (text[i] == '%' && i + 2 < text.size() &&
                       std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                       std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    };
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start <= body.size() && !body.empty()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (!pair.empty())
            fields[decode(pair.substr(0, equals))] =
                equals == std::string::npos ? std::string() : decode(pair.substr(equals + 1));
        start = end + 1;
    }
    return fields;
}

std::vector<std::string> SidsProblems(const std::map<std::string, std::string>& fields) {
    static const struct {
        const char* name;
        std::regex pattern;
        const char* wanted;
    } kFields[] = {
        {"noradID", std::regex("[0-9]+"), "digits"},
        {"source", std::regex(".+"), "a callsign"},
        {"timestamp",
         std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z"),
         "YYYY-MM-DDThh:mm:ss.mmmZ"},
        {"frame", std::regex("([0-9A-F]{2})+"), "upper-case hex of whole bytes"},
        {"locator", std::regex("longLat"), "longLat"},
        {"longitude", std::regex("(180|1[0-7][0-9]|[0-9]{1,2})\\.[0-9]{4}[EW]"), "d.ddddE or W"},
        {"latitude", std::regex("(90|[0-8]?[0-9])\\.[0-9]{4}[NS]"), "d.ddddN or S"},
    };
    std::vector<std::string> problems;
    for (const auto& field : kFields) {
        const auto found = fields.find(field.name);
        if (found == fields.end())
            problems.push_back(std::string(field.name) + " is missing");
        else if (!std::regex_match(found->second, field.pattern))
            problems.push_back(std::string(field.name) + " '" + found->second + "' is not " +
                               field.wanted);
    }
    for (const auto& [name, value] : fields) {
        if (std::none_of(std::begin(kFields), std::end(kFields),
                         [&](const auto& field) { return name == field.name; }))
            problems.push_back("unexpected field " + name);
    }
    return problems;
}

struct SidsTestServer::Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable arrived;
    std::deque<SidsAction> script;
    SidsAction defaultAction;
    std::optional<std::mt19937_64> random;
    SidsRandomWeights weights;
    std::set<std::string> rejectedFrames;  // answered 400 once
    std::vector<SidsRequest> requests;
    std::function<void(const SidsRequest&)> onRequest;

    // The answer to a good frame, the lock held.
    SidsAction Choose(const std::string& frame) {
        if (!script.empty()) {
            SidsAction action = std::move(script.front());
            script.pop_front();
            return action;
        }
        if (!random)
            return defaultAction;
        if (rejectedFrames.count(frame) != 0)
            return SidsAction::Reply(400, "{\"detail\":\"rejected before\"}");
        const SidsAction outcomes[] = {
            SidsAction::Reply(201, "{}"),
            SidsAction::Reply(400, "{\"detail\":\"bad frame\"}"),
            SidsAction::Reply(429, {}, "1"),
            SidsAction::Reply(500),
            SidsAction::Reply(503),
            SidsAction::Stall(),
            SidsAction::Reset(),
        };
        const int weightOf[] = {weights.created,     weights.badRequest,  weights.tooMany,
                                weights.serverError, weights.unavailable, weights.stall,
                                weights.reset};
        int total = 0;
        for (int weight : weightOf)
            total += std::max(0, weight);
        if (total == 0)
            return defaultAction;
        int pick = static_cast<int>((*random)() % static_cast<std::uint64_t>(total));
        for (std::size_t i = 0; i < std::size(outcomes); ++i) {
            pick -= std::max(0, weightOf[i]);
            if (pick < 0)
                return outcomes[i];
        }
        return defaultAction;
    }

    SidsAction Record(SidsRequest request) {
        std::function<void(const SidsRequest&)> handler;
        {
            std::lock_guard lock(mutex);
            const std::string frame =
                request.fields.count("frame") ? request.fields.at("frame") : std::string();
            if (!request.problems.empty()) {
                std::string text;
                for (const std::string& problem : request.problems)
                    text += (text.empty() ? "" : "; ") + problem;
                request.action = SidsAction::Reply(400, "{\"detail\":\"" + text + "\"}");
            } else {
                request.action = Choose(frame);
            }
            if (request.action.kind == SidsAction::Kind::Reply && request.action.status == 400)
                rejectedFrames.insert(frame);
            requests.push_back(request);
            handler = onRequest;
        }
        arrived.notify_all();
        if (handler)
            handler(request);
        return request.action;
    }
};

namespace {

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 429:
            return "Too Many Requests";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

QByteArray Response(const SidsAction& action) {
    QByteArray text = "HTTP/1.1 " + QByteArray::number(action.status) + ' ' +
                      ReasonPhrase(action.status) + "\r\nContent-Type: application/json\r\n" +
                      "Content-Length: " + QByteArray::number(qsizetype(action.body.size())) +
                      "\r\n";
    if (!action.retryAfter.empty())
        text += "Retry-After: " + QByteArray::fromStdString(action.retryAfter) + "\r\n";
    return text + "\r\n" + QByteArray::fromStdString(action.body);
}

// One keep-alive connection: requests are taken in order, the next after the last was answered.
struct Connection {
    QTcpSocket* socket = nullptr;
    int number = 0;
    QByteArray buffer;
    bool busy = false;  // a reply is being delayed, or the connection stalled: later bytes wait
};

// Takes one whole request off the front of the buffer; nothing when it has not all arrived.
// A head without Content-Length has no body.
std::optional<SidsRequest> TakeRequest(QByteArray& buffer) {
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    SidsRequest request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0).toStdString();
    request.target = requestLine.value(1).toStdString();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers[lines[i].left(colon).trimmed().toLower().toStdString()] =
                lines[i].mid(colon + 1).trimmed().toStdString();
    }
    const auto length = request.headers.find("content-length");
    const qsizetype bodyLength = length == request.headers.end() ? 0 : std::stoll(length->second);
    if (buffer.size() < headEnd + 4 + bodyLength)
        return std::nullopt;
    request.body = buffer.mid(headEnd + 4, bodyLength).toStdString();
    buffer.remove(0, headEnd + 4 + bodyLength);
    return request;
}

void Check(SidsRequest& request) {
    if (request.method != "POST")
        request.problems.push_back("method " + request.method + " is not POST");
    const auto type = request.headers.find("content-type");
    if (type == request.headers.end() || type->second != "application/x-www-form-urlencoded")
        request.problems.push_back("Content-Type is not application/x-www-form-urlencoded");
    request.fields = DecodeForm(request.body);
    for (std::string& problem : SidsProblems(request.fields))
        request.problems.push_back(std::move(problem));
}

}  // namespace

class SidsTestServer::Thread : public QThread {
  public:
    explicit Thread(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

    int Start() {
        std::future<int> port = m_port.get_future();
        start();
        return port.get();
    }

  protected:
    void run() override {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0)) {
            m_port.set_value(0);
            return;
        }
        int connections = 0;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                Serve(socket, ++connections);
        });
        m_port.set_value(server.serverPort());
        exec();
    }

  private:
    void Serve(QTcpSocket* socket, int number) {
        auto connection = std::make_shared<Connection>();
        connection->socket = socket;
        connection->number = number;
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, connection] {
            connection->buffer += connection->socket->readAll();
            Answer(connection);
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    // Answers the whole requests that arrived, one at a time.
    void Answer(const std::shared_ptr<Connection>& connection) {
        while (!connection->busy) {
            std::optional<SidsRequest> request = TakeRequest(connection->buffer);
            if (!request)
                return;
            request->connection = connection->number;
            request->arrival = std::chrono::steady_clock::now();
            Check(*request);
            const bool closeAfter = request->headers["connection"] == "close";
            const SidsAction action = m_shared->Record(std::move(*request));
            QTcpSocket* socket = connection->socket;
            if (action.kind == SidsAction::Kind::Stall) {
                connection->busy = true;  // for good: the client gives up
            } else if (action.kind == SidsAction::Kind::Reset) {
                const linger resetOnClose{1, 0};
                ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
                             &resetOnClose, sizeof resetOnClose);
                socket->abort();
                socket->deleteLater();
                connection->busy = true;
            } else if (action.delayMs > 0) {
                connection->busy = true;
                QTimer::singleShot(action.delayMs, socket, [this, connection, action, closeAfter] {
                    connection->busy = false;
                    Send(*connection, action, closeAfter);
                    Answer(connection);
                });
            } else {
                Send(*connection, action, closeAfter);
            }
        }
    }

    static void Send(Connection& connection, const SidsAction& action, bool closeAfter) {
        connection.socket->write(Response(action));
        if (closeAfter) {
            connection.socket->disconnectFromHost();
            connection.busy = true;  // nothing more is read
        }
    }
    std::shared_ptr<Shared> m_shared;
    std::promise<int> m_port;
};

SidsTestServer::SidsTestServer()
    : m_shared(std::make_shared<Shared>()), m_thread(std::make_unique<Thread>(m_shared)) {
    m_port = m_thread->Start();
    if (m_port == 0)
        throw std::runtime_error("the SiDS test server cannot listen on 127.0.0.1");
}

SidsTestServer::~SidsTestServer() {
    m_thread->quit();
    m_thread->wait();
}

int SidsTestServer::Port() const {
    return m_port;
}

std::string SidsTestServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/api/telemetry/";
}

void SidsTestServer::Script(std::vector<SidsAction> actions) {
    std::lock_guard lock(m_shared->mutex);
    for (SidsAction& action : actions)
        m_shared->script.push_back(std::move(action));
}

void SidsTestServer::SetDefault(SidsAction action) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->defaultAction = std::move(action);
}

void SidsTestServer::SetRandom(std::uint64_t seed, SidsRandomWeights weights) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->random.emplace(seed);
    m_shared->weights = weights;
}

void SidsTestServer::OnRequest(std::function<void(const SidsRequest&)> handler) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->onRequest = std::move(handler);
}

std::vector<SidsRequest> SidsTestServer::Requests() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->requests;
}

std::size_t SidsTestServer::RequestCount() const {
    std::lock_guard lock(m_shared->mutex);
    return m_shared->requests.size();
}

bool SidsTestServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->arrived.wait_for(lock, timeout,
                                      [&] { return m_shared->requests.size() >= count; });
}

}  // namespace quorbel::testing
