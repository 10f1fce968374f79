#pragma once
// What the stage was last told is held: keys down, pad buttons down, pad axes and hats away from
// the centre. When the player's attention goes elsewhere (the window loses the focus) a backend
// lets every one of them go, as the player would, so that nothing keeps steering meanwhile.
#include "framework/media.h"

#include <vector>

namespace zindle {

class HeldInputs {
public:
    // Notes a record on its way to the stage; records of other types are ignored.
    void note(const MediaEvent& record);
    // The records that let go of everything still held (key and button ups, axes and hats back
    // to the centre), in the order it was taken hold of; afterwards nothing is held.
    std::vector<MediaEvent> releaseAll();

private:
    // The record that lets go of one held input; also what identifies it.
    std::vector<MediaEvent> releases_;
};

} // namespace zindle
