// Writing one step's state of the board as a JSON line; each object's fields by its list.
#include "trace.h"

#include "actors/cloud.h"
#include "actors/hero.h"
#include "effects/mac_guffin.h"
#include "json.h"
#include "match/game.h"
#include "trace_fields.h"

#include <filesystem>

namespace zindle::sim {
namespace {

std::string macGuffinJson(const MacGuffin& m) {
    std::string flares = "[";
    for (const auto& f : m.flares) {
        if (flares.size() > 1)
            flares += ',';
        flares += traceJson<FlareState>(*f);
    }
    flares += ']';
    TraceFields fields;
    StateFields<MacGuffinState>::visit(fields, m);
    JsonObject json;
    fields.into(json);
    return json.raw("flares", flares).str();
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
    line.integer("step", report.step).integer("frame", report.frame);
    TraceFields board;
    BoardFields::visit(board, g);
    TallyFields::visit(board, g.tally);
    board.into(line);
    line.raw("aiFlags", flags)
        .raw("heroes", array(g.heroes, traceJson<HeroState, Hero>))
        .raw("clouds", array(g.clouds, traceJson<CloudState, Cloud>))
        .raw("macGuffin", g.macGuffin ? macGuffinJson(*g.macGuffin) : "null")
        .integer("trails", static_cast<std::int64_t>(g.trails.size()))
        .integer("sparkles", static_cast<std::int64_t>(g.sparkles.size()))
        .raw("sounds", sounds);
    return line.str();
}

} // namespace zindle::sim
