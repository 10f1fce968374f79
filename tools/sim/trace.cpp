// Writing one step's state of the board as a JSON line.
#include "trace.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "effects/mac_guffin.h"
#include "json.h"
#include "match/game.h"

#include <filesystem>

namespace zindle::sim {
namespace {

std::string heroJson(const Hero& h) {
    return JsonObject()
        .number("x", h.x)
        .number("y", h.y)
        .integer("player", h.player)
        .integer("lives", h.lives)
        .integer("facing", h.facing)
        .number("dx", h.dx)
        .number("dy", h.dy)
        .boolean("invulnerable", h.invulnerable)
        .number("hueDir", h.hueDir)
        .integer("spawnX", h.spawnX)
        .integer("spawnY", h.spawnY)
        .integer("score", h.score)
        .integer("highScore", h.highScore)
        .boolean("hasRainbow", h.hasRainbow)
        .number("rainbowCooldown", h.rainbowCooldown)
        .number("sparkleCooldown", h.sparkleCooldown)
        .boolean("hasCrown", h.hasCrown)
        .number("crowniness", h.crowniness)
        .number("aiThinkCooldown", h.aiThinkCooldown)
        .number("aiDesiredDx", h.aiDesiredDx)
        .str();
}

std::string cloudJson(const Cloud& c) {
    return JsonObject()
        .number("x", c.x)
        .number("y", c.y)
        .integer("x0", c.x0)
        .integer("y0", c.y0)
        .integer("x1", c.x1)
        .integer("y1", c.y1)
        .number("hitCooldown", c.hitCooldown)
        .integer("size", c.size)
        .str();
}

std::string macGuffinJson(const MacGuffin& m) {
    std::string flares = "[";
    for (const auto& f : m.flares) {
        if (flares.size() > 1)
            flares += ',';
        flares += JsonObject()
                      .number("x", f->x)
                      .number("y", f->y)
                      .integer("frame", f->frame)
                      .integer("frameCooldown", f->frameCooldown)
                      .str();
    }
    flares += ']';
    return JsonObject()
        .number("x", m.x)
        .number("y", m.y)
        .integer("state", m.state)
        .number("stateCooldown", m.stateCooldown)
        .raw("flares", flares)
        .str();
}

template <class List, class Fn> std::string array(const List& list, Fn toJson) {
    std::string out = "[";
    for (const auto& item : list) {
        if (out.size() > 1)
            out += ',';
        out += toJson(*item);
    }
    return out + "]";
}

} // namespace

std::string traceLine(const StepReport& report) {
    const Game& g = report.game;
    std::string flags = "[";
    for (std::size_t i = 0; i < g.aiFlags.size(); ++i)
        flags += std::string(i ? "," : "") + (g.aiFlags[i] ? "true" : "false");
    flags += ']';
    std::string sounds = "[";
    for (const auto& s : report.sounds) {
        if (sounds.size() > 1)
            sounds += ',';
        // The file name alone, so that traces do not depend on where the data folder lies.
        sounds += JsonObject()
                      .string("file", std::filesystem::path(s.path).filename().string())
                      .number("volume", s.volume)
                      .number("pan", s.pan)
                      .integer("loops", s.loops)
                      .str();
    }
    sounds += ']';
    JsonObject line;
    line.integer("step", report.step)
        .integer("frame", report.frame)
        .number("boardTime", g.boardTime)
        .number("shake", g.shake)
        .number("slomo", g.slomo)
        .number("titleAlpha", g.titleAlpha)
        .number("gameTimeout", g.gameTimeout)
        .raw("aiFlags", flags)
        .raw("heroes", array(g.heroes, heroJson))
        .raw("clouds", array(g.clouds, cloudJson))
        .raw("macGuffin", g.macGuffin ? macGuffinJson(*g.macGuffin) : "null")
        .integer("trails", static_cast<std::int64_t>(g.trails.size()))
        .integer("sparkles", static_cast<std::int64_t>(g.sparkles.size()))
        .raw("sounds", sounds);
    return line.str();
}

} // namespace zindle::sim
