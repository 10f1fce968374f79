#pragma once
// One playing sound. Channels still playing are kept in a class-level list, which the stage
// polls so that each channel learns when it has ended.
#include "framework/event_dispatcher.h"
#include "framework/media.h"
#include "framework/sound_transform.h"

#include <memory>
#include <optional>
#include <vector>

namespace zindle {

// The two things a player sets a volume for.
enum class SoundGroup { Effects, Music };

class SoundChannel : public EventDispatcher {
public:
    // Starts sound; a channel that started is appended to mediaIncompleteList.
    static std::shared_ptr<SoundChannel> start(SoundHandle sound, double startTime, int loops,
                                               const SoundTransform* transform,
                                               SoundGroup group = SoundGroup::Effects);
    // The player's volume for a group, 0 to 1, over every channel of it: the media layer hears
    // each channel's own volume times this, at once for the channels already playing. The game
    // never sees it (soundTransform stays what the game set).
    static void setGroupVolume(SoundGroup group, double volume);
    static double groupVolume(SoundGroup group);

    void stop();
    // A copy of the channel's transform (volume 1, pan 0 when it was started without one).
    SoundTransform soundTransform() const;
    void setSoundTransform(const SoundTransform& transform);
    // Null once the poll has found the channel complete.
    ChannelHandle handle() const { return mediaHandle; }

    // Drops every channel that has completed from mediaIncompleteList. Run on every stage poll.
    static void mediaPollComplete();
    // Forgets every channel (tests).
    static void reset();

    static std::vector<std::shared_ptr<SoundChannel>> mediaIncompleteList;
    static int mediaDynamicSoundCount; // generated-sound channels; none in this game

    ChannelHandle mediaHandle = ChannelHandle::None;
    std::optional<SoundTransform> mediaTransform;
    SoundGroup group = SoundGroup::Effects;

private:
    SoundChannel() = default;
    // Hands the media layer the channel's transform times its group's volume.
    void sendTransform();
    // True (and "soundComplete" dispatched) the first time the media layer reports the end.
    bool mediaCheckComplete();
};

} // namespace zindle
