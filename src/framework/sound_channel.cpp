// Starting, stopping and re-panning one channel, and the poll that tells each channel it ended.
#include "framework/sound_channel.h"

namespace zindle {

std::vector<std::shared_ptr<SoundChannel>> SoundChannel::mediaIncompleteList;
int SoundChannel::mediaDynamicSoundCount = 0;

std::shared_ptr<SoundChannel> SoundChannel::start(SoundHandle sound, double startTime, int loops,
                                                  const SoundTransform* transform) {
    std::shared_ptr<SoundChannel> channel(new SoundChannel());
    if (transform != nullptr)
        channel->mediaTransform = *transform;
    channel->mediaHandle = media_sound_channel_create(
        sound, startTime, loops, channel->mediaTransform ? &*channel->mediaTransform : nullptr);
    if (channel->mediaHandle != ChannelHandle::None)
        mediaIncompleteList.push_back(channel);
    return channel;
}

void SoundChannel::stop() {
    // A channel that has already ended has nothing left to silence.
    if (mediaHandle != ChannelHandle::None)
        media_sound_channel_stop(mediaHandle);
}

SoundTransform SoundChannel::soundTransform() const {
    return mediaTransform.value_or(SoundTransform());
}

void SoundChannel::setSoundTransform(const SoundTransform& transform) {
    mediaTransform = transform;
    if (mediaHandle != ChannelHandle::None)
        media_sound_channel_set_transform(mediaHandle, *mediaTransform);
}

void SoundChannel::mediaPollComplete() {
    if (mediaIncompleteList.empty())
        return;
    std::vector<std::shared_ptr<SoundChannel>> stillPlaying;
    // By index, reading the size each time: a "soundComplete" listener may start a new sound,
    // which lands in this list and must survive the replacement below.
    for (std::size_t i = 0; i < mediaIncompleteList.size(); ++i) {
        auto channel = mediaIncompleteList[i];
        if (!channel->mediaCheckComplete())
            stillPlaying.push_back(std::move(channel));
    }
    mediaIncompleteList = std::move(stillPlaying);
}

bool SoundChannel::mediaCheckComplete() {
    if (mediaHandle == ChannelHandle::None || !media_sound_channel_is_complete(mediaHandle))
        return false;
    mediaHandle = ChannelHandle::None;
    Event complete(Event::SOUND_COMPLETE);
    dispatchEvent(complete);
    return true;
}

void SoundChannel::reset() {
    mediaIncompleteList.clear();
    mediaDynamicSoundCount = 0;
}

} // namespace zindle
