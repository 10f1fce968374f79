#pragma once
// How the picture is drawn for players who asked for it: gentler motion and markers over the
// heroes. Only drawing reads these, and it takes the same random numbers either way: in local
// play drawing shares the match's random stream, so a draw left out would change the match.
namespace zindle {

struct DrawingOptions {
    // No screen shake; steady light where the picture would flicker.
    static inline bool reducedMotion = false;
    // Each hero's player number above it, for players who cannot tell the hues apart.
    static inline bool highContrast = false;
};

} // namespace zindle
