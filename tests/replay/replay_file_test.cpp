// The replay file: what the encoder writes the reader gives back exactly, and every kind of
// hostile file is refused with one line that says what is wrong.
#include "match/match_state_codec.h"
#include "replay/crc32.h"
#include "replay/replay_format.h"
#include "replay/replay_reader.h"
#include "replay/replay_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <numeric>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace zindle {
namespace {
namespace fmt = replay_format;
using Bytes = std::vector<std::uint8_t>;

InputRecord key(bool down, int code, std::uint8_t modifiers = 0) {
    InputRecord r;
    r.kind = down ? InputRecord::Kind::KeyDown : InputRecord::Kind::KeyUp;
    r.code = code;
    r.modifiers = modifiers;
    return r;
}

InputRecord axis(int device, double value) {
    InputRecord r;
    r.kind = InputRecord::Kind::Axis;
    r.code = device;
    r.value = value;
    return r;
}

InputRecord button(bool down, int device, int id) {
    InputRecord r;
    r.kind = down ? InputRecord::Kind::ButtonDown : InputRecord::Kind::ButtonUp;
    r.code = device;
    r.button = static_cast<std::int16_t>(id);
    return r;
}

void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

ReplayHeader header() {
    ReplayHeader h;
    h.seed = 0x0123456789ABCDEFull;
    h.date = 1'800'000'000;
    h.joinFrame = 2;
    h.gameVersion = "1.0.0";
    h.build = "test build";
    return h;
}

// Two seconds of frames: inputs of every kind before frame 2, a stall, checksums at 300 and
// 600 steps; the end token when finished.
Bytes sampleFile(bool finished = true, std::vector<std::size_t>* blockEnds = nullptr) {
    Bytes file = encodeReplayHeader(header());
    ReplayEncoder enc;
    enc.frame(0);
    enc.frame(5);
    enc.input(key(true, 49, InputRecord::kCtrl));
    enc.input(key(false, 49, InputRecord::kCtrl | InputRecord::kShift));
    enc.input(axis(1, -1.0));
    enc.input(axis(1, 1234 / 32767.0));
    enc.input(axis(2, 0.1)); // not a stick value: kept bit for bit
    enc.input(button(true, 3, 7));
    enc.input(button(false, 3, 7));
    int steps = 5;
    for (int frame = 0; frame < 58; ++frame)
        enc.frame(5);
    enc.frame(31); // a stall: this frame passes step 300
    steps += 58 * 5 + 31;
    enc.checksum(0xAAAA);
    append(file, encodeReplayBlock(enc.take()));
    if (blockEnds)
        blockEnds->push_back(file.size());
    while (steps + 6 < 600) {
        enc.frame(6);
        steps += 6;
    }
    enc.frame(600 - steps);
    enc.checksum(0xBBBB);
    enc.frame(4);
    if (finished)
        enc.end();
    append(file, encodeReplayBlock(enc.take()));
    if (blockEnds)
        blockEnds->push_back(file.size());
    return file;
}

// A match state as a game writes it, and the token that carries it, followed by more tokens.
Bytes matchState(double boardTime = 0) {
    MatchState state;
    state.boardTime = boardTime;
    Bytes bytes;
    writeMatchState(state, bytes);
    return bytes;
}

Bytes stateThen(Bytes more, Bytes before = {}) {
    ReplayEncoder enc;
    enc.state(matchState());
    Bytes tokens = enc.take();
    before.insert(before.end(), tokens.begin(), tokens.end());
    append(before, more);
    return before;
}

std::string refusal(const Bytes& bytes) {
    try {
        parseReplay(bytes);
    } catch (const ReplayError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(ReplayFile, WhatIsWrittenReadsBackExactly) {
    const Replay r = parseReplay(sampleFile());
    EXPECT_EQ(r.header.seed, header().seed);
    EXPECT_EQ(r.header.date, header().date);
    EXPECT_EQ(r.header.joinFrame, 2u);
    EXPECT_EQ(r.header.gameVersion, "1.0.0");
    EXPECT_EQ(r.header.build, "test build");
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.steps, 604u);
    EXPECT_EQ(r.joinStep, 5u);
    EXPECT_EQ(r.checksums, (std::vector<std::uint64_t>{0xAAAA, 0xBBBB}));
    const std::vector<InputRecord> inputs{key(true, 49, InputRecord::kCtrl),
                                          key(false, 49, InputRecord::kCtrl | InputRecord::kShift),
                                          axis(1, -1.0),
                                          axis(1, 1234 / 32767.0),
                                          axis(2, 0.1),
                                          button(true, 3, 7),
                                          button(false, 3, 7)};
    EXPECT_EQ(r.inputs, inputs);
    // The inputs belong to the third frame, which starts a run of its own.
    std::uint64_t frame = 0;
    for (const FrameRun& run : r.runs) {
        if (run.inputCount > 0) {
            EXPECT_EQ(frame, 2u);
            EXPECT_EQ(run.inputCount, inputs.size());
        }
        frame += run.count;
    }
    EXPECT_EQ(frame, r.frames);
}

TEST(ReplayFile, RunsOfUsualFramesTakeAByteForUpToSixtyFourFrames) {
    ReplayEncoder enc;
    for (int i = 0; i < 128; ++i)
        enc.frame(5);
    EXPECT_EQ(enc.take().size(), 2u);
    for (int i = 0; i < 10000; ++i)
        enc.frame(5);
    EXPECT_LE(enc.take().size(), 5u);
}

TEST(ReplayFile, AFileCutBetweenBlocksIsAnUnfinishedReplay) {
    std::vector<std::size_t> ends;
    Bytes file = sampleFile(false, &ends);
    file.resize(ends[0]);
    const Replay r = parseReplay(file);
    EXPECT_FALSE(r.finished);
    EXPECT_EQ(r.checksums.size(), 1u);
}

// A disk that filled up, or a good file less its last byte: the whole blocks play, and the
// reader says how much of the partial one it left.
TEST(ReplayFile, AFileCutInsideABlockKeepsTheWholeBlocksBeforeIt) {
    std::vector<std::size_t> ends;
    const Bytes whole = sampleFile(true, &ends);
    for (const std::size_t keep : {ends[0] + 1, ends[0] + 7, ends[0] + 8, whole.size() - 1}) {
        const Bytes file(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep));
        const Replay r = parseReplay(file);
        EXPECT_FALSE(r.finished) << keep;
        EXPECT_EQ(r.checksums.size(), 1u) << keep;
        ASSERT_TRUE(r.cut) << keep;
        EXPECT_EQ(r.cut->wholeBlocks, 1u) << keep;
        EXPECT_EQ(r.cut->bytesLeft, keep - ends[0]) << keep;
    }
    EXPECT_FALSE(parseReplay(whole).cut);
}

struct Hostile {
    const char* name;
    std::function<void(Bytes&)> spoil;
    const char* says;
};

// A file whose second block holds tokens of our choosing, with a correct CRC.
std::function<void(Bytes&)> secondBlock(Bytes tokens) {
    return [tokens](Bytes& file) {
        std::vector<std::size_t> ends;
        file = sampleFile(false, &ends);
        file.resize(ends[0]);
        append(file, encodeReplayBlock(tokens));
    };
}

TEST(ReplayFile, HostileFilesAreRefusedInOneLine) {
    const std::size_t headerSize = encodeReplayHeader(header()).size();
    const std::vector<Hostile> cases{
        {"empty", [](Bytes& f) { f.clear(); }, "not a replay"},
        {"a PNG", [](Bytes& f) { f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0}; },
         "not a replay"},
        {"text", [](Bytes& f) { f.assign(100, 'a'); }, "not a replay"},
        {"future version", [](Bytes& f) { f[8] = fmt::kVersion + 1; }, "newer game"},
        {"version 0", [](Bytes& f) { f[8] = 0; }, "corrupt"},
        {"cut in the header", [](Bytes& f) { f.resize(20); }, "truncated"},
        {"header damaged", [](Bytes& f) { f[14] ^= 1; }, "header fails its check"},
        {"cut inside the first block", [=](Bytes& f) { f.resize(headerSize + 20); },
         "inside its first block"},
        {"block damaged", [=](Bytes& f) { f[headerSize + 12] ^= 0x40; }, "fails its check"},
        {"block length huge", [=](Bytes& f) { f[headerSize + 3] = 0x7F; }, "too large"},
        {"only the header", [=](Bytes& f) { f.resize(headerSize); }, "no frames"},
        {"data after the end", [](Bytes& f) { append(f, encodeReplayBlock(Bytes{0x81})); },
         "after the end"},
        {"too many steps in a frame", secondBlock({fmt::kRun, 0, 62}), "62 steps"},
        {"a second without its checksum", secondBlock({fmt::kRun, 100, 5}), "checksum"},
        {"a checksum too early", secondBlock({fmt::kChecksum, 1, 2, 3, 4, 5, 6, 7, 8}), "checksum"},
        {"an unknown token", secondBlock({0x38}), "unknown"},
        {"a curve token in a file of format 1",
         [](Bytes& f) {
             f = sampleFile();
             f[8] = 1;
             f[9] = 0;
             // Replace the whole file's tokens by one stick event in the newer form.
             f.resize(encodeReplayHeader(header()).size());
             append(f, encodeReplayBlock(Bytes{fmt::kAxisCurveThenFrame | 1, 2}));
         },
         "unknown"},
        {"a curve beyond full scale",
         secondBlock({fmt::kAxisCurve | 2, 0xFE, 0xFF, 0x07, fmt::kRunOf5}), "out of range"},
        {"a stick beyond full scale", secondBlock({fmt::kAxis, 0, 0xFE, 0xFF, 0x07, 0x81}),
         "out of range"},
        {"a stick value that is not a number",
         secondBlock({fmt::kAxisExact, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x7F, 0x81}), "out of range"},
        {"a number that never ends",
         secondBlock(
             {fmt::kKeyDown, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
         "runs on"},
        {"a key code beyond 32 bits",
         secondBlock({fmt::kKeyDown, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x81}), "out of range"},
        {"twelve hours and more", secondBlock({fmt::kRun, 0xFF, 0xFF, 0xFF, 0x7F, 5}), "too"},
        {"inputs after the last frame", secondBlock({fmt::kKeyDown, 2}), "inputs after"},
        {"the match begins after the last frame",
         [](Bytes& f) {
             ReplayHeader h = header();
             h.joinFrame = 100000;
             Bytes good = sampleFile();
             f = encodeReplayHeader(h);
             f.insert(f.end(),
                      good.begin() +
                          static_cast<std::ptrdiff_t>(encodeReplayHeader(header()).size()),
                      good.end());
         },
         "begins after"},
        {"a match state in a file of format 2",
         [](Bytes& f) {
             f = encodeReplayHeader(header(), 2);
             append(f, encodeReplayBlock(stateThen({fmt::kRunOf5})));
         },
         "unknown"},
        {"a match state beyond the bound", secondBlock([] {
             Bytes token{fmt::kState};
             for (std::uint64_t n = fmt::kMaxStateBytes + 1; n != 0; n >>= 7)
                 token.push_back(static_cast<std::uint8_t>((n & 0x7F) | (n >= 0x80 ? 0x80 : 0)));
             token.push_back(fmt::kRunOf5);
             return token;
         }()),
         "match state of"},
        {"a match state cut short", secondBlock({fmt::kState, 9, 1, 2}), "truncated"},
        {"a match state that is not one", secondBlock({fmt::kState, 3, 1, 2, 3, fmt::kRunOf5}),
         "a round's match state"},
        {"a match state among a frame's inputs",
         secondBlock(stateThen({fmt::kRunOf5}, {fmt::kKeyDown, 2})), "among"},
        {"two match states before one frame", secondBlock(stateThen(stateThen({fmt::kRunOf5}))),
         "two match states"},
        {"a match state after the last frame", secondBlock(stateThen({})), "after the last"},
        {"unknown header flags",
         [](Bytes& f) {
             Bytes good = sampleFile();
             f = encodeReplayHeader(header());
             const std::size_t flags = f.size() - 5;
             f[flags] = 0x80;
             const Bytes body(f.begin() + 12, f.end() - 4);
             const std::uint32_t check = crc32(body);
             for (int i = 0; i < 4; ++i)
                 f[f.size() - 4 + i] = static_cast<std::uint8_t>(check >> (8 * i));
             f.insert(f.end(), good.begin() + static_cast<std::ptrdiff_t>(f.size()), good.end());
         },
         "header flags"},
    };
    for (const Hostile& c : cases) {
        Bytes file = sampleFile();
        c.spoil(file);
        const std::string said = refusal(file);
        EXPECT_NE(said.find(c.says), std::string::npos) << c.name << ": " << said;
        EXPECT_EQ(said.find('\n'), std::string::npos) << c.name;
    }
}

// An online match: drawing from a stream of its own, a round that starts from a match state
// at the first frame and another in the middle, each before that frame's inputs.
TEST(ReplayFile, MatchStatesAndDrawingsStreamReadBackAtTheirFrames) {
    struct Case {
        const char* name;
        std::optional<std::uint64_t> drawingSeed;
        std::vector<std::uint64_t> stateFrames;
    };
    const std::vector<Case> cases{
        {"a local match", std::nullopt, {}},
        {"one round", 0xD1CEull, {0}},
        {"three rounds", 0ull, {0, 61, 62}},
        {"a round that starts late", 7ull, {30}},
    };
    for (const Case& c : cases) {
        ReplayHeader h = header();
        h.joinFrame = 0;
        h.drawingSeed = c.drawingSeed;
        Bytes file = encodeReplayHeader(h);
        ReplayEncoder enc;
        std::vector<ReplayState> states;
        for (std::uint64_t frame = 0; frame < 80; ++frame) {
            if (std::find(c.stateFrames.begin(), c.stateFrames.end(), frame) !=
                c.stateFrames.end()) {
                states.push_back({frame, matchState(static_cast<double>(frame))});
                enc.state(states.back().bytes);
            }
            enc.input(key(true, static_cast<int>(frame)));
            enc.frame(5);
            if (frame % 60 == 59) {
                enc.checksum(frame);
                append(file, encodeReplayBlock(enc.take()));
            }
        }
        enc.end();
        append(file, encodeReplayBlock(enc.take()));
        const Replay r = parseReplay(file);
        EXPECT_EQ(r.header.drawingSeed, c.drawingSeed) << c.name;
        ASSERT_EQ(r.states.size(), states.size()) << c.name;
        for (std::size_t i = 0; i < states.size(); ++i) {
            EXPECT_EQ(r.states[i].frame, states[i].frame) << c.name;
            EXPECT_EQ(r.states[i].bytes, states[i].bytes) << c.name;
        }
        EXPECT_EQ(r.frames, 80u) << c.name;
        EXPECT_EQ(r.inputs.size(), 80u) << c.name;
    }
}

// A stick's native value at event k of a sweep, -32768 to 32767.
using Sweep = std::function<std::int64_t(int k)>;

struct SweepCase {
    const char* name;
    Sweep native;
    int device;
};

std::int64_t sine(int k, double period, double phase) {
    return std::llround(32767 * std::sin(6.283185307179586 * k / period + phase));
}

const std::vector<SweepCase>& sweepCases() {
    static const std::vector<SweepCase> cases{
        {"a slow sine", [](int k) { return sine(k, 120, 0); }, 0},
        {"a fast sine", [](int k) { return sine(k, 9, 1); }, 7},
        {"a triangle", [](int k) { return std::abs((k * 3000) % 131070 - 65535) - 32768; }, 3},
        {"jumps to the ends", [](int k) { return k % 2 ? 32767 : -32768; }, 1},
        {"noise", [](int k) { return (k * 7919L * 104729L) % 65536 - 32768; }, 2},
        {"a device beyond seven", [](int k) { return sine(k, 60, 2); }, 12},
        {"a negative device", [](int k) { return sine(k, 60, 2); }, -1},
    };
    return cases;
}

double steering(std::int64_t native) {
    return std::max(-1.0, native / 32767.0);
}

// Every sweep reads back exactly in both formats, with its frames where they were, whether
// the stick's events end a usual frame or are followed by others.
TEST(ReplayFile, SticksReadBackExactlyInEveryFormat) {
    for (const std::uint16_t version : {std::uint16_t{1}, std::uint16_t{2}, fmt::kVersion}) {
        for (const SweepCase& c : sweepCases()) {
            Bytes file = encodeReplayHeader(header(), version);
            ReplayEncoder enc(version);
            std::vector<InputRecord> sent;
            std::uint64_t steps = 0;
            auto frame = [&](int n) {
                enc.frame(n);
                steps += static_cast<std::uint64_t>(n);
                if (steps % 300 < static_cast<std::uint64_t>(n))
                    enc.checksum(steps);
            };
            frame(5);
            frame(5);
            frame(5);
            for (int k = 0; k < 200; ++k) {
                sent.push_back(axis(c.device, steering(c.native(k))));
                enc.input(sent.back());
                if (k % 7 == 3) { // a key after the stick: the frame cannot be folded
                    sent.push_back(key(true, 32));
                    enc.input(sent.back());
                }
                frame(k % 11 == 5 ? 4 : 5); // some frames unlike the usual one
            }
            enc.end();
            append(file, encodeReplayBlock(enc.take()));
            const Replay r = parseReplay(file);
            EXPECT_EQ(r.formatVersion, version);
            EXPECT_EQ(r.inputs, sent) << c.name << ", format " << version;
            EXPECT_EQ(r.frames, 203u) << c.name << ", format " << version;
            EXPECT_EQ(r.steps, steps) << c.name;
        }
    }
}

// Ten minutes of four sticks swept without rest, side to side in a second, 30 events a second
// each (two sticks on even frames, two on odd), with the checksum every second.
std::size_t tenMinutesOfSweeps(std::uint16_t version) {
    Bytes file = encodeReplayHeader(header(), version);
    ReplayEncoder enc(version);
    for (int frame = 0; frame < 600 * 60; ++frame) {
        for (int stick = frame % 2; stick < 4; stick += 2)
            enc.input(axis(stick, steering(sine(frame / 2, 60, stick))));
        enc.frame(5);
        if (frame % 60 == 59) {
            enc.checksum(0x0123456789ABCDEFull * static_cast<std::uint64_t>(frame));
            append(file, encodeReplayBlock(enc.take()));
        }
    }
    enc.end();
    append(file, encodeReplayBlock(enc.take()));
    return file.size();
}

TEST(ReplayFile, TenMinutesOfFourSweptSticksTakeUnder200KB) {
    const std::size_t older = tenMinutesOfSweeps(1);
    const std::size_t now = tenMinutesOfSweeps(fmt::kVersion);
    EXPECT_LT(now, 200'000u);
    EXPECT_LT(now, older);
    std::cout << "ten minutes of four swept sticks: " << now << " bytes (format 1: " << older
              << ")\n";
}

TEST(ReplayFile, OversizedDataIsRefusedBeforeItIsParsed) {
    Bytes file = sampleFile();
    file.resize(fmt::kMaxFileBytes + 1);
    EXPECT_NE(refusal(file).find("too large"), std::string::npos);
}

class ReplayFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("zindle-replay-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string refusalOf(const std::filesystem::path& path) {
        try {
            readReplayFile(path);
        } catch (const ReplayError& e) {
            return e.what();
        }
        return "(accepted)";
    }
    std::filesystem::path dir;
};

TEST_F(ReplayFileOnDisk, FilesThatCannotBeReplaysNameThemselves) {
    const auto missing = dir / "missing.replay";
    EXPECT_EQ(refusalOf(missing).rfind(missing.string() + ": cannot be read", 0), 0u);
    EXPECT_EQ(refusalOf(dir), dir.string() + ": not a regular file");
    const auto big = dir / "big.replay";
    { std::ofstream out(big, std::ios::binary); }
    std::filesystem::resize_file(big, fmt::kMaxFileBytes + 1); // sparse: no disk used
    EXPECT_NE(refusalOf(big).find("too large"), std::string::npos);
    const auto good = dir / "good.replay";
    {
        const Bytes bytes = sampleFile();
        std::ofstream out(good, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    EXPECT_EQ(readReplayFile(good).steps, 604u);
}

} // namespace
} // namespace zindle
