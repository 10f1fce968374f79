#pragma once
// Listeners by event type. Listeners run in the order they were added; one removed or added
// while an event is being dispatched takes effect from the next dispatch.
#include "framework/event.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zindle {

using ListenerId = std::uint64_t;

class EventDispatcher {
public:
    using Listener = std::function<void(Event&)>;

    EventDispatcher() = default;
    EventDispatcher(const EventDispatcher&) = delete;
    EventDispatcher& operator=(const EventDispatcher&) = delete;
    virtual ~EventDispatcher() = default;

    // [vestige] useCapture, priority and useWeakReference are accepted and ignored: listeners
    // always run in order of registration, and the game registers one per type and object.
    ListenerId addEventListener(const std::string& type, Listener listener, bool useCapture = false,
                                int priority = 0, bool useWeakReference = false);
    // A listener for one event class: the event is handed over as that class.
    template <class E>
    ListenerId addEventListener(const std::string& type, std::function<void(E&)> listener) {
        return addEventListener(
            type, [listener = std::move(listener)](Event& e) { listener(static_cast<E&>(e)); });
    }
    void removeEventListener(const std::string& type, ListenerId id);
    bool hasEventListener(const std::string& type) const;

    // Runs the listeners of event.type on this object. Returns false if the event was cancelled.
    virtual bool dispatchEvent(Event& event);

protected:
    // Runs this object's own listeners only (no bubbling).
    void invokeListeners(Event& event);

private:
    struct Entry {
        ListenerId id;
        Listener listener;
    };
    std::map<std::string, std::vector<Entry>> listeners_;
    ListenerId nextId_ = 1;
};

} // namespace zindle
