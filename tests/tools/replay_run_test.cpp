// Recording a headless match and re-simulating it: every checksum agrees and the steps are the
// same, a replay with one input changed differs from its first checksum after the change, and
// the game's recorder files its replays in the XDG folder of the HOME it is given.
#include "app/replay_watching.h"
#include "base/rules.h"
#include "framework/keyboard.h"
#include "framework/stage.h"
#include "loop/main.h"
#include "match/game.h"
#include "match/state_checksum.h"
#include "replay/replay_folder.h"
#include "replay/replay_format.h"
#include "replay/replay_reader.h"
#include "replay/replay_recorder.h"
#include "replay/replay_viewer.h"
#include "replay/replay_writer.h"
#include "replay_run.h"
#include "simulation.h"
#include "sound/music.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace zindle::sim {
namespace {

ScriptEvent keyEvent(double time, bool down, int code, int flags = 0) {
    ScriptEvent e;
    e.time = time;
    e.record.type = down ? MediaEventType::KEY_DOWN : MediaEventType::KEY_UP;
    e.record.code = code;
    e.record.value = code;
    e.record.flags = flags;
    return e;
}

ScriptEvent axisEvent(double time, int device, int value) {
    ScriptEvent e;
    e.time = time;
    e.record.type = MediaEventType::JOY_AXIS;
    e.record.device = device;
    e.record.code = 0;
    e.record.value = value;
    return e;
}

// On the title for a second, then SPACE joins, the hero steers left and right with keys and a
// pad, CTRL+2 brings a computer player; ESC at 20 s ends the match, whose title is back at 22 s.
std::vector<ScriptEvent> match() {
    const int ctrl = Stage::efCtrlDown;
    std::vector<ScriptEvent> s{keyEvent(1, true, 32),       keyEvent(1.1, false, 32),
                               keyEvent(2, true, 37),       keyEvent(3.5, false, 37),
                               keyEvent(3.5, true, 39),     keyEvent(5, false, 39),
                               keyEvent(6, true, 50, ctrl), keyEvent(6.1, false, 50, ctrl),
                               axisEvent(7, 0, -20000),     axisEvent(8, 0, 32767),
                               axisEvent(9, 0, 0),          keyEvent(20, true, 27),
                               keyEvent(20.1, false, 27)};
    return s;
}

class ReplayRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("zindle-replay-run-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Records the scripted match with the given seed into file; returns its steps' traces.
    // joinAtOnce: a computer player is in from the first frame, so the match starts there.
    std::vector<std::string> record(const std::filesystem::path& file, std::uint64_t seed,
                                    bool joinAtOnce = false) {
        RunConfig config;
        config.seed = seed;
        config.script = match();
        if (joinAtOnce)
            config.aiPlayers = {2};
        config.makeTap = [file, seed](Simulation& sim) {
            ReplayRecorder::Options options;
            options.file = file;
            options.seed = seed;
            options.game = [&sim] { return &sim.game(); };
            return std::make_unique<ReplayRecorder>(std::move(options));
        };
        std::vector<std::string> trace;
        Simulation sim(config);
        sim.setStepObserver([&](const StepReport& r) { trace.push_back(traceLine(r)); });
        sim.runFrames(25 * 60);
        return trace;
    }
    std::filesystem::path dir;
};

TEST_F(ReplayRoundTrip, AScriptedMatchReplaysToEveryChecksumAndTheSameSteps) {
    const auto file = dir / "match.replay";
    const auto original = record(file, 7);
    const Replay replay = readReplayFile(file);
    EXPECT_TRUE(replay.finished);
    EXPECT_EQ(replay.header.seed, 7u);
    // The file begins at the join (SPACE at 1 s), with the state the game stood in there.
    EXPECT_EQ(replay.header.joinFrame, 0u);
    ASSERT_FALSE(replay.states.empty());
    EXPECT_EQ(replay.states[0].frame, 0u);
    EXPECT_GE(replay.checksums.size(), 20u);

    ReplayRun run(replay, RunConfig{});
    std::vector<std::string> again;
    run.simulation().setStepObserver([&](const StepReport& r) { again.push_back(traceLine(r)); });
    run.run();
    EXPECT_EQ(run.checker().checked(), replay.checksums.size());
    EXPECT_FALSE(run.checker().firstMismatch().has_value());
    ASSERT_EQ(again.size(), replay.steps);
    // The recording ends with the title; the original began before the join and ran on past
    // it. Step and frame numbers count from each run's start, so they are left out, and so is
    // the music that the replay's state starts in its first step.
    const auto game = [](std::vector<std::string> lines) {
        for (std::string& line : lines)
            line.erase(0, line.find("\"boardTime\""));
        return lines;
    };
    auto originalGame = game(original), againGame = game(again);
    const auto from = std::find_if(originalGame.begin(), originalGame.end(), [&](auto& line) {
        return line.substr(0, line.find("\"sounds\"")) ==
               againGame[0].substr(0, againGame[0].find("\"sounds\""));
    });
    ASSERT_LE(static_cast<std::size_t>(from - originalGame.begin()) + againGame.size(),
              originalGame.size());
    EXPECT_TRUE(std::equal(againGame.begin() + 1, againGame.end(), from + 1));
    EXPECT_EQ(from - originalGame.begin(), 59 * 5 + 1) << "the join frame is the 60th";
}

// The replay's frames, inputs and checksums written again in an older format.
std::vector<std::uint8_t> inFormat(const Replay& replay, std::uint16_t version) {
    std::vector<std::uint8_t> file = encodeReplayHeader(replay.header, version);
    ReplayEncoder enc(version);
    std::uint64_t steps = 0;
    for (const FrameRun& run : replay.runs) {
        for (std::uint32_t i = 0; i < run.inputCount; ++i)
            enc.input(replay.inputs[run.firstInput + i]);
        for (std::uint32_t frame = 0; frame < run.count; ++frame) {
            enc.frame(static_cast<int>(run.steps));
            const std::uint64_t before = steps;
            steps += run.steps;
            if (steps / 300 != before / 300)
                enc.checksum(replay.checksums[steps / 300 - 1]);
        }
    }
    if (replay.finished)
        enc.end();
    const auto block = encodeReplayBlock(enc.take());
    file.insert(file.end(), block.begin(), block.end());
    return file;
}

TEST_F(ReplayRoundTrip, FilesOfTheOlderFormatsStillPlayToEveryChecksum) {
    // Those formats begin with the game's start: a match that began there is the same in each.
    const auto file = dir / "match.replay";
    record(file, 5, true);
    const Replay recorded = readReplayFile(file);
    for (const std::uint16_t version : {1, 2, 3}) {
        const Replay replay = parseReplay(inFormat(recorded, version));
        ASSERT_EQ(replay.formatVersion, version);
        ASSERT_EQ(replay.checksums, recorded.checksums);
        ReplayRun run(replay, RunConfig{});
        run.run();
        EXPECT_EQ(run.checker().checked(), replay.checksums.size()) << "format " << version;
        EXPECT_FALSE(run.checker().firstMismatch().has_value()) << "format " << version;
    }
}

// F12's copy of the match so far: a replay of its own that stops early, re-simulates to every
// checksum it holds, and leaves the recording going on to its end.
TEST_F(ReplayRoundTrip, ACopyOfTheMatchSoFarIsAReplayOfItsOwn) {
    const auto file = dir / "match.replay";
    const auto copy = dir / "copy.replay";
    RunConfig config;
    config.seed = 7;
    config.script = match();
    config.makeTap = [file](Simulation& sim) {
        ReplayRecorder::Options options;
        options.file = file;
        options.seed = 7;
        options.game = [&sim] { return &sim.game(); };
        return std::make_unique<ReplayRecorder>(std::move(options));
    };
    double seconds = 0;
    {
        Simulation sim(config);
        sim.runFrames(30); // on the title: no match to copy yet
        auto& recorder = dynamic_cast<ReplayRecorder&>(*Main::tap);
        std::string problem;
        EXPECT_FALSE(recorder.saveCopy(copy, problem));
        EXPECT_EQ(problem, "no match has started");
        sim.runFrames(12 * 60 + 7); // to a few frames into the 13th second
        ASSERT_TRUE(recorder.saveCopy(copy, problem)) << problem;
        seconds = recorder.matchSeconds();
        EXPECT_NEAR(seconds, 11 + 7 / 60.0, 0.05); // joined at 1 s
        sim.runFrames(25 * 60);
    }
    const Replay part = readReplayFile(copy);
    EXPECT_FALSE(part.finished);
    EXPECT_EQ(part.header.joinFrame, 0u);
    EXPECT_EQ(part.checksums.size(), 11u); // from the join, at 1 s

    EXPECT_NEAR(static_cast<double>(part.steps - part.joinStep) / 300, seconds, 1e-9);
    {
        ReplayRun again(part, RunConfig{});
        again.run();
        EXPECT_EQ(again.checker().checked(), part.checksums.size());
        EXPECT_FALSE(again.checker().firstMismatch().has_value());
    }
    const Replay whole = readReplayFile(file);
    EXPECT_TRUE(whole.finished);
    ReplayRun all(whole, RunConfig{});
    all.run();
    EXPECT_EQ(all.checker().checked(), whole.checksums.size());
    EXPECT_FALSE(all.checker().firstMismatch().has_value());
}

TEST_F(ReplayRoundTrip, AChangedInputIsCaughtAtTheNextChecksum) {
    const auto file = dir / "match.replay";
    record(file, 7);
    Replay replay = readReplayFile(file);
    // The hero steers right where it steered left (the LEFT press at 2 s).
    for (InputRecord& input : replay.inputs) {
        if (input.kind == InputRecord::Kind::KeyDown && input.code == 37)
            input.code = 39;
    }
    ReplayRun run(replay, RunConfig{});
    run.run();
    ASSERT_TRUE(run.checker().firstMismatch().has_value());
    // Pressed a second after the join, where the file begins: the held keys differ at once,
    // so the checksum a second into the file is the first to differ, and none before it does.
    EXPECT_EQ(*run.checker().firstMismatch(), 300u);
    // And the run stops there: nothing is learnt from the rest.
    EXPECT_LT(run.cursor().step(), 300u + replay_format::kMaxStepsPerFrame);
}

TEST_F(ReplayRoundTrip, JumpsFromKeyframesLandWhereStraightPlaybackDoes) {
    const auto file = dir / "match.replay";
    record(file, 7);
    const Replay replay = readReplayFile(file);
    const auto checksum = [] { return stateChecksum(*Main::board->match()); };
    // The music picks up where the match had got to in its track, wherever the jump came from.
    const auto musicResumedAt = [](Simulation& sim) {
        const auto& channels = sim.media().channels();
        const auto music =
            std::find_if(channels.rbegin(), channels.rend(), [](const auto& c) { return c.music; });
        EXPECT_NE(music, channels.rend());
        EXPECT_FALSE(music == channels.rend() || music->stopped);
        return music == channels.rend() ? -1.0 : music->startSeconds;
    };
    const auto viewer = [&] {
        RunConfig config;
        config.seed = replay.header.seed;
        auto sim = std::make_unique<Simulation>(config);
        Main::feed = std::make_unique<ReplayViewer>(replay, "test");
        return sim;
    };
    // Match steps: before the first keyframe, on a keyframe's frame, between keyframes, and
    // the end of the recording.
    const std::vector<std::uint64_t> targets = {200, 1490, 1500, 2700, 4100, 5999, 1u << 30};

    struct Landing {
        std::uint64_t step;
        std::uint64_t checksum;
        double music;
    };
    std::vector<Landing> straight;
    {
        const auto sim = viewer();
        auto& v = static_cast<ReplayViewer&>(*Main::feed);
        for (const std::uint64_t target : targets) {
            v.seek(*Main::instance, target);
            straight.push_back({v.matchStep(), checksum(), musicResumedAt(*sim)});
            EXPECT_DOUBLE_EQ(straight.back().music, Music::trackSeconds);
        }
    }
    // The join starts the match's track: 4100 steps into the match they are as far into it;
    // ESC at 20 s brought the title's track back, a second before the end.
    EXPECT_NEAR(straight[4].music, 4100.0 / rules::kStepsPerSecond, 0.1);
    EXPECT_NEAR(straight[5].music, 1.0, 0.1);
    const auto sim = viewer();
    auto& v = static_cast<ReplayViewer&>(*Main::feed);
    v.seek(*Main::instance, 1u << 30);
    // A keyframe every five seconds of the recording, which runs 20 s past the first join.
    EXPECT_GE(v.keyframes(), 4u);
    // Back and forth, each jump from wherever the one before landed.
    for (const std::size_t k : {3, 0, 6, 2, 1, 5, 4, 1, 6}) {
        SCOPED_TRACE(targets[k]);
        v.seek(*Main::instance, targets[k]);
        EXPECT_EQ(v.matchStep(), straight[k].step);
        EXPECT_EQ(checksum(), straight[k].checksum);
        EXPECT_DOUBLE_EQ(musicResumedAt(*sim), straight[k].music);
    }
    EXPECT_FALSE(static_cast<const ReplayChecker&>(*Main::tap).firstMismatch().has_value());
}

TEST_F(ReplayRoundTrip, TheGamesRecorderFilesMatchesInItsHomeAndKeepsTheNewest) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("HOME", dir.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    const auto folder = replayFolder();
    EXPECT_EQ(folder, dir / ".local/share/zindle-vs-pellorin/replays");

    RunConfig config;
    config.seed = 3;
    config.script = match();
    config.makeTap = [&folder](Simulation& sim) {
        ReplayRecorder::Options options;
        options.folder = folder;
        options.seed = 3;
        options.game = [&sim] { return &sim.game(); };
        options.keepFiles = 2;
        // Three matches "a minute apart" (each one's name is its start).
        options.now = [n = 0]() mutable { return std::time_t{1'800'000'000} + 60 * n++; };
        return std::make_unique<ReplayRecorder>(std::move(options));
    };
    // Three matches: SPACE again after each return to the title.
    for (double again : {30.0, 60.0}) {
        for (const auto& e : match()) {
            ScriptEvent later = e;
            later.time += again;
            config.script.push_back(later);
        }
    }
    {
        Simulation sim(config);
        sim.runFrames(85 * 60);
    }
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], replayFileName(1'800'000'060, 0));
    EXPECT_EQ(names[1], replayFileName(1'800'000'120, 0));
    // The third match's replay holds only its own match: it starts from the state at its join,
    // a minute into the game, and plays from there alone.
    const Replay third = readReplayFile(folder / names[1]);
    EXPECT_TRUE(third.finished);
    EXPECT_EQ(third.header.joinFrame, 0u);
    ASSERT_FALSE(third.states.empty());
    EXPECT_EQ(third.states[0].frame, 0u);
    EXPECT_LT(third.steps, 25u * 300);
    ReplayRun run(third, RunConfig{});
    run.run();
    EXPECT_EQ(run.checker().checked(), third.checksums.size());
    EXPECT_FALSE(run.checker().firstMismatch().has_value());

    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    if (oldXdg)
        ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
}

} // namespace
} // namespace zindle::sim

namespace zindle::sim {
namespace {

// A match that cannot be recorded is said on the screen too, once, with the reason.
TEST_F(ReplayRoundTrip, AMatchThatIsNotRecordedIsToldOnTheScreen) {
    struct Case {
        const char* name;
        std::filesystem::path folder;
        std::filesystem::path file;
        const char* shown; // how the screen's line starts
    };
    std::ofstream(dir / "plain-file") << "not a folder";
    const std::vector<Case> cases{
        {"no HOME nor XDG_DATA_HOME", {}, {}, "MATCHES ARE NOT RECORDED: NO FOLDER"},
        {"a folder that is a file", dir / "plain-file", {}, "MATCH NOT RECORDED: "},
        {"a file in no folder", {}, dir / "missing" / "x.replay", "MATCH NOT RECORDED: "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> told;
        RunConfig config;
        config.script = match();
        config.makeTap = [&](Simulation& sim) {
            ReplayRecorder::Options options;
            options.folder = c.folder;
            options.file = c.file;
            options.game = [&sim] { return &sim.game(); };
            options.tell = [&told](const std::string& text) { told.push_back(text); };
            return std::make_unique<ReplayRecorder>(std::move(options));
        };
        Simulation sim(config);
        sim.runFrames(3 * 60);
        ASSERT_EQ(told.size(), 1u) << c.name;
        EXPECT_EQ(told[0].rfind(c.shown, 0), 0u) << c.name << ": " << told[0];
    }
}

} // namespace
} // namespace zindle::sim

namespace zindle::sim {
namespace {

// A long session before the match is run through a slice a displayed frame, so that the
// window keeps answering (ESC); it lands where running it at once does.
TEST_F(ReplayRoundTrip, ALongRunUpIsPreparedASliceAFrame) {
    ReplayHeader header;
    header.seed = 5;
    header.joinFrame = 3000; // fifty seconds on the title
    std::vector<std::uint8_t> file = encodeReplayHeader(header);
    ReplayEncoder tokens;
    for (std::uint64_t frame = 1; frame <= 3060; ++frame) {
        tokens.frame(5);
        if (frame % 60 == 0)
            tokens.checksum(0); // unchecked here: a difference is only reported
    }
    tokens.end();
    const std::vector<std::uint8_t> block = encodeReplayBlock(tokens.take());
    file.insert(file.end(), block.begin(), block.end());
    const Replay replay = parseReplay(file);

    const auto landing = [&](bool sliced) {
        RunConfig config;
        config.seed = replay.header.seed;
        Simulation sim(config);
        Main::feed = std::make_unique<ReplayViewer>(replay, "test");
        auto& v = static_cast<ReplayViewer&>(*Main::feed);
        ReplayViewer::runAheadSliceSeconds = 0;
        int frames = 0;
        if (sliced) {
            sim.runFrame();
            EXPECT_TRUE(v.preparing());
            for (; v.preparing() && frames < 1000; ++frames)
                sim.runFrame();
        } else {
            v.seek(*Main::instance, 0);
        }
        ReplayViewer::runAheadSliceSeconds = 0.05;
        EXPECT_FALSE(v.preparing());
        EXPECT_EQ(v.matchStep(), 0u);
        return std::pair(frames, stateChecksum(*Main::board->match()));
    };
    const auto [sliceFrames, sliced] = landing(true);
    const auto [noFrames, atOnce] = landing(false);
    EXPECT_GT(sliceFrames, 100) << "the run-up was not sliced";
    EXPECT_EQ(sliced, atOnce);
}

InputRecord viewerKey(int code, std::uint8_t modifiers = 0) {
    InputRecord r;
    r.kind = InputRecord::Kind::KeyDown;
    r.code = code;
    r.modifiers = modifiers;
    return r;
}

InputRecord viewerPad(InputRecord::Kind kind, int button, double value = 0) {
    InputRecord r;
    r.kind = kind;
    r.button = static_cast<std::int16_t>(button);
    r.value = value;
    return r;
}

TEST_F(ReplayRoundTrip, TheViewerIsDrivenByKeysAPadAndTaps) {
#if defined(__SANITIZE_ADDRESS__)
    // Known fault, to be mended: the simulator's frame probe is the board that a jump of the
    // viewer replaces, and the simulator reads the freed probe after the frame.
    GTEST_SKIP() << "the simulator's probe does not survive the viewer's restart of the game";
#endif
    const auto file = dir / "match.replay";
    record(file, 7);
    RunConfig config;
    const Replay replay = readReplayFile(file);
    config.seed = replay.header.seed;
    Simulation sim(config);
    Main::feed = std::make_unique<ReplayViewer>(replay, "test");
    auto& v = static_cast<ReplayViewer&>(*Main::feed);
    sim.runFrames(1);
    EXPECT_EQ(v.clockText().substr(0, 9), "0:00.0 / ");
    EXPECT_EQ(v.speedText(), "1X");

    using Kind = InputRecord::Kind;
    const int kShift = InputRecord::kShift;
    constexpr double kHalf = 0.5;
    struct Case {
        const char* what;
        std::vector<InputRecord> inputs;
        double speed;
        const char* shown;
    };
    const Case speeds[] = {
        {"UP twice", {viewerKey(Keyboard::UP), viewerKey(Keyboard::UP)}, 4, "4X"},
        {"UP stops at 8", {viewerKey(Keyboard::UP), viewerKey(Keyboard::UP)}, 8, "8X"},
        {"DOWN to the slowest",
         {viewerKey(Keyboard::DOWN), viewerKey(Keyboard::DOWN), viewerKey(Keyboard::DOWN),
          viewerKey(Keyboard::DOWN), viewerKey(Keyboard::DOWN)},
         kHalf,
         "1/2X"},
        {"F back to 1", {viewerKey('F')}, 1, "1X"},
        {"Start cycles", {viewerPad(Kind::ButtonDown, 7), viewerPad(Kind::ButtonDown, 7)}, 4, "4X"},
        {"and wraps",
         {viewerPad(Kind::ButtonDown, 7), viewerPad(Kind::ButtonDown, 7)},
         kHalf,
         "1/2X"},
        {"SPACE pauses", {viewerKey(Keyboard::SPACE)}, kHalf, "PAUSED"},
    };
    for (const Case& c : speeds) {
        for (const InputRecord& input : c.inputs)
            v.input(input);
        EXPECT_EQ(v.speed(), c.speed) << c.what;
        EXPECT_EQ(v.speedText(), c.shown) << c.what;
    }
    ASSERT_TRUE(v.paused());

    // Paused, every move is exact: jumps land within a frame of their target.
    const auto at = [&] { return static_cast<double>(v.matchStep()) / rules::kStepsPerSecond; };
    const double end = static_cast<double>(v.matchSteps()) / rules::kStepsPerSecond;
    constexpr double kFrame = 0.02; // s, the recording's longest frame and then some
    struct Move {
        const char* what;
        std::vector<InputRecord> inputs;
        double expected; // s, on the match clock; from kEnd down: before the recording's end
    };
    constexpr double kEnd = -1000;
    const Move moves[] = {
        {"RIGHT", {viewerKey(Keyboard::RIGHT)}, 5},
        {"SHIFT RIGHT clamps at the end", {viewerKey(Keyboard::RIGHT, kShift)}, kEnd},
        {"the D-pad's left", {viewerPad(Kind::Axis, 0, -1)}, kEnd - 5},
        {"held, it does not repeat", {viewerPad(Kind::Axis, 0, -0.9)}, kEnd - 5},
        {"SHIFT LEFT clamps at the start", {viewerKey(Keyboard::LEFT, kShift)}, 0},
        {"'.' steps one frame", {viewerKey(190)}, kFrame},
        {"the D-pad's right steps too",
         {viewerPad(Kind::Axis, 0, 0), viewerPad(Kind::Axis, 0, 1)},
         2 * kFrame},
    };
    for (const Move& m : moves) {
        for (const InputRecord& input : m.inputs)
            v.input(input);
        sim.runFrames(sim.frame() + 2);
        // A long jump runs ahead a slice a displayed frame (the window keeps answering).
        for (int frames = 0; v.preparing() && frames < 600; ++frames)
            sim.runFrame();
        const double expected = m.expected <= kEnd / 2 ? end + (m.expected - kEnd) : m.expected;
        EXPECT_NEAR(at(), expected, kFrame) << m.what;
        EXPECT_TRUE(v.paused()) << m.what;
    }
    EXPECT_GT(at(), 0) << "a frame step moved nothing";

    // A tap on the bar's middle jumps halfway; a tap elsewhere resumes.
    v.tap(240, 32);
    sim.runFrame();
    for (int frames = 0; v.preparing() && frames < 600; ++frames)
        sim.runFrame();
    EXPECT_NEAR(at(), end / 2, kFrame);
    EXPECT_EQ(v.litPips(), ReplayViewer::kBarPips / 2);
    v.tap(240, 200);
    EXPECT_FALSE(v.paused());
    EXPECT_FALSE(static_cast<const ReplayChecker&>(*Main::tap).firstMismatch().has_value());
}

} // namespace
} // namespace zindle::sim

namespace zindle::sim {
namespace {

// Stands in for the live game's recorder: counts what it sees.
struct CountingTap : MatchTap {
    void input(const InputRecord&) override {}
    void stepped() override { ++steps; }
    void frameEnded(int) override {}
    std::uint64_t steps = 0;
};

TEST_F(ReplayRoundTrip, AReplayChosenInTheGameIsWatchedAndEscGoesBackToPlay) {
#if defined(__SANITIZE_ADDRESS__)
    // Known fault, to be mended: the simulator's frame probe is the board that a jump of the
    // viewer replaces, and the simulator reads the freed probe after the frame.
    GTEST_SKIP() << "the simulator's probe does not survive the viewer's restart of the game";
#endif
    const auto file = dir / "match.replay";
    record(file, 7);
    std::ofstream(dir / "bad.replay") << "not a replay";
    Simulation sim(RunConfig{});
    sim.runFrames(30);
    CountingTap* recorder = nullptr;
    ReplayWatching::makeRecorder = [&recorder](std::uint64_t) {
        auto tap = std::make_unique<CountingTap>();
        recorder = tap.get();
        return tap;
    };
    const MatchTap* live = Main::tap.get();
    ASSERT_TRUE(ReplayWatching::watch(dir / "bad.replay").has_value());
    EXPECT_EQ(Main::tap.get(), live) << "a file that is no replay stopped play";

    ASSERT_FALSE(ReplayWatching::watch(file).has_value());
    auto* viewer = dynamic_cast<ReplayViewer*>(Main::feed.get());
    ASSERT_NE(viewer, nullptr);
    sim.runFrames(sim.frame() + 5 * 60);
    EXPECT_GT(viewer->matchStep(), 0u);
    EXPECT_FALSE(static_cast<const ReplayChecker&>(*Main::tap).firstMismatch().has_value())
        << "the game did not start again as the recorded one did";

    viewer->input(viewerKey(Keyboard::ESCAPE));
    EXPECT_EQ(Main::feed.get(), viewer) << "the viewer went while it was still running";
    sim.runFrames(sim.frame() + 60);
    EXPECT_EQ(Main::feed, nullptr);
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(Main::tap.get(), recorder);
    EXPECT_GT(recorder->steps, 0u) << "play did not go on after the replay";
    ReplayWatching::makeRecorder = nullptr;
}

} // namespace
} // namespace zindle::sim
