#pragma once
// The base of everything with a position on the playfield (pixels, y downwards).

namespace zindle {

class Entity {
public:
    Entity() = default;
    virtual ~Entity() = default;

    double x = 0;
    double y = 0;
};

} // namespace zindle
