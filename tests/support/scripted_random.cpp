#include "support/scripted_random.h"

#include "framework/random.h"

#include <gtest/gtest.h>

namespace zindle::test {

ScriptedRandom::ScriptedRandom(std::vector<double> values, std::optional<double> fallback)
    : values_(values.begin(), values.end()), fallback_(fallback) {
    setRandomSource([this] { return next(); });
}

ScriptedRandom::~ScriptedRandom() {
    setRandomSource({});
}

void ScriptedRandom::push(std::initializer_list<double> values) {
    values_.insert(values_.end(), values);
}

double ScriptedRandom::next() {
    ++drawn_;
    if (values_.empty()) {
        if (fallback_)
            return *fallback_;
        ADD_FAILURE() << "random() called more often than scripted";
        return 0.0;
    }
    const double v = values_.front();
    values_.pop_front();
    return v;
}

} // namespace zindle::test
