#pragma once
// Events and their names, as display objects and sound channels dispatch them.
#include <string>

namespace zindle {

class EventDispatcher;

class Event {
public:
    static constexpr const char* ENTER_FRAME = "enterFrame";
    static constexpr const char* ADDED_TO_STAGE = "addedToStage";
    static constexpr const char* RENDER = "render";
    static constexpr const char* SOUND_COMPLETE = "soundComplete";
    static constexpr const char* ACTIVATE = "activate";
    static constexpr const char* DEACTIVATE = "deactivate";

    explicit Event(std::string type, bool bubbles = false, bool cancelable = false)
        : type(std::move(type)), bubbles(bubbles), cancelable(cancelable) {}
    virtual ~Event() = default;

    // Only a cancelable event can be cancelled.
    void preventDefault() {
        if (cancelable)
            defaultPrevented = true;
    }

    std::string type;
    bool bubbles;
    bool cancelable;
    bool defaultPrevented = false;
    // Set while the event is dispatched; they point at live objects only during dispatch.
    EventDispatcher* target = nullptr;
    EventDispatcher* currentTarget = nullptr;
};

} // namespace zindle
