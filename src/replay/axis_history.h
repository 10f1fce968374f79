#pragma once
// A stick's last three native values, which writer and reader both keep per device to predict
// the next one: a sweep moves smoothly, so the error of a quadratic guess stays small.
#include <cstdint>

namespace zindle {

struct AxisHistory {
    std::int64_t last = 0, before = 0, earlier = 0;

    // The value on the parabola through the last three: 3a - 3b + c.
    std::int64_t predicted() const { return 3 * last - 3 * before + earlier; }
    void push(std::int64_t native) {
        earlier = before;
        before = last;
        last = native;
    }
};

} // namespace zindle
