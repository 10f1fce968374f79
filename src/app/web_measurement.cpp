// Reading the web page's measurement options, and what they do to a running game.
#include "app/web_measurement.h"

#include "actors/hero.h"
#include "effects/particles.h"
#include "match/game.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>

namespace zindle {

namespace {
void refuse(const std::string& name, const std::string& text) {
    std::cout << "measurement option " << name << ": '" << text << "' is not a number\n";
}

template <typename Number>
std::optional<Number> number(const std::string& name, const std::string& text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || at != end || text.empty()) {
        refuse(name, text);
        return std::nullopt;
    }
    return value;
}

// Seconds; from_chars has no floating point in every standard library the game is built with.
std::optional<double> seconds(const std::string& name, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) {
        refuse(name, text);
        return std::nullopt;
    }
    return value;
}
} // namespace

WebMeasurement WebMeasurement::parse(const std::vector<std::string>& args) {
    WebMeasurement options;
    // The first of each option counts, as the page passes each at most once.
    auto value = [&](const std::string& name) -> std::optional<std::string> {
        for (std::size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == name)
                return args[i + 1];
        return std::nullopt;
    };
    if (const auto seed = value("--seed"))
        options.seed = number<std::uint64_t>("--seed", *seed);
    if (const auto ai = value("--ai"))
        for (char player : *ai)
            if (player >= '1' && player <= '4')
                options.computerPlayers.push_back(player - '1');
    if (const auto skip = value("--skip"))
        options.skipSeconds = seconds("--skip", *skip).value_or(0);
    if (const auto score = value("--score"))
        options.score = number<int>("--score", *score).value_or(-1);
    return options;
}

void WebMeasurement::raiseScores(Game& game) const {
    for (const auto& hero : game.heroes)
        if (hero->score < score)
            hero->setScore(score, game);
}

bool WebMeasurement::won(const Game& game) const {
    // A win, and only a win, sends the winner up as an AscendParticle.
    return score >= 0 &&
           std::any_of(game.sparkles.begin(), game.sparkles.end(), [](const auto& particle) {
               return dynamic_cast<const AscendParticle*>(particle.get()) != nullptr;
           });
}

} // namespace zindle
