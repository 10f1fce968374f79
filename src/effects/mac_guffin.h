#pragma once
// The collectible: enters with crossing beams, idles with twinkling flares, leaves when hit and
// shows up again elsewhere.
#include "effects/entity.h"
#include "effects/mac_guffin_flare.h"

#include <memory>
#include <vector>

namespace zindle {

class Tiler;

class MacGuffin : public Entity {
public:
    static constexpr int STATE_ENTERING = 0;
    static constexpr int STATE_IDLE = 1;
    static constexpr int STATE_EXITING = 2;

    MacGuffin();
    // An empty MacGuffin at (0, 0) without flares, for code that fills in a saved state: unlike
    // the constructor above it takes no random numbers.
    struct Unplaced {};
    explicit MacGuffin(Unplaced) {}
    MacGuffin(const MacGuffin&) = delete; // the flares point at their host
    MacGuffin& operator=(const MacGuffin&) = delete;

    virtual void hit();
    // [vestige] Nothing reads the MacGuffin's size: the catch box is the hero's (16 by 18).
    virtual int getWidth() const { return 6; }
    virtual int getHeight() const { return 8; }
    virtual void update(double dt);
    virtual void draw(Tiler& tiler) const;

    int state = STATE_ENTERING;
    double stateCooldown = 1;
    std::vector<std::unique_ptr<MacGuffinFlare>> flares;
};

} // namespace zindle
