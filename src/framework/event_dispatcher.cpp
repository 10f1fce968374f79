// Listener lists by event type, and dispatch over a copy so that listeners may change them.
#include "framework/event_dispatcher.h"

#include <algorithm>

namespace zindle {

ListenerId EventDispatcher::addEventListener(const std::string& type, Listener listener,
                                             bool /*useCapture*/, int /*priority*/,
                                             bool /*useWeakReference*/) {
    const ListenerId id = nextId_++;
    listeners_[type].push_back(Entry{id, std::move(listener)});
    return id;
}

void EventDispatcher::removeEventListener(const std::string& type, ListenerId id) {
    auto found = listeners_.find(type);
    if (found == listeners_.end())
        return;
    std::erase_if(found->second, [id](const Entry& e) { return e.id == id; });
    if (found->second.empty())
        listeners_.erase(found);
}

bool EventDispatcher::hasEventListener(const std::string& type) const {
    auto found = listeners_.find(type);
    return found != listeners_.end() && !found->second.empty();
}

bool EventDispatcher::dispatchEvent(Event& event) {
    event.target = this;
    invokeListeners(event);
    event.currentTarget = nullptr;
    return !event.defaultPrevented;
}

void EventDispatcher::invokeListeners(Event& event) {
    auto found = listeners_.find(event.type);
    if (found == listeners_.end() || found->second.empty())
        return;
    // A copy: listeners added or removed by a listener count from the next dispatch, and a
    // listener that removes itself is not destroyed while it runs.
    const std::vector<Entry> snapshot = found->second;
    event.currentTarget = this;
    for (const auto& entry : snapshot)
        entry.listener(event);
}

} // namespace zindle
