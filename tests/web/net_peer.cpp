// A headless peer of an online match for the cross-play test: opens a room on a relay on
// loopback, prints its code, takes seat 0 for the computer and plays the real game in real time
// under rollback against whoever takes another seat, printing every confirmed second's checksum.
//   zindle-test-net-peer PORT SECONDS   (SECONDS of play once a second seat is taken)
#include "app/main.h"
#include "match/game.h"
#include "net/relay_room_code.h"
#include "net/rollback_game_world.h"
#include "net/room_channel.h"
#include "simulation.h"

// Asio 1.74 uses std::exchange without including <utility>.
#include <utility>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

using namespace zindle;
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr double kWaitForGuestSeconds = 90;

double millisecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// Reads relay messages into the channel as they come, while the caller polls the context.
class Reader {
public:
    Reader(websocket::stream<tcp::socket>& ws, net::RoomChannel& channel)
        : ws_(ws), channel_(channel) {}
    void start() {
        ws_.async_read(buffer_, [this](beast::error_code error, std::size_t) {
            if (error) {
                channel_.disconnected("the relay is gone");
                return;
            }
            const auto data = buffer_.cdata();
            channel_.received(
                std::span(static_cast<const std::uint8_t*>(data.data()), data.size()));
            buffer_.consume(buffer_.size());
            start();
        });
    }

private:
    websocket::stream<tcp::socket>& ws_;
    net::RoomChannel& channel_;
    beast::flat_buffer buffer_;
};

int play(unsigned short port, double seconds) {
    sim::RunConfig config;
    sim::Simulation simulation(config);

    asio::io_context io;
    websocket::stream<tcp::socket> ws(io);
    ws.next_layer().connect({asio::ip::make_address("127.0.0.1"), port});
    ws.next_layer().set_option(tcp::no_delay(true));
    ws.binary(true);
    ws.read_message_max(relay::kMaxMessageBytes);
    ws.handshake("127.0.0.1", "/ws");

    net::RoomChannel channel;
    Reader reader(ws, channel);
    reader.start();
    channel.openRoom();
    const auto flush = [&] {
        while (auto bytes = channel.takeOutgoing())
            ws.write(asio::buffer(*bytes));
    };

    const auto started = SteadyClock::now();
    bool seatAsked = false;
    std::optional<net::SeatedMatch> match;
    while (!match) {
        flush();
        io.poll();
        if (channel.phase() == net::RoomChannel::Phase::Ended) {
            std::cerr << "net peer: " << channel.problem() << '\n';
            return 1;
        }
        if (channel.seatsKnown() && !seatAsked) {
            std::cout << "room " << relay::toString(*channel.room()) << std::endl;
            channel.claimSeat(0);
            seatAsked = true;
        }
        match = net::seatedMatch(channel);
        channel.tick(millisecondsSince(started));
        if (millisecondsSince(started) > kWaitForGuestSeconds * 1000) {
            std::cerr << "net peer: nobody took a seat\n";
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    Main::restartGame(net::matchSeed(*channel.room()));
    auto* game = dynamic_cast<Game*>(Main::board.get());
    net::RollbackGameWorld world(*game, 0x5eed0000u + static_cast<unsigned>(match->config.self));
    net::RollbackSession session(match->config, world, channel);
    session.onConfirmedState([](std::uint64_t tick, std::uint64_t checksum) {
        if (tick % net::kChecksumEveryTicks == 0)
            std::cout << "confirmed " << tick << ' ' << checksum << std::endl;
    });
    session.onLog([](const std::string& line) { std::cerr << "net peer: " << line << '\n'; });
    const auto matchStart = SteadyClock::now();
    channel.onPeerBytes([&](int from, std::span<const std::uint8_t> bytes) {
        session.receive(from, bytes, millisecondsSince(matchStart));
    });

    net::SeatInput computer;
    computer.events = net::SeatInput::kToggleComputer;
    session.setLocalInput(match->ownSeat, computer);
    double stepsDone = 0;
    while (millisecondsSince(matchStart) < seconds * 1000) {
        io.poll();
        if (channel.phase() == net::RoomChannel::Phase::Ended) {
            std::cerr << "net peer: " << channel.problem() << '\n';
            return 1;
        }
        const double now = millisecondsSince(matchStart);
        const double owed = now / (1000.0 * Main::UPDATE_STEP) - stepsDone;
        const int due = std::clamp(static_cast<int>(owed), 0, Main::MAX_STEPS);
        stepsDone += session.advanceFrame(due, now);
        // Whatever the session could not run is owed again only up to a frame's worth.
        stepsDone = std::max(stepsDone, now / (1000.0 * Main::UPDATE_STEP) - Main::MAX_STEPS);
        session.setLocalInput(match->ownSeat, {});
        channel.tick(now);
        flush();
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    const auto& stats = session.stats();
    std::cout << "done tick " << session.tick() << " confirmed " << session.confirmedTick()
              << " rollbacks " << stats.rollbacks << " desyncs " << stats.desyncs << std::endl;
    channel.leave();
    flush();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zindle-test-net-peer PORT SECONDS\n";
        return 2;
    }
    int status = 1;
    try {
        status = play(static_cast<unsigned short>(std::stoi(argv[1])), std::stod(argv[2]));
    } catch (const std::exception& e) {
        std::cerr << "net peer: " << e.what() << '\n';
    }
    std::cout.flush();
    // The simulation's own board was replaced by the online match's; nothing is left to tidy
    // that the process's end does not.
    std::_Exit(status);
}
