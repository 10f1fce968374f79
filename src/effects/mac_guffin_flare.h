#pragma once
// A twinkle sitting on the MacGuffin; animates by update calls, not by time.
namespace zindle {

class Entity;
class Tiler;

class MacGuffinFlare {
public:
    static constexpr int FRAMES = 7;
    static constexpr int FRAMES_PER_FRAME = 20;

    // host must outlive the flare (the MacGuffin owns its flares).
    explicit MacGuffinFlare(const Entity& host);
    // Frame 0 at no offset, for code that fills in a saved state: draws no random number.
    struct Unplaced {};
    MacGuffinFlare(const Entity& host, Unplaced) : host(&host) {}

    virtual ~MacGuffinFlare() = default;
    virtual void reset();
    virtual void update();
    virtual void draw(Tiler& tiler) const;

    double x = 0; // offset from the host, [-10, 10)
    double y = 0;
    int frame = 0;
    int frameCooldown = 0;
    const Entity* host;
};

} // namespace zindle
