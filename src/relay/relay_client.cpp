// The client's I/O thread: resolve, connect, handshake, then one read and one write in flight.
// Everything that touches the socket runs on that thread; the game's calls only post to it or
// take from the incoming queue under its lock.
#include "relay/relay_client.h"

#include "netcode/inbound_queue.h"

// Asio 1.74 uses std::exchange without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

namespace zindle::relay {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

// A game polls every frame; this many unread messages means it has stopped, not fallen behind.
constexpr std::size_t kMaxIncoming = 8192;
constexpr std::size_t kMaxOutgoingBytes = 4 * 1024 * 1024;
constexpr auto kConnectTimeout = std::chrono::seconds(5);
constexpr auto kCloseTimeout = std::chrono::seconds(2);
// How often the client looks for a stream that began to close on its own.
constexpr auto kWatchEvery = std::chrono::milliseconds(100);

std::string impossibleFrame(const std::string& detail) {
    return "the relay sent an impossible frame (" + detail + ")";
}

} // namespace

struct RelayClient::Impl : std::enable_shared_from_this<RelayClient::Impl> {
    explicit Impl(const RoomLink& link)
        : link(link), target(webSocketTarget(link)), where(relayAddress(link)), resolver(io),
          ws(io) {}

    // How a player names the relay in a reason: a stale link says which relay is gone.
    static std::string relayAddress(const RoomLink& link) {
        const bool ipv6 = link.host.find(':') != std::string::npos;
        return (ipv6 ? "[" + link.host + "]" : link.host) + ":" + std::to_string(link.port);
    }

    void start() {
        resolver.async_resolve(link.host, std::to_string(link.port),
                               [self = shared_from_this()](beast::error_code error,
                                                           tcp::resolver::results_type found) {
                                   if (error)
                                       return self->finish("cannot find the relay " + self->where);
                                   self->connect(found);
                               });
    }

    void connect(const tcp::resolver::results_type& found) {
        beast::get_lowest_layer(ws).expires_after(kConnectTimeout);
        beast::get_lowest_layer(ws).async_connect(
            found, [self = shared_from_this()](beast::error_code error, const tcp::endpoint&) {
                if (error)
                    return self->finish("cannot reach the relay at " + self->where + ": " +
                                        error.message());
                beast::error_code ignored;
                beast::get_lowest_layer(self->ws).socket().set_option(tcp::no_delay(true), ignored);
                self->handshake();
            });
    }

    void handshake() {
        // The Host header names the port, and brackets an IPv6 address as a URL does.
        ws.async_handshake(where, target, [self = shared_from_this()](beast::error_code error) {
            if (error)
                return self->finish("no relay answered at " + self->where + ": " + error.message());
            beast::get_lowest_layer(self->ws).expires_never();
            websocket::stream_base::timeout timeout{};
            timeout.handshake_timeout = kCloseTimeout;
            timeout.idle_timeout = websocket::stream_base::none();
            timeout.keep_alive_pings = false;
            self->ws.set_option(timeout);
            self->ws.binary(true);
            self->ws.read_message_max(kMaxMessageBytes);
            {
                std::lock_guard lock(self->mutex);
                self->status = Status::Open;
            }
            self->read();
            self->watch();
            if (!self->outgoing.empty())
                self->writeFront();
        });
    }

    // A frame no WebSocket peer may send makes the stream close itself, and the pending read
    // completes only when the relay ends the connection, which a hostile or broken one may
    // never do. Seen closing without being asked, and without a close from the relay, the
    // connection ends at once with the reason.
    void watch() {
        watchTimer.expires_after(kWatchEvery);
        watchTimer.async_wait([self = shared_from_this()](beast::error_code error) {
            if (error || self->statusNow() == Status::Closed)
                return;
            if (!self->ws.is_open() && !self->closing) {
                if (self->ws.reason().code == websocket::close_code::none)
                    return self->abort(impossibleFrame("the connection failed"));
                return self->abort("the relay closed the connection");
            }
            self->watch();
        });
    }

    void read() {
        ws.async_read(buffer, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error == websocket::condition::protocol_violation)
                return self->finish(impossibleFrame(error.message()));
            if (error)
                return self->finish(error == websocket::error::closed
                                        ? "the relay closed the connection"
                                        : "connection lost: " + error.message());
            // Stamped here, so that a round trip can leave out the wait for the game's frame.
            const auto arrived = std::chrono::steady_clock::now();
            const auto data = self->buffer.cdata();
            DecodeError problem = DecodeError::Empty;
            std::optional<std::vector<Message>> messages = decodeAll(
                std::span(static_cast<const std::uint8_t*>(data.data()), data.size()), problem);
            self->buffer.consume(self->buffer.size());
            if (!messages)
                return self->abort(std::string("the relay sent a bad message: ") +
                                   describe(problem));
            {
                std::lock_guard lock(self->mutex);
                if (!self->incoming.push(std::move(*messages), arrived))
                    self->reason = "the game stopped reading the relay";
            }
            if (!self->reason.empty())
                return self->abort(self->reason);
            self->read();
        });
    }

    void queue(Bytes bytes) {
        if (status == Status::Closed || closing)
            return;
        if (outgoingBytes + bytes.size() > kMaxOutgoingBytes)
            return abort("the relay stopped reading");
        outgoingBytes += bytes.size();
        outgoing.push_back(std::move(bytes));
        if (outgoing.size() == 1 && statusNow() == Status::Open)
            writeFront();
    }

    void writeFront() {
        ws.async_write(asio::buffer(outgoing.front()),
                       [self = shared_from_this()](beast::error_code error, std::size_t) {
                           self->outgoingBytes -= self->outgoing.front().size();
                           self->outgoing.pop_front();
                           if (error)
                               return self->finish("connection lost: " + error.message());
                           if (!self->outgoing.empty())
                               self->writeFront();
                           else if (self->closing)
                               self->closeGracefully();
                       });
    }

    void closeGracefully() {
        closing = true;
        // A relay that never answers the close is not waited for past the timeout.
        closeTimer.expires_after(kCloseTimeout);
        closeTimer.async_wait([self = shared_from_this()](beast::error_code error) {
            if (!error)
                self->abort("closed");
        });
        if (statusNow() != Status::Open) {
            abort("closed");
            return;
        }
        if (!outgoing.empty())
            return; // after the last write
        ws.async_close(websocket::close_code::normal,
                       [self = shared_from_this()](beast::error_code) { self->abort("closed"); });
    }

    void abort(const std::string& why) {
        beast::error_code ignored;
        resolver.cancel();
        closeTimer.cancel();
        watchTimer.cancel();
        beast::get_lowest_layer(ws).socket().close(ignored);
        finish(why);
    }

    void finish(const std::string& why) {
        std::lock_guard lock(mutex);
        if (status == Status::Closed)
            return;
        status = Status::Closed;
        if (reason.empty())
            reason = why;
    }

    Status statusNow() {
        std::lock_guard lock(mutex);
        return status;
    }

    const RoomLink link;
    const std::string target;
    const std::string where;
    asio::io_context io{1};
    tcp::resolver resolver;
    asio::steady_timer closeTimer{io};
    asio::steady_timer watchTimer{io};
    websocket::stream<beast::tcp_stream> ws;
    beast::flat_buffer buffer;
    std::deque<Bytes> outgoing;
    std::size_t outgoingBytes = 0;
    bool closing = false;

    mutable std::mutex mutex;
    net::InboundQueue incoming{kMaxIncoming};
    Status status = Status::Connecting;
    std::string reason;

    std::thread thread;
};

RelayClient::RelayClient(const RoomLink& link) : impl_(std::make_shared<Impl>(link)) {
    impl_->start();
    impl_->thread = std::thread([impl = impl_] { impl->io.run(); });
}

RelayClient::~RelayClient() {
    asio::post(impl_->io, [impl = impl_] { impl->closeGracefully(); });
    impl_->thread.join();
}

void RelayClient::send(const Message& message) {
    asio::post(impl_->io, [impl = impl_, bytes = encode(message)]() mutable {
        impl->queue(std::move(bytes));
    });
}

std::optional<Message> RelayClient::poll() {
    std::lock_guard lock(impl_->mutex);
    return impl_->incoming.pop(net::InboundQueue::Clock::now(), lastPolledWaitMs_);
}

RelayClient::Status RelayClient::status() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->status;
}

std::string RelayClient::closeReason() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->status == Status::Closed ? impl_->reason : std::string();
}

} // namespace zindle::relay
