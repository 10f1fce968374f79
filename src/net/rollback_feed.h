#pragma once
// Main's feed in an online match: this peer's live inputs become its seats' inputs, the session
// runs the steps the clock owes (or fewer, when it paces this peer), and the board is drawn once
// per frame with drawing's own random stream.
#include "app/frame_hooks.h"
#include "net/rollback_game_world.h"
#include "net/rollback_input.h"
#include "net/rollback_session.h"

#include <functional>
#include <memory>

namespace zindle::net {

class RollbackFeed : public FrameFeed {
public:
    // The game must be running (Main and its Game); transport must outlive the feed. clock
    // gives seconds (the media layer's by default).
    RollbackFeed(Game& game, RollbackSession::Config config, SeatMap seats,
                 PeerTransport& transport, std::uint64_t drawingSeed,
                 std::function<double()> clock = {});

    void enterFrame(Main& main) override;
    void input(const InputRecord& record) override { local_.record(record); }
    // Bytes from another peer (the network layer calls this between frames).
    void receive(int peer, std::span<const std::uint8_t> bytes);

    RollbackSession& session() { return *session_; }

private:
    double now() const;

    std::unique_ptr<RollbackGameWorld> world_;
    std::unique_ptr<RollbackSession> session_;
    SeatMap seats_;
    LocalInputTracker local_;
    std::function<double()> clock_;
    double startSeconds_ = -1;
    std::int64_t stepsAccounted_ = 0; // steps the clock has owed so far, run or withheld
};

} // namespace zindle::net
