// The display tree's objects: native containers, their children and the "addedToStage" and
// broadcast events that walk the tree.
#include "framework/display_object.h"

#include "framework/graphics.h"
#include "framework/stage.h"

#include <unordered_map>

namespace zindle {

namespace {
// Key records name their target by native number; this is how the number finds the object.
std::unordered_map<int, DisplayObject*>& registry() {
    static std::unordered_map<int, DisplayObject*> objects;
    return objects;
}
} // namespace

DisplayObject::DisplayObject(ObjectHandle handle) : handle_(handle) {
    if (handle_ != ObjectHandle::None)
        registry()[id()] = this;
}

DisplayObject::~DisplayObject() {
    // Another object may have taken this number since (a fresh backend numbers from 1 again).
    auto found = registry().find(id());
    if (found != registry().end() && found->second == this)
        registry().erase(found);
}

Graphics& DisplayObject::graphics() {
    if (!graphics_)
        graphics_ = std::make_unique<Graphics>(media_display_object_get_graphics(handle_));
    return *graphics_;
}

bool DisplayObject::dispatchEvent(Event& event) {
    event.target = this;
    invokeListeners(event);
    if (event.bubbles) {
        for (DisplayObject* up = parent_; up != nullptr; up = up->parent_)
            up->invokeListeners(event);
    }
    event.currentTarget = nullptr;
    return !event.defaultPrevented;
}

DisplayObject* DisplayObject::findById(int id) {
    auto found = registry().find(id);
    return found == registry().end() ? nullptr : found->second;
}

void DisplayObject::setStage(Stage* stage) {
    if (stage_ == stage)
        return;
    stage_ = stage;
    if (stage != nullptr) {
        Event added(Event::ADDED_TO_STAGE);
        dispatchEvent(added);
    }
}

DisplayObjectContainer::~DisplayObjectContainer() = default;

DisplayObject& DisplayObjectContainer::addChild(std::unique_ptr<DisplayObject> child) {
    DisplayObject& added = *child;
    added.parent_ = this;
    media_doc_add_child(handle(), added.handle());
    children_.push_back(std::move(child));
    if (stage() != nullptr)
        added.setStage(stage());
    return added;
}

void DisplayObjectContainer::broadcast(Event& event) {
    event.target = this;
    invokeListeners(event);
    event.currentTarget = nullptr;
    // By index, reading the size each time: a child added by a listener is visited too.
    for (std::size_t i = 0; i < children_.size(); ++i) {
        DisplayObject* child = children_[i].get();
        if (auto* container = dynamic_cast<DisplayObjectContainer*>(child)) {
            container->broadcast(event);
        } else {
            event.target = child;
            child->invokeListeners(event);
            event.currentTarget = nullptr;
        }
    }
}

void DisplayObjectContainer::setStage(Stage* stage) {
    DisplayObject::setStage(stage);
    // Parents hear first; a child that a listener already put on the stage is not told twice.
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i]->stage() != stage)
            children_[i]->setStage(stage);
    }
}

Sprite::Sprite() : DisplayObjectContainer(media_create_display_object_container()) {}

} // namespace zindle
