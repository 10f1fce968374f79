// Encoding frames, inputs and checksums as replay tokens, and framing them into blocks.
#include "replay/replay_writer.h"

#include "framework/bits_as.h"
#include "replay/crc32.h"
#include "replay/replay_format.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>

namespace zindle {
namespace fmt = replay_format;
namespace {

void putVarint(std::vector<std::uint8_t>& out, std::uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
}

// Small negative numbers stay short: 0, -1, 1, -2, ... become 0, 1, 2, 3, ...
std::uint64_t zigzag(std::int64_t v) {
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

void putSigned(std::vector<std::uint8_t>& out, std::int64_t v) {
    putVarint(out, zigzag(v));
}

std::size_t signedSize(std::int64_t v) {
    std::size_t n = 1;
    for (std::uint64_t z = zigzag(v); z >= 0x80; z >>= 7)
        ++n;
    return n;
}

template <class T> void putLittle(std::vector<std::uint8_t>& out, T value) {
    auto v = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putText(std::vector<std::uint8_t>& out, const std::string& text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 255);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
}

// The stick's native value when value came from one (the usual case), to store it in two or
// three bytes instead of eight.
bool nativeAxisValue(double value, std::int64_t& native) {
    if (!(value >= -1 && value <= 1))
        return false;
    native = std::llround(value * fmt::kAxisFullScale);
    const double back = std::max(-1.0, static_cast<double>(native) / fmt::kAxisFullScale);
    return bitsAs<std::uint64_t>(back) == bitsAs<std::uint64_t>(value);
}

} // namespace

void ReplayEncoder::input(const InputRecord& r) {
    closeRun();
    foldableAt_ = kNoToken;
    using Kind = InputRecord::Kind;
    switch (r.kind) {
    case Kind::KeyDown:
    case Kind::KeyUp:
        out_.push_back(
            static_cast<std::uint8_t>((r.kind == Kind::KeyDown ? fmt::kKeyDown : fmt::kKeyUp) |
                                      (r.modifiers & fmt::kModifierMask)));
        putSigned(out_, r.code);
        break;
    case Kind::Axis:
        axis(r);
        break;
    case Kind::ButtonDown:
    case Kind::ButtonUp:
        out_.push_back(r.kind == Kind::ButtonDown ? fmt::kButtonDown : fmt::kButtonUp);
        putSigned(out_, r.code);
        putSigned(out_, r.button);
        break;
    }
}

void ReplayEncoder::axis(const InputRecord& r) {
    std::int64_t native = 0;
    if (!nativeAxisValue(r.value, native)) {
        out_.push_back(fmt::kAxisExact);
        putSigned(out_, r.code);
        putLittle(out_, bitsAs<std::uint64_t>(r.value));
        return;
    }
    AxisHistory& history = axes_[r.code];
    const std::int64_t change = native - history.last;
    const std::int64_t miss = native - history.predicted();
    const bool curveFits = version_ >= fmt::kFirstCurveVersion && r.code >= 0 &&
                           r.code <= fmt::kCurveDeviceMask &&
                           signedSize(miss) <= signedSize(r.code) + signedSize(change);
    if (curveFits) {
        foldableAt_ = out_.size();
        out_.push_back(static_cast<std::uint8_t>(fmt::kAxisCurve | r.code));
        putSigned(out_, miss);
    } else {
        out_.push_back(fmt::kAxis);
        putSigned(out_, r.code);
        putSigned(out_, change);
    }
    history.push(native);
}

void ReplayEncoder::frame(int steps) {
    if (foldableAt_ != kNoToken && steps == fmt::kNominalSteps) {
        // The frame right after a curve token goes into that token's byte.
        out_[foldableAt_] = static_cast<std::uint8_t>(fmt::kAxisCurveThenFrame |
                                                      (out_[foldableAt_] & fmt::kCurveDeviceMask));
        foldableAt_ = kNoToken;
        return;
    }
    foldableAt_ = kNoToken;
    if (runCount_ > 0 && steps == runSteps_ && runCount_ < 0xFFFFFFFFu) {
        ++runCount_;
        return;
    }
    closeRun();
    runSteps_ = steps;
    runCount_ = 1;
}

void ReplayEncoder::closeRun() {
    while (runCount_ > 0) {
        const bool shortSteps =
            runSteps_ >= fmt::kNominalSteps - 1 && runSteps_ <= fmt::kNominalSteps + 1;
        if (shortSteps && runCount_ <= fmt::kShortRunMax * 2) {
            // Up to two one-byte tokens beat the general one.
            const std::uint8_t base = runSteps_ == fmt::kNominalSteps - 1 ? fmt::kRunOf4
                                      : runSteps_ == fmt::kNominalSteps   ? fmt::kRunOf5
                                                                          : fmt::kRunOf6;
            const std::uint32_t n = std::min(runCount_, fmt::kShortRunMax);
            out_.push_back(static_cast<std::uint8_t>(base | (n - 1)));
            runCount_ -= n;
            continue;
        }
        out_.push_back(fmt::kRun);
        putVarint(out_, runCount_ - 1);
        putVarint(out_, static_cast<std::uint64_t>(runSteps_));
        runCount_ = 0;
    }
}

void ReplayEncoder::checksum(std::uint64_t value) {
    closeRun();
    foldableAt_ = kNoToken;
    out_.push_back(fmt::kChecksum);
    putLittle(out_, value);
}

void ReplayEncoder::state(std::span<const std::uint8_t> bytes) {
    closeRun();
    foldableAt_ = kNoToken;
    out_.push_back(fmt::kState);
    putVarint(out_, bytes.size());
    out_.insert(out_.end(), bytes.begin(), bytes.end());
}

void ReplayEncoder::end() {
    closeRun();
    foldableAt_ = kNoToken;
    out_.push_back(fmt::kEnd);
}

std::vector<std::uint8_t> ReplayEncoder::take() {
    closeRun();
    foldableAt_ = kNoToken;
    std::vector<std::uint8_t> tokens;
    tokens.swap(out_);
    return tokens;
}

std::vector<std::uint8_t> encodeReplayHeader(const ReplayHeader& header, std::uint16_t version) {
    std::vector<std::uint8_t> body;
    putLittle(body, header.seed);
    putLittle(body, header.date);
    putLittle(body, header.joinFrame);
    putText(body, header.gameVersion);
    putText(body, header.build);
    if (version >= fmt::kFirstStateVersion) {
        body.push_back(header.drawingSeed ? fmt::kDrawingOwnStream : 0);
        if (header.drawingSeed)
            putLittle(body, *header.drawingSeed);
    }

    std::vector<std::uint8_t> out(fmt::kSignature.begin(), fmt::kSignature.end());
    putLittle(out, version);
    putLittle(out, static_cast<std::uint16_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    putLittle(out, crc32(body));
    return out;
}

std::vector<std::uint8_t> encodeReplayBlock(std::span<const std::uint8_t> tokens) {
    std::vector<std::uint8_t> out;
    out.reserve(tokens.size() + 8);
    putLittle(out, static_cast<std::uint32_t>(tokens.size()));
    putLittle(out, crc32(tokens));
    out.insert(out.end(), tokens.begin(), tokens.end());
    return out;
}

} // namespace zindle
