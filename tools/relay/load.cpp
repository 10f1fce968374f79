// zindle-relay-load: emulated peers for a relay. Each room has one host and its guests; every
// peer claims a seat and sends a small input message at a steady rate, stamped with the time it
// left, so each receipt gives the time the trip through the relay took. All peers share one
// thread or a few. With --check it also demands that every message reached every other peer of its
// room.
#include "netcode/relay_protocol.h"
#include "netcode/relay_room_code.h"

// Asio 1.74 uses std::exchange without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <barrier>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;
using namespace zindle::relay;

constexpr const char* kUsage =
    "usage: zindle-relay-load --port N [--host ADDR] [--rooms N] [--peers N] [--rate HZ]\n"
    "                         [--seconds S] [--payload BYTES] [--threads N] [--check]\n";
// Latencies are counted in buckets of kBucketMicros up to kMaxMicros; beyond goes in the last.
constexpr int kBucketMicros = 10;
constexpr int kMaxMicros = 2'000'000;
constexpr auto kDrainTime = std::chrono::seconds(2);
constexpr auto kKeepAlive = std::chrono::seconds(1);

struct Settings {
    std::string host = "127.0.0.1";
    unsigned short port = 0;
    int rooms = 1;
    int peers = 4;
    double rate = 60;
    double seconds = 10;
    std::size_t payload = 32;
    bool check = false;
    int threads = 1;
};

struct Totals {
    std::vector<std::uint64_t> histogram =
        std::vector<std::uint64_t>(kMaxMicros / kBucketMicros + 1);
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    std::uint64_t failures = 0;
    int ready = 0;
    void record(SteadyClock::duration trip) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(trip).count();
        histogram[static_cast<std::size_t>(std::clamp<long long>(micros, 0, kMaxMicros) /
                                           kBucketMicros)]++;
        ++received;
    }
    double percentileMillis(double share) const {
        const std::uint64_t wanted =
            static_cast<std::uint64_t>(share * static_cast<double>(received));
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < histogram.size(); ++i) {
            seen += histogram[i];
            if (seen > wanted)
                return static_cast<double>(i * kBucketMicros + kBucketMicros / 2) / 1000.0;
        }
        return 0;
    }
    // The last bucket holds every trip beyond it: past it the figure is only a lower bound.
    std::string describePercentile(double share) const {
        const double millis = percentileMillis(share);
        if (millis * 1000 >= kMaxMicros)
            return "over " + std::to_string(kMaxMicros / 1000) + " ms";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f ms", millis);
        return text;
    }
};

struct Room;

// One emulated peer: connects, opens or joins, claims its seat, then sends on a timer.
class Peer : public std::enable_shared_from_this<Peer> {
public:
    Peer(asio::io_context& io, const Settings& settings, Totals& totals, std::shared_ptr<Room> room,
         int index)
        : io_(io), settings_(settings), totals_(totals), room_(std::move(room)), index_(index),
          ws_(io), timer_(io), pingTimer_(io) {}

    void start(const std::string& target);
    void startSending(SteadyClock::time_point until);
    void stop() {
        stopped_ = true;
        timer_.cancel();
        pingTimer_.cancel();
    }

private:
    void read();
    void onMessage(const Message& message);
    void sendNext();
    void keepAlive();
    void write(Bytes bytes) {
        queue_.push_back(std::move(bytes));
        if (queue_.size() == 1)
            writeFront();
    }
    void writeFront() {
        ws_.async_write(asio::buffer(queue_.front()),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            self->queue_.erase(self->queue_.begin());
                            if (error) {
                                self->fail("write: " + error.message());
                                return;
                            }
                            if (!self->queue_.empty())
                                self->writeFront();
                        });
    }
    void fail(const std::string& what) {
        if (!failed_ && !stopped_) {
            failed_ = true;
            ++totals_.failures;
            if (totals_.failures <= 5)
                std::cerr << "zindle-relay-load: peer " << index_ << ": " << what << "\n";
        }
    }

    asio::io_context& io_;
    const Settings& settings_;
    Totals& totals_;
    std::shared_ptr<Room> room_;
    int index_;
    websocket::stream<beast::tcp_stream> ws_;
    asio::steady_timer timer_;
    asio::steady_timer pingTimer_;
    beast::flat_buffer buffer_;
    std::vector<Bytes> queue_;
    SteadyClock::time_point until_;
    SteadyClock::time_point next_;
    std::uint32_t sequence_ = 0;
    bool failed_ = false;
    bool stopped_ = false;
    bool sending_ = false;
};

struct Room {
    std::vector<std::shared_ptr<Peer>> peers;
    std::string target;
};

void Peer::start(const std::string& target) {
    beast::get_lowest_layer(ws_).async_connect(
        tcp::endpoint(asio::ip::make_address(settings_.host), settings_.port),
        [self = shared_from_this(), target](beast::error_code error) {
            if (error)
                return self->fail("connect: " + error.message());
            beast::error_code ignored;
            beast::get_lowest_layer(self->ws_).socket().set_option(tcp::no_delay(true), ignored);
            self->ws_.binary(true);
            self->ws_.async_handshake(
                self->settings_.host, target, [self](beast::error_code error) {
                    if (error)
                        return self->fail("handshake: " + error.message());
                    self->read();
                    if (self->index_ == 0)
                        self->write(encode(OpenRoom{}));
                    else
                        self->write(
                            encode(JoinRoom{*parseRoomCode(self->room_->target.substr(4))}));
                });
        });
}

void Peer::read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error)
            return self->fail("read: " + error.message());
        const auto data = self->buffer_.cdata();
        DecodeError problem = DecodeError::Empty;
        const std::optional<std::vector<Message>> messages = decodeAll(
            std::span(static_cast<const std::uint8_t*>(data.data()), data.size()), problem);
        self->buffer_.consume(self->buffer_.size());
        if (!messages)
            return self->fail(std::string("relay sent ") + describe(problem));
        for (const Message& message : *messages)
            self->onMessage(message);
        self->read();
    });
}

void Peer::onMessage(const Message& message) {
    if (const auto* welcome = std::get_if<Welcome>(&message)) {
        if (index_ == 0) {
            // Guests join through the code's own path, which a proxy routes by.
            room_->target = "/ws/" + toString(welcome->code);
            for (std::size_t i = 1; i < room_->peers.size(); ++i)
                room_->peers[i]->start(room_->target);
        }
        write(encode(ClaimSeat{static_cast<std::uint8_t>(index_ % kSeatCount)}));
        ++totals_.ready;
        keepAlive();
    } else if (const auto* forward = std::get_if<Forward>(&message)) {
        if (forward->payload.size() >= 8) {
            std::int64_t sentAt = 0;
            std::memcpy(&sentAt, forward->payload.data(), sizeof sentAt);
            totals_.record(SteadyClock::now() -
                           SteadyClock::time_point(SteadyClock::duration(sentAt)));
        }
    } else if (const auto* error = std::get_if<Error>(&message)) {
        fail("relay error " + std::to_string(static_cast<int>(error->code)));
    } else if (std::holds_alternative<RoomClosed>(message)) {
        fail("room closed");
    }
}

// Until the sending starts, a ping a second keeps the relay from dropping the peer as silent
// while the other rooms fill.
void Peer::keepAlive() {
    pingTimer_.expires_after(kKeepAlive);
    pingTimer_.async_wait([self = shared_from_this()](beast::error_code error) {
        if (error || self->sending_ || self->stopped_ || self->failed_)
            return;
        self->write(encode(Ping{0}));
        self->keepAlive();
    });
}

void Peer::startSending(SteadyClock::time_point until) {
    sending_ = true;
    pingTimer_.cancel();
    until_ = until;
    // Spread the peers over one period so the relay does not see them all in the same instant.
    next_ = SteadyClock::now() + std::chrono::microseconds(static_cast<long>(
                                     1e6 / settings_.rate * (index_ * 7919 % 1000) / 1000.0));
    sendNext();
}

void Peer::sendNext() {
    timer_.expires_at(next_);
    timer_.async_wait([self = shared_from_this()](beast::error_code error) {
        if (error || self->stopped_ || self->failed_)
            return;
        const auto now = SteadyClock::now();
        if (now >= self->until_)
            return;
        Data data;
        data.seats = static_cast<std::uint8_t>(1u << (self->index_ % kSeatCount));
        data.payload.resize(std::max<std::size_t>(self->settings_.payload, 12));
        const std::int64_t stamp = now.time_since_epoch().count();
        std::memcpy(data.payload.data(), &stamp, sizeof stamp);
        std::memcpy(data.payload.data() + 8, &self->sequence_, sizeof self->sequence_);
        ++self->sequence_;
        self->write(encode(data));
        ++self->totals_.sent;
        self->next_ += std::chrono::microseconds(static_cast<long>(1e6 / self->settings_.rate));
        self->sendNext();
    });
}

bool parseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--check") {
            settings.check = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        try {
            if (name == "--host") {
                // An IPv6 address may come bracketed, as in a link; anything not an address is
                // refused here rather than when the peers connect.
                const bool bracketed =
                    value.size() > 2 && value.front() == '[' && value.back() == ']';
                settings.host = bracketed ? value.substr(1, value.size() - 2) : value;
                boost::system::error_code error;
                asio::ip::make_address(settings.host, error);
                if (error)
                    return false;
            } else if (name == "--port")
                settings.port = static_cast<unsigned short>(std::stoi(value));
            else if (name == "--rooms")
                settings.rooms = std::stoi(value);
            else if (name == "--peers")
                settings.peers = std::stoi(value);
            else if (name == "--rate")
                settings.rate = std::stod(value);
            else if (name == "--seconds")
                settings.seconds = std::stod(value);
            else if (name == "--threads")
                settings.threads = std::stoi(value);
            else if (name == "--payload")
                settings.payload = static_cast<std::size_t>(std::stoul(value));
            else
                return false;
        } catch (const std::exception&) {
            return false;
        }
    }
    return settings.port != 0 && settings.rooms > 0 && settings.peers >= 2 &&
           settings.peers <= kSeatCount && settings.rate > 0 && settings.seconds > 0 &&
           settings.payload <= 1024 && settings.threads >= 1 && settings.threads <= 64;
}

} // namespace

namespace {

// One thread's share of the rooms, on an I/O context of its own.
struct Worker {
    asio::io_context io{1};
    Totals totals;
    std::vector<std::shared_ptr<Room>> rooms;
};

void runWorker(Worker& worker, const Settings& settings, std::barrier<std::function<void()>>& ready,
               const SteadyClock::time_point& until, std::atomic<bool>& setupFailed) {
    // Hosts connect in small waves, so the relay's accept queue is not the thing measured.
    asio::steady_timer wave(worker.io);
    std::size_t opened = 0;
    std::function<void()> openWave = [&] {
        for (int i = 0; i < 50 && opened < worker.rooms.size(); ++i, ++opened)
            worker.rooms[opened]->peers[0]->start("/ws");
        if (opened < worker.rooms.size()) {
            wave.expires_after(std::chrono::milliseconds(20));
            wave.async_wait([&](beast::error_code) { openWave(); });
        }
    };
    openWave();
    const int everyone = static_cast<int>(worker.rooms.size()) * settings.peers;
    const auto setupDeadline = SteadyClock::now() + std::chrono::seconds(60);
    while (worker.totals.ready < everyone && worker.totals.failures == 0 &&
           SteadyClock::now() < setupDeadline)
        worker.io.run_for(std::chrono::milliseconds(50));
    if (worker.totals.ready < everyone) {
        std::cerr << "zindle-relay-load: only " << worker.totals.ready << " of " << everyone
                  << " peers of a thread got into their rooms\n";
        setupFailed = true;
    }
    ready.arrive_and_wait();
    if (setupFailed)
        return;
    for (auto& room : worker.rooms)
        for (auto& peer : room->peers)
            peer->startSending(until);
    worker.io.run_until(until + kDrainTime);
    for (auto& room : worker.rooms)
        for (auto& peer : room->peers)
            peer->stop();
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, settings)) {
        std::cerr << kUsage;
        return 2;
    }
    std::vector<std::unique_ptr<Worker>> workers;
    for (int t = 0; t < settings.threads; ++t)
        workers.push_back(std::make_unique<Worker>());
    for (int r = 0; r < settings.rooms; ++r) {
        Worker& worker = *workers[static_cast<std::size_t>(r % settings.threads)];
        auto room = std::make_shared<Room>();
        for (int p = 0; p < settings.peers; ++p)
            room->peers.push_back(
                std::make_shared<Peer>(worker.io, settings, worker.totals, room, p));
        worker.rooms.push_back(room);
    }
    SteadyClock::time_point until;
    std::atomic<bool> setupFailed = false;
    // Every thread starts sending at once, when the last one has all its peers in their rooms.
    std::barrier<std::function<void()>> ready(settings.threads, [&] {
        until = SteadyClock::now() +
                std::chrono::microseconds(static_cast<long>(settings.seconds * 1e6));
    });
    std::vector<std::thread> threads;
    for (auto& worker : workers)
        threads.emplace_back(
            [&, w = worker.get()] { runWorker(*w, settings, ready, until, setupFailed); });
    for (auto& thread : threads)
        thread.join();
    if (setupFailed)
        return 1;

    Totals totals;
    for (const auto& worker : workers) {
        for (std::size_t i = 0; i < totals.histogram.size(); ++i)
            totals.histogram[i] += worker->totals.histogram[i];
        totals.sent += worker->totals.sent;
        totals.received += worker->totals.received;
        totals.failures += worker->totals.failures;
    }
    const int everyone = settings.rooms * settings.peers;
    const std::uint64_t expected = totals.sent * static_cast<std::uint64_t>(settings.peers - 1);
    std::cout << "rooms " << settings.rooms << ", peers " << everyone << ", rate " << settings.rate
              << " Hz, " << settings.seconds << " s, " << settings.threads << " threads\n"
              << "sent " << totals.sent << " ("
              << static_cast<double>(totals.sent) / everyone / settings.seconds
              << " a second per peer), received " << totals.received << " of " << expected
              << ", failures " << totals.failures << "\n"
              << "trip through the relay: median " << totals.describePercentile(0.5) << ", 99th "
              << totals.describePercentile(0.99) << ", 99.9th " << totals.describePercentile(0.999)
              << "\n";
    if (settings.check && (totals.received != expected || totals.failures != 0)) {
        std::cerr << "zindle-relay-load: messages lost or peers failed\n";
        return 1;
    }
    return 0;
}
