// The MacGuffin's cycle: beams close in on a random spot (entering), it waits there with its
// flares (idle), and when taken the beams open out again (exiting) before it moves on.
#include "effects/mac_guffin.h"

#include "framework/random.h"
#include "render/tiler.h"
#include "sound/beeper.h"
#include "sound/sfxr_category.h"

#include <array>
#include <string_view>

namespace zindle {

namespace {

constexpr double kLeft = 20.0;          // px, leftmost x of a new spot ...
constexpr double kWidth = 440.0;        // ... and the width of the range
constexpr double kTop = 35.0;           // px, topmost y of a new spot ...
constexpr double kHeight = 235.0;       // ... and the height of the range
constexpr double kEnterRate = 6.0;      // stateCooldown per s while entering: 1/6 s
constexpr double kExitRate = 4.0;       // stateCooldown per s while exiting: 1/4 s
constexpr double kReappearVolume = 1.0; // of the recorded level
constexpr std::size_t kMaxFlares = 2;
constexpr int kSecondFlareFrom = 4; // first flare's frame at which the second one starts
constexpr int kBeamSteps = 3;       // beam frames 1..3

constexpr std::array<std::string_view, kBeamSteps> kBeamHoriz{"BEAM_HORIZ_1", "BEAM_HORIZ_2",
                                                              "BEAM_HORIZ_3"};
constexpr std::array<std::string_view, kBeamSteps> kBeamVert{"BEAM_VERT_1", "BEAM_VERT_2",
                                                             "BEAM_VERT_3"};

// Both beams at beam frame n (1..3), crossing at (x, y). Any other frame draws nothing.
void drawBeams(Tiler& tiler, int n, double x, double y) {
    if (n < 1 || n > kBeamSteps)
        return;
    tiler.drawTile(kBeamHoriz[n - 1], 0, y);
    tiler.drawTile(kBeamVert[n - 1], x, 0);
}

// 2 while stateCooldown >= 2/3, 1 while >= 1/3, 0 below; -1 (no beam frame) below 0 or NaN,
// which entering and exiting never reach.
int beamStep(double stateCooldown) {
    const double s = 3 * stateCooldown;
    if (s >= 2)
        return 2;
    if (s >= 1)
        return 1;
    return s >= 0 ? 0 : -1;
}

} // namespace

MacGuffin::MacGuffin() {
    x = kLeft + kWidth * random();
    y = kTop + kHeight * random();
    flares.push_back(std::make_unique<MacGuffinFlare>(*this));
}

void MacGuffin::hit() {
    stateCooldown = 1;
    state = STATE_EXITING;
}

void MacGuffin::update(double dt) {
    switch (state) {
    case STATE_ENTERING:
        stateCooldown -= kEnterRate * dt;
        if (stateCooldown <= 0)
            state = STATE_IDLE;
        break;
    case STATE_EXITING:
        stateCooldown -= kExitRate * dt;
        if (stateCooldown <= 0) {
            x = kLeft + kWidth * random();
            y = kTop + kHeight * random();
            state = STATE_ENTERING;
            stateCooldown = 1;
            Beeper::beep(SfxrCategory::POWER_UP, kReappearVolume, x);
        }
        break;
    default:
        break;
    }

    // The second flare starts half way through the first one's twinkle, so the two alternate.
    if (flares.size() < kMaxFlares && !flares.empty() && flares[0]->frame >= kSecondFlareFrom)
        flares.push_back(std::make_unique<MacGuffinFlare>(*this));
    for (auto& flare : flares)
        flare->update();
}

void MacGuffin::draw(Tiler& tiler) const {
    const int b = beamStep(stateCooldown);
    switch (state) {
    case STATE_ENTERING:
        drawBeams(tiler, kBeamSteps - b, x, y);
        break;
    case STATE_IDLE:
        tiler.drawTile("MACGUFFIN", x, y);
        for (const auto& flare : flares)
            flare->draw(tiler);
        break;
    case STATE_EXITING:
        drawBeams(tiler, b + 1, x, y);
        break;
    default:
        break;
    }
}

} // namespace zindle
