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
    // [vestige] Called every step by Main and does nothing: a track switches when requested.
    static void update(double dt);

    static std::shared_ptr<Sound> sound;
    static std::shared_ptr<Sound> desiredSound;
    static std::shared_ptr<SoundChannel> channel;
};

} // namespace zindle
