#pragma once
// A cloud platform: rests on a grid point, and when hit flies to a new random place in one
// second on a sagging path, looking smaller while it travels.
#include "effects/entity.h"

#include <string_view>

namespace zindle {

class Tiler;

class Cloud : public Entity {
public:
    // The position stays (0, 0) until the first update moves the cloud to (x, y).
    Cloud(int x, int y, int size);

    virtual void update(double dt);
    virtual void hit();
    // "TINY", "SMALL", "MEDIUM", "LARGE", "HUGE" or "BROKEN"
    virtual std::string_view getDepiction() const;
    // Half-extents of the contact box.
    virtual int getWidth() const;
    virtual int getHeight() const;
    virtual void draw(Tiler& tiler) const;

    int x0;
    int y0;
    int x1;
    int y1;
    double hitCooldown = 0;
    int size;
};

} // namespace zindle
