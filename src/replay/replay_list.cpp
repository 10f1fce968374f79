// Summaries from the recorded inputs: who played is read from the join keys and buttons and
// the computer-player chords, as the game would have taken them (recordings hold the shipped
// keys whatever keys the player chose).
#include "replay/replay_list.h"

#include "base/rules.h"
#include "input/pad_layout.h"
#include "input/player_keys.h"
#include "replay/replay_cursor.h"
#include "replay/replay_folder.h"
#include "replay/replay_reader.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <tuple>

namespace zindle {

namespace {
constexpr int kLowerCaseOffset = 32;     // the recorded lower-case twin of a letter key
constexpr std::size_t kStampLength = 19; // "2026-12-07_17-04-31"

int joiningPlayer(const InputRecord& r) {
    using Kind = InputRecord::Kind;
    if (r.kind == Kind::ButtonDown && pad_layout::joins(r.button))
        return r.code; // the device's number is its player's
    if (r.kind != Kind::KeyDown || (r.modifiers & InputRecord::kCtrl) != 0)
        return -1;
    for (int p = 0; p < rules::kPlayers; ++p) {
        const int start = kDefaultKeys[static_cast<std::size_t>(p)].start;
        if (r.code == start || (start >= 'A' && start <= 'Z' && r.code == start + kLowerCaseOffset))
            return p;
    }
    return -1;
}

int computerPlayer(const InputRecord& r) {
    if (r.kind != InputRecord::Kind::KeyDown || (r.modifiers & InputRecord::kCtrl) == 0)
        return -1;
    const int p = r.code - Keyboard::NUMBER_1;
    return p >= 0 && p < rules::kPlayers ? p : -1;
}
} // namespace

std::vector<std::filesystem::path> newestReplays(const std::filesystem::path& folder,
                                                 std::size_t count) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        std::error_code itemError;
        if (item.is_regular_file(itemError) && isReplayFileName(item.path().filename()))
            found.push_back(item.path());
    }
    // The names are the dates, and a second match in the same second adds "-n": the latest
    // date, then the greatest n, is the newest.
    const auto order = [](const std::filesystem::path& p) {
        const std::string stem = p.stem().string();
        const std::string stamp = stem.substr(0, kStampLength);
        const std::string attempt = stem.size() > kStampLength ? stem.substr(kStampLength + 1) : "";
        return std::make_tuple(stamp, attempt.size(), attempt);
    };
    std::sort(found.begin(), found.end(),
              [&order](const auto& a, const auto& b) { return order(a) > order(b); });
    if (found.size() > count)
        found.resize(count);
    return found;
}

ReplaySummary summarizeReplay(const std::filesystem::path& file) {
    ReplaySummary summary;
    summary.file = file;
    Replay replay;
    try {
        replay = readReplayFile(file);
    } catch (const ReplayError& e) {
        summary.problem = e.what();
        return summary;
    }
    summary.date = replay.header.date;
    const std::uint64_t steps = replay.steps > replay.joinStep ? replay.steps - replay.joinStep : 0;
    summary.seconds = static_cast<double>(steps) / rules::kStepsPerSecond;
    std::array<bool, rules::kPlayers> joined{}, computer{};
    for (const InputRecord& r : replay.inputs) {
        if (const int p = joiningPlayer(r); p >= 0 && p < rules::kPlayers)
            joined[static_cast<std::size_t>(p)] = true;
        if (const int p = computerPlayer(r); p >= 0)
            computer[static_cast<std::size_t>(p)] = true;
    }
    for (int p = 0; p < rules::kPlayers; ++p) {
        const auto i = static_cast<std::size_t>(p);
        if (!joined[i] && !computer[i])
            continue;
        if (!summary.players.empty())
            summary.players += ' ';
        summary.players += (computer[i] ? "CPU" : "") + std::to_string(p + 1);
    }
    return summary;
}

std::string describeReplay(const ReplaySummary& summary) {
    if (!summary.problem.empty())
        return summary.file.filename().string() + ": damaged";
    const auto when = static_cast<std::time_t>(summary.date);
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M", &local);
    std::string clock = matchClock(summary.seconds);
    // Tenths say nothing in a list.
    if (const auto dot = clock.find('.'); dot != std::string::npos)
        clock.resize(dot);
    return std::string(stamp) + "  " + clock + "  " +
           (summary.players.empty() ? std::string("NOBODY") : summary.players);
}

} // namespace zindle
