// One looping track at a time. The game repeats its request every step, so a request only
// acts when it names a different track from the last one.
#include "sound/music.h"

#include "framework/sound.h"
#include "framework/sound_channel.h"

namespace zindle {

namespace {
constexpr int kMusicLoops = 1000000; // repeats after the first play: endless in practice
} // namespace

std::shared_ptr<Sound> Music::sound;
std::shared_ptr<Sound> Music::desiredSound;
std::shared_ptr<SoundChannel> Music::channel;
double Music::trackSeconds = 0;

void Music::init() {
    sound = nullptr;
    desiredSound = nullptr;
    channel = nullptr;
    trackSeconds = 0;
}

void Music::playImmediate(const std::shared_ptr<Sound>& track) {
    if (channel)
        channel->stop();
    trackSeconds = 0;
    if (track) {
        sound = track;
        desiredSound = track;
        channel = track->play(0, kMusicLoops, nullptr);
    } else {
        // Silence, but the last requested track stays the one that requests compare with.
        channel = nullptr;
    }
}

void Music::play(const std::shared_ptr<Sound>& track) {
    playImmediate(track);
}

void Music::ensurePlaying(const std::shared_ptr<Sound>& track) {
    // Identity, not equality of content: the game holds one object per track.
    if (track == desiredSound)
        return;
    playImmediate(track);
}

void Music::stop() {
    if (channel)
        channel->stop();
}

void Music::update(double dt) {
    trackSeconds += dt;
}

void Music::resume() {
    if (!desiredSound)
        return;
    if (channel)
        channel->stop();
    sound = desiredSound;
    channel = desiredSound->play(trackSeconds * 1000, kMusicLoops, nullptr);
}

} // namespace zindle
