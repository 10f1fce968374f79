// Sounds and channels of the headless layer. Nothing is played; files are checked by the rules
// the real backends follow, and every channel is recorded with what the mixer would have been told.
#include "media/headless/headless_media.h"

#include "media/common/asset_file.h"
#include "media/common/sound_format.h"
#include "media/common/sound_start.h"

#include <algorithm>
#include <cmath>

namespace zindle {

namespace {
// NaN reaches no mixer: it becomes the neutral value.
double clampOr(double v, double lo, double hi, double neutral) {
    return std::isnan(v) ? neutral : std::clamp(v, lo, hi);
}
} // namespace

SoundHandle HeadlessMedia::media_sound_from_file(const std::string& path, bool playAsMusic) {
    // As on the desktop, a missing effect is reported here and a missing track by the game.
    const auto bytes = playAsMusic ? readAsset(path, kMaxMusicFileBytes)
                                   : readAsset(path, kMaxEffectFileBytes, Missing::Reported);
    if (!bytes)
        return SoundHandle::None;
    if (const auto problem = playAsMusic ? musicFormatProblem(*bytes, Extent::WholeFile)
                                         : effectFormatProblem(*bytes)) {
        reportAssetProblem(path, *problem);
        return SoundHandle::None;
    }
    const auto handle = nextSound_++;
    sounds_[handle] = LoadedSound{path, playAsMusic};
    return static_cast<SoundHandle>(handle);
}

ChannelHandle HeadlessMedia::media_sound_channel_create(SoundHandle sound, double startTime,
                                                        int loops,
                                                        const SoundTransform* transform) {
    auto found = sounds_.find(handleValue(sound));
    if (found == sounds_.end())
        return ChannelHandle::None;
    const SoundTransform t = transform != nullptr ? *transform : SoundTransform{};
    const auto handle = static_cast<ChannelHandle>(nextChannel_++);
    channels_.push_back(ChannelRecord{handle, found->second.path, found->second.music, loops,
                                      startSeconds(startTime), clampOr(t.volume, 0, 1, 0),
                                      clampOr(t.pan, -1, 1, 0)});
    live_[handleValue(handle)] = LiveChannel{loops, channels_.size() - 1, true};
    return handle;
}

HeadlessMedia::ChannelRecord* HeadlessMedia::recordOf(ChannelHandle channel) {
    auto found = live_.find(handleValue(channel));
    if (found == live_.end() || !found->second.recordValid)
        return nullptr;
    return &channels_[found->second.record];
}

void HeadlessMedia::endChannel(ChannelHandle channel, bool stopped) {
    if (auto* record = recordOf(channel)) {
        record->complete = true;
        record->stopped = record->stopped || stopped;
    }
    live_.erase(handleValue(channel));
}

void HeadlessMedia::media_sound_channel_stop(ChannelHandle channel) {
    endChannel(channel, true);
}

void HeadlessMedia::media_sound_channel_set_transform(ChannelHandle channel,
                                                      const SoundTransform& transform) {
    if (auto* record = recordOf(channel)) {
        record->volume = clampOr(transform.volume, 0, 1, 0);
        record->pan = clampOr(transform.pan, -1, 1, 0);
    }
}

bool HeadlessMedia::media_sound_channel_is_complete(ChannelHandle channel) {
    // A channel the mixer does not know (ended, or never started) is not playing.
    return !live_.contains(handleValue(channel));
}

void HeadlessMedia::completeChannel(ChannelHandle channel) {
    endChannel(channel, false);
}

void HeadlessMedia::completeAllEffects() {
    std::vector<ChannelHandle> ending;
    for (const auto& [handle, live] : live_) {
        if (live.loops == 0)
            ending.push_back(static_cast<ChannelHandle>(handle));
    }
    for (auto handle : ending)
        endChannel(handle, false);
}

void HeadlessMedia::clearChannels() {
    channels_.clear();
    for (auto& [handle, live] : live_)
        live.recordValid = false;
}

} // namespace zindle
