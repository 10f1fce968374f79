// Clouds: the platforms. A hit sends a cloud on a one-second flight to a random grid point,
// along a sagging path, drawn smaller while it flies.
#include "actors/cloud.h"

#include "framework/random.h"
#include "render/tiler.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace zindle {

namespace {

constexpr double kFlightTime = 1.0;        // s, from a hit to rest
constexpr double kHitLockout = 0.5;        // s of flight left above which further hits are ignored
constexpr double kSag = 48.0;              // px, how far below the straight path the middle lies
constexpr double kShrunkTwiceAbove = 0.05; // s of flight left above which two sizes are lost
constexpr int kGrid = 4;                   // px, the resting points lie on this grid
constexpr double kRestColumns = 100.0;     // grid columns to choose from ...
constexpr double kFirstRestColumn = 10.0;  // ... starting at x = 40
constexpr double kRestRows = 48.0;         // grid rows to choose from ...
constexpr double kFirstRestRow = 20.0;     // ... starting at y = 80

struct CloudSize {
    std::string_view depiction;
    std::string_view tile;
    int width; // half-extents of the contact box, px
    int height;
};

// Indexed by size 0..4; the last entry stands for every size above.
constexpr std::array<CloudSize, 6> kSizes{{
    {"TINY", "CLOUD_TINY", 6, 6},
    {"SMALL", "CLOUD_SMALL", 9, 6},
    {"MEDIUM", "CLOUD_MEDIUM", 13, 6},
    {"LARGE", "CLOUD_LARGE", 15, 8},
    {"HUGE", "CLOUD_HUGE", 20, 9},
    {"BROKEN", "CLOUD_BROKEN", 0, 0},
}};
constexpr int kBroken = static_cast<int>(kSizes.size()) - 1;

int sizeIndex(int k) {
    return std::clamp(k, 0, kBroken);
}

// The picture index for the size, shrunk while the cloud flies.
int depictionIndex(int size, double hitCooldown) {
    int k = size;
    if (hitCooldown > 0)
        --k;
    if (hitCooldown > kShrunkTwiceAbove)
        --k;
    return sizeIndex(k);
}

} // namespace

Cloud::Cloud(int x, int y, int size) : x0(x), y0(y), x1(x), y1(y), size(size) {}

void Cloud::update(double dt) {
    hitCooldown = std::max(0.0, hitCooldown - dt);
    const double h = hitCooldown / kFlightTime;
    const double c = (3 - 2 * h) * h * h; // 1 just after a hit, easing to 0 at rest
    const double sag = 1 - (2 * c - 1) * (2 * c - 1);
    x = (1 - c) * x1 + c * x0;
    y = sag * kSag + (1 - c) * y1 + c * y0;
}

void Cloud::hit() {
    if (hitCooldown > kHitLockout)
        return;
    hitCooldown = kFlightTime;
    // The new flight starts where the cloud is now, even in mid-flight.
    x0 = static_cast<int>(std::floor(x));
    y0 = static_cast<int>(std::floor(y));
    x1 = static_cast<int>(std::floor(random() * kRestColumns + kFirstRestColumn)) * kGrid;
    y1 = static_cast<int>(std::floor(random() * kRestRows + kFirstRestRow)) * kGrid;
}

std::string_view Cloud::getDepiction() const {
    return kSizes[depictionIndex(size, hitCooldown)].depiction;
}

// Below size 0 the contact box shrinks to nothing, as it does for broken clouds.
int Cloud::getWidth() const {
    return size < 0 ? 0 : kSizes[sizeIndex(size)].width;
}

int Cloud::getHeight() const {
    return size < 0 ? 0 : kSizes[sizeIndex(size)].height;
}

void Cloud::draw(Tiler& tiler) const {
    tiler.drawTile(kSizes[depictionIndex(size, hitCooldown)].tile, x, y);
}

} // namespace zindle
