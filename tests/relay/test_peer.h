#pragma once
// A WebSocket or plain TCP peer for the relay's tests on loopback. Every operation runs the
// peer's own I/O for at most a few seconds, so a relay that hangs fails a test instead of
// stopping the suite.
#include "netcode/relay_protocol.h"

#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace zindle::relay::testing {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

inline constexpr auto kPatience = std::chrono::seconds(5);

// Runs io until done or kPatience has passed; false when it did not finish.
template <class Start> bool runBounded(asio::io_context& io, Start start) {
    bool done = false;
    io.restart();
    start(done);
    io.run_for(kPatience);
    return done;
}

// Whether this machine has an IPv6 loopback at all; tests of ::1 skip, with a note, where not.
inline bool ipv6LoopbackWorks() {
    asio::io_context io;
    tcp::acceptor probe(io);
    beast::error_code error;
    probe.open(tcp::v6(), error);
    if (!error)
        probe.bind({asio::ip::address_v6::loopback(), 0}, error);
    return !error;
}

class TestPeer {
public:
    TestPeer(unsigned short port, std::string target = "/ws", std::string host = "127.0.0.1")
        : ws_(io_) {
        beast::error_code error;
        runBounded(io_, [&](bool& done) {
            beast::get_lowest_layer(ws_).async_connect(
                tcp::endpoint(asio::ip::make_address(host), port), [&](beast::error_code e) {
                    error = e;
                    done = true;
                });
        });
        if (error)
            return;
        ws_.binary(true);
        ws_.read_message_max(4 * kMaxMessageBytes);
        open_ = runBounded(io_,
                           [&](bool& done) {
                               ws_.async_handshake(host, target, [&](beast::error_code e) {
                                   error = e;
                                   done = true;
                               });
                           }) &&
                !error;
    }

    bool isOpen() const { return open_; }

    void sendBytes(const Bytes& bytes) {
        beast::error_code error;
        runBounded(io_, [&](bool& done) {
            ws_.async_write(asio::buffer(bytes), [&](beast::error_code e, std::size_t) {
                error = e;
                done = true;
            });
        });
        if (error)
            open_ = false;
    }
    void send(const Message& message) { sendBytes(encode(message)); }

    // The next message, or nothing when the relay closed the connection or said nothing in time.
    std::optional<Message> receive() {
        if (!pending_.empty()) {
            Message next = std::move(pending_.front());
            pending_.pop_front();
            return next;
        }
        beast::flat_buffer buffer;
        beast::error_code error;
        const bool finished = runBounded(io_, [&](bool& done) {
            ws_.async_read(buffer, [&](beast::error_code e, std::size_t) {
                error = e;
                done = true;
            });
        });
        if (!finished) {
            beast::get_lowest_layer(ws_).cancel();
            io_.restart();
            io_.run_for(kPatience);
            return std::nullopt;
        }
        if (error) {
            open_ = false;
            return std::nullopt;
        }
        const auto data = buffer.cdata();
        DecodeError problem = DecodeError::Empty;
        auto messages = decodeAll(
            std::span(static_cast<const std::uint8_t*>(data.data()), data.size()), problem);
        if (!messages)
            return std::nullopt;
        pending_.assign(messages->begin(), messages->end());
        return receive();
    }

    // Reads until a message of type T arrives.
    template <class T> std::optional<T> receiveA() {
        for (int i = 0; i < 32; ++i) {
            std::optional<Message> message = receive();
            if (!message)
                return std::nullopt;
            if (auto* found = std::get_if<T>(&*message))
                return *found;
        }
        return std::nullopt;
    }

    // Reads until the relay ends the connection; true when it did within the patience.
    bool closedByRelay() {
        for (int i = 0; i < 64; ++i)
            if (!receive())
                return !open_;
        return false;
    }

private:
    asio::io_context io_;
    websocket::stream<beast::tcp_stream> ws_;
    bool open_ = false;
    std::deque<Message> pending_; // the rest of a batch
};

} // namespace zindle::relay::testing
