// The proxy's sockets: each peer's WebSocket is paired with one to the relay, every message read
// on either goes into the emulator, and a timer hands each one to the other side when the
// emulated network delivers it. One I/O thread does everything; only the counters are shared.
#include "relay/emulating_proxy.h"

#include "netcode/online_envelope.h"

// Asio 1.74 uses std::exchange without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace zindle::relay {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr double kNever = std::numeric_limits<double>::infinity();

} // namespace

bool carriesSessionMessage(const Message& message) {
    const Bytes* payload = nullptr;
    if (const auto* data = std::get_if<Data>(&message))
        payload = &data->payload;
    else if (const auto* forward = std::get_if<Forward>(&message))
        payload = &forward->payload;
    return payload && !payload->empty() &&
           (*payload)[0] == static_cast<std::uint8_t>(net::Envelope::Kind::Session);
}

class ProxiedPair;

struct EmulatingProxy::Impl {
    explicit Impl(EmulatingProxyOptions opts)
        : options(std::move(opts)), loose(options.conditions, options.seed),
          ordered({options.conditions.delayMs, 0, 0, 0, 0}, options.seed + 1) {}

    double nowMs() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                         startedAt)
            .count();
    }
    // Sends bytes towards one side of a pair through the emulated network; message is what they
    // decode to (null for bytes that are no relay message). The emulator's addresses: 2 * pair
    // for the peer's side, 2 * pair + 1 for the relay's.
    void pass(int pair, bool toRelay, Bytes bytes, const Message* message);
    void schedule();
    void deliver();
    void accept();

    EmulatingProxyOptions options;
    mutable std::mutex mutex; // the emulators, for the counters read from other threads
    net::PeerLinkEmulator loose;
    net::PeerLinkEmulator ordered;
    std::unordered_map<int, std::weak_ptr<ProxiedPair>> pairs;
    int nextPair = 0;
    double timerAtMs = kNever;
    std::chrono::steady_clock::time_point startedAt = std::chrono::steady_clock::now();
    std::thread thread;
    // Declared last, destroyed first: it takes every pending handler, and the pairs with them.
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer deliveryTimer{io};
};

// One peer's WebSocket and the proxy's own to the relay for it.
class ProxiedPair : public std::enable_shared_from_this<ProxiedPair> {
public:
    ProxiedPair(EmulatingProxy::Impl* proxy, int id, tcp::socket socket)
        : proxy_(proxy), id_(id), peer_(std::move(socket)), relay_(proxy->io),
          closeTimer_(proxy->io) {}

    void start() {
        http::async_read(beast::get_lowest_layer(peer_), requestBuffer_, request_,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             if (error || !websocket::is_upgrade(self->request_))
                                 return self->shut();
                             self->connectRelay();
                         });
    }

    void write(bool toRelay, Bytes bytes) {
        if (shut_)
            return;
        Side& side = toRelay ? toRelay_ : toPeer_;
        side.queue.push_back(std::move(bytes));
        if (!side.writing)
            writeNext(toRelay);
    }

    // Once one side has gone, the other follows when what is travelling to it has arrived.
    void closeSoon() {
        if (closing_)
            return;
        closing_ = true;
        const auto c = proxy_->options.conditions;
        const double travelMs = (c.delayMs + c.jitterMs) * 2.5 + 10;
        closeTimer_.expires_after(std::chrono::microseconds(static_cast<long>(travelMs * 1000)));
        closeTimer_.async_wait([self = shared_from_this()](beast::error_code) { self->shut(); });
    }

    void shut() {
        shut_ = true;
        beast::error_code ignored;
        beast::get_lowest_layer(peer_).socket().close(ignored);
        beast::get_lowest_layer(relay_).socket().close(ignored);
    }

private:
    struct Side {
        std::deque<Bytes> queue;
        bool writing = false;
    };

    void connectRelay() {
        beast::get_lowest_layer(relay_).async_connect(
            tcp::endpoint(asio::ip::address_v4::loopback(), proxy_->options.relayPort),
            [self = shared_from_this()](beast::error_code error) {
                if (error)
                    return self->shut();
                beast::error_code ignored;
                beast::get_lowest_layer(self->relay_)
                    .socket()
                    .set_option(tcp::no_delay(true), ignored);
                const std::string target(self->request_.target());
                self->relay_.async_handshake("127.0.0.1:" +
                                                 std::to_string(self->proxy_->options.relayPort),
                                             target, [self](beast::error_code error) {
                                                 if (error)
                                                     return self->shut();
                                                 self->acceptPeer();
                                             });
            });
    }

    void acceptPeer() {
        for (auto* ws : {&peer_, &relay_}) {
            ws->binary(true);
            ws->read_message_max(kMaxMessageBytes);
        }
        peer_.async_accept(request_, [self = shared_from_this()](beast::error_code error) {
            if (error)
                return self->shut();
            self->read(false);
            self->read(true);
        });
    }

    void read(bool fromRelay) {
        auto& ws = fromRelay ? relay_ : peer_;
        auto& buffer = fromRelay ? relayBuffer_ : peerBuffer_;
        ws.async_read(
            buffer, [self = shared_from_this(), fromRelay](beast::error_code error, std::size_t) {
                if (error)
                    return self->closeSoon();
                auto& buffer = fromRelay ? self->relayBuffer_ : self->peerBuffer_;
                const auto data = buffer.cdata();
                const std::span bytes(static_cast<const std::uint8_t*>(data.data()), data.size());
                // The relay's batches go apart, so that each message meets the network alone.
                DecodeError ignored{};
                std::optional<std::vector<Message>> messages;
                if (fromRelay)
                    messages = decodeAll(bytes, ignored);
                if (messages) {
                    for (const Message& message : *messages)
                        self->proxy_->pass(self->id_, false, encode(message), &message);
                } else {
                    const Decoded single = decode(bytes);
                    self->proxy_->pass(self->id_, !fromRelay, Bytes(bytes.begin(), bytes.end()),
                                       single.message ? &*single.message : nullptr);
                }
                buffer.consume(buffer.size());
                self->read(fromRelay);
            });
    }

    void writeNext(bool toRelay) {
        Side& side = toRelay ? toRelay_ : toPeer_;
        auto& ws = toRelay ? relay_ : peer_;
        side.writing = true;
        ws.async_write(asio::buffer(side.queue.front()),
                       [self = shared_from_this(), toRelay](beast::error_code error, std::size_t) {
                           Side& side = toRelay ? self->toRelay_ : self->toPeer_;
                           side.writing = false;
                           side.queue.pop_front();
                           if (error)
                               return self->closeSoon();
                           if (!side.queue.empty())
                               self->writeNext(toRelay);
                       });
    }

    EmulatingProxy::Impl* proxy_;
    int id_;
    websocket::stream<beast::tcp_stream> peer_;
    websocket::stream<beast::tcp_stream> relay_;
    asio::steady_timer closeTimer_;
    beast::flat_buffer requestBuffer_;
    http::request<http::empty_body> request_;
    beast::flat_buffer peerBuffer_;
    beast::flat_buffer relayBuffer_;
    Side toPeer_;
    Side toRelay_;
    bool closing_ = false;
    bool shut_ = false;
};

void EmulatingProxy::Impl::pass(int pair, bool toRelay, Bytes bytes, const Message* message) {
    const bool mayBeLost = message && options.mayBeLost(*message);
    const int to = 2 * pair + (toRelay ? 1 : 0);
    const int from = 2 * pair + (toRelay ? 0 : 1);
    {
        std::lock_guard lock(mutex);
        (mayBeLost ? loose : ordered).send(from, to, std::move(bytes), nowMs());
    }
    schedule();
}

void EmulatingProxy::Impl::schedule() {
    double nextMs = kNever;
    {
        std::lock_guard lock(mutex);
        for (const auto* emulator : {&loose, &ordered})
            if (const double at = emulator->nextArrivalMs(); at >= 0)
                nextMs = std::min(nextMs, at);
    }
    if (nextMs >= timerAtMs)
        return; // the timer already goes off in time
    timerAtMs = nextMs;
    deliveryTimer.expires_at(startedAt +
                             std::chrono::microseconds(static_cast<long>(nextMs * 1000)));
    deliveryTimer.async_wait([this](beast::error_code error) {
        if (!error)
            deliver();
    });
}

void EmulatingProxy::Impl::deliver() {
    timerAtMs = kNever;
    std::vector<net::PeerLinkEmulator::Packet> arrived;
    {
        std::lock_guard lock(mutex);
        const double now = nowMs();
        arrived = loose.arrived(now);
        for (auto& packet : ordered.arrived(now))
            arrived.push_back(std::move(packet));
    }
    for (auto& packet : arrived) {
        auto found = pairs.find(packet.to / 2);
        if (found == pairs.end())
            continue;
        if (auto pair = found->second.lock())
            pair->write(packet.to % 2 == 1, std::move(packet.bytes));
        else
            pairs.erase(found);
    }
    schedule();
}

void EmulatingProxy::Impl::accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error)
            return;
        beast::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        const int id = nextPair++;
        auto pair = std::make_shared<ProxiedPair>(this, id, std::move(socket));
        pairs[id] = pair;
        pair->start();
        accept();
    });
}

EmulatingProxy::EmulatingProxy(EmulatingProxyOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

EmulatingProxy::~EmulatingProxy() {
    impl_->io.stop();
    if (impl_->thread.joinable())
        impl_->thread.join();
}

unsigned short EmulatingProxy::start() {
    const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), 0);
    impl_->acceptor.open(endpoint.protocol());
    impl_->acceptor.bind(endpoint);
    impl_->acceptor.listen();
    impl_->accept();
    impl_->thread = std::thread([impl = impl_.get()] { impl->io.run(); });
    return impl_->acceptor.local_endpoint().port();
}

net::LinkCounters EmulatingProxy::counters() const {
    std::lock_guard lock(impl_->mutex);
    net::LinkCounters sum = impl_->loose.counters();
    const net::LinkCounters& other = impl_->ordered.counters();
    sum.sent += other.sent;
    sum.lost += other.lost;
    sum.duplicated += other.duplicated;
    sum.reordered += other.reordered;
    sum.delivered += other.delivered;
    return sum;
}

} // namespace zindle::relay
