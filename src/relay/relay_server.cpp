// The relay's sockets: accepting, telling HTTP from WebSocket, serving files, and carrying
// room messages between the connections and the room directory. Every read has a bound (request
// size, message size, time to send a request) and every write queue has one too.
#include "relay/relay_server.h"

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

} // namespace

class WebSocketSession;
class HttpSession;

// Sessions and handlers point at the relay without owning it: the I/O context is destroyed
// first among what they touch, and takes every pending handler and session with it.
struct RelayServer::Impl final : Transport {
    explicit Impl(RelayOptions opts)
        : options(std::move(opts)),
          directory(options.rules, *this, options.log, systemRandomSource()), tickTimer(io),
          stopTimer(io) {
        if (options.webRoot)
            webRoot = std::filesystem::canonical(*options.webRoot);
    }

    void send(ConnectionId connection, SharedBytes message) override;
    void close(ConnectionId connection) override;

    void accept(tcp::acceptor& acceptor);
    bool open(tcp::acceptor& acceptor, const tcp::endpoint& endpoint, bool v6Only,
              beast::error_code& error);
    void scheduleTick();
    void log(std::string_view line) {
        if (options.log)
            options.log(line);
    }
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
        ++liveConnections;
        ++connectionsPerAddress[address];
        return true;
    }
    void release(const std::string& address) {
        --liveConnections;
        if (--connectionsPerAddress[address] == 0)
            connectionsPerAddress.erase(address);
        // The last connection gone: a stopping relay need not wait out its grace.
        if (stopping && liveConnections == 0 && ioAlive)
            io.stop();
    }

    RelayOptions options;
    std::optional<std::filesystem::path> webRoot;
    RoomDirectory directory;
    std::unordered_map<ConnectionId, std::weak_ptr<WebSocketSession>> sockets;
    ConnectionId nextConnection = 1;
    std::size_t liveConnections = 0;
    // Every session's write queue together, for /metrics.
    std::size_t queuedBytes = 0;
    std::unordered_map<std::string, std::size_t> connectionsPerAddress;
    bool stopping = false;
    bool ioAlive = true;
    std::thread thread;
    asio::io_context io{1};
    // IPv4, then its IPv6 companion when there is one.
    std::vector<tcp::acceptor> acceptors;
    asio::steady_timer tickTimer;
    asio::steady_timer stopTimer;
};

// One WebSocket peer: reads messages into the directory, writes what the directory sends.
class WebSocketSession : public std::enable_shared_from_this<WebSocketSession> {
public:
    WebSocketSession(RelayServer::Impl* relay, tcp::socket socket, std::string address)
        : relay_(relay), ws_(std::move(socket)), address_(std::move(address)) {}
    ~WebSocketSession() {
        relay_->queuedBytes -= queuedBytes_;
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
        if (queuedBytes_ + message->size() > relay_->options.maxQueuedBytesPerConnection) {
            // Called from inside the directory: closing the socket ends the pending read, whose
            // handler tells the directory later.
            relay_->log("peer not reading, closed address=" + address_);
            relay_->directory.counters().refuse(Refusal::SlowReader);
            closing_ = true;
            beast::error_code ignored;
            beast::get_lowest_layer(ws_).socket().close(ignored);
            return;
        }
        queuedBytes_ += message->size();
        relay_->queuedBytes += message->size();
        queue_.push_back(std::move(message));
        if (!writing_)
            writeNext();
    }

    // Closes once what is queued has gone, so a last Error or RoomClosed still arrives.
    void closeNow() {
        closing_ = true;
        if (!writing_ && !closeStarted_)
            startClose();
    }

private:
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
        read();
    }

    // What queued while the last write was out goes as one batch: a busy relay then makes one
    // system call per connection and turn, not one per message.
    void writeNext() {
        writing_ = true;
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
        for (const SharedBytes& message : inFlight_) {
            queuedBytes_ -= message->size();
            relay_->queuedBytes -= message->size();
        }
        inFlight_.clear();
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
    std::size_t queuedBytes_ = 0;
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
                                       relay.directory.connectionCount(), relay.queuedBytes});
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
        if (!relay_->webRoot) {
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

    template <class Response> void write(std::shared_ptr<Response> response) {
        auto done = [self = shared_from_this(), response](beast::error_code error, std::size_t) {
            if (error || !response->keep_alive()) {
                beast::error_code ignored;
                self->stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
                return;
            }
            self->read();
        };
        http::async_write(stream_, *response, done);
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
            if (!self->stopping && error != asio::error::operation_aborted)
                self->accept(acceptor);
            return;
        }
        beast::error_code ignored;
        const std::string address = socket.remote_endpoint(ignored).address().to_string();
        // Inputs are small and late ones are useless: no waiting to fill a segment.
        socket.set_option(tcp::no_delay(true), ignored);
        if (self->admit(address))
            std::make_shared<HttpSession>(self, std::move(socket), address)->read();
        self->accept(acceptor);
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
        self->directory.tick(self->options.clock());
        self->scheduleTick();
    });
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
        impl->directory.tick(impl->options.clock());
        done.set_value();
    });
    done.get_future().wait();
}

} // namespace zindle::relay
