#pragma once
// One looping music track at a time; a request for another track switches at once.
#include <memory>

namespace zindle {

class Sound;
class SoundChannel;

class Music {
public:
    Music() = delete;

    static void init();
    static void playImmediate(const std::shared_ptr<Sound>& track);
    static void play(const std::shared_ptr<Sound>& track);
    static void ensurePlaying(const std::shared_ptr<Sound>& track);
    static void stop();
    // Called every step by Main: counts how far the game has got into the current track (a
    // track switches when requested).
    static void update(double dt);
    // Starts the wanted track again where the game has got to in it: after a replay's jump,
    // which went by silently.
    static void resume();

    static std::shared_ptr<Sound> sound;
    static std::shared_ptr<Sound> desiredSound;
    static std::shared_ptr<SoundChannel> channel;
    // Game time since the wanted track was asked for, in seconds.
    static double trackSeconds;
};

} // namespace zindle
