#pragma once
// The relay on the network: one port for plain HTTP (the web build, when a folder is given) and
// for WebSocket rooms under /ws. One I/O thread owns every room, so rooms need no locks. Used by
// the zindle-relay program and, inside the game, by a host's own relay. /metrics and /healthz
// answer the operator and the load balancer.
#include "relay/operator_access.h"
#include "relay/room_directory.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zindle::relay {

struct RelayOptions {
    std::string address = "0.0.0.0";
    unsigned short port = 8080; // 0: any free port
    std::optional<std::filesystem::path> webRoot;
    RoomRules rules;
    std::size_t maxConnections = 8192;
    std::size_t maxConnectionsPerAddress = 64;
    // An IPv6 /64 is usually one household or one rented machine: its many addresses are one
    // client as far as the cap is concerned.
    std::size_t maxConnectionsPerNetwork = 128;
    // Time to send a request, and time a download may go without progress.
    std::chrono::seconds requestTimeout{10};
    // A peer that does not read what it is sent is closed rather than buffered without end:
    // when its queue, each message counted at what it costs in memory, passes this, or when a
    // write to it has made no progress for writeStallLimit.
    std::size_t maxQueuedBytesPerConnection = 2 * 1024 * 1024;
    std::chrono::seconds writeStallLimit{5};
    std::chrono::milliseconds tickInterval{250};
    // Who may read /metrics and /healthz.
    OperatorAccess operatorAccess = OperatorAccess::loopbackOnly();
    // The rooms' clock; tests give one they move themselves.
    std::function<TimePoint()> clock = [] { return Clock::now(); };
    LogLine log;
};

// The key connections are capped by besides their address: an IPv6 address's /64 (an IPv4
// address, or one mapped into IPv6, is its own network; text that is no address is itself).
std::string connectionNetwork(const std::string& address);

class RelayServer {
public:
    explicit RelayServer(RelayOptions options);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // Binds and listens; returns the port. Throws std::runtime_error naming the address. On
    // 0.0.0.0 or 127.0.0.1 it also listens on the IPv6 twin (:: or ::1) at the same port, so a
    // link with either kind of address works; without IPv6 it logs one line and goes on.
    unsigned short listen();
    // Whether it listens on an IPv6 address too (after listen()).
    bool listensOnIpv6() const;
    // After a change of user: one log line when the web folder's published files cannot be
    // read by this process, which would otherwise answer every request with 404 unexplained.
    void checkWebFolderReadable();
    // Serves until stop(), on the calling thread.
    void run();
    // Serves on a thread of its own, until stop() or destruction.
    void runInBackground();
    // From any thread: rooms are told the relay is stopping, connections close, run() returns
    // within a couple of seconds.
    void stop();
    // From any thread but the relay's: runs one tick of the rooms now and waits for it, so a
    // test that moved the clock sees expiry without waiting for the timer.
    void tickNow();

    // The sockets' side, public only so the sessions in the source file can name it.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace zindle::relay
