// Parsing a replay: the signature and version first (to name a foreign or newer file as such),
// then the header, then every block's length and CRC before its tokens, every count against
// the format's bounds before anything grows.
#include "replay/replay_reader.h"

#include "framework/bits_as.h"
#include "match/match_state_codec.h"
#include "replay/axis_history.h"
#include "replay/crc32.h"
#include "replay/replay_format.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unordered_map>

namespace zindle {
namespace fmt = replay_format;
namespace {

constexpr std::size_t kBlockHeadBytes = 8; // length and CRC

class Bytes {
public:
    Bytes(std::span<const std::uint8_t> data, const char* what) : data_(data), what_(what) {}

    bool done() const { return pos_ == data_.size(); }
    std::size_t left() const { return data_.size() - pos_; }

    std::uint8_t byte() {
        need(1);
        return data_[pos_++];
    }
    template <class T> T little() {
        need(sizeof(T));
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<std::uint64_t>(data_[pos_++]) << (8 * i);
        return static_cast<T>(v);
    }
    std::uint64_t varint() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t b = byte();
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80))
                return v;
        }
        throw ReplayError(std::string("corrupt: a number in ") + what_ + " runs on");
    }
    std::int64_t signedVarint() {
        const std::uint64_t z = varint();
        return static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
    }
    std::int32_t int32() {
        const std::int64_t v = signedVarint();
        if (v < INT32_MIN || v > INT32_MAX)
            throw ReplayError(std::string("corrupt: a number in ") + what_ + " is out of range");
        return static_cast<std::int32_t>(v);
    }
    std::string text() {
        const std::size_t n = byte();
        need(n);
        std::string s(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return s;
    }
    std::span<const std::uint8_t> take(std::size_t n) {
        need(n);
        auto part = data_.subspan(pos_, n);
        pos_ += n;
        return part;
    }

private:
    void need(std::size_t n) const {
        if (n > left())
            throw ReplayError(std::string("truncated: it ends inside ") + what_);
    }

    std::span<const std::uint8_t> data_;
    const char* what_;
    std::size_t pos_ = 0;
};

class TokenReader {
public:
    explicit TokenReader(Replay& replay) : r_(replay) {}

    // Reads the tokens of one block; false once the end token has come.
    bool block(std::span<const std::uint8_t> tokens) {
        Bytes in(tokens, "a block");
        while (!in.done()) {
            if (r_.finished)
                throw ReplayError("corrupt: data after the end of the match");
            token(in);
        }
        return !r_.finished;
    }

    void finish() {
        if (r_.frames == 0)
            throw ReplayError(r_.cut ? "truncated: it ends inside its first block"
                                     : "corrupt: it holds no frames");
        if (r_.header.joinFrame >= r_.frames)
            throw ReplayError(r_.cut ? "truncated: it ends before the match begins"
                                     : "corrupt: the match begins after the last frame");
        if (pendingInputs_ > 0)
            throw ReplayError("corrupt: inputs after the last frame");
        if (!r_.states.empty() && r_.states.back().frame == r_.frames)
            throw ReplayError("corrupt: a match state after the last frame");
        // The steps before the join frame: walk the runs once.
        std::uint64_t frames = 0;
        for (const FrameRun& run : r_.runs) {
            if (frames + run.count > r_.header.joinFrame) {
                r_.joinStep += (r_.header.joinFrame - frames) * run.steps;
                break;
            }
            frames += run.count;
            r_.joinStep += static_cast<std::uint64_t>(run.count) * run.steps;
        }
    }

private:
    void token(Bytes& in) {
        const std::uint8_t t = in.byte();
        if (t >= fmt::kRunOf4) {
            const std::uint32_t count = (t & fmt::kShortRunMask) + 1u;
            const int kind = t >> 6; // 1, 2, 3: four, five, six steps
            run(count, static_cast<std::uint32_t>(fmt::kNominalSteps - 2 + kind));
            return;
        }
        if (t == fmt::kRun) {
            const std::uint64_t count = in.varint() + 1;
            const std::uint64_t steps = in.varint();
            if (count > fmt::kMaxFrames)
                throw ReplayError("corrupt: a run of too many frames");
            run(static_cast<std::uint32_t>(count), steps);
            return;
        }
        if (t == fmt::kChecksum) {
            const std::uint64_t value = in.little<std::uint64_t>();
            if (r_.checksums.size() >= dueChecksums())
                throw ReplayError("corrupt: a checksum before its second is over");
            r_.checksums.push_back(value);
            return;
        }
        if (t >= fmt::kAxisCurve && t < fmt::kAxisCurveThenFrame + 8 &&
            r_.formatVersion >= fmt::kFirstCurveVersion) {
            curveAxis(t, in);
            if (t >= fmt::kAxisCurveThenFrame)
                run(1, fmt::kNominalSteps);
            return;
        }
        if (t == fmt::kState && r_.formatVersion >= fmt::kFirstStateVersion) {
            state(in);
            return;
        }
        if (t == fmt::kEnd) {
            if (r_.checksums.size() != dueChecksums())
                throw ReplayError("corrupt: a checksum is missing at the end");
            r_.finished = true;
            return;
        }
        input(t, in);
    }

    void input(std::uint8_t t, Bytes& in) {
        InputRecord record;
        using Kind = InputRecord::Kind;
        if ((t & ~fmt::kModifierMask) == fmt::kKeyDown ||
            (t & ~fmt::kModifierMask) == fmt::kKeyUp) {
            record.kind = (t & ~fmt::kModifierMask) == fmt::kKeyDown ? Kind::KeyDown : Kind::KeyUp;
            record.modifiers = t & fmt::kModifierMask;
            record.code = in.int32();
        } else if (t == fmt::kAxis || t == fmt::kAxisExact) {
            record.kind = Kind::Axis;
            record.code = in.int32();
            if (t == fmt::kAxis) {
                AxisHistory& history = axes_[record.code];
                record.value = stickValue(history, history.last + in.int32());
            } else {
                record.value = bitsAs<double>(in.little<std::uint64_t>());
                // The game only ever received values from -1 to 1.
                if (!(record.value >= -1 && record.value <= 1))
                    throw ReplayError("corrupt: a stick value out of range");
            }
        } else if (t == fmt::kButtonDown || t == fmt::kButtonUp) {
            record.kind = t == fmt::kButtonDown ? Kind::ButtonDown : Kind::ButtonUp;
            record.code = in.int32();
            const std::int32_t button = in.int32();
            if (button < INT16_MIN || button > INT16_MAX)
                throw ReplayError("corrupt: a button number out of range");
            record.button = static_cast<std::int16_t>(button);
        } else {
            throw ReplayError("corrupt: unknown record " + std::to_string(t));
        }
        add(record);
    }

    void curveAxis(std::uint8_t t, Bytes& in) {
        InputRecord record;
        record.kind = InputRecord::Kind::Axis;
        record.code = t & fmt::kCurveDeviceMask;
        AxisHistory& history = axes_[record.code];
        record.value = stickValue(history, history.predicted() + in.int32());
        add(record);
    }

    void state(Bytes& in) {
        const std::uint64_t n = in.varint();
        if (n > fmt::kMaxStateBytes)
            throw ReplayError("corrupt: a match state of " + std::to_string(n) + " bytes");
        if (pendingInputs_ > 0)
            throw ReplayError("corrupt: a match state among a frame's inputs");
        if (!r_.states.empty() && r_.states.back().frame == r_.frames)
            throw ReplayError("corrupt: two match states before one frame");
        const auto bytes = in.take(static_cast<std::size_t>(n));
        // Checked now, so that a bad state is refused with the file, not found in mid-play.
        try {
            (void)readMatchState(bytes);
        } catch (const MatchStateError& e) {
            throw ReplayError(std::string("corrupt: a round's match state: ") + e.what());
        }
        r_.states.push_back({r_.frames, {bytes.begin(), bytes.end()}});
    }

    // The steering value of a stick's native value, which becomes the device's latest.
    static double stickValue(AxisHistory& history, std::int64_t native) {
        if (native < -32768 || native > 32767)
            throw ReplayError("corrupt: a stick value out of range");
        history.push(native);
        return std::max(-1.0, native / fmt::kAxisFullScale);
    }

    void add(const InputRecord& record) {
        if (r_.inputs.size() >= fmt::kMaxInputs)
            throw ReplayError("too many inputs (at most " + std::to_string(fmt::kMaxInputs) + ")");
        r_.inputs.push_back(record);
        ++pendingInputs_;
    }

    void run(std::uint32_t count, std::uint64_t steps) {
        if (steps > static_cast<std::uint64_t>(fmt::kMaxStepsPerFrame))
            throw ReplayError("corrupt: a frame of " + std::to_string(steps) + " steps");
        if (r_.checksums.size() != dueChecksums())
            throw ReplayError("corrupt: a checksum is missing");
        if (r_.frames + count > fmt::kMaxFrames || r_.steps + count * steps > fmt::kMaxSteps)
            throw ReplayError("too long (more than twelve hours of play)");
        // Every frame but the last must end short of the next checksum, since a checksum is
        // written straight after the frame that reaches it.
        const std::uint64_t beforeLast = r_.steps + (count - 1) * steps;
        if (beforeLast / fmt::kStepsPerChecksum != r_.steps / fmt::kStepsPerChecksum)
            throw ReplayError("corrupt: a checksum is missing");
        FrameRun frameRun;
        frameRun.count = count;
        frameRun.steps = static_cast<std::uint32_t>(steps);
        frameRun.firstInput = static_cast<std::uint32_t>(r_.inputs.size() - pendingInputs_);
        frameRun.inputCount = static_cast<std::uint32_t>(pendingInputs_);
        pendingInputs_ = 0;
        // Runs without inputs are merged with their predecessor of the same steps.
        if (frameRun.inputCount == 0 && !r_.runs.empty() && r_.runs.back().steps == steps &&
            r_.runs.back().count <= UINT32_MAX - count)
            r_.runs.back().count += count;
        else
            r_.runs.push_back(frameRun);
        r_.frames += count;
        r_.steps += count * steps;
    }

    std::size_t dueChecksums() const {
        return static_cast<std::size_t>(r_.steps / fmt::kStepsPerChecksum);
    }

    Replay& r_;
    std::size_t pendingInputs_ = 0;
    std::unordered_map<std::int32_t, AxisHistory> axes_; // native values by device
};

void readHeader(Bytes& in, Replay& replay) {
    if (in.left() < fmt::kSignature.size() ||
        !std::equal(fmt::kSignature.begin(), fmt::kSignature.end(),
                    in.take(fmt::kSignature.size()).begin()))
        throw ReplayError("not a replay (it does not start with a replay's signature)");
    const auto version = in.little<std::uint16_t>();
    replay.formatVersion = version;
    if (version > fmt::kVersion)
        throw ReplayError("made by a newer game (replay format " + std::to_string(version) +
                          "; this one reads format " + std::to_string(fmt::kVersion) +
                          " and older)");
    if (version == 0)
        throw ReplayError("corrupt: replay format 0");
    const auto length = in.little<std::uint16_t>();
    const auto body = in.take(length);
    if (in.little<std::uint32_t>() != crc32(body))
        throw ReplayError("corrupt: the header fails its check");
    Bytes header(body, "the header");
    replay.header.seed = header.little<std::uint64_t>();
    replay.header.date = header.little<std::int64_t>();
    replay.header.joinFrame = header.little<std::uint32_t>();
    replay.header.gameVersion = header.text();
    replay.header.build = header.text();
    if (version >= fmt::kFirstStateVersion) {
        const std::uint8_t flags = header.byte();
        if (flags & ~fmt::kDrawingOwnStream)
            throw ReplayError("corrupt: unknown header flags");
        if (flags & fmt::kDrawingOwnStream)
            replay.header.drawingSeed = header.little<std::uint64_t>();
    }
    // Later versions may add fields; this version has read all it knows.
}

} // namespace

Replay parseReplay(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > fmt::kMaxFileBytes)
        throw ReplayError("too large (" + std::to_string(bytes.size()) +
                          " bytes; a replay has at most " + std::to_string(fmt::kMaxFileBytes) +
                          ")");
    Replay replay;
    Bytes in(bytes, "the header");
    readHeader(in, replay);
    TokenReader tokens(replay);
    std::size_t blocks = 0;
    Bytes file(bytes.subspan(bytes.size() - in.left()), "a block");
    while (!file.done()) {
        // A block cut short is where the writing stopped (a full disk, a killed copy): what
        // came before it still plays. A block that is whole but wrong is damage, refused below.
        const std::size_t partial = file.left();
        if (partial < kBlockHeadBytes) {
            replay.cut = Replay::Cut{blocks, partial};
            break;
        }
        const auto length = file.little<std::uint32_t>();
        const auto check = file.little<std::uint32_t>();
        if (length > fmt::kMaxBlockBytes)
            throw ReplayError("corrupt: block " + std::to_string(blocks + 1) + " is too large");
        if (file.left() < length) {
            replay.cut = Replay::Cut{blocks, partial};
            break;
        }
        ++blocks;
        const auto body = file.take(length);
        if (crc32(body) != check)
            throw ReplayError("corrupt: block " + std::to_string(blocks) + " fails its check");
        if (!tokens.block(body) && !file.done())
            throw ReplayError("corrupt: data after the end of the match");
    }
    tokens.finish();
    return replay;
}

Replay readReplayFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    auto fail = [&](const std::string& problem) { return ReplayError(name + ": " + problem); };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw fail("cannot be read (no such file, or no permission)");
    if (!S_ISREG(info.st_mode))
        throw fail("not a regular file");
    if (static_cast<std::uint64_t>(info.st_size) > fmt::kMaxFileBytes)
        throw fail("too large (" + std::to_string(info.st_size) + " bytes; a replay has at most " +
                   std::to_string(fmt::kMaxFileBytes) + ")");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw fail("cannot be opened");
    // Read at most one byte past the limit, whatever the file has grown to since stat.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size) + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        throw fail("cannot be read");
    try {
        return parseReplay(bytes);
    } catch (const ReplayError& e) {
        throw fail(e.what());
    }
}

} // namespace zindle
