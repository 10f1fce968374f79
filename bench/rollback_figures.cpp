// zindle-netbench: an online match of the real game between peers in one process, over the
// emulated network on a simulated clock, measured: the processor time each frame spends
// simulating again after a rollback (percentiles), the rollbacks, and whether every peer
// confirmed the same states. Prints one JSON object; exits 1 when the peers disagree.
#include "json.h"
#include "loop/main.h"
#include "match/game.h"
#include "netcode/rollback_lab.h"
#include "online/rollback_game_world.h"
#include "options.h"
#include "simulation.h"
#include "tool_main.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <iostream>

using namespace zindle;
using namespace zindle::net;

namespace {

struct Options {
    double seconds = 120;
    double rttMs = 100;
    double jitterMs = 20;
    double loss = 0.02;
    int peers = 4;
    int computers = 0; // the last this many seats are computer players, the others scripted
    std::uint64_t seed = 1;
};

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

int run(const std::vector<std::string>& args, std::ostream& out) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << "usage: zindle-netbench [--seconds S] [--rtt MS] [--jitter MS] [--loss SHARE]\n"
                   "                       [--peers 2-4] [--computers N] [--seed N]\n"
                   "An online match between peers over an emulated network, in simulated time.\n"
                   "Peer p holds seat p; the last N seats are computer players (CTRL+digit\n"
                   "on their peer), the others scripted players. Jitter is of the round trip.\n";
            return sim::kExitOk;
        }
        auto number = [&](double most) {
            const auto values = sim::parseNumberList(a, sim::optionValue(args, i));
            if (values.size() != 1 || values[0] < 0 || values[0] > most)
                throw sim::UsageError(a + " takes one number from 0 to " + std::to_string(most));
            return values[0];
        };
        if (a == "--seconds")
            o.seconds = number(sim::kMaxSeconds);
        else if (a == "--rtt")
            o.rttMs = number(10000);
        else if (a == "--jitter")
            o.jitterMs = number(10000);
        else if (a == "--loss")
            o.loss = number(1);
        else if (a == "--peers")
            o.peers = std::clamp(static_cast<int>(number(kSeats)), 2, kSeats);
        else if (a == "--computers")
            o.computers = static_cast<int>(number(kSeats));
        else if (a == "--seed")
            o.seed = sim::parseSeed(a, sim::optionValue(args, i));
        else
            throw sim::UsageError("unknown option '" + a + "'");
    }

    const auto wallStart = std::chrono::steady_clock::now();
    sim::RunConfig config;
    config.seed = o.seed;
    sim::Simulation simulation(config);
    Game& game = simulation.game();
    // The jitter is on each way; half the round trip each way.
    RollbackLab lab({o.rttMs / 2, o.jitterMs / 2, o.loss, 0, 0}, o.seed);
    std::vector<RollbackGameWorld*> worlds;
    for (int p = 0; p < o.peers; ++p) {
        auto world = std::make_unique<RollbackGameWorld>(game, *Main::instance, 100 + p);
        world->leave();
        RollbackGameWorld* raw = world.get();
        worlds.push_back(raw);
        LabPeerSetup setup;
        setup.world = std::move(world);
        setup.config.self = p;
        // Processor time: on a shared machine the wall clock also counts other programs.
        setup.config.measuringClock = threadSeconds;
        for (int s = 0; s < o.peers; ++s)
            setup.config.seatOwners[s] = s;
        const bool computer = p >= o.peers - o.computers;
        setup.inputs = [p, computer](RollbackSession& session, std::int64_t frame) {
            SeatInput in = computer ? SeatInput{} : scriptedPlayer(p, frame);
            if (computer && frame == 10)
                in.events = SeatInput::kToggleComputer;
            session.setLocalInput(p, in);
        };
        setup.phaseMs = 4.1 * p;
        setup.enter = [raw] { raw->enter(); };
        setup.leave = [raw] { raw->leave(); };
        lab.addPeer(std::move(setup));
    }
    std::vector<double> resimMs;
    std::vector<double> rollbackFramesMs;
    lab.run(o.seconds * 1000, [&](int peer, int, double) {
        const double ms = 1000 * lab.session(peer).stats().lastFrameResimulationSeconds;
        resimMs.push_back(ms);
        if (ms > 0)
            rollbackFramesMs.push_back(ms);
    });

    std::size_t common = SIZE_MAX;
    for (int p = 0; p < o.peers; ++p)
        common = std::min(common, lab.trace(p).confirmed.size());
    bool agree = true;
    for (int p = 1; p < o.peers; ++p)
        agree = agree && std::equal(lab.trace(p).confirmed.begin(),
                                    lab.trace(p).confirmed.begin() + static_cast<long>(common),
                                    lab.trace(0).confirmed.begin());
    std::int64_t rollbacks = 0, resimulated = 0, desyncs = 0, paced = 0, stalled = 0;
    int deepest = 0;
    for (int p = 0; p < o.peers; ++p) {
        const RollbackStats& s = lab.session(p).stats();
        rollbacks += s.rollbacks;
        resimulated += s.resimulatedSteps;
        desyncs += s.desyncs;
        paced += s.pacedSteps;
        stalled += s.stalledSteps;
        deepest = std::max(deepest, s.deepestRollback);
    }
    worlds[0]->enter();
    const Game::Tally tally = game.tally;
    worlds[0]->leave();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    out << sim::JsonObject()
               .number("seconds", o.seconds)
               .integer("peers", o.peers)
               .number("rttMs", o.rttMs)
               .number("jitterMs", o.jitterMs)
               .number("loss", o.loss)
               .integer("computers", o.computers)
               .integer("frames", static_cast<std::int64_t>(resimMs.size()))
               .integer("rollbacks", rollbacks)
               .integer("resimulatedSteps", resimulated)
               .integer("deepestRollbackTicks", deepest)
               .integer("framesWithRollback", static_cast<std::int64_t>(rollbackFramesMs.size()))
               .number("resimMsP50", percentile(resimMs, 0.50))
               .number("resimMsP95", percentile(resimMs, 0.95))
               .number("resimMsP99", percentile(resimMs, 0.99))
               .number("resimMsP999", percentile(resimMs, 0.999))
               .number("resimMsMax", percentile(resimMs, 1.0))
               .integer("framesOver2Ms",
                        static_cast<std::int64_t>(std::count_if(resimMs.begin(), resimMs.end(),
                                                                [](double ms) { return ms > 2; })))
               .number("resimMsP95OfRollbackFrames", percentile(rollbackFramesMs, 0.95))
               .integer("pacedSteps", paced)
               .integer("stalledSteps", stalled)
               .integer("ticksAgreed", static_cast<std::int64_t>(common))
               .boolean("tracesAgree", agree)
               .integer("desyncs", desyncs)
               .integer("catches", tally.catches)
               .integer("wins", tally.wins)
               .number("wallSeconds", wall)
               .str()
        << std::endl;
    return agree && desyncs == 0 ? sim::kExitOk : sim::kExitProgramError;
}

} // namespace

int main(int argc, char** argv) {
    return sim::runTool("zindle-netbench", argc, argv, run, "the match failed: ");
}
