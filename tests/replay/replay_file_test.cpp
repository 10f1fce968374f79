// The replay file: what the encoder writes the reader gives back exactly, and every kind of
// hostile file is refused with one line that says what is wrong.
#include "replay/crc32.h"
#include "replay/replay_format.h"
#include "replay/replay_reader.h"
#include "replay/replay_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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
        {"future version", [](Bytes& f) { f[8] = 2; }, "newer game"},
        {"version 0", [](Bytes& f) { f[8] = 0; }, "corrupt"},
        {"cut in the header", [](Bytes& f) { f.resize(20); }, "truncated"},
        {"header damaged", [](Bytes& f) { f[14] ^= 1; }, "header fails its check"},
        {"cut inside a block", [](Bytes& f) { f.resize(f.size() - 3); }, "truncated"},
        {"block damaged", [=](Bytes& f) { f[headerSize + 12] ^= 0x40; }, "fails its check"},
        {"block length huge", [=](Bytes& f) { f[headerSize + 3] = 0x7F; }, "too large"},
        {"only the header", [=](Bytes& f) { f.resize(headerSize); }, "no frames"},
        {"data after the end", [](Bytes& f) { append(f, encodeReplayBlock(Bytes{0x81})); },
         "after the end"},
        {"too many steps in a frame", secondBlock({fmt::kRun, 0, 62}), "62 steps"},
        {"a second without its checksum", secondBlock({fmt::kRun, 100, 5}), "checksum"},
        {"a checksum too early", secondBlock({fmt::kChecksum, 1, 2, 3, 4, 5, 6, 7, 8}), "checksum"},
        {"an unknown token", secondBlock({0x30}), "unknown"},
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
    };
    for (const Hostile& c : cases) {
        Bytes file = sampleFile();
        c.spoil(file);
        const std::string said = refusal(file);
        EXPECT_NE(said.find(c.says), std::string::npos) << c.name << ": " << said;
        EXPECT_EQ(said.find('\n'), std::string::npos) << c.name;
    }
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
