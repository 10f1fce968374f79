// Loading a sound through the media layer and starting channels on it.
#include "framework/sound.h"

#include "framework/sound_channel.h"

namespace zindle {

Sound::Sound(const std::string& url, bool playAsMusic) {
    // An empty url is a sound with nothing requested: it exists but never plays.
    if (url.empty())
        return;
    group = playAsMusic ? SoundGroup::Music : SoundGroup::Effects;
    mediaHandle = media_sound_from_file(url, playAsMusic);
    if (mediaHandle == SoundHandle::None)
        throw SoundLoadError(url);
    url_ = url;
    mediaLoading = false;
}

bool Sound::silenced = false;
std::function<void(const Sound&, const std::shared_ptr<SoundChannel>&)> Sound::observer;

std::shared_ptr<SoundChannel> Sound::play(double startTime, int loops,
                                          const SoundTransform* transform) {
    std::shared_ptr<SoundChannel> channel;
    if (mediaHandle != SoundHandle::None && !mediaLoading && !silenced)
        channel = SoundChannel::start(mediaHandle, startTime, loops, transform, group);
    if (observer)
        observer(*this, channel);
    return channel;
}

} // namespace zindle
