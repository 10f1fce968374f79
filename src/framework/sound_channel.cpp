// Starting, stopping and re-panning one channel, and the poll that tells each channel it ended.
#include "framework/sound_channel.h"

#include <array>

namespace zindle {

std::vector<std::shared_ptr<SoundChannel>> SoundChannel::mediaIncompleteList;
int SoundChannel::mediaDynamicSoundCount = 0;

namespace {
std::array<double, 2> groupVolumes{1, 1};

double& volumeOf(SoundGroup group) {
    return groupVolumes[group == SoundGroup::Music ? 1 : 0];
}
} // namespace

void SoundChannel::setGroupVolume(SoundGroup group, double volume) {
    volumeOf(group) = volume;
    for (const auto& channel : mediaIncompleteList)
        if (channel->group == group && channel->mediaHandle != ChannelHandle::None)
            channel->sendTransform();
}

double SoundChannel::groupVolume(SoundGroup group) {
    return volumeOf(group);
}

std::shared_ptr<SoundChannel> SoundChannel::start(SoundHandle sound, double startTime, int loops,
                                                  const SoundTransform* transform,
                                                  SoundGroup group) {
    std::shared_ptr<SoundChannel> channel(new SoundChannel());
    if (transform != nullptr)
        channel->mediaTransform = *transform;
    channel->group = group;
    const double volume = volumeOf(group);
    if (volume == 1) {
        channel->mediaHandle = media_sound_channel_create(
            sound, startTime, loops, channel->mediaTransform ? &*channel->mediaTransform : nullptr);
    } else {
        SoundTransform heard = channel->soundTransform();
        heard.volume *= volume;
        channel->mediaHandle = media_sound_channel_create(sound, startTime, loops, &heard);
    }
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
        sendTransform();
}

void SoundChannel::sendTransform() {
    SoundTransform heard = soundTransform();
    heard.volume *= volumeOf(group);
    media_sound_channel_set_transform(mediaHandle, heard);
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
    groupVolumes = {1, 1};
}

} // namespace zindle
