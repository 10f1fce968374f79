#pragma once
// Log lines from many sources, each source held to a few lines a window: a peer that misbehaves
// a thousand times a second costs a handful of lines and one summary, not a disk. Sources are
// strings (an address, a peer's number); past a bound on how many are tracked, the rest share
// one allowance so the table cannot grow with what an attacker sends from.
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace zindle::net {

class LogThrottle {
public:
    struct Limits {
        std::size_t linesPerWindow = 20;
        double windowSeconds = 10;
        std::size_t maxSources = 4096;
    };
    using Sink = std::function<void(std::string_view)>;

    explicit LogThrottle(Sink sink) : LogThrottle(std::move(sink), Limits{}) {}
    LogThrottle(Sink sink, Limits limits);

    // Writes text unless source has had its share of this window; counts it otherwise.
    void line(std::string_view source, std::string_view text, double nowSeconds);
    // One summary line for each source whose window has ended with lines left out; sources
    // quiet for a whole window are forgotten. Call now and then (a tick, a frame).
    void flush(double nowSeconds);

    std::size_t trackedSources() const { return sources_.size(); }

private:
    struct Window {
        double startedAt = 0;
        std::size_t written = 0;
        std::size_t suppressed = 0;
    };
    void summarise(const std::string& source, const Window& window);

    Sink sink_;
    Limits limits_;
    std::map<std::string, Window, std::less<>> sources_;
};

} // namespace zindle::net
