#pragma once
// Display objects: native containers with a drawing list, arranged in a tree under the stage.
// A container owns its children; parent and stage pointers are observers of owners that live
// longer (a child cannot outlive the container that holds it).
#include "framework/event_dispatcher.h"
#include "framework/media.h"

#include <memory>
#include <vector>

namespace zindle {

class Graphics;
class Stage;
class DisplayObjectContainer;

class DisplayObject : public EventDispatcher {
public:
    explicit DisplayObject(ObjectHandle handle);
    ~DisplayObject() override;

    ObjectHandle handle() const { return handle_; }
    // The native number that key event records name as their focus.
    int id() const { return static_cast<int>(handle_); }
    // The drawing list, made on first use and kept.
    Graphics& graphics();
    Stage* stage() const { return stage_; }
    DisplayObjectContainer* parent() const { return parent_; }

    // Runs this object's listeners; a bubbling event then reaches every ancestor up to the stage.
    bool dispatchEvent(Event& event) override;

    // The display object with this native number, or null.
    static DisplayObject* findById(int id);

protected:
    // Called when this object joins or leaves the stage's tree.
    virtual void setStage(Stage* stage);
    friend class DisplayObjectContainer;
    friend class Stage;

private:
    ObjectHandle handle_;
    std::unique_ptr<Graphics> graphics_;
    Stage* stage_ = nullptr;
    DisplayObjectContainer* parent_ = nullptr;
};

class DisplayObjectContainer : public DisplayObject {
public:
    using DisplayObject::DisplayObject;
    ~DisplayObjectContainer() override;

    // Takes ownership of child and appends it. If this container is on the stage, the child and
    // its descendants receive "addedToStage".
    DisplayObject& addChild(std::unique_ptr<DisplayObject> child);
    template <class T> T& addChild(std::unique_ptr<T> child) {
        return static_cast<T&>(addChild(std::unique_ptr<DisplayObject>(std::move(child))));
    }
    std::size_t numChildren() const { return children_.size(); }
    DisplayObject& getChildAt(std::size_t index) const { return *children_.at(index); }

    // Sends a non-bubbling event to this object and every descendant, parents first.
    void broadcast(Event& event);

protected:
    void setStage(Stage* stage) override;

private:
    std::vector<std::unique_ptr<DisplayObject>> children_;
};

// A container that makes its own native object.
class Sprite : public DisplayObjectContainer {
public:
    Sprite();
};

class MovieClip : public Sprite {
public:
    MovieClip() = default;
};

} // namespace zindle
