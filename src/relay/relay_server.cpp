// The relay's sockets: accepting, telling HTTP from WebSocket, serving files, and carrying
// room messages between the connections and the room directory. Every read has a bound (request
// size, message size, time to send a request) and every write queue has one too.
#include "relay/relay_server.h"

#include "netcode/log_throttle.h"
#include "relay/operator_access.h"
#include "relay/static_files.h"
#include "relay/static_representation.h"

// Asio 1.74 uses std::exchange without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <deque>
#include <future>
#include <iostream>
#include <thread>
#include <unordered_map>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace zindle::relay {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr std::size_t kMaxRequestHeaderBytes = 8 * 1024;
constexpr auto kCloseHandshakeTimeout = std::chrono::seconds(5);
constexpr auto kStopGrace = std::chrono::seconds(2);
// What a queued message costs beyond its bytes: the shared buffer's control block and vector,
// the queue's slot and the allocator's rounding (about 96 bytes for a 3-byte answer, measured).
// Counting it keeps a flood of tiny answers within the same memory as one large message.
constexpr std::size_t kQueuedMessageOverheadBytes = 128;
// Freed queues worth handing back to the system at the next tick.
constexpr std::size_t kTrimAfterBytes = 4 * 1024 * 1024;
// Buffers kept between messages: one large message must not pin its size for good.
constexpr std::size_t kKeptBufferBytes = 16 * 1024;
// Out of descriptors, accepting waits this long before trying again.
constexpr auto kAcceptPause = std::chrono::milliseconds(250);

double secondsOf(TimePoint time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

// The part of a log line that names the peer's address, which lines are throttled by.
std::string_view addressIn(std::string_view line) {
    constexpr std::string_view kKey = "address=";
    const std::size_t at = line.find(kKey);
    if (at == std::string_view::npos)
        return {};
    const std::string_view rest = line.substr(at + kKey.size());
    return rest.substr(0, rest.find(' '));
}

} // namespace

std::string connectionNetwork(const std::string& address) {
    beast::error_code error;
    asio::ip::address parsed = asio::ip::make_address(address, error);
    if (error || !parsed.is_v6())
        return address;
    asio::ip::address_v6 v6 = parsed.to_v6();
    if (v6.is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, v6).to_string();
    asio::ip::address_v6::bytes_type bytes = v6.to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return asio::ip::address_v6(bytes).to_string() + "/64";
}

namespace {

bool outOfDescriptors(const beast::error_code& error) {
    return error == asio::error::no_descriptors || error == asio::error::no_buffer_space ||
           error == asio::error::no_memory ||
           (error.category() == asio::error::get_system_category() && error.value() == ENFILE);
}

} // namespace

class WebSocketSession;
class HttpSession;

// Sessions and handlers point at the relay without owning it: the I/O context is destroyed
// first among what they touch, and takes every pending handler and session with it.
struct RelayServer::Impl final : Transport {
    explicit Impl(RelayOptions opts)
        : options(std::move(opts)), throttle(options.log),
          directory(
              options.rules, *this, [this](std::string_view line) { log(line); },
              systemRandomSource()),
          tickTimer(io), stopTimer(io), acceptPause(io) {
        if (options.webRoot) {
            webRoot = std::filesystem::canonical(*options.webRoot);
            std::string problem;
            published = PublishedFiles::load(*webRoot, problem);
            if (!published)
                log(problem);
        }
    }

    void send(ConnectionId connection, SharedBytes message) override;
    void close(ConnectionId connection) override;

    void accept(tcp::acceptor& acceptor);
    void pauseAccepting(tcp::acceptor& acceptor);
    bool open(tcp::acceptor& acceptor, const tcp::endpoint& endpoint, bool v6Only,
              beast::error_code& error);
    void scheduleTick();
    void tick();
    void closeStalledWriters(TimePoint now);
    // Lines about one address are held to a few per window, with a summary of the rest.
    void log(std::string_view line) {
        const std::string_view address = addressIn(line);
        if (address.empty()) {
            if (options.log)
                options.log(line);
            return;
        }
        throttle.line(address, line, secondsOf(options.clock()));
    }
    // Every session's queue together, for /metrics.
    std::size_t queuedBytes() const;
    bool admit(const std::string& address) {
        if (liveConnections >= options.maxConnections) {
            log("connection cap reached address=" + address);
            directory.counters().refuse(Refusal::ConnectionCap);
            return false;
        }
        if (connectionsPerAddress[address] >= options.maxConnectionsPerAddress) {
            log("connections per address capped address=" + address);
            directory.counters().refuse(Refusal::AddressCap);
            return false;
        }
        const std::string network = connectionNetwork(address);
        if (network != address &&
            connectionsPerNetwork[network] >= options.maxConnectionsPerNetwork) {
            log("connections per network capped network=" + network + " address=" + address);
            directory.counters().refuse(Refusal::NetworkCap);
            return false;
        }
        ++liveConnections;
        ++connectionsPerAddress[address];
        if (network != address)
            ++connectionsPerNetwork[network];
        return true;
    }
    void release(const std::string& address) {
        --liveConnections;
        if (--connectionsPerAddress[address] == 0)
            connectionsPerAddress.erase(address);
        const std::string network = connectionNetwork(address);
        if (network != address && --connectionsPerNetwork[network] == 0)
            connectionsPerNetwork.erase(network);
        // The last connection gone: a stopping relay need not wait out its grace.
        if (stopping && liveConnections == 0 && ioAlive)
            io.stop();
    }

    RelayOptions options;
    net::LogThrottle throttle;
    std::optional<std::filesystem::path> webRoot;
    std::optional<PublishedFiles> published;
    RoomDirectory directory;
    std::unordered_map<ConnectionId, std::weak_ptr<WebSocketSession>> sockets;
    ConnectionId nextConnection = 1;
    std::size_t liveConnections = 0;
    std::unordered_map<std::string, std::size_t> connectionsPerAddress;
    std::unordered_map<std::string, std::size_t> connectionsPerNetwork;
    // Bytes of queues freed since memory was last handed back.
    std::size_t freedQueueBytes = 0;
    bool stopping = false;
    bool ioAlive = true;
    std::thread thread;
    asio::io_context io{1};
    // IPv4, then its IPv6 companion when there is one.
    std::vector<tcp::acceptor> acceptors;
    asio::steady_timer tickTimer;
    asio::steady_timer stopTimer;
    // Acceptors waiting out a shortage of descriptors, and whether it has been logged.
    asio::steady_timer acceptPause;
    std::vector<tcp::acceptor*> pausedAcceptors;
    bool shortOfDescriptors = false;
};

// One WebSocket peer: reads messages into the directory, writes what the directory sends.
class WebSocketSession : public std::enable_shared_from_this<WebSocketSession> {
public:
    WebSocketSession(RelayServer::Impl* relay, tcp::socket socket, std::string address)
        : relay_(relay), ws_(std::move(socket)), address_(std::move(address)) {}
    ~WebSocketSession() {
        relay_->freedQueueBytes += queuedBytes_;
        relay_->release(address_);
    }

    void start(http::request<http::empty_body> request) {
        beast::get_lowest_layer(ws_).expires_never();
        websocket::stream_base::timeout timeout{};
        timeout.handshake_timeout = kCloseHandshakeTimeout;
        timeout.idle_timeout = websocket::stream_base::none();
        timeout.keep_alive_pings = false;
        ws_.set_option(timeout);
        ws_.read_message_max(kMaxMessageBytes);
        ws_.binary(true);
        ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
            self->accepted(error);
        });
    }

    void send(SharedBytes message) {
        if (closing_)
            return;
        const std::size_t cost = queuedCost(*message);
        if (queuedBytes_ + cost > relay_->options.maxQueuedBytesPerConnection) {
            closeUnread("peer not reading, closed address=" + address_);
            return;
        }
        queuedBytes_ += cost;
        queue_.push_back(std::move(message));
        if (!writing_)
            writeNext();
    }

    // A write out for longer than the limit: the peer reads nothing, and what is queued for it
    // only grows. Closed, and its queue freed.
    void closeIfStalled(TimePoint now) {
        if (writing_ && !closing_ && now - writeStartedAt_ > relay_->options.writeStallLimit)
            closeUnread("peer read nothing for " +
                        std::to_string(relay_->options.writeStallLimit.count()) +
                        " s, closed address=" + address_);
    }

    // What its queue and the write out cost now, for /metrics.
    std::size_t queuedBytes() const { return queuedBytes_; }

    // Closes once what is queued has gone, so a last Error or RoomClosed still arrives.
    void closeNow() {
        closing_ = true;
        if (!writing_ && !closeStarted_)
            startClose();
    }

private:
    static std::size_t queuedCost(const Bytes& message) {
        return message.size() + kQueuedMessageOverheadBytes;
    }

    // Called from inside the directory or a tick: closing the socket ends the pending read,
    // whose handler tells the directory later.
    void closeUnread(const std::string& line) {
        relay_->log(line);
        relay_->directory.counters().refuse(Refusal::SlowReader);
        closing_ = true;
        relay_->freedQueueBytes += queuedBytes_;
        queuedBytes_ = 0;
        queue_.clear();
        beast::error_code ignored;
        beast::get_lowest_layer(ws_).socket().close(ignored);
    }

    void accepted(beast::error_code error) {
        if (error)
            return;
        id_ = relay_->nextConnection++;
        relay_->sockets[id_] = weak_from_this();
        relay_->directory.connected(id_, address_, relay_->options.clock());
        read();
    }

    void read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            self->onRead(error);
        });
    }

    void onRead(beast::error_code error) {
        if (error) {
            if (error == websocket::error::message_too_big) {
                relay_->log("oversized message, closed address=" + address_);
                relay_->directory.counters().refuse(Refusal::OversizedMessage);
            }
            relay_->directory.disconnected(id_, relay_->options.clock());
            relay_->sockets.erase(id_);
            return;
        }
        if (!closing_) {
            const auto data = buffer_.cdata();
            relay_->directory.received(
                id_, std::span(static_cast<const std::uint8_t*>(data.data()), data.size()),
                relay_->options.clock());
        }
        buffer_.consume(buffer_.size());
        if (buffer_.capacity() > kKeptBufferBytes)
            buffer_.shrink_to_fit();
        read();
    }

    // What queued while the last write was out goes as one batch: a busy relay then makes one
    // system call per connection and turn, not one per message.
    void writeNext() {
        writing_ = true;
        writeStartedAt_ = relay_->options.clock();
        std::size_t batchBytes = kBatchHeaderBytes;
        while (!queue_.empty() && inFlight_.size() < kMaxBatchCount &&
               batchBytes + batchedSize(queue_.front()->size()) <= kMaxMessageBytes) {
            batchBytes += batchedSize(queue_.front()->size());
            inFlight_.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        if (inFlight_.empty()) {
            // A message too large to share a batch goes alone.
            inFlight_.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        asio::const_buffer buffer = asio::buffer(*inFlight_.front());
        if (inFlight_.size() > 1) {
            std::vector<const Bytes*> messages;
            for (const SharedBytes& message : inFlight_)
                messages.push_back(message.get());
            batch_ = encodeBatch(messages);
            buffer = asio::buffer(batch_);
        }
        ws_.async_write(buffer, [self = shared_from_this()](beast::error_code error, std::size_t) {
            self->onWrite(error);
        });
    }

    void onWrite(beast::error_code error) {
        writing_ = false;
        for (const SharedBytes& message : inFlight_)
            queuedBytes_ -= std::min(queuedBytes_, queuedCost(*message));
        inFlight_.clear();
        batch_.clear();
        if (batch_.capacity() > kKeptBufferBytes)
            batch_.shrink_to_fit();
        if (error) {
            queue_.clear();
            closing_ = true;
            beast::error_code ignored;
            beast::get_lowest_layer(ws_).socket().close(ignored);
            return;
        }
        if (!queue_.empty())
            writeNext();
        else if (closing_ && !closeStarted_)
            startClose();
    }

    void startClose() {
        closeStarted_ = true;
        ws_.async_close(websocket::close_code::policy_error,
                        [self = shared_from_this()](beast::error_code) {
                            beast::error_code ignored;
                            beast::get_lowest_layer(self->ws_).socket().close(ignored);
                        });
    }

    RelayServer::Impl* relay_;
    websocket::stream<beast::tcp_stream> ws_;
    std::string address_;
    ConnectionId id_ = kNoConnection;
    beast::flat_buffer buffer_;
    std::deque<SharedBytes> queue_;
    std::vector<SharedBytes> inFlight_;
    Bytes batch_;
    bool writing_ = false;
    TimePoint writeStartedAt_{};
    std::size_t queuedBytes_ = 0; // what the queue and the write out cost in memory
    bool closing_ = false;
    bool closeStarted_ = false;
};

// One HTTP connection: serves files until it asks for a WebSocket, goes quiet or misbehaves.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(RelayServer::Impl* relay, tcp::socket socket, std::string address)
        : relay_(relay), stream_(std::move(socket)), address_(std::move(address)) {}
    ~HttpSession() {
        if (!handedOver_)
            relay_->release(address_);
    }

    void read() {
        parser_.emplace();
        parser_->header_limit(kMaxRequestHeaderBytes);
        parser_->body_limit(0);
        stream_.expires_after(relay_->options.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onRequest(error);
                         });
    }

private:
    void onRequest(beast::error_code error) {
        if (error) {
            if (error != http::error::end_of_stream && error != beast::error::timeout &&
                error != asio::error::operation_aborted && error != asio::error::eof)
                relay_->log("bad request (" + error.message() + ") address=" + address_);
            if (error == beast::error::timeout)
                relay_->log("request timed out address=" + address_);
            beast::error_code ignored;
            stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
            return;
        }
        http::request<http::empty_body> request = parser_->release();
        if (websocket::is_upgrade(request)) {
            const std::string_view target(request.target().data(), request.target().size());
            if (relay_->stopping ||
                !(target == "/ws" || target.starts_with("/ws/") || target.starts_with("/ws?"))) {
                respondStatus(request, http::status::not_found);
                return;
            }
            handedOver_ = true;
            std::make_shared<WebSocketSession>(relay_, stream_.release_socket(), address_)
                ->start(std::move(request));
            return;
        }
        const std::string_view target(request.target().data(), request.target().size());
        if (const auto endpoint = operatorEndpointFor(target)) {
            answerOperator(request, *endpoint);
            return;
        }
        serveFile(request);
    }

    void answerOperator(const http::request<http::empty_body>& request, OperatorEndpoint endpoint) {
        const auto forwarded = request.find("X-Forwarded-For");
        const auto method = request.method_string();
        OperatorRequest asked{{method.data(), method.size()}, address_, std::nullopt};
        if (forwarded != request.end())
            asked.forwardedFor =
                std::string_view(forwarded->value().data(), forwarded->value().size());
        RelayServer::Impl& relay = *relay_;
        OperatorAnswer answer = answerOperatorRequest(
            asked, endpoint, relay.options.operatorAccess, !relay.stopping, [&relay] {
                return prometheusText(relay.directory.counters(),
                                      {relay.directory.roomCount(), relay.directory.peerCount(),
                                       relay.directory.connectionCount(), relay.queuedBytes()});
            });
        if (answer.status == 403) {
            relay.directory.counters().refuse(Refusal::OperatorForbidden);
            relay.log("operator endpoint refused address=" + address_);
        }
        auto response = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(answer.status), request.version());
        response->set(http::field::content_type, std::string(answer.contentType));
        response->set(http::field::cache_control, "no-store");
        response->body() = std::move(answer.body);
        response->keep_alive(request.keep_alive());
        response->prepare_payload();
        write(response);
    }

    void serveFile(const http::request<http::empty_body>& request) {
        if (request.method() != http::verb::get && request.method() != http::verb::head) {
            respondStatus(request, http::status::method_not_allowed);
            return;
        }
        if (!relay_->webRoot || !relay_->published) {
            respondStatus(request, http::status::not_found);
            return;
        }
        const std::string_view target(request.target().data(), request.target().size());
        auto resolved = resolveStaticFile(*relay_->webRoot, target);
        if (auto* refusal = std::get_if<StaticRefusal>(&resolved)) {
            respondStatus(request, *refusal == StaticRefusal::BadRequest ? http::status::bad_request
                                                                         : http::status::not_found);
            return;
        }
        const std::filesystem::path& file = std::get<std::filesystem::path>(resolved);
        if (!relay_->published->contains(*relay_->webRoot, file)) {
            respondStatus(request, http::status::not_found);
            return;
        }
        const auto sent = representationFor(*relay_->webRoot, file,
                                            headerOf(request, http::field::accept_encoding));
        if (!sent) {
            respondStatus(request, http::status::not_found);
            return;
        }
        if (notModified(*sent, headerOf(request, http::field::if_none_match),
                        headerOf(request, http::field::if_modified_since))) {
            auto unchanged = std::make_shared<http::response<http::empty_body>>(
                http::status::not_modified, request.version());
            describe(*unchanged, *sent);
            unchanged->keep_alive(request.keep_alive());
            write(unchanged);
            return;
        }
        http::file_body::value_type body;
        beast::error_code error;
        body.open(sent->file.c_str(), beast::file_mode::scan, error);
        if (error) {
            respondStatus(request, http::status::not_found);
            return;
        }
        auto response = std::make_shared<http::response<http::file_body>>(
            std::piecewise_construct, std::make_tuple(std::move(body)),
            std::make_tuple(http::status::ok, request.version()));
        response->set(http::field::content_type, std::string(contentTypeFor(file)));
        if (!sent->encoding.empty())
            response->set(http::field::content_encoding, std::string(sent->encoding));
        describe(*response, *sent);
        response->set("X-Content-Type-Options", "nosniff");
        response->keep_alive(request.keep_alive());
        response->prepare_payload();
        if (request.method() == http::verb::head) {
            auto head = std::make_shared<http::response<http::empty_body>>(http::status::ok,
                                                                           request.version());
            head->base() = response->base();
            head->content_length(response->body().size());
            write(head);
            return;
        }
        write(response);
    }

    static std::string_view headerOf(const http::request<http::empty_body>& request,
                                     http::field field) {
        const auto value = request[field];
        return {value.data(), value.size()};
    }

    // The headers a 200 and a 304 share: the validators, and how long the browser may keep it.
    template <class Response>
    static void describe(Response& response, const StaticRepresentation& sent) {
        response.set(http::field::etag, sent.etag);
        response.set(http::field::last_modified, sent.lastModified);
        response.set(http::field::cache_control, "no-cache");
        if (sent.hasCompressedCopies)
            response.set(http::field::vary, "Accept-Encoding");
    }

    void respondStatus(const http::request<http::empty_body>& request, http::status status) {
        auto response =
            std::make_shared<http::response<http::string_body>>(status, request.version());
        response->set(http::field::content_type, "text/plain; charset=utf-8");
        response->body() = std::string(http::obsolete_reason(status)) + "\n";
        response->keep_alive(request.keep_alive() && status != http::status::bad_request);
        response->prepare_payload();
        write(response);
    }

    // Piece by piece, each with the request timeout of its own: a large file on a slow link
    // takes as long as it takes, while a reader that stops taking bytes is let go.
    template <class Response> void write(std::shared_ptr<Response> response) {
        auto serializer =
            std::make_shared<http::response_serializer<typename Response::body_type>>(*response);
        writeSome(response, serializer);
    }

    template <class Response, class Serializer>
    void writeSome(std::shared_ptr<Response> response, std::shared_ptr<Serializer> serializer) {
        stream_.expires_after(relay_->options.requestTimeout);
        http::async_write_some(
            stream_, *serializer,
            [self = shared_from_this(), response, serializer](beast::error_code error,
                                                              std::size_t) {
                if (!error && !serializer->is_done())
                    return self->writeSome(response, serializer);
                if (error == beast::error::timeout)
                    self->relay_->log("download made no progress for " +
                                      std::to_string(self->relay_->options.requestTimeout.count()) +
                                      " s, closed address=" + self->address_);
                if (error || !response->keep_alive()) {
                    beast::error_code ignored;
                    self->stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
                    return;
                }
                self->read();
            });
    }

    RelayServer::Impl* relay_;
    beast::tcp_stream stream_;
    std::string address_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::empty_body>> parser_;
    bool handedOver_ = false;
};

void RelayServer::Impl::send(ConnectionId connection, SharedBytes message) {
    auto found = sockets.find(connection);
    if (found == sockets.end())
        return;
    if (auto session = found->second.lock())
        session->send(std::move(message));
}

std::size_t RelayServer::Impl::queuedBytes() const {
    std::size_t total = 0;
    for (const auto& [id, weak] : sockets)
        if (const auto session = weak.lock())
            total += session->queuedBytes();
    return total;
}

void RelayServer::Impl::close(ConnectionId connection) {
    auto found = sockets.find(connection);
    if (found == sockets.end())
        return;
    std::shared_ptr<WebSocketSession> session = found->second.lock();
    sockets.erase(found);
    if (session)
        session->closeNow();
}

void RelayServer::Impl::accept(tcp::acceptor& acceptor) {
    acceptor.async_accept([self = this, &acceptor](beast::error_code error, tcp::socket socket) {
        if (error) {
            if (self->stopping || error == asio::error::operation_aborted)
                return;
            // Trying again at once would fail at once, for as long as the shortage lasts.
            if (outOfDescriptors(error))
                return self->pauseAccepting(acceptor);
            return self->accept(acceptor);
        }
        self->shortOfDescriptors = false;
        beast::error_code ignored;
        const std::string address = socket.remote_endpoint(ignored).address().to_string();
        // Inputs are small and late ones are useless: no waiting to fill a segment.
        socket.set_option(tcp::no_delay(true), ignored);
        if (self->admit(address))
            std::make_shared<HttpSession>(self, std::move(socket), address)->read();
        self->accept(acceptor);
    });
}

void RelayServer::Impl::pauseAccepting(tcp::acceptor& acceptor) {
    if (!shortOfDescriptors) {
        shortOfDescriptors = true;
        log("out of file descriptors (" + std::to_string(liveConnections) +
            " connections): new ones wait until some close");
    }
    pausedAcceptors.push_back(&acceptor);
    if (pausedAcceptors.size() > 1)
        return; // the timer is already set
    acceptPause.expires_after(kAcceptPause);
    acceptPause.async_wait([self = this](beast::error_code error) {
        std::vector<tcp::acceptor*> paused = std::move(self->pausedAcceptors);
        self->pausedAcceptors.clear();
        if (error || self->stopping)
            return;
        for (tcp::acceptor* acceptor : paused)
            self->accept(*acceptor);
    });
}

bool RelayServer::Impl::open(tcp::acceptor& acceptor, const tcp::endpoint& endpoint, bool v6Only,
                             beast::error_code& error) {
    acceptor.open(endpoint.protocol(), error);
    if (!error && v6Only)
        acceptor.set_option(asio::ip::v6_only(true), error);
    if (!error)
        acceptor.set_option(asio::socket_base::reuse_address(true), error);
    if (!error)
        acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        beast::error_code ignored;
        acceptor.close(ignored);
    }
    return !error;
}

void RelayServer::Impl::scheduleTick() {
    tickTimer.expires_after(options.tickInterval);
    tickTimer.async_wait([self = this](beast::error_code error) {
        if (error || self->stopping)
            return;
        self->tick();
        self->scheduleTick();
    });
}

void RelayServer::Impl::tick() {
    const TimePoint now = options.clock();
    directory.tick(now);
    closeStalledWriters(now);
    throttle.flush(secondsOf(now));
#if defined(__GLIBC__)
    // The allocator keeps what a flood of queued messages took; a relay that ran for days would
    // otherwise hold its worst minute's memory for good.
    if (freedQueueBytes >= kTrimAfterBytes)
        malloc_trim(0);
#endif
    if (freedQueueBytes >= kTrimAfterBytes)
        freedQueueBytes = 0;
}

void RelayServer::Impl::closeStalledWriters(TimePoint now) {
    std::vector<std::shared_ptr<WebSocketSession>> live;
    live.reserve(sockets.size());
    for (const auto& [id, weak] : sockets)
        if (auto session = weak.lock())
            live.push_back(std::move(session));
    for (const auto& session : live)
        session->closeIfStalled(now);
}

RelayServer::RelayServer(RelayOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

RelayServer::~RelayServer() {
    stop();
    if (impl_->thread.joinable())
        impl_->thread.join();
    impl_->ioAlive = false;
}

namespace {

// The IPv6 address that goes with an IPv4 one, so that a link naming either reaches the relay.
std::optional<asio::ip::address> ipv6Companion(const asio::ip::address& address) {
    if (address == asio::ip::make_address("0.0.0.0"))
        return asio::ip::address(asio::ip::address_v6::any());
    if (address == asio::ip::make_address("127.0.0.1"))
        return asio::ip::address(asio::ip::address_v6::loopback());
    return std::nullopt;
}

// A free port for IPv4 may be taken on IPv6: a few fresh ports are tried before giving IPv6 up.
constexpr int kFreePortAttempts = 8;

} // namespace

unsigned short RelayServer::listen() {
    beast::error_code error;
    const auto address = asio::ip::make_address(impl_->options.address, error);
    const std::string where = impl_->options.address + ":" + std::to_string(impl_->options.port);
    if (error)
        throw std::runtime_error("not an address: " + impl_->options.address);
    const std::optional<asio::ip::address> companion = ipv6Companion(address);
    auto& acceptors = impl_->acceptors;
    acceptors.reserve(2); // accepting holds references to them
    for (int attempt = 0;; ++attempt) {
        acceptors.clear();
        acceptors.emplace_back(impl_->io);
        if (!impl_->open(acceptors.front(), {address, impl_->options.port}, false, error))
            throw std::runtime_error("cannot listen on " + where + ": " + error.message());
        if (!companion)
            break;
        const unsigned short port = acceptors.front().local_endpoint().port();
        acceptors.emplace_back(impl_->io);
        if (impl_->open(acceptors.back(), {*companion, port}, true, error))
            break;
        acceptors.pop_back();
        const bool retry = impl_->options.port == 0 && error == asio::error::address_in_use &&
                           attempt + 1 < kFreePortAttempts;
        if (!retry) {
            impl_->log("no IPv6 on [" + companion->to_string() + "]:" + std::to_string(port) +
                       " (" + error.message() + "), IPv4 only");
            break;
        }
    }
    for (tcp::acceptor& acceptor : acceptors)
        impl_->accept(acceptor);
    impl_->scheduleTick();
    return acceptors.front().local_endpoint().port();
}

void RelayServer::checkWebFolderReadable() {
    if (!impl_->webRoot || !impl_->published)
        return;
    if (auto unreadable = unreadablePublishedFiles(*impl_->webRoot, *impl_->published))
        impl_->log("web folder " + impl_->webRoot->string() + ": this process cannot read " +
                   std::to_string(unreadable->count) + " of its files (first " + unreadable->first +
                   "); they will be answered with 404");
}

bool RelayServer::listensOnIpv6() const {
    return impl_->acceptors.size() > 1 ||
           (!impl_->acceptors.empty() &&
            impl_->acceptors.front().local_endpoint().address().is_v6());
}

void RelayServer::run() {
    impl_->io.run();
}

void RelayServer::runInBackground() {
    impl_->thread = std::thread([impl = impl_.get()] { impl->io.run(); });
}

void RelayServer::stop() {
    asio::post(impl_->io, [impl = impl_.get()] {
        if (impl->stopping)
            return;
        impl->stopping = true;
        beast::error_code ignored;
        for (tcp::acceptor& acceptor : impl->acceptors)
            acceptor.close(ignored);
        impl->tickTimer.cancel();
        impl->acceptPause.cancel();
        impl->directory.closeAll(CloseReason::RelayStopping);
        impl->log("stopping");
        if (impl->liveConnections == 0) {
            impl->io.stop();
            return;
        }
        // Peers that do not answer the close, and idle HTTP connections, are not waited for.
        impl->stopTimer.expires_after(kStopGrace);
        impl->stopTimer.async_wait([impl](beast::error_code) { impl->io.stop(); });
    });
}

void RelayServer::tickNow() {
    std::promise<void> done;
    asio::post(impl_->io, [impl = impl_.get(), &done] {
        impl->tick();
        done.set_value();
    });
    done.get_future().wait();
}

} // namespace zindle::relay
