// The game under rollback: Main delivers and steps, snapshots save and restore, and the sound
// bookkeeping keeps what a re-simulation hears again and fades what it does not.
#include "net/rollback_game_world.h"

#include "framework/random.h"
#include "framework/sound.h"
#include "framework/sound_channel.h"
#include "loop/main.h"
#include "match/game.h"
#include "match/match_state_codec.h"
#include "match/state_checksum.h"
#include "sound/music.h"

#include <algorithm>
#include <stdexcept>

namespace zindle::net {

namespace {

constexpr int kFadeSteps = 15; // 50 ms of fixed steps

bool isMusic(const Sound& sound) {
    return &sound == Game::gameMusic.get() || &sound == Game::menuMusic.get() ||
           &sound == Music::sound.get();
}

} // namespace

RollbackGameWorld::RollbackGameWorld(Game& game, std::uint64_t drawingSeed)
    : game_(game), drawingSeed_(drawingSeed) {
    if (!Main::instance)
        throw std::logic_error("online play needs the game running");
    enter();
}

RollbackGameWorld::~RollbackGameWorld() {
    Sound::observer = nullptr;
    Sound::silenced = false;
    setDrawingStream(std::nullopt);
}

void RollbackGameWorld::enter() {
    if (!current_.empty())
        current_.restore(game_);
    Sound::observer = [this](const Sound& sound, const std::shared_ptr<SoundChannel>& channel) {
        heard(sound, channel);
    };
    setDrawingStream(drawingSeed_);
}

void RollbackGameWorld::leave() {
    current_.capture(game_);
    Sound::observer = nullptr;
}

void RollbackGameWorld::heard(const Sound& sound, const std::shared_ptr<SoundChannel>& channel) {
    if (isMusic(sound))
        return;
    if (replaying_)
        asked_.push_back({tick_, &sound, {}});
    else if (channel)
        played_.push_back({tick_, &sound, channel});
}

void RollbackGameWorld::applyInputs(std::uint64_t tick, const SeatInputs& before,
                                    const SeatInputs& now, bool replaying) {
    tick_ = tick;
    if (!replaying) {
        // Ticks older than the deepest rollback are never undone: their sounds are settled.
        std::erase_if(played_, [tick](const Played& p) {
            return p.tick + kSnapshotSlots < tick || p.channel.expired();
        });
    }
    for (int seat = 0; seat < kSeats; ++seat)
        for (const InputRecord& record : seatRecords(seat, before[seat], now[seat]))
            Main::instance->deliver(record);
}

void RollbackGameWorld::step(bool replaying) {
    replaying_ = replaying;
    Sound::silenced = replaying;
    Main::instance->runStep();
    Sound::silenced = false;
    if (!replaying)
        fadeStep();
}

void RollbackGameWorld::save(std::size_t slot) {
    slots_[slot].capture(game_);
}

void RollbackGameWorld::load(std::size_t slot, std::uint64_t tick) {
    // Restoring may switch the music back; a rollback should not be heard doing so.
    Sound::silenced = true;
    slots_[slot].restore(game_);
    Sound::silenced = false;
    undoneFrom_ = tick;
    asked_.clear();
}

void RollbackGameWorld::caughtUp() {
    replaying_ = false;
    std::vector<Played> settled;
    for (Played& p : played_) {
        // Heard again at the same tick, the same variant: it plays on as if never undone.
        const auto again = std::find_if(asked_.begin(), asked_.end(), [&p](const Played& a) {
            return a.sound == p.sound && a.tick == p.tick;
        });
        if (p.tick < undoneFrom_ || again != asked_.end()) {
            if (p.tick >= undoneFrom_) {
                asked_.erase(again);
                ++soundsKept_;
            }
            settled.push_back(std::move(p));
        } else if (const auto channel = p.channel.lock()) {
            fading_.push_back({channel, channel->soundTransform().volume, kFadeSteps});
            ++soundsFaded_;
        }
    }
    played_ = std::move(settled);
    asked_.clear();
    // A re-simulation that switched the music did so silently: the track asked for now plays.
    if (Music::desiredSound && !Music::channel)
        Music::playImmediate(Music::desiredSound);
}

void RollbackGameWorld::fadeStep() {
    for (Fading& f : fading_) {
        const auto channel = f.channel.lock();
        if (!channel) {
            f.stepsLeft = 0;
            continue;
        }
        if (--f.stepsLeft <= 0) {
            channel->stop();
            continue;
        }
        SoundTransform transform = channel->soundTransform();
        transform.volume = f.volume * f.stepsLeft / kFadeSteps;
        channel->setSoundTransform(transform);
    }
    std::erase_if(fading_, [](const Fading& f) { return f.stepsLeft <= 0; });
}

std::uint64_t RollbackGameWorld::checksum(std::size_t slot) const {
    return stateChecksum(slots_[slot].state());
}

std::vector<std::uint8_t> RollbackGameWorld::serialise(std::size_t slot) const {
    std::vector<std::uint8_t> bytes;
    writeMatchState(slots_[slot].state(), bytes);
    return bytes;
}

bool RollbackGameWorld::deserialise(std::size_t slot, std::span<const std::uint8_t> bytes) {
    try {
        slots_[slot] = MatchSnapshot(readMatchState(bytes));
        return true;
    } catch (const MatchStateError& e) {
        // The session logs the refusal; the slot keeps its own state.
        refusal_ = e.what();
        return false;
    }
}

} // namespace zindle::net
