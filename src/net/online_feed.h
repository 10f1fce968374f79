#pragma once
// Main's frames during online play: the clock says how many steps are due, the online match runs
// them, and the screen gets the room's link and who is in it on the title, a connection mark on
// each remote player's panel and, on F3, the network's figures. Once this peer has left the room
// the game plays on locally here, with the reason shown on the title. Free of any platform: the
// desktop and the web page each hand it their own relay connection.
#include "loop/frame_hooks.h"
#include "net/online_match.h"
#include "replay/replay_folder.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace zindle {
class MatchTap;
}

namespace zindle::net {

// Drawing in an online match has a stream of its own, so that how often a peer draws never
// changes the match; any fixed seed does, as long as every peer uses the same one.
inline constexpr std::uint64_t kOnlineDrawingSeed = 0x5EEDD2A7;

class OnlineReplayRecorder;
class RunningGame;

class OnlineFeed : public FrameFeed {
public:
    // A whole second's network figures, as the F3 overlay shows them.
    struct Figures {
        double roundTripMs = -1;
        int inputDelay = 0;
        int deepestRollback = 0;   // ticks, the deepest of the second
        double resimulationMs = 0; // spent simulating again
    };

    struct Setup {
        std::unique_ptr<RelayConnection> relay;
        OnlineMatch::Options options;
        // The relay's web address without the room (http://HOST:PORT/); the room's link is this
        // with the code.
        std::string relayHost;
        unsigned short relayPort = 80;
        std::uint64_t drawingSeed = 0;
        // Where the match's replay goes, named by date and time; empty: not recorded.
        std::filesystem::path replayFolder;
        // How many replays that folder keeps (a page's in-memory files keep only a few).
        std::size_t replaysKept = kReplaysKept;
        std::uint64_t seed = 0; // the game's random seed, for the replay's header
        std::function<void(const std::string& link)> roomOpened; // once, when the room is known
        std::function<void(const std::string& line)> log;
        // This peer has left the room (by ESC or not): the host stops its relay here.
        std::function<void()> left;
        // Each whole second in a match, with that second's figures (for measurements).
        std::function<void(const Figures&)> everySecond;
    };

    // Takes Main's tap (the replay recorder) aside while online: re-simulated steps are no
    // record of the match, which is recorded from its confirmed ticks instead. The tap ends when
    // this peer leaves: it has not seen the online frames, so what it wrote next would not
    // re-simulate.
    explicit OnlineFeed(Setup setup);
    ~OnlineFeed() override;

    void enterFrame(Main& main) override;
    void input(const InputRecord& record) override;

    OnlineMatch& match() { return *match_; }
    const std::string& link() const { return link_; }
    // The match's replay: its file once the first bytes are in it (empty before), and whether
    // the recording still goes on. Once it has ended the file is whole and closed.
    const std::filesystem::path& replayPath() const { return replayPath_; }
    bool recording() const { return recorder_ != nullptr; }
    // The last whole second's figures.
    const Figures& lastSecond() const { return shown_; }

private:
    void draw(Main& main);
    void measure(double nowS);
    void afterLeaving();
    void startRecording();
    void finishRecording();
    bool writeReplay(std::span<const std::uint8_t> bytes);

    Setup setup_;
    std::unique_ptr<RunningGame> game_;
    std::unique_ptr<OnlineMatch> match_;
    std::unique_ptr<MatchTap> stashedTap_;
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<OnlineReplayRecorder> recorder_;
    std::unique_ptr<std::FILE, FileCloser> replayFile_; // opened with the first bytes
    std::filesystem::path replayPath_;
    std::vector<InputRecord> localInputs_; // after leaving: live play's inputs for the frame
    std::string link_;
    bool leftHandled_ = false;
    bool overlay_ = false;
    Figures shown_;
    Figures gathering_;
    double secondStartS_ = -1;
    std::int64_t resimulatedSteps_ = 0;
};

} // namespace zindle::net
