#pragma once
// The game's one random stream played from a list, so a test decides every number the code
// under test draws. Installed for the life of the object.
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <optional>
#include <vector>

namespace zindle::test {

class ScriptedRandom {
public:
    // Once the list runs dry, fallback is handed out every time; without one, a draw past the
    // end fails the test (and returns 0).
    explicit ScriptedRandom(std::vector<double> values = {},
                            std::optional<double> fallback = std::nullopt);
    ~ScriptedRandom();
    ScriptedRandom(const ScriptedRandom&) = delete;
    ScriptedRandom& operator=(const ScriptedRandom&) = delete;

    void push(std::initializer_list<double> values);
    double next();
    std::size_t left() const { return values_.size(); }
    // How many numbers were drawn so far, fallbacks included.
    std::size_t drawn() const { return drawn_; }

private:
    std::deque<double> values_;
    std::optional<double> fallback_;
    std::size_t drawn_ = 0;
};

} // namespace zindle::test
