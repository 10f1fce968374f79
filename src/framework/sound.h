#pragma once
// A loaded sound that can be played any number of times at once.
#include "framework/media.h"
#include "framework/sound_channel.h"
#include "framework/sound_transform.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace zindle {

class SoundChannel;

// A sound file that cannot be loaded; the message is "Could not load:" followed by its url.
class SoundLoadError : public std::runtime_error {
public:
    explicit SoundLoadError(const std::string& url) : std::runtime_error("Could not load:" + url) {}
};

class Sound {
public:
    // Loads url; throws SoundLoadError when it cannot.
    // Music may be streamed instead of decoded whole.
    Sound(const std::string& url, bool playAsMusic);
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // loops is the number of repeats after the first play; startTime is in milliseconds (music
    // only: effects always start at their beginning). Null when nothing can play.
    std::shared_ptr<SoundChannel> play(double startTime = 0, int loops = 0,
                                       const SoundTransform* transform = nullptr);

    const std::string& url() const { return url_; }
    // While set, play starts nothing and returns null: a replay running ahead takes every
    // decision about sounds (and their random numbers) without being heard.
    static bool silenced;
    // Sees every request to play, heard or not, with the channel it started (null for none):
    // online play tells the sounds a re-simulation asks for from those already playing.
    static std::function<void(const Sound&, const std::shared_ptr<SoundChannel>&)> observer;
    SoundHandle handle() const { return mediaHandle; }

    SoundHandle mediaHandle = SoundHandle::None;
    bool mediaLoading = false;
    // Music or an effect: which of the player's volumes it plays at.
    SoundGroup group = SoundGroup::Effects;

private:
    std::string url_;
};

} // namespace zindle
