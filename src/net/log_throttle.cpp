// Per-source log allowances and the summaries of what they held back.
#include "net/log_throttle.h"

namespace zindle::net {
namespace {

// Where sources beyond the tracked bound are counted together.
constexpr std::string_view kOverflowSource = "other sources";

} // namespace

LogThrottle::LogThrottle(Sink sink, Limits limits) : sink_(std::move(sink)), limits_(limits) {}

void LogThrottle::line(std::string_view source, std::string_view text, double nowSeconds) {
    if (!sink_)
        return;
    auto found = sources_.find(source);
    if (found == sources_.end()) {
        if (sources_.size() >= limits_.maxSources)
            source = kOverflowSource;
        found = sources_.try_emplace(std::string(source), Window{nowSeconds, 0, 0}).first;
    }
    Window& window = found->second;
    if (nowSeconds - window.startedAt >= limits_.windowSeconds) {
        summarise(found->first, window);
        window = Window{nowSeconds, 0, 0};
    }
    if (window.written < limits_.linesPerWindow) {
        ++window.written;
        sink_(text);
    } else {
        ++window.suppressed;
    }
}

void LogThrottle::flush(double nowSeconds) {
    for (auto it = sources_.begin(); it != sources_.end();) {
        Window& window = it->second;
        if (nowSeconds - window.startedAt < limits_.windowSeconds) {
            ++it;
            continue;
        }
        summarise(it->first, window);
        it = sources_.erase(it);
    }
}

void LogThrottle::summarise(const std::string& source, const Window& window) {
    if (window.suppressed == 0)
        return;
    sink_(std::to_string(window.suppressed) + " more lines about " + source + " in " +
          std::to_string(static_cast<int>(limits_.windowSeconds)) + " s were not written");
}

} // namespace zindle::net
